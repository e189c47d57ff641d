// Benchmark of the database build and of the program's queries on its result.
//
// 1. kvostrel-import rebuilding kvostrel.mdb from the bundled FDA release with the
//    build's own arguments, beside its floor: bench_kvostrel_import_floor, a minimal
//    loader that reads the same files and puts the same rows into the same tables with
//    the same indexes, and nothing more. Both run as programs of their own, taking
//    turns, so that process start and machine state weigh the same on both; their
//    databases must hold the same rows, table by table, or the benchmark fails. The
//    floor leaves the table of each product's listed protection empty and the import
//    is judged against it all the same: the table is work the import adds to the rows
//    (reading them back, the protection rules, 45,752 rows written), and a floor that
//    computed it too would share the importer's rules and hide their cost. Each
//    program's CPU time is printed beside the wall times: on a machine others share,
//    the wall time holds the waits for a core. The
//    sqlite3 shell's .import of the unpacked text files into bare tables is shown
//    beside them as context. The import with --previous (the bundled release compared
//    with itself: every record read, keyed and paired, as with any older release)
//    takes its turn in the same rounds, against the import without it.
// 2. The program's search texts on that database, once without any index and once
//    with the indexes kvostrel-import builds, and what those indexes cost.
//
// Usage: bench_kvostrel_import [RUNS]   (default 9 import runs; queries run 9 times each)

#include "BenchSupport.h"
#include "FdaSource.h"
#include "data/SqlText.h"
#include "layout/Schema.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Db;

namespace {

using Bench::median;

const QString dataDir = QStringLiteral(FDA_DATA_DIR);
const QString fdaZip = dataDir + QStringLiteral("/fda-approved-drug-products-2024-11.zip");

// The arguments the build gives kvostrel-import (tools/CMakeLists.txt), with another output.
QStringList importArguments(const QString &output)
{
    return {QStringLiteral("--fda"),
            fdaZip,
            QStringLiteral("--dosage-forms"),
            dataDir + QStringLiteral("/dosage_forms.tsv"),
            QStringLiteral("--routes"),
            dataDir + QStringLiteral("/routes.tsv"),
            QStringLiteral("--listing-terms"),
            dataDir + QStringLiteral("/listing_terms.tsv"),
            QStringLiteral("--exclusivity-codes"),
            dataDir + QStringLiteral("/exclusivity_codes.tsv"),
            QStringLiteral("--te-codes"),
            dataDir + QStringLiteral("/te_codes.tsv"),
            QStringLiteral("--output"),
            output};
}

double minimum(const std::vector<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench_kvostrel_import: %s\n", qPrintable(message));
    std::exit(1);
}

// The user and system CPU time of the children that have ended, in seconds.
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall time of one run of a program, from start to exit, in seconds; its CPU time (user
// and system) is added to `cpu`. On a machine others share, the wall time holds the waits
// for a core, the CPU time only the program's own work.
double timeProcess(const QString &program, const QStringList &arguments, std::vector<double> *cpu = nullptr,
                   const QByteArray &input = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        fail(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardOutput()));
    }
    if (cpu) {
        cpu->push_back(childrenCpuSeconds() - cpuBefore);
    }
    return seconds;
}

