// Each lookup window inside the real main window, on the real data: opened from the
// ribbon and the command table, its own search, its hit lines and the details it shows.

#include "search/AdvancedPanel.h"
#include "search/AdvancedSearch.h"
#include "components/AppFonts.h"
#include "search/KeyList.h"
#include "search/LineDetails.h"
#include "app/MdiBackdropArea.h"
#include "search/SearchWindows.h"
#include "MainWindowFixture.h"
#include "search/frmDosageForm.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "search/frmIngredients.h"
#include "app/frmMainForm.h"
#include "search/frmPatent.h"
#include "search/frmRoute.h"

#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QTableView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

using namespace Db;
using namespace Components;
using namespace Search;
using namespace App;

using namespace WindowTest;
using namespace MainWindowTest;

class LookupWindowsTest : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void ribbonAndCommandTableOpenEachWindowOnceMaximised();
    void vocabularyWindowShowsTheChosenEntrysFields_data();
    void vocabularyWindowShowsTheChosenEntrysFields();
    void dosageFormHintFollowsPointerAndPanelHasSevenRows();
    void routeWindowsHiddenRowNeverSearches();
    void patentNumberOfThreeRecordsGivesThreeLinesEachToItsRecord();
    void patentWithoutNumberShowsAnEmptyTitle();
    void ingredientWindowListsTextsAndTheProductsOfTheChosenOne();
    void ingredientEmptyTheGridNeverCreatesRows();
    void exclusivityQuickSearchShowsTheCodeWithItsMeaning();
    void olderLayoutDatabaseShowsNoNewRows();
    void newFieldsShowInTheGrids();
    void linesOfOneNameTellThemselvesApart_data();
    void linesOfOneNameTellThemselvesApart();
    void lineDetailIsQuieterThanItsNameYetReadable();
    void keptLinesFollowTheListsWidthFontAndColours_data();
    void keptLinesFollowTheListsWidthFontAndColours();
    void linesAreCutShortAsTheFontMetricsCutThem();
    void ingredientWindowCountsAndSortsItsProducts();
    void ingredientLinesShowMarketingStatusAndTECode();
};

void LookupWindowsTest::ribbonAndCommandTableOpenEachWindowOnceMaximised()
{
    struct Expected
    {
        int command;
        const char *caption;
        const char *objectName;
    };
    const Expected windows[] = {{9, "Ingredients", "frmIngredients"},
                                {1, "Dosage Form", "frmDosageForm"},
                                {2, "Route of Administration", "frmRoute"},
                                {3, "Patents", "frmPatent"},
                                {0, "Trade Drugs", "frmDrugs"}};
    const MdiBackdropArea *area = m_main->clientArea();
    for (const Expected &expected : windows) {
        clickRibbonButton(QString::number(expected.command));
        QWidget *window = m_main->childWindow(expected.command);
        QVERIFY2(window, expected.caption);
        QCOMPARE(window->windowTitle(), QLatin1String(expected.caption));
        QCOMPARE(window->objectName(), QLatin1String(expected.objectName));
        QMdiSubWindow *sub = m_main->subWindowOf(window);
        QCOMPARE(area->activeSubWindow(), sub);
        QVERIFY(sub->isMaximized());
        auto *searchWindow = qobject_cast<SearchWindow *>(window);
        QVERIFY(searchWindow);
        QVERIFY(!searchWindow->backgroundPicture().isNull());
        QCOMPARE(searchWindow->backgroundPicture().cacheKey(), area->backgroundPicture().cacheKey());
        QCOMPARE(searchWindow->backgroundColor(), area->backgroundColor());

        // Design names and names for screen readers.
        for (const char *name : {"txtSearch", "cmdSearch", "Command1", "lstSearch", "lblSearch", "lblTradeName",
                                 "vbalGrid", "lblWait", "picAdvanced", "lblTooltip", "imgTooltip", "chkParam0",
                                 "txtParam0", "lblParam0", "cmdAdvancedSearch", "cmdAdvancedCancel"}) {
            QVERIFY2(window->findChild<QWidget *>(QLatin1String(name)), name);
        }
        QVERIFY(window->findChild<KeyList *>(QStringLiteral("lstSearchID")));
        QCOMPARE(searchWindow->txtSearch()->accessibleName(), QStringLiteral("Search ") + window->windowTitle());
        QCOMPARE(searchWindow->chkParam(0)->accessibleName(), QStringLiteral("ID"));
    }
    QVERIFY(SearchWindows::asIngredients(m_main->childWindow(frmMainForm::Ingredients)));
    QVERIFY(SearchWindows::asDosageForm(m_main->childWindow(frmMainForm::DosageForm)));
    QVERIFY(SearchWindows::asRoute(m_main->childWindow(frmMainForm::Route)));
    QVERIFY(SearchWindows::asPatent(m_main->childWindow(frmMainForm::Patents)));
    QVERIFY(!SearchWindows::asRoute(m_main->childWindow(frmMainForm::DosageForm)));

    // The command table again: the same instances, brought forward with what they hold.
    auto *route = m_main->routeWindow();
    search(*route, QStringLiteral("oral"));
    const QStringList routeLines = route->lstSearch()->lines();
    for (const int command : {1, 2, 3, 9, 0, 2}) {
        m_main->PressMenuButton(command);
    }
    QCOMPARE(m_main->clientArea()->subWindowList().size(), 5);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(route));
    QCOMPARE(m_main->routeWindow(), route);
    QCOMPARE(route->lstSearch()->lines(), routeLines);
    QVERIFY(m_main->subWindowOf(route)->isMaximized());
}

