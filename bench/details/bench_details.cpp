// Not a test: prints how fast a click on a line of the drug window's list shows that
// product's record: from the mouse button's press (then its release, as the window
// system delivers them) until the details grid has been painted.
//
//   bench_details [database file] [runs]
//
// The floor: the product's record read with SQLite's C API on the same connection, by
// the statement the window reads it with (every column stepped to as text). The
// program and the floor take turns (A B, then B A, ...); each click goes to another
// product, spread over the whole list.

#include "BenchSupport.h"
#include "app/frmMainForm.h"
#include "components/VbalGrid.h"
#include "data/SqlText.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/frmDrugs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextStream>

using namespace Bench;

namespace {

// The record's statement through the C API, every column read as text, in milliseconds.
double readRecordFloor(const QString &sql, int *columns)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = Connection::shared().handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    std::vector<std::string> values;
    if (db && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
                values.emplace_back(value ? value : "", size_t(sqlite3_column_bytes(statement, c)));
            }
        }
    }
    sqlite3_finalize(statement);
    const double ms = timer.nsecsElapsed() / 1e6;
    *columns = int(values.size());
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const auto [database, runs] = databaseAndRuns(app.arguments(), 200, out);
    if (database.isEmpty()) {
        return 1;
    }
    App::frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(database);
    main.resize(1024, 768);
    main.show();
    Search::frmDrugs *drugs = main.drugsWindow();
    drugs->txtSearch()->clear();
    drugs->cmdSearch()->click(); // every product
    QApplication::processEvents();
    Search::HitList *list = drugs->lstSearch();
    QWidget *viewport = list->viewport();
    PaintCounter paints(drugs->vbalGrid()->itemView()->viewport());

    // Each click on a line of a screenful scrolled to a spread of the list, below the
    // chosen line, so that it always chooses another product.
    int clicks = 0;
    int line = 0;
    const auto nextLine = [&] {
        line = int(qint64(clicks++) * 7919 % std::max(1, list->count() - 1)) + 1;
        list->scrollTo(list->model()->index(line, 0), QAbstractItemView::PositionAtCenter);
        QApplication::processEvents();
        return list->visualRect(list->model()->index(line, 0)).center();
    };
    QString lastTitle;
    std::vector<double> clickCpu, floorCpu;
    const auto click = [&] {
        const QPoint at = nextLine();
        const int before = paints.count();
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        while (paints.count() == before && timer.elapsed() < 5000) {
            QApplication::processEvents();
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        clickCpu.push_back(threadCpuMs() - cpuStart);
        if (list->currentRow() != line) {
            out << "the click on line " << line << " chose line " << list->currentRow() << "\n";
            std::exit(1);
        }
        lastTitle = drugs->lblTradeName()->text();
        return ms;
    };
    int columns = 0;
    const auto floor = [&] {
        const qint32 id = qint32(drugs->lstSearchID()->key(line));
        return readRecordFloor(Db::SqlText::details(Db::SqlText::Window::Drugs, id), &columns);
    };
    const auto [painted, floors] = alternating(runs, click, withCpuTime(floorCpu, floor));
    clickCpu.erase(clickCpu.begin()); // the warm-up run
    floorCpu.erase(floorCpu.begin());

    out << "database: " << database << "\n";
    out << "a click on a line of every product's list to its record painted, " << runs
        << " products spread over the list, program and floor in turn:\n";
    out << "  floor: the record by C API            " << p50p99(floors) << "  (" << columns << " columns)\n";
    out << "  click to details grid painted         " << p50p99(painted) << "\n";
    out << QStringLiteral("  the click's p50 is %1 x the floor's\n")
               .arg(percentile(painted, 0.5) / percentile(floors, 0.5), 0, 'f', 1);
    out << "  CPU time of this thread: floor        " << p50p99(floorCpu) << "\n";
    out << "    click to details grid painted       " << p50p99(clickCpu) << "\n";
    out << "  last record: " << lastTitle << "\n";
    return 0;
}
