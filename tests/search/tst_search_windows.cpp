// The ingredient, dosage form, route and patent windows, and the double-click
// navigations between all five lookup windows, on the real data inside the real main
// window (its ribbon and its command table).

#include "search/AdvancedPanel.h"
#include "search/AdvancedSearch.h"
#include "search/KeyList.h"
#include "app/MdiBackdropArea.h"
#include "search/Navigation.h"
#include "search/RecordExport.h"
#include "search/RecordPrinting.h"
#include "search/SearchWindows.h"
#include "search/WindowHost.h"
#include "CsvFile.h"
#include "WindowTestSupport.h"
#include "ribbon/ZetRibbon.h"
#include "search/frmDosageForm.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "search/frmIngredients.h"
#include "app/frmMainForm.h"
#include "search/frmPatent.h"
#include "search/frmRoute.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCheckBox>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPrinter>
#include <QProcess>
#include <QHeaderView>
#include <QTableView>
#include <QTextDocument>
#include <QMenu>
#include <QStandardPaths>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>
#include <tuple>

using namespace Db;
using namespace Components;
using namespace Ribbon;
using namespace Search;
using namespace App;

using namespace WindowTest;

namespace {

const QStringList VocabularyFields
    = {QStringLiteral("name"),       QStringLiteral("DEFINITION"), QStringLiteral("USE RESTRICTIONS"),
       QStringLiteral("SHORT NAME"), QStringLiteral("FDA CODE"),   QStringLiteral("NCI CONCEPT ID")};
const QStringList PatentFields = {QStringLiteral("Patent Number"),
                                  QStringLiteral("Patent Expire Date"),
                                  QStringLiteral("New Drug Application (NDA) Number"),
                                  QStringLiteral("Product Number"),
                                  QStringLiteral("Drug Substance Flag"),
                                  QStringLiteral("Drug Product Flag"),
                                  QStringLiteral("Patent Use Code")};

// Real products: LIPITOR (TABLET, ORAL, application 020702); VITRAKVI (application
// 210861, which patent 10005783 covers in two of its three records); M.V.C. 9+3, one
// of the four products of a thirteen-ingredient combination with a quote in it.
constexpr qint32 Lipitor = 36390;
constexpr qint32 Vitrakvi = 6519;
constexpr qint32 VitaminCombination = 13241;
const QString VitaminIngredients = QStringLiteral(
    "ASCORBIC ACID; BIOTIN; CYANOCOBALAMIN; DEXPANTHENOL; ERGOCALCIFEROL; FOLIC ACID; NIACINAMIDE; PYRIDOXINE "
    "HYDROCHLORIDE; RIBOFLAVIN 5'-PHOSPHATE SODIUM; THIAMINE HYDROCHLORIDE; VITAMIN A; VITAMIN E");

QStringList parameterTicks(const SearchWindow &window)
{
    QStringList ticked;
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        if (window.chkParam(i)->isChecked()) {
            ticked << QString::number(i);
        }
    }
    return ticked;
}

// True when no message box or other modal window came up.
bool noMessageBox()
{
    if (QApplication::activeModalWidget()) {
        return false;
    }
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (widget->isVisible() && qobject_cast<QMessageBox *>(widget)) {
            return false;
        }
    }
    return true;
}

// Four tables as kvostrel.mdb has them, with patent records the real data lacks: one
// without a number.
void buildPatentFixture(const QString &path)
{
    createDatabase(
        path,
        referenceTables()
            + QStringList{
                QStringLiteral("INSERT INTO patent VALUES (1, '5000001', 'Jan 1, 2030', '000111', '001', 'Y', NULL,"
                               " 'U-1'), (2, NULL, 'Feb 2, 2031', '000222', '002', NULL, 'Y', NULL)"),
            });
}

} // namespace

class SearchWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Opening the windows.
    void ribbonAndCommandTableOpenEachWindowOnceMaximised();

    // Each window's own search and details.
    void dosageFormSearchShowsAFormsSixFieldsAndHintOnPointer();
    void routeWindowShowsFiveRowsAndItsHiddenRowNeverSearches();
    void patentNumberOfThreeRecordsGivesThreeLinesEachToItsRecord();
    void patentWithoutNumberShowsAnEmptyTitle();
    void ingredientWindowListsTextsAndTheProductsOfTheChosenOne();
    void ingredientEmptyTheGridNeverCreatesRows();

    // Navigations.
    void tabletDosageFormListsEveryTabletProductInTheDrugWindow();
    void everyVocabularyEntryListsExactlyItsProducts();
    void everyProductValueOpensItsOwnVocabularyEntry();
    void routeDoubleClickBeforeAnyRecordListsNoProduct();
    void patentDoubleClickListsEveryProductOfItsApplication();
    void patentDoubleClickShowsTheProductTheRecordNames();
    void productApplicationRowLeadsToItsPatentsKeepingOtherTicks();
    void ingredientRowListsExactlyThatCombinationAndOpensAProduct();
    void dosageFormAndRouteRowsRunAQuickSearchAndShowTheirOwnEntry();
    void navigationsThatFindNothingShowAnEmptyResult();
    void navigationSkipsFailingStepsAndEndsUsable();

    // keyboard, screen readers, context menus
    void tabVisitsEachControlOnceAndEnterFollowsARow();
    void panelCaptionsActOnTheirControlsAndEscapeCancels();
    void enterActsOnceWhereItWasPressed_data();
    void enterActsOnceWhereItWasPressed();
    void typingInARowTicksItAndEscapeFromTheButtonCancels();
    void contentLabelsAreReadWithTheirText();
    void contextMenusCopyAndFollowRows();
    void keysCopyTheValueTheLineAndTheRecordInEveryWindow();
    void exportedListReadsBackAsItsRecords();
    void recordPrintsToPdf();
    void linesOfOneNameTellThemselvesApart();
    void ingredientWindowCountsAndSortsItsProducts();
    void exclusivityQuickSearchShowsTheCodeWithItsMeaning();
    void productAndItsExclusivitiesReachEachOther_data();
    void productAndItsExclusivitiesReachEachOther();

