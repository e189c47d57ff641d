#pragma once

#include "data/SqlText.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace Search {

// Reads, for the hit lines with the given keys, the text that tells each line apart
// from others of the same name (drawn after the line in a quieter colour). A failed
// read gives no details at all, never a part of them.
using LineDetailReader = std::function<QHash<qint64, QString>(const QVector<qint64> &keys)>;

// Turns a record's detail fields (empty ones included), in the order of the window's statement,
// into the line's detail text.
using LineDetailFormat = std::function<QString(const QStringList &parts)>;

// The non-empty parts joined by a middle dot: "20MG · TABLET · VIATRIS".
QString joinLineDetails(const QStringList &parts);

// A product line's detail from its strength, dosage form, applicant, type, TE code, RLD
// and RS fields: "RLD" and "RS" where the product is one, then the first five joined
// ("RLD · EQ 20MG BASE · TABLET · UPJOHN ... · RX · AB").
QString drugLineDetail(const QStringList &parts);

// The reader of `window`'s line details, each record's fields shaped by `format`. The
// drug window's lines read the RS field where the open database has it.
LineDetailReader lineDetailReader(Db::SqlText::Window window, LineDetailFormat format = joinLineDetails);

} // namespace Search
