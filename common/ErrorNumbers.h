#pragma once

// The error numbers that more than one module raises, in the program's one numbering
// (the database layer's own numbers live with it, in data/Database.h).
namespace Common::ErrorNumber {

constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int PathFileAccess = 75;
constexpr int ObjectNotSet = 91;
constexpr int ResourceNotFound = 326;
constexpr int InvalidPicture = 481;
// A picture number the image list does not hold.
constexpr int IndexOutOfBounds = 35600;
// System error codes are raised combined with this by a bitwise OR.
constexpr int SystemErrorBase = 10000;

} // namespace Common::ErrorNumber
