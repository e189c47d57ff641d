// Not a test: the program's cold start, from the process started to the main window
// shown with the event loop idle, beside a bare QMainWindow with a QMdiArea built with
// the same flags (bench_startup_bare), runs alternating; and each one's peak resident
// memory. Both report through app/StartupProbe.h. As context, the same bare window with
// one line of text in a child window: the part of the difference that any window
// showing text pays (font configuration, the first font, its glyphs). Needs a display
// (xvfb-run -a).
//
//   bench_startup [runs] [program] [bare program]

#include "app/StartupProbe.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

struct Start
{
    double ms = -1;
    qint64 peakKiB = -1;
};

Start startOnce(const QString &program, const QStringList &arguments = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(
        program,
        QStringList(arguments) << QStringLiteral("--startup-probe=%1").arg(App::StartupProbe::monotonicNanoseconds()));
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("startup-probe ([0-9.]+) ms (-?[0-9]+) KiB")).match(output);
    if (!match.hasMatch()) {
        return {};
    }
    return {match.captured(1).toDouble(), match.captured(2).toLongLong()};
}

template<typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const int runs = std::max(1, arguments.value(1, QStringLiteral("15")).toInt());
    const QString program = arguments.value(2, QStringLiteral(TORVANELQUIST_PATH));
    const QString bare = arguments.value(3, QStringLiteral(BARE_PATH));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        out << "no display: run under xvfb-run -a\n";
        return 1;
    }

    const QStringList withText{QStringLiteral("--text")};
    // The program's copies hold a single-copy name of their own: the user's copy, if
    // one is open, neither stops them nor is brought forward by them.
    const QStringList isolated{QStringLiteral("--instance-key=torvanelquist-bench-%1").arg(app.applicationPid())};
    std::vector<double> programMs, bareMs, textMs;
    std::vector<qint64> programPeak, barePeak, textPeak;
    startOnce(program, isolated); // the files into the page cache
    startOnce(bare);
    startOnce(bare, withText);
    for (int run = 0; run < runs; ++run) {
        const Start p = startOnce(program, isolated);
        const Start b = startOnce(bare);
        const Start t = startOnce(bare, withText);
        if (p.ms < 0 || b.ms < 0 || t.ms < 0) {
            out << "a start did not report (program " << p.ms << ", bare " << b.ms << ", with text " << t.ms << ")\n";
            return 1;
        }
        programMs.push_back(p.ms);
        bareMs.push_back(b.ms);
        textMs.push_back(t.ms);
        programPeak.push_back(p.peakKiB);
        barePeak.push_back(b.peakKiB);
        textPeak.push_back(t.peakKiB);
    }
    const double pm = median(programMs);
    const double bm = median(bareMs);
    const double pk = median(programPeak) / 1024.0;
    const double bk = median(barePeak) / 1024.0;
    const double tm = median(textMs);
    const double tk = median(textPeak) / 1024.0;
    out << "start to main window shown and idle, median of " << runs << " runs (platform "
        << qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb")) << "):\n";
    out << QStringLiteral("  program %1   %2 ms, peak %3 MiB\n").arg(program).arg(pm, 7, 'f', 1).arg(pk, 5, 'f', 1);
    out << QStringLiteral("  bare    %1   %2 ms, peak %3 MiB\n").arg(bare).arg(bm, 7, 'f', 1).arg(bk, 5, 'f', 1);
    out << QStringLiteral("  ratio %1 x (target at most 1.5: %2), memory %3 MiB more (target at most 8: %4)\n")
               .arg(pm / bm, 0, 'f', 2)
               .arg(pm <= 1.5 * bm ? QStringLiteral("met") : QStringLiteral("NOT met"))
               .arg(pk - bk, 0, 'f', 1)
               .arg(pk - bk <= 8 ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out << QStringLiteral(
               "  context: bare with a line of text   %1 ms, peak %2 MiB; the program is %3 x it, %4 MiB more\n")
               .arg(tm, 7, 'f', 1)
               .arg(tk, 5, 'f', 1)
               .arg(pm / tm, 0, 'f', 2)
               .arg(pk - tk, 0, 'f', 1);
    return 0;
}
