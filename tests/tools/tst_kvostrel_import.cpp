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

#include "ImportError.h"
#include "KvostrelImport.h"
#include "common/FileDescriptor.h"

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
      "Bayer~000003~~ASPIRIN~CRYSTAL, MAGIC~81MG~003~~~~OTC~BAYER";
const QByteArray patents = "Appl_Type~Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~Drug_Substance_Flag~"
                           "Drug_Product_Flag~Patent_Use_Code~Delist_Flag~Submission_Date\n"
                           "N~012345~001~7625884~Aug 24, 2026~~~U-141~~\n"
                           "N~000002~002~RE41234~Feb 1, 2027~Y~Y~~Y~Mar 3, 2003";
// UTF-8 with a byte-order mark and CR LF, as a spreadsheet saves it.
const QByteArray dosageForms
    = "\xEF\xBB\xBFname\tdefinition\tuse_restrictions\tshort_name\tfda_code\tnci_concept_id\r\n"
      "TABLET\tA solid dosage form.\t\tTAB\t500\tC42998\r\n"
      "EXTRA\xE2\x80\x91"
      "AMNIOTIC FOAM\t\t\t\t\tC00001\r\n";
const QByteArray routes = "nci_concept_id\tname\tdefinition\tuse_restrictions\tshort_name\tfda_code\n"
                          "C38288\tORAL\tBy mouth.\t\tORAL\t1\n";

// One star code, a numbered code of a known family, a code of no known family.
const QByteArray exclusivity = "Appl_Type~Appl_No~Product_No~Exclusivity_Code~Exclusivity_Date\r\n"
                               "N~012345~001~ODE*~Sep 5, 2024\r\n"
                               "N~012345~001~I-901~Jan 2, 2027\r\n"
                               "A~000002~002~ZZ~Feb 1, 2026";
const QByteArray exclusivityCodes = "code\tmeaning\n"
                                    "ODE*\tOrphan, with a note.\n"
                                    "I-nnn\tNew indication.\n";

// The product list's spellings: INJECTABLE stands for two terms, named in another letter case.
const QByteArray listingTerms = "kind\tlisting_value\tterms\tnote\n"
                                "dosage form\tInjectable\ttablet; EXTRA\xE2\x80\x91"
                                "AMNIOTIC FOAM\ttwo terms\n"
                                "Route\tPER OS\toral\tunused\n";

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

const Files goodInput{
    {QStringLiteral("fda/products.txt"), products},       {QStringLiteral("fda/patent.txt"), patents},
    {QStringLiteral("fda/exclusivity.txt"), exclusivity}, {QStringLiteral("exclusivity_codes.tsv"), exclusivityCodes},
    {QStringLiteral("dosage_forms.tsv"), dosageForms},    {QStringLiteral("routes.tsv"), routes},
    {QStringLiteral("listing_terms.tsv"), listingTerms}};

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
                   dir.filePath(QStringLiteral("routes.tsv")), QStringLiteral("--listing-terms"),
                   dir.filePath(QStringLiteral("listing_terms.tsv")), QStringLiteral("--exclusivity-codes"),
                   dir.filePath(QStringLiteral("exclusivity_codes.tsv")), QStringLiteral("--output"), output});
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

// A tab-separated file of the bundled data, without its header line, split into fields.
QList<QStringList> bundledTsv(const QString &name)
{
    QList<QStringList> lines;
    const QString text = QString::fromUtf8(fileContent(QDir(fdaDataDir).filePath(name)));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1)) {
        lines << line.split(QLatin1Char('\t'));
    }
    return lines;
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
    void outputThatIsAnInputIsRefused_data();
    void outputThatIsAnInputIsRefused();
    void outputThroughSymbolicLinksReplacesTheFileAtTheirEnd_data();
    void outputThroughSymbolicLinksReplacesTheFileAtTheirEnd();
    void ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile_data();
    void ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile();
    void outputThatIsNoFileIsRefused_data();
    void outputThatIsNoFileIsRefused();
    void inputThatIsNoFileIsRefusedWithoutReadingIt_data();
    void inputThatIsNoFileIsRefusedWithoutReadingIt();
    void nextRunRemovesTheLeftoverOfAKilledImport();
    void fileCutInsideItsLastRecordIsRefused();
    void optionGivenTwiceIsRefused_data();
    void optionGivenTwiceIsRefused();
    void eachFieldIsReadAsUtf8WhereValidElseAsWindows1252_data();
    void eachFieldIsReadAsUtf8WhereValidElseAsWindows1252();
    void bundledReleaseGivesEveryFdaRecord();
    void bundledReleaseGivesEveryProductValueItsOwnVocabularyRow();
    void exclusivityRecordsKeepTheirTextAndMeaning_data();
    void exclusivityRecordsKeepTheirTextAndMeaning();
    void releaseWithoutExclusivityGivesAnEmptyTableAndOneWarning();
    void strengthNotesAreSplitOffAndNewFieldsKept_data();
    void strengthNotesAreSplitOffAndNewFieldsKept();
    void patentListOfTheOlderLayoutStillImports();
    void referenceFilesAreFoundWithoutOptions();
    void tableThePreviousFileFilledIsNotLeftEmpty_data();
    void tableThePreviousFileFilledIsNotLeftEmpty();
};

void KvostrelImportTest::strengthNotesAreSplitOffAndNewFieldsKept_data()
{
    QTest::addColumn<QByteArray>("strength");
    QTest::addColumn<QString>("stored"); // Strength|Strength Note
    QTest::newRow("no note") << QByteArray("325MG") << QStringLiteral("325MG|<null>");
    QTest::newRow("blanks") << QByteArray(" EQ 10MG BASE  ") << QStringLiteral("EQ 10MG BASE|<null>");
    QTest::newRow("note") << QByteArray("10MG **Federal Register determination**")
                          << QStringLiteral("10MG|Federal Register determination");
    QTest::newRow("cut short") << QByteArray("EQ 100MG BASE/ML **Federal Register determination that product*")
                               << QStringLiteral("EQ 100MG BASE/ML|Federal Register determination that product");
    QTest::newRow("no closing stars") << QByteArray("0.025MG **See current Annual Edition")
                                      << QStringLiteral("0.025MG|See current Annual Edition");
    QTest::newRow("two notes") << QByteArray("0.05MG **See current Annual Edition **Federal Register**")
                               << QStringLiteral("0.05MG|See current Annual Edition; Federal Register");
    QTest::newRow("note alone") << QByteArray("**Indicated for use with X**")
                                << QStringLiteral("<null>|Indicated for use with X");
}

