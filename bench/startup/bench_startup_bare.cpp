// The start-up benchmark's yardstick: a bare QMainWindow with a QMdiArea, built with the
// same flags as the program and shown at the program's size, reporting through the
// same probe (app/StartupProbe.h), asked for with the program's option
// --startup-probe=NANOSECONDS. With the argument "--text" it also shows one line of text
// in a child window: what any window that shows text pays for the font system (the
// benchmark's context line, not its target).
#include "app/StartupProbe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    auto *area = new QMdiArea(&window);
    window.setCentralWidget(area);
    if (app.arguments().contains(QStringLiteral("--text"))) {
        area->addSubWindow(new QLabel(QStringLiteral("Search")))->showMaximized();
    }
    window.resize(744, 584);
    window.show();
    const QString probe = QStringLiteral("--startup-probe=");
    for (const QString &argument : app.arguments()) {
        if (argument.startsWith(probe)) {
            App::StartupProbe::watch(&window, argument.mid(probe.size()).toLongLong());
        }
    }
    return app.exec();
}
