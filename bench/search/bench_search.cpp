// Not a test: prints how fast the drug window lists and shows, and how much memory it
// takes with every product listed.
//
//   bench_search [database file] [runs]
//
// 1. The empty quick search (every product) from the Enter key to the list shown and
//    the count set, beside the same SQL text run to its last row on the same connection.
// 2. One details fill (GetProductDetails) per product of a spread of keys.
// 3. Peak resident memory (VmHWM) once every product is listed.
// 4. The ingredient window's grid rebuilt with the products of the ingredient text
//    that most products share.

#include "BenchSupport.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "NoWindows.h"
#include "data/SqlText.h"
#include "components/VbalGrid.h"
#include "search/frmDrugs.h"
#include "search/frmIngredients.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace Common;
using namespace Db;
using namespace Search;

using namespace Bench;

namespace {

// Enter released in the search box: the time until the list is shown and the count
// set (the key's handler returns), and the time until the shown list is painted.
std::pair<double, double> pressEnter(frmDrugs &window)
{
    QElapsedTimer timer;
    timer.start();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.txtSearch(), &release);
    const double shown = timer.nsecsElapsed() / 1e6;
    QApplication::processEvents();
    return {shown, timer.nsecsElapsed() / 1e6};
}

} // namespace

int main(int argc, char *argv[])
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KVOSTREL_DB_PATH);
    const int runs = argc > 2 ? qMax(1, atoi(argv[2])) : 7;

    try {
        Connection::shared().open(database);
    } catch (const AppError &error) {
        out << error.description() << "\n";
        return 1;
    }
    out << "database: " << database << "\n";
    out << "resident before the window: " << processStatus("VmRSS:") << "\n";

    WindowTest::NoWindows host;
    frmDrugs window(&host);
    window.resize(1010, 640);
    window.show();
    QApplication::processEvents();

    // 1. Every product, runs alternating between the window and the bare SQL text.
    const QString sql = SqlText::nameSearch(SqlText::Window::Drugs, QString());
    std::vector<double> sqlTimes;
    std::vector<double> windowTimes;
    std::vector<double> paintedTimes;
    int rows = 0;
    runSqlToLastRow(sql, &rows); // warm the page cache once
    for (int run = 0; run < runs; ++run) {
        sqlTimes.push_back(runSqlToLastRow(sql, &rows));
        const auto [shown, painted] = pressEnter(window);
        windowTimes.push_back(shown);
        paintedTimes.push_back(painted);
    }
    const int listed = window.lstSearch()->count();
    const double sqlMs = median(sqlTimes);
    const double windowMs = median(windowTimes);
    out << "\nempty quick search, median of " << runs << " runs:\n";
    out << QStringLiteral("  SQL text to its last row   %1 ms  (%2 rows)\n").arg(sqlMs, 8, 'f', 1).arg(rows);
    out << QStringLiteral("  Enter to list shown        %1 ms  (%2 lines, \"%3\")\n")
               .arg(windowMs, 8, 'f', 1)
               .arg(listed)
               .arg(window.lblSearch()->text());
    out << QStringLiteral("  ratio                      %1 x   (target: at most 1.5)\n")
               .arg(windowMs / sqlMs, 8, 'f', 2);
    out << QStringLiteral("  Enter to list painted      %1 ms\n").arg(median(paintedTimes), 8, 'f', 1);

    // 3. Memory with every product listed.
    out << "\npeak resident memory with every product listed: " << processStatus("VmHWM:")
        << "  (target: under 80 MB)\n";

    // 2. Details fills over a spread of the listed keys.
    std::vector<double> fills;
    const KeyList *keys = window.lstSearchID();
    const int samples = qMin(keys->count(), 500);
    for (int i = 0; i < samples; ++i) {
        const qint32 id = keys->text(int(qint64(i) * keys->count() / samples)).toInt();
        QElapsedTimer timer;
        timer.start();
        window.GetProductDetails(id);
        fills.push_back(timer.nsecsElapsed() / 1e6);
    }
    out << "\ndetails fill (GetProductDetails), " << samples << " products:\n";
    out << QStringLiteral("  median %1 ms, slowest %2 ms  (target: under 5 ms)\n")
               .arg(median(fills), 0, 'f', 2)
               .arg(*std::max_element(fills.begin(), fills.end()), 0, 'f', 2);
    out << "  last title: " << window.lblTradeName()->text() << "\n";

    // 4. The ingredient window's longest grid.
    frmIngredients ingredients(&host);
    ingredients.resize(1010, 640);
    ingredients.show();
    QApplication::processEvents();
    QSqlQuery largest(Connection::shared().database());
    largest.exec(QStringLiteral("SELECT ingredient FROM products GROUP BY ingredient ORDER BY count(*) DESC LIMIT 1"));
    const QString ingredient = largest.next() ? largest.value(0).toString() : QString();
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

    Connection::releaseShared();
    return 0;
}
