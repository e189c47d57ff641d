#pragma once

#include <QString>

#include <vector>

namespace Db {

// What changed between the older release a database was compared with and its own
// (the tables "changes" and "compared release" that kvostrel-import writes when given
// --previous). Every read throws AppError when a step fails.
namespace ReleaseComparison {

// True when the database holds the list of changes; false for one imported without an
// older release.
bool present();

struct Releases
{
    QString older; // "Oct 8, 2024"
    QString newer;
};
Releases readReleases();

struct KindCount
{
    QString kind;
    qint64 count = 0;
};
// Every kind of change with how many changes it has, in the order the import found
// them (products, patent listings, exclusivities, first generics).
std::vector<KindCount> readKinds();

struct Change
{
    QString kind, key, tradeName, oldValue, newValue;
    // Where the newer release's record is; all empty for a record it no longer has.
    QString applicationType, applicationNumber, productNumber, patentNumber, exclusivityCode;
};
// The changes of one kind (every change for an empty kind), by key.
std::vector<Change> readChanges(const QString &kind);

// The key of the newer release's product with that application and product number
// (of that application type first); -1 when there is none.
qint64 productKey(const QString &applicationType, const QString &applicationNumber, const QString &productNumber);
// The keys of the patent records of one product with that patent number, in key order.
std::vector<qint64> patentKeys(const QString &applicationNumber, const QString &productNumber,
                               const QString &patentNumber);
// The keys of the exclusivity records of one product with that code, those dated
// `date` first, then in key order.
std::vector<qint64> exclusivityKeys(const QString &applicationNumber, const QString &productNumber, const QString &code,
                                    const QString &date);

} // namespace ReleaseComparison

} // namespace Db