private:
    SearchWindow *open(int command);
    void clickRibbonButton(const QString &id);
    // The child window in front.
    QWidget *activeWindow() const;

    std::unique_ptr<frmMainForm> m_main;
    QTemporaryDir m_dir;
};

void SearchWindowsTest::initTestCase()
{
    // Window sizes are read from a test folder of settings, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFile::exists(QStringLiteral(KVOSTREL_DB_PATH)), "the build makes kvostrel.mdb before the tests");
}

void SearchWindowsTest::init()
{
    m_main = std::make_unique<frmMainForm>();
    m_main->setProcessEnd([] {});
    m_main->Form_Load(QStringLiteral(KVOSTREL_DB_PATH));
    m_main->resize(1024, 768);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void SearchWindowsTest::cleanup()
{
    m_main.reset();
    Connection::releaseShared();
}

SearchWindow *SearchWindowsTest::open(int command)
{
    m_main->PressMenuButton(command);
    return qobject_cast<SearchWindow *>(m_main->childWindow(command));
}

QWidget *SearchWindowsTest::activeWindow() const
{
    const QMdiSubWindow *sub = m_main->clientArea()->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

void SearchWindowsTest::clickRibbonButton(const QString &id)
{
    auto *ribbon = m_main->findChild<ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    QVERIFY(ribbon);
    const RibbonScene &scene = ribbon->scene();
    for (int j = 1; j <= scene.highestIndex(RibbonFamily::ButMouse); ++j) {
        const RibbonElement &hit = scene.at(RibbonFamily::ButMouse, j);
        if (hit.visible && hit.tag == id) {
            const QPoint at = pixelRect(hit).center();
            QTest::mouseMove(ribbon, at);
            QTest::mouseClick(ribbon, Qt::LeftButton, Qt::NoModifier, at);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no ribbon button %1").arg(id)));
}

// ---------------------------------------------------------------- opening

void SearchWindowsTest::ribbonAndCommandTableOpenEachWindowOnceMaximised()
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
    QVERIFY(SearchWindows::asIngredients(m_main->childWindow(9)));
    QVERIFY(SearchWindows::asDosageForm(m_main->childWindow(1)));
    QVERIFY(SearchWindows::asRoute(m_main->childWindow(2)));
    QVERIFY(SearchWindows::asPatent(m_main->childWindow(3)));
    QVERIFY(!SearchWindows::asRoute(m_main->childWindow(1)));

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

// ---------------------------------------------------------------- the windows

void SearchWindowsTest::dosageFormSearchShowsAFormsSixFieldsAndHintOnPointer()
{
    SearchWindow *window = open(1);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(grid->columnCount(), 3);
    QCOMPARE((QStringList{grid->columnHeader(1), grid->columnHeader(2), grid->columnHeader(3)}),
             (QStringList{QString(), QStringLiteral("Details"), QStringLiteral("Value")}));
    QCOMPARE(column(grid, 2),
             (QStringList{"Name", "Definition", "Use Restrictions", "SHORT NAME", "FDA CODE", "NCI CONCEPT ID"}));
    QCOMPARE(window->vbalImageList().count(), 6);
    for (int row = 1; row <= 6; ++row) {
        QCOMPARE(grid->cellIcon(row, 1), row - 1);
        QVERIFY(grid->cellText(row, 3).isEmpty());
    }

    window->txtSearch()->setText(QStringLiteral("tablet"));
    QTest::keyClick(window->txtSearch(), Qt::Key_Return);
    const QStringList expected
        = queryColumn(QStringLiteral("SELECT name FROM [dosage form] WHERE name LIKE '%tablet%' ORDER BY name"));
    QVERIFY(expected.size() > 10);
    QCOMPARE(window->lstSearch()->lines(), expected);
    QCOMPARE(window->lstSearchID()->count(), expected.size());
    QCOMPARE(window->lblSearch()->text(), QString::number(expected.size()) + ItemsFound);

    const int tablet = int(expected.indexOf(QStringLiteral("TABLET")));
    window->lstSearch()->setCurrentRow(tablet);
    const qint64 key = window->lstSearchID()->value(tablet).toLongLong();
    QCOMPARE(values(*window), recordFields(QStringLiteral("dosage form"), key, VocabularyFields));
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("TABLET")); // no short name, no empty brackets

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

void SearchWindowsTest::routeWindowShowsFiveRowsAndItsHiddenRowNeverSearches()
{
    SearchWindow *window = open(2);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(column(grid, 2), (QStringList{"Name", "Definition", "SHORT NAME", "FDA CODE", "NCI CONCEPT ID"}));
    QCOMPARE(window->vbalImageList().count(), 6);
    QList<int> icons;
    for (int row = 1; row <= grid->rowCount(); ++row) {
        icons << grid->cellIcon(row, 1);
    }
    QCOMPARE(icons, (QList<int>{0, 1, 3, 4, 5})); // picture 3 is never shown

    search(*window, QStringLiteral("oral"));
    const int oral = int(window->lstSearch()->lines().indexOf(QStringLiteral("ORAL")));
    QVERIFY(oral >= 0);
    window->lstSearch()->setCurrentRow(oral);
    const qint64 key = window->lstSearchID()->value(oral).toLongLong();
    const QStringList fields = recordFields(QStringLiteral("route of administration"), key, VocabularyFields);
    QCOMPARE(values(*window), (QStringList{fields[0], fields[1], fields[3], fields[4], fields[5]}));
    QCOMPARE(window->lblTradeName()->text(), QStringLiteral("ORAL (ORAL)"));

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

void SearchWindowsTest::patentNumberOfThreeRecordsGivesThreeLinesEachToItsRecord()
{
    SearchWindow *window = open(3);
    QVERIFY(window);
    VbalGrid *grid = window->vbalGrid();
    QCOMPARE(column(grid, 2), PatentFields);
    QCOMPARE(window->vbalImageList().count(), 7);
    QCOMPARE(grid->cellIcon(7, 1), 6);

    search(*window, QStringLiteral("10005783"));
    QCOMPARE(window->lstSearch()->lines(), QStringList(3, QStringLiteral("10005783")));
    QCOMPARE(window->lblSearch()->text(), QStringLiteral("3") + ItemsFound);
    QStringList applications;
    for (int position = 0; position < 3; ++position) {
        window->lstSearch()->setCurrentRow(position);
        const qint64 key = window->lstSearchID()->value(position).toLongLong();
        QCOMPARE(values(*window), recordFields(QStringLiteral("patent"), key, PatentFields));
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

void SearchWindowsTest::patentWithoutNumberShowsAnEmptyTitle()
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

void SearchWindowsTest::ingredientWindowListsTextsAndTheProductsOfTheChosenOne()
{
    auto *window = qobject_cast<frmIngredients *>(open(9));
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
    m_main->PressMenuButton(9);
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

void SearchWindowsTest::ingredientEmptyTheGridNeverCreatesRows()
{
    frmIngredients *window = SearchWindows::asIngredients(open(9));
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

// ---------------------------------------------------------------- navigations

void SearchWindowsTest::tabletDosageFormListsEveryTabletProductInTheDrugWindow()
{
    auto *drugs = m_main->drugsWindow();
    // Rows the user ticked before are unticked; their texts stay. The match option the
    // user left in the panel plays no part.
    drugs->chkParam(2)->setChecked(true);
    drugs->txtParam(2)->setText(QStringLiteral("asp"));
    drugs->chkParam(10)->setChecked(true);
    drugs->txtParam(11)->setText(QStringLiteral("CAPSULE"));
    drugs->picAdvanced()->optParamSettings(AdvancedSearch::EndingWith)->setChecked(true);
    search(*drugs, QStringLiteral("lipitor"));

    SearchWindow *forms = open(1);
    search(*forms, QStringLiteral("TABLET"));
    forms->lstSearch()->setCurrentRow(int(forms->lstSearch()->lines().indexOf(QStringLiteral("TABLET"))));
    QCOMPARE(values(*forms).value(0), QStringLiteral("TABLET"));
    const QStringList formLines = forms->lstSearch()->lines();

    doubleClickCell(forms->vbalGrid(), 4, 2); // any cell: the name always comes from row 1

    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QVERIFY(m_main->subWindowOf(drugs)->isMaximized());
    const QStringList tablets = queryColumn(
        QStringLiteral("SELECT ID FROM products WHERE [Dosage Form] = 'TABLET' COLLATE NOCASE ORDER BY [trade name]"));
    QVERIFY(tablets.size() > 15000);
    QCOMPARE(drugs->lstSearchID()->count(), tablets.size());
    const QStringList keys = drugs->lstSearchID()->lines();
    QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()), QSet<QString>(tablets.cbegin(), tablets.cend()));
    QCOMPARE(drugs->lblSearch()->text(), QString::number(tablets.size()) + ItemsFound);
    QCOMPARE(drugs->txtSearch()->text(), QString()); // "lipitor" did not make this list
    // The first product is shown.
    const qint64 first = drugs->lstSearchID()->value(0).toLongLong();
    QCOMPARE(values(*drugs), productFields(first));
    QCOMPARE(drugs->lblTradeName()->text(), productLineOf(first));
    QVERIFY(!drugs->picAdvanced()->isVisible());
    QCOMPARE(parameterTicks(*drugs), QStringList{QStringLiteral("11")});
    QCOMPARE(drugs->txtParam(11)->text(), QStringLiteral("TABLET"));
    QCOMPARE(drugs->txtParam(2)->text(), QStringLiteral("asp"));
    QVERIFY(noMessageBox());

    // The panel tells how the list was made, and FIND on it makes the same list.
    QVERIFY(drugs->picAdvanced()->optParamSettings(AdvancedSearch::Exactly)->isChecked());
    const QStringList listed = drugs->lstSearch()->lines();
    drugs->PressAdvancedSearchButton();
    QCOMPARE(drugs->lstSearch()->lines(), listed);

    // The dosage form window keeps its own lists, record and title.
    QCOMPARE(forms->lstSearch()->lines(), formLines);
    QCOMPARE(forms->lblTradeName()->text(), QStringLiteral("TABLET"));
}

// Each vocabulary entry double-clicked lists exactly the products that carry its
// name, whatever match option the drug window's panel was left on.
void SearchWindowsTest::everyVocabularyEntryListsExactlyItsProducts()
{
    auto *drugs = m_main->drugsWindow();
    drugs->picAdvanced()->optParamSettings(AdvancedSearch::StartingWith)->setChecked(true);
    int listed = 0;
    for (const auto &[command, table, column] : {std::tuple{1, "dosage form", "Dosage Form"},
                                                 std::tuple{2, "route of administration", "Route of Administration"}}) {
        SearchWindow *window = open(command);
        const QStringList ids
            = queryColumn(QStringLiteral("SELECT ID FROM [%1] ORDER BY ID").arg(QLatin1String(table)));
        QVERIFY(ids.size() > 100);
        for (const QString &id : ids) {
            m_main->PressMenuButton(command);
            static_cast<RecordWindow *>(window)->GetProductDetails(id.toInt());
            const QString name = values(*window).value(0);
            doubleClickCell(window->vbalGrid(), 1, 3);
            const int expected
                = countOf(QStringLiteral("SELECT count(*) FROM products WHERE [%1] = '%2' COLLATE NOCASE")
                              .arg(QLatin1String(column), SqlText::quoteSqlText(name)));
            QVERIFY2(drugs->lstSearch()->count() == expected,
                     qPrintable(QStringLiteral("%1: %2 listed, %3 carry it")
                                    .arg(name)
                                    .arg(drugs->lstSearch()->count())
                                    .arg(expected)));
            listed += expected;
        }
    }
    // Every product was listed once under its dosage form and once under its route.
    QCOMPARE(listed, 2 * countOf(QStringLiteral("SELECT count(*) FROM products")));
}

// Every product's dosage form and route, double-clicked in the drug window, open their
// own entry (the products share 200 or so values: each value once).
void SearchWindowsTest::everyProductValueOpensItsOwnVocabularyEntry()
{
    auto *drugs = m_main->drugsWindow();
    int products = 0;
    for (const auto &[command, row, column] : {std::tuple{1, int(frmDrugs::DosageFormRow), "Dosage Form"},
                                               std::tuple{2, int(frmDrugs::RouteRow), "Route of Administration"}}) {
        const QStringList keys = queryColumn(
            QStringLiteral("SELECT min(ID) FROM products GROUP BY [%1] COLLATE NOCASE").arg(QLatin1String(column)));
        QVERIFY(keys.size() > 50);
        for (const QString &key : keys) {
            m_main->PressMenuButton(0);
            drugs->GetProductDetails(key.toInt());
            const QString value = drugs->vbalGrid()->cellText(row, frmDrugs::ValueColumn);
            doubleClickCell(drugs->vbalGrid(), row, frmDrugs::ValueColumn);
            auto *target = qobject_cast<SearchWindow *>(m_main->childWindow(command));
            QVERIFY(target && activeWindow() == target);
            QVERIFY2(values(*target).value(0).compare(value, Qt::CaseInsensitive) == 0,
                     qPrintable(QStringLiteral("%1 opened %2").arg(value, values(*target).value(0))));
            const QString title = target->lblTradeName()->text();
            QVERIFY2(title.compare(value, Qt::CaseInsensitive) == 0
                         || title.startsWith(value + QStringLiteral(" ("), Qt::CaseInsensitive),
                     qPrintable(title));
            products += countOf(QStringLiteral("SELECT count(*) FROM products WHERE [%1] = '%2' COLLATE NOCASE")
                                    .arg(QLatin1String(column), SqlText::quoteSqlText(value)));
        }
    }
    QCOMPARE(products, 2 * countOf(QStringLiteral("SELECT count(*) FROM products")));
}

void SearchWindowsTest::routeDoubleClickBeforeAnyRecordListsNoProduct()
{
    SearchWindow *routes = open(2);
    doubleClickCell(routes->vbalGrid(), 1, 1);
    auto *drugs = m_main->drugsWindow();
    QCOMPARE(drugs->txtParam(12)->text(), QString());
    QCOMPARE(parameterTicks(*drugs), QStringList{QStringLiteral("12")});
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QCOMPARE(drugs->lblTradeName()->text(), QString());
}

void SearchWindowsTest::patentDoubleClickListsEveryProductOfItsApplication()
{
    SearchWindow *patents = open(3);
    search(*patents, QStringLiteral("10005783"));
    patents->lstSearch()->setCurrentRow(1);
    const QString application = patents->vbalGrid()->cellText(3, 3);
    QVERIFY(!application.isEmpty());

    doubleClickCell(patents->vbalGrid(), 7, 1);
    auto *drugs = m_main->drugsWindow();
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QCOMPARE(parameterTicks(*drugs), QStringList{QStringLiteral("5")});
    QCOMPARE(drugs->txtParam(5)->text(), application);
    const QStringList expected = queryColumn(
        QStringLiteral("SELECT [trade name] FROM products WHERE [New Drug Application (NDA) Number] = '%1'"
                       " ORDER BY [trade name]")
            .arg(application));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(drugs->lstSearch()->lines(), expected);
    QVERIFY(drugs->vbalGrid()->cellText(10, frmDrugs::ValueColumn).contains(application));
    QCOMPARE(patents->lblTradeName()->text(), QStringLiteral("10005783"));
}

// A patent record names one product of its application: that one is shown, not the
// first in name order.
void SearchWindowsTest::patentDoubleClickShowsTheProductTheRecordNames()
{
    SearchWindow *patents = open(3);
    auto *drugs = m_main->drugsWindow();
    const QStringList records = queryColumn(
        QStringLiteral("SELECT ID FROM patent WHERE [Patent Number] IN ('10004746', '10005783') ORDER BY ID"));
    QVERIFY(records.size() >= 3);
    bool sawImbruvica = false;
    for (const QString &record : records) {
        m_main->PressMenuButton(3);
        static_cast<RecordWindow *>(patents)->GetProductDetails(record.toInt());
        const QString application = patents->vbalGrid()->cellText(3, 3);
        const QString product = patents->vbalGrid()->cellText(4, 3);
        doubleClickCell(patents->vbalGrid(), 1, 3);
        QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn), application);
        QCOMPARE(drugs->vbalGrid()->cellText(9, frmDrugs::ValueColumn), product); // Product Number
        QCOMPARE(drugs->lstSearchID()->text(drugs->lstSearch()->currentRow()),
                 queryColumn(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) Number] = '%1'"
                                            " AND [Product Number] = '%2'")
                                 .arg(application, product))
                     .value(0));
        // IMBRUVICA 140MG, product 001 of application 205552, though 70MG comes first by name.
        if (application == QLatin1String("205552") && product == QLatin1String("001")) {
            QVERIFY(drugs->lstSearch()->currentRow() > 0);
            sawImbruvica = true;
        }
    }
    QVERIFY(sawImbruvica);
}

void SearchWindowsTest::productApplicationRowLeadsToItsPatentsKeepingOtherTicks()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Vitrakvi);
    const QString application = drugs->vbalGrid()->cellText(frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn);
    QCOMPARE(application, QStringLiteral("210861"));

    SearchWindow *patents = open(3);
    patents->txtParam(3)->setText(QStringLiteral("999999")); // replaced, whatever it held
    QTest::mouseClick(patents->Command1(), Qt::LeftButton);
    m_main->PressMenuButton(0);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn);

    QCOMPARE(activeWindow(), static_cast<QWidget *>(patents));
    QVERIFY(m_main->subWindowOf(patents)->isMaximized());
    QCOMPARE(patents->txtParam(3)->text(), application);
    QCOMPARE(parameterTicks(*patents), QStringList{QStringLiteral("3")});
    QVERIFY(patents->picAdvanced()->optParamSettings(AdvancedSearch::Exactly)->isChecked());
    QStringList numbers = queryColumn(
        QStringLiteral("SELECT [Patent Number] FROM patent WHERE [New Drug Application (NDA) Number] = '210861'"
                       " ORDER BY [Patent Number]"));
    QVERIFY(numbers.size() > 10);
    // Patent numbers in the order of the numbers they are (7,xxx,xxx before 10,xxx,xxx).
    std::stable_sort(numbers.begin(), numbers.end(), [](const QString &a, const QString &b) {
        const qlonglong na = a.section(QLatin1Char('*'), 0, 0).toLongLong();
        const qlonglong nb = b.section(QLatin1Char('*'), 0, 0).toLongLong();
        return na != nb ? na < nb : a < b;
    });
    QCOMPARE(patents->lstSearch()->lines(), numbers);
    QCOMPARE(values(*patents),
             recordFields(QStringLiteral("patent"), patents->lstSearchID()->value(0).toLongLong(), PatentFields));
    QCOMPARE(patents->lblTradeName()->text(), numbers.first());
    QVERIFY(!patents->picAdvanced()->isVisible());

    // A row the user ticked stays ticked and narrows the search ("All Keywords").
    patents->chkParam(1)->setChecked(true);
    patents->txtParam(1)->setText(QStringLiteral("10005783"));
    m_main->PressMenuButton(0);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ApplicationNumberRow, 1);
    QCOMPARE(parameterTicks(*patents), (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
    QCOMPARE(patents->lstSearch()->lines(), QStringList(2, QStringLiteral("10005783")));
    QCOMPARE(patents->vbalGrid()->cellText(3, 3), application);
}

void SearchWindowsTest::ingredientRowListsExactlyThatCombinationAndOpensAProduct()
{
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    QVERIFY(drugs->lstSearch()->count() > 0);
    drugs->GetProductDetails(VitaminCombination);
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::IngredientsRow, frmDrugs::ValueColumn), VitaminIngredients);
    SearchWindow *ingredients = open(9);
    search(*ingredients, QStringLiteral("vitamin"));
    QVERIFY(ingredients->lstSearch()->count() > 0);
    m_main->PressMenuButton(0);

    doubleClickCell(drugs->vbalGrid(), frmDrugs::IngredientsRow, 3);

    QCOMPARE(activeWindow(), static_cast<QWidget *>(ingredients));
    QVERIFY(m_main->subWindowOf(ingredients)->isMaximized());
    QCOMPARE(ingredients->lblTradeName()->text(), VitaminIngredients + QStringLiteral(" (4 products)"));
    QCOMPARE(ingredients->lstSearch()->count(), 0);
    QVERIFY(!ingredients->picAdvanced()->isVisible());
    // Exactly the products with the same whole combination (not each ingredient alone),
    // by trade name, then applicant.
    const QStringList expected = queryColumn(
        QStringLiteral("SELECT [trade name] || ' (' || ifnull(Strength, '') || ') - ' || [Applicant Full Name]"
                       " FROM products WHERE ingredient = '%1' ORDER BY [trade name], [Applicant Full Name]")
            .arg(SqlText::quoteSqlText(VitaminIngredients)));
    QCOMPARE(expected.size(), 4);
    QCOMPARE(column(ingredients->vbalGrid(), 3), expected);
    QCOMPARE(ingredients->lstSearchID()->count(), 4);

    // Its third product, opened in the drug window with an empty hit list.
    const qint64 third = ingredients->lstSearchID()->value(2).toLongLong();
    doubleClickCell(ingredients->vbalGrid(), 3, 3);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QCOMPARE(values(*drugs), productFields(third));
    QCOMPARE(drugs->lblTradeName()->text(), expected.at(2));
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(drugs->lstSearchID()->count(), 0);
}

