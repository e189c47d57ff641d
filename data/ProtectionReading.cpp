// Reading a product's patents and exclusivities (and every product's, for the
// report) from the open database; the figures themselves come from compute().
#include "data/Protection.h"

#include "data/Database.h"
#include "data/SqlText.h"
#include "layout/Schema.h"

#include <QHash>
#include <QSet>

#include <algorithm>
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

// What one open file holds that an older database may lack, and its release date; read
// once per open (Connection::openCount), so a file opened again after an update, even
// under the same name, is read again.
struct Layout
{
    bool delistFlag = false;
    bool exclusivity = false;
    bool applicationType = false;
    // The products index the ANDAs of a product are found through (empty: none of them).
    QString andaIndex;
    QDate release;
    // The importer's table of each product's figures (an older database lacks it).
    bool figuresTable = false;
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
    layout.figuresTable = !columns(QString(Schema::ProductProtection::Table)).isEmpty();
    QSet<QString> indexes;
    {
        RowSet &rowSet = openSharedQuery(SqlText::indexNames());
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            indexes.insert(fieldText(rowSet.field(0)).toLower());
        }
    }
    // By strength and ingredient: a third of the time of the ingredient alone.
    for (const QString &name : {QStringLiteral("products by Strength"), QStringLiteral("products by ingredient")}) {
        if (indexes.contains(name.toLower())) {
            layout.andaIndex = name;
            break;
        }
    }
    try {
        RowSet &rowSet = openSharedQuery(SqlText::releaseDate());
        RowSetCloser closer(rowSet);
        if (!rowSet.eof()) {
            layout.release = parseDate(fieldText(rowSet.field(0)));
        }
    } catch (const Common::AppError &error) {
        if (error.number() != DbErrorNumber::QueryFailed) {
            throw; // a damaged file, not a database built before the release was kept
        }
    }
    return layout;
}

Layout &layoutOfOpenFile()
{
    static quint64 openCount = 0;
    static Layout layout;
    const quint64 now = Connection::shared().openCount();
    if (now != openCount) {
        layout = readLayout();
        openCount = now;
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

struct Rows
{
    std::vector<PatentRow> patents;
    std::vector<ExclusivityRow> exclusivities;
    Generics generics;
    bool productFound = false;
};

// A product's rows and its ANDAs through one kept statement; its "*PED" patents' bases
// through a second one, only when it has such a patent. `productId` -1 reads no ANDAs.
Rows readRows(qint64 productId, const QString &applicationNumber, const QString &productNumber,
              QHash<QString, PatentKind> &elsewhere)
{
    Layout &layout = layoutOfOpenFile();
    Rows rows;
    const QVariantList values{applicationNumber, productNumber, productId};
    const auto read = [&](RowSet &rowSet) {
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            const QString source = fieldText(rowSet.field(0));
            if (source == QLatin1String("P")) {
                rows.patents.push_back(patentRow(rowSet, 1));
            } else if (source == QLatin1String("E")) {
                rows.exclusivities.push_back({rowSet.field(1).toLongLong(), fieldText(rowSet.field(2)).trimmed(),
                                              parseDate(fieldText(rowSet.field(3)))});
            } else {
                rows.productFound = true;
                if (!rowSet.field(1).isNull()) {
                    const bool counted
                        = isMarketedARated(fieldText(rowSet.field(2)).trimmed(), fieldText(rowSet.field(3)).trimmed());
                    countAnda(rows.generics, counted, counted ? parseDate(fieldText(rowSet.field(4))) : QDate());
                }
            }
        }
    };
    const auto statement = [&layout] {
        return SqlText::protectionOfProduct(layout.delistFlag, layout.exclusivity, layout.applicationType,
                                            layout.andaIndex)
            .toUtf8();
    };
    try {
        read(openSharedQuery(statement(), values));
    } catch (const Common::AppError &error) {
        // A file whose index by that name cannot find the ANDAs: the plain statement.
        if (error.number() != DbErrorNumber::QueryFailed || layout.andaIndex.isEmpty()) {
            throw;
        }
        layout.andaIndex.clear();
        rows = Rows();
        read(openSharedQuery(statement(), values));
    }
    if (std::any_of(rows.patents.cbegin(), rows.patents.cend(),
                    [](const PatentRow &row) { return isPediatricPatent(row.number); })) {
        RowSet &rowSet = openSharedQuery(SqlText::pediatricBasePatents(layout.delistFlag).toUtf8(),
                                         {applicationNumber, productNumber});
        RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            const PatentRow row = patentRow(rowSet, 0);
            const PatentKind kind = patentKind(row);
            const auto found = elsewhere.constFind(row.number);
            if (found == elsewhere.cend() || int(kind) < int(*found)) {
                elsewhere.insert(row.number, kind);
            }
        }
    }
    return rows;
}

Figures computeRows(const Rows &rows, const QHash<QString, PatentKind> &elsewhere, const QDate &release)
{
    return compute(
        rows.patents, rows.exclusivities,
        [&elsewhere](const QString &number) -> std::optional<PatentKind> {
            const auto found = elsewhere.constFind(number);
            return found == elsewhere.cend() ? std::nullopt : std::optional<PatentKind>(*found);
        },
        release);
}

} // namespace

