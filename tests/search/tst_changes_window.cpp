// The Changes window inside the real main window: on a database imported with
// --previous from an older release made from the bundled one (every change followed to
// its newer record), on hand-made changes (a removed record), and on the bundled
// database, which holds none.

#include "CsvFile.h"
#include "WindowTestSupport.h"
#include "app/MdiBackdropArea.h"
#include "app/frmMainForm.h"
#include "components/BackdropText.h"
#include "ribbon/RibbonTheme.h"
#include "ribbon/ZetRibbon.h"
#include "search/KeyList.h"
#include "search/frmChanges.h"
#include "search/frmExclusivity.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QToolTip>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace App;
using namespace WindowTest;

namespace {

const QString ChangesDatabase = QStringLiteral(KVOSTREL_CHANGES_DB_PATH);

// The rows of the changes table, as the window lists them.
QString changesOf(const QString &kind)
{
    return QStringLiteral("SELECT [Kind], [Key], [Trade Name], [Old Value], [New Value], [Application Type], "
                          "[New Drug Application (NDA) Number], [Product Number], [Patent Number], "
                          "[Exclusivity Code] FROM changes WHERE [Kind] = '%1' ORDER BY [Key], ID")
        .arg(kind);
}

QStringList texts(const QVariantList &row)
{
    QStringList result;
    for (const QVariant &value : row) {
        result << fieldText(value);
    }
    return result;
}

// A double click on a line as the window system delivers it: press, release, double click.
void doubleClickLine(QTreeWidget *list, int line)
{
    const QPoint at = list->visualItemRect(list->topLevelItem(line)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class ChangesWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void ctrl8ListsEveryKindWithTheTablesCount();
    void everyChangeLeadsToItsNewerRecord_data();
    void everyChangeLeadsToItsNewerRecord();
    void doubleClickAndEnterFollowAChange();
    void removedRecordIsSaidToHaveNoNewerOne();
    void exclusivityDateChangeShowsTheRowOfItsNewDate();
    void databaseWithoutChangesSaysHowToMakeThem();
    void changesThatCannotBeReadAreReported();
    void exportWritesTheChangesListed();
    void columnWidthsShareTheListsWidth_data();
    void columnWidthsShareTheListsWidth();
    void everyKindShowsItsColumnsWithoutScrolling_data();
    void everyKindShowsItsColumnsWithoutScrolling();
    void labelsOnTheBackdropReadInEveryTheme_data();
    void labelsOnTheBackdropReadInEveryTheme();

private:
    frmChanges *openChanges(const QString &database);
    // Chooses the kind in the list; its changes are then listed.
    void chooseKind(const QString &kind);
    QWidget *activeWindow() const;

    std::unique_ptr<frmMainForm> m_main;
    frmChanges *m_window = nullptr;
    QTemporaryDir m_dir;
};

void ChangesWindowTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFile::exists(ChangesDatabase), "the build makes the database with changes before the tests");
    QVERIFY(m_dir.isValid());
}

void ChangesWindowTest::cleanup()
{
    m_window = nullptr;
    m_main.reset();
    Connection::releaseShared();
}

frmChanges *ChangesWindowTest::openChanges(const QString &database)
{
    m_main = std::make_unique<frmMainForm>();
    m_main->setProcessEnd([] {});
    m_main->Form_Load(database);
    m_main->resize(1024, 768);
    m_main->show();
    if (!QTest::qWaitForWindowExposed(m_main.get())) {
        return nullptr;
    }
    m_main->PressMenuButton(frmMainForm::Changes);
    m_window = qobject_cast<frmChanges *>(m_main->childWindow(frmMainForm::Changes));
    return m_window;
}

