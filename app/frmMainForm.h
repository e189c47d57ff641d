#pragma once

#include "common/Commands.h"
#include "components/VbalImageList.h"
#include "search/WindowHost.h"
#include "ribbon/ZetRibbon.h"

#include <QColor>
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QRect>

#include <functional>

class QMdiSubWindow;

namespace App {

class MdiBackdropArea;

// The program's one top-level window: a frame for the child windows, the ribbon along
// its top edge, and the command table that ribbon buttons and other windows run.
class frmMainForm : public QMainWindow, public Search::WindowHost
{
    Q_OBJECT

public:
    // Ribbon command numbers.
    using Command = Common::Command;
    using enum Common::Command;

    explicit frmMainForm(QWidget *parent = nullptr);
    ~frmMainForm() override;

    // The load: opens the database (throws AppError when it cannot), builds the ribbon
    // and opens the drug window.
    void Form_Load(const QString &databasePath);
    // Moves every window to another database: the windows that are open are made
    // afresh on it, in the order they were opened. When it cannot be opened, the one
    // in use stays open and the AppError reaches the caller.
    void reopenDatabase(const QString &databasePath);

    // Runs the command of a ribbon button, as a click on that button does.
    void PressMenuButton(int ButtonID) override;

    Search::frmDrugs *drugsWindow() override;
    Search::frmIngredients *ingredientsWindow() override;
    Search::frmDosageForm *dosageFormWindow() override;
    Search::frmRoute *routeWindow() override;
    Search::frmPatent *patentWindow() override;
    Search::frmExclusivity *exclusivityWindow() override;
    void maximizeWindow(QWidget *window) override;

    // The child window of a command, or nullptr when it has not been opened (or the
    // command opens no window).
    QWidget *childWindow(int command) const { return m_windows.value(command); }
    QMdiSubWindow *subWindowOf(QWidget *window) const;
    MdiBackdropArea *clientArea() const { return m_mdiArea; }

    // The theme's background picture and colour, kept by the client area and given
    // to every child window the main window opens.
    void setThemeBackdrop(const QPixmap &picture, const QColor &color);

    // Restored if minimised, raised and activated (a second start asks for it).
    void comeForward();
    // Keyboard focus to the ribbon's selected tab (F10, or Alt pressed alone); Escape
    // there gives it back to where it was.
    void focusRibbon();

    // What ends the process once the exit path has run (tests replace it).
    void setProcessEnd(std::function<void()> end) { m_endProcess = std::move(end); }

    // The keys that run a command from anywhere in the window (Ctrl+1 to Ctrl+7 for the
    // lookup windows); empty for the others.
    static QKeySequence commandKeys(int command);
    // F1: the keys and the help of the window in front, in a dialog.
    void showKeysHelp();
    // Ctrl+F: the keyboard to the search box of the window in front.
    void focusSearchBox();
    // The next or previous open window (Ctrl+Tab, Ctrl+Shift+Tab), in the order they
    // were first opened.
    void activateNeighbourWindow(int step);

    // Where a window frame of size and place `frame` goes on a screen whose free area is
    // `available`: shrunk to fit, then moved the least way needed to lie inside.
    static QRect fitIntoArea(const QRect &frame, const QRect &available);
    // The first size of the window: room for `need` (the front window's client area)
    // beside `overhead` (ribbon and frames), within `available`.
    static QSize firstSize(const QSize &need, const QSize &overhead, const QSize &available);
    // The size the window of a command needs to show every control whole: what it asks
    // for, and never less than its design size with every control at its design place.
    QSize neededSize(int command) const;
    // True when the window took its first size and place itself (from the user's settings
    // or to fit its windows); only then is the geometry saved at the end.
    bool keepsGeometry() const { return m_keepsGeometry; }

    // The first show places the window (placeOnScreen) unless its caller did.
    void setVisible(bool visible) override;

public slots:
    // The ribbon's ButtonClick: reads the identifier as a number and runs the command table.
    void ZetRibbon1_ButtonClick(const QString &ID, const QString &Caption);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildRibbon();
    void addShortcuts();
    void focusIntoActiveWindow();
    void subWindowActivated(QMdiSubWindow *sub);
    // The command whose window is `window`; -1 for none.
    int commandOf(const QWidget *window) const;
    // Size and place from the user's settings, fitted into the screen; else the size
    // that shows the front window whole, centred.
    void placeOnScreen();
    void saveGeometryToSettings() const;
    void stripTitleBarControls();
    // The image-list picture of a command's ribbon button.
    static int commandPicture(int command);
    // Creates the window of a command if it does not exist yet; nullptr for none.
    QWidget *ensureWindow(int command);
    // Creates if needed, shows, dresses with the theme and maximises.
    void openWindow(int command);
    void applyBackdrop(QWidget *window) const;
    // Closes the connection, releases the shared database objects, lets pending
    // events run once and ends the process.
    void exitPath();

    MdiBackdropArea *m_mdiArea = nullptr;
    Ribbon::ZetRibbon *ZetRibbon1 = nullptr;
    Components::VbalImageList vbalImageList;
    QHash<int, QWidget *> m_windows;
    QList<int> m_openedCommands; // in the order their windows were first opened
    QHash<int, QSize> m_designNeeds; // by command: what each window's controls take up as made
    QPointer<QMdiSubWindow> m_announcedSub;
    bool m_placementChosen = false;
    bool m_keepsGeometry = false;
    std::function<void()> m_endProcess;
    bool m_exiting = false;
    bool m_altAlone = false; // Alt is down and no other key has come since
};

} // namespace App