bool isMarketedARated(const QString &type, const QString &teCode)
{
    return type.compare(QLatin1String("DISCN"), Qt::CaseInsensitive) != 0
        && teCode.startsWith(QLatin1Char('A'), Qt::CaseInsensitive);
}

void countAnda(Generics &generics, bool marketedARated, const QDate &approved)
{
    ++generics.anyAnda;
    if (!marketedARated) {
        return;
    }
    ++generics.marketedARated;
    if (approved.isValid() && (!generics.firstApproval.isValid() || approved < generics.firstApproval)) {
        generics.firstApproval = approved;
    }
}

QDate readReleaseDate()
{
    return layoutOfOpenFile().release;
}

Figures readProduct(const QString &applicationNumber, const QString &productNumber, const QDate &release)
{
    QHash<QString, PatentKind> elsewhere;
    const Rows rows = readRows(-1, applicationNumber, productNumber, elsewhere);
    return computeRows(rows, elsewhere, release);
}

std::optional<Generics> readGenerics(qint64 productId)
{
    QHash<QString, PatentKind> elsewhere;
    const Rows rows = readRows(productId, QString(), QString(), elsewhere);
    return rows.productFound ? std::optional<Generics>(rows.generics) : std::nullopt;
}

std::optional<ProductReading> readProductRow(qint64 productId, const QString &applicationNumber,
                                             const QString &productNumber)
{
    QHash<QString, PatentKind> elsewhere;
    const Rows rows = readRows(productId, applicationNumber, productNumber, elsewhere);
    if (!rows.productFound) {
        return std::nullopt;
    }
    const QDate release = readReleaseDate();
    return ProductReading{computeRows(rows, elsewhere, release), rows.generics, release};
}

std::optional<ProductReading> readProductSummary(qint64 productId, const QString &applicationNumber,
                                                 const QString &productNumber)
{
    const Layout &layout = layoutOfOpenFile();
    if (!layout.figuresTable) {
        return readProductRow(productId, applicationNumber, productNumber);
    }
    RowSet &rowSet = openSharedQuery(SqlText::productProtectionRow().toUtf8(), {productId});
    RowSetCloser closer(rowSet);
    if (rowSet.eof()) {
        return std::nullopt;
    }
    const auto date = [&rowSet](int field) { return QDate::fromString(fieldText(rowSet.field(field)), Qt::ISODate); };
    ProductReading reading;
    reading.release = layout.release;
    Figures &figures = reading.figures;
    figures.status = fieldText(rowSet.field(0));
    figures.listedEnd = date(1);
    figures.listedSetter = fieldText(rowSet.field(2));
    figures.coreEnd = date(3);
    figures.coreSetter = fieldText(rowSet.field(4));
    figures.until180 = date(5);
    reading.generics.marketedARated = rowSet.field(6).toInt();
    reading.generics.firstApproval = date(7);
    reading.generics.anyAnda = rowSet.field(8).toInt();
    return reading;
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
    std::vector<bool> marketedARated;
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
            const bool counted = isMarketedARated(p.type, fieldText(rowSet.field(12)).trimmed());
            marketedARated.push_back(counted);
            approvals.push_back(counted ? parseDate(fieldText(rowSet.field(11))) : QDate());
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
            countAnda(generics[sameKeys[i]], marketedARated[i], approvals[i]);
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

std::vector<ProductFigures> readAllProductSummaries(const QDate &release)
{
    const Layout &layout = layoutOfOpenFile();
    if (!layout.figuresTable) {
        return readAllProducts(release);
    }
    std::vector<ProductFigures> products;
    RowSet &rowSet = openSharedQuery(SqlText::allProductProtectionRows(layout.applicationType));
    RowSetCloser closer(rowSet);
    QByteArray scratch;
    const auto text = [&rowSet, &scratch](int field) { return QString::fromUtf8(rowSet.fieldUtf8(field, scratch)); };
    const auto date = [&rowSet, &scratch](int field) {
        const QByteArrayView iso = rowSet.fieldUtf8(field, scratch);
        return QDate::fromString(QLatin1StringView(iso.data(), iso.size()), Qt::ISODate);
    };
    for (; !rowSet.eof(); rowSet.moveNext()) {
        ProductFigures &p = products.emplace_back();
        p.id = rowSet.fieldInt64(0);
        if (rowSet.field(10).isNull()) {
            throw Common::AppError(DbErrorNumber::QueryFailed, QStringLiteral("Protection.readAllProductSummaries"),
                                   QStringLiteral("The table %1 has no row of product %2.")
                                       .arg(QString(Schema::ProductProtection::Table))
                                       .arg(p.id));
        }
        p.applicationType = text(1).trimmed();
        p.applicationNumber = text(2);
        p.productNumber = text(3);
        p.tradeName = text(4);
        p.strength = text(5);
        p.dosageForm = text(6);
        p.type = text(8).trimmed();
        p.referenceListed = isYes(rowSet.field(9));
        Figures &f = p.figures;
        f.status = text(11);
        f.listedEnd = date(12);
        f.listedSetter = text(13);
        f.coreEnd = date(14);
        f.coreSetter = text(15);
        f.until180 = date(16);
        p.generics.marketedARated = int(rowSet.fieldInt64(17));
        p.generics.firstApproval = date(18);
        p.generics.anyAnda = int(rowSet.fieldInt64(19));
    }
    return products;
}

} // namespace Protection

} // namespace Db
