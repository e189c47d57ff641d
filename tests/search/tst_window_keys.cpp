// The lookup windows from the keyboard and for screen readers, and what they give out:
// Tab and Enter, the advanced panel's captions and keys, the copy keys and context
// menus, the exported hit list and the printed record.

#include "search/AdvancedPanel.h"
#include "search/KeyList.h"
#include "search/RecordExport.h"
#include "search/RecordPrinting.h"
#include "CsvFile.h"
#include "MainWindowFixture.h"
#include "search/frmDrugs.h"
#include "app/frmMainForm.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCheckBox>
#include <QClipboard>
#include <QPrinter>
#include <QTextDocument>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace Db;
using namespace Components;
using namespace Search;
using namespace App;

using namespace WindowTest;
using namespace MainWindowTest;

class WindowKeysTest : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void tabVisitsEachControlOnceAndEnterFollowsARow();
    void panelCaptionsActOnTheirControlsAndEscapeCancels();
    void enterActsOnceWhereItWasPressed_data();
    void enterActsOnceWhereItWasPressed();
    void typingInARowTicksItAndEscapeFromTheButtonCancels();
    void contentLabelsAreReadWithTheirText();
    void contextMenusCopyAndFollowRows();
    void keysCopyTheValueTheLineAndTheRecordInEveryWindow_data();
    void keysCopyTheValueTheLineAndTheRecordInEveryWindow();
    void exportedListReadsBackAsItsRecords();
    void recordPrintsToPdf();
};

void WindowKeysTest::tabVisitsEachControlOnceAndEnterFollowsARow()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Lipitor);
    drugs->txtSearch()->setFocus();
    const QList<QWidget *> order = {drugs->cmdSearch(), drugs->Command1(), drugs->chkTyping(), drugs->lstSearch(),
                                    drugs->vbalGrid()->itemView()};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    // The grid is left by the next Tab, not walked cell by cell.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != drugs->vbalGrid()->itemView());

    // Enter on a linked row does what its double click does.
    QAbstractItemView *grid = drugs->vbalGrid()->itemView();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(frmDrugs::DosageFormRow - 1, frmDrugs::ValueColumn - 1));
    QTest::keyClick(grid, Qt::Key_Return);
    auto *forms = qobject_cast<SearchWindow *>(m_main->childWindow(frmMainForm::DosageForm));
    QVERIFY(forms && activeWindow() == forms);
    QCOMPARE(values(*forms).value(0), QStringLiteral("TABLET"));
}

void WindowKeysTest::panelCaptionsActOnTheirControlsAndEscapeCancels()
{
    auto *drugs = m_main->drugsWindow();
    QTest::mouseClick(drugs->Command1(), Qt::LeftButton);
    AdvancedPanel *panel = drugs->picAdvanced();
    QVERIFY(panel->isVisible());
    QTest::mouseClick(panel->lblParam(3), Qt::LeftButton);
    QVERIFY(panel->chkParam(3)->isChecked());
    QTest::mouseClick(panel->lblParam(3), Qt::LeftButton);
    QVERIFY(!panel->chkParam(3)->isChecked());
    for (const auto &[label, option] : {std::pair{0, 0}, std::pair{2, 2}, std::pair{7, 3}, std::pair{1, 1}}) {
        QTest::mouseClick(panel->lblParamSettings(label), Qt::LeftButton);
        QVERIFY(panel->optParamSettings(option)->isChecked());
    }
    QTest::mouseClick(panel->lblParamSettings(6), Qt::LeftButton);
    QVERIFY(panel->optParamConcat(1)->isChecked());
    // A caption of a row that is not used acts on nothing.
    QTest::mouseClick(panel->lblParam(14), Qt::LeftButton);
    QVERIFY(!panel->chkParam(14)->isChecked());

    panel->txtParam(2)->setFocus();
    QTest::keyClick(panel->txtParam(2), Qt::Key_Escape);
    QVERIFY(!panel->isVisible());
}

