#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

namespace {

const QString fdaDataDir = QStringLiteral(FDA_DATA_DIR);

// Hand-made input as the FDA publishes it: tilde-separated, CR LF, no line end after
// the last line, Latin-1 (0xE9 is "é"). Columns in another order than the FDA's, one extra.
const QByteArray products = "Trade_Name~Appl_No~Extra~Ingredient~DF;Route~Strength~Product_No~TE_Code~Approval_Date~RLD~Type~"
                            "Applicant_Full_Name\r\n"
                            "caf\xe9 tablet~012345~x~ASPIRIN~TABLET;ORAL~325MG~001~AB~Jan 2, 2020~Yes~RX~ACME LABS\r\n"
                            "\"PAM \"\"25\"\"\"~000002~~IBUPROFEN; FAMOTIDINE~INJECTABLE;INTRAVENOUS;SUBCUTANEOUS~~002~~"
                            "Approved Prior to Jan 1, 1982~No~DISCN~\r\n"
                            "Bayer~000003~~ASPIRIN~CAPSULE~81MG~003~~~~OTC~BAYER";
const QByteArray patents = "Appl_Type~Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~Drug_Substance_Flag~"
                           "Drug_Product_Flag~Patent_Use_Code~Delist_Flag~Submission_Date\n"
                           "N~012345~001~7625884~Aug 24, 2026~~~U-141~~\n"
                           "N~000002~002~RE41234~Feb 1, 2027~Y~Y~~Y~Mar 3, 2003\n";
// UTF-8 with a byte-order mark and CR LF, as a spreadsheet saves it.
const QByteArray dosageForms = "\xEF\xBB\xBFname\tdefinition\tuse_restrictions\tshort_name\tfda_code\tnci_concept_id\r\n"
                               "TABLET\tA solid dosage form.\t\tTAB\t500\tC42998\r\n"
                               "EXTRA\xE2\x80\x91" "AMNIOTIC FOAM\t\t\t\t\tC00001\r\n";
const QByteArray routes = "nci_concept_id\tname\tdefinition\tuse_restrictions\tshort_name\tfda_code\n"
                          "C38288\tORAL\tBy mouth.\t\tORAL\t1";

using Files = QMap<QString, QByteArray>; // path under the test folder -> content (null: no such file)

void writeFiles(const QDir &dir, const Files &files)
{
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = dir.filePath(it.key());
        QFile::remove(path);
        if (it.value().isNull()) {
            continue;
        }
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
}

const Files goodInput{{QStringLiteral("fda/products.txt"), products},
                      {QStringLiteral("fda/patent.txt"), patents},
                      {QStringLiteral("dosage_forms.tsv"), dosageForms},
                      {QStringLiteral("routes.tsv"), routes}};

// A temporary folder holding the good input and an empty out/ for the database.
struct Workspace
{
    QTemporaryDir tmp;
    QDir dir{tmp.path()};
    QString database = dir.filePath(QStringLiteral("out/kvostrel.mdb"));

    Workspace()
    {
        writeFiles(dir, goodInput);
        QVERIFY(dir.mkdir(QStringLiteral("out")));
    }

    // What out/ holds, hidden files included.
    QStringList outputFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden);
    }
};

