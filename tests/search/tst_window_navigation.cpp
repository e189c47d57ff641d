// The double-click navigations between the lookup windows, on the real data inside the
// real main window: each value of a record leads to the window of its kind with the
// records that share it, and a navigation that fails ends with every window usable.

#include "search/AdvancedPanel.h"
#include "search/AdvancedSearch.h"
#include "search/KeyList.h"
#include "app/MdiBackdropArea.h"
#include "search/Navigation.h"
#include "search/SearchWindows.h"
#include "MainWindowFixture.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "app/frmMainForm.h"

#include <QCheckBox>
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

class WindowNavigationTest : public MainWindowFixture
{
    Q_OBJECT

private slots:
    void tabletDosageFormListsEveryTabletProductInTheDrugWindow();
    void everyVocabularyEntryListsExactlyItsProducts_data() { vocabularies(); }
    void everyVocabularyEntryListsExactlyItsProducts();
    void everyProductValueOpensItsOwnVocabularyEntry_data() { vocabularies(); }
    void everyProductValueOpensItsOwnVocabularyEntry();
    void routeDoubleClickBeforeAnyRecordListsNoProduct();
    void patentDoubleClickListsEveryProductOfItsApplication();
    void patentDoubleClickShowsTheProductTheRecordNames();
    void productApplicationRowLeadsToItsPatentsWhateverThePanelHeld();
    void productsOwnPatentsComeFirstAndAlone();
    void ingredientRowListsExactlyThatCombinationAndOpensAProduct();
    void dosageFormAndRouteRowsRunAQuickSearchAndShowTheirOwnEntry();
    void navigationsThatFindNothingShowAnEmptyResult();
    void navigationSkipsFailingStepsAndEndsUsable();
    void productAndItsExclusivitiesReachEachOther_data();
    void productAndItsExclusivitiesReachEachOther();

private:
    static void vocabularies();
};

void WindowNavigationTest::tabletDosageFormListsEveryTabletProductInTheDrugWindow()
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

    SearchWindow *forms = open(frmMainForm::DosageForm);
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

// The two vocabularies, each with the products' column that names its entries.
void WindowNavigationTest::vocabularies()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("drugRow"); // the column's row in the drug window
    QTest::newRow("dosage form") << int(frmMainForm::DosageForm) << "dosage form"
                                 << "Dosage Form" << int(frmDrugs::DosageFormRow);
    QTest::newRow("route") << int(frmMainForm::Route) << "route of administration"
                           << "Route of Administration" << int(frmDrugs::RouteRow);
}

// Each vocabulary entry double-clicked lists exactly the products that carry its
// name, whatever match option the drug window's panel was left on.
void WindowNavigationTest::everyVocabularyEntryListsExactlyItsProducts()
{
    QFETCH(int, command);
    QFETCH(QString, table);
    QFETCH(QString, column);
    auto *drugs = m_main->drugsWindow();
    drugs->picAdvanced()->optParamSettings(AdvancedSearch::StartingWith)->setChecked(true);
    int listed = 0;
    SearchWindow *window = open(command);
    const QStringList ids = queryColumn(QStringLiteral("SELECT ID FROM [%1] ORDER BY ID").arg(table));
    QVERIFY(ids.size() > 100);
    for (const QString &id : ids) {
        m_main->PressMenuButton(command);
        static_cast<RecordWindow *>(window)->GetProductDetails(id.toInt());
        const QString name = values(*window).value(0);
        doubleClickCell(window->vbalGrid(), 1, 3);
        const int expected = countOf(QStringLiteral("SELECT count(*) FROM products WHERE [%1] = '%2' COLLATE NOCASE")
                                         .arg(column, SqlText::quoteSqlText(name)));
        QVERIFY2(
            drugs->lstSearch()->count() == expected,
            qPrintable(
                QStringLiteral("%1: %2 listed, %3 carry it").arg(name).arg(drugs->lstSearch()->count()).arg(expected)));
        listed += expected;
    }
    // Every product was listed once, under its own entry.
    QCOMPARE(listed, countOf(QStringLiteral("SELECT count(*) FROM products")));
}

