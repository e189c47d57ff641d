// The start-up's open of an Access (Jet) kvostrel.mdb: the reader process, the stream,
// the load into memory with the importer's indexes, and the check of every table and
// column the windows read (Connection::open, as the program runs it). Beside it, in the
// same run and alternating with it, mdb-export writing the same four tables to
// /dev/null: the time any program takes to get the rows out of the file with mdbtools.
// Prints the medians and their ratio; the start-up should take at most twice as long.

#include "BenchSupport.h"

#include "layout/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace {

double mdbExportMs(const QString &exporter, const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    for (const QLatin1StringView table : Schema::RequiredTables) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(exporter, {file, QString(table)});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            std::fprintf(stderr, "mdb-export failed on %s\n", qPrintable(QString(table)));
            std::exit(1);
        }
    }
    return timer.nsecsElapsed() / 1e6;
}

double openMs(const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    Connection::shared().open(file);
    const double ms = timer.nsecsElapsed() / 1e6;
    Connection::releaseShared();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(JET_FULL_PATH);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const QString exporter = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (exporter.isEmpty()) {
        std::fprintf(stderr, "mdb-export is missing (Debian package mdbtools)\n");
        return 1;
    }
    try {
        openMs(file); // the file in the page cache for both, and the checks passing
    } catch (const Common::AppError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    std::vector<double> exports, opens;
    for (int i = 0; i < runs; ++i) {
        exports.push_back(mdbExportMs(exporter, file));
        opens.push_back(openMs(file));
    }
    const double exportMedian = Bench::median(exports);
    const double openMedian = Bench::median(opens);
    std::printf("%s, %d runs, medians:\n", qPrintable(file), runs);
    std::printf("  mdb-export of the four tables to /dev/null  %8.1f ms\n", exportMedian);
    std::printf("  start-up open and load (Connection::open)   %8.1f ms\n", openMedian);
    std::printf("  ratio                                       %8.2f  (at most 2.00)\n", openMedian / exportMedian);
    return 0;
}