// The dosage form and route windows: a vocabulary entry's fields, each row with its
// own picture, and the entry's name (with its short name, when it has one) as title.
void LookupWindowsTest::vocabularyWindowShowsTheChosenEntrysFields_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("icons");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("text"); // searched for
    QTest::addColumn<int>("fewestLines");
    QTest::addColumn<QString>("entry"); // the line chosen
    QTest::addColumn<QList<int>>("fields"); // the VocabularyFields the grid shows
    QTest::addColumn<QString>("title");
    QTest::newRow("dosage form") << int(frmMainForm::DosageForm)
                                 << QStringList{"Name",       "Definition", "Use Restrictions",
                                                "SHORT NAME", "FDA CODE",   "NCI CONCEPT ID"}
                                 << QList<int>{0, 1, 2, 3, 4, 5} << "dosage form"
                                 << "tablet" << 11 << "TABLET" << QList<int>{0, 1, 2, 3, 4, 5}
                                 << "TABLET"; // no short name, no empty brackets
    // The route's row for use restrictions is left out: picture 3 is never shown.
    QTest::newRow("route") << int(frmMainForm::Route)
                           << QStringList{"Name", "Definition", "SHORT NAME", "FDA CODE", "NCI CONCEPT ID"}
                           << QList<int>{0, 1, 3, 4, 5} << "route of administration"
                           << "oral" << 1 << "ORAL" << QList<int>{0, 1, 3, 4, 5} << "ORAL (ORAL)";
}

void LookupWindowsTest::vocabularyWindowShowsTheChosenEntrysFields()
{
    QFETCH(int, command);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, icons);
    QFETCH(QString, table);
    QFETCH(QString, text);
    QFETCH(int, fewestLines);
    QFETCH(QString, entry);
    QFETCH(QList<int>, fields);
    QFETCH(QString, title);

    SearchWindow *window = open(command);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(grid->columnCount(), 3);
    QCOMPARE((QStringList{grid->columnHeader(1), grid->columnHeader(2), grid->columnHeader(3)}),
             (QStringList{QString(), QStringLiteral("Details"), QStringLiteral("Value")}));
    QCOMPARE(column(grid, 2), captions);
    QCOMPARE(window->vbalImageList().count(), 6);
    QList<int> shownIcons;
    for (int row = 1; row <= grid->rowCount(); ++row) {
        shownIcons << grid->cellIcon(row, 1);
        QVERIFY(grid->cellText(row, 3).isEmpty());
    }
    QCOMPARE(shownIcons, icons);

    window->txtSearch()->setText(text);
    QTest::keyClick(window->txtSearch(), Qt::Key_Return);
    const QStringList expected
        = queryColumn(QStringLiteral("SELECT name FROM [%1] WHERE name LIKE '%%2%' ORDER BY name").arg(table, text));
    QVERIFY(expected.size() >= fewestLines);
    QCOMPARE(window->lstSearch()->lines(), expected);
    QCOMPARE(window->lstSearchID()->count(), expected.size());
    QCOMPARE(window->lblSearch()->text(), QString::number(expected.size()) + ItemsFound);

    const int position = int(expected.indexOf(entry));
    QVERIFY(position >= 0);
    window->lstSearch()->setCurrentRow(position);
    const qint64 key = window->lstSearchID()->value(position).toLongLong();
    const QStringList record = recordFields(table, key, VocabularyFields);
    QStringList shown;
    for (const int field : fields) {
        shown << record.value(field);
    }
    QCOMPARE(values(*window), shown);
    QCOMPARE(window->lblTradeName()->text(), title);
}

void LookupWindowsTest::dosageFormHintFollowsPointerAndPanelHasSevenRows()
{
    SearchWindow *window = open(frmMainForm::DosageForm);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    search(*window, QStringLiteral("tablet"));
    window->lstSearch()->setCurrentRow(int(window->lstSearch()->lines().indexOf(QStringLiteral("TABLET"))));
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("TABLET"));

    // The help strip stays empty until the pointer crosses the grid or the keyboard
    // chooses a row; a screen reader hears it as the grid's description.
    const QString hint = QStringLiteral("Double click on the grid to get all the drugs having the same dosage form.");
    QVERIFY(window->lblTooltip()->text().isEmpty());
    grid->itemView()->setFocus();
    QTest::keyClick(grid->itemView(), Qt::Key_Down);
    QCOMPARE(window->lblTooltip()->text(), hint);
    QCOMPARE(grid->itemView()->accessibleDescription(), hint);
    window->lblTooltip()->clear();
    window->imgTooltip()->hide();
    sendMouseMove(grid->itemView()->viewport(), cellCentre(grid, 2, 3));
    QCOMPARE(window->lblTooltip()->text(), hint);
    QVERIFY(window->imgTooltip()->isVisible());
    QVERIFY(grid->itemView()->hasFocus());
    // The strip begins right of its icon.
    QVERIFY(window->lblTooltip()->geometry().left() >= window->imgTooltip()->geometry().right());
    QCOMPARE(window->lblTooltip()->geometry().right(), grid->geometry().right() - 8);

    // Seven panel rows; the hidden rows have no column.
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        QCOMPARE(window->chkParam(i)->isHidden(), i > 6);
        if (i > 6) {
            QCOMPARE(window->lblParam(i)->text(), QStringLiteral("paramater"));
            QVERIFY(window->picAdvanced()->paramTag(i).isEmpty());
        }
    }
    QCOMPARE(window->picAdvanced()->paramTag(3), QStringLiteral("USE RESTRICTIONS"));
}

