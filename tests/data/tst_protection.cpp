#include "common/AppError.h"
#include "data/Database.h"
#include "data/Protection.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <map>

using namespace Db;
using namespace Db::Protection;

namespace {

const QString RealDatabase = QStringLiteral(KVOSTREL_DB_PATH);

QDate day(const char *text)
{
    return parseDate(QLatin1String(text));
}

PatentRow patent(qint64 id, const char *number, const char *expires, const char *flags = "", const char *use = "",
                 bool delisted = false)
{
    PatentRow row;
    row.id = id;
    row.number = QLatin1String(number);
    row.expires = day(expires);
    row.substance = QByteArray(flags).contains('S');
    row.product = QByteArray(flags).contains('P');
    row.useCode = QLatin1String(use);
    row.delisted = delisted;
    return row;
}

ExclusivityRow exclusivity(qint64 id, const char *code, const char *ends)
{
    return {id, QLatin1String(code), day(ends)};
}

qint64 productId(const char *application, const char *product)
{
    RowSet &rowSet = openSharedQuery(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) "
                                                    "Number] = '%1' AND [Product Number] = '%2';")
                                         .arg(QLatin1String(application), QLatin1String(product)));
    RowSetCloser closer(rowSet);
    return rowSet.eof() ? -1 : rowSet.field(0).toLongLong();
}

const Line *lineNamed(const Figures &figures, const QString &name)
{
    for (const Line &line : figures.timeline) {
        if (line.name == name) {
            return &line;
        }
    }
    return nullptr;
}

// A copy of the real database changed by `statements`; empty when a step failed.
QString changedCopy(const QTemporaryDir &dir, const QStringList &statements)
{
    const QString copy = dir.filePath(QStringLiteral("changed.mdb"));
    QFile::remove(copy);
    if (!QFile::copy(RealDatabase, copy)) {
        return {};
    }
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(copy).constData(), &db) != SQLITE_OK) {
        qWarning("%s: %s", qPrintable(copy), sqlite3_errmsg(db));
        sqlite3_close(db);
        return {};
    }
    for (const QString &sql : statements) {
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(db));
            sqlite3_close(db);
            return {};
        }
    }
    sqlite3_close(db);
    return copy;
}

} // namespace

class ProtectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void workedExamples_data();
    void workedExamples();
    void rules_data();
    void rules();
    void extensionChainSitsUnderWhatItExtends();
    void everyProductAgreesWithTheFdaFiles();
    void oneProductReadsAsTheWholeDataDoes();
    void readsAFileWithoutTheProductIndexes_data();
    void readsAFileWithoutTheProductIndexes();
    void aFileOpenedAgainIsReadAgain();
    void aLetterBeyondAsciiLeavesTheReadingAlike();
    void theImportedTableReadsAsTheComputedFigures();
    void summariesComputedInOnePassEqualTheProgramsReading_data();
    void summariesComputedInOnePassEqualTheProgramsReading();
    void reportReadsTheTableAsItWouldComputeIt_data();
    void reportReadsTheTableAsItWouldComputeIt();

private:
    QDate m_release;
};

void ProtectionTest::initTestCase()
{
    Connection::shared().open(RealDatabase);
    m_release = readReleaseDate();
    QCOMPARE(m_release, QDate(2024, 11, 8));
}

