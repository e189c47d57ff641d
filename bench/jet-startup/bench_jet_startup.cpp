// The start-up's open of an Access (Jet) kvostrel.mdb (Connection::open, as the program
// runs it): the first start, which converts it (the reader process, the stream, the load
// into memory with the importer's indexes, the checks) and keeps the converted copy in the
// user's cache, and the second start, which opens that copy. Beside them, in the same run
// and in turn with them, the start on the SQLite kvostrel.mdb the build makes, and
// mdb-export writing the same four tables to /dev/null (the time any program takes to get
// the rows out of the file with mdbtools). The cache is a folder of this run's own.
// Targets: the second start at most 1.5 x the SQLite start; the first at most 2 x mdb-export.
#include "BenchSupport.h"

#include "data/JetCache.h"
#include "layout/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

void forgetCopies(const QString &folder)
{
    QDir(folder).removeRecursively();
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
    // The copies this run makes go to a folder of its own, never the user's cache.
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    QCoreApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(JET_FULL_PATH);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const QString sqliteFile = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(KVOSTREL_DB_PATH);
    const QString exporter = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (exporter.isEmpty()) {
        std::fprintf(stderr, "mdb-export is missing (Debian package mdbtools)\n");
        return 1;
    }
    const QString folder = JetCache::folder();
    try {
        // Both files in the page cache, and the checks passing.
        openMs(file);
        openMs(sqliteFile);
        if (!JetCache(file).usable() || !QFileInfo::exists(JetCache(file).copyPath())) {
            std::fprintf(stderr, "no converted copy was kept in %s\n", qPrintable(folder));
            return 1;
        }
    } catch (const Common::AppError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    std::vector<double> exports, firsts, seconds, sqlites;
    try {
        for (int i = 0; i < runs; ++i) {
            const auto first = [&] {
                forgetCopies(folder);
                firsts.push_back(openMs(file));
            };
            const auto second = [&] { seconds.push_back(openMs(file)); };
            const auto sqlite = [&] { sqlites.push_back(openMs(sqliteFile)); };
            // In turn, each order as often: the second start always follows a first.
            if (i % 2 == 0) {
                exports.push_back(mdbExportMs(exporter, file));
                first();
                second();
                sqlite();
            } else {
                sqlite();
                first();
                second();
                exports.push_back(mdbExportMs(exporter, file));
            }
        }
    } catch (const Common::AppError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    const auto line = [](const char *what, const std::vector<double> &values) {
        std::printf("  %-46s %s\n", what, qPrintable(Bench::p50p99(values)));
    };
    std::printf("%s, %d runs:\n", qPrintable(file), runs);
    line("mdb-export of the four tables to /dev/null", exports);
    line("first start (converts, keeps the copy)", firsts);
    line("second start (opens the copy)", seconds);
    line("SQLite start (Connection::open of the .mdb)", sqlites);
    std::printf("  first start against mdb-export: %s\n", qPrintable(Bench::ratioVerdict(firsts, exports, 2.0)));
    std::printf("  second start against the SQLite start: %s\n",
                qPrintable(Bench::ratioVerdict(seconds, sqlites, 1.5)));
    return 0;
}