// Enter as the window system delivers it: the press to the focus widget, then the
// release to whatever has the focus once the press's action ran.
void WindowKeysTest::enterActsOnceWhereItWasPressed_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tradeName"); // the panel's Trade Name row
    QTest::addColumn<QString>("count"); // the hit count the path leaves
    QTest::addColumn<bool>("panelShown");
    QTest::newRow("search box") << "txtSearch"
                                << ""
                                << "4" << false;
    QTest::newRow("Search button") << "cmdSearch"
                                   << ""
                                   << "4" << false;
    QTest::newRow("Advanced Search button") << "Command1"
                                            << ""
                                            << "" << true;
    QTest::newRow("ticked panel row") << "txtParam2"
                                      << "IMBRUVICA"
                                      << "1" << false;
    QTest::newRow("FIND") << "cmdAdvancedSearch"
                          << "IMBRUVICA"
                          << "1" << false;
    // Nothing found: the keyboard goes back to the search box, where the release lands.
    QTest::newRow("panel row finding nothing") << "txtParam2"
                                               << "NO SUCH NAME"
                                               << "0" << false;
    QTest::newRow("CANCEL") << "cmdAdvancedCancel"
                            << "IMBRUVICA"
                            << "" << false;
}

void WindowKeysTest::enterActsOnceWhereItWasPressed()
{
    QFETCH(QString, path);
    QFETCH(QString, tradeName);
    QFETCH(QString, count);
    QFETCH(bool, panelShown);
    auto *drugs = m_main->drugsWindow();
    drugs->clearHitList();
    drugs->txtSearch()->setText(QStringLiteral("lipitor"));
    // IMBRUVICA's product 001 of NDA 210563: one of the application's four products.
    const QString panelRows = QStringLiteral("txtParam");
    if (path.startsWith(panelRows) || path.startsWith(QStringLiteral("cmdAdvanced"))) {
        QTest::mouseClick(drugs->Command1(), Qt::LeftButton);
        drugs->txtParam(5)->setText(QStringLiteral("210563"));
        drugs->chkParam(5)->setChecked(true);
        drugs->txtParam(6)->setText(QStringLiteral("001"));
        drugs->chkParam(6)->setChecked(true);
        drugs->txtParam(2)->setText(tradeName);
        drugs->chkParam(2)->setChecked(true);
    }
    auto *target = drugs->findChild<QWidget *>(path);
    QVERIFY(target);
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyPress(target, Qt::Key_Return);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Return);

    QCOMPARE(drugs->lblSearch()->text(), count.isEmpty() ? QString() : count + ItemsFound);
    QCOMPARE(drugs->picAdvanced()->isVisible(), panelShown);
    if (panelShown) { // the keyboard starts in the panel's first row
        QCOMPARE(QApplication::focusWidget(), drugs->txtParam(0));
    }
    drugs->picAdvanced()->setDefaults();
    drugs->picAdvanced()->hide();
}

void WindowKeysTest::typingInARowTicksItAndEscapeFromTheButtonCancels()
{
    m_main->PressMenuButton(frmMainForm::Patents);
    auto *patents = qobject_cast<SearchWindow *>(m_main->childWindow(frmMainForm::Patents));
    QVERIFY(patents);
    patents->Command1()->setFocus();
    QTest::keyClick(patents->Command1(), Qt::Key_Space);
    AdvancedPanel *panel = patents->picAdvanced();
    QVERIFY(panel->isVisible());
    // NDA 210563 (IMBRUVICA) has 421 patent records, 105 of them its product 001's.
    panel->txtParam(3)->setText(QStringLiteral("210563")); // set from code: no tick
    QVERIFY(!panel->chkParam(3)->isChecked());
    panel->chkParam(3)->setChecked(true);
    QTest::keyClicks(panel->txtParam(4), QStringLiteral("001")); // typed: ticked
    QVERIFY(panel->chkParam(4)->isChecked());
    QTest::keyClick(panel->txtParam(4), Qt::Key_Return);
    QCOMPARE(patents->lblSearch()->text(), QStringLiteral("105") + ItemsFound);
    // Unticking keeps the text; typing into it again ticks it again.
    QTest::mouseClick(patents->Command1(), Qt::LeftButton);
    panel->chkParam(4)->setChecked(false);
    QCOMPARE(panel->txtParam(4)->text(), QStringLiteral("001"));
    QTest::keyClick(panel->cmdAdvancedSearch(), Qt::Key_Return);
    QCOMPARE(patents->lblSearch()->text(), QStringLiteral("421") + ItemsFound);
    QTest::mouseClick(patents->Command1(), Qt::LeftButton);
    QTest::keyClick(panel->txtParam(4), Qt::Key_Backspace);
    QVERIFY(panel->chkParam(4)->isChecked());

    // Escape closes the panel wherever the focus is in the window, and the keyboard
    // goes back to the button that opened it.
    for (QWidget *from : {static_cast<QWidget *>(patents->Command1()), static_cast<QWidget *>(panel->chkParam(3)),
                          static_cast<QWidget *>(patents->txtSearch())}) {
        QTest::mouseClick(patents->Command1(), Qt::LeftButton);
        QVERIFY(panel->isVisible());
        from->setFocus();
        QTest::keyClick(from, Qt::Key_Escape);
        QVERIFY2(!panel->isVisible(), qPrintable(from->objectName()));
        QVERIFY(!panel->isAncestorOf(QApplication::focusWidget()));
    }
    panel->setDefaults();
}

