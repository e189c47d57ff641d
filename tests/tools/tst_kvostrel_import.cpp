#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>
#include <zip.h>

namespace {

const QString fdaDataDir = QStringLiteral(FDA_DATA_DIR);

// Hand-made input as the FDA publishes it: tilde-separated, CR LF, no line end after
// the last line, Latin-1 (0xE9 is "é"). Columns in another order than the FDA's, one extra.
const QByteArray products
    = "Trade_Name~Appl_No~Extra~Ingredient~DF;Route~Strength~Product_No~TE_Code~Approval_Date~RLD~Type~"
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
const QByteArray dosageForms
    = "\xEF\xBB\xBFname\tdefinition\tuse_restrictions\tshort_name\tfda_code\tnci_concept_id\r\n"
      "TABLET\tA solid dosage form.\t\tTAB\t500\tC42998\r\n"
      "EXTRA\xE2\x80\x91"
      "AMNIOTIC FOAM\t\t\t\t\tC00001\r\n";
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

void startImport(QProcess &process, const QDir &dir, const QString &fda, const QString &output,
                 const QString &dosageFormsFile = QStringLiteral("dosage_forms.tsv"))
{
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                  {QStringLiteral("--fda"), dir.filePath(fda), QStringLiteral("--dosage-forms"),
                   dir.filePath(dosageFormsFile), QStringLiteral("--routes"),
                   dir.filePath(QStringLiteral("routes.tsv")), QStringLiteral("--output"), output});
}

Run runImport(const QDir &dir, const QString &fda, const QString &output,
              const QString &dosageFormsFile = QStringLiteral("dosage_forms.tsv"))
{
    QProcess process;
    startImport(process, dir, fda, output, dosageFormsFile);
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

// Every file under `dir` (links as "-> target"), hidden ones included: a failed run must
// leave this as it was.
Files snapshot(const QDir &dir)
{
    Files files;
    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        files.insert(dir.relativeFilePath(path),
                     info.isSymLink() ? "-> " + QFile::encodeName(info.symLinkTarget()) : fileContent(path));
    }
    return files;
}

using Links = QMap<QString, QString>; // link path under the test folder -> what it points to

void makeLinks(const QDir &dir, const Links &links)
{
    for (auto it = links.begin(); it != links.end(); ++it) {
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(it.key())).absolutePath()));
        const QByteArray path = QFile::encodeName(dir.filePath(it.key()));
        QVERIFY2(symlink(QFile::encodeName(it.value()).constData(), path.constData()) == 0, path.constData());
    }
}

const QString bundledZip = QStringLiteral("fda-approved-drug-products-2024-11.zip");

} // namespace

class KvostrelImportTest : public QObject
{
    Q_OBJECT

private slots:
    void folderInputIsStoredColumnByColumn();
    void zipInputGivesTheSameDatabaseAsTheFolder();
    void faultyInputFailsAndLeavesThePreviousFile_data();
    void faultyInputFailsAndLeavesThePreviousFile();
    void outputThatIsAnInputIsRefused_data();
    void outputThatIsAnInputIsRefused();
    void outputThroughSymbolicLinksReplacesTheFileAtTheirEnd_data();
    void outputThroughSymbolicLinksReplacesTheFileAtTheirEnd();
    void ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile_data();
    void ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile();
    void bundledReleaseGivesEveryFdaRecord();
};