void ProtectionTest::workedExamples_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("listedEnd");
    QTest::addColumn<QString>("coreEnd");
    QTest::addColumn<QString>("setterPart"); // a part of the row's words
    QTest::addColumn<int>("marketedARated");

    QTest::newRow("CRESEMBA: PED of ODE; GAIN of an orphan exclusivity, not the NCE")
        << "207500"
        << "001"
        << "Protected"
        << "Jun 8, 2031"
        << "Mar 14, 2028"
        << "listed protection ends Jun 8, 2031: exclusivity PED (use-specific), extending ODE" << 0;
    QTest::newRow("VOQUEZNA TRIPLE PAK: GAIN of the NCE outlasts every patent")
        << "215152"
        << "001"
        << "Protected"
        << "May 3, 2032"
        << "May 3, 2032"
        << "exclusivity GAIN (drug-wide), extending NCE" << 0;
    QTest::newRow("AIRSUPRA: after the NP exclusivity only a use patent remains") << "214070"
                                                                                  << "001"
                                                                                  << "Protected"
                                                                                  << "May 28, 2030"
                                                                                  << "Jan 10, 2026"
                                                                                  << "(method of use)" << 0;
    QTest::newRow("SPRYCEL: *PED of a substance patent")
        << "021986"
        << "001"
        << "Protected"
        << "Sep 28, 2026"
        << "Sep 28, 2026"
        << "Sep 28, 2026: patent 7491725 (drug substance), pediatric extension" << -1;
    QTest::newRow("SPRYCEL's ANDA: 180-day exclusivity") << "202103"
                                                         << "001"
                                                         << "180-day exclusivity until Mar 2, 2025"
                                                         << ""
                                                         << ""
                                                         << "" << -1;
    QTest::newRow("XOPENEX HFA: ended, still listed a month after") << "021730"
                                                                    << "001"
                                                                    << "Ended"
                                                                    << "Oct 8, 2024"
                                                                    << "Oct 8, 2024"
                                                                    << "" << -1;
    QTest::newRow("CYMBALTA: no rows; 18 marketed A-rated ANDAs") << "021427"
                                                                  << "001"
                                                                  << "None listed"
                                                                  << ""
                                                                  << ""
                                                                  << "" << 18;
    QTest::newRow("IMBRUVICA 140MG tablet: patents with their pediatric extension") << "210563"
                                                                                    << "001"
                                                                                    << "Protected"
                                                                                    << "Sep 3, 2036"
                                                                                    << "Sep 3, 2036"
                                                                                    << "pediatric extension" << -1;
}

void ProtectionTest::workedExamples()
{
    QFETCH(QString, application);
    QFETCH(QString, product);
    QFETCH(QString, status);
    QFETCH(QString, listedEnd);
    QFETCH(QString, coreEnd);
    QFETCH(QString, setterPart);
    QFETCH(int, marketedARated);

    const Figures figures = readProduct(application, product, m_release);
    QCOMPARE(figures.status, status);
    QCOMPARE(dateText(figures.listedEnd), listedEnd);
    QCOMPARE(dateText(figures.coreEnd), coreEnd);
    QVERIFY2(summaryText(figures).contains(setterPart), qPrintable(summaryText(figures)));
    QVERIFY(!summaryText(figures).contains(QLatin1String("generic entry"), Qt::CaseInsensitive));
    if (marketedARated >= 0) {
        qint64 id = -1;
        {
            RowSet &rowSet = openSharedQuery(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) "
                                                            "Number] = '%1' AND [Product Number] = '%2';")
                                                 .arg(application, product));
            RowSetCloser closer(rowSet);
            QVERIFY(!rowSet.eof());
            id = rowSet.field(0).toLongLong();
        }
        QCOMPARE(readGenerics(id)->marketedARated, marketedARated);
    }
}

