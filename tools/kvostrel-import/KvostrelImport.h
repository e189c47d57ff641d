#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct TableRows
{
    std::string table;
    long rows = 0;
};

// Tables computed from the database once the FDA's tables are in: called with the written,
// closed and still temporary file, it adds its tables to it and returns their rows.
using DerivedTables = std::function<std::vector<TableRows>(const std::filesystem::path &database)>;

struct ImportOptions
{
    std::filesystem::path fda; // the FDA zip archive, or a folder with products.txt, patent.txt and exclusivity.txt
    std::filesystem::path dosageForms; // dosage_forms.tsv
    std::filesystem::path routes; // routes.tsv
    std::filesystem::path listingTerms; // listing_terms.tsv; empty: none
    std::filesystem::path exclusivityCodes; // exclusivity_codes.tsv; empty: none
    std::filesystem::path teCodes; // te_codes.tsv; empty: none
    std::filesystem::path output; // kvostrel.mdb
    // Tables that may end empty although the file replaced holds rows of them.
    std::vector<std::string> allowEmpty;
    // An older release (zip or folder) to compare with: the database then holds what changed.
    std::filesystem::path previous;
    // Empty: none.
    DerivedTables derivedTables;
};

// Reports now and then how far the import has read a data file (fraction 0..1; 1 once
// the file is done).
using ImportProgress = std::function<void(const std::string &source, double fraction)>;

// Tells of something the user should look at that does not stop the import.
using ImportWarning = std::function<void(const std::string &message)>;

// Throws ImportError naming both files when `options.output` is one of the input files,
// however it is reached (another spelling of the path, a hard link, a symbolic link).
void checkOutputIsNoInput(const ImportOptions &options);

// A release without exclusivity.txt gives an empty exclusivity table and a warning;
// without `exclusivityCodes` the code-family table stays empty, without `teCodes` the
// table of TE code meanings.
// Builds the reference database from the FDA files and the two vocabularies, replacing
// `options.output` only once every row is in. Returns the rows written per table.
// The vocabulary tables hold the vocabulary's own terms (IDs 1..n in file order), then a
// row for each other dosage form or route the products name: a spelling that the
// listing-terms file maps to terms, a value made of several, or, warned of once the
// database is written, a value none of these explains.
// A table the replaced output holds rows of and this import leaves empty ends the run
// with an ImportError naming it, unless `options.allowEmpty` names it.
// Throws ImportError with a message that names the file (and line) at fault; the
// previous output file, if any, is then left as it was. Checks checkOutputIsNoInput first.
std::vector<TableRows> importKvostrel(const ImportOptions &options, const ImportProgress &progress = {},
                                      const ImportWarning &warning = {});

// Throws ImportError naming the first table that `previous` (an earlier output; none
// when it does not exist) holds rows of while `written` leaves it empty, unless
// `allowEmpty` names it.
void checkNoTableEmptied(const std::filesystem::path &previous, const std::vector<TableRows> &written,
                         const std::vector<std::string> &allowEmpty);