void KvostrelImportTest::strengthNotesAreSplitOffAndNewFieldsKept()
{
    QFETCH(QByteArray, strength);
    QFETCH(QString, stored);
    const Workspace work;
    writeFiles(work.dir,
               {{QStringLiteral("fda/products.txt"),
                 "Ingredient~DF;Route~Trade_Name~Applicant~Strength~Appl_Type~Appl_No~Product_No~TE_Code~"
                 "Approval_Date~RLD~RS~Type~Applicant_Full_Name\r\n"
                 "ASPIRIN~TABLET;ORAL~BAYER~BAYER HLTHCARE~"
                     + strength + "~A~076477~001~AB~Jan 2, 2020~No~Yes~RX~BAYER HEALTHCARE LLC"}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database,
                  QStringLiteral("SELECT Strength, [Strength Note], [Application Type], Applicant,"
                                 " [Reference Standard (RS)], [Applicant Full Name] FROM products")),
             (QStringList{QStringLiteral("Strength|Strength Note|Application Type|Applicant|Reference Standard "
                                         "(RS)|Applicant Full Name"),
                          stored + QStringLiteral("|A|BAYER HLTHCARE|Yes|BAYER HEALTHCARE LLC")}));
}

void KvostrelImportTest::patentListOfTheOlderLayoutStillImports()
{
    const Workspace work;
    writeFiles(work.dir,
               {{QStringLiteral("fda/patent.txt"),
                 "Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~"
                 "Drug_Substance_Flag~Drug_Product_Flag~Patent_Use_Code\n"
                 "012345~001~7625884~Aug 24, 2026~~~U-141"}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database,
                  QStringLiteral("SELECT [Patent Number], [Application Type], [Delist Flag],"
                                 " [Submission Date] FROM patent")),
             (QStringList{QStringLiteral("Patent Number|Application Type|Delist Flag|Submission Date"),
                          QStringLiteral("7625884|<null>|<null>|<null>")}));
}

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
                           "Number|Reference Listed Drug (RLD)|Approval Date|Application Type|Applicant|Reference "
                           "Standard (RS)|Strength Note"),
            // A product list of the older layout: no application type, short name nor RS.
            QStringLiteral("1|café tablet|ASPIRIN|325MG|TABLET|ORAL|RX|ACME LABS|AB|001|012345|Yes|Jan 2, 2020|"
                           "<null>|<null>|<null>|<null>"),
            QStringLiteral("2|PAM \"25\"|IBUPROFEN; FAMOTIDINE|<null>|INJECTABLE|INTRAVENOUS;SUBCUTANEOUS|DISCN|<null>|"
                           "<null>|002|000002|No|Approved Prior to Jan 1, 1982|<null>|<null>|<null>|<null>"),
            QStringLiteral("3|Bayer|ASPIRIN|81MG|CRYSTAL, MAGIC|<null>|OTC|BAYER|<null>|003|000003|<null>|<null>|"
                           "<null>|<null>|<null>|<null>")}));
    QCOMPARE(
        rows(db, QStringLiteral("SELECT * FROM patent ORDER BY ID")),
        (QStringList{QStringLiteral("ID|Patent Number|Patent Expire Date|New Drug Application (NDA) Number|Product "
                                    "Number|Drug Substance Flag|Drug Product Flag|Patent Use Code|Application "
                                    "Type|Delist Flag|Submission Date"),
                     QStringLiteral("1|7625884|Aug 24, 2026|012345|001|<null>|<null>|U-141|N|<null>|<null>"),
                     QStringLiteral("2|RE41234|Feb 1, 2027|000002|002|Y|Y|<null>|N|Y|Mar 3, 2003")}));
    const QString vocabularyHeader
        = QStringLiteral("ID|name|DEFINITION|USE RESTRICTIONS|SHORT NAME|FDA CODE|NCI CONCEPT ID");
    // The vocabulary's terms, then the values of products that are none: a listing
    // spelling carries its terms' definitions and codes; the others have none and are
    // named in one warning line.
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [dosage form] ORDER BY ID")),
             (QStringList{vocabularyHeader, QStringLiteral("1|TABLET|A solid dosage form.|<null>|TAB|500|C42998"),
                          QStringLiteral("2|EXTRA\u2011AMNIOTIC FOAM|<null>|<null>|<null>|<null>|C00001"),
                          QStringLiteral("3|CRYSTAL, MAGIC|<null>|<null>|<null>|<null>|<null>"),
                          QStringLiteral("4|INJECTABLE|The FDA product list's wording for TABLET + EXTRA\u2011AMNIOTIC "
                                         "FOAM. TABLET: A solid dosage form.|<null>|<null>|500|C42998; C00001")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM [route of administration]")),
             (QStringList{vocabularyHeader, QStringLiteral("1|ORAL|By mouth.|<null>|ORAL|1|C38288"),
                          QStringLiteral("2|INTRAVENOUS;SUBCUTANEOUS|<null>|<null>|<null>|<null>|<null>")}));
    // The Latin-1 trade name is told of, then the values without definition.
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("warning"));
    QCOMPARE(warnings.size(), 2);
    QVERIFY2(warnings[0].contains(QStringLiteral("/fda/products.txt, line 2: text that is not UTF-8")),
             qPrintable(run.err));
    QVERIFY2(warnings[1].startsWith(QStringLiteral("kvostrel-import: warning: 2 values of products.txt"))
                 && warnings[1].endsWith(
                     QStringLiteral(": dosage form \"CRYSTAL, MAGIC\", route \"INTRAVENOUS;SUBCUTANEOUS\"")),
             qPrintable(run.err));

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
              {QStringLiteral("2024-11/Exclusivity.TXT"), QStringLiteral("fda/exclusivity.txt")}});
    const QString fromFolder = dir.filePath(QStringLiteral("folder.mdb"));
    const QString fromZip = dir.filePath(QStringLiteral("zip.mdb"));
    QCOMPARE(runImport(dir, QStringLiteral("fda"), fromFolder).exitCode, 0);
    const Run run = runImport(dir, QStringLiteral("release.zip"), fromZip);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    for (const auto &[table, lines] : {std::pair{"products", 4}, {"patent", 3}, {"exclusivity", 4}}) {
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
        << Files{{QStringLiteral("fda/patent.txt"), patents + "\nN~000003~003~\t123\t456~Jan 1, 2030~~~~~"}} << folder
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

    // The listing-terms file: every line must name a term of its own vocabulary, once.
    const auto listing = [](const QByteArray &line) {
        return Files{{QStringLiteral("listing_terms.tsv"), listingTerms + line}};
    };
    QTest::newRow("listing line short of its note")
        << listing("route\tPO\tORAL\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4"), QStringLiteral("3 fields")};
    QTest::newRow("listing spelling of no term")
        << listing("route\tIV\tINTRAVENOUS\tnot in routes.tsv\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"INTRAVENOUS\" is no route of "),
                       QStringLiteral("/routes.tsv")};
    QTest::newRow("listing spelling given twice")
        << listing("dosage form\tINJECTABLE\tTABLET\tagain\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"INJECTABLE\" is listed already on line 2")};
    QTest::newRow("listing spelling that is a term itself")
        << listing("route\tOral\tORAL\tsame\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: \"Oral\" is a term of ")};
    QTest::newRow("listing line of an unknown kind")
        << listing("form\tPILL\tTABLET\tx\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: the kind \"form\" is none of")};
    QTest::newRow("listing line without terms")
        << listing("route\tPO\t \tx\n") << folder
        << QStringList{QStringLiteral("/listing_terms.tsv, line 4: no route of ")};

    // Input that could be read more than one way is not read at all.
    QTest::newRow("header naming a column twice, in another letter case")
        << Files{{QStringLiteral("fda/products.txt"), QByteArray(products).replace("~Extra~", "~trade_name~")}}
        << folder
        << QStringList{QStringLiteral("/fda/products.txt, line 1: the header names the column \"trade_name\" twice "
                                      "(columns 1 and 3)")};
    QTest::newRow("vocabulary header naming a column twice")
        << Files{{QStringLiteral("routes.tsv"), QByteArray(routes).replace("\tfda_code\n", "\tname\n")}} << folder
        << QStringList{QStringLiteral("/routes.tsv, line 1: the header names the column \"name\" twice")};
    QTest::newRow("zip holding products.txt in two folders")
        << Files{} << QStringLiteral("twice.zip")
        << QStringList{QStringLiteral("twice.zip: the zip archive holds two files named products.txt, "
                                      "\"2024-10/products.txt\" and \"2024-11/PRODUCTS.TXT\"")};

    // The FDA ends its files right after the last record; one that goes on is cut at a line end.
    QTest::newRow("FDA file of a folder ending with a line end")
        << Files{{QStringLiteral("fda/exclusivity.txt"), exclusivity + "\r\n"}} << folder
        << QStringList{QStringLiteral("/fda/exclusivity.txt, line 4: the file goes on with a line end after this "
                                      "line"),
                       QStringLiteral("cut short at a line end")};

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
    if (fda == QStringLiteral("twice.zip")) {
        writeZip(dir.filePath(fda), dir,
                 {{QStringLiteral("2024-10/products.txt"), QStringLiteral("fda/products.txt")},
                  {QStringLiteral("2024-11/PRODUCTS.TXT"), QStringLiteral("fda/products.txt")},
                  {QStringLiteral("2024-11/patent.txt"), QStringLiteral("fda/patent.txt")}});
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
    QTest::newRow("the listing terms") << folder << QStringLiteral("listing_terms.tsv") << QString() << Links{}
                                       << QStringLiteral("--listing-terms");
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
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    if (previousExists) {
        writeFiles(dir, {{QStringLiteral("data/kvostrel.mdb"), "the previous database"}});
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("data/kvostrel.mdb")), permissions));
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
    // A replaced database keeps its permissions, whatever the umask says.
    if (previousExists) {
        QCOMPARE(QFile::permissions(dir.filePath(target)) & 0x7077, permissions & 0x7077); // owner, group, others
    }
}