// Every product's dosage form and route, double-clicked in the drug window, open their
// own entry (the products share 200 or so values: each value once).
void WindowNavigationTest::everyProductValueOpensItsOwnVocabularyEntry()
{
    QFETCH(int, command);
    QFETCH(QString, column);
    QFETCH(int, drugRow);
    auto *drugs = m_main->drugsWindow();
    int products = 0;
    const QStringList keys
        = queryColumn(QStringLiteral("SELECT min(ID) FROM products GROUP BY [%1] COLLATE NOCASE").arg(column));
    QVERIFY(keys.size() > 50);
    for (const QString &key : keys) {
        m_main->PressMenuButton(frmMainForm::ShowDrugs);
        drugs->GetProductDetails(key.toInt());
        const QString value = drugs->vbalGrid()->cellText(drugRow, frmDrugs::ValueColumn);
        doubleClickCell(drugs->vbalGrid(), drugRow, frmDrugs::ValueColumn);
        auto *target = qobject_cast<SearchWindow *>(m_main->childWindow(command));
        QVERIFY(target && activeWindow() == target);
        QVERIFY2(values(*target).value(0).compare(value, Qt::CaseInsensitive) == 0,
                 qPrintable(QStringLiteral("%1 opened %2").arg(value, values(*target).value(0))));
        const QString title = target->lblTradeName()->text();
        QVERIFY2(title.compare(value, Qt::CaseInsensitive) == 0
                     || title.startsWith(value + QStringLiteral(" ("), Qt::CaseInsensitive),
                 qPrintable(title));
        products += countOf(QStringLiteral("SELECT count(*) FROM products WHERE [%1] = '%2' COLLATE NOCASE")
                                .arg(column, SqlText::quoteSqlText(value)));
    }
    QCOMPARE(products, countOf(QStringLiteral("SELECT count(*) FROM products")));
}

void WindowNavigationTest::routeDoubleClickBeforeAnyRecordListsNoProduct()
{
    SearchWindow *routes = open(frmMainForm::Route);
    doubleClickCell(routes->vbalGrid(), 1, 1);
    auto *drugs = m_main->drugsWindow();
    QCOMPARE(drugs->txtParam(12)->text(), QString());
    QCOMPARE(parameterTicks(*drugs), QStringList{QStringLiteral("12")});
    QCOMPARE(drugs->lstSearch()->count(), 0);
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QCOMPARE(drugs->lblTradeName()->text(), QString());
}

void WindowNavigationTest::patentDoubleClickListsEveryProductOfItsApplication()
{
    SearchWindow *patents = open(frmMainForm::Patents);
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
void WindowNavigationTest::patentDoubleClickShowsTheProductTheRecordNames()
{
    SearchWindow *patents = open(frmMainForm::Patents);
    auto *drugs = m_main->drugsWindow();
    const QStringList records = queryColumn(
        QStringLiteral("SELECT ID FROM patent WHERE [Patent Number] IN ('10004746', '10005783') ORDER BY ID"));
    QVERIFY(records.size() >= 3);
    bool sawImbruvica = false;
    for (const QString &record : records) {
        m_main->PressMenuButton(frmMainForm::Patents);
        static_cast<RecordWindow *>(patents)->GetProductDetails(record.toInt());
        const QString application = patents->vbalGrid()->cellText(3, 3);
        const QString product = patents->vbalGrid()->cellText(4, 3);
        doubleClickCell(patents->vbalGrid(), 1, 3);
        QCOMPARE(drugs->applicationNumber(), application);
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

void WindowNavigationTest::productApplicationRowLeadsToItsPatentsWhateverThePanelHeld()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Vitrakvi);
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn),
             QStringLiteral("NDA 210861"));
    const QString application = drugs->applicationNumber();
    QCOMPARE(application, QStringLiteral("210861"));

    SearchWindow *patents = open(frmMainForm::Patents);
    patents->txtParam(3)->setText(QStringLiteral("999999")); // replaced, whatever it held
    QTest::mouseClick(patents->Command1(), Qt::LeftButton);
    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn);

    QCOMPARE(activeWindow(), static_cast<QWidget *>(patents));
    QVERIFY(m_main->subWindowOf(patents)->isMaximized());
    QCOMPARE(patents->txtParam(3)->text(), application);
    QCOMPARE(parameterTicks(*patents), QStringList{QStringLiteral("3")});
    QStringList numbers = queryColumn(
        QStringLiteral("SELECT [Patent Number] FROM patent WHERE [New Drug Application (NDA) Number] LIKE '%210861%'"
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
             recordFields(QString(Schema::Patent::Table), patents->lstSearchID()->value(0).toLongLong(), PatentFields));
    QCOMPARE(patents->lblTradeName()->text(), numbers.first());
    QVERIFY(!patents->picAdvanced()->isVisible());

    // A row the user left ticked, "Any Keyword" and a matching option change nothing:
    // the list is the application's records, exactly.
    patents->chkParam(1)->setChecked(true);
    patents->txtParam(1)->setText(QStringLiteral("1000"));
    patents->picAdvanced()->optParamConcat(AdvancedSearch::AnyKeyword)->setChecked(true);
    patents->picAdvanced()->optParamSettings(AdvancedSearch::Includes)->setChecked(true);
    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ApplicationNumberRow, 1);
    QCOMPARE(parameterTicks(*patents), QStringList{QStringLiteral("3")});
    QCOMPARE(patents->lstSearch()->lines(), numbers);
    QCOMPARE(patents->vbalGrid()->cellText(3, 3), application);
    // The count says records, and what they cover.
    const QString coverage = queryColumn(QStringLiteral("SELECT count(*) || ' records of ' || count(distinct "
                                                        "[Patent Number]) || ' patents, ' || count(distinct [Product "
                                                        "Number]) FROM patent WHERE [New Drug Application (NDA) "
                                                        "Number] = '210861'"))
                                 .value(0);
    QVERIFY2(patents->lblSearch()->text().startsWith(coverage), qPrintable(patents->lblSearch()->text()));
}

