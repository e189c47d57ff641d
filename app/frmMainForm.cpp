#include "app/frmMainForm.h"

#include "components/BackdropWidget.h"
#include "data/Database.h"
#include "app/MdiBackdropArea.h"
#include "search/SearchWindows.h"
#include "search/frmExclusivity.h"
#include "app/frmAbout.h"
#include "app/DataUpdate.h"
#include "app/KeysHelp.h"
#include "common/UserSettings.h"
#include "common/AppError.h"

#include <QAccessible>
#include <QMessageBox>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QDir>
#include <QLayout>

// Resource registration names a global function, so it stays outside the namespace.
static void registerRibbonIcons()
{
    Q_INIT_RESOURCE(ribbon_icons);
}

namespace App {

namespace {

// The ribbon's buttons in the order they are added: command, category, caption,
// image-list picture, and whether the button carries the "more" mark.
struct MenuButton
{
    int command;
    const char *category;
    const char *caption;
    qint16 picture;
    bool more = false;
};

constexpr MenuButton MenuButtons[] = {
    {frmMainForm::ShowDrugs, "1", "Show Drugs", 1},
    {frmMainForm::Ingredients, "1", "Ingredients", 2},
    {frmMainForm::DosageForm, "1", "Dosage Form", 3},
    {frmMainForm::Route, "1", "Route of\r\nAdministration", 4},
    {frmMainForm::Patents, "1", "Patents", 5},
    {frmMainForm::Exclusivity, "1", "Exclusivity", 8},
    {frmMainForm::ProtectionReport, "1", "Listed\r\nprotection", 9},
    {frmMainForm::Changes, "1", "Changes", 11},
    {frmMainForm::Exit, "2", "Exit", 7, true},
    {frmMainForm::About, "3", "About", 6},
    {frmMainForm::UpdateData, "3", "Update data", 10},
    {frmMainForm::ExitFromAbout, "4", "Exit", 7},
};

// A window's size as made, grown to hold every control where it was put.
QSize designNeed(const QWidget *window)
{
    QSize need = window->size();
    QRect controls;
    for (const QObject *child : window->children()) {
        const auto *widget = qobject_cast<const QWidget *>(child);
        if (widget && !widget->isWindow() && !widget->isHidden()) {
            controls |= widget->geometry();
        }
    }
    if (controls.isValid()) {
        // The same margin right and below as left and above.
        need = need.expandedTo(
            QSize(controls.right() + 1 + qMax(0, controls.left()), controls.bottom() + 1 + qMax(0, controls.top())));
    }
    return need;
}

} // namespace

frmMainForm::frmMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Torvanelquist"));
    setObjectName(QStringLiteral("frmMainForm"));
    m_mdiArea = new MdiBackdropArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MDIClient"));
    setCentralWidget(m_mdiArea);
    ZetRibbon1 = new Ribbon::ZetRibbon(this);
    ZetRibbon1->setObjectName(QStringLiteral("ZetRibbon1"));
    setMenuWidget(ZetRibbon1);
    connect(ZetRibbon1, &Ribbon::ZetRibbon::ButtonClick, this, &frmMainForm::ZetRibbon1_ButtonClick);
    stripTitleBarControls();
    addShortcuts();
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &frmMainForm::subWindowActivated);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &frmMainForm::focusIntoActiveWindow, Qt::QueuedConnection);
    // The designed client size until the first show places the window (placeOnScreen).
    resize(744, 584);
    setAttribute(Qt::WA_Resized, false);
}

frmMainForm::~frmMainForm()
{
    // The client area outlives this class's part of the window: the children it closes
    // as it goes must not reach a main window that is no longer one.
    disconnect(m_mdiArea, nullptr, this, nullptr);
}

void frmMainForm::Form_Load(const QString &databasePath)
{
    Db::Connection::shared().open(databasePath);
    buildRibbon(); // the title bar lost its controls when the window was made
    ZetRibbon1_ButtonClick(QStringLiteral("0"), QString());
}

