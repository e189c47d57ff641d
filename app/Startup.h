#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QApplication;

namespace App {

class frmMainForm;

// The program's start-up: its command line is read before anything touches the display;
// only one copy runs per user and display, a second copy hands the user over to the
// window of the first and ends; the first copy opens the database and shows the main
// window, or explains why it cannot and ends with a non-zero status.
namespace Startup {

// The title a second copy looks for on the display.
inline const QString PreviousInstanceTitle = QStringLiteral("Quenlarith");

// What the command line asks for.
struct Options
{
    enum class Action {
        Run, // start the program
        Help, // print the help (message) and end
        Version, // print the version (message) and end
        Error, // print what is wrong (message, naming the argument) and end with status 2
    };
    Action action = Action::Run;
    QString message;
    // --instance-key: the single-copy name a copy run by a test or benchmark holds, so
    // that it neither stops nor is stopped by the user's own copy. Empty: the user's own.
    QString instanceKey;
    // --startup-probe: when the benchmark started the process (CLOCK_MONOTONIC, in
    // nanoseconds); the program reports its start-up time and ends once shown. -1: none.
    qint64 startupProbe = -1;
};

// "torvanelquist 1.0.0"
QString versionLine();

// Reads the program's arguments (the program's own name first). Qt's own options
// (-platform, -style, -display, ...) are accepted and left for QApplication.
Options parseCommandLine(const QStringList &arguments);

// For every action but Run: prints the message (the help and the version on standard
// output, an error on standard error) and returns the exit status (0, or 2 for an error).
int answerWithoutWindow(const Options &options);

// Tells the user why the program cannot start (a message box in the real program).
using ErrorReporter = std::function<void(const QString &description)>;
void showErrorBox(const QString &description);

// Runs the program and returns its exit status.
int run(QApplication &app, const QString &databasePath, const Options &options = {},
        const ErrorReporter &reportError = showErrorBox);
// The same over the databases to try, the preferred first: one that cannot be opened
// is named in `reportNote` (with the choice's own note) and the next is tried; the
// last one's failure ends the start-up as above.
int run(QApplication &app, const QStringList &databasePaths, const QString &choiceNote, const Options &options,
        const ErrorReporter &reportError, const ErrorReporter &reportNote);
// Loads `form` on the first of `databasePaths` that opens and returns what the user is
// to hear about the ones passed over (empty when the first opened). Throws the last
// one's AppError when none opens.
QStringList loadFirstUsableDatabase(frmMainForm &form, const QStringList &databasePaths);
// Tells the user, without stopping them, what start-up chose (a window-modal box).
void showNoteBox(const QString &note);

} // namespace Startup

} // namespace App