// IMBRUVICA 140MG tablet, product 001 of NDA 210563: its application lists 421 records
// of four strengths; the NDA row shows the first record of this product in the list's
// order, and "Patents of this product" lists its own records only.
void WindowNavigationTest::productsOwnPatentsComeFirstAndAlone()
{
    auto *drugs = m_main->drugsWindow();
    const qint32 tablet = queryColumn(QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) "
                                                     "Number] = '210563' AND [Product Number] = '001'"))
                              .value(0)
                              .toInt();
    QVERIFY(tablet > 0);
    drugs->GetProductDetails(tablet);
    QVERIFY(drugs->lblTradeName()->text().startsWith(QLatin1String("IMBRUVICA (140MG)")));
    const QStringList own = queryColumn(QStringLiteral("SELECT ID FROM patent WHERE [New Drug Application (NDA) "
                                                       "Number] = '210563' AND [Product Number] = '001'"));
    QCOMPARE(own.size(), 105);
    const QString ownCount = QStringLiteral("105 records of %1 patents")
                                 .arg(queryColumn(QStringLiteral("SELECT count(distinct [Patent Number]) FROM patent "
                                                                 "WHERE [New Drug Application (NDA) Number] = "
                                                                 "'210563' AND [Product Number] = '001'"))
                                          .value(0));
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProductPatentsRow, frmDrugs::ValueColumn), ownCount);

    SearchWindow *patents = open(frmMainForm::Patents);
    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ApplicationNumberRow, frmDrugs::ValueColumn);
    QCOMPARE(patents->lstSearch()->count(), 421);
    const int shown = patents->lstSearch()->currentRow();
    QVERIFY(own.contains(patents->lstSearchID()->text(shown)));
    for (int i = 0; i < shown; ++i) {
        QVERIFY(!own.contains(patents->lstSearchID()->text(i))); // the first of its own in the list
    }
    QCOMPARE(patents->vbalGrid()->cellText(frmPatent::ProductRow, 3), QStringLiteral("IMBRUVICA, 140MG, TABLET"));

    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    doubleClickCell(drugs->vbalGrid(), frmDrugs::ProductPatentsRow, frmDrugs::ValueColumn);
    QCOMPARE(patents->lstSearch()->count(), 105);
    for (int i = 0; i < patents->lstSearch()->count(); ++i) {
        QVERIFY(own.contains(patents->lstSearchID()->text(i)));
    }
    QCOMPARE(parameterTicks(*patents), (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
    QVERIFY2(patents->lblSearch()->text().startsWith(QLatin1String("105 records of ")),
             qPrintable(patents->lblSearch()->text()));
}

void WindowNavigationTest::ingredientRowListsExactlyThatCombinationAndOpensAProduct()
{
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    QVERIFY(drugs->lstSearch()->count() > 0);
    drugs->GetProductDetails(VitaminCombination);
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::IngredientsRow, frmDrugs::ValueColumn), VitaminIngredients);
    SearchWindow *ingredients = open(frmMainForm::Ingredients);
    search(*ingredients, QStringLiteral("vitamin"));
    QVERIFY(ingredients->lstSearch()->count() > 0);
    m_main->PressMenuButton(frmMainForm::ShowDrugs);

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