void SearchWindowsTest::dosageFormAndRouteRowsRunAQuickSearchAndShowTheirOwnEntry()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Lipitor);
    SearchWindow *forms = open(1);
    QTest::mouseClick(forms->Command1(), Qt::LeftButton);
    m_main->PressMenuButton(0);

    doubleClickCell(drugs->vbalGrid(), frmDrugs::DosageFormRow, frmDrugs::ValueColumn);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(forms));
    QVERIFY(m_main->subWindowOf(forms)->isMaximized());
    QCOMPARE(forms->txtSearch()->text(), QStringLiteral("TABLET"));
    QCOMPARE(forms->lstSearch()->lines(),
             queryColumn(QStringLiteral("SELECT name FROM [dosage form] WHERE name LIKE '%TABLET%' ORDER BY name")));
    QCOMPARE(forms->lstSearch()->text(forms->lstSearch()->currentRow()), QStringLiteral("TABLET"));
    QCOMPARE(values(*forms).value(0), QStringLiteral("TABLET"));
    QCOMPARE(forms->lblTradeName()->text(), QStringLiteral("TABLET"));
    QVERIFY(!forms->picAdvanced()->isVisible());

    // SOLUTION opens SOLUTION, not FOR SOLUTION, the first of the names holding it.
    m_main->PressMenuButton(0);
    drugs->GetProductDetails(
        queryColumn(QStringLiteral("SELECT min(ID) FROM products WHERE [Dosage Form] = 'SOLUTION'")).value(0).toInt());
    doubleClickCell(drugs->vbalGrid(), frmDrugs::DosageFormRow, 2);
    QVERIFY(forms->lstSearch()->currentRow() > 0);
    QCOMPARE(values(*forms).value(0), QStringLiteral("SOLUTION"));
}

