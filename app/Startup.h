#pragma once

#include <QString>

#include <functional>

class QApplication;

namespace App {

// The program's start-up: only one copy runs; a second copy hands the user over to the
// window of the first and ends; the first copy opens the database and shows the main
// window, or explains why it cannot and ends with a non-zero status.
namespace Startup {

// The title a second copy looks for on the display.
inline const QString PreviousInstanceTitle = QStringLiteral("Quenlarith");

// Tells the user why the program cannot start (a message box in the real program).
using ErrorReporter = std::function<void(const QString &description)>;
void showErrorBox(const QString &description);

// Runs the program and returns its exit status.
int run(QApplication &app, const QString &databasePath, const ErrorReporter &reportError = showErrorBox);

} // namespace Startup

} // namespace App