void WindowNavigationTest::dosageFormAndRouteRowsRunAQuickSearchAndShowTheirOwnEntry()
{
    auto *drugs = m_main->drugsWindow();
    drugs->GetProductDetails(Lipitor);
    SearchWindow *forms = open(frmMainForm::DosageForm);
    QTest::mouseClick(forms->Command1(), Qt::LeftButton);
    m_main->PressMenuButton(frmMainForm::ShowDrugs);

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
    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    drugs->GetProductDetails(
        queryColumn(QStringLiteral("SELECT min(ID) FROM products WHERE [Dosage Form] = 'SOLUTION'")).value(0).toInt());
    doubleClickCell(drugs->vbalGrid(), frmDrugs::DosageFormRow, 2);
    QVERIFY(forms->lstSearch()->currentRow() > 0);
    QCOMPARE(values(*forms).value(0), QStringLiteral("SOLUTION"));
}

void WindowNavigationTest::navigationsThatFindNothingShowAnEmptyResult()
{
    auto *drugs = m_main->drugsWindow();
    SearchWindow *routes = open(frmMainForm::Route);

    // A route that no product names lists no product.
    search(*routes, QStringLiteral("AURICULAR (OTIC)"));
    QCOMPARE(routes->lstSearch()->count(), 1);
    routes->lstSearch()->setCurrentRow(0);
    QCOMPARE(routes->lblTradeName()->text(), QStringLiteral("AURICULAR (OTIC) (OTIC)"));
    m_main->PressMenuButton(frmMainForm::ShowDrugs);
    drugs->GetProductDetails(Lipitor);
    QVERIFY(!drugs->lblTradeName()->text().isEmpty());
    m_main->PressMenuButton(frmMainForm::Route);
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
    SearchWindow *forms = open(frmMainForm::DosageForm);
    Navigation::findInRecordWindow(*m_main, Common::DosageForm, QStringLiteral("O'BRIEN"));
    QCOMPARE(forms->txtSearch()->text(), QStringLiteral("O'BRIEN"));
    QCOMPARE(forms->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QCOMPARE(forms->lblTradeName()->text(), QString());
    Navigation::listDrugs(*m_main, 11, QStringLiteral("O'BRIEN"));
    QCOMPARE(drugs->lblSearch()->text(), QStringLiteral("0") + ItemsFound);
    QVERIFY(noMessageBox());
}

void WindowNavigationTest::navigationSkipsFailingStepsAndEndsUsable()
{
    SearchWindow *forms = open(frmMainForm::DosageForm);
    search(*forms, QStringLiteral("TABLET"));
    forms->lstSearch()->setCurrentRow(int(forms->lstSearch()->lines().indexOf(QStringLiteral("TABLET"))));
    auto *drugs = m_main->drugsWindow();
    search(*drugs, QStringLiteral("lipitor"));
    const int lipitors = drugs->lstSearch()->count();
    QVERIFY(lipitors > 1);
    drugs->lstSearch()->setCurrentRow(1);

    Connection::shared().close(); // every query of the navigation fails from here on
    m_main->PressMenuButton(frmMainForm::DosageForm);
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
    m_main->PressMenuButton(frmMainForm::DosageForm);
    doubleClickCell(forms->vbalGrid(), 1, 3);
    QCOMPARE(drugs->lstSearch()->count(),
             countOf(QStringLiteral("SELECT count(*) FROM products WHERE [Dosage Form] = 'TABLET'")));
}

void WindowNavigationTest::productAndItsExclusivitiesReachEachOther_data()
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

void WindowNavigationTest::productAndItsExclusivitiesReachEachOther()
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
    QCOMPARE(drugs->applicationNumber(), application);
}

QTEST_MAIN(WindowNavigationTest)
#include "tst_window_navigation.moc"
