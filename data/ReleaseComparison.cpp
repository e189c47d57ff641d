#include "data/ReleaseComparison.h"

#include "data/Database.h"
#include "data/SqlText.h"

namespace Db {

namespace ReleaseComparison {

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
    RowSet &rowSet = openSharedQuery(QStringLiteral(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('changes', 'compared release');"));
    RowSetCloser closer(rowSet);
    return !rowSet.eof() && rowSet.fieldInt64(0) == 2;
}

Releases readReleases()
{
    Releases releases;
    RowSet &rowSet = openSharedQuery(QStringLiteral("SELECT ID, [Release Date] FROM [compared release] ORDER BY ID;"));
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        (rowSet.fieldInt64(0) == 1 ? releases.older : releases.newer) = fieldText(rowSet.field(1));
    }
    return releases;
}

std::vector<KindCount> readKinds()
{
    std::vector<KindCount> kinds;
    RowSet &rowSet
        = openSharedQuery(QStringLiteral("SELECT [Kind], count(*) FROM [changes] GROUP BY [Kind] ORDER BY min(ID);"));
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        kinds.push_back({fieldText(rowSet.field(0)), rowSet.fieldInt64(1)});
    }
    return kinds;
}

std::vector<Change> readChanges(const QString &kind)
{
    QString sql = QStringLiteral(
        "SELECT [Kind], [Key], [Trade Name], [Old Value], [New Value], [Application Type], "
        "[New Drug Application (NDA) Number], [Product Number], [Patent Number], [Exclusivity Code] FROM [changes]");
    if (!kind.isEmpty()) {
        sql += QStringLiteral(" WHERE [Kind] = %1").arg(literal(kind));
    }
    sql += QStringLiteral(" ORDER BY [Key], ID;");
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
        RowSet &rowSet = openSharedQuery(SqlText::tableColumns(QStringLiteral("products")));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof() && !typed; rowSet.moveNext()) {
            typed = fieldText(rowSet.field(QStringLiteral("name")))
                        .compare(QLatin1String("Application Type"), Qt::CaseInsensitive)
                == 0;
        }
    }
    const QString order = typed
        ? QStringLiteral(" ORDER BY [Application Type] = %1 DESC, ID;").arg(literal(applicationType))
        : QStringLiteral(" ORDER BY ID;");
    const std::vector<qint64> keys
        = readKeys(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) Number] = %1 AND "
                                  "[Product Number] = %2")
                       .arg(literal(applicationNumber), literal(productNumber))
                   + order);
    return keys.empty() ? -1 : keys.front();
}

std::vector<qint64> patentKeys(const QString &applicationNumber, const QString &productNumber,
                               const QString &patentNumber)
{
    return readKeys(QStringLiteral("SELECT ID FROM [patent] WHERE [New Drug Application (NDA) Number] = %1 AND "
                                   "[Product Number] = %2 AND [Patent Number] = %3 ORDER BY ID;")
                        .arg(literal(applicationNumber), literal(productNumber), literal(patentNumber)));
}

std::vector<qint64> exclusivityKeys(const QString &applicationNumber, const QString &productNumber, const QString &code,
                                    const QString &date)
{
    return readKeys(QStringLiteral("SELECT ID FROM [exclusivity] WHERE [New Drug Application (NDA) Number] = %1 AND "
                                   "[Product Number] = %2 AND [Exclusivity Code] = %3 "
                                   "ORDER BY [Exclusivity Date] = %4 DESC, ID;")
                        .arg(literal(applicationNumber), literal(productNumber), literal(code), literal(date)));
}

} // namespace ReleaseComparison

} // namespace Db