void LookupWindowsTest::routeWindowsHiddenRowNeverSearches()
{
    SearchWindow *window = open(frmMainForm::Route);
    QVERIFY(window);

    // Row 3 keeps its caption, column and place, but is not shown.
    AdvancedPanel *panel = window->picAdvanced();
    QVERIFY(window->chkParam(3)->isHidden() && window->txtParam(3)->isHidden() && window->lblParam(3)->isHidden());
    QCOMPARE(window->lblParam(3)->text(), QStringLiteral("Use Restrictions"));
    QCOMPARE(panel->paramTag(3), QStringLiteral("USE RESTRICTIONS"));
    QVERIFY(!window->chkParam(4)->isHidden());
    const int step = window->txtParam(2)->y() - window->txtParam(1)->y();
    QCOMPARE(window->txtParam(4)->y() - window->txtParam(2)->y(), 2 * step);

    // Ticked from code with a text, the hidden rows still add nothing.
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    window->chkParam(3)->setChecked(true);
    window->txtParam(3)->setText(QStringLiteral("no route has this"));
    window->chkParam(9)->setChecked(true);
    window->chkParam(1)->setChecked(true);
    window->txtParam(1)->setText(QStringLiteral("in"));
    const QString statement
        = AdvancedSearch::statement(SqlText::Window::Route, panel->rows(), panel->matchOption(), panel->joinOption());
    QVERIFY(!statement.contains(QLatin1String("USE RESTRICTIONS")));
    QVERIFY(!statement.contains(QLatin1String("[]")));
    QTest::mouseClick(panel->cmdAdvancedSearch(), Qt::LeftButton);
    QCOMPARE(
        window->lstSearch()->lines(),
        queryColumn(QStringLiteral("SELECT name FROM [route of administration] WHERE name LIKE '%in%' ORDER BY name")));
    QVERIFY(!panel->isVisible());

    // Only hidden rows ticked: there is nothing to search by.
    window->chkParam(1)->setChecked(false);
    const QStringList before = window->lstSearch()->lines();
    QTest::mouseClick(window->Command1(), Qt::LeftButton);
    QTest::mouseClick(panel->cmdAdvancedSearch(), Qt::LeftButton);
    QVERIFY(panel->isVisible());
    QCOMPARE(window->lstSearch()->lines(), before);
}

void LookupWindowsTest::patentNumberOfThreeRecordsGivesThreeLinesEachToItsRecord()
{
    SearchWindow *window = open(frmMainForm::Patents);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(column(grid, 2).mid(0, 7), PatentFields);
    QCOMPARE(column(grid, 2).mid(7),
             (QStringList{QStringLiteral("Product"), QStringLiteral("Delist requested"),
                          QStringLiteral("Submission date")}));
    QCOMPARE(window->vbalImageList().count(), 10);
    QCOMPARE(grid->cellIcon(7, 1), 6);

    search(*window, QStringLiteral("10005783"));
    QCOMPARE(window->lstSearch()->lines(), QStringList(3, QStringLiteral("10005783")));
    QCOMPARE(window->lblSearch()->text(), QStringLiteral("3") + ItemsFound);
    QStringList applications;
    for (int position = 0; position < 3; ++position) {
        window->lstSearch()->setCurrentRow(position);
        const qint64 key = window->lstSearchID()->value(position).toLongLong();
        QCOMPARE(values(*window), recordFields(QString(Schema::Patent::Table), key, PatentFields));
        QCOMPARE(window->lblTradeName()->text(), QStringLiteral("10005783"));
        applications << grid->cellText(3, 3) + '/' + grid->cellText(4, 3);
    }
    applications.removeDuplicates();
    QCOMPARE(applications.size(), 3); // three records, three applications or products

    // The panel's rows: "NDA" is row 3, "Substance Flag" comes last.
    QCOMPARE(window->picAdvanced()->paramTag(3), QStringLiteral("New Drug Application (NDA) Number"));
    QCOMPARE(window->lblParam(7)->text(), QStringLiteral("Substance Flag"));
    QVERIFY(window->chkParam(8)->isHidden());
    QVERIFY(!window->chkParam(7)->isHidden());
}

void LookupWindowsTest::patentWithoutNumberShowsAnEmptyTitle()
{
    const QString fixture = m_dir.filePath(QStringLiteral("patents.mdb"));
    buildPatentFixture(fixture);
    m_main.reset();
    Connection::shared().open(fixture);
    NoWindows host;
    frmPatent window(&host);
    window.GetProductDetails(1);
    QCOMPARE(window.lblTradeName()->text(), QStringLiteral("5000001"));
    window.GetProductDetails(2);
    QCOMPARE(window.lblTradeName()->text(), QString());
    QCOMPARE(values(window), (QStringList{QString(), "Feb 2, 2031", "000222", "002", QString(), "Y", QString()}));
    // A key without a record leaves everything as it was.
    window.GetProductDetails(99);
    QCOMPARE(window.vbalGrid()->cellText(3, 3), QStringLiteral("000222"));
}

