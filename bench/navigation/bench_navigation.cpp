// Not a test: prints how fast a double click in the dosage form window showing TABLET
// brings up the drug window with every product whose dosage form is TABLET.
//
//   bench_navigation [database file] [runs]
//
// Timed from the grid's double click to the drug window's list painted: the window
// brought forward, its parameter rows set, its advanced search run, the hit list filled
// and painted, the first product shown. Printed beside its floor: the drug window's
// statement alone, read with SQLite's C API into std::string and int on the same
// connection (and, as a second yardstick, through QSqlQuery). The program and the floor
// take turns (A B, then B A, ...); each program run forgets the kept lists first.
// A second floor counts the paint too: the same rows read the same way, handed to a
// bare list view of the drug window's list's size and font (uniform line heights, each
// line made text only when drawn, with its detail read for the lines drawn, a screenful
// in one statement, and drawn after it by the default delegate) and timed until it has
// been painted.
// For 10x the products, give the database make_10x_database builds (kvostrel-10x.mdb).

#include "search/AdvancedSearch.h"
#include "BareHitList.h"
#include "BenchSupport.h"
#include "search/HitList.h"
#include "components/VbalGrid.h"
#include "search/frmDosageForm.h"
#include "search/frmDrugs.h"
#include "app/frmMainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTextStream>

using namespace Db;
using namespace Search;
using namespace App;

using namespace Bench;

namespace {

constexpr int DosageFormRow = 11; // the drug window's "Dosage Form" parameter row

// The drug window's statement for the products whose dosage form is `name`, as the
// navigation runs it.
QString drugStatement(const QString &name)
{
    QVector<AdvancedSearch::Row> rows(AdvancedSearch::RowCount);
    rows[DosageFormRow] = {QStringLiteral("Dosage Form"), name, true};
    return AdvancedSearch::statement(SqlText::Window::Drugs, rows, AdvancedSearch::Exactly,
                                     AdvancedSearch::AllKeywords);
}

} // namespace

