// The start-up benchmark's yardstick: a bare QMainWindow with a QMdiArea, built with the
// same flags as the program and shown at the program's size, reporting through the
// same probe (app/StartupProbe.h).
#include "app/StartupProbe.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setCentralWidget(new QMdiArea(&window));
    window.resize(744, 584);
    window.show();
    App::StartupProbe::watch(&window);
    return app.exec();
}
