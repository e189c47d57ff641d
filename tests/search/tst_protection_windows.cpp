// Listed protection as the user meets it: the drug window's row, the timeline its double
// click opens and where its lines lead, the report's ranges (against the independent
// reading of the FDA's files) and where its lines lead, and its CSV export.
#include "MainWindowFixture.h"
#include "app/frmMainForm.h"
#include "data/Protection.h"
#include "search/Navigation.h"
#include "search/ProtectionTimeline.h"
#include "search/RecordExport.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "search/frmPatent.h"
#include "search/frmProtectionReport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTreeWidget>

#include <functional>

using namespace Db;
using namespace Search;
using namespace App;
using namespace WindowTest;
using namespace MainWindowTest;

namespace {

// Every line, each followed by the lines under it (an extension of an extension too).
QList<QTreeWidgetItem *> allLines(const QTreeWidget *list)
{
    QList<QTreeWidgetItem *> lines;
    const std::function<void(QTreeWidgetItem *)> add = [&](QTreeWidgetItem *line) {
        lines << line;
        for (int k = 0; k < line->childCount(); ++k) {
            add(line->child(k));
        }
    };
    for (int t = 0; t < list->topLevelItemCount(); ++t) {
        add(list->topLevelItem(t));
    }
    return lines;
}

} // namespace

class ProtectionWindowsTest : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void drugRowReadsTheProductsProtection_data();
    void drugRowReadsTheProductsProtection();
    void timelineListsRowsInDateOrderAndLeadsToTheirRecords_data();
    void timelineListsRowsInDateOrderAndLeadsToTheirRecords();
    void reportListsWhatEndsInTheRange_data();
    void reportListsWhatEndsInTheRange();
    void reportSaysWhenItCannotReadTheProducts();

private:
    frmDrugs *showProduct(const QString &application, const QString &product);
    // The independent reading: "type~application~product~status~listed end~core end" by line.
    QStringList reference();
    QStringList m_reference;
};

frmDrugs *ProtectionWindowsTest::showProduct(const QString &application, const QString &product)
{
    Navigation::listDrugs(*m_main, 5, application, product);
    frmDrugs *drugs = m_main->drugsWindow();
    if (drugs->vbalGrid()->cellText(frmDrugs::ProductNumberRow, frmDrugs::ValueColumn) != product
        || drugs->applicationNumber() != application) {
        return nullptr;
    }
    return drugs;
}

QStringList ProtectionWindowsTest::reference()
{
    if (!m_reference.isEmpty()) {
        return m_reference;
    }
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("reference.tsv"));
    QProcess python;
    python.start(QStringLiteral(PYTHON_PATH),
                 {QStringLiteral(PROTECTION_REFERENCE), QStringLiteral(FDA_ZIP),
                  Protection::readReleaseDate().toString(Qt::ISODate), out});
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return {};
    }
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    m_reference = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return m_reference;
}

void ProtectionWindowsTest::drugRowReadsTheProductsProtection_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QStringList>("parts"); // what the row says, in this order

    QTest::newRow("SPRYCEL: *PED of a substance patent")
        << "021986"
        << "001"
        << QStringList{QStringLiteral("Protected"), QStringLiteral("Sep 28, 2026"),
                       QStringLiteral("(drug substance), pediatric extension")};
    QTest::newRow("SPRYCEL's ANDA: its 180-day exclusivity")
        << "202103"
        << "001" << QStringList{QStringLiteral("180-day exclusivity until Mar 2, 2025")};
    QTest::newRow("AIRSUPRA: a use patent after the NP exclusivity")
        << "214070"
        << "001"
        << QStringList{QStringLiteral("Protected"), QStringLiteral("May 28, 2030"), QStringLiteral("Jan 10, 2026")};
    QTest::newRow("XOPENEX HFA: ended a month before the release")
        << "021730"
        << "001" << QStringList{QStringLiteral("Ended"), QStringLiteral("Oct 8, 2024")};
    QTest::newRow("CYMBALTA: nothing listed, 18 marketed A-rated ANDAs")
        << "021427"
        << "001" << QStringList{QStringLiteral("None listed"), QStringLiteral("18 ")};
}

