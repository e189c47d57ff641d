// Takes a screenshot of each of the six lookup windows inside the real main window,
// each with a record shown:
//
//     xvfb-run -a -s "-screen 0 1024x768x24" window-screenshots <kvostrel.mdb> <output folder>
//
// writes window-drugs.png, drug-window-advanced.png (the advanced search panel filled
// in), drug-window-substitutes.png (LIPITOR 20MG's substitutes listed by a double
// click on its row), window-ingredients.png, window-dosage-form.png, window-route.png,
// window-patent.png, window-exclusivity.png, and listed protection: protection-row.png
// (SPRYCEL's row), protection-timeline.png (its timeline, the screen with the dialog)
// and protection-report.png (what ends in 2026). Each window is reached the way a user
// reaches it (the command table, a search, a chosen hit); the record windows then
// have the pointer resting over their grid, so their help strip shows.
#include "search/AdvancedPanel.h"
#include "search/frmDrugs.h"
#include "search/frmProtectionReport.h"
#include "search/HitList.h"
#include "search/SearchWindow.h"
#include "components/VbalGrid.h"
#include "search/frmDrugs.h"
#include "app/frmMainForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QScreen>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QThread>
#include <QCheckBox>

#include <cstdio>

using namespace Components;
using namespace Search;
using namespace App;

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

// Opens a window through the command table, searches and chooses the hit with that text
// (or the first one).
SearchWindow *showRecord(frmMainForm &main, int command, const QString &search, const QString &hit)
{
    main.PressMenuButton(command);
    auto *window = qobject_cast<SearchWindow *>(main.childWindow(command));
    if (!window) {
        return nullptr;
    }
    window->txtSearch()->setText(search);
    window->cmdSearch()->click();
    const int position = int(window->lstSearch()->lines().indexOf(hit));
    window->lstSearch()->setCurrentRow(qMax(0, position));
    return window;
}

// The pointer over a grid cell: the grid takes the focus and, where it does, shows its hint.
void restPointer(VbalGrid *grid, int row, int column)
{
    QAbstractItemView *view = grid->itemView();
    const QPoint at = view->visualRect(view->model()->index(row - 1, column - 1)).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(at), view->viewport()->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
}

