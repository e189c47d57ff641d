// Reading a product's patents and exclusivities (and every product's, for the
// report) from the open database; the figures themselves come from compute().
#include "data/Protection.h"

#include "data/Database.h"
#include "data/SqlText.h"

#include <QHash>
#include <QSet>

#include <map>

namespace Db {

namespace Protection {

namespace {

bool isYes(const QVariant &value)
{
    const QString text = fieldText(value).trimmed();
    return text.compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0
        || text.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
}

// Columns and tables an older database may lack.
struct Layout
{
    bool delistFlag = false;
    bool exclusivity = false;
    bool applicationType = false;
};

Layout readLayout()
{
    Layout layout;
    const auto columns = [](const QString &table) {
        QSet<QString> names;
        RowSet &rowSet = openSharedQuery(SqlText::tableColumns(table));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            names.insert(fieldText(rowSet.field(QStringLiteral("name"))).toLower());
        }
        return names;
    };
    layout.delistFlag = columns(QStringLiteral("Patent")).contains(QStringLiteral("delist flag"));
    layout.exclusivity = !columns(QStringLiteral("exclusivity")).isEmpty();
    layout.applicationType = columns(QStringLiteral("products")).contains(QStringLiteral("application type"));
    return layout;
}

const Layout &layoutOfOpenFile()
{
    static QString file;
    static Layout layout;
    const QString now = Connection::shared().filePath();
    if (now != file || now.isEmpty()) {
        layout = readLayout();
        file = now;
    }
    return layout;
}

PatentRow patentRow(const RowSet &rowSet, int first)
{
    PatentRow row;
    row.id = rowSet.field(first).toLongLong();
    row.number = fieldText(rowSet.field(first + 1)).trimmed();
    row.expires = parseDate(fieldText(rowSet.field(first + 2)));
    row.substance = isYes(rowSet.field(first + 3));
    row.product = isYes(rowSet.field(first + 4));
    row.useCode = fieldText(rowSet.field(first + 5)).trimmed();
    row.delisted = isYes(rowSet.field(first + 6));
    return row;
}

} // namespace

QDate readReleaseDate()
{
    QDate date;
    try {
        RowSet &rowSet = openSharedQuery(SqlText::releaseDate());
        RowSetCloser closer(rowSet);
        if (!rowSet.eof()) {
            date = parseDate(fieldText(rowSet.field(0)));
        }
    } catch (const Common::AppError &error) {
        if (error.number() != DbErrorNumber::QueryFailed) {
            throw; // a damaged file, not a database built before the release was kept
        }
    }
    return date;
}

Figures readProduct(const QString &applicationNumber, const QString &productNumber, const QDate &release)
{
    const Layout &layout = layoutOfOpenFile();
    std::vector<PatentRow> patents;
    std::vector<ExclusivityRow> exclusivities;
    QHash<QString, PatentKind> elsewhere;
    {
        RowSet &rowSet = openSharedQuery(
            SqlText::protectionRows(applicationNumber, productNumber, layout.delistFlag, layout.exclusivity));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            const QString source = fieldText(rowSet.field(0));
            if (source == QLatin1String("P")) {
                patents.push_back(patentRow(rowSet, 1));
            } else if (source == QLatin1String("E")) {
                exclusivities.push_back({rowSet.field(1).toLongLong(), fieldText(rowSet.field(2)).trimmed(),
                                         parseDate(fieldText(rowSet.field(3)))});
            } else {
                const PatentRow row = patentRow(rowSet, 1);
                const PatentKind kind = patentKind(row);
                const auto found = elsewhere.constFind(row.number);
                if (found == elsewhere.cend() || int(kind) < int(*found)) {
                    elsewhere.insert(row.number, kind);
                }
            }
        }
    }
    return compute(
        patents, exclusivities,
        [&elsewhere](const QString &number) -> std::optional<PatentKind> {
            const auto found = elsewhere.constFind(number);
            return found == elsewhere.cend() ? std::nullopt : std::optional<PatentKind>(*found);
        },
        release);
}

std::optional<Generics> readGenerics(qint64 productId)
{
    const Layout &layout = layoutOfOpenFile();
    Generics generics;
    if (!layout.applicationType) {
        return generics; // which products are ANDAs is not known
    }
    RowSet &rowSet = openSharedQuery(SqlText::sameProductAndas(productId));
    RowSetCloser closer(rowSet);
    if (rowSet.eof()) {
        return std::nullopt;
    }
    for (; !rowSet.eof(); rowSet.moveNext()) {
        if (rowSet.field(3).isNull()) {
            continue; // the product has no ANDA of the four
        }
        ++generics.anyAnda;
        const QString type = fieldText(rowSet.field(0)).trimmed();
        const QString code = fieldText(rowSet.field(1)).trimmed();
        if (type.compare(QLatin1String("DISCN"), Qt::CaseInsensitive) == 0
            || !code.startsWith(QLatin1Char('A'), Qt::CaseInsensitive)) {
            continue;
        }
        ++generics.marketedARated;
        const QDate approved = parseDate(fieldText(rowSet.field(2)));
        if (approved.isValid() && (!generics.firstApproval.isValid() || approved < generics.firstApproval)) {
            generics.firstApproval = approved;
        }
    }
    return generics;
}

