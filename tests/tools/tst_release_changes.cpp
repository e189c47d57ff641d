#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <zip.h>

namespace {

const QString fdaDataDir = QStringLiteral(FDA_DATA_DIR);
const QString bundledRelease = fdaDataDir + QStringLiteral("/fda-approved-drug-products-2024-11.zip");

const QByteArray productsHeader = "Ingredient~DF;Route~Trade_Name~Applicant~Strength~Appl_Type~Appl_No~Product_No~"
                                  "TE_Code~Approval_Date~RLD~RS~Type~Applicant_Full_Name";
const QByteArray patentHeader = "Appl_Type~Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~Drug_Substance_Flag~"
                                "Drug_Product_Flag~Patent_Use_Code~Delist_Flag~Submission_Date";
const QByteArray exclusivityHeader = "Appl_Type~Appl_No~Product_No~Exclusivity_Code~Exclusivity_Date";

// Two made-up releases, Oct 8 and Nov 8, 2024, with every kind of change once (the
// exclusivity date twice: a record and the PED that extends it), a key repeated with
// the RX and OTC halves of one product, and a product number reused for another strength.
const QList<QByteArray> olderProducts = {
    "ASPIRIN~TABLET;ORAL~ALPHA~ACME~325MG~N~000001~001~AB~Jan 2, 2020~Yes~No~RX~ACME LABS",
    "BETAINE~TABLET;ORAL~BETA~ACME~1G~N~000002~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "GAMMALIN~TABLET;ORAL~GAMMA~ACME~1G~N~000003~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "DELTIN~TABLET;ORAL~TECO~ACME~1G~N~000004~001~AB~Jan 2, 2020~No~No~RX~ACME LABS",
    "EPSIN~TABLET;ORAL~RLDO~ACME~1G~N~000005~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "EPSIN~TABLET;ORAL~RSGEN~ACME~1G~A~000006~001~AB~Jan 2, 2020~No~No~RX~ACME LABS",
    "ZETIN~TABLET;ORAL~DELTA~ACME~1G~N~000007~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "ETIN~TABLET;ORAL~APPL~EPS~1G~N~000008~001~~Jan 2, 2020~No~No~RX~EPS INC",
    "IOTA~TABLET;ORAL~INGR~ACME~1G~N~000009~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "KAPPA~TABLET;ORAL~FORM~ACME~1G~N~000010~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "LAMBDA~TABLET;ORAL~STRONG~ACME~10MG~N~000011~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "MU~TABLET;ORAL~NOTED~ACME~5MG **Federal Register determination that product was not discontinued**~N~000012~"
    "001~~Jan 2, 2020~No~No~DISCN~ACME LABS",
    "NU~TABLET;ORAL~DATED~ACME~1G~N~000013~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "XI~TABLET;ORAL~HALVES~ACME~1G~N~000014~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "XI~TABLET;ORAL~HALVES~ACME~1G~N~000014~001~~Jan 2, 2020~No~No~OTC~ACME LABS",
    "ZETAMAB~TABLET;ORAL~ZETA~ACME~50MG~N~000015~001~~Jan 2, 2020~Yes~No~RX~ACME LABS",
};
const QList<QByteArray> newerProducts = {
    "ASPIRIN~TABLET;ORAL~ALPHA~ACME~325MG~N~000001~001~AB~Jan 2, 2020~Yes~No~RX~ACME LABS",
    "GAMMALIN~TABLET;ORAL~GAMMA~ACME~1G~N~000003~001~~Jan 2, 2020~No~No~DISCN~ACME LABS",
    "DELTIN~TABLET;ORAL~TECO~ACME~1G~N~000004~001~AB1~Jan 2, 2020~No~No~RX~ACME LABS",
    "EPSIN~TABLET;ORAL~RLDO~ACME~1G~N~000005~001~~Jan 2, 2020~Yes~No~RX~ACME LABS",
    "EPSIN~TABLET;ORAL~RSGEN~ACME~1G~A~000006~001~AB~Jan 2, 2020~No~Yes~RX~ACME LABS",
    "ZETIN~TABLET;ORAL~DELTA XR~ACME~1G~N~000007~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "ETIN~TABLET;ORAL~APPL~EPS~1G~N~000008~001~~Jan 2, 2020~No~No~RX~EPS LLC",
    "IOTA HYDROCHLORIDE~TABLET;ORAL~INGR~ACME~1G~N~000009~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "KAPPA~CAPSULE;ORAL~FORM~ACME~1G~N~000010~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "LAMBDA~TABLET;ORAL~STRONG~ACME~20MG ~N~000011~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "MU~TABLET;ORAL~NOTED~ACME~ 5MG **Federal Register determination that product was not withdrawn**~N~000012~"
    "001~~Jan 2, 2020~No~No~DISCN~ACME LABS",
    "NU~TABLET;ORAL~DATED~ACME~1G~N~000013~001~~Jan 3, 2020~No~No~RX~ACME LABS",
    "XI~TABLET;ORAL~HALVES~ACME~1G~N~000014~001~~Jan 2, 2020~No~No~OTC~ACME LABS",
    "XI~TABLET;ORAL~HALVES~ACME~1G~N~000014~001~~Jan 2, 2020~No~No~RX~ACME LABS",
    "ZETAMAB~TABLET;ORAL~ZETA~ACME~50MG~N~000015~001~~Jan 2, 2020~Yes~No~RX~ACME LABS",
    "ZETAMAB~TABLET;ORAL~ZETAMAB~GENCO~50MG~A~000099~001~AB~Oct 20, 2024~No~No~RX~GENCO INC",
    "OLDIN~TABLET;ORAL~OLDIE~GENCO~1G~A~000098~001~~Jan 1, 2019~No~No~DISCN~GENCO INC",
};
const QList<QByteArray> olderPatents = {
    "N~000001~001~1111111~Jan 1, 2030~Y~Y~~~",  "N~000001~001~1111111*PED~Jul 1, 2030~Y~Y~~~",
    "N~000001~001~2222222~Oct 20, 2024~Y~~~~",  "N~000001~001~3333333~Jan 1, 2031~Y~~~~",
    "N~000001~001~4444444~Jan 1, 2030~Y~~~~",   "N~000001~001~5555555~Jan 1, 2030~Y~~~~",
    "N~000001~001~6666666~Jan 1, 2030~~~U-1~~", "N~000001~001~6666666~Jan 1, 2030~~~U-2~~",
    "N~000001~001~7777777~Jan 1, 2030~Y~~~~",   "N~000001~001~8888888~Jan 1, 2030~Y~~~~",
};
const QList<QByteArray> newerPatents = {
    "N~000001~001~1111111~Jan 1, 2030~Y~Y~~~",  "N~000001~001~1111111*PED~Jul 1, 2030~Y~Y~~~",
    "N~000001~001~4444444~Jan 1, 2032~Y~~~~",   "N~000001~001~5555555~Jan 1, 2029~Y~~~~",
    "N~000001~001~6666666~Jan 1, 2030~~~U-1~~", "N~000001~001~7777777~Jan 1, 2030~Y~Y~~~",
    "N~000001~001~8888888~Jan 1, 2030~Y~~~Y~",  "N~000001~001~9999999~Jan 1, 2035~Y~~~~Oct 30, 2024",
};
const QList<QByteArray> olderExclusivities = {
    "N~000001~001~NCE~Jan 1, 2027",   "N~000001~001~ODE-1~Jun 8, 2031", "N~000001~001~PED~Dec 8, 2031",
    "N~000001~001~I-900~Oct 1, 2024", "N~000001~001~M-5~Jan 1, 2028",   "N~000003~001~PED~Mar 1, 2027",
};
const QList<QByteArray> newerExclusivities = {
    "N~000001~001~PED~Dec 8, 2032",
    "N~000001~001~NCE~Jan 1, 2027",
    "N~000001~001~ODE-1~Jun 8, 2032",
    "N~000001~001~NP~Jan 1, 2027",
    // The row this PED extends is new: the PED itself did not change.
    "N~000003~001~D-99~Sep 1, 2026",
    "N~000003~001~PED~Mar 1, 2027",
};

QByteArray file(const QByteArray &header, const QList<QByteArray> &lines)
{
    return header + "\r\n" + lines.join("\r\n");
}

// A release as the FDA publishes it: a zip of the three files, written on `date` (local noon).
void writeRelease(const QString &path, const QDate &date, const QList<QByteArray> &products,
                  const QList<QByteArray> &patents, const QList<QByteArray> &exclusivities)
{
    const QByteArray contents[]
        = {file(productsHeader, products), file(patentHeader, patents), file(exclusivityHeader, exclusivities)};
    const char *names[] = {"products.txt", "patent.txt", "exclusivity.txt"};
    std::tm noon = {};
    noon.tm_year = date.year() - 1900;
    noon.tm_mon = date.month() - 1;
    noon.tm_mday = date.day();
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const std::time_t written = std::mktime(&noon);
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive);
    for (int i = 0; i < 3; ++i) {
        zip_source_t *source = zip_source_buffer(archive, contents[i].constData(), contents[i].size(), 0);
        QVERIFY(source);
        const zip_int64_t index = zip_file_add(archive, names[i], source, 0);
        QVERIFY(index >= 0);
        QCOMPARE(zip_file_set_mtime(archive, zip_uint64_t(index), written, 0), 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

void runImport(const QString &newer, const QString &older, const QString &output)
{
    QProcess process;
    QStringList arguments{QStringLiteral("--fda"), newer, QStringLiteral("--output"), output};
    if (!older.isEmpty()) {
        arguments << QStringLiteral("--previous") << older;
    }
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH), arguments);
    QVERIFY(process.waitForFinished(120000));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             process.readAllStandardError().constData());
}

