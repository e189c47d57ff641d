// Not a test: prints how fast the drug window lists and shows, and how much memory it
// takes with every product listed, each beside its floor measured in the same run.
//
//   bench_search [database file] [runs] [10x database file]
//
// 1. Quick searches (the empty one: every product; "ASP") from the Enter key to the
//    list's viewport painted, beside the floor: the same SQL text read with SQLite's C
//    API into std::string and int in this process, then handed to a bare list view
//    that shows the same names and details, until it has been painted (and, as
//    context, the read alone and QSqlQuery), the program and the floor in turn.
//    "first read" forgets the kept lists before each run; "repeated" is the same
//    statement again, answered from the kept list.
// 2. Peak resident memory (VmHWM) once every product is listed (taken before step 1,
//    whose floors hold a copy of the rows).
// 3. One details fill (GetProductDetails) per product of a spread of 500 keys.
// 4. The ingredient window's grid rebuilt with the products of the ingredient text
//    that most products share.
// 5. Step 1 again on the database with 10x the products (make_10x_database builds it
//    beside kvostrel.mdb; a missing file skips this step).

#include "BareHitList.h"
#include "BenchSupport.h"
#include "NoWindows.h"
#include "components/VbalGrid.h"
#include "data/SqlText.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/frmDrugs.h"
#include "search/frmIngredients.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace Common;
using namespace Db;
using namespace Search;

using namespace Bench;

namespace {

constexpr double TargetRatio = 1.5;

// Enter pressed and released in the search box (the search runs on the release): the
// time from the release until the list is shown and the count set (the key's handler
// returns), and the time until the list's viewport has been painted (events processed
// until a paint of it has passed).
std::pair<double, double> pressEnter(frmDrugs &window, const PaintCounter &paints)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.txtSearch(), &press);
    const int before = paints.count();
    QElapsedTimer timer;
    timer.start();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.txtSearch(), &release);
    const double shown = timer.nsecsElapsed() / 1e6;
    while (paints.count() == before && timer.elapsed() < 5000) {
        QApplication::processEvents();
    }
    return {shown, timer.nsecsElapsed() / 1e6};
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

// One quick search timed against its floor, program and floor in turn (A B, then B A,
// ...); prints its figures and returns whether the first read, painted, is within the
// target ratio of its floor with its paint (the rows read with the C API into a bare
// list view showing the same names and details, until it has been painted).
bool timeQuickSearch(QTextStream &out, frmDrugs &window, const QString &text, int runs)
{
    window.txtSearch()->setText(text);
    const PaintCounter paints(window.lstSearch()->viewport());
    const QString sql = SqlText::nameSearch(SqlText::Window::Drugs, text);
    std::vector<double> qsql, shown, repeated;
    int rows = 0;
    int qsqlRows = 0;
    const auto [painted, floors] = alternating(
        runs,
        [&] {
            Connection::shared().forgetLists();
            const auto [windowShown, windowPainted] = pressEnter(window, paints);
            shown.push_back(windowShown);
            return windowPainted;
        },
        [&] { return readFloor(sql, &rows); });
    // The floor with its paint: the same rows read the same way into a bare list of the
    // hit list's size and font, with the shown lines' details, until it has been painted.
    BareHitListModel model(productsHaveReferenceStandard());
    QListView bare;
    bare.setUniformItemSizes(true);
    bare.setModel(&model);
    bare.setFont(window.lstSearch()->font());
    bare.resize(window.lstSearch()->size());
    bare.show();
    QApplication::processEvents();
    const PaintCounter barePaints(bare.viewport());
    const auto [paintedAgain, bareFloors] = alternating(
        runs,
        [&] {
            Connection::shared().forgetLists();
            return pressEnter(window, paints).second;
        },
        [&] {
            model.setLines({});
            QApplication::processEvents();
            const int before = barePaints.count();
            QElapsedTimer timer;
            timer.start();
            model.setLines(readBareLines(sql));
            bare.setCurrentIndex(model.index(0, 0));
            while (barePaints.count() == before && timer.elapsed() < 5000) {
                QApplication::processEvents();
            }
            return timer.nsecsElapsed() / 1e6;
        });
    bare.hide();
    for (int run = 0; run < runs; ++run) {
        repeated.push_back(pressEnter(window, paints).second);
        qsql.push_back(runSqlToLastRow(sql, &qsqlRows));
    }
    shown.erase(shown.begin()); // the warm-up run
    const bool met = percentile(paintedAgain, 0.5) <= TargetRatio * percentile(bareFloors, 0.5);
    out << QStringLiteral("quick search \"%1\", %2 runs, program and floor in turn:\n").arg(text).arg(runs);
    out << "  floor: C API into std::string and int  " << p50p99(floors) << "  (" << rows << " rows)\n";
    out << "  QSqlQuery to its last row              " << p50p99(qsql) << "\n";
    out << "  Enter to list shown, first read        " << p50p99(shown)
        << QStringLiteral("  (%1 lines, \"%2\")\n").arg(window.lstSearch()->count()).arg(window.lblSearch()->text());
    out << "  Enter to list painted, first read      " << p50p99(painted) << "  = "
        << ratioVerdict(painted, floors, TargetRatio) << "  (the read alone: context)\n";
    out << "  floor with its paint: a bare list view " << p50p99(bareFloors) << "  (names and details)\n";
    out << "  Enter to list painted, first read      " << p50p99(paintedAgain) << "  = "
        << ratioVerdict(paintedAgain, bareFloors, TargetRatio) << "\n";
    out << "  Enter to list painted, repeated        " << p50p99(repeated) << "\n";
    out.flush();
    return met;
}

} // namespace