void KvostrelImportTest::ignoredSignalsStayIgnoredOthersRemoveTheTemporaryFile_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("ignoredAtStart");

    QTest::newRow("SIGHUP ignored, as under nohup") << int(SIGHUP) << true;
    QTest::newRow("SIGINT ignored, as for a background job") << int(SIGINT) << true;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGPIPE, as when the output's reader goes") << int(SIGPIPE) << false;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << false;
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

void KvostrelImportTest::outputThatIsNoFileIsRefused_data()
{
    QTest::addColumn<QString>("node"); // made at out/node
    QTest::addColumn<Links>("links");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("kind"); // as the message names it

    const QString node = QStringLiteral("out/node");
    const QString fifo = QStringLiteral("fifo"), device = QStringLiteral("device"), folder = QStringLiteral("folder");
    QTest::newRow("FIFO") << fifo << Links{} << node << QStringLiteral("a FIFO");
    QTest::newRow("device node") << device << Links{} << node << QStringLiteral("a device");
    QTest::newRow("folder") << folder << Links{} << node << QStringLiteral("a folder");
    QTest::newRow("link to a FIFO") << fifo << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("node")}}
                                    << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a FIFO");
    QTest::newRow("chain of links to a device node")
        << device
        << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("../data/current")},
                 {QStringLiteral("data/current"), QStringLiteral("../out/node")}}
        << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a device");
    QTest::newRow("link to a folder") << folder << Links{{QStringLiteral("out/kvostrel.mdb"), QStringLiteral("node")}}
                                      << QStringLiteral("out/kvostrel.mdb") << QStringLiteral("a folder");
}