void LookupWindowsTest::ingredientWindowListsTextsAndTheProductsOfTheChosenOne()
{
    auto *window = qobject_cast<frmIngredients *>(open(frmMainForm::Ingredients));
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(grid->columnCount(), 3);
    QCOMPARE(grid->columnHeader(3), QStringLiteral("Trade Name"));
    QCOMPARE(grid->rowCount(), 0);

    search(*window, QStringLiteral("vitamin e"));
    const QStringList texts = queryColumn(QStringLiteral(
        "SELECT DISTINCT ingredient FROM products WHERE ingredient LIKE '%vitamin e%' ORDER BY ingredient"));
    QCOMPARE(window->lstSearch()->lines(), texts);
    QCOMPARE(window->lstSearchID()->count(), 0); // the hits carry no keys

    const int position = int(texts.indexOf(VitaminIngredients));
    QVERIFY(position >= 0);
    window->lstSearch()->setCurrentRow(position);
    QCOMPARE(window->lblTradeName()->text(), VitaminIngredients + QStringLiteral(" (4 products)"));
    const QStringList ids = queryColumn(QStringLiteral("SELECT ID FROM products WHERE ingredient = '%1' ORDER BY ID")
                                            .arg(SqlText::quoteSqlText(VitaminIngredients)));
    QCOMPARE(ids.size(), 4);
    QCOMPARE(grid->rowCount(), 4);
    QStringList keys = window->lstSearchID()->lines();
    QCOMPARE(keys.size(), 4);
    for (int row = 1; row <= 4; ++row) {
        const qint64 key = keys.at(row - 1).toLongLong();
        QCOMPARE(grid->cellText(row, 3), productLineOf(key)); // each row beside its own key
        QCOMPARE(grid->cellIcon(row, 1), 1);
        QCOMPARE(grid->cellIcon(row, 2), 0);
        if (row > 1) {
            const QStringList previous = productFields(keys.at(row - 2).toLongLong());
            const QStringList current = productFields(key);
            const int byName = QString::compare(previous[0], current[0], Qt::CaseInsensitive);
            QVERIFY(byName < 0 || (byName == 0 && QString::compare(previous[6], current[6], Qt::CaseInsensitive) <= 0));
        }
    }
    std::sort(keys.begin(), keys.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    QCOMPARE(keys, ids);

    // The general hint with its icon on every row change.
    QTest::mouseClick(grid->itemView()->viewport(), Qt::LeftButton, {}, cellCentre(grid, 2, 3));
    const QString hint
        = QStringLiteral("             Double click on the INFO icon to get more details about the selected item.");
    QCOMPARE(window->lblTooltip()->text(), hint);
    QVERIFY(window->imgTooltip()->isVisible());
    window->lblTooltip()->clear();
    window->imgTooltip()->hide();
    QTest::keyClick(grid->itemView(), Qt::Key_Down);
    QCOMPARE(window->lblTooltip()->text(), hint);
    QVERIFY(window->imgTooltip()->isVisible());

    // A product row opens its product in the drug window, whose list, count and search
    // text go: none of them made what it shows.
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    m_main->PressMenuButton(frmMainForm::Ingredients);
    const qint64 second = window->lstSearchID()->value(1).toLongLong();
    doubleClickCell(grid, 2, 1);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QCOMPARE(values(*drugs), productFields(second));
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(drugs->lstSearchID()->count(), 0);
    QCOMPARE(drugs->lblSearch()->text(), QString());
    QCOMPARE(drugs->txtSearch()->text(), QString());
    QVERIFY(!drugs->picAdvanced()->isVisible());
    QCOMPARE(grid->rowCount(), 4); // the ingredient window is left as it was

    // A later search of ingredients keeps the products, their keys and the title that
    // names their ingredient, whether it finds some or none; a product row still opens
    // its own product.
    const QStringList shownProducts = column(grid, 3);
    const QStringList shownKeys = window->lstSearchID()->lines();
    for (const char *text : {"aspirin", "no such ingredient"}) {
        search(*window, QLatin1String(text));
        QCOMPARE(column(grid, 3), shownProducts);
        QCOMPARE(window->lstSearchID()->lines(), shownKeys);
        QCOMPARE(window->lblTradeName()->text(), VitaminIngredients + QStringLiteral(" (4 products)"));
    }
    QCOMPARE(window->lstSearch()->count(), 0);
    doubleClickCell(grid, 3, 3);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QCOMPARE(values(*drugs), productFields(shownKeys.at(2).toLongLong()));
}

void LookupWindowsTest::ingredientEmptyTheGridNeverCreatesRows()
{
    frmIngredients *window = SearchWindows::asIngredients(open(frmMainForm::Ingredients));
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();

    const QString single = queryColumn(QStringLiteral("SELECT ingredient FROM products GROUP BY ingredient HAVING "
                                                      "count(*) = 1 ORDER BY ingredient LIMIT 1"))
                               .value(0);
    window->GetProductDetails(single);
    QCOMPARE(grid->rowCount(), 1);
    window->EmptyTheGrid();
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(window->lstSearchID()->count(), 1);
    QCOMPARE(grid->cellText(1, 3), QString());
    QCOMPARE(grid->cellIcon(1, 2), 0);

    window->GetProductDetails(VitaminIngredients);
    const QString fourth = grid->cellText(4, 3);
    QVERIFY(!fourth.isEmpty());
    window->EmptyTheGrid();
    QCOMPARE(column(grid, 3), (QStringList{QString(), QString(), QString(), fourth}));
    QCOMPARE(window->lstSearchID()->count(), 4);

    // A text without products: an empty grid and no keys; the title stays.
    window->GetProductDetails(QString());
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(window->lstSearchID()->count(), 0);
    QCOMPARE(window->lblTradeName()->text(), VitaminIngredients + QStringLiteral(" (4 products)"));
    window->EmptyTheGrid();
    QCOMPARE(grid->rowCount(), 0);
    QVERIFY(grid->isVisible());
    QVERIFY(window->lstSearch()->isEnabled());
}

void LookupWindowsTest::exclusivityQuickSearchShowsTheCodeWithItsMeaning()
{
    clickRibbonButton(QStringLiteral("4"));
    auto *window = qobject_cast<frmExclusivity *>(activeWindow());
    QVERIFY(window);
    search(*window, QStringLiteral("ode*"));
    const int expected = countOf(QStringLiteral("SELECT count(*) FROM exclusivity WHERE [Exclusivity Code] = 'ODE*'"));
    QVERIFY(expected > 1);
    QCOMPARE(window->lstSearch()->count(), expected);
    QCOMPARE(window->lblSearch()->text(), QString::number(expected) + ItemsFound);
    window->lstSearch()->setCurrentRow(0); // as a click on the line
    const QStringList shown = values(*window);
    QCOMPARE(shown.value(frmExclusivity::CodeRow - 1), QStringLiteral("ODE*"));
    QVERIFY2(shown.value(frmExclusivity::MeaningRow - 1).startsWith(QLatin1String("Orphan drug exclusivity")),
             qPrintable(shown.join(QLatin1Char('|'))));
    // The line names the record's application and product, the title its end date.
    QCOMPARE(window->lstSearch()->text(0),
             QStringLiteral("ODE*  N") + shown.value(frmExclusivity::ApplicationNumberRow - 1) + QLatin1Char('/')
                 + shown.value(frmExclusivity::ProductNumberRow - 1));
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("ODE* until ") + shown.value(2));
}

