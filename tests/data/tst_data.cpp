#include "data/Database.h"
#include "FixtureDatabase.h"
#include "layout/Schema.h"
#include "data/SqlText.h"
#include "data/TextMatching.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace Common;
using namespace Db;

namespace {

namespace P = Schema::Products;
namespace V = Schema::Vocabulary;
namespace Pt = Schema::Patent;

const QString RealDatabase = QStringLiteral(KVOSTREL_DB_PATH);

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A table as kvostrel-import lays it out: an integer key, then text columns that ignore case.
QString createTable(QLatin1StringView table, std::initializer_list<QLatin1StringView> columns)
{
    QString sql = QStringLiteral("CREATE TABLE [%1] (ID INTEGER PRIMARY KEY").arg(table);
    for (const QLatin1StringView column : columns) {
        sql += QStringLiteral(", [%1] TEXT COLLATE NOCASE").arg(column);
    }
    return sql + QLatin1Char(')');
}

// A small reference database with the real table layout and hand-picked rows.
void buildFixture(const QString &path)
{
    const auto vocabulary = {V::Name, V::Definition, V::UseRestrictions, V::ShortName, V::FdaCode, V::NciConceptId};
    createDatabase(
        path,
        {createTable(P::Table,
                     {P::Ingredient, P::TradeName, P::Strength, P::DosageForm, P::Route, P::Type, P::Applicant,
                      P::TECode, P::ProductNumber, P::NDANumber, P::RLD, P::ApprovalDate}),
         createTable(V::DosageFormTable, vocabulary), createTable(V::RouteTable, vocabulary),
         createTable(Pt::Table,
                     {Pt::PatentNumber, Pt::ExpireDate, Pt::NDANumber, Pt::ProductNumber, Pt::SubstanceFlag,
                      Pt::ProductFlag, Pt::UseCode}),
         QStringLiteral("INSERT INTO products (ID, ingredient, [trade name], Strength, [Applicant Full Name]) VALUES"
                        " (1, 'ASPIRIN', 'bayer', '325MG', 'BAYER'),"
                        " (2, 'ASPIRIN', 'Anacin', '400MG', 'PFIZER'),"
                        " (3, 'ASPIRIN;CAFFEINE', 'EXCEDRIN', NULL, 'NOVARTIS'),"
                        " (4, 'MINOXIDIL', 'MEN''S ROGAINE', '5%', 'J AND J'),"
                        " (5, 'ASPIRIN', 'aspirin', '81MG', 'ACME'),"
                        " (6, 'ASPIRIN', 'ASPIRIN', '81MG', 'ZENITH'),"
                        " (7, NULL, 'NOTHING INSIDE', NULL, NULL)")});
}

// The error `step` raises, or nothing when it runs through.
template<typename Step>
std::optional<AppError> errorOf(Step step)
{
    try {
        step();
    } catch (const AppError &error) {
        return error;
    }
    return std::nullopt;
}

QStringList readColumn(const QString &sql, const QString &column)
{
    QStringList values;
    RowSet &rs = openSharedQuery(sql);
    RowSetCloser closer(rs);
    while (!rs.eof()) {
        values << fieldText(rs.field(column));
        rs.moveNext();
    }
    return values;
}

// The trade names the drug window's quick search lists for `text`.
QStringList tradeNames(const QString &text)
{
    return readColumn(SqlText::nameSearch(SqlText::Window::Drugs, text), QStringLiteral("trade name"));
}

// Leaves the fixture for the database the build makes; false when there is none.
bool openRealDatabase()
{
    Connection::releaseShared();
    if (!QFile::exists(RealDatabase)) {
        return false;
    }
    Connection::shared().open(RealDatabase);
    return true;
}

} // namespace

class DataTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void likeAndOrderByIgnoreCase();
    void distinctReturnsEachCombinationOnce();
    void nullNeverMatchesAPattern();
    void unknownIdGivesEmptyRowSet();
    void quoteInSearchTextIsSearchedLiterally();
    void typedPercentStaysAWildcard();
    void fieldLookupIgnoresCaseAndReportsUnknownColumns();
    void secondQueryWhileRowSetIsOpenIsRefused();
    void writesAreImpossibleAndTheFileStaysUnchanged();
    void unusableFilesFailToOpenWithAClearDescription_data();
    void unusableFilesFailToOpenWithAClearDescription();
    void missingFileIsNotCreated();

    void lettersBeyondAsciiAreFoundInEitherCase_data();
    void lettersBeyondAsciiAreFoundInEitherCase();
    void foldedComparisonKeepsSqliteOrderOnAscii();
    void likeMatchesAsSqlitesOwnOnAscii();

    void sqlTextsAreExactlyTheProgramsTexts();
    void likeClauseQuotesTextAndEndsWithBlankAndLineBreak();

    void realDatabaseHoldsEveryFdaRecord();
    void realDatabaseOrdersAndQuotesLikeTheWindowsExpect();

private:
    QTemporaryDir m_dir;
    QString m_fixture;
};

void DataTest::init()
{
    QVERIFY(m_dir.isValid());
    m_fixture = m_dir.filePath(QStringLiteral("kvostrel.mdb"));
    if (!QFile::exists(m_fixture)) {
        buildFixture(m_fixture);
    }
    Connection::shared().open(m_fixture);
}

void DataTest::cleanup()
{
    Connection::releaseShared();
}

void DataTest::likeAndOrderByIgnoreCase()
{
    const QStringList names = tradeNames(QStringLiteral("ASP"));
    QCOMPARE(names.size(), 2);
    QVERIFY(names.contains(QStringLiteral("aspirin")) && names.contains(QStringLiteral("ASPIRIN")));

    const QStringList ordered = tradeNames(QString());
    QCOMPARE(ordered.first(), QStringLiteral("Anacin")); // "Anacin" before "aspirin" before "bayer"
    QCOMPARE(ordered.indexOf(QStringLiteral("bayer")), 3);
}

void DataTest::distinctReturnsEachCombinationOnce()
{
    const QStringList ingredients
        = readColumn(SqlText::nameSearch(SqlText::Window::Ingredients, QString()), QStringLiteral("Ingredient"));
    QCOMPARE(ingredients,
             (QStringList{QStringLiteral("ASPIRIN"), QStringLiteral("ASPIRIN;CAFFEINE"), QStringLiteral("MINOXIDIL")}));
}

void DataTest::nullNeverMatchesAPattern()
{
    const QStringList all
        = readColumn(SqlText::advancedSearch(SqlText::Window::Drugs,
                                             SqlText::likeClause(QStringLiteral("Strength"), QStringLiteral("%"),
                                                                 QString(), QStringLiteral("%"))),
                     QStringLiteral("trade name"));
    QCOMPARE(all.size(), 5); // rows 3 and 7 have no strength
    QVERIFY(!all.contains(QStringLiteral("EXCEDRIN")));
}

void DataTest::unknownIdGivesEmptyRowSet()
{
    RowSet &rs = openSharedQuery(SqlText::details(SqlText::Window::Drugs, 987654));
    QVERIFY(rs.isOpen());
    QVERIFY(rs.eof());
    rs.close();
    QVERIFY(!rs.isOpen());
}

void DataTest::quoteInSearchTextIsSearchedLiterally()
{
    QCOMPARE(tradeNames(QStringLiteral("men's")), QStringList{QStringLiteral("MEN'S ROGAINE")});
    // Text that tries to close the literal and add a condition stays one literal.
    QVERIFY(tradeNames(QStringLiteral("x' or '1'='1")).isEmpty());
    // A NUL pasted into the text would end the statement early and leave its quote open.
    QCOMPARE(tradeNames(QStringLiteral("men").append(QChar(0)).append(QStringLiteral("'s"))),
             QStringList{QStringLiteral("MEN'S ROGAINE")});
    QCOMPARE(readColumn(SqlText::productsWithIngredient(QStringLiteral("aspirin;caffeine")), QStringLiteral("ID")),
             QStringList{QStringLiteral("3")});
    // An ingredient is matched as itself: "%" and "_" in it are no wildcards.
    for (const char *pattern : {"ASPIRIN%", "ASPIRI_", "%"}) {
        QVERIFY2(readColumn(SqlText::productsWithIngredient(QLatin1String(pattern)), QStringLiteral("ID")).isEmpty(),
                 pattern);
    }
}

