#pragma once

// What the window benchmarks share: the median of timings, the bare SQL text timed on
// the program's own connection, and the process's memory figures.

#include "data/Database.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QString>

#include <algorithm>
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

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The SQL text alone, in milliseconds: executed on the shared connection and stepped
// to its last row, each row's first two fields read; `rows` gets the row count.
inline double runSqlToLastRow(const QString &sql, int *rows)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(Connection::shared().database());
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