int main(int argc, char *argv[])
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KVOSTREL_DB_PATH);
    const int runs = argc > 2 ? qMax(1, atoi(argv[2])) : 9;
    const QString database10x = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(KVOSTREL_10X_DB_PATH);

    if (!openDatabase(out, database)) {
        return 1;
    }
    out << "resident before the window: " << processStatus("VmRSS:") << "\n\n";

    WindowTest::NoWindows host;
    frmDrugs window(&host);
    window.resize(1010, 640);
    window.show();
    QApplication::processEvents();

    // 2. Memory with every product listed, taken first: the floors of step 1 hold
    // their own copy of the rows, which is not the program's. The search runs twice,
    // the second read anew while the list still shows the first.
    window.txtSearch()->clear();
    pressEnter(window, PaintCounter(window.lstSearch()->viewport()));
    Connection::shared().forgetLists();
    pressEnter(window, PaintCounter(window.lstSearch()->viewport()));
    const QString peak = processStatus("VmHWM:");
    const QString resident = processStatus("VmRSS:");

    // 1. The empty search (every product) and "ASP".
    bool allMet = timeQuickSearch(out, window, QString(), runs);
    allMet = timeQuickSearch(out, window, QStringLiteral("ASP"), runs) && allMet;

    window.txtSearch()->clear();
    pressEnter(window, PaintCounter(window.lstSearch()->viewport()));
    const bool memoryMet = peak.section(QLatin1Char(' '), 0, 0).toLongLong() <= 45 * 1024;
    out << "\npeak resident memory with every product listed: " << peak
        << "  (target: at most 45 MB: " << verdict(memoryMet) << ")\n";
    out << "resident with every product listed: " << resident << "\n";

    // 3. Details fills over a spread of the listed keys.
    std::vector<double> fills;
    const KeyList *keys = window.lstSearchID();
    const int samples = qMin(keys->count(), 500);
    for (int i = 0; i < samples; ++i) {
        const qint32 id = qint32(keys->key(int(qint64(i) * keys->count() / samples)));
        QElapsedTimer timer;
        timer.start();
        window.GetProductDetails(id);
        fills.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double slowest = fills.empty() ? 0 : *std::max_element(fills.begin(), fills.end());
    out << "\ndetails fill (GetProductDetails), " << samples << " products:\n";
    out << QStringLiteral("  median %1 ms, slowest %2 ms  (target: slowest under 5 ms: %3)\n")
               .arg(median(fills), 0, 'f', 2)
               .arg(slowest, 0, 'f', 2)
               .arg(verdict(slowest < 5));
    out << "  last title: " << window.lblTradeName()->text() << "\n";
    if (qEnvironmentVariableIsSet("BENCH_SLOWEST")) {
        for (size_t i = 0; i < fills.size(); ++i) {
            if (fills[i] > 1) {
                out << "  fill " << i << ": " << fills[i] << " ms\n";
            }
        }
    }

    // 4. The ingredient window's longest grid.
    frmIngredients ingredients(&host);
    ingredients.resize(1010, 640);
    ingredients.show();
    QApplication::processEvents();
    QString ingredient;
    {
        RowSet &largest = openSharedQuery(
            QStringLiteral("SELECT ingredient FROM products GROUP BY ingredient ORDER BY count(*) DESC LIMIT 1"));
        RowSetCloser closer(largest);
        ingredient = largest.eof() ? QString() : fieldText(largest.field(0));
    }
    std::vector<double> rebuilds;
    for (int run = 0; run < 5 * runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        ingredients.GetProductDetails(ingredient);
        rebuilds.push_back(timer.nsecsElapsed() / 1e6);
    }
    out << "\ningredient window fill (GetProductDetails), median of " << rebuilds.size() << " runs:\n";
    out << QStringLiteral("  %1 ms for %2 product rows of \"%3\"\n")
               .arg(median(rebuilds), 0, 'f', 2)
               .arg(ingredients.vbalGrid()->rowCount())
               .arg(ingredient);
    out.flush();

    // 5. The same searches with 10x the products.
    if (QFile::exists(database10x)) {
        window.lstSearch()->clear();
        window.lstSearchID()->clear();
        ingredients.clearShownRecord();
        if (!openDatabase(out, database10x)) {
            return 1;
        }
        allMet = timeQuickSearch(out, window, QString(), runs) && allMet;
        allMet = timeQuickSearch(out, window, QStringLiteral("ASP"), runs) && allMet;
        out << "peak resident memory after the 10x lists: " << processStatus("VmHWM:") << "\n";
    } else {
        out << "\nno 10x database at " << database10x << " (make_10x_database builds it)\n";
    }
    out << "\nlist targets (first read painted at most " << TargetRatio << " x its floor): " << verdict(allMet) << "\n";
    out.flush();

    Connection::releaseShared();
    return 0;
}