void frmMainForm::reopenDatabase(const QString &databasePath)
{
    Db::Connection &connection = Db::Connection::shared();
    const QString previous = connection.filePath();
    try {
        connection.open(databasePath);
    } catch (const Common::AppError &) {
        connection.open(previous); // the windows go on as they were
        throw;
    }
    // Every window read the old file; each is made again on the new one.
    const QList<int> opened = m_openedCommands;
    const int active = [this] {
        for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
            if (QMdiSubWindow *sub = subWindowOf(it.value()); sub && sub == m_mdiArea->activeSubWindow()) {
                return it.key();
            }
        }
        return -1;
    }();
    for (QWidget *window : std::as_const(m_windows)) {
        delete subWindowOf(window);
    }
    m_windows.clear();
    m_designNeeds.clear();
    m_openedCommands.clear();
    for (const int command : opened) {
        openWindow(command);
    }
    if (active >= 0 && opened.contains(active)) {
        openWindow(active);
    }
}

QKeySequence frmMainForm::commandKeys(int command)
{
    // Ctrl+1 to Ctrl+8: the lookup windows, the protection report and the changes in the
    // ribbon's order.
    int number = 0;
    for (const MenuButton &button : MenuButtons) {
        if (button.command == Exit || button.command == About || button.command == ExitFromAbout
            || button.command == UpdateData) {
            continue;
        }
        if (button.command == command) {
            return QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + number));
        }
        ++number;
    }
    return QKeySequence();
}

void frmMainForm::addShortcuts()
{
    for (const MenuButton &button : MenuButtons) {
        if (const QKeySequence keys = commandKeys(button.command); !keys.isEmpty()) {
            auto *shortcut = new QShortcut(keys, this);
            connect(shortcut, &QShortcut::activated, this,
                    [this, command = button.command] { PressMenuButton(command); });
        }
    }
    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(next, &QShortcut::activated, this, [this] { activateNeighbourWindow(1); });
    auto *previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), this);
    connect(previous, &QShortcut::activated, this, [this] { activateNeighbourWindow(-1); });
    auto *ribbon = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(ribbon, &QShortcut::activated, this, &frmMainForm::focusRibbon);
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &frmMainForm::showKeysHelp);
    auto *find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, &frmMainForm::focusSearchBox);
    qApp->installEventFilter(this);
}

void frmMainForm::showKeysHelp()
{
    const QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    const QWidget *window = sub ? sub->widget() : nullptr;
    const QPointer<QWidget> focus = QApplication::focusWidget();
    KeysHelp dialog(window ? window->windowTitle() : QString(), windowHelp(window), this);
    dialog.exec();
    // The keyboard goes back to where it was, whatever the window manager activates next.
    activateWindow();
    if (focus) {
        focus->setFocus(Qt::OtherFocusReason);
    }
}

void frmMainForm::focusSearchBox()
{
    const QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    if (auto *window = qobject_cast<Search::SearchWindow *>(sub ? sub->widget() : nullptr)) {
        window->txtSearch()->setFocus(Qt::ShortcutFocusReason);
        window->txtSearch()->selectAll();
    }
}

void frmMainForm::activateNeighbourWindow(int step)
{
    // Covered windows are hidden (see subWindowActivated), so the client area's own
    // cycling, which passes over hidden windows, cannot be used.
    const QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    const int count = int(m_openedCommands.size());
    if (count < 2) {
        return;
    }
    const int current = int(m_openedCommands.indexOf(commandOf(sub ? sub->widget() : nullptr)));
    const int next = current < 0 ? 0 : ((current + step) % count + count) % count;
    openWindow(m_openedCommands.at(next));
}

int frmMainForm::commandOf(const QWidget *window) const
{
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
        if (it.value() == window) {
            return it.key();
        }
    }
    return -1;
}

void frmMainForm::subWindowActivated(QMdiSubWindow *sub)
{
    if (!sub) {
        return; // the main window itself lost the activation
    }
    // Only the window in front is shown: the ones it covers are hidden, so that neither a
    // screen reader nor a paint reaches what nobody can see.
    for (QMdiSubWindow *other : m_mdiArea->subWindowList()) {
        if (other != sub && other->isVisible()) {
            other->hide();
        }
    }
    const int command = commandOf(sub->widget());
    if (command >= 0) {
        ZetRibbon1->selectTabOfButton(QString::number(command));
    }
    // A screen reader hears the window change by its title (window:activate).
    if (m_announcedSub != sub) {
        if (m_announcedSub) {
            QAccessible::State active;
            active.active = true;
            QAccessibleStateChangeEvent leaving(m_announcedSub.data(), active);
            QAccessible::updateAccessibility(&leaving);
        }
        m_announcedSub = sub;
        QAccessible::State active;
        active.active = true;
        QAccessibleStateChangeEvent entering(sub, active);
        QAccessible::updateAccessibility(&entering);
    }
}