// Packs files of `dir` into a zip archive, under the names given.
void writeZip(const QString &zipPath, const QDir &dir, const QMap<QString, QString> &entries)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const QByteArray path = QFile::encodeName(dir.filePath(it.value()));
        zip_source_t *source = zip_source_file(archive, path.constData(), 0, -1);
        QVERIFY(source);
        QVERIFY(zip_file_add(archive, it.key().toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runImport(const QDir &dir, const QString &fda, const QString &output,
              const QString &dosageFormsFile = QStringLiteral("dosage_forms.tsv"))
{
    QProcess process;
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                  {QStringLiteral("--fda"), dir.filePath(fda), QStringLiteral("--dosage-forms"),
                   dir.filePath(dosageFormsFile), QStringLiteral("--routes"), dir.filePath(QStringLiteral("routes.tsv")),
                   QStringLiteral("--output"), output});
    process.waitForFinished(60000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Every row of a query, fields joined by "|", Null written as "<null>". The first line
// holds the column names.
QStringList rows(const QString &dbPath, const QString &sql)
{
    QStringList lines;
    const QString name = QStringLiteral("reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql)) {
                QStringList names;
                for (int i = 0; i < q.record().count(); ++i) {
                    names << q.record().fieldName(i);
                }
                lines << names.join(QLatin1Char('|'));
                while (q.next()) {
                    QStringList fields;
                    for (int i = 0; i < q.record().count(); ++i) {
                        fields << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
                    }
                    lines << fields.join(QLatin1Char('|'));
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return lines;
}

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class KvostrelImportTest : public QObject
{
    Q_OBJECT

private slots:
    void folderInputIsStoredColumnByColumn();
    void zipInputGivesTheSameDatabaseAsTheFolder();
    void faultyInputFailsAndLeavesThePreviousFile_data();
    void faultyInputFailsAndLeavesThePreviousFile();
    void bundledReleaseGivesEveryFdaRecord();
};

void KvostrelImportTest::folderInputIsStoredColumnByColumn()
{
    const Workspace work;
    const QString &db = work.database;
    const Run run = runImport(work.dir, QStringLiteral("fda"), db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM products ORDER BY ID")),
             (QStringList{
                 QStringLiteral("ID|trade name|ingredient|Strength|Dosage Form|Route of Administration|Type|Applicant Full "
                                "Name|Therapeutic Equivalence (TE) Code|Product Number|New Drug Application (NDA) "
                                "Number|Reference Listed Drug (RLD)|Approval Date"),
                 QStringLiteral("1|café tablet|ASPIRIN|325MG|TABLET|ORAL|RX|ACME LABS|AB|001|012345|Yes|Jan 2, 2020"),
                 QStringLiteral("2|PAM \"25\"|IBUPROFEN; FAMOTIDINE|<null>|INJECTABLE|INTRAVENOUS;SUBCUTANEOUS|DISCN|<null>|"
                                "<null>|002|000002|No|Approved Prior to Jan 1, 1982"),
                 QStringLiteral("3|Bayer|ASPIRIN|81MG|CAPSULE|<null>|OTC|BAYER|<null>|003|000003|<null>|<null>")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM patent ORDER BY ID")),
             (QStringList{QStringLiteral("ID|Patent Number|Patent Expire Date|New Drug Application (NDA) Number|Product "
                                         "Number|Drug Substance Flag|Drug Product Flag|Patent Use Code"),
                          QStringLiteral("1|7625884|Aug 24, 2026|012345|001|<null>|<null>|U-141"),
                          QStringLiteral("2|RE41234|Feb 1, 2027|000002|002|Y|Y|<null>")}));
    const QString vocabularyHeader = QStringLiteral("ID|name|DEFINITION|USE RESTRICTIONS|SHORT NAME|FDA CODE|NCI CONCEPT ID");
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [dosage form] ORDER BY ID")),
             (QStringList{vocabularyHeader, QStringLiteral("1|TABLET|A solid dosage form.|<null>|TAB|500|C42998"),
                          QStringLiteral("2|EXTRA\u2011AMNIOTIC FOAM|<null>|<null>|<null>|<null>|C00001")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [route of administration]")),
             (QStringList{vocabularyHeader, QStringLiteral("1|ORAL|By mouth.|<null>|ORAL|1|C38288")}));

    // Every text column ignores letter case in comparisons, order by and like.
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM products WHERE [trade name] = 'BAYER' OR [Type] = 'rx'")),
             (QStringList{QStringLiteral("ID"), QStringLiteral("1"), QStringLiteral("3")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM products ORDER BY [trade name]")),
             (QStringList{QStringLiteral("ID"), QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT ID FROM patent WHERE [Patent Number] = 're41234'")).size(), 2);

    // Rollback-journal format (header bytes 18 and 19 are 1, WAL would be 2), and
    // nothing left beside the database.
    QCOMPARE(fileContent(db).mid(18, 2), QByteArray("\x01\x01"));
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::zipInputGivesTheSameDatabaseAsTheFolder()
{
    const Workspace work;
    const QDir &dir = work.dir;
    // A repacked archive: the files in a subfolder, exclusivity.txt beside them.
    writeZip(dir.filePath(QStringLiteral("release.zip")), dir,
             {{QStringLiteral("2024-11/products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("2024-11/patent.txt"), QStringLiteral("fda/patent.txt")},
              {QStringLiteral("2024-11/exclusivity.txt"), QStringLiteral("routes.tsv")}});
    const QString fromFolder = dir.filePath(QStringLiteral("folder.mdb"));
    const QString fromZip = dir.filePath(QStringLiteral("zip.mdb"));
    QCOMPARE(runImport(dir, QStringLiteral("fda"), fromFolder).exitCode, 0);
    const Run run = runImport(dir, QStringLiteral("release.zip"), fromZip);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    for (const auto &[table, lines] : {std::pair{"products", 4}, {"patent", 3}}) {
        const QString sql = QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(QLatin1String(table));
        QCOMPARE(rows(fromZip, sql), rows(fromFolder, sql));
        QCOMPARE(rows(fromZip, sql).size(), lines); // column names and every record
    }
}

void KvostrelImportTest::faultyInputFailsAndLeavesThePreviousFile_data()
{
    QTest::addColumn<Files>("changes");
    QTest::addColumn<QString>("fda");
    QTest::addColumn<QStringList>("messageParts");

    const QString folder = QStringLiteral("fda");
    QTest::newRow("products line short of a field")
        << Files{{QStringLiteral("fda/products.txt"), products + "\r\nNO APPLICANT~1~~A~TABLET;ORAL~1MG~001~~~No~RX"}}
        << folder << QStringList{QStringLiteral("/fda/products.txt, line 5"), QStringLiteral("11 fields")};
    QTest::newRow("quote never closed")
        << Files{{QStringLiteral("fda/products.txt"), products.left(products.indexOf("\r\n") + 2) + "\"OPEN~1~2"}}
        << folder << QStringList{QStringLiteral("products.txt, line 2"), QStringLiteral("never closed")};
    QTest::newRow("vocabulary line with an extra field")
        << Files{{QStringLiteral("dosage_forms.tsv"), dosageForms + "CAPSULE\t\t\t\t\t\tC1\r\n"}} << folder
        << QStringList{QStringLiteral("dosage_forms.tsv, line 4")};
    QTest::newRow("header without a needed column")
        << Files{{QStringLiteral("fda/patent.txt"), QByteArray(patents).replace("Patent_No", "Patent")}} << folder
        << QStringList{QStringLiteral("patent.txt, line 1"), QStringLiteral("\"Patent_No\"")};
    QTest::newRow("patent.txt missing from the folder")
        << Files{{QStringLiteral("fda/patent.txt"), QByteArray()}} << folder << QStringList{QStringLiteral("patent.txt")};
    QTest::newRow("routes file missing")
        << Files{{QStringLiteral("routes.tsv"), QByteArray()}} << folder << QStringList{QStringLiteral("/routes.tsv")};
    QTest::newRow("zip without products.txt")
        << Files{{QStringLiteral("fda/products.txt"), QByteArray()}} << QStringLiteral("fda.zip")
        << QStringList{QStringLiteral("fda.zip"), QStringLiteral("no products.txt")};
    QTest::newRow("unreadable zip")
        << Files{{QStringLiteral("broken.zip"), QByteArray("PK\x03\x04 this is not an archive")}}
        << QStringLiteral("broken.zip") << QStringList{QStringLiteral("broken.zip")};
}

void KvostrelImportTest::faultyInputFailsAndLeavesThePreviousFile()
{
    QFETCH(Files, changes);
    QFETCH(QString, fda);
    QFETCH(QStringList, messageParts);

    const Workspace work;
    const QDir &dir = work.dir;
    const QString &db = work.database;
    writeFiles(dir, changes);
    if (fda == QStringLiteral("fda.zip")) {
        writeZip(dir.filePath(fda), dir, {{QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    }
    const QByteArray previous = "the previous database, which a failed import must not touch";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});

    const Run run = runImport(dir, fda, db);
    QCOMPARE(run.exitCode, 1);
    for (const QString &part : messageParts) {
        QVERIFY2(run.err.contains(part), qPrintable(run.err));
    }
    QCOMPARE(fileContent(db), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::bundledReleaseGivesEveryFdaRecord()
{
    QTemporaryDir tmp;
    const QDir dir(fdaDataDir);
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const Run run = runImport(dir, QStringLiteral("fda-approved-drug-products-2024-11.zip"), db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QStringList counts = rows(db, QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(*) FROM patent),"
                                                       " (SELECT count(*) FROM [dosage form]),"
                                                       " (SELECT count(*) FROM [route of administration])"));
    QCOMPARE(counts.value(1), QStringLiteral("45752|19705|157|112"));
    // The first line of products.txt, and a trade name the FDA writes in quotes.
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM products WHERE ID IN (1, 3743)")).mid(1),
             (QStringList{QStringLiteral("1|BUDESONIDE|BUDESONIDE|2MG/ACTUATION|AEROSOL, FOAM|RECTAL|RX|PADAGIS ISRAEL "
                                         "PHARMACEUTICALS LTD|AB|001|215328|No|Apr 12, 2023"),
                          QStringLiteral("3743|HY-PAM \"25\"|HYDROXYZINE PAMOATE|EQ 25MG HYDROCHLORIDE|CAPSULE|ORAL|DISCN|"
                                         "TEVA PHARMACEUTICALS USA INC|<null>|001|088713|No|Mar 4, 1985")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NULL"))
                 .value(1),
             QStringLiteral("25017"));
}

QTEST_GUILESS_MAIN(KvostrelImportTest)
#include "tst_kvostrel_import.moc"