void KvostrelImportTest::outputThatIsNoFileIsRefused()
{
    QFETCH(QString, node);
    QFETCH(Links, links);
    QFETCH(QString, output);
    QFETCH(QString, kind);

    const Workspace work;
    const QDir &dir = work.dir;
    const QByteArray nodePath = QFile::encodeName(dir.filePath(QStringLiteral("out/node")));
    if (node == QStringLiteral("device")) {
        // A scratch node of /dev/null's kind: what a run as root would replace.
        if (geteuid() != 0) {
            QSKIP("making a device node needs root");
        }
        QVERIFY(mknod(nodePath.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
    } else if (node == QStringLiteral("fifo")) {
        QVERIFY(mkfifo(nodePath.constData(), 0600) == 0);
    } else {
        QVERIFY(dir.mkdir(QStringLiteral("out/node")));
    }
    makeLinks(dir, links);
    struct stat before = {};
    QVERIFY(lstat(nodePath.constData(), &before) == 0);

    const Run run = runImport(dir, QStringLiteral("fda"), dir.filePath(output));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(dir.filePath(output)) && run.err.contains(QStringLiteral(": is ") + kind),
             qPrintable(run.err));
    // The node is the same node, and nothing was written beside it.
    struct stat after = {};
    QVERIFY(lstat(nodePath.constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QStringList expected{QStringLiteral("node")};
    if (!links.isEmpty()) {
        expected.prepend(QStringLiteral("kvostrel.mdb"));
    }
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             expected);
}

void KvostrelImportTest::inputThatIsNoFileIsRefusedWithoutReadingIt_data()
{
    QTest::addColumn<QString>("option"); // its value is replaced
    QTest::addColumn<QString>("path"); // made by the test in its folder
    QTest::addColumn<QString>("kind"); // what to make at `path`: fifo, device, folder or large
    QTest::addColumn<QString>("message");

    const QString fifo = QStringLiteral("fifo");
    QTest::newRow("FIFO as a vocabulary") << QStringLiteral("--routes") << QStringLiteral("routes.tsv") << fifo
                                          << QStringLiteral("/routes.tsv: is a FIFO (named pipe), not a file");
    QTest::newRow("FIFO as the zip") << QStringLiteral("--fda") << QStringLiteral("fda.zip") << fifo
                                     << QStringLiteral("/fda.zip: is a FIFO (named pipe), not a zip archive");
    QTest::newRow("FIFO in the folder") << QStringLiteral("--fda") << QStringLiteral("fda/patent.txt") << fifo
                                        << QStringLiteral("/fda/patent.txt: is a FIFO (named pipe), not a file");
    QTest::newRow("FIFO as the exclusivity file of the folder")
        << QStringLiteral("--fda") << QStringLiteral("fda/exclusivity.txt") << fifo
        << QStringLiteral("/fda/exclusivity.txt: is a FIFO (named pipe), not a file");
    QTest::newRow("device without end, as /dev/zero")
        << QStringLiteral("--routes") << QStringLiteral("zero") << QStringLiteral("device")
        << QStringLiteral("/zero: is a device, not a file");
    QTest::newRow("folder as a vocabulary")
        << QStringLiteral("--dosage-forms") << QStringLiteral("dosage_forms.tsv") << QStringLiteral("folder")
        << QStringLiteral("/dosage_forms.tsv: is a folder, not a file");
    QTest::newRow("folder where products.txt belongs")
        << QStringLiteral("--fda") << QStringLiteral("fda/products.txt") << QStringLiteral("folder")
        << QStringLiteral("/fda/products.txt: is a folder, not a file");
    QTest::newRow("file larger than any release")
        << QStringLiteral("--exclusivity-codes") << QStringLiteral("exclusivity_codes.tsv") << QStringLiteral("large")
        << QStringLiteral("/exclusivity_codes.tsv: holds 268435457 bytes, "
                          "more than any FDA release could");
}

void KvostrelImportTest::inputThatIsNoFileIsRefusedWithoutReadingIt()
{
    QFETCH(QString, option);
    QFETCH(QString, path);
    QFETCH(QString, kind);
    QFETCH(QString, message);

    const Workspace work;
    const QDir &dir = work.dir;
    const QString full = dir.filePath(path);
    const QByteArray encoded = QFile::encodeName(full);
    QFile::remove(full);
    if (kind == QStringLiteral("fifo")) {
        QVERIFY(mkfifo(encoded.constData(), 0600) == 0);
    } else if (kind == QStringLiteral("device")) {
        if (geteuid() != 0) {
            QSKIP("making a device node needs root");
        }
        QVERIFY(mknod(encoded.constData(), S_IFCHR | 0666, makedev(1, 5)) == 0);
    } else if (kind == QStringLiteral("folder")) {
        QVERIFY(dir.mkdir(path));
    } else if (kind == QStringLiteral("large")) {
        // Sparse: refused by its size, so no disk space is needed.
        QFile f(full);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize((qint64(256) << 20) + 1));
    }
    const QByteArray previous = "the previous database";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});

    QStringList arguments{QStringLiteral("--fda"),
                          dir.filePath(path == QStringLiteral("fda.zip") ? path : QStringLiteral("fda")),
                          QStringLiteral("--dosage-forms"),
                          dir.filePath(QStringLiteral("dosage_forms.tsv")),
                          QStringLiteral("--routes"),
                          dir.filePath(QStringLiteral("routes.tsv")),
                          QStringLiteral("--exclusivity-codes"),
                          dir.filePath(QStringLiteral("exclusivity_codes.tsv")),
                          QStringLiteral("--output"),
                          work.database};
    if (option != QStringLiteral("--fda")) {
        arguments[arguments.indexOf(option) + 1] = full;
    }
    QProcess process;
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH), arguments);
    // A FIFO without a writer would hold a reader forever; a device without end would
    // fill the memory.
    const bool finished = process.waitForFinished(10000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    QVERIFY2(finished, "the importer waited on its input");
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(fileContent(work.database), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
}

void KvostrelImportTest::nextRunRemovesTheLeftoverOfAKilledImport()
{
    const Workspace work;
    const QDir out(work.dir.filePath(QStringLiteral("out")));
    // Files that are no leftover of this output: another database's, a name of another
    // form, and one an import holds (its lock, as a running import holds its own).
    const QStringList others{QStringLiteral(".other.mdb.tmp-abc123"), QStringLiteral(".kvostrel.mdb.tmp-abc12"),
                             QStringLiteral(".kvostrel.mdb.tmp-held01")};
    for (const QString &name : others) {
        writeFiles(out, {{name, "not a leftover of kvostrel.mdb"}});
    }
    const QByteArray held = QFile::encodeName(out.filePath(QStringLiteral(".kvostrel.mdb.tmp-held01")));
    const Common::FileDescriptor lock(open(held.constData(), O_RDONLY | O_CLOEXEC));
    QVERIFY(lock.get() >= 0 && flock(lock.get(), LOCK_EX | LOCK_NB) == 0);

    QProcess process;
    startImport(process, QDir(fdaDataDir), bundledZip, work.database);
    QVERIFY(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    while (work.outputFiles().size() < others.size() + 1) {
        QVERIFY2(timer.elapsed() < 30000 && !process.waitForFinished(0), "the temporary file never showed");
    }
    QCOMPARE(kill(pid_t(process.processId()), SIGKILL), 0);
    QVERIFY(process.waitForFinished());
    const QStringList left = work.outputFiles();
    QCOMPARE(left.size(), others.size() + 1);
    QVERIFY2(left.filter(QRegularExpression(QStringLiteral("^\\.kvostrel\\.mdb\\.tmp-[A-Za-z0-9]{6}$"))).size() == 2,
             qPrintable(left.join(QLatin1Char(' '))));

    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QStringList expected = others + QStringList{QStringLiteral("kvostrel.mdb")};
    expected.sort();
    QCOMPARE(work.outputFiles(), expected);
}

void KvostrelImportTest::fileCutInsideItsLastRecordIsRefused()
{
    Workspace work;
    const QDir &dir = work.dir;
    const QByteArray previous = "the previous database";
    writeFiles(dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    const ImportOptions options{dir.filePath(QStringLiteral("fda")).toStdString(),
                                dir.filePath(QStringLiteral("dosage_forms.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("routes.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("listing_terms.tsv")).toStdString(),
                                dir.filePath(QStringLiteral("exclusivity_codes.tsv")).toStdString(),
                                {},
                                work.database.toStdString(),
                                {},
                                {},
                                {}};
    int refused = 0;
    for (auto file = goodInput.begin(); file != goodInput.end(); ++file) {
        const QByteArray &whole = file.value();
        const bool fda = file.key().startsWith(QStringLiteral("fda/"));
        const qsizetype lastLine = whole.lastIndexOf('\n', whole.size() - 2) + 1;
        // The cuts every form of file tells from a whole one: an FDA file (which ends
        // right after its last record) cut at the line end before that record or
        // anywhere before its last field, and inside that field where it holds a date
        // (patent.txt and exclusivity.txt here); a vocabulary (which ends with a line
        // end) cut anywhere in its last line before the line end. A cut inside a last
        // field of free text, or right before a date that may be missing (patent.txt's
        // Submission_Date), leaves a record whole in form; only a zip's checksum tells that.
        const qsizetype lastTilde = whole.lastIndexOf('~');
        const bool endsInDate = fda && !file.key().endsWith(QStringLiteral("products.txt"));
        const qsizetype first = fda ? lastLine - (whole.at(lastLine - 2) == '\r' ? 1 : 0) : lastLine + 1;
        const qsizetype last
            = fda ? (endsInDate ? whole.size() - 1 : lastTilde) : whole.size() - (whole.endsWith("\r\n") ? 2 : 1);
        QVERIFY(first < last);
        for (qsizetype cut = first; cut <= last; ++cut) {
            if (cut == lastTilde + 1 && file.key().endsWith(QStringLiteral("patent.txt"))) {
                continue;
            }
            const QByteArray part = whole.left(cut);
            writeFiles(dir, {{file.key(), part}});
            QByteArray content = part;
            while (content.endsWith('\n') || content.endsWith('\r')) {
                content.chop(1);
            }
            const QString where
                = QStringLiteral("%1, line %2: ").arg(dir.filePath(file.key())).arg(content.count('\n') + 1);
            try {
                importKvostrel(options);
                QFAIL(qPrintable(QStringLiteral("%1 cut after %2 of %3 bytes was taken whole")
                                     .arg(file.key())
                                     .arg(cut)
                                     .arg(whole.size())));
            } catch (const ImportError &error) {
                const QString message = QString::fromStdString(error.what());
                QVERIFY2(message.startsWith(where) && message.contains(QStringLiteral("cut short")),
                         qPrintable(QStringLiteral("cut after %1: %2").arg(cut).arg(message)));
            }
            QCOMPARE(fileContent(work.database), previous);
            ++refused;
        }
        writeFiles(dir, {{file.key(), whole}});
    }
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
    QVERIFY(refused > 200);
    // The whole files still make a database.
    QCOMPARE(importKvostrel(options).front().rows, 3L);
}

void KvostrelImportTest::optionGivenTwiceIsRefused_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("message");
    QTest::newRow("same value") << QStringList{QStringLiteral("--routes"), QStringLiteral("routes.tsv")}
                                << QStringLiteral("--routes is given twice");
    QTest::newRow("another output, written with =")
        << QStringList{QStringLiteral("--output=elsewhere.mdb")} << QStringLiteral("--output is given twice, as \"");
}

void KvostrelImportTest::optionGivenTwiceIsRefused()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, message);
    const Workspace work;
    const QByteArray previous = "the previous database";
    writeFiles(work.dir, {{QStringLiteral("out/kvostrel.mdb"), previous}});
    QProcess process;
    process.setWorkingDirectory(work.dir.path());
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                  QStringList{QStringLiteral("--fda"), QStringLiteral("fda"), QStringLiteral("--dosage-forms"),
                              QStringLiteral("dosage_forms.tsv"), QStringLiteral("--routes"),
                              QStringLiteral("routes.tsv"), QStringLiteral("--output"),
                              QStringLiteral("out/kvostrel.mdb")}
                      + extra);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(fileContent(work.database), previous);
    QCOMPARE(work.outputFiles(), QStringList{QStringLiteral("kvostrel.mdb")});
    QVERIFY(!QFile::exists(work.dir.filePath(QStringLiteral("elsewhere.mdb"))));
}

