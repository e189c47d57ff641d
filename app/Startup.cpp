#include "app/Startup.h"

#include "common/AppError.h"
#include "common/FileDescriptor.h"
#include "app/SingleInstance.h"
#include "app/StartupProbe.h"
#include "app/frmMainForm.h"
#include "components/ComponentStyle.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <memory>

namespace App {

namespace Startup {

namespace {

const QString Usage
    = QStringLiteral("Usage: torvanelquist [OPTION]...\n"
                     "Look up FDA-approved drug products by trade name, ingredient, dosage form, route of\n"
                     "administration, patent and exclusivity, in the database kvostrel.mdb beside the program.\n"
                     "One copy runs per user and display: a second start brings the running copy forward.\n"
                     "\n"
                     "Options:\n"
                     "  -h, --help                   show this help and end\n"
                     "  -v, --version                show the version and end\n"
                     "\n"
                     "Options for tests and benchmarks:\n"
                     "  --instance-key=NAME          hold the single-copy name NAME instead of the user's own,\n"
                     "                               so that this copy runs beside the user's\n"
                     "  --startup-probe=NANOSECONDS  once the main window is shown and idle, print the time\n"
                     "                               since NANOSECONDS (CLOCK_MONOTONIC) and the peak memory,\n"
                     "                               and end\n"
                     "\n"
                     "Qt's own options (-platform, -style, -display, ...) are accepted too.\n");

const QString TryHelp = QStringLiteral("\nTry 'torvanelquist --help' for more information.");

// Qt's own options, with one dash or two, and whether each takes a value.
struct QtOption
{
    const char *name;
    bool takesValue;
};
constexpr QtOption QtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},
    {"qwindowicon", true},     {"qwindowtitle", true},
    {"session", true},         {"display", true},
    {"style", true},           {"stylesheet", true},
    {"qmljsdebugger", true},   {"reverse", false},
    {"widgetcount", false},
};

// A single-copy name becomes a file name in the user's runtime folder: letters, digits,
// dots, dashes and underscores only, not starting with a dot, and short.
bool isInstanceKey(const QString &key)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"));
    return pattern.match(key).hasMatch();
}

// SIGTERM, SIGINT and SIGHUP, while the object lives, call `end` from the event loop
// (through a pipe: a signal handler may do no more than write to it).
class EndOnSignals
{
public:
    explicit EndOnSignals(std::function<void()> end)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            return; // the signals keep their usual effect
        }
        m_read.reset(ends[0]);
        m_write.reset(ends[1]);
        s_write = ends[1];
        m_notifier = std::make_unique<QSocketNotifier>(m_read.get(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this, end] {
            char drained[16];
            while (::read(m_read.get(), drained, sizeof(drained)) > 0) {}
            end();
        });
        struct sigaction action
        {};
        action.sa_handler = &EndOnSignals::caught;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(Signals); ++i) {
            ::sigaction(Signals[i], &action, &m_previous[i]);
        }
    }
    ~EndOnSignals()
    {
        if (m_notifier) {
            for (std::size_t i = 0; i < std::size(Signals); ++i) {
                ::sigaction(Signals[i], &m_previous[i], nullptr);
            }
            s_write = -1;
        }
    }
    EndOnSignals(const EndOnSignals &) = delete;
    EndOnSignals &operator=(const EndOnSignals &) = delete;

private:
    static constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

    static void caught(int)
    {
        const int saved = errno;
        const char byte = 0;
        if (s_write >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(s_write, &byte, 1);
        }
        errno = saved;
    }

    static inline volatile sig_atomic_t s_write = -1;
    Common::FileDescriptor m_read;
    Common::FileDescriptor m_write;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous[std::size(Signals)]{};
};

Options failure(const QString &what)
{
    Options options;
    options.action = Options::Action::Error;
    options.message = QStringLiteral("torvanelquist: ") + what + TryHelp;
    return options;
}

} // namespace

QString versionLine()
{
    return QStringLiteral("torvanelquist %1.%2.%3")
        .arg(TORVANELQUIST_VERSION_MAJOR)
        .arg(TORVANELQUIST_VERSION_MINOR)
        .arg(TORVANELQUIST_VERSION_REVISION);
}

