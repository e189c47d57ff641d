// The start-up benchmark's yardstick: a bare QMainWindow with a QMdiArea, built with the
// same flags as the program and shown at the program's size, reporting through the
// same probe (app/StartupProbe.h), asked for with the program's option
// --startup-probe=NANOSECONDS. With the argument "--text" it also shows one line of text
// in a child window: what any window that shows text pays for the font system (the
// benchmark's yardstick). With "--widgets" the child window holds about as many controls
// as the program's first window (about 100: buttons, text boxes, check boxes, labels)
// and a 13-row grid (the benchmark's context line).
#include "app/StartupProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QLineEdit>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    auto *area = new QMdiArea(&window);
    window.setCentralWidget(area);
    if (app.arguments().contains(QStringLiteral("--text"))) {
        area->addSubWindow(new QLabel(QStringLiteral("Search")))->showMaximized();
    } else if (app.arguments().contains(QStringLiteral("--widgets"))) {
        auto *page = new QWidget;
        auto *layout = new QGridLayout(page);
        for (int row = 0; row < 25; ++row) {
            layout->addWidget(new QCheckBox(QStringLiteral("Option %1").arg(row)), row, 0);
            layout->addWidget(new QLineEdit(QStringLiteral("Text %1").arg(row)), row, 1);
            layout->addWidget(new QPushButton(QStringLiteral("Button %1").arg(row)), row, 2);
            layout->addWidget(new QLabel(QStringLiteral("Label %1").arg(row)), row, 3);
        }
        auto *grid = new QTableWidget(13, 3);
        for (int row = 0; row < 13; ++row) {
            for (int column = 0; column < 3; ++column) {
                grid->setItem(row, column, new QTableWidgetItem(QStringLiteral("Cell %1, %2").arg(row).arg(column)));
            }
        }
        layout->addWidget(grid, 0, 4, 25, 1);
        area->addSubWindow(page)->showMaximized();
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
