// Takes a screenshot of the real main window in one of the ribbon's themes:
//
//     xvfb-run -s "-screen 0 1024x768x24" ribbon-screenshot <kvostrel.mdb> <theme 0-2> <out.png> [search text]
//
// The program always starts in the first theme; this tool switches the ribbon's theme
// afterwards, dresses the windows with it again, runs a quick search in the drug window
// and rests the pointer on the "Dosage Form" button.
#include "search/HitList.h"
#include "ribbon/ZetRibbon.h"
#include "search/frmDrugs.h"
#include "app/frmMainForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QThread>

#include <cstdio>

using namespace Ribbon;
using namespace Search;
using namespace App;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvanelquist"));
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: ribbon-screenshot <kvostrel.mdb> <theme 0-2> <out.png> [search text]\n");
        return 2;
    }

    frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(arguments.at(1));
    auto *ribbon = main.findChild<ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    if (!ribbon) {
        std::fprintf(stderr, "ribbon-screenshot: the main window has no ribbon\n");
        return 1;
    }
    const int theme = arguments.at(2).toInt();
    if (theme != ribbon->Theme()) {
        ribbon->setTheme(theme);
        main.setThemeBackdrop(ribbon->LoadBackground(), ribbon->BackColor());
        ribbon->Refresh();
        main.PressMenuButton(frmMainForm::ShowDrugs);
    }
    main.setGeometry(0, 0, 1024, 768);
    main.show();

    if (arguments.size() > 4) {
        frmDrugs *drugs = main.drugsWindow();
        drugs->txtSearch()->setText(arguments.at(4));
        drugs->cmdSearch()->click();
        if (drugs->lstSearch()->count() > 2) {
            drugs->lstSearch()->setCurrentRow(2);
        }
    }

    for (int j = 1; j <= ribbon->scene().highestIndex(RibbonFamily::Button_Caption); ++j) {
        if (ribbon->scene().at(RibbonFamily::Button_Caption, j).text == QLatin1String("Dosage Form")) {
            const QPointF pos = pixelRect(ribbon->scene().at(RibbonFamily::ButMouse, j)).center();
            QMouseEvent move(QEvent::MouseMove, pos, ribbon->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(ribbon, &move);
        }
    }
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
    const bool saved = main.grab().save(arguments.at(3));
    // Ends through the main window's exit path, which releases the database.
    main.close();
    if (!saved) {
        std::fprintf(stderr, "ribbon-screenshot: cannot write %s\n", qPrintable(arguments.at(3)));
        return 1;
    }
    return 0;
}