void frmMainForm::focusRibbon()
{
    ZetRibbon1->takeKeyboardFocus();
}

void frmMainForm::comeForward()
{
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
}

bool frmMainForm::eventFilter(QObject *watched, QEvent *event)
{
    // Alt pressed and released alone, in this window, is the ribbon's key.
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (type == QEvent::KeyPress) {
            m_altAlone = key->key() == Qt::Key_Alt && !key->isAutoRepeat();
        } else if (key->key() == Qt::Key_Alt && m_altAlone && !key->isAutoRepeat()) {
            m_altAlone = false;
            focusRibbon();
        }
    } else if (type == QEvent::MouseButtonPress) {
        m_altAlone = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMainForm::stripTitleBarControls()
{
    // Minimise stays; no maximise and no close: the two "Exit" buttons end the program.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
}

void frmMainForm::buildRibbon()
{
    registerRibbonIcons();
    ZetRibbon1->setTheme(0);
    // The ribbon's theme dresses the client area and every child window.
    setThemeBackdrop(ZetRibbon1->LoadBackground(), ZetRibbon1->BackColor());
    // Pictures 1 to 5: the first search commands in ribbon order; 6 about; 7 both exits;
    // 8 exclusivity; 9 listed protection; 10 update data; 11 changes.
    for (const char *picture : {"drugs", "ingredients", "dosageform", "route", "patents", "about", "exit",
                                "exclusivity", "protection", "update", "changes"}) {
        vbalImageList.addFromFile(QStringLiteral(":/icons/ribbon/%1.png").arg(QLatin1String(picture)));
    }
    ZetRibbon1->setImageList(&vbalImageList);
    ZetRibbon1->setButtonCenter(false);
    ZetRibbon1->AddTab(QStringLiteral("1"), QStringLiteral("Drug Reference"));
    ZetRibbon1->AddTab(QStringLiteral("2"), QStringLiteral("About"));
    ZetRibbon1->AddCat(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Drug Reference"), false);
    ZetRibbon1->AddCat(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Exit"), false);
    ZetRibbon1->AddCat(QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("About"), false);
    ZetRibbon1->AddCat(QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("Exit"), true);
    // A database without exclusivity records opens all the same; the button says why
    // its window stays empty.
    const QString noExclusivity = Search::frmExclusivity::missingDataReason();
    for (const MenuButton &button : MenuButtons) {
        ZetRibbon1->AddButton(QString::number(button.command), QString::fromLatin1(button.category),
                              QString::fromLatin1(button.caption), button.picture, button.more,
                              button.command == Exclusivity ? noExclusivity : QString());
        ZetRibbon1->setButtonShortcut(QString::number(button.command), commandKeys(button.command));
    }
    ZetRibbon1->Refresh();
}

void frmMainForm::setThemeBackdrop(const QPixmap &picture, const QColor &color)
{
    m_mdiArea->setBackdrop(picture, color);
}

void frmMainForm::applyBackdrop(QWidget *window) const
{
    if (auto *backdrop = qobject_cast<Components::BackdropWidget *>(window)) {
        backdrop->setBackgroundPicture(m_mdiArea->backgroundPicture());
        backdrop->setBackgroundColor(m_mdiArea->backgroundColor());
    }
}

void frmMainForm::PressMenuButton(int ButtonID)
{
    ZetRibbon1_ButtonClick(QString::number(ButtonID), QString());
}

void frmMainForm::ZetRibbon1_ButtonClick(const QString &ID, const QString &Caption)
{
    Q_UNUSED(Caption)
    bool isNumber = false;
    const int value = ID.trimmed().toInt(&isNumber);
    if (!isNumber) {
        return;
    }
    switch (value) {
    case ShowDrugs:
    case Ingredients:
    case DosageForm:
    case Route:
    case Patents:
    case Exclusivity:
    case ProtectionReport:
    case Changes:
    case About:
        openWindow(value);
        break;
    case Exit:
    case ExitFromAbout:
        close();
        break;
    case UpdateData:
        runDataUpdateDialog(this, [this](const QString &path) {
            try {
                reopenDatabase(path);
            } catch (const Common::AppError &error) {
                QMessageBox::warning(this, QStringLiteral("Update data"), error.description());
            }
        });
        break;
    default:
        break; // no button carries any other number
    }
}

int frmMainForm::commandPicture(int command)
{
    for (const MenuButton &button : MenuButtons) {
        if (button.command == command) {
            return button.picture;
        }
    }
    return 0;
}

QWidget *frmMainForm::ensureWindow(int command)
{
    if (QWidget *existing = m_windows.value(command)) {
        return existing;
    }
    QWidget *window = command == About ? new frmAbout : Search::SearchWindows::create(command, this);
    if (!window) {
        return nullptr; // no window of that kind in this build
    }
    // Child windows live until the program ends and are always shown maximised; the
    // ribbon is how the user moves between them, so their frames carry only the
    // caption and the command's picture, with no buttons of their own.
    const QSize need = designNeed(window);
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(window, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setSystemMenu(nullptr);
    // The keyboard goes to the window's controls, never to the frame around them.
    sub->setFocusPolicy(Qt::NoFocus);
    if (const int picture = commandPicture(command); vbalImageList.contains(picture)) {
        sub->setWindowIcon(vbalImageList.icon(picture));
    }
    m_windows.insert(command, window);
    m_designNeeds.insert(command, need);
    return window;
}

void frmMainForm::openWindow(int command)
{
    QWidget *window = ensureWindow(command);
    if (!window) {
        return;
    }
    QMdiSubWindow *sub = subWindowOf(window);
    if (!m_openedCommands.contains(command)) {
        m_openedCommands.append(command);
    }
    window->show();
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    applyBackdrop(window);
    sub->showMaximized();
    focusIntoActiveWindow();
}

void frmMainForm::focusIntoActiveWindow()
{
    // The keyboard goes into the front child window (where it last was, else its first
    // control), not to the frame around it.
    QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    QWidget *focus = QApplication::focusWidget();
    if (sub && sub->widget() && isActiveWindow() && (!focus || focus == sub || focus == m_mdiArea)) {
        QWidget *last = sub->widget()->focusWidget();
        if (last && last != sub->widget() && sub->widget()->isAncestorOf(last) && last->isVisible()) {
            last->setFocus(Qt::OtherFocusReason);
        } else {
            sub->widget()->setFocus(Qt::OtherFocusReason);
        }
    }
}

QMdiSubWindow *frmMainForm::subWindowOf(QWidget *window) const
{
    // The client area puts every child window into a frame of its own.
    auto *sub = window ? qobject_cast<QMdiSubWindow *>(window->parentWidget()) : nullptr;
    return sub && sub->mdiArea() == m_mdiArea ? sub : nullptr;
}

void frmMainForm::maximizeWindow(QWidget *window)
{
    if (QMdiSubWindow *sub = subWindowOf(window)) {
        if (sub->isHidden()) {
            sub->setWindowState(sub->windowState() | Qt::WindowMaximized); // covered: stays hidden
        } else {
            sub->showMaximized();
        }
    }
}

Search::frmDrugs *frmMainForm::drugsWindow()
{
    return Search::SearchWindows::asDrugs(ensureWindow(ShowDrugs));
}

Search::frmIngredients *frmMainForm::ingredientsWindow()
{
    return Search::SearchWindows::asIngredients(ensureWindow(Ingredients));
}

Search::frmDosageForm *frmMainForm::dosageFormWindow()
{
    return Search::SearchWindows::asDosageForm(ensureWindow(DosageForm));
}

Search::frmRoute *frmMainForm::routeWindow()
{
    return Search::SearchWindows::asRoute(ensureWindow(Route));
}

Search::frmPatent *frmMainForm::patentWindow()
{
    return Search::SearchWindows::asPatent(ensureWindow(Patents));
}

Search::frmExclusivity *frmMainForm::exclusivityWindow()
{
    return Search::SearchWindows::asExclusivity(ensureWindow(Exclusivity));
}

void frmMainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        focusIntoActiveWindow();
    }
    // The window has no maximise. Window managers that keep the button anyway (they
    // may ignore the hints that take it away) find their maximise undone.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        QMetaObject::invokeMethod(
            this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); }, Qt::QueuedConnection);
    }
}

void frmMainForm::closeEvent(QCloseEvent *event)
{
    // However the window is closed, the program ends through the exit path.
    event->accept();
    exitPath();
}

void frmMainForm::exitPath()
{
    if (m_exiting) {
        return;
    }
    m_exiting = true;
    saveGeometryToSettings();
    Db::Connection::releaseShared(); // closes the connection first
    QCoreApplication::processEvents();
    if (m_endProcess) {
        m_endProcess();
    } else {
        QCoreApplication::exit(0);
    }
}

} // namespace App