void unpack(const QString &name, const QDir &into)
{
    const FdaSource source(fdaZip.toStdString());
    const std::string content = source.read(name.toStdString());
    QFile out(into.filePath(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(content.data(), static_cast<qint64>(content.size())) < 0) {
        fail(QStringLiteral("cannot write ") + out.fileName());
    }
}

class Database
{
public:
    Database(const QString &path, int flags)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            fail(path + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
        }
    }
    ~Database() { sqlite3_close(m_db); }

    void execute(const QString &sql)
    {
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            fail(sql + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
        }
    }

    // Runs a query and reads every row's first column as text, as a hit list does.
    QStringList firstColumn(const QString &sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &statement, nullptr)
            != SQLITE_OK) {
            fail(sql + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
        }
        QStringList values;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)),
                                        sqlite3_column_bytes(statement, 0));
        }
        sqlite3_finalize(statement);
        return values;
    }

    // A digest of every row of a table in ID order (each value's type and bytes), and
    // the number of rows in `rows`.
    QByteArray tableDigest(const QString &table, int &rows)
    {
        const QByteArray sql = "SELECT * FROM [" + table.toUtf8() + "] ORDER BY ID";
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
            fail(QString::fromUtf8(sql) + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
        }
        QCryptographicHash hash(QCryptographicHash::Sha1);
        rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const char type = static_cast<char>(sqlite3_column_type(statement, i));
                const QByteArray value(reinterpret_cast<const char *>(sqlite3_column_blob(statement, i)),
                                       sqlite3_column_bytes(statement, i));
                hash.addData(QByteArrayView(&type, 1));
                hash.addData(QByteArray::number(value.size()) + ':' + value);
            }
        }
        sqlite3_finalize(statement);
        return hash.result();
    }

private:
    sqlite3 *m_db = nullptr;
};

struct TableContent
{
    QString table;
    int rows = 0;
    QByteArray digest;
};

// Every table of a database file by name: its row count and the digest of its rows.
std::vector<TableContent> tableContents(const QString &path)
{
    Database db(path, SQLITE_OPEN_READONLY);
    std::vector<TableContent> tables;
    for (const QString &table :
         db.firstColumn(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))) {
        TableContent &content = tables.emplace_back();
        content.table = table;
        content.digest = db.tableDigest(table, content.rows);
    }
    return tables;
}

// Fails unless the floor's database holds the same tables with the same rows as the
// importer's (but the one the importer computes, which the floor leaves empty), so that
// the two timings are of the same loading. Returns the row counts.
QString checkSameRows(const QString &imported, const QString &floorDb)
{
    std::vector<TableContent> expected = tableContents(imported);
    std::vector<TableContent> actual = tableContents(floorDb);
    // The floor loads the FDA's rows alone and leaves the table of each product's listed
    // protection empty; the importer computes it from them, and its time is the importer's.
    const auto computed = [](const TableContent &t) { return t.table == Schema::ProductProtection::Table; };
    std::erase_if(expected, computed);
    std::erase_if(actual, computed);
    QStringList counts, differences;
    for (const TableContent &e : expected) {
        const auto a
            = std::find_if(actual.begin(), actual.end(), [&](const TableContent &t) { return t.table == e.table; });
        if (a == actual.end()) {
            differences << QStringLiteral("%1: missing").arg(e.table);
        } else if (a->rows != e.rows) {
            differences
                << QStringLiteral("%1: %2 rows, kvostrel-import wrote %3").arg(e.table).arg(a->rows).arg(e.rows);
        } else if (a->digest != e.digest) {
            differences << QStringLiteral("%1: as many rows (%2), other values").arg(e.table).arg(e.rows);
        }
        counts << QStringLiteral("%1 %2").arg(e.table).arg(e.rows);
    }
    if (actual.size() != expected.size()) {
        differences << QStringLiteral("%1 tables, kvostrel-import wrote %2").arg(actual.size()).arg(expected.size());
    }
    if (!differences.isEmpty()) {
        fail(QStringLiteral("the floor did not write what kvostrel-import wrote, so the comparison is void:\n  ")
             + differences.join(QStringLiteral("\n  ")));
    }
    return counts.join(QStringLiteral(", "));
}

struct Query
{
    const char *label;
    QString sql;
};