void ProtectionTest::rules_data()
{
    QTest::addColumn<std::vector<PatentRow>>("patents");
    QTest::addColumn<std::vector<ExclusivityRow>>("exclusivities");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("listedEnd");
    QTest::addColumn<QString>("coreEnd");
    QTest::addColumn<QString>("listedSetter");

    const std::vector<PatentRow> none;
    const std::vector<ExclusivityRow> noExclusivity;
    // The release is Nov 8, 2024 (rules()).
    QTest::newRow("a date equal to the release date is still protected")
        << std::vector<PatentRow>{patent(1, "111", "Nov 8, 2024", "S")} << noExclusivity << "Protected"
        << "Nov 8, 2024"
        << "Nov 8, 2024"
        << "patent 111 (drug substance)";
    QTest::newRow("the day before the release date has ended")
        << std::vector<PatentRow>{patent(1, "111", "Nov 7, 2024", "S")} << noExclusivity << "Ended"
        << "Nov 7, 2024"
        << "Nov 7, 2024"
        << "patent 111 (drug substance)";
    QTest::newRow("a delisted latest patent is not counted")
        << std::vector<PatentRow>{patent(1, "111", "Mar 9, 2032", "P", "", true), patent(2, "222", "Sep 22, 2030", "P")}
        << noExclusivity << "Protected"
        << "Sep 22, 2030"
        << "Sep 22, 2030"
        << "patent 222 (drug product)";
    QTest::newRow("*PED without its base takes the kind the file gives the patent elsewhere")
        << std::vector<PatentRow>{patent(1, "555*PED", "Jan 1, 2031"), patent(2, "666", "Jan 1, 2030", "", "U-1")}
        << noExclusivity << "Protected"
        << "Jan 1, 2031"
        << "Jan 1, 2031"
        << "patent 555 (drug product), pediatric extension";
    QTest::newRow("*PED without its base anywhere is unclassified")
        << std::vector<PatentRow>{patent(1, "777*PED", "Jan 1, 2031"), patent(2, "666", "Jan 1, 2030", "S")}
        << noExclusivity << "Protected"
        << "Jan 1, 2031"
        << "Jan 1, 2030"
        << "patent 777 (unclassified), pediatric extension";
    QTest::newRow("a use code alone is a method-of-use patent")
        << std::vector<PatentRow>{patent(1, "111", "Jan 1, 2035", "", "U-9"), patent(2, "222", "Jan 1, 2028", "S")}
        << noExclusivity << "Protected"
        << "Jan 1, 2035"
        << "Jan 1, 2028"
        << "patent 111 (method of use)";
    QTest::newRow("W is shown, counted nowhere")
        << none << std::vector<ExclusivityRow>{exclusivity(1, "W", "Jan 1, 2040")} << "None listed"
        << ""
        << ""
        << "";
    QTest::newRow("PC on an ANDA sets the status, not the dates")
        << none << std::vector<ExclusivityRow>{exclusivity(1, "PC", "Mar 2, 2025")}
        << "180-day exclusivity until Mar 2, 2025"
        << ""
        << ""
        << "";
    QTest::newRow("a PED whose parent is not in the file counts as drug-wide")
        << none
        << std::vector<ExclusivityRow>{exclusivity(1, "I-900", "Jan 1, 2027"), exclusivity(2, "PED", "Jan 5, 2030")}
        << "Protected"
        << "Jan 5, 2030"
        << "Jan 5, 2030"
        << "exclusivity PED (drug-wide)";
    QTest::newRow("PED of a use-specific row ends the month-end clamped")
        << none
        << std::vector<ExclusivityRow>{exclusivity(1, "NCE", "Feb 1, 2026"), exclusivity(2, "ODE-1", "Aug 31, 2027"),
                                       exclusivity(3, "PED", "Feb 29, 2028")}
        << "Protected"
        << "Feb 29, 2028"
        << "Feb 1, 2026"
        << "exclusivity PED (use-specific), extending ODE-1";
}

void ProtectionTest::rules()
{
    QFETCH(std::vector<PatentRow>, patents);
    QFETCH(std::vector<ExclusivityRow>, exclusivities);
    QFETCH(QString, status);
    QFETCH(QString, listedEnd);
    QFETCH(QString, coreEnd);
    QFETCH(QString, listedSetter);
    const KindElsewhere elsewhere = [](const QString &number) -> std::optional<PatentKind> {
        return number == QLatin1String("555") ? std::optional(PatentKind::DrugProduct) : std::nullopt;
    };
    const Figures figures = compute(patents, exclusivities, elsewhere, QDate(2024, 11, 8));
    QCOMPARE(figures.status, status);
    QCOMPARE(dateText(figures.listedEnd), listedEnd);
    QCOMPARE(dateText(figures.coreEnd), coreEnd);
    QCOMPARE(figures.listedSetter, listedSetter);
    QCOMPARE(figures.timeline.size(), patents.size() + exclusivities.size());
}

void ProtectionTest::extensionChainSitsUnderWhatItExtends()
{
    // GAIN of PED of ODE: each takes the orphan exclusivity's level, and the timeline
    // puts each under the row it extends, the NCE between by date.
    const std::vector<ExclusivityRow> rows
        = {exclusivity(4, "GAIN", "Sep 30, 2033"), exclusivity(1, "ODE-7", "Mar 31, 2028"),
           exclusivity(3, "NCE", "Jan 1, 2029"), exclusivity(2, "PED", "Sep 30, 2028"),
           exclusivity(5, "I-1", "Jan 1, 2020")};
    const Figures figures = compute({}, rows, {}, QDate(2024, 11, 8));
    QStringList order;
    for (const Line &line : figures.timeline) {
        order << line.name + QLatin1Char('<')
                + (line.parent >= 0 ? figures.timeline[size_t(line.parent)].name : QString());
    }
    QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("I-1< ODE-7< PED<ODE-7 GAIN<PED NCE<"));
    QCOMPARE(lineNamed(figures, QStringLiteral("GAIN"))->kind, QStringLiteral("use-specific"));
    QVERIFY(lineNamed(figures, QStringLiteral("I-1"))->ended);
    QVERIFY(!lineNamed(figures, QStringLiteral("NCE"))->ended);
    QCOMPARE(dateText(figures.coreEnd), QStringLiteral("Jan 1, 2029"));
    QCOMPARE(dateText(figures.listedEnd), QStringLiteral("Sep 30, 2033"));
}

