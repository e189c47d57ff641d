#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QApplication;

namespace App {

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

} // namespace Startup

} // namespace App
