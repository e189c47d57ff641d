// Not a test: the program's cold start, from the process started to the main window
// shown with the event loop idle, and each one's peak resident memory, beside two
// windows built with the same flags (bench_startup_bare), the three started in turn:
// the floor, a bare QMainWindow with a QMdiArea whose child window shows one line of
// text (any window showing text pays the font system's start), and as context a child
// window of comparable widgets (about 100 controls and a 13-row grid). All report
// through app/StartupProbe.h. Needs a display (xvfb-run -a).
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
T percentile(std::vector<T> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
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
    const QStringList withWidgets{QStringLiteral("--widgets")};
    // The program's copies hold a single-copy name of their own: the user's copy, if
    // one is open, neither stops them nor is brought forward by them.
    const QStringList isolated{QStringLiteral("--instance-key=torvanelquist-bench-%1").arg(app.applicationPid())};
    struct Contender
    {
        QString name;
        QString program;
        QStringList arguments;
        std::vector<double> ms;
        std::vector<qint64> peak;
    };
    std::vector<Contender> contenders{
        {QStringLiteral("program"), program, isolated, {}, {}},
        {QStringLiteral("floor: bare MDI window, one line of text"), bare, withText, {}, {}},
        {QStringLiteral("context: ~100 controls and a 13-row grid"), bare, withWidgets, {}, {}}};
    for (const Contender &c : contenders) {
        startOnce(c.program, c.arguments); // the files into the page cache
    }
    // Each run starts all three, in an order that turns (0 1 2, 1 2 0, 2 0 1, then
    // backwards), so none always follows another.
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < 3; ++i) {
            const int step = (run / 3) % 2 == 0 ? i : 2 - i;
            Contender &c = contenders[size_t((step + run) % 3)];
            const Start start = startOnce(c.program, c.arguments);
            if (start.ms < 0) {
                out << "a start did not report: " << c.name << "\n";
                return 1;
            }
            c.ms.push_back(start.ms);
            c.peak.push_back(start.peakKiB);
        }
    }
    out << "start to main window shown and idle, " << runs << " runs each, in turn (platform "
        << qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb")) << "):\n";
    for (const Contender &c : contenders) {
        out << QStringLiteral("  %1 p50 %2 ms, p99 %3 ms, peak %4 MiB\n")
                   .arg(c.name, -42)
                   .arg(percentile(c.ms, 0.5), 7, 'f', 1)
                   .arg(percentile(c.ms, 0.99), 7, 'f', 1)
                   .arg(percentile(c.peak, 0.5) / 1024.0, 5, 'f', 1);
    }
    const auto ratio
        = [&](size_t floor) { return percentile(contenders[0].ms, 0.5) / percentile(contenders[floor].ms, 0.5); };
    const auto more = [&](size_t floor) {
        return (percentile(contenders[0].peak, 0.5) - percentile(contenders[floor].peak, 0.5)) / 1024.0;
    };
    out << QStringLiteral(
               "  program against the floor: %1 x (target at most 1.5: %2), %3 MiB more (target at most 8: %4)\n")
               .arg(ratio(1), 0, 'f', 2)
               .arg(ratio(1) <= 1.5 ? QStringLiteral("met") : QStringLiteral("NOT met"))
               .arg(more(1), 0, 'f', 1)
               .arg(more(1) <= 8 ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out << QStringLiteral("  context: the program is %1 x the comparable widgets, %2 MiB more\n")
               .arg(ratio(2), 0, 'f', 2)
               .arg(more(2), 0, 'f', 1);
    return 0;
}