void ProtectionWindowsTest::drugRowReadsTheProductsProtection()
{
    QFETCH(QString, application);
    QFETCH(QString, product);
    QFETCH(QStringList, parts);
    frmDrugs *drugs = showProduct(application, product);
    QVERIFY(drugs);
    const QString row = drugs->vbalGrid()->cellText(frmDrugs::ProtectionRow, frmDrugs::ValueColumn);
    qsizetype from = 0;
    for (const QString &part : parts) {
        const qsizetype at = row.indexOf(part, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("\"%1\" not after %2 in: %3").arg(part).arg(from).arg(row)));
        from = at + part.size();
    }
    QVERIFY(!row.contains(QLatin1String("generic entry"), Qt::CaseInsensitive));
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProtectionRow, 2), QStringLiteral("Listed protection"));
}

void ProtectionWindowsTest::timelineListsRowsInDateOrderAndLeadsToTheirRecords_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("follow"); // the row of the line followed: "patent ..." or "exclusivity ..."

    QTest::newRow("SPRYCEL, its substance patent") << "021986"
                                                   << "001"
                                                   << "patent 7491725";
    QTest::newRow("CRESEMBA, its orphan exclusivity") << "207500"
                                                      << "001"
                                                      << "exclusivity ODE";
}

void ProtectionWindowsTest::timelineListsRowsInDateOrderAndLeadsToTheirRecords()
{
    QFETCH(QString, application);
    QFETCH(QString, product);
    QFETCH(QString, follow);
    frmDrugs *drugs = showProduct(application, product);
    QVERIFY(drugs);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ProtectionRow, frmDrugs::ValueColumn);
    ProtectionTimeline *timeline = nullptr;
    QTRY_VERIFY((timeline = qobject_cast<ProtectionTimeline *>(QApplication::activeModalWidget())));
    QVERIFY(timeline->summary()->text().contains(QLatin1String("Not the date a generic can be sold")));

    // The lines the product's figures give, the top ones in date order.
    const Protection::Figures figures = Protection::readProduct(application, product, Protection::readReleaseDate());
    QTreeWidget *lines = timeline->lines();
    QCOMPARE(allLines(lines).size(), qsizetype(figures.timeline.size()));
    QDate previous;
    QTreeWidgetItem *followed = nullptr;
    for (QTreeWidgetItem *line : allLines(lines)) {
        const QDate date = Protection::parseDate(line->text(0));
        QVERIFY2(date.isValid(), qPrintable(line->text(0)));
        if (!line->parent()) {
            QVERIFY2(!previous.isValid() || previous <= date, qPrintable(line->text(0) + line->text(1)));
            previous = date;
        }
        if (!followed && line->text(1).startsWith(follow)) {
            followed = line;
        }
    }
    QVERIFY2(followed, qPrintable(follow));

    // Enter on the line: its record in its window.
    const QString name = followed->text(1).section(QLatin1Char(' '), 1);
    lines->setCurrentItem(followed);
    QTest::keyClick(lines, Qt::Key_Return);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    if (follow.startsWith(QLatin1String("patent"))) {
        auto *window = qobject_cast<frmPatent *>(activeWindow());
        QVERIFY(window);
        QCOMPARE(values(*window).value(0), name);
    } else {
        auto *window = qobject_cast<frmExclusivity *>(activeWindow());
        QVERIFY(window);
        const QStringList shown = values(*window);
        QVERIFY2(shown.value(frmExclusivity::CodeRow - 1).startsWith(name), qPrintable(shown.join('|')));
        QCOMPARE(shown.value(frmExclusivity::ApplicationNumberRow - 1), application);
        QCOMPARE(shown.value(frmExclusivity::ProductNumberRow - 1), product);
    }
}

void ProtectionWindowsTest::reportListsWhatEndsInTheRange_data()
{
    QTest::addColumn<int>("which"); // 0: listed protection, 1: substance and product protection
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");

    QTest::newRow("listed protection ending in 2026") << 0 << QDate(2026, 1, 1) << QDate(2026, 12, 31);
    QTest::newRow("substance and product protection, a quarter") << 1 << QDate(2028, 4, 1) << QDate(2028, 6, 30);
    QTest::newRow("one day: SPRYCEL's") << 0 << QDate(2026, 9, 28) << QDate(2026, 9, 28);
}