// A patent record names one product of its application: that one is shown, not the
// first in name order.
// A database built before the FDA's newer fields were kept opens as before: no RS nor
// note row, the NDA row the number alone, the patent rows that need them empty.
void LookupWindowsTest::olderLayoutDatabaseShowsNoNewRows()
{
    const QString fixture = m_dir.filePath(QStringLiteral("older.mdb"));
    createDatabase(
        fixture,
        referenceTables()
            + QStringList{QStringLiteral("INSERT INTO products VALUES (1, 'OLDEN', 'X', '5MG **A note**', "
                                         "'TABLET', 'ORAL', 'RX', 'ACME', NULL, '001', '000111', 'Yes', NULL)"),
                          QStringLiteral("INSERT INTO patent VALUES (1, '5000001', 'Jan 1, 2030', "
                                         "'000111', '001', 'Y', NULL, 'U-1')")});
    m_main.reset();
    Connection::shared().open(fixture);
    NoWindows host;
    frmDrugs drugs(&host);
    drugs.GetProductDetails(1);
    QCOMPARE(drugs.vbalGrid()->rowCount(), frmDrugs::SubstitutesRow);
    QCOMPARE(drugs.vbalGrid()->cellText(frmDrugs::SubstitutesRow, frmDrugs::ValueColumn),
             QStringLiteral("None: no TE code (single source: no other product rated equivalent)"));
    QCOMPARE(drugs.vbalGrid()->cellText(frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn),
             QStringLiteral("000111"));
    QCOMPARE(drugs.vbalGrid()->cellText(3, frmDrugs::ValueColumn), QStringLiteral("5MG **A note**"));
    QCOMPARE(drugs.vbalGrid()->cellText(frmDrugs::ProductPatentsRow, frmDrugs::ValueColumn),
             QStringLiteral("1 record of 1 patent"));
    // Its line marks the RLD the older file has, no RS, and the read does not fail.
    search(drugs, QStringLiteral("OLDEN"));
    QCOMPARE(drugs.lstSearch()->detail(0),
             QStringLiteral("RLD \u00b7 5MG **A note** \u00b7 TABLET \u00b7 ACME \u00b7 RX"));
    frmIngredients ingredients(&host);
    ingredients.GetProductDetails(QStringLiteral("X"));
    QCOMPARE(ingredients.vbalGrid()->cellDetail(1, frmIngredients::ProductColumn), QStringLiteral("RX"));
    frmPatent patents(&host);
    patents.GetProductDetails(1);
    QCOMPARE(column(patents.vbalGrid(), 3).mid(7),
             (QStringList{QStringLiteral("OLDEN, 5MG **A note**, TABLET"), QString(), QString()}));
}