bool save(frmMainForm &main, const QDir &folder, const char *name)
{
    settle();
    const QString path = folder.filePath(QLatin1String(name));
    if (!main.grab().save(path)) {
        std::fprintf(stderr, "window-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The screen where the main window is, dialogs over it included.
bool saveScreen(frmMainForm &main, const QDir &folder, const char *name)
{
    settle();
    const QString path = folder.filePath(QLatin1String(name));
    const QRect area = main.frameGeometry();
    if (!main.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path)) {
        std::fprintf(stderr, "window-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Listed protection: SPRYCEL's row, its timeline, and the report of what ends in 2026.
bool protectionShots(frmMainForm &main, const QDir &folder)
{
    bool ok = true;
    auto *drugs = qobject_cast<frmDrugs *>(
        showRecord(main, frmMainForm::ShowDrugs, QStringLiteral("sprycel"), QStringLiteral("SPRYCEL")));
    if (drugs) {
        QAbstractItemView *view = drugs->vbalGrid()->itemView();
        const QModelIndex row = view->model()->index(frmDrugs::ProtectionRow - 1, frmDrugs::ValueColumn - 1);
        view->setCurrentIndex(row);
        view->scrollTo(row);
        ok = save(main, folder, "protection-row.png") && ok;
        // As the window system delivers a double click: a click, then the double click.
        const QPoint at = view->visualRect(row).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        ok = saveScreen(main, folder, "protection-timeline.png") && ok;
        if (QWidget *timeline = QApplication::activeModalWidget()) {
            timeline->close();
        }
    }
    main.PressMenuButton(frmMainForm::ProtectionReport);
    if (auto *report = qobject_cast<frmProtectionReport *>(main.childWindow(frmMainForm::ProtectionReport))) {
        report->dtpFrom()->setDate(QDate(2026, 1, 1));
        report->dtpTo()->setDate(QDate(2026, 12, 31));
        report->PressListButton();
        ok = save(main, folder, "protection-report.png") && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvanelquist"));
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: window-screenshots <kvostrel.mdb> <output folder>\n");
        return 2;
    }
    const QDir folder(arguments.at(2));
    if (!folder.exists()) {
        std::fprintf(stderr, "window-screenshots: no folder %s\n", qPrintable(arguments.at(2)));
        return 2;
    }

    frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(arguments.at(1));
    main.setGeometry(0, 0, 1024, 768);
    main.show();
    settle();

    bool ok = true;
    if (SearchWindow *drugs
        = showRecord(main, frmMainForm::ShowDrugs, QStringLiteral("lipitor"), QStringLiteral("LIPITOR"))) {
        drugs->vbalGrid()->itemView()->setCurrentIndex(drugs->vbalGrid()->itemView()->model()->index(3, 1));
        ok = save(main, folder, "window-drugs.png") && ok;

        QTest::mouseClick(drugs->Command1(), Qt::LeftButton);
        for (const auto &[row, text] : {std::pair{3, "PFIZER"}, std::pair{10, "RX"}, std::pair{11, "TABLET"}}) {
            drugs->chkParam(row)->setChecked(true);
            drugs->txtParam(row)->setText(QLatin1String(text));
        }
        settle();
        ok = save(main, folder, "drug-window-advanced.png") && ok;
        QTest::mouseClick(drugs->picAdvanced()->cmdAdvancedCancel(), Qt::LeftButton);

        // LIPITOR 20MG, then a double click on its "Substitutable products" row.
        drugs->txtSearch()->setText(QStringLiteral("lipitor"));
        drugs->cmdSearch()->click();
        for (int line = 0; line < drugs->lstSearch()->count(); ++line) {
            if (drugs->lstSearch()->detail(line).contains(QLatin1String("EQ 20MG BASE"))) {
                drugs->lstSearch()->setCurrentRow(line);
            }
        }
        settle();
        QAbstractItemView *grid = drugs->vbalGrid()->itemView();
        const QModelIndex cell = grid->model()->index(frmDrugs::SubstitutesRow - 1, frmDrugs::ValueColumn - 1);
        grid->scrollTo(cell);
        const QPoint row = grid->visualRect(cell).center();
        // As the window system delivers it: press and release, then the double click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row);
        // The list pane widened, as a user drags the splitter, so the lines read whole.
        const int width = drugs->splitter()->width();
        drugs->splitter()->setSizes({width * 11 / 20, width - width * 11 / 20});
        settle();
        ok = save(main, folder, "drug-window-substitutes.png") && ok;
    }
    if (SearchWindow *ingredients = showRecord(main, frmMainForm::Ingredients, QStringLiteral("atorvastatin"),
                                               QStringLiteral("AMLODIPINE BESYLATE; ATORVASTATIN CALCIUM"))) {
        ingredients->vbalGrid()->itemView()->setCurrentIndex(ingredients->vbalGrid()->itemView()->model()->index(0, 2));
        ok = save(main, folder, "window-ingredients.png") && ok;
    }
    if (SearchWindow *forms
        = showRecord(main, frmMainForm::DosageForm, QStringLiteral("tablet"), QStringLiteral("TABLET, FILM COATED"))) {
        restPointer(forms->vbalGrid(), 2, 3);
        ok = save(main, folder, "window-dosage-form.png") && ok;
    }
    if (SearchWindow *routes = showRecord(main, frmMainForm::Route, QStringLiteral("oral"), QStringLiteral("ORAL"))) {
        restPointer(routes->vbalGrid(), 2, 3);
        ok = save(main, folder, "window-route.png") && ok;
    }
    if (SearchWindow *patents = showRecord(main, frmMainForm::Patents, QStringLiteral("10005783"), QString())) {
        restPointer(patents->vbalGrid(), 3, 3);
        ok = save(main, folder, "window-patent.png") && ok;
    }
    if (SearchWindow *exclusivity = showRecord(main, frmMainForm::Exclusivity, QStringLiteral("ODE"), QString())) {
        restPointer(exclusivity->vbalGrid(), 2, 3);
        ok = save(main, folder, "window-exclusivity.png") && ok;
    }
    ok = protectionShots(main, folder) && ok;
    main.PressMenuButton(frmMainForm::About);
    QApplication::processEvents();
    ok = save(main, folder, "window-about.png") && ok;
    // Ends through the main window's exit path, which releases the database.
    main.close();
    return ok ? 0 : 1;
}
