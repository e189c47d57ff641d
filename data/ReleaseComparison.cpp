#include "data/ReleaseComparison.h"

#include "data/Database.h"
#include "data/SqlText.h"
#include "layout/Schema.h"

namespace Db {

namespace ReleaseComparison {

namespace C = Schema::Changes;
namespace P = Schema::Products;
namespace Pt = Schema::Patent;
namespace E = Schema::Exclusivity;

namespace {

QString literal(const QString &text)
{
    return QLatin1Char('\'') + SqlText::quoteSqlText(text) + QLatin1Char('\'');
}

std::vector<qint64> readKeys(const QString &sql)
{
    std::vector<qint64> keys;
    RowSet &rowSet = openSharedQuery(sql);
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        keys.push_back(rowSet.fieldInt64(0));
    }
    return keys;
}

} // namespace

bool present()
{
    RowSet &rowSet = openSharedQuery(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (%1, %2);")
            .arg(literal(C::Table), literal(C::ReleaseTable)));
    RowSetCloser closer(rowSet);
    return !rowSet.eof() && rowSet.fieldInt64(0) == 2;
}

Releases readReleases()
{
    Releases releases;
    RowSet &rowSet = openSharedQuery(
        QStringLiteral("SELECT [%1], [%2] FROM [%3] ORDER BY [%1];").arg(C::ID, C::ReleaseDate, C::ReleaseTable));
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        (rowSet.fieldInt64(0) == 1 ? releases.older : releases.newer) = fieldText(rowSet.field(1));
    }
    return releases;
}

std::vector<KindCount> readKinds()
{
    std::vector<KindCount> kinds;
    RowSet &rowSet = openSharedQuery(QStringLiteral("SELECT [%1], count(*) FROM [%2] GROUP BY [%1] ORDER BY min([%3]);")
                                         .arg(C::Kind, C::Table, C::ID));
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        kinds.push_back({fieldText(rowSet.field(0)), rowSet.fieldInt64(1)});
    }
    return kinds;
}

std::vector<Change> readChanges(const QString &kind)
{
    QString sql = QStringLiteral("SELECT [%1], [%2], [%3], [%4], [%5], [%6], [%7], [%8], [%9], ")
                      .arg(C::Kind, C::Key, C::TradeName, C::OldValue, C::NewValue, C::ApplicationType, C::NDANumber,
                           C::ProductNumber, C::PatentNumber)
        + QStringLiteral("[%1] FROM [%2]").arg(C::ExclusivityCode, C::Table);
    if (!kind.isEmpty()) {
        sql += QStringLiteral(" WHERE [%1] = %2").arg(C::Kind, literal(kind));
    }
    sql += QStringLiteral(" ORDER BY [%1], [%2];").arg(C::Key, C::ID);
    std::vector<Change> changes;
    RowSet &rowSet = openSharedQuery(sql);
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        const auto text = [&rowSet](int column) { return fieldText(rowSet.field(column)); };
        changes.push_back({text(0), text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8), text(9)});
    }
    return changes;
}

qint64 productKey(const QString &applicationType, const QString &applicationNumber, const QString &productNumber)
{
    // An older database has no application type; then the first product of the number.
    bool typed = false;
    {
        RowSet &rowSet = openSharedQuery(SqlText::tableColumns(P::Table));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof() && !typed; rowSet.moveNext()) {
            typed
                = fieldText(rowSet.field(QStringLiteral("name"))).compare(P::ApplicationType, Qt::CaseInsensitive) == 0;
        }
    }
    const QString order = typed
        ? QStringLiteral(" ORDER BY [%1] = %2 DESC, [%3];").arg(P::ApplicationType, literal(applicationType), P::ID)
        : QStringLiteral(" ORDER BY [%1];").arg(P::ID);
    const std::vector<qint64> keys = readKeys(
        QStringLiteral("SELECT [%1] FROM [%2] WHERE [%3] = %4 AND [%5] = %6")
            .arg(P::ID, P::Table, P::NDANumber, literal(applicationNumber), P::ProductNumber, literal(productNumber))
        + order);
    return keys.empty() ? -1 : keys.front();
}

std::vector<qint64> patentKeys(const QString &applicationNumber, const QString &productNumber,
                               const QString &patentNumber)
{
    return readKeys(QStringLiteral("SELECT [%1] FROM [%2] WHERE [%3] = %4 AND [%5] = %6 AND [%7] = %8 ORDER BY [%1];")
                        .arg(Pt::ID, Pt::Table, Pt::NDANumber, literal(applicationNumber), Pt::ProductNumber,
                             literal(productNumber), Pt::PatentNumber, literal(patentNumber)));
}

std::vector<qint64> exclusivityKeys(const QString &applicationNumber, const QString &productNumber, const QString &code,
                                    const QString &date)
{
    return readKeys(QStringLiteral("SELECT [%1] FROM [%2] WHERE [%3] = %4 AND [%5] = %6 AND [%7] = %8 ")
                        .arg(E::ID, E::Table, E::NDANumber, literal(applicationNumber), E::ProductNumber,
                             literal(productNumber), E::Code, literal(code))
                    + QStringLiteral("ORDER BY [%1] = %2 DESC, [%3];").arg(E::Date, literal(date), E::ID));
}

} // namespace ReleaseComparison

} // namespace Db
