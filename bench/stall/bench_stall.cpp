// Not a test: prints the longest time the drug window keeps the event loop from its
// next turn (no key, click or paint handled meanwhile) while it lists long results,
// and whether the wait label was drawn within the first 100 ms of that stall.
//
//   bench_stall [database file]
//
// Steps, each from its key events posted as the window system would send them to the
// list painted and the loop idle again: Enter on the empty search (every product),
// Enter on "A", then with "Results while typing" on the first key "A" (which reads the
// lines once) and the next, "S". Target: no stall over 100 ms without the wait label.
// Give it the database with 100x the products (make_10x_database SOURCE TARGET 100).

#include "BenchSupport.h"
#include "NoWindows.h"
#include "search/HitList.h"
#include "search/TypingSearch.h"
#include "search/frmDrugs.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

using namespace Common;
using namespace Db;
using namespace Search;

using namespace Bench;

namespace {

constexpr double StallTargetMs = 100.0;

// The times of the event loop's turns and of the wait label's paints, on one clock.
class TurnRecorder : public QObject
{
public:
    explicit TurnRecorder(QWidget *waitLabel)
    {
        m_clock.start();
        auto *dispatcher = QAbstractEventDispatcher::instance();
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, &TurnRecorder::turn);
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TurnRecorder::turn);
        waitLabel->installEventFilter(this);
    }
    void reset()
    {
        m_turns.clear();
        m_waitPaints.clear();
        turn();
    }
    void turn() { m_turns.push_back(now()); }
    double now() const { return m_clock.nsecsElapsed() / 1e6; }

    // The longest gap between turns up to now, and the longest in which the wait label
    // was not drawn within its first `feedbackMs` (the gaps' lengths).
    std::pair<double, double> longestGaps(double feedbackMs)
    {
        turn();
        double longest = 0;
        double unfed = 0;
        for (size_t i = 1; i < m_turns.size(); ++i) {
            const double gap = m_turns[i] - m_turns[i - 1];
            longest = std::max(longest, gap);
            const double wait = waitPaintAfter(m_turns[i - 1]);
            if (!(wait >= 0 && wait <= std::min(gap, feedbackMs))) {
                unfed = std::max(unfed, gap);
            }
        }
        return {longest, unfed};
    }
    // When the wait label was first drawn after `from` (negative: never).
    double waitPaintAfter(double from) const
    {
        for (const double at : m_waitPaints) {
            if (at >= from) {
                return at - from;
            }
        }
        return -1;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            m_waitPaints.push_back(now());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    std::vector<double> m_turns;
    std::vector<double> m_waitPaints;
};

void postKey(QWidget *to, Qt::Key key, const QString &text)
{
    QApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

// Runs the loop until the list has been painted, the typed search is done and 200 ms
// passed without a paint; prints the longest stall. True when within the target.
bool measure(QTextStream &out, TurnRecorder &turns, frmDrugs &window, const QString &what,
             const std::function<void()> &post)
{
    const PaintCounter paints(window.lstSearch()->viewport());
    turns.reset();
    const double start = turns.now();
    post();
    int seen = paints.count();
    double lastPaint = -1;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (paints.count() != seen) {
            seen = paints.count();
            lastPaint = turns.now();
        }
        if (lastPaint >= 0 && !window.typingSearch()->isBusy() && turns.now() - lastPaint > 200) {
            break;
        }
    }
    const auto [longest, unfed] = turns.longestGaps(StallTargetMs);
    const bool met = unfed <= StallTargetMs;
    out << QStringLiteral("%1: painted after %2 ms (\"%3\"); longest stall %4 ms, longest without the wait "
                          "label drawn in its first %5 ms: %6 ms  (target: at most %5 ms: %7)\n")
               .arg(what)
               .arg(lastPaint - start, 0, 'f', 0)
               .arg(window.lblSearch()->text())
               .arg(longest, 0, 'f', 1)
               .arg(StallTargetMs)
               .arg(unfed, 0, 'f', 1)
               .arg(met ? "met" : "NOT met");
    out.flush();
    return met;
}

} // namespace

int main(int argc, char *argv[])
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QTextStream out(stdout);
    const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KVOSTREL_DB_PATH);
    try {
        Connection::shared().open(database);
    } catch (const AppError &error) {
        out << error.description() << "\n";
        return 1;
    }
    out << "database: " << database << "\n";

    WindowTest::NoWindows host;
    frmDrugs window(&host);
    window.resize(1010, 640);
    window.show();
    QApplication::processEvents();
    TurnRecorder turns(window.lblWait());
    QLineEdit *box = window.txtSearch();
    box->setFocus();

    bool met = measure(out, turns, window, QStringLiteral("Enter, empty search"),
                       [&] { postKey(box, Qt::Key_Return, QStringLiteral("\r")); });
    box->setText(QStringLiteral("A"));
    met = measure(out, turns, window, QStringLiteral("Enter, \"A\""),
                  [&] { postKey(box, Qt::Key_Return, QStringLiteral("\r")); })
        && met;
    box->clear();
    window.chkTyping()->setChecked(true);
    met = measure(out, turns, window, QStringLiteral("typed \"A\", lines read once"),
                  [&] { postKey(box, Qt::Key_A, QStringLiteral("A")); })
        && met;
    met = measure(out, turns, window, QStringLiteral("typed \"AS\""),
                  [&] { postKey(box, Qt::Key_S, QStringLiteral("S")); })
        && met;
    box->clear();
    met = measure(out, turns, window, QStringLiteral("typed \"Z\" into an empty box"),
                  [&] { postKey(box, Qt::Key_Z, QStringLiteral("Z")); })
        && met;
    window.chkTyping()->setChecked(false);
    out << "\nstall target: " << (met ? "met" : "NOT met") << "\n";
    out.flush();
    Connection::releaseShared();
    return 0;
}