void KvostrelImportTest::eachFieldIsReadAsUtf8WhereValidElseAsWindows1252_data()
{
    QTest::addColumn<QByteArray>("records"); // trade name and applicant, one record per line
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("warning"); // empty: none

    QTest::newRow("UTF-8 only") << QByteArray("CAF\xC3\x89~M\xC3\xBCLLER") << QStringList{QStringLiteral("CAFÉ|MüLLER")}
                                << QString();
    QTest::newRow("Latin-1 on a later line")
        << QByteArray("CAF\xC3\x89~ACME\r\nTABLET~M\xFCLLER\r\nPILL~\xC3\x89TOILE")
        << QStringList{QStringLiteral("CAFÉ|ACME"), QStringLiteral("TABLET|MüLLER"), QStringLiteral("PILL|ÉTOILE")}
        << QStringLiteral("products.txt, line 3: text that is not UTF-8, read as Windows-1252");
    QTest::newRow("both in one line, Windows-1252 quotes")
        << QByteArray("\x93"
                      "CAF\xC9\x94~CAF\xC3\x89")
        << QStringList{QStringLiteral("\u201CCAFÉ\u201D|CAFÉ")}
        << QStringLiteral("products.txt, line 2: text that is not UTF-8");
    QTest::newRow("a UTF-8 sequence cut in the middle")
        << QByteArray("CAF\xC3~ACME") << QStringList{QStringLiteral("CAFÃ|ACME")}
        << QStringLiteral("products.txt, line 2: text that is not UTF-8");
}

