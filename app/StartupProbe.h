#pragma once

// The start-up benchmark's probe (bench/startup): when the benchmark names the moment
// it started the process (the option --startup-probe=NANOSECONDS, CLOCK_MONOTONIC), the
// window given to `watch` reports on standard output, once it is shown and the event
// loop has nothing left to do, the milliseconds since that moment and the peak resident
// memory, and the program ends. Header only: the bare window the benchmark compares
// with uses it without linking the program.

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace App {

namespace StartupProbe {

inline qint64 monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Peak resident memory in KiB (VmHWM), -1 when unknown.
inline qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

class Watcher : public QObject
{
public:
    Watcher(QWidget *window, qint64 startedAt)
        : QObject(window),
          m_window(window),
          m_startedAt(startedAt)
    {
        window->installEventFilter(this);
        check();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window
            && (event->type() == QEvent::Show || event->type() == QEvent::UpdateRequest
                || event->type() == QEvent::Paint)) {
            check();
        }
        return false;
    }

private:
    void check()
    {
        if (m_reported || !m_window->isVisible() || !m_window->windowHandle()
            || !m_window->windowHandle()->isExposed()) {
            if (!m_polling) {
                m_polling = true;
                QTimer::singleShot(1, this, [this] {
                    m_polling = false;
                    check();
                });
            }
            return;
        }
        m_reported = true;
        // Shown: report once every event already queued (the first paint with it) is done.
        QTimer::singleShot(0, this, [this] {
            const double ms = double(monotonicNanoseconds() - m_startedAt) / 1e6;
            std::printf("startup-probe %.2f ms %lld KiB\n", ms, static_cast<long long>(peakResidentKiB()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }

    QWidget *m_window;
    qint64 m_startedAt;
    bool m_reported = false;
    bool m_polling = false;
};

// Watches `window` when the benchmark asked for it: `startedAt` is the moment it
// started the process, -1 when it did not ask.
inline void watch(QWidget *window, qint64 startedAt)
{
    if (startedAt >= 0) {
        new Watcher(window, startedAt);
    }
}

} // namespace StartupProbe

} // namespace App
