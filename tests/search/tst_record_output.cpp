// What the program writes on the user's word: the exported hit list (CSV) and the record
// printed into a PDF file. Either file appears whole or not at all, a failed write is
// named, and a cell cannot turn into a spreadsheet formula.

#include "NoWindows.h"
#include "SmallFileSystem.h"
#include "CsvFile.h"
#include "data/Database.h"
#include "search/RecordExport.h"
#include "search/RecordPrinting.h"
#include "search/frmDrugs.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Search;
using WindowTest::NoWindows;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString RecordHtml
    = QStringLiteral("<h2>LIPITOR</h2><table><tr><td><b>Strength</b></td><td>EQ 10MG BASE</td></tr>"
                     "<tr><td><b>Applicant</b></td><td>VIATRIS</td></tr></table>");

} // namespace

class RecordOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void formulaCellsAreWrittenAsText_data();
    void formulaCellsAreWrittenAsText();
    void wholeDrugListReadsBackAsWritten();
    void failedWriteIsNamedAndLeavesNoFile_data();
    void failedWriteIsNamedAndLeavesNoFile();

private:
    // Writes the record or a list (`format` "pdf" or "csv"; the list of every product, or
    // of a few) to `path`: why it failed, or empty.
    QString write(const QString &format, const QString &path, bool everyProduct) const;

    NoWindows m_host;
    ExportTable m_everyProduct;
};

void RecordOutputTest::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(KVOSTREL_DB_PATH)), "the build makes kvostrel.mdb before the tests");
    QVERIFY2(printingAvailable(), "the print module is built beside the tests");
    Db::Connection::shared().open(QStringLiteral(KVOSTREL_DB_PATH));
    frmDrugs drugs(&m_host);
    drugs.txtSearch()->clear();
    drugs.cmdSearch()->click(); // every product
    m_everyProduct = exportTable(drugs);
    QVERIFY(m_everyProduct.rows.size() > 40000);
}

void RecordOutputTest::cleanupTestCase()
{
    Db::Connection::releaseShared();
}

QString RecordOutputTest::write(const QString &format, const QString &path, bool everyProduct) const
{
    if (format == QLatin1String("csv")) {
        return writeCsv(
            path, everyProduct ? m_everyProduct : ExportTable{m_everyProduct.header, {m_everyProduct.rows.first()}});
    }
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return printHtmlOn(printer, RecordHtml);
}

void RecordOutputTest::formulaCellsAreWrittenAsText_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("equals") << QStringLiteral("=HYPERLINK(\"http://x.test\",\"open\")")
                            << QByteArray("\"'=HYPERLINK(\"\"http://x.test\"\",\"\"open\"\")\"");
    QTest::newRow("plus") << QStringLiteral("+1") << QByteArray("'+1");
    QTest::newRow("minus") << QStringLiteral("-2+3") << QByteArray("'-2+3");
    QTest::newRow("at") << QStringLiteral("@SUM(A1:A9)") << QByteArray("'@SUM(A1:A9)");
    QTest::newRow("tab") << QStringLiteral("\t=1") << QByteArray("'\t=1");
    QTest::newRow("carriage return") << QStringLiteral("\r=1") << QByteArray("\"'\r=1\"");
    // Only the first character counts.
    QTest::newRow("inside") << QStringLiteral("A=B-C") << QByteArray("A=B-C");
    QTest::newRow("after a blank") << QStringLiteral(" =1") << QByteArray(" =1");
    QTest::newRow("apostrophe") << QStringLiteral("'=1") << QByteArray("'=1");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("comma") << QStringLiteral("10MG,20MG") << QByteArray("\"10MG,20MG\"");
}

void RecordOutputTest::formulaCellsAreWrittenAsText()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    QCOMPARE(writeCsv(path, {{cell}, {{QStringLiteral("x"), cell}}}), QString());
    QCOMPARE(contents(path), written + "\r\nx," + written + "\r\n");
}

// Every product of the real data, written and read back by another reader: no real value
// begins like a formula, so the apostrophe changes none of them.
void RecordOutputTest::wholeDrugListReadsBackAsWritten()
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        QSKIP("python3 is not installed (scripts/install-deps.sh installs it)");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drugs.csv"));
    QCOMPARE(writeCsv(path, m_everyProduct), QString());
    QCOMPARE(readCsv(path), QVector<QStringList>{m_everyProduct.header} + m_everyProduct.rows);
}

void RecordOutputTest::failedWriteIsNamedAndLeavesNoFile_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("why");
    for (const QString &format : {QStringLiteral("csv"), QStringLiteral("pdf")}) {
        const auto row = [&](const char *place, const char *why) {
            QTest::addRow("%s, %s", qPrintable(format), place)
                << format << QString::fromLatin1(place) << QString::fromLatin1(why);
        };
        row("room", "");
        if (format == QLatin1String("csv")) {
            row("small disk", "No space left on device"); // the whole list is larger than the disk
        }
        row("full disk", "No space left on device");
        row("full disk, earlier file", "No space left on device");
        row("folder gone", "No such file or directory");
        row("a folder", "it is a folder");
        row("a pipe", "it is a device or a pipe, not a file");
        row("link to a pipe", "it is a device or a pipe, not a file");
    }
}

void RecordOutputTest::failedWriteIsNamedAndLeavesNoFile()
{
    QFETCH(QString, format);
    QFETCH(QString, place);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QString folder = dir.path();
    std::unique_ptr<SmallFileSystem> small;
    if (place.contains(QLatin1String("disk"))) {
        small = std::make_unique<SmallFileSystem>();
        if (!small->isMounted()) {
            QSKIP(qPrintable(small->why()));
        }
        folder = small->path();
    }
    QString path = QDir(folder).filePath(QStringLiteral("out.") + format);
    const QByteArray earlier = "the file the user had before\n";
    if (place == QLatin1String("full disk, earlier file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    } else if (place == QLatin1String("folder gone")) {
        path = QDir(folder).filePath(QStringLiteral("gone/out.") + format);
    } else if (place == QLatin1String("a folder")) {
        QVERIFY(QDir(folder).mkdir(QFileInfo(path).fileName()));
    } else if (place.contains(QLatin1String("pipe"))) {
        const QString pipe = QDir(folder).filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        path = place == QLatin1String("a pipe") ? pipe : path;
        QVERIFY(place == QLatin1String("a pipe") || QFile::link(pipe, path));
    }
    if (place.contains(QLatin1String("full"))) {
        QVERIFY(small->fill());
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);

    const QString failure = write(format, path, place == QLatin1String("room") || place == QLatin1String("small disk"));

    QVERIFY2(failure.contains(why), qPrintable(failure));
    if (why.isEmpty()) {
        const QByteArray written = contents(path);
        QVERIFY(format == QLatin1String("csv") ? written.endsWith("\r\n") && written.size() > 5'000'000
                                               : written.startsWith("%PDF-") && written.trimmed().endsWith("%%EOF"));
        return;
    }
    if (format == QLatin1String("pdf")) {
        QVERIFY2(failure.startsWith(QStringLiteral("The record could not be written to ") + path), qPrintable(failure));
    }
    // Nothing new, nothing half-written, nothing replaced.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
    if (place == QLatin1String("full disk, earlier file")) {
        QCOMPARE(contents(path), earlier);
    } else if (place == QLatin1String("a folder")) {
        QVERIFY(QFileInfo(path).isDir());
    } else if (place.contains(QLatin1String("pipe"))) {
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
    } else {
        QVERIFY(!QFileInfo::exists(path));
    }
}

QTEST_MAIN(RecordOutputTest)
#include "tst_record_output.moc"