struct Database
{
    QString name;
    QSqlDatabase db;
    explicit Database(const QString &path)
        : name(QStringLiteral("changes-") + path)
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    ~Database()
    {
        db.close();
        db = {};
        QSqlDatabase::removeDatabase(name);
    }
    QList<QStringList> rows(const QString &sql) const
    {
        QSqlQuery query(db);
        if (!query.exec(sql)) {
            qWarning() << query.lastError().text();
            return {};
        }
        QList<QStringList> result;
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i) {
                row << query.value(i).toString();
            }
            result << row;
        }
        return result;
    }
    long long number(const QString &sql) const
    {
        const auto r = rows(sql);
        return r.isEmpty() ? -1 : r.front().value(0).toLongLong();
    }
};

// Older - removed + added = newer, for products, patent listings and exclusivities;
// the newer counts are those of the database's own tables.
void checkIdentities(const Database &db)
{
    const struct
    {
        const char *count;
        const char *added;
        const char *removed;
        const char *table;
    } sorts[] = {
        {"[Products]", "Product added%", "Product removed", "SELECT count(*) FROM products"},
        {"[Patent Listings]", "Patent listing added", "Patent listing removed%",
         "SELECT count(*) FROM (SELECT DISTINCT [Application Type], [New Drug Application (NDA) Number], "
         "[Product Number], [Patent Number] FROM patent)"},
        {"[Exclusivities]", "Exclusivity added", "Exclusivity removed%", "SELECT count(*) FROM exclusivity"},
    };
    for (const auto &sort : sorts) {
        const long long older = db.number(
            QStringLiteral("SELECT %1 FROM [compared release] WHERE ID = 1").arg(QLatin1String(sort.count)));
        const long long newer = db.number(
            QStringLiteral("SELECT %1 FROM [compared release] WHERE ID = 2").arg(QLatin1String(sort.count)));
        const long long added = db.number(
            QStringLiteral("SELECT count(*) FROM changes WHERE Kind LIKE '%1'").arg(QLatin1String(sort.added)));
        const long long removed = db.number(
            QStringLiteral("SELECT count(*) FROM changes WHERE Kind LIKE '%1'").arg(QLatin1String(sort.removed)));
        QVERIFY2(older >= 0 && added >= 0 && removed >= 0, sort.count);
        QCOMPARE(newer, db.number(QLatin1String(sort.table)));
        const long long common = older - removed;
        QCOMPARE(common + added, newer);
    }
}

} // namespace

class ReleaseChangesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyKindOfChangeIsFoundOnceWithBothValues();
    void releaseComparedWithItselfHasNoChanges();
    void importWithoutPreviousHasNoChangeTable();
};

void ReleaseChangesTest::everyKindOfChangeIsFoundOnceWithBothValues()
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeRelease(dir.filePath(QStringLiteral("older.zip")), QDate(2024, 10, 8), olderProducts, olderPatents,
                 olderExclusivities);
    writeRelease(dir.filePath(QStringLiteral("newer.zip")), QDate(2024, 11, 8), newerProducts, newerPatents,
                 newerExclusivities);
    const QString output = dir.filePath(QStringLiteral("kvostrel.mdb"));
    runImport(dir.filePath(QStringLiteral("newer.zip")), dir.filePath(QStringLiteral("older.zip")), output);
    const Database db(output);

    // kind, key, old value, new value
    const QList<QStringList> expected = {
        {"Product added: approved since the older release", "A 000099/001", "", "ZETAMAB 50MG TABLET;ORAL (RX)"},
        {"Product added: approved before the older release", "A 000098/001", "", "OLDIE 1G TABLET;ORAL (DISCN)"},
        {"Product removed", "N 000002/001", "BETA 1G TABLET;ORAL (RX)", ""},
        {"Type changed: RX to DISCN", "N 000003/001", "RX", "DISCN"},
        {"TE code changed", "N 000004/001", "AB", "AB1"},
        {"RLD changed", "N 000005/001", "No", "Yes"},
        {"RS changed", "A 000006/001", "No", "Yes"},
        {"Trade name changed", "N 000007/001", "DELTA", "DELTA XR"},
        {"Applicant changed", "N 000008/001", "EPS INC", "EPS LLC"},
        {"Ingredient changed", "N 000009/001", "IOTA", "IOTA HYDROCHLORIDE"},
        {"Dosage form/route changed", "N 000010/001", "TABLET;ORAL", "CAPSULE;ORAL"},
        {"Strength changed", "N 000011/001", "10MG", "20MG"},
        {"Note reworded", "N 000012/001", "Federal Register determination that product was not discontinued",
         "Federal Register determination that product was not withdrawn"},
        {"Approval date changed", "N 000013/001", "Jan 2, 2020", "Jan 3, 2020"},
        {"Patent listing added", "N 000001/001 patent 9999999", "", "Jan 1, 2035"},
        {"Patent listing removed: expired", "N 000001/001 patent 2222222", "Oct 20, 2024", ""},
        {"Patent listing removed before expiry", "N 000001/001 patent 3333333", "Jan 1, 2031", ""},
        {"Patent expiry moved later", "N 000001/001 patent 4444444", "Jan 1, 2030", "Jan 1, 2032"},
        {"Patent expiry moved earlier", "N 000001/001 patent 5555555", "Jan 1, 2030", "Jan 1, 2029"},
        {"Patent use code changed", "N 000001/001 patent 6666666", "U-1, U-2", "U-1"},
        {"Patent flags changed", "N 000001/001 patent 7777777", "substance Y, product -", "substance Y, product Y"},
        {"Patent delist flag changed", "N 000001/001 patent 8888888", "", "Y"},
        {"Exclusivity added", "N 000001/001 NP", "", "Jan 1, 2027"},
        {"Exclusivity added", "N 000003/001 D-99", "", "Sep 1, 2026"},
        {"Exclusivity removed: ended", "N 000001/001 I-900", "Oct 1, 2024", ""},
        {"Exclusivity removed before its end", "N 000001/001 M-5", "Jan 1, 2028", ""},
        {"Exclusivity date changed", "N 000001/001 ODE-1", "Jun 8, 2031", "Jun 8, 2032"},
        {"Exclusivity date changed", "N 000001/001 PED of ODE-1", "Dec 8, 2031", "Dec 8, 2032"},
        {"First generic", "ZETAMAB; TABLET;ORAL; 50MG", "", "A 000099/001 ZETAMAB, GENCO INC"},
    };
    QList<QStringList> found = db.rows(QStringLiteral(
        "SELECT Kind, Key, ifnull([Old Value], ''), ifnull([New Value], '') FROM changes ORDER BY Kind, Key"));
    QList<QStringList> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    std::sort(found.begin(), found.end());
    QCOMPARE(found, sortedExpected);

    // Both release dates on every row and in the release table.
    QCOMPARE(db.rows(QStringLiteral("SELECT DISTINCT [Older Release], [Newer Release] FROM changes")),
             (QList<QStringList>{{"Oct 8, 2024", "Nov 8, 2024"}}));
    QCOMPARE(db.rows(QStringLiteral("SELECT [Release Date], Products, [Patent Listings], Exclusivities FROM "
                                    "[compared release] ORDER BY ID")),
             (QList<QStringList>{{"Oct 8, 2024", "16", "9", "6"}, {"Nov 8, 2024", "17", "8", "6"}}));
    checkIdentities(db);

    // A change leads to the newer release's record; a removal has none.
    QCOMPARE(db.rows(QStringLiteral("SELECT [Application Type], [New Drug Application (NDA) Number], [Product "
                                    "Number], [Patent Number], [Exclusivity Code] FROM changes WHERE Kind IN "
                                    "('Patent expiry moved later', 'Exclusivity date changed', 'First generic') "
                                    "ORDER BY Key")),
             (QList<QStringList>{{"N", "000001", "001", "", "ODE-1"},
                                 {"N", "000001", "001", "4444444", ""},
                                 {"N", "000001", "001", "", "PED"},
                                 {"A", "000099", "001", "", ""}}));
    QCOMPARE(db.number(QStringLiteral("SELECT count(*) FROM changes WHERE Kind = 'Product removed' AND [New Drug "
                                      "Application (NDA) Number] IS NOT NULL")),
             0LL);
}

void ReleaseChangesTest::releaseComparedWithItselfHasNoChanges()
{
    QTemporaryDir tmp;
    const QString output = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    runImport(bundledRelease, bundledRelease, output);
    const Database db(output);
    QCOMPARE(db.number(QStringLiteral("SELECT count(*) FROM changes")), 0LL);
    QCOMPARE(db.rows(QStringLiteral("SELECT [Release Date], Products FROM [compared release] ORDER BY ID")),
             (QList<QStringList>{{"Nov 8, 2024", "45752"}, {"Nov 8, 2024", "45752"}}));
    checkIdentities(db);
}

void ReleaseChangesTest::importWithoutPreviousHasNoChangeTable()
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeRelease(dir.filePath(QStringLiteral("newer.zip")), QDate(2024, 11, 8), newerProducts, newerPatents,
                 newerExclusivities);
    const QString output = dir.filePath(QStringLiteral("kvostrel.mdb"));
    runImport(dir.filePath(QStringLiteral("newer.zip")), {}, output);
    const Database db(output);
    QCOMPARE(db.number(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('changes', 'compared "
                                      "release')")),
             0LL);
}

QTEST_GUILESS_MAIN(ReleaseChangesTest)
#include "tst_release_changes.moc"
