#include "frmMainForm.h"

#include "BackdropWidget.h"
#include "Database.h"
#include "MdiBackdropArea.h"
#include "SearchWindows.h"
#include "frmAbout.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>

frmMainForm::frmMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Torvanelquist"));
    setObjectName(QStringLiteral("frmMainForm"));
    m_mdiArea = new MdiBackdropArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MDIClient"));
    setCentralWidget(m_mdiArea);
    ZetRibbon1 = new ZetRibbon(this);
    ZetRibbon1->setObjectName(QStringLiteral("ZetRibbon1"));
    setMenuWidget(ZetRibbon1);
    connect(ZetRibbon1, &ZetRibbon::ButtonClick, this, &frmMainForm::ZetRibbon1_ButtonClick);
    stripTitleBarControls();

    // The stored client size, centred on the screen.
    resize(744, 584);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
}

frmMainForm::~frmMainForm() = default;

void frmMainForm::Form_Load(const QString &databasePath)
{
    Connection::shared().open(databasePath);
    stripTitleBarControls();
    buildRibbon();
    ZetRibbon1_ButtonClick(QStringLiteral("0"), QString());
}

void frmMainForm::stripTitleBarControls()
{
    // Minimise stays; no maximise and no close: the two "Exit" buttons end the program.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
}

void frmMainForm::buildRibbon()
{
    Q_INIT_RESOURCE(ribbon_icons);
    ZetRibbon1->setTheme(0);
    // The ribbon's theme dresses the client area and every child window.
    setThemeBackdrop(ZetRibbon1->LoadBackground(), ZetRibbon1->BackColor());
    // Pictures 1 to 5: the search commands in ribbon order; 6 about; 7 both exits.
    for (const char *picture : {"drugs", "ingredients", "dosageform", "route", "patents", "about", "exit"}) {
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
    ZetRibbon1->AddButton(QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("Show Drugs"), 1);
    ZetRibbon1->AddButton(QStringLiteral("9"), QStringLiteral("1"), QStringLiteral("Ingredients"), 2);
    ZetRibbon1->AddButton(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Dosage Form"), 3);
    ZetRibbon1->AddButton(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Route of\r\nAdministration"), 4);
    ZetRibbon1->AddButton(QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("Patents"), 5);
    ZetRibbon1->AddButton(QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("Exit"), 7, true);
    ZetRibbon1->AddButton(QStringLiteral("6"), QStringLiteral("3"), QStringLiteral("About"), 6);
    ZetRibbon1->AddButton(QStringLiteral("8"), QStringLiteral("4"), QStringLiteral("Exit"), 7);
    ZetRibbon1->Refresh();
}

void frmMainForm::setThemeBackdrop(const QPixmap &picture, const QColor &color)
{
    m_backgroundPicture = picture;
    m_backgroundColor = color;
    m_mdiArea->setBackdrop(picture, color);
}

void frmMainForm::applyBackdrop(QWidget *window) const
{
    if (auto *backdrop = qobject_cast<BackdropWidget *>(window)) {
        backdrop->setBackgroundPicture(m_backgroundPicture);
        backdrop->setBackgroundColor(m_backgroundColor);
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
    // Each row is its own test, in this order.
    if (value == ShowDrugs) {
        openWindow(ShowDrugs);
    }
    if (value == Ingredients) {
        openWindow(Ingredients);
    }
    if (value == DosageForm) {
        openWindow(DosageForm);
    }
    if (value == Route) {
        openWindow(Route);
    }
    if (value == Patents) {
        openWindow(Patents);
    }
    if (value == About) {
        openWindow(About);
    }
    if (value == Exit || value == ExitFromAbout) {
        close();
    }
}

int frmMainForm::commandPicture(int command)
{
    switch (command) {
    case ShowDrugs:
        return 1;
    case Ingredients:
        return 2;
    case DosageForm:
        return 3;
    case Route:
        return 4;
    case Patents:
        return 5;
    case About:
        return 6;
    default:
        return 7;
    }
}

QWidget *frmMainForm::ensureWindow(int command)
{
    if (QWidget *existing = m_windows.value(command)) {
        return existing;
    }
    QWidget *window = nullptr;
    if (command == About) {
        window = new frmAbout;
    } else if (SearchWindows::provides(command)) {
        window = SearchWindows::create(command, this);
    }
    if (!window) {
        return nullptr; // no window of that kind in this build
    }
    // Child windows live until the program ends and are always shown maximised; the
    // ribbon is how the user moves between them, so their frames carry only the
    // caption and the command's picture, with no buttons of their own.
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(
        window, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setSystemMenu(nullptr);
    const int picture = commandPicture(command);
    if (vbalImageList.contains(picture)) {
        sub->setWindowIcon(vbalImageList.icon(picture));
    }
    m_windows.insert(command, window);
    return window;
}

void frmMainForm::openWindow(int command)
{
    QWidget *window = ensureWindow(command);
    if (!window) {
        return;
    }
    QMdiSubWindow *sub = subWindowOf(window);
    window->show();
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    applyBackdrop(window);
    sub->showMaximized();
}

QMdiSubWindow *frmMainForm::subWindowOf(QWidget *window) const
{
    const auto subs = m_mdiArea->subWindowList();
    for (QMdiSubWindow *sub : subs) {
        if (sub->widget() == window) {
            return sub;
        }
    }
    return nullptr;
}

void frmMainForm::maximizeWindow(QWidget *window)
{
    if (QMdiSubWindow *sub = subWindowOf(window)) {
        sub->showMaximized();
    }
}

frmDrugs *frmMainForm::drugsWindow()
{
    return SearchWindows::asDrugs(ensureWindow(ShowDrugs));
}

frmIngredients *frmMainForm::ingredientsWindow()
{
    return SearchWindows::asIngredients(ensureWindow(Ingredients));
}

frmDosageForm *frmMainForm::dosageFormWindow()
{
    return SearchWindows::asDosageForm(ensureWindow(DosageForm));
}

frmRoute *frmMainForm::routeWindow()
{
    return SearchWindows::asRoute(ensureWindow(Route));
}

frmPatent *frmMainForm::patentWindow()
{
    return SearchWindows::asPatent(ensureWindow(Patents));
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
    Connection::shared().close();
    Connection::releaseShared();
    QCoreApplication::processEvents();
    if (m_endProcess) {
        m_endProcess();
    } else {
        QCoreApplication::exit(0);
    }
}
