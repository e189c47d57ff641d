#pragma once

// kvostrel-import run as a program on hand-made and bundled input: the input, the
// importer's runs and the database they leave, shared by the tests of its files and
// those of what it stores.

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

namespace KvostrelImportFixture {

inline const QString fdaDataDir = QStringLiteral(FDA_DATA_DIR);

// Hand-made input as the FDA publishes it: tilde-separated, CR LF, no line end after
// the last line, Latin-1 (0xE9 is "é"). Columns in another order than the FDA's, one extra.
inline const QByteArray products
    = "Trade_Name~Appl_No~Extra~Ingredient~DF;Route~Strength~Product_No~TE_Code~Approval_Date~RLD~Type~"
      "Applicant_Full_Name\r\n"
      "caf\xe9 tablet~012345~x~ASPIRIN~TABLET;ORAL~325MG~001~AB~Jan 2, 2020~Yes~RX~ACME LABS\r\n"
      "\"PAM \"\"25\"\"\"~000002~~IBUPROFEN; FAMOTIDINE~INJECTABLE;INTRAVENOUS;SUBCUTANEOUS~~002~~"
      "Approved Prior to Jan 1, 1982~No~DISCN~\r\n"
      "Bayer~000003~~ASPIRIN~CRYSTAL, MAGIC~81MG~003~~~~OTC~BAYER";
inline const QByteArray patents = "Appl_Type~Appl_No~Product_No~Patent_No~Patent_Expire_Date_Text~Drug_Substance_Flag~"
                                  "Drug_Product_Flag~Patent_Use_Code~Delist_Flag~Submission_Date\n"
                                  "N~012345~001~7625884~Aug 24, 2026~~~U-141~~\n"
                                  "N~000002~002~RE41234~Feb 1, 2027~Y~Y~~Y~Mar 3, 2003";
// UTF-8 with a byte-order mark and CR LF, as a spreadsheet saves it.
inline const QByteArray dosageForms
    = "\xEF\xBB\xBFname\tdefinition\tuse_restrictions\tshort_name\tfda_code\tnci_concept_id\r\n"
      "TABLET\tA solid dosage form.\t\tTAB\t500\tC42998\r\n"
      "EXTRA\xE2\x80\x91"
      "AMNIOTIC FOAM\t\t\t\t\tC00001\r\n";
inline const QByteArray routes = "nci_concept_id\tname\tdefinition\tuse_restrictions\tshort_name\tfda_code\n"
                                 "C38288\tORAL\tBy mouth.\t\tORAL\t1\n";

// One star code, a numbered code of a known family, a code of no known family.
inline const QByteArray exclusivity = "Appl_Type~Appl_No~Product_No~Exclusivity_Code~Exclusivity_Date\r\n"
                                      "N~012345~001~ODE*~Sep 5, 2024\r\n"
                                      "N~012345~001~I-901~Jan 2, 2027\r\n"
                                      "A~000002~002~ZZ~Feb 1, 2026";
inline const QByteArray exclusivityCodes = "code\tmeaning\n"
                                           "ODE*\tOrphan, with a note.\n"
                                           "I-nnn\tNew indication.\n";

// The product list's spellings: INJECTABLE stands for two terms, named in another letter case.
inline const QByteArray listingTerms = "kind\tlisting_value\tterms\tnote\n"
                                       "dosage form\tInjectable\ttablet; EXTRA\xE2\x80\x91"
                                       "AMNIOTIC FOAM\ttwo terms\n"
                                       "Route\tPER OS\toral\tunused\n";

using Files = QMap<QString, QByteArray>; // path under the test folder -> content (null: no such file)

inline void writeFiles(const QDir &dir, const Files &files)
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

inline const Files goodInput{
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
inline void writeZip(const QString &zipPath, const QDir &dir, const QMap<QString, QString> &entries)
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

inline void startImport(QProcess &process, const QDir &dir, const QString &fda, const QString &output,
                        const QString &dosageFormsFile = QStringLiteral("dosage_forms.tsv"))
{
    process.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                  {QStringLiteral("--fda"), dir.filePath(fda), QStringLiteral("--dosage-forms"),
                   dir.filePath(dosageFormsFile), QStringLiteral("--routes"),
                   dir.filePath(QStringLiteral("routes.tsv")), QStringLiteral("--listing-terms"),
                   dir.filePath(QStringLiteral("listing_terms.tsv")), QStringLiteral("--exclusivity-codes"),
                   dir.filePath(QStringLiteral("exclusivity_codes.tsv")), QStringLiteral("--output"), output});
}

inline Run runImport(const QDir &dir, const QString &fda, const QString &output,
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
inline QStringList rows(const QString &dbPath, const QString &sql)
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

inline QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file under `dir` (links as "-> target"), hidden ones included: a failed run must
// leave this as it was.
inline Files snapshot(const QDir &dir)
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

inline void makeLinks(const QDir &dir, const Links &links)
{
    for (auto it = links.begin(); it != links.end(); ++it) {
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(it.key())).absolutePath()));
        const QByteArray path = QFile::encodeName(dir.filePath(it.key()));
        QVERIFY2(symlink(QFile::encodeName(it.value()).constData(), path.constData()) == 0, path.constData());
    }
}

inline const QString bundledZip = QStringLiteral("fda-approved-drug-products-2024-11.zip");

// A tab-separated file of the bundled data, without its header line, split into fields.
inline QList<QStringList> bundledTsv(const QString &name)
{
    QList<QStringList> lines;
    const QString text = QString::fromUtf8(fileContent(QDir(fdaDataDir).filePath(name)));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1)) {
        lines << line.split(QLatin1Char('\t'));
    }
    return lines;
}

} // namespace KvostrelImportFixture

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

namespace KvostrelImportFixture {

inline Run runImporter(const QStringList &arguments)
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
inline QString tableCounts(const QString &db)
{
    return rows(
               db,
               QStringLiteral("SELECT (SELECT count(*) FROM products), (SELECT count(*) FROM patent),"
                              " (SELECT count(*) FROM exclusivity), (SELECT count(*) FROM [exclusivity code]),"
                              " (SELECT count(*) FROM [dosage form]), (SELECT count(*) FROM [route of administration]),"
                              " (SELECT count(*) FROM [dosage form] WHERE DEFINITION IS NOT NULL)"))
        .value(1);
}

} // namespace KvostrelImportFixture