int main(int argc, char **argv)
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const auto [database, runs] = databaseAndRuns(arguments, 15, out);
    if (database.isEmpty()) {
        return 1;
    }

    frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(database);
    main.resize(1024, 768);
    main.show();
    QApplication::processEvents();

    main.PressMenuButton(frmMainForm::DosageForm);
    frmDosageForm *forms = main.dosageFormWindow();
    forms->txtSearch()->setText(QStringLiteral("TABLET"));
    forms->PressFindButton();
    forms->lstSearch()->setCurrentRow(int(forms->lstSearch()->lines().indexOf(QStringLiteral("TABLET"))));
    if (forms->vbalGrid()->cellText(1, RecordWindow::ValueColumn) != QLatin1String("TABLET")) {
        out << "the dosage form TABLET is not in " << database << "\n";
        return 1;
    }
    frmDrugs *drugs = main.drugsWindow();

    const QString statement = drugStatement(QStringLiteral("TABLET"));
    // The clock stops once the drug window's list has been painted: the events are
    // processed until a paint of its viewport has passed.
    PaintCounter paints(drugs->lstSearch()->viewport());
    std::vector<double> handled, repeated, paintedCpu, repeatedCpu, floorCpu, bareCpu;
    int floorRows = 0;
    int sqlRows = 0;
    const auto doubleClick = [&](bool firstRead) {
        main.PressMenuButton(frmMainForm::DosageForm);
        QApplication::processEvents();
        if (firstRead) {
            Connection::shared().forgetLists();
        }
        const int before = paints.count();
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        emit forms->vbalGrid()->cellDoubleClicked(1, RecordWindow::ValueColumn);
        const double navigated = timer.nsecsElapsed() / 1e6;
        while (paints.count() == before && timer.elapsed() < 5000) {
            QApplication::processEvents();
        }
        (firstRead ? handled : repeated).push_back(navigated);
        (firstRead ? paintedCpu : repeatedCpu).push_back(threadCpuMs() - cpuStart);
        return timer.nsecsElapsed() / 1e6;
    };
    const auto [painted, floors] = alternating(
        runs, [&] { return doubleClick(true); },
        withCpuTime(floorCpu, [&] { return readFloor(statement, &floorRows); }));

    // The floor with its paint: a bare list of the drug list's size and font, its lines
    // and the shown lines' details read anew. Then, as context, the same list showing
    // the names alone (less than the program shows).
    const auto bareFloor = [&](bool withDetails, std::vector<double> &cpu) {
        BareHitListModel model(productsHaveReferenceStandard(), withDetails);
        QListView bare;
        bare.setUniformItemSizes(true);
        bare.setModel(&model);
        bare.setFont(drugs->lstSearch()->font());
        bare.resize(drugs->lstSearch()->size());
        bare.show();
        QApplication::processEvents();
        PaintCounter barePaints(bare.viewport());
        return alternating(
            runs, [&] { return doubleClick(true); },
            [&] {
                model.setLines({});
                QApplication::processEvents();
                const int before = barePaints.count();
                QElapsedTimer timer;
                const double cpuStart = threadCpuMs();
                timer.start();
                model.setLines(readBareLines(statement));
                bare.setCurrentIndex(model.index(0, 0));
                while (barePaints.count() == before && timer.elapsed() < 5000) {
                    QApplication::processEvents();
                }
                cpu.push_back(threadCpuMs() - cpuStart);
                return timer.nsecsElapsed() / 1e6;
            });
    };
    std::vector<double> namesCpu;
    const auto [paintedAgain, bareFloors] = bareFloor(true, bareCpu);
    const auto [paintedNames, namesFloors] = bareFloor(false, namesCpu);
    // The warm-up runs: the first of each pass.
    handled.erase(handled.begin());
    handled.erase(handled.begin() + runs);
    handled.resize(size_t(2 * runs));
    paintedCpu.erase(paintedCpu.begin());
    std::vector<double> paintedAgainCpu(paintedCpu.begin() + runs + 1, paintedCpu.begin() + 2 * runs + 1);
    std::vector<double> paintedNamesCpu(paintedCpu.begin() + 2 * runs + 2, paintedCpu.end());
    paintedCpu.resize(size_t(runs));
    floorCpu.erase(floorCpu.begin());
    bareCpu.erase(bareCpu.begin());
    namesCpu.erase(namesCpu.begin());
    std::vector<double> again;
    for (int run = 0; run < runs; ++run) {
        again.push_back(doubleClick(false));
    }
    // The drug list's paint alone: its viewport repainted whole, the lines' details
    // already read.
    std::vector<double> listPaints;
    for (int run = 0; run < 200; ++run) {
        QElapsedTimer timer;
        timer.start();
        drugs->lstSearch()->viewport()->repaint();
        listPaints.push_back(timer.nsecsElapsed() / 1e6);
    }
    // Its first paint's own work: the same rows handed to it again (each line laid out
    // afresh, the details already read) until its viewport has been painted.
    std::vector<double> freshPaints;
    for (int run = 0; run < 200; ++run) {
        const int before = paints.count();
        QElapsedTimer timer;
        timer.start();
        drugs->lstSearch()->setRows(drugs->lstSearch()->rows());
        while (paints.count() == before && timer.elapsed() < 5000) {
            QApplication::processEvents();
        }
        freshPaints.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> qsql;
    for (int run = 0; run < runs; ++run) {
        qsql.push_back(runSqlToLastRow(statement, &sqlRows));
    }

    out << "database: " << database << "\n";
    out << "dosage form TABLET double-clicked into the drug window, " << runs << " runs, program and floor in turn:\n";
    out << "  floor: C API into std::string and int   " << p50p99(floors) << "  (" << floorRows << " rows)\n";
    out << "  QSqlQuery to its last row               " << p50p99(qsql) << "\n";
    out << "  double click to drug window painted     " << p50p99(painted) << "  = "
        << ratioVerdict(painted, floors, 1.5) << "\n";
    out << QStringLiteral("  (%1 lines, \"%2\")\n").arg(drugs->lstSearch()->count()).arg(drugs->lblSearch()->text());
    out << "  floor with its paint: a bare list view  " << p50p99(bareFloors) << "\n";
    out << "  double click to drug window painted     " << p50p99(paintedAgain) << "  = "
        << ratioVerdict(paintedAgain, bareFloors, 1.5) << "\n";
    out << "  CPU time of this thread: the read       " << p50p99(floorCpu) << "\n";
    out << "    double click to painted               " << p50p99(paintedCpu) << "  = "
        << ratioVerdict(paintedCpu, floorCpu, 1.5) << "\n";
    out << "    the read and a bare list painted      " << p50p99(bareCpu) << "\n";
    out << "    double click to painted               " << p50p99(paintedAgainCpu) << "  = "
        << ratioVerdict(paintedAgainCpu, bareCpu, 1.5) << "\n";
    out << "  context: a bare list of the names alone " << p50p99(namesFloors) << "  (no details: less than shown)\n";
    out << "    double click to painted               " << p50p99(paintedNames) << "  = "
        << ratioVerdict(paintedNames, namesFloors, 1.5) << "\n";
    out << "    CPU: names alone painted              " << p50p99(namesCpu) << "\n";
    out << "    CPU: double click to painted          " << p50p99(paintedNamesCpu) << "  = "
        << ratioVerdict(paintedNamesCpu, namesCpu, 1.5) << "\n";
    out << "  double click to its handler's end       " << p50p99(handled) << "\n";
    out << "  the drug list repainted whole           " << p50p99(listPaints) << "\n";
    out << "  the drug list laid out afresh, painted  " << p50p99(freshPaints) << "\n";
    out << "  the same again, painted                 " << p50p99(again) << "  (the list kept from the first)\n";
    out << "  first product: " << drugs->lblTradeName()->text() << "\n";
    out.flush();
    main.close();
    return 0;
}