void ProtectionTest::everyProductAgreesWithTheFdaFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("reference.tsv"));
    QProcess python;
    python.start(QStringLiteral(PYTHON_PATH),
                 {QStringLiteral(PROTECTION_REFERENCE), QStringLiteral(FDA_ZIP), m_release.toString(Qt::ISODate), out});
    QVERIFY(python.waitForFinished(120000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList reference = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    const std::vector<ProductFigures> products = readAllProducts(m_release);
    QCOMPARE(qsizetype(products.size()), reference.size());
    int protectedCount = 0;
    for (size_t i = 0; i < products.size(); ++i) {
        const ProductFigures &p = products[i];
        const QString status
            = p.figures.status.startsWith(QLatin1String("180-day")) ? QStringLiteral("180-day") : p.figures.status;
        const QString mine = QStringList{p.applicationType,
                                         p.applicationNumber,
                                         p.productNumber,
                                         status,
                                         p.figures.listedEnd.toString(Qt::ISODate),
                                         p.figures.coreEnd.toString(Qt::ISODate)}
                                 .join(QLatin1Char('~'));
        QCOMPARE(mine, reference.at(qsizetype(i)));
        protectedCount += p.figures.status == QLatin1String("Protected");
    }
    QVERIFY2(protectedCount > 1000, qPrintable(QString::number(protectedCount)));
}

void ProtectionTest::oneProductReadsAsTheWholeDataDoes()
{
    // The drug window's statements for one product against the report's reading of all.
    const std::vector<ProductFigures> products = readAllProducts(m_release);
    QVERIFY(!readProductRow(-5, QStringLiteral("021986"), QStringLiteral("001"))); // no such product
    QVERIFY(!readGenerics(-5));
    for (const ProductFigures &p : products) {
        const std::optional<ProductReading> one = readProductRow(p.id, p.applicationNumber, p.productNumber);
        QVERIFY(one);
        QCOMPARE(one->release, m_release);
        QCOMPARE(summaryText(one->figures), summaryText(p.figures));
        QCOMPARE(one->figures.listedSetter, p.figures.listedSetter);
        QCOMPARE(one->figures.coreSetter, p.figures.coreSetter);
        QCOMPARE(one->figures.timeline.size(), p.figures.timeline.size());
        QCOMPARE(one->generics.marketedARated, p.generics.marketedARated);
        QCOMPARE(one->generics.firstApproval, p.generics.firstApproval);
        QCOMPARE(one->generics.anyAnda, p.generics.anyAnda);
        if (p.id % 97 == 0) {
            QCOMPARE(summaryText(readProduct(p.applicationNumber, p.productNumber, m_release)), summaryText(p.figures));
            QCOMPARE(readGenerics(p.id)->anyAnda, p.generics.anyAnda);
        }
    }
}

void ProtectionTest::readsAFileWithoutTheProductIndexes_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::newRow("without the strength index") << QStringList{QStringLiteral("products by Strength")};
    QTest::newRow("without either") << QStringList{QStringLiteral("products by Strength"),
                                                   QStringLiteral("products by ingredient")};
}