void SearchWindowsTest::navigationsThatFindNothingShowAnEmptyResult()
{
    auto *drugs = m_main->drugsWindow();
    SearchWindow *routes = open(2);

    // A route that no product names lists no product.
    search(*routes, QStringLiteral("AURICULAR (OTIC)"));
    QCOMPARE(routes->lstSearch()->count(), 1);
    routes->lstSearch()->setCurrentRow(0);
    QCOMPARE(routes->lblTradeName()->text(), QStringLiteral("AURICULAR (OTIC) (OTIC)"));
    m_main->PressMenuButton(0);
    drugs->GetProductDetails(Lipitor);
    QVERIFY(!drugs->lblTradeName()->text().isEmpty());
    m_main->PressMenuButton(2);
    doubleClickCell(routes->vbalGrid(), 2, 3);
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QVERIFY(m_main->subWindowOf(drugs)->isMaximized());
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(values(*drugs), QStringList(ProductFields.size(), QString()));
    QCOMPARE(drugs->lblTradeName()->text(), QString());
    QVERIFY(!drugs->picAdvanced()->isVisible());
    QVERIFY(noMessageBox());

    // A quote in a value taken from a grid is searched as text, in a quick search and
    // in an advanced one: nothing found, nothing broken.
    SearchWindow *forms = open(1);
    Navigation::findInRecordWindow(*m_main, SearchWindows::DosageFormCommand, QStringLiteral("O'BRIEN"));
    QCOMPARE(forms->txtSearch()->text(), QStringLiteral("O'BRIEN"));
    QCOMPARE(forms->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QCOMPARE(forms->lblTradeName()->text(), QString());
    Navigation::listDrugs(*m_main, 11, QStringLiteral("O'BRIEN"));
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QVERIFY(noMessageBox());
}

void SearchWindowsTest::navigationSkipsFailingStepsAndEndsUsable()
{
    SearchWindow *forms = open(1);
    search(*forms, QStringLiteral("TABLET"));
    forms->lstSearch()->setCurrentRow(int(forms->lstSearch()->lines().indexOf(QStringLiteral("TABLET"))));
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    const int lipitors = drugs->lstSearch()->count();
    QVERIFY(lipitors > 1);
    drugs->lstSearch()->setCurrentRow(1);

    Connection::shared().close(); // every query of the navigation fails from here on
    m_main->PressMenuButton(1);
    doubleClickCell(forms->vbalGrid(), 1, 3);

    // The search failed; every later step still ran.
    QCOMPARE(activeWindow(), static_cast<QWidget *>(drugs));
    QVERIFY(m_main->subWindowOf(drugs)->isMaximized());
    QVERIFY(drugs->isEnabled());
    QVERIFY(!drugs->picAdvanced()->isVisible());
    QVERIFY(drugs->lblSearch()->text().startsWith(QLatin1String("Search failed: ")));
    QCOMPARE(drugs->lstSearchID()->count(), drugs->lstSearch()->count());
    QCOMPARE(values(*drugs), QStringList(ProductFields.size(), QString()));
    QCOMPARE(drugs->lblTradeName()->text(), QString()); // no earlier product's title
    QCOMPARE(drugs->lstSearch()->currentRow(), 1); // no earlier hit chosen instead
    QVERIFY(drugs->vbalGrid()->isVisible());
    QVERIFY(noMessageBox());

    // The database back: the same double click works.
    Connection::shared().open(QStringLiteral(KVOSTREL_DB_PATH));
    m_main->PressMenuButton(1);
    doubleClickCell(forms->vbalGrid(), 1, 3);
    QCOMPARE(drugs->lstSearch()->count(),
             countOf(QStringLiteral("SELECT count(*) FROM products WHERE [Dosage Form] = 'TABLET'")));
}

// ---------------------------------------------------------------- keyboard and screen readers

void SearchWindowsTest::tabVisitsEachControlOnceAndEnterFollowsARow()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Lipitor);
    drugs->txtSearch()->setFocus();
    const QList<QWidget *> order
        = {drugs->cmdSearch(), drugs->Command1(), drugs->lstSearch(), drugs->vbalGrid()->itemView()};
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
    auto *forms = qobject_cast<SearchWindow *>(m_main->childWindow(1));
    QVERIFY(forms && activeWindow() == forms);
    QCOMPARE(values(*forms).value(0), QStringLiteral("TABLET"));
}