// The FDA's newer fields in both grids: the application's kind, RS and the note, the
// delisting RAVICTI's applicant asked for, and how a generic's NDA row reads.
void LookupWindowsTest::newFieldsShowInTheGrids()
{
    auto *drugs = m_main->drugsWindow();
    const auto productId = [](const QString &application, const QString &product) {
        return queryColumn(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) Number] = '%1' "
                                          "AND [Product Number] = '%2'")
                               .arg(application, product))
            .value(0)
            .toInt();
    };
    const auto cell = [drugs](int row) { return drugs->vbalGrid()->cellText(row, frmDrugs::ValueColumn); };
    drugs->GetProductDetails(productId(QStringLiteral("076477"), QStringLiteral("001")));
    QCOMPARE(cell(frmDrugs::ApplicationNumberRow), QStringLiteral("ANDA 076477"));
    QCOMPARE(drugs->vbalGrid()->rowCount(), frmDrugs::ReferenceStandardRow); // no note: no note row
    // A product with the Federal Register note: its strength alone, the note in its own row.
    const qint32 noted = queryColumn(QStringLiteral("SELECT ID FROM products WHERE [Strength Note] LIKE "
                                                    "'Federal Register determination%' ORDER BY ID"))
                             .value(0)
                             .toInt();
    drugs->GetProductDetails(noted);
    QCOMPARE(drugs->vbalGrid()->rowCount(), frmDrugs::NoteRow);
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::NoteRow, 2), QStringLiteral("FDA Note"));
    QVERIFY(cell(frmDrugs::NoteRow).startsWith(QLatin1String("Federal Register determination")));
    QVERIFY(!cell(3).contains(QLatin1Char('*')));
    QVERIFY(cell(frmDrugs::ReferenceStandardRow) == QLatin1String("Yes")
            || cell(frmDrugs::ReferenceStandardRow) == QLatin1String("No"));

    // RAVICTI: the patent that reads Mar 9, 2032 is the one whose delisting was asked for.
    SearchWindow *patents = open(frmMainForm::Patents);
    search(*patents, QStringLiteral("8404215"));
    QCOMPARE(patents->lstSearch()->count(), 1);
    patents->lstSearch()->setCurrentRow(0);
    QCOMPARE(patents->vbalGrid()->cellText(2, 3), QStringLiteral("Mar 9, 2032"));
    QCOMPARE(patents->vbalGrid()->cellText(frmPatent::DelistRow, 3), QStringLiteral("Yes"));
    QCOMPARE(patents->vbalGrid()->cellText(frmPatent::SubmissionDateRow, 3), QStringLiteral("Apr 25, 2013"));
    QCOMPARE(patents->vbalGrid()->cellText(frmPatent::ProductRow, 3), QStringLiteral("RAVICTI, 1.1GM/ML, LIQUID"));
    QVERIFY2(patents->lstSearch()->detail(0).startsWith(QLatin1String("RAVICTI")),
             qPrintable(patents->lstSearch()->detail(0)));
    search(*patents, QStringLiteral("9962359"));
    patents->lstSearch()->setCurrentRow(0);
    QCOMPARE(patents->vbalGrid()->cellText(frmPatent::DelistRow, 3), QStringLiteral("No"));
}

// Four LIPITOR lines, and the records of one patent number, can be told apart without
// a click: each line shows after its name what sets it apart, read from its record.
// The dosage form window's names are their own: no detail.
void LookupWindowsTest::linesOfOneNameTellThemselvesApart_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("text"); // searched for
    QTest::addColumn<QString>("sql"); // a line's detail, from its record's key (empty: none)
    QTest::addColumn<bool>("allDiffer"); // no two lines alike
    QTest::newRow("products") << int(frmMainForm::ShowDrugs) << QStringLiteral("lipitor")
                              << QStringLiteral(
                                     "SELECT iif([Reference Listed Drug (RLD)] = 'Yes', 'RLD \u00b7 ', '') ||"
                                     " iif([Reference Standard (RS)] = 'Yes', 'RS \u00b7 ', '') ||"
                                     " Strength || ' \u00b7 ' || [Dosage Form] || ' \u00b7 ' ||"
                                     " [Applicant Full Name] || ' \u00b7 ' || [Type] ||"
                                     " ifnull(' \u00b7 ' || [Therapeutic Equivalence (TE) Code], '')"
                                     " FROM products WHERE ID = %1")
                              << true;
    QTest::newRow("patents") << int(frmMainForm::Patents)
                             << QStringLiteral("10004746")
                             // The trade name of the product the record names comes first.
                             << QStringLiteral(
                                    "SELECT (SELECT [trade name] FROM products d WHERE d.[New Drug Application (NDA)"
                                    " Number] = p.[New Drug Application (NDA) Number] AND d.[Product Number] ="
                                    " p.[Product Number]) || ' \u00b7 ' || [New Drug Application (NDA) Number] ||"
                                    " '/' || [Product Number] || ' \u00b7 expires ' || [Patent Expire Date]"
                                    " FROM patent p WHERE ID = %1")
                             << false;
    QTest::newRow("dosage forms") << int(frmMainForm::DosageForm) << QStringLiteral("tablet") << QString() << false;
}

