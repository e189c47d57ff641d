#pragma once

// What changed between two FDA releases: products, patent listings and exclusivities
// added, removed or changed, compared by their identities rather than line by line, so
// that rewordings and reorderings of the files are no changes.

#include <filesystem>
#include <string>
#include <vector>

class SqliteDatabase;

// The records of one release, each row holding its table's columns in the order of
// the import's mapping (productsMapping, patentMapping, exclusivityMapping).
struct ReleaseRecords
{
    std::string date; // the date the FDA wrote products.txt, "Nov 8, 2024"; empty when unknown
    std::vector<std::vector<std::string>> products;
    std::vector<std::vector<std::string>> patents;
    std::vector<std::vector<std::string>> exclusivities;
};

// Reads the three data files of the release `zipOrFolder` as the import reads them.
// Throws ImportError naming the file (and line) at fault.
ReleaseRecords readRelease(const std::filesystem::path &zipOrFolder);

struct ReleaseChange
{
    std::string kind;
    std::string key; // "N 020610/001", "... patent 7625884", "... ODE-123 Jun 8, 2031"
    std::string tradeName; // of the product the change concerns (newer release, else older)
    std::string oldValue;
    std::string newValue;
    // Where the record of the newer release is (empty where it has none).
    std::string applicationType, applicationNumber, productNumber, patentNumber, exclusivityCode;
    std::string productKey; // the product the change concerns, as `key` begins
};

// How many things of each sort a release holds, counted as they are compared: products
// (a key repeated with another type counts twice), patent listings (rows differing only
// by use code count once) and exclusivities.
struct ReleaseCounts
{
    long products = 0;
    long patentListings = 0;
    long exclusivities = 0;
};

struct ReleaseComparison
{
    std::vector<ReleaseChange> changes;
    ReleaseCounts older, newer;
};

ReleaseComparison compareReleases(const ReleaseRecords &older, const ReleaseRecords &newer);

// Writes the tables [changes] and [compared release] (the older release as row 1, the
// newer as row 2, with their dates and counts).
void writeChanges(SqliteDatabase &db, const ReleaseComparison &comparison, const std::string &olderDate,
                  const std::string &newerDate);