void SearchWindowsTest::panelCaptionsActOnTheirControlsAndEscapeCancels()
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
void SearchWindowsTest::enterActsOnceWhereItWasPressed_data()
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

void SearchWindowsTest::enterActsOnceWhereItWasPressed()
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

void SearchWindowsTest::typingInARowTicksItAndEscapeFromTheButtonCancels()
{
    m_main->PressMenuButton(3);
    auto *patents = qobject_cast<SearchWindow *>(m_main->childWindow(3));
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
void SearchWindowsTest::contentLabelsAreReadWithTheirText()
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

void SearchWindowsTest::contextMenusCopyAndFollowRows()
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
    auto *forms = qobject_cast<SearchWindow *>(m_main->childWindow(1));
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
void SearchWindowsTest::keysCopyTheValueTheLineAndTheRecordInEveryWindow()
{
    for (const auto &[command, text] : {std::pair{0, "lipitor"}, std::pair{1, "tablet"}, std::pair{2, "oral"},
                                        std::pair{3, "1000"}, std::pair{4, "NCE"}}) {
        m_main->PressMenuButton(command);
        auto *window = qobject_cast<SearchWindow *>(m_main->childWindow(command));
        QVERIFY(window);
        search(*window, QLatin1String(text));
        QVERIFY2(window->lstSearch()->count() > 1, text);
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
        QVERIFY2(!QGuiApplication::clipboard()->text().isEmpty(), text);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), window->recordText());
        for (int row = 1; row <= window->design().rows.size(); ++row) {
            QCOMPARE(grid->model()->headerData(row - 1, Qt::Vertical).toString(),
                     window->design().rows.at(row - 1).caption);
        }
    }
}

