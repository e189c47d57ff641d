// Not a test: prints how fast a double click in the dosage form window showing TABLET
// brings up the drug window with every product whose dosage form is TABLET.
//
//   bench_navigation [database file] [runs]
//
// Timed from the grid's double click to the navigation's end: the drug window brought
// forward, its parameter rows set, its advanced search run, the hit list filled, the
// first product shown, the panel hidden, the window maximised. Printed beside its
// floor: the drug window's statement alone, read with SQLite's C API into std::string
// and int on the same connection (and, as a second yardstick, through QSqlQuery).
// "first read" forgets the kept lists before each run; "repeated" runs it once more.
// For 10x the products, give the database make_10x_database builds (kvostrel-10x.mdb).

#include "search/AdvancedSearch.h"
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
    std::vector<double> navigation, painted, floors, qsql, repeated;
    int floorRows = 0;
    int sqlRows = 0;
    const auto doubleClick = [&] {
        main.PressMenuButton(frmMainForm::DosageForm);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        emit forms->vbalGrid()->cellDoubleClicked(1, RecordWindow::ValueColumn);
        const double navigated = timer.nsecsElapsed() / 1e6;
        QApplication::processEvents();
        return std::pair{navigated, timer.nsecsElapsed() / 1e6};
    };
    for (int run = 0; run <= runs; ++run) { // run 0 warms up
        const double floorMs = readFloor(statement, &floorRows);
        Connection::shared().forgetLists();
        const auto [navigated, shown] = doubleClick();
        const double again = doubleClick().first;
        const double sql = runSqlToLastRow(statement, &sqlRows);
        if (run > 0) {
            navigation.push_back(navigated);
            painted.push_back(shown);
            floors.push_back(floorMs);
            repeated.push_back(again);
            qsql.push_back(sql);
        }
    }

    const double nav = median(navigation);
    const double floorMs = median(floors);
    const bool met = nav <= 1.5 * floorMs;
    out << "database: " << database << "\n";
    out << "dosage form TABLET double-clicked into the drug window, median of " << runs << " runs:\n";
    out << QStringLiteral("  floor: C API into std::string and int   %1 ms  (%2 rows)\n")
               .arg(floorMs, 7, 'f', 2)
               .arg(floorRows);
    out << QStringLiteral("  QSqlQuery to its last row               %1 ms  (%2 x the floor)\n")
               .arg(median(qsql), 7, 'f', 2)
               .arg(median(qsql) / floorMs, 0, 'f', 2);
    out << QStringLiteral(
               "  double click to first product shown     %1 ms  = %2 x the floor (target at most 1.5: %3)\n")
               .arg(nav, 7, 'f', 2)
               .arg(nav / floorMs, 0, 'f', 2)
               .arg(met ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out << QStringLiteral("  (%1 lines, \"%2\")\n").arg(drugs->lstSearch()->count()).arg(drugs->lblSearch()->text());
    out << QStringLiteral("  double click to drug window painted     %1 ms\n").arg(median(painted), 7, 'f', 2);
    out << QStringLiteral("  the same again, to first product shown  %1 ms  (the list kept from the first)\n")
               .arg(median(repeated), 7, 'f', 2);
    out << QStringLiteral("  under 60 ms to first product shown: %1\n")
               .arg(nav < 60 ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out << "  first product: " << drugs->lblTradeName()->text() << "\n";
    out.flush();
    main.close();
    return 0;
}
