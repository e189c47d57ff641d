#pragma once

#include "jet/JetFile.h"

#include <string>
#include <vector>

struct sqlite3;

namespace Jet {

struct LoadedTable
{
    std::string table;
    long rows = 0;
};

// Reads the four tables of a reference database from the Jet file `path` into `db`
// (empty, open for writing), laid out as kvostrel-import lays them out: the same tables,
// columns, NOCASE collation and indexes. Tables and columns are found ignoring letter
// case; columns the file has beyond those are left out, Null and empty text stay apart.
// Throws ReadError as readFile does, Incomplete naming every table and column the
// windows read that the file lacks, and Damaged for a row that breaks the layout (an ID
// that is missing, no whole number or repeated). `db` is then left partly filled.
std::vector<LoadedTable> loadFile(sqlite3 *db, const std::string &reader, const std::string &path,
                                  const ReadLimits &limits = {});

} // namespace Jet