void KvostrelImportTest::folderInputIsStoredColumnByColumn()
{
    const Workspace work;
    const QString &db = work.database;
    const Run run = runImport(work.dir, QStringLiteral("fda"), db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM products ORDER BY ID")),
        (QStringList{
            QStringLiteral("ID|trade name|ingredient|Strength|Dosage Form|Route of Administration|Type|Applicant Full "
                           "Name|Therapeutic Equivalence (TE) Code|Product Number|New Drug Application (NDA) "
                           "Number|Reference Listed Drug (RLD)|Approval Date"),
            QStringLiteral("1|café tablet|ASPIRIN|325MG|TABLET|ORAL|RX|ACME LABS|AB|001|012345|Yes|Jan 2, 2020"),
            QStringLiteral("2|PAM \"25\"|IBUPROFEN; FAMOTIDINE|<null>|INJECTABLE|INTRAVENOUS;SUBCUTANEOUS|DISCN|<null>|"
                           "<null>|002|000002|No|Approved Prior to Jan 1, 1982"),
            QStringLiteral("3|Bayer|ASPIRIN|81MG|CAPSULE|<null>|OTC|BAYER|<null>|003|000003|<null>|<null>")}));
    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM patent ORDER BY ID")),
        (QStringList{QStringLiteral("ID|Patent Number|Patent Expire Date|New Drug Application (NDA) Number|Product "
                                    "Number|Drug Substance Flag|Drug Product Flag|Patent Use Code"),
                     QStringLiteral("1|7625884|Aug 24, 2026|012345|001|<null>|<null>|U-141"),
                     QStringLiteral("2|RE41234|Feb 1, 2027|000002|002|Y|Y|<null>")}));
    const QString vocabularyHeader
        = QStringLiteral("ID|name|DEFINITION|USE RESTRICTIONS|SHORT NAME|FDA CODE|NCI CONCEPT ID");
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
    QTest::newRow("patent.txt missing from the folder") << Files{{QStringLiteral("fda/patent.txt"), QByteArray()}}
                                                        << folder << QStringList{QStringLiteral("patent.txt")};
    QTest::newRow("routes file missing") << Files{{QStringLiteral("routes.tsv"), QByteArray()}} << folder
                                         << QStringList{QStringLiteral("/routes.tsv")};
    QTest::newRow("zip without products.txt")
        << Files{{QStringLiteral("fda/products.txt"), QByteArray()}} << QStringLiteral("fda.zip")
        << QStringList{QStringLiteral("fda.zip"), QStringLiteral("no products.txt")};
    QTest::newRow("unreadable zip") << Files{{QStringLiteral("broken.zip"),
                                              QByteArray("PK\x03\x04 this is not an archive")}}
                                    << QStringLiteral("broken.zip") << QStringList{QStringLiteral("broken.zip")};

    // A download cut short after the header, in each file.
    const QStringList noRecords{QStringLiteral("holds its header line but no records")};
    QTest::newRow("products.txt with its header only")
        << Files{{QStringLiteral("fda/products.txt"), products.left(products.indexOf("\r\n") + 2)}} << folder
        << noRecords + QStringList{QStringLiteral("/fda/products.txt:")};
    QTest::newRow("patent.txt with its header only, no line end")
        << Files{{QStringLiteral("fda/patent.txt"), patents.left(patents.indexOf('\n'))}} << folder
        << noRecords + QStringList{QStringLiteral("/fda/patent.txt:")};
    QTest::newRow("routes with their header only")
        << Files{{QStringLiteral("routes.tsv"), routes.left(routes.indexOf('\n') + 1)}} << folder
        << noRecords + QStringList{QStringLiteral("/routes.tsv:")};

    // Control characters: only a tab at either end of a field is taken (as padding).
    QTest::newRow("NUL byte in a field") << Files{{QStringLiteral("fda/products.txt"),
                                                   products + "\r\nINHALER~000004~~BUDESONIDE~AEROSOL;INHALATION"
                                                       + QByteArray(1, '\0') + "~1MG~004~~~No~RX~ACME"}}
                                         << folder
                                         << QStringList{QStringLiteral(
                                                            "products.txt, line 5: field 5 (DF;Route), character 19"),
                                                        QStringLiteral("U+0000")};
    QTest::newRow("tab inside a field of a tilde file")
        << Files{{QStringLiteral("fda/patent.txt"), patents + "N~000003~003~\t123\t456~Jan 1, 2030~~~~~\n"}} << folder
        << QStringList{QStringLiteral("patent.txt, line 4: field 4 (Patent_No), character 4"),
                       QStringLiteral("U+0009")};
    QTest::newRow("line end inside a quoted trade name")
        << Files{{QStringLiteral("fda/products.txt"),
                  products + "\r\n\"TWO\nLINES\"~4~~A~TABLET;ORAL~1MG~004~~~No~RX~ACME"}}
        << folder
        << QStringList{QStringLiteral("products.txt, line 5: field 1 (Trade_Name)"), QStringLiteral("U+000A")};
    QTest::newRow("terminal escape in a vocabulary")
        << Files{{QStringLiteral("dosage_forms.tsv"),
                  dosageForms + "CAPSULE\tA \x1b[31mred\x1b[0m capsule\t\t\t\tC1\r\n"}}
        << folder
        << QStringList{QStringLiteral("dosage_forms.tsv, line 4: field 2 (definition)"), QStringLiteral("U+001B")};
    QTest::newRow("C1 control in a Latin-1 file")
        << Files{{QStringLiteral("fda/products.txt"), products + "\r\nX\x81~4~~A~TABLET;ORAL~1MG~004~~~No~RX~ACME"}}
        << folder
        << QStringList{QStringLiteral("products.txt, line 5: field 1 (Trade_Name)"), QStringLiteral("U+0081")};

    QTest::newRow("header line repeated inside the file")
        << Files{{QStringLiteral("fda/products.txt"),
                  products + "\r\n" + products.left(products.indexOf("\r\n"))
                      + "\r\nB~5~~A~TABLET;ORAL~1MG~005~~~No~RX~ACME"}}
        << folder << QStringList{QStringLiteral("products.txt, line 5: the header line is repeated")};
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

