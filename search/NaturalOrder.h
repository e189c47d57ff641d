#pragma once

#include "data/Database.h"

#include <QByteArrayView>
#include <QStringView>

namespace Search {

// The order people expect of names and numbers: letter case ignored, and a run of
// digits compared as the number it writes ("EQ 25MG" before "EQ 100MG", patent
// 7,000,000 before 10,000,000). Elsewhere characters compare as the database's
// case-blind order compares them, so a list the database sorted needs only its runs
// of numbers put right.

// Below zero, zero or above zero as `a` sorts before, with or after `b` (ASCII text).
int compareNatural(QByteArrayView a, QByteArrayView b);
// The same for any text (non-ASCII letters as the user's language orders them).
int compareNatural(QStringView a, QStringView b);

// The lines of `rows` in natural order: `rows` itself when they already are in it.
// The order among equal lines stays as read.
Db::SharedListRows inNaturalOrder(const Db::SharedListRows &rows);

} // namespace Search
