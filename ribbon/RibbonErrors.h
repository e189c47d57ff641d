#pragma once

#include "common/AppError.h"

#include <QString>

namespace Ribbon {

// Error numbers the ribbon raises, and the name its error sources start with.
namespace RibbonErrors {

constexpr int SubscriptOutOfRange = 9;
constexpr int ObjectNotSet = 91;
constexpr int PathFileAccess = 75;
constexpr int ResourceNotFound = 326;
constexpr int InvalidPicture = 481;
// System error codes are raised combined with this by a bitwise OR.
constexpr int SystemErrorBase = 10000;

// The running program's name without folder and extension ("torvanelquist").
QString executableName();

Common::AppError subscriptOutOfRange(const QString &what);
Common::AppError objectNotSet(const QString &what);

} // namespace RibbonErrors

} // namespace Ribbon