void KvostrelImportTest::eachFieldIsReadAsUtf8WhereValidElseAsWindows1252()
{
    QFETCH(QByteArray, records);
    QFETCH(QStringList, stored);
    QFETCH(QString, warning);

    const Workspace work;
    QByteArray file = "Trade_Name~Applicant_Full_Name~Ingredient~DF;Route~Strength~Appl_No~Product_No~TE_Code~"
                      "Approval_Date~RLD~Type";
    for (const QByteArray &line : records.split('\n')) {
        file += "\r\n" + line.chopped(line.endsWith('\r') ? 1 : 0) + "~A~TABLET;ORAL~1MG~000001~001~~~No~RX";
    }
    writeFiles(work.dir, {{QStringLiteral("fda/products.txt"), file}});
    const Run run = runImport(work.dir, QStringLiteral("fda"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT [trade name], [Applicant Full Name] FROM products ORDER BY ID"))
                 .mid(1),
             stored);
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("not UTF-8"));
    QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty()) {
        QVERIFY2(warnings[0].startsWith(QStringLiteral("kvostrel-import: warning: ")
                                        + work.dir.filePath(QStringLiteral("fda/")) + warning),
                 qPrintable(run.err));
    }
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
    // The vocabularies' 157 and 112 terms, then 44 and 46 other values of products.
    QCOMPARE(counts.value(1), QStringLiteral("45752|19705|201|158"));
    // The release the data is: the FDA wrote products.txt of this one on 8 November 2024.
    QCOMPARE(rows(db, QStringLiteral("SELECT [Release Date] FROM [release]")).mid(1),
             QStringList{QStringLiteral("Nov 8, 2024")});
    QVERIFY2(!run.err.contains(QStringLiteral("warning")), qPrintable(run.err));
    // The first line of products.txt, and a trade name the FDA writes in quotes.
    QCOMPARE(rows(db, QStringLiteral("SELECT * FROM products WHERE ID IN (1, 3743)")).mid(1),
             (QStringList{
                 QStringLiteral("1|BUDESONIDE|BUDESONIDE|2MG/ACTUATION|AEROSOL, FOAM|RECTAL|RX|PADAGIS ISRAEL "
                                "PHARMACEUTICALS LTD|AB|001|215328|No|Apr 12, 2023|A|PADAGIS ISRAEL|Yes|<null>"),
                 QStringLiteral("3743|HY-PAM \"25\"|HYDROXYZINE PAMOATE|EQ 25MG HYDROCHLORIDE|CAPSULE|ORAL|DISCN|"
                                "TEVA PHARMACEUTICALS USA INC|<null>|001|088713|No|Mar 4, 1985|A|TEVA|No|<null>")}));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM products WHERE [Therapeutic Equivalence (TE) Code] IS NULL"))
                 .value(1),
             QStringLiteral("25017"));
    // products.txt line 481 pads its strength with a tab, which is dropped.
    QCOMPARE(rows(db, QStringLiteral("SELECT Strength FROM products WHERE ID = 480")).value(1),
             QStringLiteral("EQ 20MG BASE"));
}