std::vector<Query> programQueries()
{
    using namespace SqlText;
    const QString nda = QStringLiteral("New Drug Application (NDA) Number");
    const QString all = QStringLiteral("%");
    return {
        {"drug list, empty search", nameSearch(Window::Drugs, {})},
        {"drug search \"ASP\"", nameSearch(Window::Drugs, QStringLiteral("ASP"))},
        {"ingredient list, empty search", nameSearch(Window::Ingredients, {})},
        {"products with ingredient ASPIRIN", productsWithIngredient(QStringLiteral("ASPIRIN"))},
        {"patent list, empty search", nameSearch(Window::Patent, {})},
        {"patent search \"75\"", nameSearch(Window::Patent, QStringLiteral("75"))},
        {"drugs of NDA 020610 (advanced)",
         advancedSearch(Window::Drugs, likeClause(nda, all, QStringLiteral("020610"), all))},
        {"drugs of form TABLET (advanced)",
         advancedSearch(Window::Drugs, likeClause(QStringLiteral("Dosage Form"), all, QStringLiteral("TABLET"), all))},
        {"patents of NDA 020610 (advanced)",
         advancedSearch(Window::Patent, likeClause(nda, all, QStringLiteral("020610"), all))},
    };
}

// Median time in milliseconds of each query on one database file.
std::vector<double> timeQueries(const QString &path, const std::vector<Query> &queries, std::vector<int> &rows)
{
    Database db(path, SQLITE_OPEN_READONLY);
    std::vector<double> times;
    rows.clear();
    for (const Query &q : queries) {
        std::vector<double> runs;
        int count = 0;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer timer;
            timer.start();
            count = static_cast<int>(db.firstColumn(q.sql).size());
            runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        times.push_back(median(runs));
        rows.push_back(count);
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 9;
    const QString importer = QStringLiteral(KVOSTREL_IMPORT_PATH);
    const QString floorLoader = QStringLiteral(FLOOR_PATH);
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        fail(QStringLiteral("the sqlite3 shell is not on PATH (Debian package sqlite3)"));
    }
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QString builtDb = dir.filePath(QStringLiteral("kvostrel.mdb"));
    const QString schemaDb = dir.filePath(QStringLiteral("schema.mdb"));
    const QString floorDb = dir.filePath(QStringLiteral("floor.mdb"));
    const QString shellDb = dir.filePath(QStringLiteral("shell.db"));

    // 1. Import. One run first, whose tables and indexes the floor makes in its turn.
    timeProcess(importer, importArguments(builtDb));
    if (!QFile::copy(builtDb, schemaDb)) {
        fail(QStringLiteral("cannot copy ") + builtDb);
    }
    const QStringList floorArgs = QStringList{QStringLiteral("--schema"), schemaDb} + importArguments(floorDb);
    const QStringList textFiles{QStringLiteral("products.txt"), QStringLiteral("patent.txt"),
                                QStringLiteral("exclusivity.txt")};
    QByteArray shellScript = ".mode csv\n.separator \"~\"\n";
    for (const QString &name : textFiles) {
        unpack(name, dir);
        shellScript
            += QStringLiteral(".import '%1' [%2]\n").arg(dir.filePath(name), QFileInfo(name).baseName()).toUtf8();
    }
    // The programs take turns, each into a new file, and the first of each round alternates.
    std::vector<double> importTimes, floorTimes, shellTimes, previousTimes, importCpu, floorCpu;
    const QString previousDb = dir.filePath(QStringLiteral("previous.mdb"));
    const QStringList previousArgs = importArguments(previousDb) + QStringList{QStringLiteral("--previous"), fdaZip};
    for (int i = 0; i < runs; ++i) {
        for (const QString &file : {builtDb, floorDb, shellDb, previousDb}) {
            QFile::remove(file);
        }
        if (i % 2 == 0) {
            importTimes.push_back(timeProcess(importer, importArguments(builtDb), &importCpu));
        }
        floorTimes.push_back(timeProcess(floorLoader, floorArgs, &floorCpu));
        if (i % 2 != 0) {
            importTimes.push_back(timeProcess(importer, importArguments(builtDb), &importCpu));
        }
        shellTimes.push_back(timeProcess(shell, {shellDb}, nullptr, shellScript));
        previousTimes.push_back(timeProcess(importer, previousArgs));
    }
    const QString sameRows = checkSameRows(builtDb, floorDb);
    const double ratio = median(importTimes) / median(floorTimes);
    std::printf("Import of the bundled FDA release (%d runs each, taking turns; median, fastest in brackets)\n", runs);
    std::printf("  kvostrel-import with the build's arguments:                      %.3f s (%.3f)\n",
                median(importTimes), minimum(importTimes));
    std::printf("  floor: a minimal C API loader of the same rows and indexes:      %.3f s (%.3f)\n",
                median(floorTimes), minimum(floorTimes));
    std::printf("  ratio kvostrel-import / floor: %.2f (target: at most 1.5): %s\n", ratio,
                ratio <= 1.5 ? "met" : "NOT met");
    std::printf("  CPU time (user and system), median: kvostrel-import %.3f s, floor %.3f s, ratio %.2f\n",
                median(importCpu), median(floorCpu), median(importCpu) / median(floorCpu));
    std::printf("  both wrote the same rows, value for value: %s\n", qPrintable(sameRows));
    std::printf("  context: the sqlite3 shell's .import of the three unpacked text files\n"
                "  into bare tables (no vocabularies, no indexes):                   %.3f s (%.3f)\n\n",
                median(shellTimes), minimum(shellTimes));
    const double previousRatio = median(previousTimes) / median(importTimes);
    std::printf("Import with --previous (the same release as the older one), in the same rounds\n"
                "  kvostrel-import --previous:                                      %.3f s (%.3f)\n"
                "  ratio to the import without it: %.2f (target: at most 2): %s\n\n",
                median(previousTimes), minimum(previousTimes), previousRatio, previousRatio <= 2.0 ? "met" : "NOT met");

    // 2. Queries without indexes, then with the indexes kvostrel-import builds.
    const QString bare = dir.filePath(QStringLiteral("bare.mdb"));
    const QString indexed = dir.filePath(QStringLiteral("indexed.mdb"));
    QFile::copy(builtDb, bare);
    const QString indexQuery
        = QStringLiteral("SELECT %1 FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name");
    QStringList indexNames, indexStatements;
    {
        Database db(bare, SQLITE_OPEN_READWRITE);
        indexNames = db.firstColumn(indexQuery.arg(QStringLiteral("name")));
        indexStatements = db.firstColumn(indexQuery.arg(QStringLiteral("sql")));
        for (const QString &index : indexNames) {
            db.execute(QStringLiteral("DROP INDEX [%1]").arg(index));
        }
        db.execute(QStringLiteral("VACUUM"));
    }
    QFile::copy(bare, indexed);
    double indexSeconds = 0;
    {
        Database db(indexed, SQLITE_OPEN_READWRITE);
        QElapsedTimer timer;
        timer.start();
        db.execute(QStringLiteral("BEGIN; ") + indexStatements.join(QStringLiteral("; "))
                   + QStringLiteral("; COMMIT;"));
        indexSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    }
    const std::vector<Query> queries = programQueries();
    std::vector<int> rows;
    const std::vector<double> bareTimes = timeQueries(bare, queries, rows);
    const std::vector<double> indexedTimes = timeQueries(indexed, queries, rows);
    std::printf("Program queries, reading every row (median of 9 runs, ms)\n");
    std::printf("  %-36s %7s %11s %13s\n", "query", "rows", "no indexes", "with indexes");
    for (std::size_t i = 0; i < queries.size(); ++i) {
        std::printf("  %-36s %7d %11.2f %13.2f\n", queries[i].label, rows[i], bareTimes[i], indexedTimes[i]);
    }
    std::printf("  indexes kvostrel-import builds: %s\n",
                indexNames.isEmpty() ? "none" : qPrintable(indexNames.join(QStringLiteral(", "))));
    std::printf("  they take %.3f s to create and grow the file from %.1f MB to %.1f MB\n", indexSeconds,
                static_cast<double>(QFileInfo(bare).size()) / 1e6,
                static_cast<double>(QFileInfo(indexed).size()) / 1e6);
    return 0;
}