void ChangesWindowTest::chooseKind(const QString &kind)
{
    for (int row = 0; row < int(m_window->kinds().size()); ++row) {
        if (m_window->kinds()[size_t(row)].kind == kind) {
            m_window->lstKinds()->setCurrentRow(row);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no kind %1 in the list").arg(kind)));
}

QWidget *ChangesWindowTest::activeWindow() const
{
    const QMdiSubWindow *sub = m_main->clientArea()->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

// Ctrl+8 opens the window; its list holds every kind of the table with its count, all
// changes first, and the label names both releases.
void ChangesWindowTest::ctrl8ListsEveryKindWithTheTablesCount()
{
    m_main = std::make_unique<frmMainForm>();
    m_main->setProcessEnd([] {});
    m_main->Form_Load(ChangesDatabase);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QApplication::setActiveWindow(m_main.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_8, Qt::ControlModifier);
    m_window = qobject_cast<frmChanges *>(activeWindow());
    QVERIFY(m_window);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Changes"));
    QCOMPARE(QApplication::focusWidget(), m_window->lstKinds());
    QVERIFY(m_window->hasChanges());

    QStringList expected;
    int total = 0;
    const ProgramRows kinds
        = queryProgramConnection(QStringLiteral("SELECT Kind, count(*) FROM changes GROUP BY Kind ORDER BY min(ID)"));
    QVERIFY(kinds.ok && kinds.rows.size() >= 5);
    for (const QVariantList &row : kinds.rows) {
        expected << QStringLiteral("%1 (%2)").arg(row.value(0).toString()).arg(row.value(1).toInt());
        total += row.value(1).toInt();
    }
    QCOMPARE(total, countOf(QStringLiteral("SELECT count(*) FROM changes")));
    expected.prepend(QStringLiteral("All changes (%1)").arg(total));
    QStringList lines;
    for (int row = 0; row < m_window->lstKinds()->count(); ++row) {
        lines << m_window->lstKinds()->item(row)->text();
    }
    QCOMPARE(lines, expected);
    QCOMPARE(m_window->lstChanges()->topLevelItemCount(), total);

    // The keyboard: Down chooses the next kind, Tab goes to its changes.
    QTest::keyClick(m_window->lstKinds(), Qt::Key_Down);
    QCOMPARE(m_window->lstChanges()->topLevelItemCount(), kinds.rows.at(0).value(1).toInt());
    QCOMPARE(m_window->lblChanges()->text(),
             QStringLiteral("%1: %2 changes")
                 .arg(kinds.rows.at(0).value(0).toString())
                 .arg(kinds.rows.at(0).value(1).toInt()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_window->lstChanges());

    const QStringList dates = queryColumn(QStringLiteral("SELECT [Release Date] FROM [compared release] ORDER BY ID"));
    QCOMPARE(dates.size(), 2);
    QVERIFY(dates.at(0) != dates.at(1));
    QVERIFY2(
        m_window->lblReleases()->text().contains(dates.at(0) + QStringLiteral(" to its release of ") + dates.at(1)),
        qPrintable(m_window->lblReleases()->text()));
    QCOMPARE(m_window->lstKinds()->accessibleName(), QStringLiteral("Kinds of change"));
    QCOMPARE(m_window->lstChanges()->accessibleName(), QStringLiteral("Changes of the chosen kind"));
}

void ChangesWindowTest::everyChangeLeadsToItsNewerRecord_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("product type") << QStringLiteral("Type changed: RX to DISCN");
    QTest::newRow("product added") << QStringLiteral("Product added: approved before the older release");
    QTest::newRow("first generic") << QStringLiteral("First generic");
    QTest::newRow("patent added") << QStringLiteral("Patent listing added");
    QTest::newRow("patent expiry") << QStringLiteral("Patent expiry moved later");
    QTest::newRow("patent use code") << QStringLiteral("Patent use code changed");
    QTest::newRow("exclusivity added") << QStringLiteral("Exclusivity added");
}

// Each change of the kind, followed, shows its own record of the newer release: the
// product of its application, number and type; the patent record of its product and
// patent number; the exclusivity record of its product, code and date.
void ChangesWindowTest::everyChangeLeadsToItsNewerRecord()
{
    QFETCH(QString, kind);
    QVERIFY(openChanges(ChangesDatabase));
    chooseKind(kind);
    const ProgramRows rows = queryProgramConnection(changesOf(kind));
    QVERIFY(rows.ok && !rows.rows.isEmpty());
    QTreeWidget *list = m_window->lstChanges();
    QCOMPARE(list->topLevelItemCount(), rows.rows.size());
    for (int i = 0; i < rows.rows.size(); ++i) {
        const QStringList c = texts(rows.rows.at(i));
        const QString &type = c.at(5), &application = c.at(6), &product = c.at(7), &patent = c.at(8), &code = c.at(9),
                      &newValue = c.at(4);
        QTreeWidgetItem *item = list->topLevelItem(i);
        QCOMPARE(item->text(0), c.at(1));
        QVERIFY2(!application.isEmpty(), qPrintable(c.at(1)));
        m_main->PressMenuButton(frmMainForm::Changes);
        m_window->followChange(item);
        QVERIFY2(m_window->lblMessage()->text().isEmpty(), qPrintable(m_window->lblMessage()->text()));
        if (!patent.isEmpty()) {
            auto *patents = qobject_cast<frmPatent *>(activeWindow());
            QVERIFY2(patents, qPrintable(c.at(1)));
            const QStringList shown = values(*patents);
            QCOMPARE(shown.value(0), patent);
            QCOMPARE(shown.value(2), application);
            QCOMPARE(shown.value(3), product);
            if (kind.startsWith(QLatin1String("Patent expiry"))) {
                QCOMPARE(shown.value(1), newValue);
            }
        } else if (!code.isEmpty()) {
            auto *exclusivities = qobject_cast<frmExclusivity *>(activeWindow());
            QVERIFY2(exclusivities, qPrintable(c.at(1)));
            const QStringList shown = values(*exclusivities);
            QCOMPARE(shown.value(frmExclusivity::CodeRow - 1), code);
            QCOMPARE(shown.value(frmExclusivity::ApplicationNumberRow - 1), application);
            QCOMPARE(shown.value(frmExclusivity::ProductNumberRow - 1), product);
            const qint64 key = exclusivities->lstSearchID()->key(exclusivities->lstSearch()->currentRow());
            QCOMPARE(recordFields(QStringLiteral("exclusivity"), key, {QStringLiteral("Exclusivity Date")}),
                     QStringList{newValue});
        } else {
            auto *drugs = qobject_cast<frmDrugs *>(activeWindow());
            QVERIFY2(drugs, qPrintable(c.at(1)));
            const QStringList ids = queryColumn(
                QStringLiteral("SELECT ID FROM products WHERE [New Drug Application (NDA) Number] = '%1' AND "
                               "[Product Number] = '%2' AND [Application Type] = '%3' ORDER BY ID")
                    .arg(application, product, type));
            QVERIFY2(!ids.isEmpty(), qPrintable(c.at(1)));
            QCOMPARE(values(*drugs), productFields(ids.first().toLongLong()));
        }
    }
}

// A double click on a change, and Enter on another, as the user gives them.
void ChangesWindowTest::doubleClickAndEnterFollowAChange()
{
    QVERIFY(openChanges(ChangesDatabase));
    chooseKind(QStringLiteral("Patent listing added"));
    QTreeWidget *list = m_window->lstChanges();
    QVERIFY(list->topLevelItemCount() > 1);
    const QString patent
        = texts(queryProgramConnection(changesOf(QStringLiteral("Patent listing added"))).rows.value(1)).value(8);
    QVERIFY(!patent.isEmpty());
    doubleClickLine(list, 1);
    auto *patents = qobject_cast<frmPatent *>(activeWindow());
    QVERIFY(patents);
    QCOMPARE(values(*patents).value(0), patent);

    m_main->PressMenuButton(frmMainForm::Changes);
    chooseKind(QStringLiteral("Type changed: RX to DISCN"));
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    const ProgramRows rows = queryProgramConnection(changesOf(QStringLiteral("Type changed: RX to DISCN")));
    QTest::keyClick(list, Qt::Key_Return);
    auto *drugs = qobject_cast<frmDrugs *>(activeWindow());
    QVERIFY(drugs);
    QCOMPARE(drugs->applicationNumber(), fieldText(rows.rows.at(0).at(6)));
    QCOMPARE(drugs->vbalGrid()->cellText(frmDrugs::ProductNumberRow, frmDrugs::ValueColumn),
             fieldText(rows.rows.at(0).at(7)));
}

// Hand-made changes: a product removed, and the date of one of two PED rows of a product
// changed (the row of the new date is the newer record).
static void buildHandMadeChanges(const QString &path)
{
    createDatabase(
        path,
        referenceTables()
            + QStringList{
                QStringLiteral("INSERT INTO products VALUES (1, 'ALPHA', 'ASPIRIN', '325MG', 'TABLET', 'ORAL', 'RX', "
                               "'ACME LABS', 'AB', '001', '000001', 'Yes', 'Jan 2, 2020')"),
                QStringLiteral("CREATE TABLE [exclusivity] (ID INTEGER PRIMARY KEY, [Application Type] TEXT, "
                               "[New Drug Application (NDA) Number] TEXT, [Product Number] TEXT, "
                               "[Exclusivity Code] TEXT, [Exclusivity Date] TEXT)"),
                QStringLiteral("CREATE TABLE [exclusivity code] (ID INTEGER PRIMARY KEY, [Code] TEXT, [Meaning] TEXT)"),
                QStringLiteral("INSERT INTO [exclusivity] VALUES (1, 'N', '000001', '001', 'PED', 'Jan 1, 2030'), "
                               "(2, 'N', '000001', '001', 'PED', 'Mar 1, 2031'), "
                               "(3, 'N', '000001', '001', 'ODE-1', 'Mar 1, 2031')"),
                QStringLiteral("CREATE TABLE [changes] (ID INTEGER PRIMARY KEY, [Kind] TEXT, [Key] TEXT, "
                               "[Trade Name] TEXT, [Old Value] TEXT, [New Value] TEXT, [Older Release] TEXT, "
                               "[Newer Release] TEXT, [Application Type] TEXT, "
                               "[New Drug Application (NDA) Number] TEXT, [Product Number] TEXT, "
                               "[Patent Number] TEXT, [Exclusivity Code] TEXT)"),
                QStringLiteral("CREATE TABLE [compared release] (ID INTEGER PRIMARY KEY, [Release Date] TEXT, "
                               "Products INTEGER, [Patent Listings] INTEGER, Exclusivities INTEGER)"),
                QStringLiteral("INSERT INTO [compared release] VALUES (1, 'Oct 8, 2024', 2, 0, 0), "
                               "(2, 'Nov 8, 2024', 1, 0, 0)"),
                QStringLiteral("INSERT INTO [changes] VALUES (1, 'Product removed', 'N 000002/001', 'BETA', "
                               "'BETA 1G TABLET;ORAL (RX)', NULL, 'Oct 8, 2024', 'Nov 8, 2024', NULL, NULL, NULL, "
                               "NULL, NULL)"),
                QStringLiteral("INSERT INTO [changes] VALUES (2, 'Exclusivity date changed', "
                               "'N 000001/001 PED Mar 1, 2031', 'ALPHA', 'Sep 1, 2030', 'Mar 1, 2031', 'Oct 8, 2024', "
                               "'Nov 8, 2024', 'N', '000001', '001', NULL, 'PED')"),
            });
}

// A removed record has no newer one: the window says so and stays where it is.
void ChangesWindowTest::removedRecordIsSaidToHaveNoNewerOne()
{
    const QString path = m_dir.filePath(QStringLiteral("removed.mdb"));
    buildHandMadeChanges(path);
    QVERIFY(openChanges(path));
    QCOMPARE(m_window->lstKinds()->item(1)->text(), QStringLiteral("Product removed (1)"));
    chooseKind(QStringLiteral("Product removed"));
    QTreeWidget *list = m_window->lstChanges();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("BETA 1G TABLET;ORAL (RX)"));
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Key"));
    doubleClickLine(list, 0);
    QCOMPARE(activeWindow(), m_window);
    QCOMPARE(m_window->lblMessage()->text(),
             QStringLiteral("N 000002/001 is not in the release of Nov 8, 2024 (Product removed): there is no newer "
                            "record to show."));
    QCOMPARE(m_main->childWindow(frmMainForm::ShowDrugs) != nullptr, true); // the start-up window, untouched
    QCOMPARE(m_main->drugsWindow()->lstSearchID()->count(), 0);
}

// Of two PED rows of one product, the change of a date leads to the row of its new date.
void ChangesWindowTest::exclusivityDateChangeShowsTheRowOfItsNewDate()
{
    const QString path = m_dir.filePath(QStringLiteral("exclusivity.mdb"));
    buildHandMadeChanges(path);
    QVERIFY(openChanges(path));
    chooseKind(QStringLiteral("Exclusivity date changed"));
    doubleClickLine(m_window->lstChanges(), 0);
    auto *exclusivities = qobject_cast<frmExclusivity *>(activeWindow());
    QVERIFY(exclusivities);
    QCOMPARE(exclusivities->lstSearch()->count(), 3);
    QCOMPARE(exclusivities->lstSearchID()->key(exclusivities->lstSearch()->currentRow()), 2);
    QVERIFY(m_window->lblMessage()->text().isEmpty());
}

// The bundled database was imported without an older release: the window says how to
// make the changes, lists nothing, and nothing fails.
void ChangesWindowTest::databaseWithoutChangesSaysHowToMakeThem()
{
    QVERIFY(openChanges(QStringLiteral(KVOSTREL_DB_PATH)));
    QVERIFY(!m_window->hasChanges());
    QCOMPARE(m_window->lblReleases()->text(),
             QStringLiteral("This database holds no list of changes: it was imported without an older release to "
                            "compare with."));
    QVERIFY2(m_window->lblMessage()->text().contains(
                 QStringLiteral("kvostrel-import --fda NEWER_RELEASE.zip --previous OLDER_RELEASE.zip")),
             qPrintable(m_window->lblMessage()->text()));
    QVERIFY(!m_window->lstKinds()->isVisibleTo(m_window));
    QCOMPARE(m_window->lstKinds()->count(), 0);
    QCOMPARE(QApplication::focusWidget(), m_window->lblMessage());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(m_window->changesTable().rows.size(), 0);
}

// A changes table the window cannot read: the failure is said, nothing is listed as if
// there were no changes, and nothing else fails.
void ChangesWindowTest::changesThatCannotBeReadAreReported()
{
    const QString path = m_dir.filePath(QStringLiteral("damaged.mdb"));
    createDatabase(path,
                   referenceTables()
                       + QStringList{QStringLiteral("CREATE TABLE [changes] (ID INTEGER PRIMARY KEY, Other TEXT)"),
                                     QStringLiteral("CREATE TABLE [compared release] (ID INTEGER PRIMARY KEY, "
                                                    "[Release Date] TEXT)"),
                                     QStringLiteral("INSERT INTO [changes] VALUES (1, 'x')")});
    QVERIFY(openChanges(path));
    QVERIFY(!m_window->hasChanges());
    QCOMPARE(m_window->lblReleases()->text(), QStringLiteral("The changes could not be read."));
    QVERIFY2(m_window->lblMessage()->text().contains(QStringLiteral("Kind")),
             qPrintable(m_window->lblMessage()->text()));
    QVERIFY(!m_window->lstKinds()->isVisibleTo(m_window));
    QCOMPARE(QApplication::focusWidget(), m_window->lblMessage());
    QVERIFY(!QApplication::activeModalWidget());
}

// The export writes the changes listed, every column, with both release dates.
void ChangesWindowTest::exportWritesTheChangesListed()
{
    QVERIFY(openChanges(ChangesDatabase));
    const QStringList dates = queryColumn(QStringLiteral("SELECT [Release Date] FROM [compared release] ORDER BY ID"));
    for (const QString &kind : {QStringLiteral("Patent expiry moved later"), QStringLiteral("Exclusivity added")}) {
        chooseKind(kind);
        const QString path = m_dir.filePath(QStringLiteral("changes.csv"));
        QCOMPARE(m_window->exportTo(path), QString());
        const QVector<QStringList> csv = readCsv(path);
        QVector<QStringList> expected{{QStringLiteral("Kind"), QStringLiteral("Key"), QStringLiteral("Trade name"),
                                       QStringLiteral("Old value"), QStringLiteral("New value"),
                                       QStringLiteral("Older release"), QStringLiteral("Newer release")}};
        for (const QVariantList &row : queryProgramConnection(changesOf(kind)).rows) {
            expected << texts(row).mid(0, 5) + dates;
        }
        QVERIFY(expected.size() > 1);
        QCOMPARE(csv, expected);
    }
    // Every change at once.
    m_window->lstKinds()->setCurrentRow(0);
    const QString all = m_dir.filePath(QStringLiteral("all.csv"));
    QCOMPARE(m_window->exportTo(all), QString());
    QCOMPARE(readCsv(all).size() - 1, countOf(QStringLiteral("SELECT count(*) FROM changes")));
}

void ChangesWindowTest::columnWidthsShareTheListsWidth_data()
{
    QTest::addColumn<std::vector<int>>("wanted");
    QTest::addColumn<int>("whole");
    QTest::addColumn<std::vector<int>>("widths");
    // Kind and key whole; the name and the values share the rest 2:3:3.
    QTest::newRow("every kind") << std::vector<int>{150, 100, 300, 400, 500} << 2
                                << std::vector<int>{150, 100, 100, 150, 150};
    // A value that wants less than its share leaves the rest to the others.
    QTest::newRow("short old value") << std::vector<int>{150, 100, 300, 60, 500} << 2
                                     << std::vector<int>{150, 100, 136, 60, 204};
    // A whole column within 30%, then given what the others leave; the rest to the last.
    QTest::newRow("long key, room to spare")
        << std::vector<int>{400, 50, 50, 50} << 1 << std::vector<int>{350, 50, 50, 50};
    QTest::newRow("short columns") << std::vector<int>{100, 50, 50, 50} << 1 << std::vector<int>{100, 50, 50, 300};
}

// The columns fill the list's width exactly when they want more, so nothing needs
// scrolling sideways; the kind and the key are not cut below what they want.
void ChangesWindowTest::columnWidthsShareTheListsWidth()
{
    QFETCH(std::vector<int>, wanted);
    QFETCH(int, whole);
    QFETCH(std::vector<int>, widths);
    const int available = whole == 2 ? 650 : 500;
    QCOMPARE(frmChanges::fitColumns(wanted, size_t(whole), available), widths);
}

void ChangesWindowTest::everyKindShowsItsColumnsWithoutScrolling_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < 8; ++row) {
        QTest::newRow(qPrintable(QString::number(row))) << row;
    }
}

