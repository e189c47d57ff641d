#pragma once

// What the window benchmarks share: the median of timings, the bare SQL text timed on
// the program's own connection, and the process's memory figures.

#include "data/Database.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <sqlite3.h>

#include <time.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace Db;

namespace Bench {

// Without a display the windows are drawn off screen.
inline void drawOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

// What `bench_x [DATABASE] [RUNS]` is given: the database (empty when there is no such
// file, which is said on `out`) and the number of runs.
struct DatabaseRuns
{
    QString database;
    int runs = 1;
};

inline DatabaseRuns databaseAndRuns(const QStringList &arguments, int defaultRuns, QTextStream &out)
{
    DatabaseRuns given{arguments.value(1, QStringLiteral(KVOSTREL_DB_PATH)),
                       std::max(1, arguments.value(2, QString::number(defaultRuns)).toInt())};
    if (!QFile::exists(given.database)) {
        out << "no database at " << given.database << "\n";
        given.database.clear();
    }
    return given;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The value below which `fraction` of the timings lie (0.5: the median, 0.99: p99).
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = size_t(std::min<double>(double(values.size() - 1), fraction * double(values.size())));
    return values[index];
}

// The program (`a`) and its floor (`b`) timed in turn, `runs` times each after one run of
// each to warm up: A B, then B A, and so on, so neither always runs right after the other
// on the same connection. Each returns its time in milliseconds.
template<typename A, typename B>
std::pair<std::vector<double>, std::vector<double>> alternating(int runs, A &&a, B &&b)
{
    std::vector<double> program, floor;
    a();
    b();
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            program.push_back(a());
            floor.push_back(b());
        } else {
            floor.push_back(b());
            program.push_back(a());
        }
    }
    return {program, floor};
}

// The calling thread's CPU time in milliseconds. On a machine others share, a run's
// wall time holds the waits for a core; its CPU time is the work it did.
inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// `timed` (which returns its wall time) with the thread's CPU time over the same call
// added to `cpu`.
template<typename F>
auto withCpuTime(std::vector<double> &cpu, F &&timed)
{
    return [&cpu, timed = std::forward<F>(timed)]() mutable {
        const double start = threadCpuMs();
        const double wall = timed();
        cpu.push_back(threadCpuMs() - start);
        return wall;
    };
}

// "p50 X ms, p99 Y ms" of timings.
inline QString p50p99(const std::vector<double> &values)
{
    return QStringLiteral("p50 %1 ms, p99 %2 ms")
        .arg(percentile(values, 0.5), 0, 'f', 2)
        .arg(percentile(values, 0.99), 0, 'f', 2);
}

// The verdict on the program's median against its floor's: "1.23 x the floor (target at
// most 1.5: met)".
inline QString ratioVerdict(const std::vector<double> &program, const std::vector<double> &floor, double target)
{
    const double ratio = percentile(program, 0.5) / percentile(floor, 0.5);
    return QStringLiteral("%1 x the floor (target at most %2: %3)")
        .arg(ratio, 0, 'f', 2)
        .arg(target, 0, 'f', 1)
        .arg(ratio <= target ? QStringLiteral("met") : QStringLiteral("NOT met"));
}

// Counts the paints a widget has had: an event filter sees each paint event as it
// arrives. Processing events until the count moves takes the clock past the paint.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count() const { return m_count; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++m_count;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int m_count = 0;
};

// A connection of Qt's SQL layer to the file the shared connection has open, read-only.
// Opens the shared connection on a benchmark's database and names it in the output;
// a file that cannot be opened is said, and the benchmark skips it.
inline bool openDatabase(QTextStream &out, const QString &database)
{
    try {
        Db::Connection::shared().open(database);
    } catch (const Common::AppError &error) {
        out << error.description() << "\n";
        return false;
    }
    out << "\ndatabase: " << database << "\n";
    return true;
}

inline QSqlDatabase qtSqlConnection()
{
    const QString name = QStringLiteral("bench-qtsql");
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    if (db.databaseName() != Connection::shared().filePath() || !db.isOpen()) {
        db.close();
        db.setDatabaseName(Connection::shared().filePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    return db;
}

// The SQL text through Qt's SQL layer (QSqlQuery), in milliseconds: executed on a
// connection of its own to the same file and stepped to its last row, each row's first
// two fields read; `rows` gets the row count. Only a second yardstick: the floor is
// readFloor.
inline double runSqlToLastRow(const QString &sql, int *rows)
{
    const QSqlDatabase db = qtSqlConnection();
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.exec(sql);
    int count = 0;
    while (query.next()) {
        query.value(0);
        query.value(1);
        ++count;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    *rows = count;
    return ms;
}

// The floor of a list: the same SQL text read with SQLite's C API on the shared
// connection's own handle into plain std::string (column 0) and int (column 1, when
// the result has one), in milliseconds from prepare to finalize.
inline double readFloor(const QString &sql, int *rows)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = Connection::shared().handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    std::vector<std::string> lines;
    std::vector<int> keys;
    if (db && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        const bool keyed = sqlite3_column_count(statement) > 1;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *line = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            lines.emplace_back(line ? line : "", size_t(sqlite3_column_bytes(statement, 0)));
            if (keyed) {
                keys.push_back(sqlite3_column_int(statement, 1));
            }
        }
    }
    sqlite3_finalize(statement);
    const double ms = timer.nsecsElapsed() / 1e6;
    *rows = int(lines.size());
    return ms;
}

// SQLite's plan for a statement, its steps joined by " / ".
inline QString queryPlan(const QString &sql)
{
    sqlite3 *db = Connection::shared().handle();
    const QByteArray text = "EXPLAIN QUERY PLAN " + sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    QStringList steps;
    if (db && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            steps << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 3)));
        }
    }
    sqlite3_finalize(statement);
    return steps.join(QStringLiteral(" / "));
}

// One figure of /proc/self/status (key with its colon, e.g. "VmHWM:"); "?" when unreadable.
inline QString processStatus(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return QStringLiteral("?");
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return QString::fromLatin1(line.mid(qstrlen(key))).simplified();
        }
    }
    return QStringLiteral("?");
}

} // namespace Bench
