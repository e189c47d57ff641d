#pragma once

#include "common/AppError.h"
#include "common/ErrorNumbers.h"

#include <QString>

namespace Ribbon {

// The errors the ribbon raises (numbered as Common::ErrorNumber), and the name its
// error sources start with.
namespace RibbonErrors {

using namespace Common::ErrorNumber;

// The running program's name without folder and extension ("torvanelquist").
QString executableName();

Common::AppError subscriptOutOfRange(const QString &what);
Common::AppError objectNotSet(const QString &what);

} // namespace RibbonErrors

} // namespace Ribbon