// The hit list with the details of every record, as a CSV file any reader reads back
// as written; a file that cannot be written is named, and nothing half-written stays.
void SearchWindowsTest::exportedListReadsBackAsItsRecords()
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        QSKIP("python3 is not installed (scripts/install-deps.sh installs it)");
    }
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    const ExportTable table = exportTable(*drugs);
    QCOMPARE(table.header.size(), ProductFields.size()); // the grid rows that show a column of products
    QCOMPARE(table.rows.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(table.rows.at(i), productFields(drugs->lstSearchID()->value(i).toLongLong()));
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

void SearchWindowsTest::recordPrintsToPdf()
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

void SearchWindowsTest::exclusivityQuickSearchShowsTheCodeWithItsMeaning()
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

void SearchWindowsTest::productAndItsExclusivitiesReachEachOther_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("product");
    // The product with the most exclusivities; the application with the most products
    // that have some, at its last such product; a product without any whose application
    // has some.
    QTest::addRow("several exclusivities") << QStringLiteral("207500") << QStringLiteral("001");
    QTest::addRow("several products") << QStringLiteral("215866") << QString();
    QTest::addRow("none of its own") << QStringLiteral("202811") << QStringLiteral("002");
}

void SearchWindowsTest::productAndItsExclusivitiesReachEachOther()
{
    QFETCH(QString, application);
    QFETCH(QString, product);
    const QString ofApplication
        = QStringLiteral("FROM exclusivity WHERE [New Drug Application (NDA) Number] = '%1'").arg(application);
    if (product.isEmpty()) {
        product = queryColumn(QStringLiteral("SELECT max([Product Number]) ") + ofApplication).value(0);
        QVERIFY(!product.isEmpty());
    }
    const int own = countOf(QStringLiteral("SELECT count(*) ") + ofApplication
                            + QStringLiteral(" AND [Product Number] = '%1'").arg(product));
    const int all = countOf(QStringLiteral("SELECT count(*) ") + ofApplication);
    const int products
        = countOf(QStringLiteral("SELECT count(*) FROM products WHERE [New Drug Application (NDA) Number] = '%1'")
                      .arg(application));
    QVERIFY(all > 1 && products > 0);

    // The product in the drug window: its row lists its own codes with their end dates.
    Navigation::listDrugs(*m_main, 5, application, product);
    frmDrugs *drugs = m_main->drugsWindow();
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProductNumberRow, frmDrugs::ValueColumn), product);
    const QString row = drugs->vbalGrid()->cellText(frmDrugs::ExclusivityRow, frmDrugs::ValueColumn);
    if (own > 0) {
        QCOMPARE(row.split(QStringLiteral("; ")).size(), own);
        QCOMPARE(row.count(QStringLiteral(" until ")), own);
    } else {
        QCOMPARE(row, QStringLiteral("None for this product; %1 for other products of the application").arg(all));
    }

    // A double click: every record of the application, the product's own shown.
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ExclusivityRow, frmDrugs::ValueColumn);
    auto *window = qobject_cast<frmExclusivity *>(activeWindow());
    QVERIFY(window);
    QCOMPARE(window->lstSearch()->count(), all);
    const QStringList shown = values(*window);
    QCOMPARE(shown.value(frmExclusivity::ApplicationNumberRow - 1), application);
    if (own > 0) {
        QCOMPARE(shown.value(frmExclusivity::ProductNumberRow - 1), product);
        QVERIFY(row.startsWith(shown.value(frmExclusivity::CodeRow - 1) + QStringLiteral(" until ")));
    }

    // And back: every product of the application, the record's own chosen.
    doubleClickCell(window->vbalGrid(), 1, RecordWindow::ValueColumn);
    QCOMPARE(activeWindow(), drugs);
    QCOMPARE(drugs->lstSearch()->count(), products);
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProductNumberRow, frmDrugs::ValueColumn),
             shown.value(frmExclusivity::ProductNumberRow - 1));
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn), application);
}