// A label that shows content is read with that content, as its text changes.
void WindowKeysTest::contentLabelsAreReadWithTheirText()
{
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    drugs->lstSearch()->setCurrentRow(0);
    drugs->lblTooltip()->setText(QStringLiteral("The product dosage form."));
    for (QLabel *label : {drugs->lblSearch(), drugs->lblTradeName(), drugs->lblTooltip(), drugs->lblWait()}) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(label);
        QVERIFY(face);
        QVERIFY(!label->text().isEmpty());
        QCOMPARE(face->text(QAccessible::Name), label->text());
        QVERIFY(!face->text(QAccessible::Description).isEmpty());
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(drugs->lblSearch())->text(QAccessible::Name),
             QStringLiteral("4") + ItemsFound);
}

void WindowKeysTest::contextMenusCopyAndFollowRows()
{
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    drugs->lstSearch()->setCurrentRow(0);
    const auto actions = [](QMenu &menu) {
        QStringList texts;
        for (const QAction *action : menu.actions()) {
            if (!action->isSeparator()) {
                texts << action->text();
            }
        }
        return texts;
    };
    const auto trigger = [](QMenu &menu, const QString &text) {
        for (QAction *action : menu.actions()) {
            if (action->text() == text) {
                action->trigger();
                return true;
            }
        }
        return false;
    };

    std::unique_ptr<QMenu> list = drugs->listMenu(1);
    QCOMPARE(actions(*list),
             (QStringList{QStringLiteral("Copy"), QStringLiteral("Copy record"), QStringLiteral("Export list...")}));
    QVERIFY(trigger(*list, QStringLiteral("Copy")));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("LIPITOR  ") + drugs->lstSearch()->detail(1)); // as the line shows
    QVERIFY(trigger(*list, QStringLiteral("Copy record")));
    const QStringList record = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(drugs->lstSearch()->currentRow(), 1);
    QCOMPARE(record.first(), drugs->lblTradeName()->text());
    QVERIFY(record.contains(QStringLiteral("Dosage Form: TABLET")));

    // Rows a double click follows offer that step; the others only copy.
    QCOMPARE(actions(*drugs->gridMenu(frmDrugs::RouteRow)).last(), QStringLiteral("Show this route of administration"));
    QCOMPARE(actions(*drugs->gridMenu(3)),
             (QStringList{QStringLiteral("Copy"), QStringLiteral("Copy record"), QStringLiteral("Export list..."),
                          QStringLiteral("Print record...")}));
    std::unique_ptr<QMenu> row = drugs->gridMenu(frmDrugs::DosageFormRow);
    QVERIFY(trigger(*row, QStringLiteral("Copy")));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("TABLET"));
    QVERIFY(trigger(*row, QStringLiteral("Show this dosage form")));
    auto *forms = qobject_cast<SearchWindow *>(m_main->childWindow(frmMainForm::DosageForm));
    QVERIFY(forms && activeWindow() == forms);
    QCOMPARE(actions(*forms->gridMenu(2)).last(), QStringLiteral("Show products with this dosage form"));
    QVERIFY(trigger(*forms->gridMenu(2), QStringLiteral("Show products with this dosage form")));
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QCOMPARE(drugs->txtParam(11)->text(), QStringLiteral("TABLET"));
}

// In every window: the keyboard's current cell keeps to the value column (so its row
// shows as chosen and Ctrl+C copies the value, not the nameless icon cell), the rows'
// headers are their captions, Ctrl+Shift+C copies the record, Ctrl+C on a line copies
// the line as shown.
void WindowKeysTest::keysCopyTheValueTheLineAndTheRecordInEveryWindow_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("text"); // searched for: more than one line
    QTest::newRow("products") << int(frmMainForm::ShowDrugs) << "lipitor";
    QTest::newRow("dosage forms") << int(frmMainForm::DosageForm) << "tablet";
    QTest::newRow("routes") << int(frmMainForm::Route) << "oral";
    QTest::newRow("patents") << int(frmMainForm::Patents) << "1000";
    QTest::newRow("exclusivities") << int(frmMainForm::Exclusivity) << "NCE";
}

