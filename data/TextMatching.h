#pragma once

#include <QByteArrayView>

struct sqlite3;

namespace Db {

// Letter case ignored beyond ASCII. SQLite's own LIKE and NOCASE fold only A to Z, so
// "café" would not find "CAFÉ"; these fold every letter Unicode gives a case
// (É and é, Σ, σ and ς, ẞ and ß; İ counts as i), and leave text without case (CJK)
// as it is.
namespace TextMatching {

// The character a letter is compared as.
char32_t foldCase(char32_t c);

// Compares two UTF-8 texts as the program's NOCASE does: letter by letter, each folded,
// then the shorter first. On ASCII text the order is SQLite's built-in NOCASE order.
int compareFolded(QByteArrayView a, QByteArrayView b);

// Whether `text` matches the LIKE pattern `pattern` ("%" any run, "_" any one
// character, `escape` (0: none) taking the next character literally), letters folded.
bool likeMatches(QByteArrayView pattern, QByteArrayView text, char32_t escape = 0);

// Makes LIKE on `db` ignore letter case beyond ASCII (like() with two and three
// arguments). Statements keep their texts; what is lost is SQLite's rewriting of
// "x LIKE 'abc%'" into an index range, which no statement of the program needs.
// Returns SQLite's result code.
int installLike(sqlite3 *db);

// Makes NOCASE on `db` the folded comparison above. Only for a database whose NOCASE
// indexes either were built on this connection or hold ASCII keys only
// (nocaseIndexesHoldOnlyAscii): an index sorted by another order would be searched
// wrongly. Returns SQLite's result code.
int installNocase(sqlite3 *db);

// Whether every key of every NOCASE index of `db` is ASCII text, so that the folded
// NOCASE orders each index as SQLite's own did. False also when a read fails.
bool nocaseIndexesHoldOnlyAscii(sqlite3 *db);

} // namespace TextMatching

} // namespace Db