void LookupWindowsTest::linesOfOneNameTellThemselvesApart()
{
    QFETCH(int, command);
    QFETCH(QString, text);
    QFETCH(QString, sql);
    QFETCH(bool, allDiffer);
    SearchWindow *window = open(command);
    search(*window, text);
    const HitList &list = *window->lstSearch();
    QVERIFY(list.count() >= 4);
    QSet<QString> seen;
    for (int i = 0; i < list.count(); ++i) {
        const QString detail = list.detail(i);
        if (sql.isEmpty()) {
            QCOMPARE(detail, QString());
            continue;
        }
        QCOMPARE(detail, queryColumn(sql.arg(window->lstSearchID()->key(i))).value(0));
        seen.insert(list.text(i) + detail);
        // A screen reader hears the detail; type-ahead still matches the name.
        QCOMPARE(list.model()->index(i, 0).data(Qt::AccessibleTextRole).toString(),
                 list.text(i) + QStringLiteral(", ") + detail);
        QCOMPARE(list.model()->index(i, 0).data(Qt::DisplayRole).toString(), list.text(i));
    }
    if (allDiffer) {
        QCOMPARE(seen.size(), list.count());
    }
}

// The quieter detail, as drawn, on a chosen line and on the others, with and without
// the focus: at least 4.5:1 from its background, and quieter than the name.
void LookupWindowsTest::lineDetailIsQuieterThanItsNameYetReadable()
{
    SearchWindow *drugs = open(frmMainForm::ShowDrugs);
    search(*drugs, QStringLiteral("lipitor"));
    HitList *list = drugs->lstSearch();
    list->resize(600, list->height());
    list->setCurrentRow(1);
    for (const bool focused : {true, false}) {
        (focused ? static_cast<QWidget *>(list) : drugs->txtSearch())->setFocus();
        const QImage drawn = list->viewport()->grab().toImage();
        for (const int line : {0, 1}) {
            const QRect rect = list->visualRect(list->model()->index(line, 0));
            const int detailLeft = rect.left()
                + QFontMetrics(list->font()).horizontalAdvance(list->text(line) + QStringLiteral("  ")) + 4;
            const QColor background = drawn.pixelColor(rect.right() - 1, rect.top() + 1);
            double strongest = 1; // the detail's
            double name = 1;
            for (int x = detailLeft; x < rect.right() - 4; ++x) {
                for (int y = rect.top(); y <= rect.bottom(); ++y) {
                    strongest = std::max(strongest, contrastRatio(drawn.pixelColor(x, y), background));
                }
            }
            for (int x = rect.left(); x < detailLeft - 8; ++x) {
                for (int y = rect.top(); y <= rect.bottom(); ++y) {
                    name = std::max(name, contrastRatio(drawn.pixelColor(x, y), background));
                }
            }
            QVERIFY2(strongest >= DetailContrast, qPrintable(QStringLiteral("line %1: %2").arg(line).arg(strongest)));
            QVERIFY2(strongest < name,
                     qPrintable(QStringLiteral("line %1: %2 / %3").arg(line).arg(strongest).arg(name)));
        }
    }
}

void LookupWindowsTest::keptLinesFollowTheListsWidthFontAndColours_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("newWidth");
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QString>("nextSearch");
    QTest::newRow("narrower: cut shorter") << 600 << 260 << 0.0 << QColor() << QString();
    QTest::newRow("wider: cut later") << 260 << 600 << 0.0 << QColor() << QString();
    QTest::newRow("larger font") << 400 << 400 << 11.0 << QColor() << QString();
    QTest::newRow("other text colour") << 400 << 400 << 0.0 << QColor(Qt::darkRed) << QString();
    QTest::newRow("other rows") << 400 << 400 << 0.0 << QColor() << QStringLiteral("zocor");
}

// The list keeps its lines laid out between paints; after a change of its width, font
// or colours, or a new search, it draws what a new list of the same rows draws.
void LookupWindowsTest::keptLinesFollowTheListsWidthFontAndColours()
{
    QFETCH(int, width);
    QFETCH(int, newWidth);
    QFETCH(qreal, pointSize);
    QFETCH(QColor, text);
    QFETCH(QString, nextSearch);
    SearchWindow *drugs = open(frmMainForm::ShowDrugs);
    search(*drugs, QStringLiteral("lipitor"));
    HitList *list = drugs->lstSearch();
    list->setCurrentRow(-1);
    list->resize(width, list->height());
    QApplication::processEvents();
    const QImage before = list->viewport()->grab().toImage();
    QImage blank = before;
    blank.fill(before.pixel(0, 0));
    QVERIFY(before != blank);
    list->resize(newWidth, list->height());
    if (pointSize > 0) {
        QFont font = list->font();
        font.setPointSizeF(pointSize);
        list->setFont(font);
    }
    if (text.isValid()) {
        QPalette colours = list->palette();
        colours.setColor(QPalette::Text, text);
        list->setPalette(colours);
    }
    if (!nextSearch.isEmpty()) {
        search(*drugs, nextSearch);
        list->setCurrentRow(-1);
    }
    QApplication::processEvents();
    const QImage kept = list->viewport()->grab().toImage();
    HitList fresh;
    fresh.setDetailReader(lineDetailReader(SqlText::Window::Drugs, drugLineDetail));
    fresh.setRows(list->rows());
    fresh.setFont(list->font());
    fresh.setPalette(list->palette());
    fresh.resize(list->size());
    fresh.show();
    QApplication::processEvents();
    const QImage afresh = fresh.viewport()->grab().toImage();
    QVERIFY(kept != before);
    QVERIFY(kept == afresh);
}

