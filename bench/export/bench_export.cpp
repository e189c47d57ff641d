// Not a test: prints how long exporting the whole drug list takes, from the records
// read to the CSV file complete on disk, and the lines' details read for a screenful.
//
//   bench_export [database file] [runs]

#include "BenchSupport.h"
#include "app/frmMainForm.h"
#include "search/HitList.h"
#include "search/RecordExport.h"
#include "search/frmDrugs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Bench;

int main(int argc, char **argv)
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const auto [database, runs] = databaseAndRuns(arguments, 5, out);
    if (database.isEmpty()) {
        return 1;
    }
    App::frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(database);
    Search::frmDrugs *drugs = main.drugsWindow();
    drugs->txtSearch()->clear();
    drugs->cmdSearch()->click(); // every product
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.csv"));

    std::vector<double> reading, writing, details;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Search::ExportTable table = Search::exportTable(*drugs);
        reading.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const QString failure = Search::writeCsv(path, table);
        writing.push_back(timer.nsecsElapsed() / 1e6);
        if (!failure.isEmpty()) {
            out << "export failed: " << failure << "\n";
            return 1;
        }
        rows = int(table.rows.size());

        // The details of a screenful of lines, read the first time they are drawn.
        Search::HitList *list = drugs->lstSearch();
        const int first = (run + 1) * 1000;
        timer.restart();
        for (int line = first; line < first + 50; ++line) {
            list->detail(line);
        }
        details.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double read = median(reading);
    const double write = median(writing);
    out << "whole drug list exported, median of " << runs << " runs (" << rows << " records, "
        << QFile(path).size() / 1000 << " kB):\n";
    out << QStringLiteral("  records read            %1 ms\n").arg(read, 8, 'f', 1);
    out << QStringLiteral("  CSV written             %1 ms\n").arg(write, 8, 'f', 1);
    out << QStringLiteral("  total                   %1 ms   (target: under 2000 ms)\n").arg(read + write, 8, 'f', 1);
    out << QStringLiteral("  details of 50 lines     %1 ms   (read when a screenful is first drawn)\n")
               .arg(median(details), 8, 'f', 2);
    return 0;
}