std::vector<ProductFigures> readAllProducts(const QDate &release)
{
    const Layout &layout = layoutOfOpenFile();
    using Key = std::pair<QString, QString>; // application, product
    std::map<Key, std::vector<PatentRow>> patents;
    std::map<Key, std::vector<ExclusivityRow>> exclusivities;
    QHash<QString, PatentKind> kindAnywhere;
    {
        RowSet &rowSet = openSharedQuery(SqlText::allPatentRows(layout.delistFlag));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            const PatentRow row = patentRow(rowSet, 0);
            const Key key{fieldText(rowSet.field(7)), fieldText(rowSet.field(8))};
            if (!isPediatricPatent(row.number)) {
                const PatentKind kind = patentKind(row);
                const auto found = kindAnywhere.constFind(row.number);
                if (found == kindAnywhere.cend() || int(kind) < int(*found)) {
                    kindAnywhere.insert(row.number, kind);
                }
            }
            patents[key].push_back(row);
        }
    }
    if (layout.exclusivity) {
        RowSet &rowSet = openSharedQuery(SqlText::allExclusivityRows());
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            exclusivities[{fieldText(rowSet.field(3)), fieldText(rowSet.field(4))}].push_back(
                {rowSet.field(0).toLongLong(), fieldText(rowSet.field(1)).trimmed(),
                 parseDate(fieldText(rowSet.field(2)))});
        }
    }
    std::vector<ProductFigures> products;
    std::vector<QString> sameKeys;
    std::vector<QDate> approvals;
    std::vector<bool> aRated;
    {
        RowSet &rowSet = openSharedQuery(SqlText::allProtectionProducts(layout.applicationType));
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            ProductFigures p;
            p.id = rowSet.field(0).toLongLong();
            p.applicationType = fieldText(rowSet.field(1)).trimmed();
            p.applicationNumber = fieldText(rowSet.field(2));
            p.productNumber = fieldText(rowSet.field(3));
            p.tradeName = fieldText(rowSet.field(4));
            p.strength = fieldText(rowSet.field(5));
            p.dosageForm = fieldText(rowSet.field(6));
            p.type = fieldText(rowSet.field(8)).trimmed();
            p.referenceListed = isYes(rowSet.field(9));
            // Ingredient, dosage form, route and strength, letter case ignored.
            sameKeys.push_back((fieldText(rowSet.field(10)) + QChar(0x1f) + p.dosageForm + QChar(0x1f)
                                + fieldText(rowSet.field(7)) + QChar(0x1f) + p.strength)
                                   .toCaseFolded());
            approvals.push_back(parseDate(fieldText(rowSet.field(11))));
            aRated.push_back(fieldText(rowSet.field(12)).trimmed().startsWith(QLatin1Char('A'), Qt::CaseInsensitive));
            products.push_back(std::move(p));
        }
    }
    // The ANDAs of each ingredient, dosage form, route and strength, as readGenerics counts them.
    QHash<QString, Generics> generics;
    if (layout.applicationType) {
        for (size_t i = 0; i < products.size(); ++i) {
            const ProductFigures &p = products[i];
            if (p.applicationType.compare(QLatin1String("A"), Qt::CaseInsensitive) != 0) {
                continue;
            }
            Generics &g = generics[sameKeys[i]];
            ++g.anyAnda;
            if (p.type.compare(QLatin1String("DISCN"), Qt::CaseInsensitive) == 0 || !aRated[i]) {
                continue;
            }
            ++g.marketedARated;
            if (approvals[i].isValid() && (!g.firstApproval.isValid() || approvals[i] < g.firstApproval)) {
                g.firstApproval = approvals[i];
            }
        }
        for (size_t i = 0; i < products.size(); ++i) {
            products[i].generics = generics.value(sameKeys[i]);
        }
    }
    const auto kindElsewhere = [&kindAnywhere](const QString &number) -> std::optional<PatentKind> {
        const auto found = kindAnywhere.constFind(number);
        return found == kindAnywhere.cend() ? std::nullopt : std::optional<PatentKind>(*found);
    };
    static const std::vector<PatentRow> noPatents;
    static const std::vector<ExclusivityRow> noExclusivities;
    for (ProductFigures &p : products) {
        const Key key{p.applicationNumber, p.productNumber};
        const auto pat = patents.find(key);
        const auto exc = exclusivities.find(key);
        p.figures = compute(pat == patents.end() ? noPatents : pat->second,
                            exc == exclusivities.end() ? noExclusivities : exc->second, kindElsewhere, release);
    }
    return products;
}

} // namespace Protection

} // namespace Db
