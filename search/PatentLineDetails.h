#pragma once

#include "search/LineDetails.h"

namespace Search {

// What tells the patent window's lines of one number apart: the trade name of the
// product the record names, the record's application and product, and its expiry
// ("IMBRUVICA · 210563/001 · expires Jun 27, 2037"). A record missing any of the last
// three shows what it has.
QString patentLineDetail(const QStringList &parts);

// The patent window's reader of its lines' details.
LineDetailReader patentLineDetailReader();

} // namespace Search