// Maximised at 1024x768, every column of every kind's changes shows without scrolling
// sideways; in the list of every change each kind shows whole (its words before a
// colon), read out and shown in the tooltip as the whole kind; an elided value's
// tooltip holds the whole value.
void ChangesWindowTest::everyKindShowsItsColumnsWithoutScrolling()
{
    QFETCH(int, row);
    QVERIFY(openChanges(ChangesDatabase));
    QVERIFY(row < m_window->lstKinds()->count());
    m_window->lstKinds()->setCurrentRow(row);
    QTreeWidget *list = m_window->lstChanges();
    QApplication::processEvents();
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    const int columns = list->columnCount();
    QCOMPARE(columns, row == 0 ? 5 : 4);
    for (int column = 0; column < columns; ++column) {
        const int right = list->header()->sectionViewportPosition(column) + list->columnWidth(column);
        QVERIFY2(
            list->columnWidth(column) >= 48 && right <= list->viewport()->width(),
            qPrintable(QStringLiteral("column %1 at %2 of %3").arg(column).arg(right).arg(list->viewport()->width())));
    }
    if (row == 0) {
        const int kindWidth = list->columnWidth(0);
        list->resizeColumnToContents(0);
        QVERIFY2(list->columnWidth(0) <= kindWidth, "the kind column is narrower than its longest kind");
        list->setColumnWidth(0, kindWidth);
    }
    const QFontMetrics metrics(list->font());
    bool elidedValueSeen = false;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list->topLevelItem(i);
        const auto &change = m_window->changesTable().rows.at(i);
        if (row == 0) {
            const QString read = item->data(0, Qt::AccessibleTextRole).toString();
            QCOMPARE(read.isEmpty() ? item->text(0) : read, change.at(0));
            QVERIFY(change.at(0).startsWith(item->text(0)));
        }
        const int value = columns - 1;
        const QRect cell = list->visualRect(list->model()->index(i, value));
        if (!elidedValueSeen && cell.isValid() && list->viewport()->rect().contains(cell)
            && metrics.horizontalAdvance(item->text(value)) > cell.width()) {
            elidedValueSeen = true;
            QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(list->viewport(), &help);
            QTRY_COMPARE(QToolTip::text(), change.at(4));
            QToolTip::hideText();
        }
    }
    QVERIFY(elidedValueSeen || row != 0); // every change holds long values
}