void KvostrelImportTest::bundledReleaseGivesEveryProductValueItsOwnVocabularyRow()
{
    QTemporaryDir tmp;
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const Run run = runImport(QDir(fdaDataDir), bundledZip, db);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QList<QStringList> listing = bundledTsv(QStringLiteral("listing_terms.tsv"));

    const struct
    {
        QString kind, table, column, file;
        int values;
        QStringList withoutDefinition; // the vocabulary itself has none for these
    } vocabularies[] = {{QStringLiteral("dosage form"),
                         QStringLiteral("dosage form"),
                         QStringLiteral("Dosage Form"),
                         QStringLiteral("dosage_forms.tsv"),
                         118,
                         {QStringLiteral("SYSTEM")}},
                        {QStringLiteral("route"),
                         QStringLiteral("route of administration"),
                         QStringLiteral("Route of Administration"),
                         QStringLiteral("routes.tsv"),
                         80,
                         {}}};
    for (const auto &v : vocabularies) {
        const QList<QStringList> terms = bundledTsv(v.file);
        QMap<QString, QStringList> term; // upper-case name -> name, definition, ..., nci_concept_id
        for (const QStringList &t : terms) {
            term.insert(t[0].toUpper(), t);
        }
        QMap<QString, QStringList> row; // upper-case name -> ID, name, DEFINITION, ..., NCI CONCEPT ID
        const QStringList table = rows(db, QStringLiteral("SELECT * FROM [%1] ORDER BY ID").arg(v.table)).mid(1);
        for (const QString &line : table) {
            const QStringList fields = line.split(QLatin1Char('|'));
            QVERIFY2(!row.contains(fields[1].toUpper()), qPrintable(v.table + QStringLiteral(": two rows ") + line));
            row.insert(fields[1].toUpper(), fields);
            // The vocabulary's own terms keep their IDs, 1..n in file order.
            if (fields[0].toInt() <= terms.size()) {
                QCOMPARE(fields[1], terms[fields[0].toInt() - 1][0]);
            }
        }

        // Every value of products has its own row, with a definition.
        const QStringList values
            = rows(db, QStringLiteral("SELECT DISTINCT [%1] FROM products WHERE [%1] IS NOT NULL").arg(v.column))
                  .mid(1);
        QCOMPARE(values.size(), v.values);
        QStringList withoutDefinition;
        for (const QString &value : values) {
            QVERIFY2(row.contains(value.toUpper()), qPrintable(v.table + QStringLiteral(": no row ") + value));
            if (row[value.toUpper()][2] == QStringLiteral("<null>")) {
                withoutDefinition << value;
            }
        }
        QCOMPARE(withoutDefinition, v.withoutDefinition);

        // A row that stands for terms gives each term's definition, and their codes.
        const auto checkTerms = [&](const QStringList &fields, QStringList names) {
            names.removeDuplicates();
            QStringList codes, concepts;
            for (const QString &name : names) {
                QVERIFY2(term.contains(name.toUpper()), qPrintable(fields[1] + QStringLiteral(": no term ") + name));
                const QStringList &t = term[name.toUpper()];
                QVERIFY2(t[1].isEmpty() || fields[2].contains(t[0] + QStringLiteral(": ") + t[1]),
                         qPrintable(fields[2]));
                codes << t[4];
                concepts << t[5];
            }
            codes.removeAll(QString());
            concepts.removeAll(QString());
            const auto orNull = [](const QString &text) { return text.isEmpty() ? QStringLiteral("<null>") : text; };
            QCOMPARE(
                fields.mid(5),
                (QStringList{orNull(codes.join(QStringLiteral("; "))), orNull(concepts.join(QStringLiteral("; ")))}));
        };
        // Each listing spelling: its row, or where products use it only in a list, the
        // list's row naming it.
        QSet<QString> spellings;
        for (const QStringList &line : listing) {
            if (line[0] != v.kind) {
                continue;
            }
            spellings << line[1].toUpper();
            QStringList names = line[2].split(QLatin1Char(';'));
            for (QString &name : names) {
                name = name.trimmed();
            }
            if (row.contains(line[1].toUpper())) {
                const QStringList &fields = row[line[1].toUpper()];
                QVERIFY2(fields[2].startsWith(QStringLiteral("The FDA product list's wording for ")
                                              + names.join(QStringLiteral(" + ")) + QLatin1Char('.')),
                         qPrintable(fields[2]));
                checkTerms(fields, names);
            } else {
                QVERIFY2(!table.filter(line[1] + QStringLiteral(" = ") + names.join(QStringLiteral(" + "))).isEmpty(),
                         qPrintable(QStringLiteral("no product uses ") + line[1]));
            }
        }
        // Every other added row lists its parts: their names joined make its name.
        for (const QStringList &fields : std::as_const(row)) {
            if (fields[0].toInt() <= terms.size() || spellings.contains(fields[1].toUpper())) {
                continue;
            }
            const QString prefix = QStringLiteral("Several %1s: ").arg(v.kind);
            QVERIFY2(fields[2].startsWith(prefix), qPrintable(fields[2]));
            QStringList names, termNames;
            for (const QString &part :
                 fields[2].mid(prefix.size()).section(QLatin1Char('.'), 0, 0).split(QStringLiteral("; "))) {
                names << part.section(QStringLiteral(" = "), 0, 0);
                termNames << (part.contains(QStringLiteral(" = "))
                                  ? part.section(QStringLiteral(" = "), 1).split(QStringLiteral(" + "))
                                  : QStringList{part});
            }
            QCOMPARE(names.join(QStringLiteral(", ")).toUpper(), fields[1].toUpper());
            checkTerms(fields, termNames);
        }
    }
}

void KvostrelImportTest::exclusivityRecordsKeepTheirTextAndMeaning_data()
{
    QTest::addColumn<QString>("fda"); // the release, in fdaDir
    QTest::addColumn<bool>("bundled");
    QTest::addRow("hand-made folder") << QStringLiteral("fda") << false;
    QTest::addRow("bundled zip") << bundledZip << true;
}

void KvostrelImportTest::exclusivityRecordsKeepTheirTextAndMeaning()
{
    QFETCH(QString, fda);
    QFETCH(bool, bundled);
    const Workspace work;
    const QDir dir = bundled ? QDir(fdaDataDir) : work.dir;
    const Run run = runImport(dir, fda, work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(!run.err.contains(QStringLiteral("exclusivity")), qPrintable(run.err));

    // As many records as the file has lines after its header, in file order.
    QByteArray file = exclusivity;
    if (bundled) {
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(dir.filePath(fda)).constData(), ZIP_RDONLY, &error);
        QVERIFY(archive);
        zip_stat_t stat;
        QCOMPARE(zip_stat(archive, "exclusivity.txt", 0, &stat), 0);
        file.resize(qsizetype(stat.size));
        zip_file_t *member = zip_fopen(archive, "exclusivity.txt", 0);
        QCOMPARE(zip_fread(member, file.data(), stat.size), zip_int64_t(stat.size));
        zip_fclose(member);
        zip_discard(archive);
    }
    const QList<QByteArray> lines = file.trimmed().split('\n');
    const QStringList all = rows(work.database, QStringLiteral("SELECT * FROM exclusivity ORDER BY ID"));
    QCOMPARE(all.value(0),
             QStringLiteral("ID|Exclusivity Code|Exclusivity Date|New Drug Application (NDA) "
                            "Number|Product Number|Application Type"));
    QCOMPARE(all.size(), lines.size());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].trimmed().split('~');
        QCOMPARE(all[i],
                 QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(i)
                     .arg(QString::fromLatin1(f[3]), QString::fromLatin1(f[4]), QString::fromLatin1(f[1]),
                          QString::fromLatin1(f[2]), QString::fromLatin1(f[0])));
    }

    // Each record's code family and its meaning, as the exclusivity window reads them.
    const QString meanings = QStringLiteral(
        "SELECT e.[Exclusivity Code], c.[Meaning] FROM exclusivity e LEFT JOIN [exclusivity code] c ON c.[Code] = "
        "CASE WHEN instr(e.[Exclusivity Code],'-') > 0 THEN substr(e.[Exclusivity Code],1,instr(e.[Exclusivity "
        "Code],'-')) || 'nnn' ELSE e.[Exclusivity Code] END ORDER BY e.ID");
    const QStringList meaning = rows(work.database, meanings);
    if (!bundled) {
        QCOMPARE(meaning.mid(1),
                 (QStringList{QStringLiteral("ODE*|Orphan, with a note."), QStringLiteral("I-901|New indication."),
                              QStringLiteral("ZZ|<null>")}));
        return;
    }
    // Every code of the bundled release belongs to a family the vocabulary explains,
    // star codes included.
    QCOMPARE(meaning.filter(QStringLiteral("|<null>")), QStringList());
    QCOMPARE(meaning.filter(QRegularExpression(QStringLiteral("^NCE\\*\\|New chemical entity"))).size(), 1);
    QCOMPARE(rows(work.database, QStringLiteral("SELECT * FROM exclusivity WHERE [Exclusivity Code] = 'ncE*'")).size(),
             2);
}