// Four LIPITOR lines, and the records of one patent number, can be told apart without
// a click: each line shows after its name what sets it apart, read from its record.
void SearchWindowsTest::linesOfOneNameTellThemselvesApart()
{
    const struct
    {
        int command;
        QString search;
        QString sql;
    } cases[] = {
        {frmMainForm::ShowDrugs, QStringLiteral("lipitor"),
         QStringLiteral("SELECT Strength || ' \u00b7 ' || [Dosage Form] || ' \u00b7 ' || [Applicant Full Name]"
                        " FROM products WHERE ID = %1")},
        {frmMainForm::Patents, QStringLiteral("10004746"),
         QStringLiteral("SELECT [New Drug Application (NDA) Number] || '/' || [Product Number] || ' \u00b7 expires ' ||"
                        " [Patent Expire Date] FROM patent WHERE ID = %1")},
    };
    for (const auto &c : cases) {
        SearchWindow *window = open(c.command);
        search(*window, c.search);
        const HitList &list = *window->lstSearch();
        QVERIFY(list.count() >= 4);
        QSet<QString> seen;
        for (int i = 0; i < list.count(); ++i) {
            const QString detail = list.detail(i);
            QCOMPARE(detail, queryColumn(c.sql.arg(window->lstSearchID()->key(i))).value(0));
            seen.insert(list.text(i) + detail);
            // A screen reader hears the detail; type-ahead still matches the name.
            QCOMPARE(list.model()->index(i, 0).data(Qt::AccessibleTextRole).toString(),
                     list.text(i) + QStringLiteral(", ") + detail);
            QCOMPARE(list.model()->index(i, 0).data(Qt::DisplayRole).toString(), list.text(i));
        }
        if (c.command == frmMainForm::ShowDrugs) {
            QCOMPARE(seen.size(), list.count()); // every LIPITOR line differs
        }
    }
    // The dosage form window's names are their own: no detail.
    SearchWindow *forms = open(frmMainForm::DosageForm);
    search(*forms, QStringLiteral("tablet"));
    QCOMPARE(forms->lstSearch()->detail(0), QString());

    // The quieter detail, as drawn, on a chosen line and on the others, with and without
    // the focus: at least 4.5:1 from its background, and quieter than the name.
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

// The products of a combination: how many in the title, and the grid ordered by a
// click on its header, by strength, by applicant, then back as designed, the rows'
// keys following their rows.
void SearchWindowsTest::ingredientWindowCountsAndSortsItsProducts()
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

QTEST_MAIN(SearchWindowsTest)
#include "tst_search_windows.moc"