void ChangesWindowTest::labelsOnTheBackdropReadInEveryTheme_data()
{
    QTest::addColumn<int>("theme");
    for (int theme = 0; theme < 3; ++theme) {
        QTest::newRow(qPrintable(Ribbon::RibbonTheme::themeName(theme))) << theme;
    }
}

// The texts drawn on the theme's backdrop (a search window's count and its typing
// option, the Changes window's labels) have at least the contrast of 4.5 to 1 against
// the backdrop beneath their text (square by square of a line's height), in every theme.
void ChangesWindowTest::labelsOnTheBackdropReadInEveryTheme()
{
    QFETCH(int, theme);
    QVERIFY(openChanges(ChangesDatabase));
    auto *ribbon = m_main->findChild<Ribbon::ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    QVERIFY(ribbon);
    ribbon->setTheme(theme);
    m_main->setThemeBackdrop(ribbon->LoadBackground(), ribbon->BackColor());
    for (const int command : {int(frmMainForm::ShowDrugs), int(frmMainForm::Patents), int(frmMainForm::Changes)}) {
        m_main->PressMenuButton(command);
        auto *window = qobject_cast<Components::BackdropWidget *>(activeWindow());
        QVERIFY(window);
        QApplication::processEvents();
        QList<QWidget *> texts;
        if (auto *search = qobject_cast<SearchWindow *>(window)) {
            search->txtSearch()->setText(QStringLiteral("ZOCOR"));
            search->cmdSearch()->click();
            texts = {search->lblSearch(), search->chkTyping()};
        } else {
            for (QLabel *label : window->findChildren<QLabel *>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    texts << label;
                }
            }
        }
        QVERIFY(texts.size() >= 2);
        // The backdrop alone, as the window paints it beneath its controls.
        QImage backdrop(window->size(), QImage::Format_RGB32);
        window->render(&backdrop, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        for (QWidget *text : texts) {
            QVERIFY(text->isVisible());
            const QRect under = Components::BackdropText::textArea(text).translated(text->mapTo(window, QPoint(0, 0)));
            QVERIFY(!under.isEmpty());
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                const QColor colour = text->palette().color(group, text->foregroundRole());
                const double contrast = Components::BackdropText::lowestContrast(colour, backdrop.copy(under),
                                                                                 text->fontMetrics().height());
                QVERIFY2(contrast >= Components::BackdropText::MinimumContrast,
                         qPrintable(QStringLiteral("%1 '%2' in %3: %4 to 1")
                                        .arg(window->windowTitle(), text->objectName(), colour.name())
                                        .arg(contrast, 0, 'f', 2)));
            }
        }
    }
}

QTEST_MAIN(ChangesWindowTest)
#include "tst_changes_window.moc"