// Every trade name and product line detail, cut to a few list widths, is cut where
// QFontMetrics::elidedText cuts it, though only its start is measured.
void LookupWindowsTest::linesAreCutShortAsTheFontMetricsCutThem()
{
    const QFontMetrics metrics(Components::AppFonts::tahoma(8.25, true));
    QVector<qint64> keys;
    for (const QString &id : queryColumn(QStringLiteral("SELECT ID FROM products"))) {
        keys << id.toLongLong();
    }
    const QHash<qint64, QString> details = lineDetailReader(SqlText::Window::Drugs, drugLineDetail)(keys);
    QStringList texts = queryColumn(QStringLiteral("SELECT DISTINCT [trade name] FROM products"));
    texts += QSet<QString>(details.cbegin(), details.cend()).values();
    QVERIFY(texts.size() > 10000);
    int cut = 0;
    for (const QString &text : std::as_const(texts)) {
        for (const int width : {45, 160}) {
            const QString expected = metrics.elidedText(text, Qt::ElideRight, width);
            const QString elided = elidedLine(text, metrics, width);
            if (elided != expected) {
                QFAIL(qPrintable(
                    QStringLiteral("%1 at %2: \"%3\", not \"%4\"").arg(text).arg(width).arg(elided, expected)));
            }
            cut += expected != text;
        }
    }
    QVERIFY(cut > texts.size());
}

// The products of a combination: how many in the title, and the grid ordered by a
// click on its header, by strength, by applicant, then back as designed, the rows'
// keys following their rows.
void LookupWindowsTest::ingredientWindowCountsAndSortsItsProducts()
{
    frmIngredients *window = SearchWindows::asIngredients(open(frmMainForm::Ingredients));
    QVERIFY(window);
    const QString ingredient = QStringLiteral("ATORVASTATIN CALCIUM");
    window->GetProductDetails(ingredient);
    const int count = countOf(QStringLiteral("SELECT count(*) FROM products WHERE ingredient = '%1'").arg(ingredient));
    QVERIFY(count > 100);
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("%1 (%2 products)").arg(ingredient).arg(count));
    const VbalGrid *grid = window->vbalGrid();
    const QStringList designed = column(grid, frmIngredients::ProductColumn);
    QCOMPARE(designed.size(), count);

    auto *header = static_cast<QTableView *>(grid->itemView())->horizontalHeader();
    const QString orderBy[] = {QStringLiteral("Strength"), QStringLiteral("[Applicant Full Name]")};
    for (const QString &field : orderBy) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(frmIngredients::ProductColumn - 1) + 5, 5));
        QStringList values;
        for (int row = 1; row <= count; ++row) {
            const qint64 key = window->lstSearchID()->key(row - 1);
            QCOMPARE(grid->cellText(row, frmIngredients::ProductColumn), productLineOf(key));
            values << queryColumn(QStringLiteral("SELECT %1 FROM products WHERE ID = %2").arg(field).arg(key)).value(0);
        }
        for (int i = 1; i < values.size(); ++i) {
            QVERIFY2(values.at(i - 1).compare(values.at(i), Qt::CaseInsensitive) <= 0, qPrintable(values.at(i)));
        }
        QVERIFY(column(grid, frmIngredients::ProductColumn) != designed);
    }
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(frmIngredients::ProductColumn - 1) + 5, 5));
    QCOMPARE(column(grid, frmIngredients::ProductColumn), designed);
    QCOMPARE(window->productOrder(), frmIngredients::ProductOrder::Designed);
}

// Under each product line, quieter, its marketing status and TE code, so discontinued
// and non-equivalent products stand out; a screen reader hears the line and them.
void LookupWindowsTest::ingredientLinesShowMarketingStatusAndTECode()
{
    frmIngredients *window = SearchWindows::asIngredients(open(frmMainForm::Ingredients));
    QVERIFY(window);
    window->GetProductDetails(QStringLiteral("ATORVASTATIN CALCIUM"));
    const VbalGrid *grid = window->vbalGrid();
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid->itemView());
    QVERIFY(table && table->tableInterface());
    QSet<QString> kinds;
    for (int row = 1; row <= grid->rowCount(); ++row) {
        const QString detail = grid->cellDetail(row, frmIngredients::ProductColumn);
        QCOMPARE(detail,
                 queryColumn(QStringLiteral("SELECT [Type] || ifnull(' \u00b7 ' || "
                                            "[Therapeutic Equivalence (TE) Code], '') FROM products "
                                            "WHERE ID = %1")
                                 .arg(window->lstSearchID()->key(row - 1)))
                     .value(0));
        kinds.insert(detail);
        QAccessibleInterface *cell = table->tableInterface()->cellAt(row - 1, frmIngredients::ProductColumn - 1);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name),
                 grid->cellText(row, frmIngredients::ProductColumn) + QStringLiteral(", ") + detail);
    }
    for (const char *kind : {"RX \u00b7 AB", "DISCN", "RX \u00b7 BX"}) {
        QVERIFY2(kinds.contains(QString::fromUtf8(kind)), kind);
    }
}

QTEST_MAIN(LookupWindowsTest)
#include "tst_lookup_windows.moc"
