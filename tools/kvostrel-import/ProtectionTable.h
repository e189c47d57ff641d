#pragma once

#include "KvostrelImport.h"

#include <filesystem>

// Adds [product protection] to `database`: each product's listed protection and its ANDAs,
// the values the drug window's row shows, computed by the program's own reading of the
// patent and exclusivity rows as of the database's release date. Throws ImportError when
// the database cannot be read or written.
TableRows writeProductProtection(const std::filesystem::path &database);
