#pragma once

#include "KvostrelImport.h"

#include <filesystem>
#include <vector>

// Throws ImportError naming both files when `output` is the Access file itself, however
// it is reached.
void checkMdbOutputIsNoInput(const std::filesystem::path &mdb, const std::filesystem::path &output);

// Copies the four tables of an Access (Jet) database file into the program's SQLite
// form, through kvostrel-mdb-reader beside this program, replacing `output` only once
// every row is in. Returns the rows written per table. Throws ImportError naming the
// file and what is wrong with it (damaged, cut off, protected by a password, lacking a
// table or column); the previous output file, if any, is then left as it was.
// `derivedTables`, when given, adds its tables once the Jet file's are in.
std::vector<TableRows> importFromMdb(const std::filesystem::path &mdb, const std::filesystem::path &output,
                                     const DerivedTables &derivedTables = {});