void KvostrelImportTest::releaseWithoutExclusivityGivesAnEmptyTableAndOneWarning()
{
    const Workspace work;
    const QDir &dir = work.dir;
    writeZip(dir.filePath(QStringLiteral("old.zip")), dir,
             {{QStringLiteral("products.txt"), QStringLiteral("fda/products.txt")},
              {QStringLiteral("patent.txt"), QStringLiteral("fda/patent.txt")}});
    const Run run = runImport(dir, QStringLiteral("old.zip"), work.database);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM exclusivity")).value(1), QStringLiteral("0"));
    QCOMPARE(rows(work.database, QStringLiteral("SELECT count(*) FROM products")).value(1), QStringLiteral("3"));
    const QStringList warnings = run.err.split(QLatin1Char('\n')).filter(QStringLiteral("exclusivity"));
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains(QStringLiteral("warning: "))
                 && warnings[0].contains(QStringLiteral("old.zip holds "
                                                        "no exclusivity.txt")),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(KvostrelImportTest)
#include "tst_kvostrel_import.moc"

namespace {

Run runImporter(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH), arguments);
    process.waitForFinished(120000);
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Rows of every table a complete database fills, in one line.
QString tableCounts(const QString &db)
{
    return rows(
               db,
               QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(*) FROM patent),"
                              " (SELECT count(*) FROM exclusivity), (SELECT count(*) FROM [exclusivity code]),"
                              " (SELECT count(*) FROM [dosage form]), (SELECT count(*) FROM [route of administration]),"
                              " (SELECT count(*) FROM [dosage form] WHERE DEFINITION IS NOT NULL)"))
        .value(1);
}

} // namespace

void KvostrelImportTest::referenceFilesAreFoundWithoutOptions()
{
    // The zip and the output alone make the same database as every file named.
    QTemporaryDir tmp;
    const QString named = QDir(tmp.path()).filePath(QStringLiteral("named.mdb"));
    const QString found = QDir(tmp.path()).filePath(QStringLiteral("found.mdb"));
    const Run full = runImport(QDir(fdaDataDir), bundledZip, named);
    QVERIFY2(full.exitCode == 0, qPrintable(full.err));
    const Run bare = runImporter(
        {QStringLiteral("--fda"), QDir(fdaDataDir).filePath(bundledZip), QStringLiteral("--output"), found});
    QVERIFY2(bare.exitCode == 0, qPrintable(bare.err));
    QVERIFY2(!bare.err.contains(QStringLiteral("warning")), qPrintable(bare.err));
    QCOMPARE(tableCounts(found), tableCounts(named));
    QVERIFY2(!tableCounts(found).contains(QStringLiteral("|0|")), qPrintable(tableCounts(found)));
    QCOMPARE(rows(found, QStringLiteral("SELECT * FROM [exclusivity code] ORDER BY 1")),
             rows(named, QStringLiteral("SELECT * FROM [exclusivity code] ORDER BY 1")));
}

void KvostrelImportTest::tableThePreviousFileFilledIsNotLeftEmpty_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("codeRows"); // in the output afterwards

    QTest::newRow("codes left out") << QStringList{QStringLiteral("--exclusivity-codes=")} << 1
                                    << QStringLiteral("the table \"exclusivity code\" would be left empty")
                                    << QStringLiteral("20");
    QTest::newRow("codes left out, allowed")
        << QStringList{QStringLiteral("--exclusivity-codes="), QStringLiteral("--allow-empty"),
                       QStringLiteral("exclusivity code")}
        << 0 << QString() << QStringLiteral("0");
    QTest::newRow("another table allowed")
        << QStringList{QStringLiteral("--exclusivity-codes="), QStringLiteral("--allow-empty=exclusivity")} << 1
        << QStringLiteral("give --allow-empty \"exclusivity code\"") << QStringLiteral("20");
    QTest::newRow("every table filled") << QStringList{} << 0 << QString() << QStringLiteral("20");
}

void KvostrelImportTest::tableThePreviousFileFilledIsNotLeftEmpty()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, codeRows);
    QTemporaryDir tmp;
    const QString db = QDir(tmp.path()).filePath(QStringLiteral("kvostrel.mdb"));
    const QString zip = QDir(fdaDataDir).filePath(bundledZip);
    const Run first = runImporter({QStringLiteral("--fda"), zip, QStringLiteral("--output"), db});
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM [exclusivity code]")).value(1), QStringLiteral("20"));
    const QByteArray before = fileContent(db);

    const Run again = runImporter(QStringList{QStringLiteral("--fda"), zip, QStringLiteral("--output"), db} + options);
    QCOMPARE(again.exitCode, exitCode);
    QVERIFY2(again.err.contains(message), qPrintable(again.err));
    QCOMPARE(rows(db, QStringLiteral("SELECT count(*) FROM [exclusivity code]")).value(1), codeRows);
    if (exitCode != 0) {
        QVERIFY(fileContent(db) == before);
        QVERIFY2(again.err.contains(QStringLiteral("was left as it was")), qPrintable(again.err));
    }
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kvostrel.mdb")});
}