void WindowKeysTest::keysCopyTheValueTheLineAndTheRecordInEveryWindow()
{
    QFETCH(int, command);
    QFETCH(QString, text);
    m_main->PressMenuButton(command);
    auto *window = qobject_cast<SearchWindow *>(m_main->childWindow(command));
    QVERIFY(window);
    search(*window, text);
    QVERIFY2(window->lstSearch()->count() > 1, qPrintable(text));
    window->lstSearch()->setFocus();
    window->lstSearch()->setCurrentRow(1);
    QTest::keyClick(window->lstSearch(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), window->lstSearch()->shownText(1));
    QVERIFY(QGuiApplication::clipboard()->text().startsWith(window->lstSearch()->text(1)));

    QAbstractItemView *grid = window->vbalGrid()->itemView();
    const int valueColumn = window->design().valueColumn;
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(grid->currentIndex().row(), 1);
    QCOMPARE(grid->currentIndex().column(), valueColumn - 1);
    QVERIFY(grid->selectionModel()->isSelected(grid->currentIndex())); // drawn as the chosen row
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), window->vbalGrid()->cellText(2, valueColumn));
    QVERIFY2(!QGuiApplication::clipboard()->text().isEmpty(), qPrintable(text));
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), window->recordText());
    for (int row = 1; row <= window->vbalGrid()->rowCount(); ++row) {
        QCOMPARE(grid->model()->headerData(row - 1, Qt::Vertical).toString(),
                 window->design().rows.at(row - 1).caption);
    }
}

// The hit list with the details of every record, as a CSV file any reader reads back
// as written; a file that cannot be written is named, and nothing half-written stays.
void WindowKeysTest::exportedListReadsBackAsItsRecords()
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        QSKIP("python3 is not installed (scripts/install-deps.sh installs it)");
    }
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    const ExportTable table = exportTable(*drugs);
    // The grid rows that show a column of products, then the fields the grid shows
    // within another row or not at all.
    QCOMPARE(table.header.mid(ProductFields.size()),
             (QStringList{QStringLiteral("Reference Standard (RS)"), QStringLiteral("FDA Note"),
                          QStringLiteral("Application Type"), QStringLiteral("Applicant (short name)")}));
    QCOMPARE(table.rows.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const qint64 key = drugs->lstSearchID()->value(i).toLongLong();
        QCOMPARE(table.rows.at(i).mid(0, ProductFields.size()), productFields(key));
        QCOMPARE(
            table.rows.at(i).mid(ProductFields.size()),
            recordFields(QString(Schema::Products::Table), key,
                         {QString(Schema::Products::RS), QString(Schema::Products::StrengthNote),
                          QString(Schema::Products::ApplicationType), QString(Schema::Products::ApplicantShortName)}));
    }

    const ExportTable awkward{{QStringLiteral("Name"), QStringLiteral("Value")},
                              {{QStringLiteral("O'NEIL, \"THE\" ONE"), QStringLiteral("a;b\r\nc\nd")},
                               {QStringLiteral("ÄSKULAP µg"), QString()}}};
    for (const ExportTable &written : {table, awkward}) {
        const QString path = m_dir.filePath(QStringLiteral("export.csv"));
        QCOMPARE(writeCsv(path, written), QString());
        QCOMPARE(readCsv(path), QVector<QStringList>{written.header} + written.rows);
    }

    const QString unwritable = m_dir.filePath(QStringLiteral("no such folder/export.csv"));
    QVERIFY(!writeCsv(unwritable, table).isEmpty());
    QVERIFY(!QFileInfo::exists(unwritable));
    // A cancelled export leaves the earlier file as it was.
    const QString earlier = m_dir.filePath(QStringLiteral("export.csv"));
    const QVector<QStringList> before = readCsv(earlier);
    ExportTable big = table;
    big.rows = QVector<QStringList>(2500, table.rows.first());
    QVERIFY(!writeCsv(earlier, big, [](int) { return false; }).isEmpty());
    QCOMPARE(readCsv(earlier), before);
}

void WindowKeysTest::recordPrintsToPdf()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Lipitor);
    const QString html = recordHtml(*drugs);
    QVERIFY(html.contains(drugs->lblTradeName()->text().toHtmlEscaped()));
    QVERIFY(html.contains(QStringLiteral("Dosage Form")) && html.contains(QStringLiteral("TABLET")));
    // The program prints through its print module, loaded on the first print.
    QString why;
    QVERIFY2(printingAvailable(&why), qPrintable(why));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir.filePath(QStringLiteral("record.pdf")));
    QTextDocument document;
    document.setHtml(html);
    document.print(&printer);
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
}

QTEST_MAIN(WindowKeysTest)
#include "tst_window_keys.moc"