void ProtectionTest::readsAFileWithoutTheProductIndexes()
{
    QFETCH(QStringList, dropped);
    // Expected: the products whose ANDAs are most numerous, and a few others, on the full file.
    const std::vector<ProductFigures> all = readAllProducts(m_release);
    std::vector<const ProductFigures *> chosen;
    for (const ProductFigures &p : all) {
        if (p.generics.anyAnda >= 40 || p.id % 2000 == 0 || p.figures.status != QLatin1String("None listed")) {
            chosen.push_back(&p);
        }
        if (chosen.size() >= 300) {
            break;
        }
    }
    QStringList drops;
    for (const QString &name : dropped) {
        drops << QStringLiteral("DROP INDEX [%1];").arg(name);
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = changedCopy(dir, drops);
    QVERIFY(!copy.isEmpty());
    Connection::shared().open(copy);
    const auto reopen = qScopeGuard([] { Connection::shared().open(RealDatabase); });
    for (const ProductFigures *p : chosen) {
        const std::optional<ProductReading> one = readProductRow(p->id, p->applicationNumber, p->productNumber);
        QVERIFY(one);
        QCOMPARE(summaryText(one->figures), summaryText(p->figures));
        QCOMPARE(one->generics.anyAnda, p->generics.anyAnda);
        QCOMPARE(one->generics.marketedARated, p->generics.marketedARated);
    }
}

void ProtectionTest::aFileOpenedAgainIsReadAgain()
{
    // Update data opens a newer file, possibly under the same name: its release date and
    // its columns are read again, not kept from the file before.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("kvostrel.mdb"));
    const auto reopen = qScopeGuard([] { Connection::shared().open(RealDatabase); });
    QCOMPARE(readReleaseDate(), m_release);
    for (const char *release : {"Dec 10, 2024", "Jan 7, 2025"}) {
        Connection::shared().close();
        QFile::remove(copy);
        QVERIFY(QFile::copy(RealDatabase, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(copy).constData(), &db), SQLITE_OK);
        const QByteArray sql = QByteArray("UPDATE [release] SET [Release Date] = '") + release + "';";
        QVERIFY2(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK, sqlite3_errmsg(db));
        sqlite3_close(db);
        Connection::shared().open(copy);
        QCOMPARE(readReleaseDate(), day(release));
        // XOPENEX HFA's protection ended on Oct 8, 2024, before either date.
        const std::optional<ProductReading> xopenex
            = readProductRow(productId("021730", "001"), QStringLiteral("021730"), QStringLiteral("001"));
        QVERIFY(xopenex);
        QCOMPARE(xopenex->release, day(release));
    }
}

void ProtectionTest::aLetterBeyondAsciiLeavesTheReadingAlike()
{
    // A search with such a letter settles NOCASE, which finalizes the statements the
    // connection keeps; the next reading prepares them again.
    const qint64 id = productId("021986", "001");
    const std::optional<ProductReading> before = readProductRow(id, QStringLiteral("021986"), QStringLiteral("001"));
    QVERIFY(before);
    {
        RowSet &rowSet
            = openSharedQuery(QStringLiteral("SELECT count(*) FROM products WHERE [trade name] = 'ÉCLAIR';"));
        RowSetCloser closer(rowSet);
        QVERIFY(!rowSet.eof());
    }
    const std::optional<ProductReading> after = readProductRow(id, QStringLiteral("021986"), QStringLiteral("001"));
    QVERIFY(after);
    QCOMPARE(summaryText(after->figures), summaryText(before->figures));
    QCOMPARE(after->generics.anyAnda, before->generics.anyAnda);
    // A value beyond ASCII is bound as the text it is.
    QVERIFY(!readProductRow(id, QStringLiteral("0219É6"), QStringLiteral("001"))->figures.timeline.size());
}

namespace {

// The drug window's row text and every value behind it.
QString rowText(const ProductReading &reading)
{
    const Figures &f = reading.figures;
    return QStringList{summaryText(f),
                       genericsText(reading.generics),
                       f.listedSetter,
                       f.coreSetter,
                       f.until180.toString(Qt::ISODate),
                       QString::number(reading.generics.anyAnda),
                       reading.release.toString(Qt::ISODate)}
        .join(QLatin1Char('|'));
}

// Every value the importer's table keeps of a product.
QString keptValues(qint64 id, const Figures &f, const Generics &g)
{
    return QStringList{QString::number(id),
                       f.status,
                       f.listedEnd.toString(Qt::ISODate),
                       f.listedSetter,
                       f.coreEnd.toString(Qt::ISODate),
                       f.coreSetter,
                       f.until180.toString(Qt::ISODate),
                       QString::number(g.marketedARated),
                       g.firstApproval.toString(Qt::ISODate),
                       QString::number(g.anyAnda)}
        .join(QLatin1Char('|'));
}

// A copy of the real database in `dir`, changed by `statements`.
} // namespace

void ProtectionTest::theImportedTableReadsAsTheComputedFigures()
{
    // The importer's table, read by key, against the reading computed from the patent and
    // exclusivity rows, for every product; then a database without the table (built before
    // it was kept) reads the same text through that computation.
    const std::vector<ProductFigures> products = readAllProducts(m_release);
    {
        RowSet &rowSet = openSharedQuery(QStringLiteral("SELECT count(*) FROM [product protection];"));
        RowSetCloser closer(rowSet);
        QCOMPARE(rowSet.field(0).toLongLong(), qint64(products.size())); // a row per product, no other
        QVERIFY(products.size() > 40000);
    }
    QStringList fromTable;
    for (const ProductFigures &p : products) {
        const std::optional<ProductReading> kept = readProductSummary(p.id, p.applicationNumber, p.productNumber);
        const std::optional<ProductReading> computed = readProductRow(p.id, p.applicationNumber, p.productNumber);
        QVERIFY(kept && computed);
        QVERIFY(kept->figures.timeline.empty()); // read from the table, not computed
        QCOMPARE(rowText(*kept), rowText(*computed));
        QCOMPARE(kept->figures.listedEnd, computed->figures.listedEnd);
        QCOMPARE(kept->figures.coreEnd, computed->figures.coreEnd);
        QCOMPARE(kept->generics.firstApproval, computed->generics.firstApproval);
        fromTable << rowText(*kept);
    }
    QVERIFY(!readProductSummary(-5, QStringLiteral("021986"), QStringLiteral("001")));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = changedCopy(dir, {QStringLiteral("DROP TABLE [product protection];")});
    QVERIFY(!copy.isEmpty());
    Connection::shared().open(copy);
    const auto reopen = qScopeGuard([] { Connection::shared().open(RealDatabase); });
    QVERIFY(!readProductSummary(-5, QStringLiteral("021986"), QStringLiteral("001")));
    for (size_t i = 0; i < products.size(); ++i) {
        const ProductFigures &p = products[i];
        const std::optional<ProductReading> computed = readProductSummary(p.id, p.applicationNumber, p.productNumber);
        QVERIFY(computed);
        QVERIFY(!computed->figures.timeline.empty() || computed->figures.status == QLatin1String("None listed"));
        QCOMPARE(rowText(*computed), fromTable.at(qsizetype(i)));
    }
}

void ProtectionTest::summariesComputedInOnePassEqualTheProgramsReading_data()
{
    QTest::addColumn<QStringList>("changes");
    const QString dasatinibNda = QStringLiteral("[New Drug Application (NDA) Number] = '021986'");
    QTest::newRow("the bundled release") << QStringList();
    // SPRYCEL's ANDAs under other spellings of its ingredient, all one when case-folded (a
    // long s folds to s), a type and code padded and in lower case, text that is no UTF-8.
    QTest::newRow("letter case beyond ASCII")
        << QStringList{QStringLiteral("UPDATE products SET ingredient = 'DAſATINIB' WHERE ingredient = 'DASATINIB' "
                                      "AND ID % 3 = 0 AND [Application Type] = 'A';"),
                       QStringLiteral("UPDATE products SET ingredient = 'dasatinib' WHERE ingredient = 'DASATINIB' "
                                      "AND ID % 3 = 1 AND [Application Type] = 'A';"),
                       QStringLiteral("UPDATE products SET [Type] = ' discn ', [Therapeutic Equivalence (TE) Code] = "
                                      "' ab' WHERE ingredient = 'dasatinib' AND ID % 2 = 0;"),
                       QStringLiteral("UPDATE products SET ingredient = 'ÉCLAIRINE' WHERE ") + dasatinibNda + ';',
                       QStringLiteral("UPDATE products SET ingredient = 'éclairine' WHERE ingredient = 'DAſATINIB';"),
                       QStringLiteral("UPDATE products SET ingredient = CAST(X'44FF41' AS TEXT) WHERE ID % 500 = 7;"),
                       QStringLiteral("UPDATE Patent SET [Drug Substance Flag] = ' y ' WHERE ID % 7 = 0;")};
    QTest::newRow("a database of the older layout")
        << QStringList{QStringLiteral("ALTER TABLE Patent DROP COLUMN [Delist Flag];"),
                       QStringLiteral("ALTER TABLE products DROP COLUMN [Application Type];"),
                       QStringLiteral("DROP TABLE exclusivity;"), QStringLiteral("DROP TABLE [release];")};
}

void ProtectionTest::summariesComputedInOnePassEqualTheProgramsReading()
{
    // What the importer writes, computed in one pass over its connection, against the
    // program's reading of every product through the shared connection.
    QFETCH(QStringList, changes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = changedCopy(dir, changes);
    QVERIFY(!copy.isEmpty());
    Connection::shared().open(copy);
    const auto reopen = qScopeGuard([] { Connection::shared().open(RealDatabase); });
    const std::vector<ProductFigures> expected = readAllProducts(readReleaseDate());
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(copy).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const auto closeDb = qScopeGuard([db] { sqlite3_close(db); });
    const std::vector<ProductSummary> computed = computeProductSummaries(db);
    QCOMPARE(computed.size(), expected.size());
    int withAndas = 0;
    for (size_t i = 0; i < computed.size(); ++i) {
        const ProductFigures &e = expected[i];
        QCOMPARE(keptValues(computed[i].id, computed[i].figures, computed[i].generics),
                 keptValues(e.id, e.figures, e.generics));
        withAndas += e.generics.marketedARated > 0;
    }
    QVERIFY(withAndas > 1000 || !changes.filter(QStringLiteral("[Application Type]")).isEmpty());

    // A file the rows cannot be read from is reported, not read as fewer products.
    sqlite3 *broken = nullptr;
    const QString without = dir.filePath(QStringLiteral("without patents.mdb"));
    QVERIFY(QFile::copy(copy, without));
    QFile::setPermissions(without, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(sqlite3_open(QFile::encodeName(without).constData(), &broken), SQLITE_OK);
    const auto closeBroken = qScopeGuard([broken] { sqlite3_close(broken); });
    QCOMPARE(sqlite3_exec(broken, "DROP TABLE Patent;", nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY_THROWS_EXCEPTION(Common::AppError, computeProductSummaries(broken));
}

void ProtectionTest::reportReadsTheTableAsItWouldComputeIt_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<bool>("fails");
    QTest::newRow("the bundled release") << QStringList() << false;
    QTest::newRow("a database built before the table was kept")
        << QStringList{QStringLiteral("DROP TABLE [product protection];")} << false;
    QTest::newRow("the table lacks a product")
        << QStringList{QStringLiteral("DELETE FROM [product protection] WHERE ID = 20000;")} << true;
    QTest::newRow("the table lacks a column")
        << QStringList{QStringLiteral("ALTER TABLE [product protection] DROP COLUMN [Status];")} << true;
}

void ProtectionTest::reportReadsTheTableAsItWouldComputeIt()
{
    // The report's reading of the importer's table, in one statement, against the
    // figures computed from the rows: every product, in the same order, every value
    // the report shows; a table it cannot read whole is reported.
    QFETCH(QStringList, changes);
    QFETCH(bool, fails);
    const std::vector<ProductFigures> expected = readAllProducts(m_release);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = changedCopy(dir, changes);
    QVERIFY(!copy.isEmpty());
    Connection::shared().open(copy);
    const auto reopen = qScopeGuard([] { Connection::shared().open(RealDatabase); });
    if (fails) {
        QVERIFY_THROWS_EXCEPTION(Common::AppError, readAllProductSummaries(m_release));
        return;
    }
    const std::vector<ProductFigures> read = readAllProductSummaries(m_release);
    QCOMPARE(read.size(), expected.size());
    const auto shown = [](const ProductFigures &p) {
        return QStringList{p.applicationType, p.applicationNumber, p.productNumber, p.tradeName,
                           p.strength,        p.dosageForm,        p.type,          QString::number(p.referenceListed)}
                   .join(QLatin1Char('|'))
            + QLatin1Char('|') + keptValues(p.id, p.figures, p.generics);
    };
    for (size_t i = 0; i < read.size(); ++i) {
        QCOMPARE(shown(read[i]), shown(expected[i]));
    }
}

QTEST_GUILESS_MAIN(ProtectionTest)
#include "tst_protection.moc"
