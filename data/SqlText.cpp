#include "data/SqlText.h"

#include "layout/Schema.h"

namespace Db {

namespace SqlText {

QString quoteSqlText(const QString &text)
{
    QString quoted = text;
    // The database driver ends a statement at a NUL character, which would cut the
    // text and leave its quote open; no stored value holds one, so it is dropped.
    quoted.remove(QChar(u'\0'));
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

namespace {

// The exclusivity list's line: the code, then the application and product it is
// for ("ODE-123  N021234/001"), as one code is found on many products.
QString exclusivityHead()
{
    return QStringLiteral("SELECT [Exclusivity Code] || '  ' || ifnull([Application Type],'') || "
                          "ifnull([New Drug Application (NDA) Number],'') || '/' || ifnull([Product Number],'') "
                          "AS [Exclusivity],ID FROM [exclusivity] where ");
}

} // namespace

QString nameSearch(Window window, const QString &text)
{
    const QString t = quoteSqlText(text);
    switch (window) {
    case Window::Drugs:
        return QStringLiteral("SELECT [trade name],ID FROM products where [trade name] like '%") + t
            + QStringLiteral("%' order by [trade name];");
    case Window::Ingredients:
        return QStringLiteral("SELECT distinct [ingredient] FROM products where [ingredient] like '%") + t
            + QStringLiteral("%' order by [ingredient];");
    case Window::DosageForm:
        return QStringLiteral("SELECT [name],ID FROM [dosage form] where [name] like '%") + t
            + QStringLiteral("%' order by [name];");
    case Window::Route:
        return QStringLiteral("SELECT [name],ID FROM [route of administration] where [name] like '%") + t
            + QStringLiteral("%' order by [name];");
    case Window::Patent:
        return QStringLiteral("SELECT distinct [Patent Number],ID FROM [patent] where [Patent Number] like '%") + t
            + QStringLiteral("%' order by [Patent Number];");
    case Window::Exclusivity:
        return exclusivityHead() + QStringLiteral("[Exclusivity Code] like '%") + t
            + QStringLiteral("%' order by [Exclusivity Code],[New Drug Application (NDA) Number],[Product Number],ID;");
    }
    return {};
}

QString advancedSearchHead(Window window)
{
    switch (window) {
    case Window::Drugs:
        return QStringLiteral("SELECT [trade name],ID FROM products where ");
    case Window::Ingredients:
        return QStringLiteral("SELECT distinct [ingredient] FROM products where ");
    case Window::DosageForm:
        return QStringLiteral("SELECT [name],ID FROM [dosage form] where ");
    case Window::Route:
        return QStringLiteral("SELECT [name],ID FROM [route of administration] where ");
    case Window::Patent:
        return QStringLiteral("SELECT distinct [Patent Number],ID FROM [Patent] where ");
    case Window::Exclusivity:
        return exclusivityHead();
    }
    return {};
}

QString advancedSearchTail(Window window, HitOrder order)
{
    const bool sortHits = order == HitOrder::SortHits;
    switch (window) {
    case Window::Drugs:
        // "+" keeps the term's collation but no index can give it.
        return sortHits ? QStringLiteral(" order by +[trade name],ID;") : QStringLiteral(" order by [trade name];");
    case Window::Ingredients:
        return QStringLiteral(" order by [ingredient];");
    case Window::DosageForm:
    case Window::Route:
        return QStringLiteral(" order by [name];");
    case Window::Patent:
        return sortHits ? QStringLiteral(" order by +[Patent Number],ID;")
                        : QStringLiteral(" order by [Patent Number];");
    case Window::Exclusivity:
        // The records of an application come product by product, each in file order.
        return QStringLiteral(" order by [New Drug Application (NDA) Number],[Product Number],ID;");
    }
    return {};
}

QString advancedSearch(Window window, const QString &clauses, HitOrder order)
{
    return advancedSearchHead(window) + clauses + advancedSearchTail(window, order);
}

QString likeClause(const QString &column, const QString &lead, const QString &text, const QString &trail)
{
    return QLatin1Char('[') + column + QStringLiteral("] like '") + lead + quoteSqlText(text) + trail
        + QStringLiteral("' \r\n");
}

QString equalsClause(const QString &column, const QString &text)
{
    return QLatin1Char('[') + column + QStringLiteral("] = '") + quoteSqlText(text)
        + QStringLiteral("' COLLATE NOCASE \r\n");
}

namespace {

// Every record of a window's table, and the key column that picks one of them.
struct RecordSource
{
    QString select;
    QString key;
};

RecordSource recordSource(Window window)
{
    const QString id = QStringLiteral("ID");
    switch (window) {
    case Window::Drugs:
        return {QStringLiteral("SELECT * FROM products"), id};
    case Window::DosageForm:
        return {QStringLiteral("SELECT * FROM [dosage form]"), id};
    case Window::Route:
        return {QStringLiteral("SELECT * FROM [route of administration]"), id};
    case Window::Patent:
        return {QStringLiteral("SELECT * FROM [Patent]"), id};
    case Window::Exclusivity:
        return {
            QStringLiteral("SELECT e.*,c.[Meaning] AS [Meaning] FROM [exclusivity] e LEFT JOIN [exclusivity code] c "
                           "ON c.[Code] = CASE WHEN instr(e.[Exclusivity Code],'-') > 0 "
                           "THEN substr(e.[Exclusivity Code],1,instr(e.[Exclusivity Code],'-')) || 'nnn' "
                           "ELSE e.[Exclusivity Code] END"),
            QStringLiteral("e.ID")};
    case Window::Ingredients:
        break; // the ingredient window shows products of an ingredient instead
    }
    return {};
}

} // namespace

QString details(Window window, qint32 id)
{
    const RecordSource source = recordSource(window);
    if (source.select.isEmpty()) {
        return {};
    }
    return source.select + QStringLiteral(" where ") + source.key + QStringLiteral("= ") + QString::number(id)
        + QStringLiteral(" ;");
}

QString allRecords(Window window)
{
    const RecordSource source = recordSource(window);
    return source.select.isEmpty() ? QString() : source.select + QStringLiteral(";");
}

QString productsWithIngredient(const QString &ingredient)
{
    return QStringLiteral("SELECT * FROM products where ingredient = '") + quoteSqlText(ingredient)
        + QStringLiteral("' COLLATE NOCASE order by [trade name],[Applicant Full Name] ;");
}

QString productExclusivities(const QString &applicationNumber, const QString &productNumber)
{
    return QStringLiteral("SELECT [Exclusivity Code],[Exclusivity Date] FROM [exclusivity] where ")
        + equalsClause(QStringLiteral("New Drug Application (NDA) Number"), applicationNumber) + QStringLiteral(" AND ")
        + equalsClause(QStringLiteral("Product Number"), productNumber) + QStringLiteral(" order by ID;");
}

QString exclusivityCount(const QString &applicationNumber)
{
    return QStringLiteral("SELECT count(*) FROM [exclusivity] where ")
        + equalsClause(QStringLiteral("New Drug Application (NDA) Number"), applicationNumber) + QLatin1Char(';');
}

QString exclusivityCount()
{
    return QStringLiteral("SELECT count(*) FROM [exclusivity];");
}

QString lineDetails(Window window, const QVector<qint64> &keys, bool withReferenceStandard)
{
    QStringList list;
    list.reserve(keys.size());
    for (const qint64 key : keys) {
        list << QString::number(key);
    }
    const QString in = QStringLiteral(" where ID in (") + list.join(QLatin1Char(',')) + QStringLiteral(");");
    switch (window) {
    case Window::Drugs:
        // Then whether it is marketed and how it is rated, so discontinued and
        // non-equivalent products stand out in a list, and whether it is a reference.
        return QStringLiteral("SELECT ID,[Strength],[Dosage Form],[Applicant Full Name],[Type],"
                              "[Therapeutic Equivalence (TE) Code],[Reference Listed Drug (RLD)],")
            + (withReferenceStandard ? QStringLiteral("[Reference Standard (RS)]") : QStringLiteral("NULL"))
            + QStringLiteral(" FROM products") + in;
    case Window::Patent:
        // The trade name of the product the record names, which a line shows first.
        return QStringLiteral("SELECT ID,[New Drug Application (NDA) Number],[Product Number],[Patent Expire Date],"
                              "(SELECT [trade name] FROM products d where d.[New Drug Application (NDA) Number]"
                              " = p.[New Drug Application (NDA) Number] AND d.[Product Number] = p.[Product Number]"
                              " order by d.ID limit 1) FROM [Patent] p")
            + in;
    default:
        return {};
    }
}

QString releaseDate()
{
    return QStringLiteral("SELECT [Release Date] FROM [release];");
}

QString comparedReleaseDate()
{
    return QStringLiteral("SELECT [Release Date] FROM [compared release] WHERE ID = 1;");
}

QString productOfApplication(const QString &applicationNumber, const QString &productNumber)
{
    return QStringLiteral("SELECT ID FROM products where ")
        + equalsClause(QStringLiteral("New Drug Application (NDA) Number"), applicationNumber) + QStringLiteral(" AND ")
        + equalsClause(QStringLiteral("Product Number"), productNumber) + QStringLiteral(" order by ID;");
}

namespace {

QString applicationAndProduct(const QString &applicationNumber, const QString &productNumber)
{
    QString where = equalsClause(QStringLiteral("New Drug Application (NDA) Number"), applicationNumber);
    if (!productNumber.isEmpty()) {
        where += QStringLiteral(" AND ") + equalsClause(QStringLiteral("Product Number"), productNumber);
    }
    return where;
}

} // namespace

QString namedProduct(const QString &applicationNumber, const QString &productNumber)
{
    return QStringLiteral("SELECT ID,[trade name],[Strength],[Dosage Form] FROM products where ")
        + equalsClause(QStringLiteral("New Drug Application (NDA) Number"), applicationNumber) + QStringLiteral(" AND ")
        + equalsClause(QStringLiteral("Product Number"), productNumber) + QStringLiteral(" order by ID;");
}

QString patentRecordsOf(const QString &applicationNumber, const QString &productNumber)
{
    return QStringLiteral("SELECT ID FROM [Patent] where ") + applicationAndProduct(applicationNumber, productNumber)
        + QStringLiteral(" order by ID;");
}

QString patentCoverage(const QString &applicationNumber, const QString &productNumber)
{
    return QStringLiteral("SELECT count(*),count(distinct [Patent Number]),count(distinct [Product Number]) FROM "
                          "[Patent] where ")
        + applicationAndProduct(applicationNumber, productNumber) + QLatin1Char(';');
}

namespace {

// A TE code list split into its codes: rows (code, rest) of the recursive table
// `codes`, from the list `list` (an SQL expression), blanks dropped, letters upper case.
QString splitCodes(const QString &list)
{
    return QStringLiteral("codes(pos, code, rest) AS (SELECT 0, '', upper(replace(ifnull(") + list
        + QStringLiteral(",''),' ','')) || ',' UNION ALL SELECT pos + 1, substr(rest, 1, instr(rest, ',') - 1), "
                         "substr(rest, instr(rest, ',') + 1) FROM codes WHERE rest <> '')");
}

// The shown product (only while marketed) as `p`, its codes as `codes`, and every
// marketed product of its ingredients, form, route and strength that shares one of
// its A codes as `s`. Strength leads: the index on strength and ingredient finds the
// few products of both at once (the "+" keeps SQLite from the route's index instead,
// which holds thousands of products of one route; the letter case is still ignored).
QString substituteSource(qint32 id)
{
    const QString te = QStringLiteral("[Therapeutic Equivalence (TE) Code]");
    return QStringLiteral("WITH RECURSIVE shown AS (SELECT * FROM products WHERE ID = ") + QString::number(id)
        + QStringLiteral(" AND [Type] IN ('RX','OTC')), ")
        + splitCodes(QStringLiteral("(SELECT ") + te + QStringLiteral(" FROM shown)"))
        + QStringLiteral(" SELECT s.[trade name] AS [trade name], s.ID AS ID, p.ID AS shownID FROM shown p "
                         "JOIN products s ON s.[Strength] = p.[Strength] AND s.[ingredient] = p.[ingredient] "
                         "AND +s.[Dosage Form] = p.[Dosage Form] "
                         "AND +s.[Route of Administration] = p.[Route of Administration] "
                         "WHERE s.[Type] IN ('RX','OTC') AND EXISTS (SELECT 1 FROM codes c "
                         "WHERE substr(c.code, 1, 1) = 'A' AND instr(',' || upper(replace(ifnull(s.")
        + te + QStringLiteral(",''),' ','')) || ',', ',' || c.code || ',') > 0)");
}

} // namespace

QString tableColumns(const QString &table)
{
    return QStringLiteral("PRAGMA table_info('") + quoteSqlText(table) + QStringLiteral("');");
}

namespace {

QString patentColumns(bool withDelistFlag)
{
    return QStringLiteral("ID,[Patent Number],[Patent Expire Date],[Drug Substance Flag],[Drug Product Flag],"
                          "[Patent Use Code],")
        + (withDelistFlag ? QStringLiteral("[Delist Flag]") : QStringLiteral("NULL"));
}

} // namespace

QString substitutes(qint32 id)
{
    return QStringLiteral("SELECT [trade name],ID FROM (") + substituteSource(id)
        + QStringLiteral(") order by [trade name],ID;");
}

QString substituteCount(qint32 id)
{
    return QStringLiteral("SELECT count(*) FROM (") + substituteSource(id) + QStringLiteral(") WHERE ID <> shownID;");
}

QString teCodeMeanings(const QString &codes)
{
    // A code's number ("AB2") is not part of the code the table knows ("AB").
    return QStringLiteral("WITH RECURSIVE ") + splitCodes(QLatin1Char('\'') + quoteSqlText(codes) + QLatin1Char('\''))
        + QStringLiteral(" SELECT c.code AS [Code], (SELECT t.[Meaning] FROM [te code] t WHERE t.[Code] = "
                         "rtrim(c.code, '0123456789') COLLATE NOCASE) AS [Meaning] FROM codes c "
                         "WHERE c.code <> '' order by c.pos;");
}

QString protectionOfProduct(bool withDelistFlag, bool withExclusivity, bool withApplicationType,
                            const QString &andaIndex)
{
    const QString where = QStringLiteral("[New Drug Application (NDA) Number] = ?1 COLLATE NOCASE AND "
                                         "[Product Number] = ?2 COLLATE NOCASE");
    QString sql = QStringLiteral("SELECT 'P',") + patentColumns(withDelistFlag)
        + QStringLiteral(" FROM [Patent] where ") + where;
    if (withExclusivity) {
        sql += QStringLiteral(" UNION ALL SELECT 'E',ID,[Exclusivity Code],[Exclusivity Date],NULL,NULL,NULL,NULL "
                              "FROM [exclusivity] where ")
            + where;
    }
    if (!withApplicationType) {
        return sql
            + QStringLiteral(" UNION ALL SELECT 'G',NULL,NULL,NULL,NULL,NULL,NULL,NULL FROM products "
                             "where ID = ?3;");
    }
    return sql
        + QStringLiteral(" UNION ALL SELECT 'G',q.ID,q.[Type],q.[Therapeutic Equivalence (TE) Code],q.[Approval Date],"
                         "NULL,NULL,NULL FROM products p LEFT JOIN products q ")
        + (andaIndex.isEmpty() ? QString() : QStringLiteral("INDEXED BY [") + andaIndex + QStringLiteral("] "))
        + QStringLiteral("ON q.[ingredient] = p.[ingredient] AND q.[Dosage Form] = p.[Dosage Form] "
                         "AND q.[Route of Administration] = p.[Route of Administration] AND q.[Strength] = "
                         "p.[Strength] AND q.[Application Type] = 'A' where p.ID = ?3;");
}

QString pediatricBasePatents(bool withDelistFlag)
{
    return QStringLiteral("SELECT ") + patentColumns(withDelistFlag)
        + QStringLiteral(" FROM [Patent] where [Patent Number] IN (SELECT substr([Patent Number],1,"
                         "length([Patent Number])-4) FROM [Patent] where [New Drug Application (NDA) Number] = ?1 "
                         "COLLATE NOCASE AND [Product Number] = ?2 COLLATE NOCASE AND [Patent Number] like "
                         "'%*PED');");
}

QString indexNames()
{
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index';");
}

QString allPatentRows(bool withDelistFlag)
{
    return QStringLiteral("SELECT ") + patentColumns(withDelistFlag)
        + QStringLiteral(",[New Drug Application (NDA) Number],[Product Number] FROM [Patent] order by ID;");
}

QString allExclusivityRows()
{
    return QStringLiteral("SELECT ID,[Exclusivity Code],[Exclusivity Date],[New Drug Application (NDA) Number],"
                          "[Product Number] FROM [exclusivity] order by ID;");
}

QString allProtectionProducts(bool withApplicationType)
{
    return QStringLiteral("SELECT ID,")
        + (withApplicationType ? QStringLiteral("[Application Type]") : QStringLiteral("NULL"))
        + QStringLiteral(",[New Drug Application (NDA) Number],[Product Number],[trade name],[Strength],[Dosage Form],"
                         "[Route of Administration],[Type],[Reference Listed Drug (RLD)],[ingredient],[Approval Date],"
                         "[Therapeutic Equivalence (TE) Code] FROM products order by ID;");
}

namespace {

namespace PP = Schema::ProductProtection;

// The values of [product protection] after its ID, in the order they are read.
constexpr QLatin1StringView protectionValues[]
    = {PP::Status,   PP::ListedEnd,      PP::ListedSetter,  PP::CoreEnd, PP::CoreSetter,
       PP::Until180, PP::MarketedARated, PP::FirstApproval, PP::AnyAnda};

QString bracketed(QLatin1StringView name)
{
    return QLatin1Char('[') + QString(name) + QLatin1Char(']');
}

} // namespace

QString productProtectionRow()
{
    QStringList columns;
    for (QLatin1StringView column : protectionValues) {
        columns << bracketed(column);
    }
    return QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + bracketed(PP::Table)
        + QStringLiteral(" WHERE ") + bracketed(PP::ID) + QStringLiteral(" = ?1;");
}

QString allProductProtectionRows(bool withApplicationType)
{
    QStringList columns;
    for (QLatin1StringView column : protectionValues) {
        columns << QStringLiteral("pp.") + bracketed(column);
    }
    return QStringLiteral("SELECT p.ID,")
        + (withApplicationType ? QStringLiteral("p.[Application Type]") : QStringLiteral("NULL"))
        + QStringLiteral(",p.[New Drug Application (NDA) Number],p.[Product Number],p.[trade name],p.[Strength],"
                         "p.[Dosage Form],p.[Route of Administration],p.[Type],p.[Reference Listed Drug (RLD)],pp.")
        + bracketed(PP::ID) + QLatin1Char(',') + columns.join(QLatin1Char(','))
        + QStringLiteral(" FROM products p LEFT JOIN ") + bracketed(PP::Table) + QStringLiteral(" pp ON pp.")
        + bracketed(PP::ID) + QStringLiteral(" = p.ID order by p.ID;");
}

QString createProductProtection()
{
    QStringList columns{bracketed(PP::ID) + QStringLiteral(" INTEGER PRIMARY KEY")};
    for (QLatin1StringView column : protectionValues) {
        const bool count = column == PP::MarketedARated || column == PP::AnyAnda;
        columns << bracketed(column) + (count ? QStringLiteral(" INTEGER NOT NULL") : QStringLiteral(" TEXT"));
    }
    return QStringLiteral("CREATE TABLE ") + bracketed(PP::Table) + QStringLiteral(" (")
        + columns.join(QStringLiteral(", ")) + QStringLiteral(");");
}

QString insertProductProtection()
{
    return QStringLiteral("INSERT INTO ") + bracketed(PP::Table) + QStringLiteral(" VALUES (?,?,?,?,?,?,?,?,?,?);");
}

} // namespace SqlText

} // namespace Db