void DataTest::typedPercentStaysAWildcard()
{
    QCOMPARE(tradeNames(QStringLiteral("a%n")),
             (QStringList{QStringLiteral("Anacin"), QStringLiteral("aspirin"), QStringLiteral("ASPIRIN"),
                          QStringLiteral("MEN'S ROGAINE")}));
}

void DataTest::fieldLookupIgnoresCaseAndReportsUnknownColumns()
{
    RowSet &rs = openSharedQuery(SqlText::details(SqlText::Window::Drugs, 3));
    RowSetCloser closer(rs);
    QVERIFY(!rs.eof());
    QCOMPARE(rs.field(QStringLiteral("TRADE NAME")).toString(), QStringLiteral("EXCEDRIN"));
    QCOMPARE(rs.field(QStringLiteral("Ingredient")).toString(), QStringLiteral("ASPIRIN;CAFFEINE"));
    QVERIFY(rs.field(QStringLiteral("strength")).isNull());
    QCOMPARE(rs.field(QStringLiteral("id")).toInt(), 3);
    const auto unknown = errorOf([&] { rs.field(QStringLiteral("No Such Column")); });
    QVERIFY2(unknown, "an unknown column must raise an error");
    QCOMPARE(unknown->number(), DbErrorNumber::NoSuchField);
    QVERIFY(unknown->description().contains(QStringLiteral("No Such Column")));
    rs.moveNext();
    QVERIFY(rs.eof());
}

void DataTest::secondQueryWhileRowSetIsOpenIsRefused()
{
    RowSet &rs = openSharedQuery(SqlText::nameSearch(SqlText::Window::Drugs, QString()));
    const auto second = errorOf([] { openSharedQuery(SqlText::nameSearch(SqlText::Window::Drugs, QString())); });
    QVERIFY2(second, "a second query must not start while the row set is open");
    QCOMPARE(second->number(), DbErrorNumber::RowSetBusy);
    QVERIFY(rs.isOpen());
    QVERIFY(!rs.eof());
    rs.close();
}

void DataTest::writesAreImpossibleAndTheFileStaysUnchanged()
{
    Connection::releaseShared();
    const QByteArray before = fileHash(m_fixture);
    Connection::shared().open(m_fixture);
    const char *writes[] = {
        "INSERT INTO products (ID, [trade name]) VALUES (100, 'NEW')",
        "UPDATE products SET [trade name] = 'CHANGED'",
        "DELETE FROM patent",
        "CREATE TABLE extra (x)",
        "DROP TABLE products",
        "PRAGMA query_only = OFF; INSERT INTO products (ID) VALUES (101)",
    };
    for (const char *sql : writes) {
        errorOf([sql] { RowSetCloser closer(openSharedQuery(QString::fromLatin1(sql))); });
    }
    // Reads of every kind through the layer.
    tradeNames(QString());
    readColumn(SqlText::nameSearch(SqlText::Window::Patent, QString()), QStringLiteral("ID"));
    QCOMPARE(readColumn(SqlText::details(SqlText::Window::Drugs, 1), QStringLiteral("trade name")),
             QStringList{QStringLiteral("bayer")});
    QCOMPARE(readColumn(QStringLiteral("SELECT count(*) AS n FROM products"), QStringLiteral("n")),
             QStringList{QStringLiteral("7")});
    Connection::releaseShared();
    QCOMPARE(fileHash(m_fixture), before);
    QVERIFY(!QFile::exists(m_fixture + QStringLiteral("-journal")));
    QVERIFY(!QFile::exists(m_fixture + QStringLiteral("-wal")));
}

