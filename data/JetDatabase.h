#pragma once

#include <QString>

struct sqlite3;

namespace Db {

// kvostrel-mdb-reader, the program beside this one that reads Access (Jet) files.
QString jetReaderPath();

// Reads the four tables of the Access (Jet) file `jetPath` through the reader, in a
// child process with a time limit, into `memory`: an empty in-memory SQLite database.
// The tables, columns, collation and indexes are those
// kvostrel-import writes. Throws Jet::ReadError (tools/kvostrel-mdb-reader/JetFile.h)
// naming what is wrong with the file.
void loadJetDatabase(const QString &jetPath, sqlite3 *memory);

} // namespace Db
