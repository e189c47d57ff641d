// Not a test: prints how fast a double click on the drug window's "Substitutable
// products" row lists the product's substitutes.
//
//   bench_substitutes [database file] [runs]
//
// Timed from the row's double click to the hit list painted: the substitutes statement
// run, the list filled and painted, the product selected in it and its record shown
// again. Printed beside its floor: the same statement alone, read with SQLite's C API
// into std::string and int on the same connection. The program and the floor take turns
// (A B, then B A, ...); each program run forgets the kept lists first and starts from
// the product's record, as a user does (that record's own time printed apart). For 10x the products, give the database
// make_10x_database builds (kvostrel-10x.mdb): each product then has ten copies of
// each of its substitutes.

#include "BenchSupport.h"
#include "components/VbalGrid.h"
#include "search/HitList.h"
#include "search/frmDrugs.h"
#include "app/frmMainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextStream>

using namespace Db;
using namespace Search;
using namespace App;
using namespace Bench;

int main(int argc, char **argv)
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const auto [database, runs] = databaseAndRuns(app.arguments(), 51, out);
    if (database.isEmpty()) {
        return 1;
    }

    frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(database);
    main.resize(1024, 768);
    main.show();
    main.PressMenuButton(frmMainForm::ShowDrugs);
    QApplication::processEvents();
    frmDrugs *drugs = main.drugsWindow();
    PaintCounter paints(drugs->lstSearch()->viewport());

    out << "database: " << database << "\n";
    out << "the substitutes row double-clicked, " << runs << " runs, program and floor in turn (16 ms: one frame):\n";
    // LIPITOR EQ 20MG BASE (AB), levothyroxine 0.025MG (AB2 of AB1 to AB4 groups),
    // PROCARDIA XL 30MG (AB2, beside an AB1 group of its strength).
    const std::pair<qint32, const char *> products[]
        = {{36391, "LIPITOR 20MG"}, {32679, "levothyroxine 0.025MG AB2"}, {25465, "PROCARDIA XL 30MG"}};
    bool withinFrame = true;
    for (const auto &[id, name] : products) {
        const QString statement = SqlText::substitutes(id);
        int floorRows = 0;
        std::vector<double> shown, handled;
        const auto doubleClick = [&] {
            Connection::shared().forgetLists();
            QElapsedTimer record;
            record.start();
            drugs->GetProductDetails(id);
            shown.push_back(record.nsecsElapsed() / 1e6);
            QApplication::processEvents();
            const int before = paints.count();
            QElapsedTimer timer;
            timer.start();
            emit drugs->vbalGrid()->cellDoubleClicked(frmDrugs::SubstitutesRow, frmDrugs::ValueColumn);
            handled.push_back(timer.nsecsElapsed() / 1e6);
            while (paints.count() == before && timer.elapsed() < 5000) {
                QApplication::processEvents();
            }
            return timer.nsecsElapsed() / 1e6;
        };
        const auto [painted, floors] = alternating(runs, doubleClick, [&] { return readFloor(statement, &floorRows); });
        out << "  " << name << " (" << id << "): " << drugs->lstSearch()->count() << " lines, "
            << drugs->lblSearch()->text().section(QLatin1Char(':'), 0, 0) << "\n";
        out << "    floor: C API into std::string and int   " << p50p99(floors) << "  (" << floorRows << " rows)\n";
        out << "    double click to the list painted      " << p50p99(painted) << "\n";
        out << "    double click to its handler's end     " << p50p99(handled) << "\n";
        out << "    the product's record shown (before)   " << p50p99(shown) << "\n";
        withinFrame = withinFrame && percentile(painted, 0.99) <= 16.0;
    }
    out << (withinFrame ? "every p99 within a frame\n" : "a p99 beyond a frame\n");
    out.flush();
    main.close();
    return 0;
}