void KvostrelImportTest::outputThatIsAnInputIsRefused_data()
{
    QTest::addColumn<QString>("fda");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("hardLinkTo"); // output made a hard link to this input first
    QTest::addColumn<Links>("links");
    QTest::addColumn<QString>("option");

    const QString folder = QStringLiteral("fda");
    QTest::newRow("the routes file") << folder << QStringLiteral("routes.tsv") << QString() << Links{}
                                     << QStringLiteral("--routes");
    QTest::newRow("products.txt of the folder, spelled another way")
        << folder << QStringLiteral("out/../fda/./products.txt") << QString() << Links{} << QStringLiteral("--fda");
    QTest::newRow("hard link to the dosage forms")
        << folder << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("dosage_forms.tsv") << Links{}
        << QStringLiteral("--dosage-forms");
    QTest::newRow("symbolic link to the zip")
        << QStringLiteral("fda.zip") << QStringLiteral("out/kvostrel.mdb") << QString()
        << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("../fda.zip")}} << QStringLiteral("--fda");
}

void KvostrelImportTest::outputThatIsAnInputIsRefused()
{
    QFETCH(QString, fda);
    QFETCH(QString, output);
    QFETCH(QString, hardLinkTo);
    QFETCH(Links, links);
    QFETCH(QString, option);

    const Workspace work;
    const QDir &dir = work.dir;
    writeZip(dir.filePath(QStringLiteral("fda.zip")), dir,
             {{QStringLiteral("products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    if (!hardLinkTo.isEmpty()) {
        QCOMPARE(link(QFile::encodeName(dir.filePath(hardLinkTo)).constData(),
                      QFile::encodeName(dir.filePath(output)).constData()),
                 0);
    }
    makeLinks(dir, links);
    const Files before = snapshot(dir);

    const Run run = runImport(dir, fda, dir.filePath(output));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("--output ") + dir.filePath(output)
                              + QStringLiteral(" is the same file as ") + option + QLatin1Char(' ')),
             qPrintable(run.err));
    QCOMPARE(snapshot(dir), before);
}

void KvostrelImportTest::outputThroughSymbolicLinksReplacesTheFileAtTheirEnd_data()
{
    QTest::addColumn<Links>("links");
    QTest::addColumn<bool>("previousExists");

    const QString output = QStringLiteral("out/kvostrel.mdb");
    QTest::newRow("relative link") << Links{{output, QStringLiteral("../data/kvostrel.mdb")}} << true;
    QTest::newRow("chain of links, each relative to its own folder")
        << Links{{output, QStringLiteral("../data/current")},
                 {QStringLiteral("data/current"), QStringLiteral("kvostrel.mdb")}}
        << true;
    QTest::newRow("dangling link") << Links{{output, QStringLiteral("../data/kvostrel.mdb")}} << false;
}

void KvostrelImportTest::outputThroughSymbolicLinksReplacesTheFileAtTheirEnd()
{
    QFETCH(Links, links);
    QFETCH(bool, previousExists);

    const Workspace work;
    const QDir &dir = work.dir;
    QVERIFY(dir.mkdir(QStringLiteral("data")));
    if (previousExists) {
        writeFiles(dir, {{QStringLiteral("data/kvostrel.mdb"), "the previous database"}});
    }
    makeLinks(dir, links);
    const Files before = snapshot(dir);

    const Run run = runImport(dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString target = QStringLiteral("data/kvostrel.mdb");
    QCOMPARE(rows(dir.filePath(target), QStringLiteral("SELECT count(*) FROM products")).value(1), QStringLiteral("3"));
    // Only the target changed: the links are still the same links, and no temporary
    // file is left in any folder.
    Files expected = before;
    expected.insert(target, fileContent(dir.filePath(target)));
    QCOMPARE(snapshot(dir), expected);
}

void KvostrelImportTest::ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("ignoredAtStart");

    QTest::newRow("SIGHUP ignored, as under nohup") << int(SIGHUP) << true;
    QTest::newRow("SIGINT ignored, as for a background job") << int(SIGINT) << true;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
}

void KvostrelImportTest::ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, ignoredAtStart);

    const Workspace work;
    const QByteArray previous = "the previous database";
    writeFiles(work.dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    QProcess process;
    process.setChildProcessModifier([=] { std::signal(signalNumber, ignoredAtStart ? SIG_IGN : SIG_DFL); });
    startImport(process, QDir(fdaDataDir), bundledZip, work.database);
    QVERIFY(process.waitForStarted());

    // The signal comes once the temporary file is there, and again until the import ends.
    QElapsedTimer timer;
    timer.start();
    while (work.outputFiles().size() < 2) {
        QVERIFY2(timer.elapsed() < 30000 && !process.waitForFinished(0), "the temporary file never showed");
    }
    do {
        QCOMPARE(kill(pid_t(process.processId()), signalNumber), 0);
    } while (!process.waitForFinished(1) && timer.elapsed() < 60000);

    if (ignoredAtStart) {
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 qPrintable(process.readAllStandardError()));
        QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM products")).value(1),
                 QStringLiteral("45752"));
    } else {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(fileContent(work.database), previous);
    }
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::bundledReleaseGivesEveryFdaRecord()
{
    QTemporaryDir tmp;
    const QDir dir(fdaDataDir);
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const Run run = runImport(dir, bundledZip, db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QStringList counts
        = rows(db,
               QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(*) FROM patent),"
                              " (SELECT count(*) FROM [dosage form]),"
                              " (SELECT count(*) FROM [route of administration])"));
    QCOMPARE(counts.value(1), QStringLiteral("45752|19705|157|112"));
    // The first line of products.txt, and a trade name the FDA writes in quotes.
    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM products WHERE ID IN (1, 3743)")).mid(1),
        (QStringList{QStringLiteral("1|BUDESONIDE|BUDESONIDE|2MG/ACTUATION|AEROSOL, FOAM|RECTAL|RX|PADAGIS ISRAEL "
                                    "PHARMACEUTICALS LTD|AB|001|215328|No|Apr 12, 2023"),
                     QStringLiteral("3743|HY-PAM \"25\"|HYDROXYZINE PAMOATE|EQ 25MG HYDROCHLORIDE|CAPSULE|ORAL|DISCN|"
                                    "TEVA PHARMACEUTICALS USA INC|<null>|001|088713|No|Mar 4, 1985")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NULL"))
                 .value(1),
             QStringLiteral("25017"));
    // products.txt line 481 pads its strength with a tab, which is dropped.
    QCOMPARE(rows(db, QStringLiteral("SELECT Strength FROM products WHERE ID = 480")).value(1),
             QStringLiteral("EQ 20MG BASE"));
}

QTEST_GUILESS_MAIN(KvostrelImportTest)
#include "tst_kvostrel_import.moc"