Options parseCommandLine(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")
            || argument == QLatin1String("--")) {
            return failure(QStringLiteral("unexpected argument '%1': the program takes no files or names, "
                                          "only options")
                               .arg(argument));
        }
        const bool twoDashes = argument.startsWith(QLatin1String("--"));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(twoDashes ? 2 : 1, equals < 0 ? -1 : equals - (twoDashes ? 2 : 1));
        const QString option = argument.left(equals < 0 ? argument.size() : equals);
        // The option's value: after '=', or the next argument.
        const auto value = [&](QString &into) {
            if (equals >= 0) {
                into = argument.mid(equals + 1);
                return true;
            }
            if (i + 1 < arguments.size()) {
                into = arguments.at(++i);
                return true;
            }
            return false;
        };

        if (option == QLatin1String("-h") || option == QLatin1String("--help") || option == QLatin1String("-v")
            || option == QLatin1String("--version")) {
            if (equals >= 0) {
                return failure(QStringLiteral("option '%1' takes no value").arg(option));
            }
            const bool help = option == QLatin1String("-h") || option == QLatin1String("--help");
            options.action = help ? Options::Action::Help : Options::Action::Version;
            options.message = help ? Usage : versionLine() + QLatin1Char('\n');
            return options;
        }
        if (option == QLatin1String("--instance-key")) {
            QString key;
            if (!value(key)) {
                return failure(QStringLiteral("option '%1' needs a value").arg(option));
            }
            if (!isInstanceKey(key)) {
                return failure(QStringLiteral("option '%1' takes a name of at most 64 letters, digits, '.', '_' "
                                              "and '-', not starting with '.', not '%2'")
                                   .arg(option, key));
            }
            options.instanceKey = key;
            continue;
        }
        if (option == QLatin1String("--startup-probe")) {
            QString text;
            if (!value(text)) {
                return failure(QStringLiteral("option '%1' needs a value").arg(option));
            }
            bool number = false;
            const qint64 nanoseconds = text.toLongLong(&number);
            if (!number || nanoseconds < 0) {
                return failure(QStringLiteral("option '%1' takes a number of nanoseconds, not '%2'").arg(option, text));
            }
            options.startupProbe = nanoseconds;
            continue;
        }
        const QtOption *qt = nullptr;
        for (const QtOption &candidate : QtOptions) {
            if (name == QLatin1String(candidate.name)) {
                qt = &candidate;
            }
        }
        if (!qt) {
            return failure(QStringLiteral("unknown option '%1'").arg(option));
        }
        QString ignored;
        if (qt->takesValue && !value(ignored)) {
            return failure(QStringLiteral("option '%1' needs a value").arg(option));
        }
        if (!qt->takesValue && equals >= 0) {
            return failure(QStringLiteral("option '%1' takes no value").arg(option));
        }
    }
    return options;
}

int answerWithoutWindow(const Options &options)
{
    const bool error = options.action == Options::Action::Error;
    const QByteArray text = options.message.toLocal8Bit();
    std::fputs(text.constData(), error ? stderr : stdout);
    if (error && !text.endsWith('\n')) {
        std::fputc('\n', stderr);
    }
    std::fflush(stdout);
    return error ? 2 : 0;
}

void showErrorBox(const QString &description)
{
    std::fprintf(stderr, "torvanelquist: %s\n", qPrintable(description));
    QMessageBox::critical(nullptr, QStringLiteral("Torvanelquist"), description);
}

QStringList loadFirstUsableDatabase(frmMainForm &form, const QStringList &databasePaths)
{
    QStringList notes;
    for (qsizetype i = 0; i < databasePaths.size(); ++i) {
        try {
            form.Form_Load(databasePaths.at(i));
            return notes;
        } catch (const Common::AppError &error) {
            if (i + 1 == databasePaths.size()) {
                throw;
            }
            // The next file serves; the user hears why this one did not.
            notes << QStringLiteral("%1\nThe program uses %2 instead.")
                         .arg(error.description(), QDir::toNativeSeparators(databasePaths.at(i + 1)));
        }
    }
    throw Common::AppError(53, QStringLiteral("Torvanelquist"), QStringLiteral("No database to open."));
}

void showNoteBox(const QString &note)
{
    std::fprintf(stderr, "torvanelquist note: %s\n", qPrintable(note));
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Torvanelquist"), note, QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

int run(QApplication &app, const QString &databasePath, const Options &options, const ErrorReporter &reportError)
{
    return run(app, QStringList{databasePath}, QString(), options, reportError, showNoteBox);
}

int run(QApplication &app, const QStringList &databasePaths, const QString &choiceNote, const Options &options,
        const ErrorReporter &reportError, const ErrorReporter &reportNote)
{
    const QString key = options.instanceKey.isEmpty() ? SingleInstance::userKey() : options.instanceKey;
    SingleInstance instance(key);
    if (instance.anotherCopyRunning()) {
        // No window of this copy, and the database is left alone. The running copy is
        // asked to come forward through its socket (it answers once its window is up;
        // the request waits for it till then); a window titled as the first copies
        // were is brought forward too, should one exist.
        SingleInstance::requestActivation(key);
        ActivatePreviousInstance(instance.anotherCopyRunning(), long(FindWindowByTitle(PreviousInstanceTitle)));
        return 0;
    }
    if (!instance.note().isEmpty()) {
        std::fprintf(stderr, "torvanelquist note: %s; this copy runs on its own\n", qPrintable(instance.note()));
    }

    Components::ComponentStyle::install(); // before the first window
    auto form = std::make_unique<frmMainForm>();
    QStringList notes;
    try {
        notes = loadFirstUsableDatabase(*form, databasePaths);
    } catch (const Common::AppError &error) {
        reportError(error.description());
        return 1;
    }
    if (notes.isEmpty() && !choiceNote.isEmpty()) {
        notes << choiceNote;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, form.get(),
                     [window = form.get()] { window->comeForward(); });
    // Asked to end (the session ends, kill, Ctrl+C in a terminal): the window closes as
    // by its Exit button, and the single-copy socket goes with the program.
    EndOnSignals ending([window = form.get()] { window->close(); });
    form->show();
    if (!notes.isEmpty()) {
        reportNote(notes.join(QLatin1Char('\n')));
    }
    StartupProbe::watch(form.get(), options.startupProbe); // only for the start-up benchmark
    return app.exec();
}

} // namespace Startup

} // namespace App