void DataTest::unusableFilesFailToOpenWithAClearDescription_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("words");
    QTest::newRow("empty") << QByteArray() << DbErrorNumber::FileEmpty << QStringLiteral("is empty");
    QTest::newRow("text") << QByteArray("just some text\r\n") << DbErrorNumber::NotADatabase
                          << QStringLiteral("not a database");
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    // An Access (Jet) header over nothing a Jet file holds: the reader finds no tables.
    QTest::newRow("jet") << jet << DbErrorNumber::Damaged << QStringLiteral("is damaged");
    QTest::newRow("other sqlite") << QByteArray("create") << DbErrorNumber::TableMissing
                                  << QStringLiteral("lacks the tables \"products\", \"dosage form\"");
}

void DataTest::unusableFilesFailToOpenWithAClearDescription()
{
    QFETCH(QByteArray, content);
    QFETCH(int, number);
    QFETCH(QString, words);
    Connection::releaseShared();
    const QString path = m_dir.filePath(QStringLiteral("bad-%1.mdb").arg(QTest::currentDataTag()).replace(' ', '-'));
    if (content == "create") {
        createDatabase(path, {QStringLiteral("CREATE TABLE unrelated (x)")});
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const auto error = errorOf([&] { Connection::shared().open(path); });
    QVERIFY2(error, "opening must fail");
    QCOMPARE(error->number(), number);
    QVERIFY2(error->description().contains(words), qPrintable(error->description()));
    QVERIFY(!error->source().isEmpty());
    QVERIFY(!Connection::shared().isOpen());
}

void DataTest::missingFileIsNotCreated()
{
    Connection::releaseShared();
    const QString path = m_dir.filePath(QStringLiteral("absent.mdb"));
    const auto error = errorOf([&] { Connection::shared().open(path); });
    QVERIFY2(error, "opening a missing file must fail");
    QCOMPARE(error->number(), DbErrorNumber::FileMissing);
    QVERIFY(error->description().contains(QStringLiteral("was not found")));
    QVERIFY(!QFile::exists(path));
}

void DataTest::lettersBeyondAsciiAreFoundInEitherCase_data()
{
    QTest::addColumn<bool>("indexed");
    QTest::newRow("tables alone") << false;
    // Indexes holding the letters, as kvostrel-import builds them: sorted by SQLite's own
    // NOCASE, which the program's does not keep.
    QTest::newRow("indexes holding the names") << true;
}

void DataTest::lettersBeyondAsciiAreFoundInEitherCase()
{
    QFETCH(bool, indexed);
    Connection::releaseShared();
    const QString path = m_dir.filePath(QStringLiteral("letters-%1.mdb").arg(indexed));
    QStringList statements = referenceTables();
    statements << QStringLiteral(
        "INSERT INTO products (ID, [trade name], ingredient, [Dosage Form]) VALUES"
        " (1, '\u00c9CLAIR', '\u00c9THER', 'TABLET'), (2, '\u00e9clair', '\u00e9ther', 'TABLET'),"
        " (3, 'GRO\u1e9e', 'STRA\u1e9eE', 'TABLET'), (4, 'gro\u00df', 'stra\u00dfe', 'TABLET'),"
        " (5, '\u0130STANBUL', '\u0130ODINE', 'TABLET'), (6, 'istanbul', 'iodine', 'TABLET'),"
        " (7, '\u03a3\u039f\u03a6\u0399\u0391', '\u03a3\u0399\u0393\u039c\u0391', 'TABLET'),"
        " (8, '\u03c3\u03bf\u03c6\u03b9\u03b1', '\u03c3\u03b9\u03b3\u03bc\u03b1\u03c2', 'TABLET'),"
        " (9, '\u6771\u4eac', '\u6771\u4eac', 'TABLET'), (10, 'ECLAIR', 'ETHER', 'TABLET')");
    if (indexed) {
        statements << QStringLiteral("CREATE INDEX [products by trade name] ON products ([trade name])")
                   << QStringLiteral("CREATE INDEX [products by ingredient] ON products (ingredient)")
                   << QStringLiteral(
                          "CREATE INDEX [products by Dosage Form] ON products ([Dosage Form], [trade name])");
    }
    createDatabase(path, statements);
    const QByteArray before = fileHash(path);
    Connection::shared().open(path);

    // Text, and the IDs a quick search (LIKE) and the ingredient window's products (=) find.
    const struct
    {
        const char16_t *text;
        QList<int> like;
        QList<int> equal;
    } cases[] = {
        {u"\u00e9", {1, 2}, {}},
        {u"\u00c9CLAIR", {1, 2}, {}},
        {u"\u00e9ther", {}, {1, 2}},
        {u"ecl", {10}, {}}, // accents are kept: E is no \u00c9
        {u"\u00df", {3, 4}, {}},
        {u"\u1e9e", {3, 4}, {}},
        {u"STRA\u00dfE", {}, {3, 4}},
        {u"istanbul", {5, 6}, {}},
        {u"ISTANBUL", {5, 6}, {}},
        {u"\u0130STANBUL", {5, 6}, {}},
        {u"\u0130odine", {}, {5, 6}},
        {u"\u03c3\u03bf\u03c6\u03b9\u03b1", {7, 8}, {}},
        {u"\u03a3\u039f\u03a6\u0399\u0391", {7, 8}, {}},
        {u"\u03a3\u0399\u0393\u039c\u0391\u03a3", {}, {8}}, // final sigma
        {u"\u03c3\u03b9\u03b3\u03bc\u03b1", {}, {7}},
        {u"\u6771\u4eac", {9}, {9}},
        {u"\u6771_", {9}, {}},
        {u"\u6771", {9}, {}},
    };
    const auto ids = [](const QString &sql) {
        QList<int> found;
        for (const QString &id : readColumn(sql, QStringLiteral("ID"))) {
            found << id.toInt();
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        QCOMPARE(ids(SqlText::nameSearch(SqlText::Window::Drugs, text)), c.like);
        QCOMPARE(ids(SqlText::productsWithIngredient(text)), c.equal);
        QCOMPARE(ids(SqlText::advancedSearch(
                     SqlText::Window::Drugs,
                     SqlText::equalsClause(QStringLiteral("Ingredient"), text) + QStringLiteral(" AND ")
                         + SqlText::equalsClause(QStringLiteral("Dosage Form"), QStringLiteral("tablet")))),
                 c.equal);
    }
    // Sorted, a name's spellings in either case lie together.
    const QStringList names = tradeNames(QString());
    QCOMPARE(names.size(), 10);
    QCOMPARE(qAbs(names.indexOf(QStringLiteral("\u00c9CLAIR")) - names.indexOf(QStringLiteral("\u00e9clair"))), 1);
    QCOMPARE(qAbs(names.indexOf(QStringLiteral("GRO\u1e9e")) - names.indexOf(QStringLiteral("gro\u00df"))), 1);
    Connection::releaseShared();
    QCOMPARE(fileHash(path), before);
}

void DataTest::foldedComparisonKeepsSqliteOrderOnAscii()
{
    // On ASCII text the program's NOCASE orders as SQLite's own (asked of a connection of
    // Qt's, which has SQLite's), so the indexes of a file of ASCII text stay in order.
    QList<QByteArray> texts = {"",  "a", "A", "ab", "aB", "a b", "a_b", "a[b", "a^b", "Z",   "z",   "[", "_", "`",
                               "@", "{", "~", "0",  "9",  "a0",  "aa",  "AAA", "abc", "ABD", "abd", "b", "B", "\x7f"};
    QRandomGenerator random(21);
    const QByteArray alphabet("aAzZ@[_`{ 0~");
    for (int i = 0; i < 40; ++i) {
        QByteArray text;
        for (int n = int(random.bounded(5)); n > 0; --n) {
            text += alphabet.at(int(random.bounded(int(alphabet.size()))));
        }
        texts << text;
    }
    const QString name = QStringLiteral("sqlite-nocase");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare(QStringLiteral("SELECT (? < ? COLLATE NOCASE) - (? > ? COLLATE NOCASE)")));
        for (const QByteArray &a : texts) {
            for (const QByteArray &b : texts) {
                for (int i = 0; i < 4; ++i) {
                    // An empty text, not Null.
                    q.bindValue(i, QString::fromLatin1(i % 2 == 0 ? a : b).append(QLatin1String("")));
                }
                QVERIFY(q.exec() && q.next());
                const int folded = TextMatching::compareFolded(a, b);
                QVERIFY2((folded < 0 ? 1 : folded > 0 ? -1 : 0) == q.value(0).toInt(), a + " against " + b);
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
}

void DataTest::likeMatchesAsSqlitesOwnOnAscii()
{
    // Random texts and patterns of a few letters in both cases and the wildcards, with
    // and without an escape character: the program's LIKE answers as SQLite's own.
    QRandomGenerator random(2126);
    const QByteArray alphabet("aAbB%_\\ ");
    const auto randomText = [&](int longest) {
        QByteArray text;
        for (int n = int(random.bounded(longest + 1)); n > 0; --n) {
            text += alphabet.at(int(random.bounded(int(alphabet.size()))));
        }
        return QString::fromLatin1(text).append(QLatin1String("")); // empty, not Null
    };
    const QString name = QStringLiteral("sqlite-like");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery plain(db);
        QSqlQuery escaped(db);
        QVERIFY(plain.prepare(QStringLiteral("SELECT ? LIKE ?")));
        QVERIFY(escaped.prepare(QStringLiteral("SELECT ? LIKE ? ESCAPE '\\'")));
        for (int i = 0; i < 3000; ++i) {
            const QString text = randomText(7);
            const QString pattern = randomText(5);
            for (QSqlQuery *q : {&plain, &escaped}) {
                q->bindValue(0, text);
                q->bindValue(1, pattern);
                QVERIFY(q->exec() && q->next());
                const bool ours
                    = TextMatching::likeMatches(pattern.toLatin1(), text.toLatin1(), q == &escaped ? U'\\' : 0);
                QVERIFY2(ours == q->value(0).toBool(),
                         qPrintable(QStringLiteral("'%1' LIKE '%2'%3").arg(text, pattern, q == &escaped ? "E" : "")));
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
}

void DataTest::sqlTextsAreExactlyTheProgramsTexts()
{
    using SqlText::Window;
    QCOMPARE(
        SqlText::nameSearch(Window::Drugs, QStringLiteral("lip")),
        QStringLiteral("SELECT [trade name],ID FROM products where [trade name] like '%lip%' order by [trade name];"));
    QCOMPARE(SqlText::nameSearch(Window::Ingredients, QString()),
             QStringLiteral(
                 "SELECT distinct [ingredient] FROM products where [ingredient] like '%%' order by [ingredient];"));
    QCOMPARE(SqlText::nameSearch(Window::DosageForm, QStringLiteral("TAB")),
             QStringLiteral("SELECT [name],ID FROM [dosage form] where [name] like '%TAB%' order by [name];"));
    QCOMPARE(
        SqlText::nameSearch(Window::Route, QStringLiteral("ORAL")),
        QStringLiteral("SELECT [name],ID FROM [route of administration] where [name] like '%ORAL%' order by [name];"));
    QCOMPARE(SqlText::nameSearch(Window::Patent, QStringLiteral("7")),
             QStringLiteral("SELECT distinct [Patent Number],ID FROM [patent] where [Patent Number] like '%7%' order "
                            "by [Patent Number];"));
    QCOMPARE(SqlText::details(Window::Drugs, 42), QStringLiteral("SELECT * FROM products where ID= 42 ;"));
    QCOMPARE(SqlText::details(Window::DosageForm, 7), QStringLiteral("SELECT * FROM [dosage form] where ID= 7 ;"));
    QCOMPARE(SqlText::details(Window::Route, 7),
             QStringLiteral("SELECT * FROM [route of administration] where ID= 7 ;"));
    QCOMPARE(SqlText::details(Window::Patent, -3), QStringLiteral("SELECT * FROM [Patent] where ID= -3 ;"));
    QCOMPARE(SqlText::advancedSearch(Window::Patent, QStringLiteral("C")),
             QStringLiteral("SELECT distinct [Patent Number],ID FROM [Patent] where C order by [Patent Number];"));
    QCOMPARE(SqlText::advancedSearch(Window::Ingredients, QStringLiteral("C")),
             QStringLiteral("SELECT distinct [ingredient] FROM products where C order by [ingredient];"));
    QCOMPARE(SqlText::productsWithIngredient(QStringLiteral("A;B")),
             QStringLiteral("SELECT * FROM products where ingredient = 'A;B' COLLATE NOCASE order by [trade "
                            "name],[Applicant Full Name] ;"));
}

void DataTest::likeClauseQuotesTextAndEndsWithBlankAndLineBreak()
{
    QCOMPARE(SqlText::likeClause(QStringLiteral("Trade Name"), QStringLiteral("%"), QStringLiteral("O'NEIL"),
                                 QStringLiteral("%")),
             QStringLiteral("[Trade Name] like '%O''NEIL%' \r\n"));
    QCOMPARE(SqlText::quoteSqlText(QStringLiteral("''%")), QStringLiteral("''''%"));
}

void DataTest::realDatabaseHoldsEveryFdaRecord()
{
    QVERIFY2(openRealDatabase(), "the build makes kvostrel.mdb beside the program");
    const auto count = [](const char *table) {
        return readColumn(QStringLiteral("SELECT count(*) AS n FROM [%1]").arg(QLatin1String(table)),
                          QStringLiteral("n"))
            .value(0);
    };
    QCOMPARE(count("products"), QStringLiteral("45752"));
    QCOMPARE(count("patent"), QStringLiteral("19705"));
    QCOMPARE(count("dosage form"), QStringLiteral("201")); // 157 terms and 44 spellings of the product list
    QCOMPARE(count("route of administration"), QStringLiteral("158")); // 112 terms and 46 spellings
}

void DataTest::realDatabaseOrdersAndQuotesLikeTheWindowsExpect()
{
    const QByteArray before = fileHash(RealDatabase);
    QVERIFY2(openRealDatabase(), "the build makes kvostrel.mdb beside the program");
    const QStringList all = tradeNames(QString());
    QCOMPARE(all.size(), 45752);
    for (int i = 1; i < all.size(); ++i) {
        QVERIFY2(all.at(i - 1).compare(all.at(i), Qt::CaseInsensitive) <= 0, qPrintable(all.at(i)));
    }
    const QStringList rogaine = tradeNames(QStringLiteral("women's rogaine"));
    QVERIFY(!rogaine.isEmpty());
    QCOMPARE(rogaine.size(),
             readColumn(QStringLiteral("SELECT ID FROM products WHERE [trade name] = 'WOMEN''S ROGAINE'"),
                        QStringLiteral("ID"))
                 .size());
    // An empty ingredient text (the drug window's row passed before any product is shown) finds nothing.
    QVERIFY(readColumn(SqlText::productsWithIngredient(QString()), QStringLiteral("ID")).isEmpty());
    Connection::releaseShared();
    QCOMPARE(fileHash(RealDatabase), before);
}

QTEST_GUILESS_MAIN(DataTest)
#include "tst_data.moc"
