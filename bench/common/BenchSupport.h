#pragma once

// What the window benchmarks share: the median of timings, the bare SQL text timed on
// the program's own connection, and the process's memory figures.

#include "data/Database.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <string>
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

// A connection of Qt's SQL layer to the file the shared connection has open, read-only.
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