void ProtectionWindowsTest::reportListsWhatEndsInTheRange()
{
    QFETCH(int, which);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    const QStringList lines = reference();
    QVERIFY(!lines.isEmpty());
    QSet<QString> expected; // "application product"
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char('~'));
        const QDate end = QDate::fromString(f.value(which == 0 ? 4 : 5), Qt::ISODate);
        if (end.isValid() && end >= from && end <= to) {
            expected.insert(f.value(1) + QLatin1Char(' ') + f.value(2));
        }
    }
    QVERIFY(!expected.isEmpty());

    m_main->PressMenuButton(frmMainForm::ProtectionReport);
    auto *report = qobject_cast<frmProtectionReport *>(activeWindow());
    QVERIFY(report);
    report->cboWhich()->setCurrentIndex(which);
    report->dtpFrom()->setDate(from);
    report->dtpTo()->setDate(to);
    QTest::mouseClick(report->cmdList(), Qt::LeftButton);
    QVERIFY2(report->lblEnding()->text().startsWith(QString::number(expected.size()) + QLatin1Char(' ')),
             qPrintable(report->lblEnding()->text()));

    // Each product line, by the drug window it leads to; and the export, line for line.
    const ExportTable table = report->endingTable();
    QCOMPARE(table.rows.size(), qsizetype(expected.size()));
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("report.csv"));
    QCOMPARE(writeCsv(csv, table), QString());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList written = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(written.size(), expected.size() + 1);
    QVERIFY(written.first().startsWith(QLatin1String("Application,Application or product,Status,")));

    QSet<QString> listed;
    QList<QTreeWidgetItem *> products;
    for (QTreeWidgetItem *line : allLines(report->lstEnding())) {
        if (line->parent()) {
            products << line;
        }
    }
    QCOMPARE(products.size(), qsizetype(expected.size()));
    for (int i = 0; i < products.size(); ++i) {
        const QStringList row = table.rows.at(i);
        QVERIFY2(written.at(i + 1).contains(row.value(1)), qPrintable(written.at(i + 1)));
        // The first lines and the last one are followed; the others are read from the table.
        const QString application = row.value(0).section(QLatin1Char(' '), 1, 1);
        const QString product = row.value(1).section(QLatin1Char(' '), 0, 0);
        listed.insert(application + QLatin1Char(' ') + product);
        if (i < 3 || i == products.size() - 1) {
            auto *list = report->lstEnding();
            list->setCurrentItem(products.at(i));
            QTest::keyClick(list, Qt::Key_Return);
            frmDrugs *drugs = m_main->drugsWindow();
            QCOMPARE(activeWindow(), drugs);
            QCOMPARE(drugs->applicationNumber(), application);
            QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProductNumberRow, frmDrugs::ValueColumn), product);
            m_main->PressMenuButton(frmMainForm::ProtectionReport);
            QCOMPARE(activeWindow(), report);
        }
    }
    QCOMPARE(listed, expected);
}

void ProtectionWindowsTest::reportSaysWhenItCannotReadTheProducts()
{
    // A table of listed protection that lacks a product: the report says what failed and
    // lists nothing, rather than a shorter report that looks whole.
    const QString copy = m_dir.filePath(QStringLiteral("lacking.mdb"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(QStringLiteral(KVOSTREL_DB_PATH), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess python;
    python.start(QStringLiteral(PYTHON_PATH),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3, sys\nc = sqlite3.connect(sys.argv[1])\n"
                                 "c.execute('DELETE FROM [product protection] WHERE ID = 20000')\nc.commit()"),
                  copy});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    Connection::shared().open(copy);

    m_main->PressMenuButton(frmMainForm::ProtectionReport);
    auto *report = qobject_cast<frmProtectionReport *>(activeWindow());
    QVERIFY(report);
    QTest::mouseClick(report->cmdList(), Qt::LeftButton);
    const QString said = report->lblEnding()->text();
    QVERIFY2(said.startsWith(QLatin1String("The products could not be read: "))
                 && said.contains(QLatin1String("20000")),
             qPrintable(said));
    QCOMPARE(report->lstEnding()->topLevelItemCount(), 0);
    QCOMPARE(report->lstNoGeneric()->topLevelItemCount(), 0);
}

QTEST_MAIN(ProtectionWindowsTest)
#include "tst_protection_windows.moc"
