// Takes a screenshot of the "Changes" window inside the real main window:
//
//     xvfb-run -a -s "-screen 0 1024x768x24" changes-screenshot <kvostrel.mdb> <out.png> [kind]
//
// The database is one imported with --previous. The window is opened through the
// command table, as Ctrl+8 opens it, and shows the changes of the kind whose line begins
// with `kind` (else every change).
#include "app/frmMainForm.h"
#include "search/frmChanges.h"

#include <QApplication>
#include <QListWidget>
#include <QThread>

#include <cstdio>

using namespace App;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvanelquist"));
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3 || arguments.size() > 4) {
        std::fprintf(stderr, "usage: changes-screenshot <kvostrel.mdb> <out.png> [kind]\n");
        return 2;
    }
    frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(arguments.at(1));
    main.setGeometry(0, 0, 1024, 768);
    main.show();
    main.PressMenuButton(frmMainForm::Changes);
    auto *changes = qobject_cast<Search::frmChanges *>(main.childWindow(frmMainForm::Changes));
    if (!changes) {
        std::fprintf(stderr, "changes-screenshot: the main window has no Changes window\n");
        return 1;
    }
    if (arguments.size() == 4) {
        QListWidget *kinds = changes->lstKinds();
        for (int row = 0; row < kinds->count(); ++row) {
            if (kinds->item(row)->text().startsWith(arguments.at(3))) {
                kinds->setCurrentRow(row);
                break;
            }
        }
    }
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    const bool saved = main.grab().save(arguments.at(2));
    // Ends through the main window's exit path, which releases the database.
    main.close();
    if (!saved) {
        std::fprintf(stderr, "changes-screenshot: cannot write %s\n", qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}
