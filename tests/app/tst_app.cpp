#include "common/ErrorNumbers.h"
#include "data/Database.h"
#include "app/MdiBackdropArea.h"
#include "app/Startup.h"
#include "app/frmAbout.h"
#include "app/SingleInstance.h"
#include "app/frmMainForm.h"
#include "app/KeysHelp.h"
#include "layout/Schema.h"
#include "search/AdvancedPanel.h"
#include "search/SearchWindow.h"
#include "search/frmDrugs.h"
#include "search/HitList.h"
#include "common/UserSettings.h"
#include "components/VbalGrid.h"
#include "ribbon/RibbonTheme.h"
#include "ribbon/ZetRibbon.h"
#include "FixtureDatabase.h"
#include "IsolatedInstance.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTextBrowser>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <time.h>
#include <unistd.h>

using namespace Db;
using namespace Components;
using namespace App;

Q_DECLARE_METATYPE(App::Startup::Options::Action)

// Receives the addresses the About window asks the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void openUrl(const QUrl &url) { opened << url; }
};

// The main window loaded on the real database, its process end counted instead of run.
class LoadedForm : public frmMainForm
{
public:
    LoadedForm()
    {
        setProcessEnd([this] {
            ++ended;
            openWhenEnded = Connection::shared().isOpen();
        });
        Form_Load(QStringLiteral(KVOSTREL_DB_PATH));
    }

    int ended = 0;
    bool openWhenEnded = true;
};

class AppTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void commandLineIsReadBeforeAnyWindow_data();
    void commandLineIsReadBeforeAnyWindow();
    void helpVersionAndWrongArgumentsNeedNoDisplay_data();
    void helpVersionAndWrongArgumentsNeedNoDisplay();
    void startupProbeIsAnOptionNotTheEnvironment();
    void displayGoneEndsTheProgramWithoutACrash();

    void loadOpensTheDatabaseAndDressesTheClientArea();
    void commandTableOpensEachWindowOnceAndIgnoresUnknownCommands();
    void windowMadeOnFirstUseStaysBehindTheMaximisedOne();
    void bothExitCommandsRunTheExitPath_data();
    void bothExitCommandsRunTheExitPath();
    void closingByTheWindowManagerRunsTheExitPath();
    void titleBarOffersNeitherMaximiseNorClose();
    void keysReachEveryWindowAndTheRibbon();
    void firstStartShowsTheFrontWindowWholeOnTheScreen();
    void keptSizeAndPlaceComeBackWithinTheScreens_data();
    void keptSizeAndPlaceComeBackWithinTheScreens();
    void sizeAndPlaceAreKeptAtTheEndOnlyWhenTheWindowChoseThem();
    void onlyTheWindowInFrontIsShownAndItsActivationIsTold();
    void ribbonTabFollowsTheWindowInFrontAndTipsNameTheKeys();
    void f1ShowsTheKeysTableAndTheWindowsHelp();
    void ctrlFPutsTheKeyboardInTheSearchBox();
    void unusableTemporaryFolderIsPassedOverOrNamed();
    void unusableDatabaseIsExplainedAndEndsWithFailure_data();
    void unusableDatabaseIsExplainedAndEndsWithFailure();

    void aboutTextHasSevenLinesWithTheVersion();
    void updatedDataReopensTheOpenWindowsOnTheNewFile();
    void startUpPassesOverADatabaseThatCannotBeOpened();
    void aboutPanelFitsTheWindowFromTheFirstSizeUp();
    void clickingLogoOrTextOpensTheWebAddress();
};

namespace {

// The user's settings file of these tests: in a folder of their own, never the user's.
QTemporaryDir &settingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

QString settingsFile()
{
    return Common::userSettings()->fileName();
}

// Two screens: a large one (primary) and a small one right of it.
constexpr QRect LargeScreen(0, 0, 1280, 1024);
constexpr QRect SmallScreen(1280, 0, 800, 600);

} // namespace

void AppTest::initTestCase()
{
    QVERIFY(settingsFolder().isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder().path());
    QVERIFY(settingsFile().startsWith(settingsFolder().path()));
    const QList<QScreen *> screens = QGuiApplication::screens();
    QVERIFY2(screens.size() == 2 && screens.at(0)->availableGeometry() == LargeScreen
                 && screens.at(1)->availableGeometry() == SmallScreen,
             "the test runs on its two offscreen screens");
}

void AppTest::cleanup()
{
    Connection::releaseShared();
    QFile::remove(settingsFile());
}

void AppTest::commandLineIsReadBeforeAnyWindow_data()
{
    using Action = Startup::Options::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("probe");
    QTest::addColumn<QStringList>("words"); // in the message
    const QString none;
    const QStringList help{QStringLiteral("Usage: torvanelquist"), QStringLiteral("--version"),
                           QStringLiteral("--instance-key=NAME"), QStringLiteral("--startup-probe=NANOSECONDS")};
    const QStringList version{QStringLiteral("torvanelquist %1.%2.%3\n")
                                  .arg(TORVANELQUIST_VERSION_MAJOR)
                                  .arg(TORVANELQUIST_VERSION_MINOR)
                                  .arg(TORVANELQUIST_VERSION_REVISION)};
    const auto wrong = [](const char *what) {
        return QStringList{QString::fromUtf8(what), QStringLiteral("torvanelquist --help")};
    };
    const auto row = [](const char *name, const QStringList &arguments, Action action, const QString &key, qint64 probe,
                        const QStringList &words) {
        QTest::newRow(name) << (QStringList{QStringLiteral("torvanelquist")} << arguments) << action << key << probe
                            << words;
    };
    row("nothing", {}, Action::Run, none, -1, {});
    row("--help", {"--help"}, Action::Help, none, -1, help);
    row("-h", {"-h"}, Action::Help, none, -1, help);
    row("--version", {"--version"}, Action::Version, none, -1, version);
    row("-v", {"-v"}, Action::Version, none, -1, version);
    row("the first answer wins", {"--version", "--bogus", "--help"}, Action::Version, none, -1, version);
    row("unknown option", {"--bogus"}, Action::Error, none, -1, wrong("unknown option '--bogus'"));
    row("unknown short option", {"-x"}, Action::Error, none, -1, wrong("unknown option '-x'"));
    row("unknown before help", {"--bogus=1", "--help"}, Action::Error, none, -1, wrong("'--bogus'"));
    row("a file", {"kvostrel.mdb"}, Action::Error, none, -1, wrong("unexpected argument 'kvostrel.mdb'"));
    row("a lone dash", {"-"}, Action::Error, none, -1, wrong("unexpected argument '-'"));
    row("help with a value", {"--help=all"}, Action::Error, none, -1, wrong("'--help' takes no value"));
    row("instance key", {"--instance-key=torvanelquist-test-1"}, Action::Run, "torvanelquist-test-1", -1, {});
    row("instance key apart", {"--instance-key", "k.2_x"}, Action::Run, "k.2_x", -1, {});
    row("instance key missing", {"--instance-key"}, Action::Error, none, -1, wrong("'--instance-key' needs a value"));
    row("instance key empty", {"--instance-key="}, Action::Error, none, -1, wrong("'--instance-key' takes a name"));
    row("instance key with a slash", {"--instance-key=../x"}, Action::Error, none, -1, wrong("not '../x'"));
    row("instance key too long", {"--instance-key=" + QString(65, u'k')}, Action::Error, none, -1, wrong("at most 64"));
    row("startup probe", {"--startup-probe=123456789"}, Action::Run, none, 123456789, {});
    row("startup probe apart", {"--startup-probe", "0"}, Action::Run, none, 0, {});
    row("startup probe not a number", {"--startup-probe=soon"}, Action::Error, none, -1, wrong("not 'soon'"));
    row("startup probe negative", {"--startup-probe=-5"}, Action::Error, none, -1, wrong("not '-5'"));
    row("both test options", {"--startup-probe=7", "--instance-key=b"}, Action::Run, "b", 7, {});
    row("Qt's options", {"-platform", "offscreen", "-style=fusion", "--reverse", "-qwindowtitle", "x y"}, Action::Run,
        none, -1, {});
    row("Qt's option without its value", {"-platform"}, Action::Error, none, -1, wrong("'-platform' needs a value"));
}

// The program's arguments: the two questions every desktop program answers, the two
// options of the tests and benchmarks, Qt's own; anything else is named and refused.
void AppTest::commandLineIsReadBeforeAnyWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(Startup::Options::Action, action);
    QFETCH(QString, key);
    QFETCH(qint64, probe);
    QFETCH(QStringList, words);
    const Startup::Options options = Startup::parseCommandLine(arguments);
    QCOMPARE(options.action, action);
    QCOMPARE(options.instanceKey, key);
    QCOMPARE(options.startupProbe, probe);
    for (const QString &word : words) {
        QVERIFY2(options.message.contains(word), qPrintable(options.message));
    }
    QCOMPARE(options.message.isEmpty(), words.isEmpty());
}

void AppTest::helpVersionAndWrongArgumentsNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << QByteArray("Usage: torvanelquist")
                            << QByteArray();
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0 << QByteArray("torvanelquist ")
                               << QByteArray();
    QTest::newRow("unknown") << QStringList{QStringLiteral("--bogus")} << 2 << QByteArray()
                             << QByteArray("torvanelquist: unknown option '--bogus'");
    QTest::newRow("a file") << QStringList{QStringLiteral("a.mdb")} << 2 << QByteArray()
                            << QByteArray("torvanelquist: unexpected argument 'a.mdb'");
}

// Answered at once, on the terminal, with no display to be had: a program that made its
// window first could not even start here.
void AppTest::helpVersionAndWrongArgumentsNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, error);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TORVANELQUIST_EXE), arguments);
    QVERIFY(program.waitForFinished(10000));
    const QByteArray printed = program.readAllStandardOutput();
    const QByteArray complaint = program.readAllStandardError();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == status, complaint.constData());
    QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.startsWith(out), printed.constData());
    QVERIFY2(error.isEmpty() ? complaint.isEmpty() : complaint.startsWith(error), complaint.constData());
}

// The benchmark's switch is the option alone: a variable of that name in the user's
// environment changes nothing.
void AppTest::startupProbeIsAnOptionNotTheEnvironment()
{
    const auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_MONOTONIC, &time);
        return QString::number(qint64(time.tv_sec) * 1000000000 + time.tv_nsec);
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TORVANELQUIST_STARTUP_PROBE"), now());
    QProcess probed;
    probed.setProcessEnvironment(env);
    probed.start(QStringLiteral(TORVANELQUIST_EXE),
                 {isolatedInstanceOption(), QStringLiteral("--startup-probe=") + now()});
    QVERIFY(probed.waitForFinished(20000));
    QCOMPARE(probed.exitCode(), 0);
    QVERIFY(probed.readAllStandardOutput().startsWith("startup-probe "));

    // The same start without the option: running, its window shown and answering.
    QProcess user;
    user.setProcessEnvironment(env);
    user.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::requestActivation(isolatedInstanceKey()), 20000);
    QVERIFY(!user.waitForFinished(1000));
    QVERIFY(user.readAllStandardOutput().isEmpty());
    user.kill();
    user.waitForFinished();
}

// When the display goes away, Qt ends the program with exit(); the database objects are
// then left to the system, not finalized among the static objects (that crashed).
void AppTest::displayGoneEndsTheProgramWithoutACrash()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        QSKIP("Xvfb is not installed");
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(server.waitForReadyRead(10000));
    const QString display = QStringLiteral(":") + QString::fromLatin1(server.readLine()).trimmed();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QVERIFY(program.waitForStarted());
    QTest::qWait(2500); // shown, with its database open
    QCOMPARE(program.state(), QProcess::Running);
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
}

void AppTest::loadOpensTheDatabaseAndDressesTheClientArea()
{
    LoadedForm form;
    QVERIFY(Connection::shared().isOpen());
    QCOMPARE(form.windowTitle(), QStringLiteral("Torvanelquist"));
    QVERIFY(form.clientArea()->backgroundColor().isValid());
}

void AppTest::commandTableOpensEachWindowOnceAndIgnoresUnknownCommands()
{
    LoadedForm form;
    form.show();
    const QPixmap picture(12, 7);
    form.setThemeBackdrop(picture, QColor(1, 2, 3));
    const int before = form.clientArea()->subWindowList().size();

    form.PressMenuButton(frmMainForm::About);
    auto *about = qobject_cast<frmAbout *>(form.childWindow(frmMainForm::About));
    QVERIFY(about);
    QMdiSubWindow *sub = form.subWindowOf(about);
    QVERIFY(sub && sub->isVisible() && sub->isMaximized());
    QCOMPARE(form.clientArea()->activeSubWindow(), sub);
    QCOMPARE(about->backgroundColor(), QColor(1, 2, 3));
    QCOMPARE(about->backgroundPicture().size(), QSize(12, 7));

    // Closed by the user, it comes back as it was: one instance, kept.
    sub->close();
    form.ZetRibbon1_ButtonClick(QString::number(frmMainForm::About), QStringLiteral("About"));
    QCOMPARE(form.childWindow(frmMainForm::About), about);
    QVERIFY(sub->isVisible() && sub->isMaximized());

    // No button carries 7; text that is not a number runs nothing.
    for (const QString &id : {QStringLiteral("7"), QStringLiteral("x"), QString()}) {
        form.ZetRibbon1_ButtonClick(id, QString());
    }
    QCOMPARE(form.clientArea()->subWindowList().size(), before + 1);
    QCOMPARE(form.ended, 0);
    QVERIFY(Connection::shared().isOpen());
}

void AppTest::windowMadeOnFirstUseStaysBehindTheMaximisedOne()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QMdiSubWindow *drugs = form.subWindowOf(form.childWindow(frmMainForm::ShowDrugs));
    QVERIFY(drugs && drugs->isMaximized());

    // Another window asks for the patent window before its command ever ran.
    QVERIFY(form.patentWindow());
    QCoreApplication::processEvents();
    QMdiSubWindow *patents = form.subWindowOf(form.childWindow(frmMainForm::Patents));
    QVERIFY(patents && !patents->isVisible());
    QVERIFY(drugs->isMaximized());
    QCOMPARE(form.clientArea()->activeSubWindow(), drugs);

    // Its command then shows it maximised, in front, dressed like every other window.
    form.PressMenuButton(frmMainForm::Patents);
    QVERIFY(patents->isVisible() && patents->isMaximized());
    QCOMPARE(form.clientArea()->activeSubWindow(), patents);
    QCOMPARE(qobject_cast<BackdropWidget *>(form.childWindow(frmMainForm::Patents))->backgroundColor(),
             form.clientArea()->backgroundColor());
}

void AppTest::bothExitCommandsRunTheExitPath_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("Exit on the Drug Reference tab") << int(frmMainForm::Exit);
    QTest::newRow("Exit on the About tab") << int(frmMainForm::ExitFromAbout);
}

void AppTest::bothExitCommandsRunTheExitPath()
{
    QFETCH(int, command);
    LoadedForm form;
    form.show();
    form.PressMenuButton(command);
    QCOMPARE(form.ended, 1);
    QVERIFY(!form.openWhenEnded);
    QVERIFY(!form.isVisible());
}

void AppTest::closingByTheWindowManagerRunsTheExitPath()
{
    LoadedForm form;
    form.show();
    QVERIFY(form.close());
    QCOMPARE(form.ended, 1);
    QVERIFY(!Connection::shared().isOpen());
}

void AppTest::titleBarOffersNeitherMaximiseNorClose()
{
    frmMainForm form;
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    // A window manager that maximises it anyway sees the maximise undone.
    form.showMaximized();
    QTRY_VERIFY(!form.isMaximized());
    QVERIFY(form.isVisible());
}

namespace {

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

} // namespace

// The theme pictures pass through temporary files: a TMPDIR that is gone does not stop
// the start, and when no folder can be written the message names each and why.
// Every command by keyboard: Ctrl+1 to Ctrl+5 open the lookup windows in the ribbon's
// order, Ctrl+Tab cycles them, F10 or Alt alone go to the ribbon, whose arrows and
// Enter run its buttons, and Escape gives the focus back.
void AppTest::keysReachEveryWindowAndTheRibbon()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const auto front = [&form] {
        const QMdiSubWindow *sub = form.clientArea()->activeSubWindow();
        return sub ? sub->widget() : nullptr;
    };
    const int commands[] = {frmMainForm::ShowDrugs, frmMainForm::Ingredients, frmMainForm::DosageForm,
                            frmMainForm::Route, frmMainForm::Patents};
    for (int n = 5; n >= 1; --n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(Qt::Key_0 + n), Qt::ControlModifier);
        QVERIFY(form.childWindow(commands[n - 1]));
        QCOMPARE(front(), form.childWindow(commands[n - 1]));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(front() != form.childWindow(frmMainForm::ShowDrugs));

    auto *ribbon = form.findChild<Ribbon::ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    QWidget *before = QApplication::focusWidget();
    QVERIFY(before && before != ribbon);
    QTest::keyClick(before, Qt::Key_F10);
    QCOMPARE(QApplication::focusWidget(), ribbon);
    QCOMPARE(ribbon->focusItem()->family, Ribbon::RibbonFamily::TabMouse);
    QTest::keyClick(ribbon, Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), before);
    QTest::keyPress(before, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(before, Qt::Key_Alt);
    QCOMPARE(QApplication::focusWidget(), ribbon);

    // Down into the buttons, Right to the second (Ingredients), Enter runs it.
    form.PressMenuButton(frmMainForm::Patents);
    ribbon->takeKeyboardFocus();
    QTest::keyClick(ribbon, Qt::Key_Down);
    QTest::keyClick(ribbon, Qt::Key_Right);
    QTest::keyClick(ribbon, Qt::Key_Return);
    QCOMPARE(front(), form.childWindow(frmMainForm::Ingredients));
    QCOMPARE(form.ended, 0);
}

// The first start (nothing kept yet) sizes the window so the drug window shows every
// control whole, the advanced panel's FIND and CANCEL included, centred on the screen.
void AppTest::firstStartShowsTheFrontWindowWholeOnTheScreen()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.keepsGeometry());
    auto *drugs = qobject_cast<Search::SearchWindow *>(form.childWindow(frmMainForm::ShowDrugs));
    QVERIFY(drugs);
    QVERIFY2(LargeScreen.contains(form.frameGeometry()), qPrintable(QDebug::toString(form.frameGeometry())));
    QVERIFY(qAbs(form.frameGeometry().center().x() - LargeScreen.center().x()) <= 1);
    const QSize need = form.neededSize(frmMainForm::ShowDrugs);
    QVERIFY2(drugs->width() >= need.width() && drugs->height() >= need.height(),
             qPrintable(QDebug::toString(drugs->size()) + QDebug::toString(need)));
    QVERIFY(need.width() >= 740 && need.height() >= 469); // never less than its design
    drugs->Command1()->click();
    for (const QWidget *button : {static_cast<QWidget *>(drugs->picAdvanced()->cmdAdvancedSearch()),
                                  static_cast<QWidget *>(drugs->picAdvanced()->cmdAdvancedCancel())}) {
        const QRect inWindow(button->mapTo(drugs, QPoint()), button->size());
        QVERIFY2(drugs->rect().contains(inWindow), qPrintable(QDebug::toString(inWindow)));
        QVERIFY(drugs->picAdvanced()->rect().contains(button->geometry()));
    }

    // Where the screen is too small for that, the window fills the screen and no more.
    const QSize overhead = form.size() - drugs->size();
    QCOMPARE(frmMainForm::firstSize(need, overhead, QSize(640, 480)), QSize(640, 480));
    QCOMPARE(frmMainForm::firstSize(need, overhead, QSize(4000, 3000)), need + overhead);
}

void AppTest::keptSizeAndPlaceComeBackWithinTheScreens_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QRect>("savedFrame");
    QTest::addColumn<QRect>("restored");
    const QRect onLarge(100, 80, 900, 700);
    QTest::newRow("fits where it was") << onLarge << onLarge << onLarge;
    QTest::newRow("on the small screen, too large for it")
        << QRect(1300, 20, 1000, 700) << QRect(1300, 20, 1000, 700) << SmallScreen;
    QTest::newRow("half off the large screen's corner")
        << QRect(1000, 900, 600, 400) << QRect(1000, 900, 600, 400) << QRect(680, 624, 600, 400);
    QTest::newRow("its screen is gone") << QRect(5000, 3000, 700, 500) << QRect(5000, 3000, 700, 500)
                                        << QRect(580, 524, 700, 500);
    QTest::newRow("the window manager's frame stays on the screen too")
        << QRect(10, 0, 800, 600) << QRect(5, -25, 810, 630) << QRect(10, 25, 800, 600);
    QTest::newRow("larger than every screen") << QRect(0, 0, 3000, 2000) << QRect(0, 0, 3000, 2000) << LargeScreen;
}

// A kept geometry that no longer fits (smaller screen, a monitor gone) is moved and
// shrunk onto the screen it was on, or onto the primary one.
void AppTest::keptSizeAndPlaceComeBackWithinTheScreens()
{
    QFETCH(QRect, saved);
    QFETCH(QRect, savedFrame);
    QFETCH(QRect, restored);
    {
        const std::unique_ptr<QSettings> settings = Common::userSettings();
        settings->setValue(QStringLiteral("MainWindow/geometry"), saved);
        settings->setValue(QStringLiteral("MainWindow/frameGeometry"), savedFrame);
    }
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.geometry(), restored);
}

void AppTest::sizeAndPlaceAreKeptAtTheEndOnlyWhenTheWindowChoseThem()
{
    {
        LoadedForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setGeometry(QRect(150, 120, 820, 640));
        QTRY_COMPARE(form.geometry(), QRect(150, 120, 820, 640));
        form.PressMenuButton(frmMainForm::Exit);
        QCOMPARE(form.ended, 1);
    }
    QCOMPARE(Common::userSettings()->value(QStringLiteral("MainWindow/geometry")).toRect(), QRect(150, 120, 820, 640));
    {
        LoadedForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.geometry(), QRect(150, 120, 820, 640));
    }

    // A window its caller sized (the screenshot tools, tests) leaves the kept one alone.
    QFile::remove(settingsFile());
    {
        LoadedForm form;
        form.resize(1024, 768);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(1024, 768));
        QVERIFY(!form.keepsGeometry());
        QVERIFY(form.close());
    }
    QVERIFY(!QFile::exists(settingsFile()));

    // A file that cannot be read or written is named, and the window opens as at a first start.
    QVERIFY(QDir().mkpath(settingsFile())); // a folder where the file should be
    const auto removeFolder = qScopeGuard([] { QDir(settingsFile()).removeRecursively(); });
    {
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("torvanelquist: the window's size and place kept in .*cannot be read")));
        LoadedForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.keepsGeometry());
        QVERIFY(LargeScreen.contains(form.frameGeometry()));
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("torvanelquist: the window's size and place cannot be kept in .*ini")));
        form.PressMenuButton(frmMainForm::Exit);
        QCOMPARE(form.ended, 1);
    }
}

// Covered child windows are hidden (nothing reports them as showing), Ctrl+Tab still
// goes round every opened window, and assistive technology sees the window in front as
// the one active window, by its title (the outside test hears its activation told).
void AppTest::onlyTheWindowInFrontIsShownAndItsActivationIsTold()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const QList<int> order = {frmMainForm::ShowDrugs, frmMainForm::Patents, frmMainForm::About, frmMainForm::Route};
    for (int command : order.mid(1)) {
        form.PressMenuButton(command);
    }
    // Another window asks for the ingredient window without opening it: it is made, not shown.
    QVERIFY(form.ingredientsWindow());
    const auto visibleWindows = [&form] {
        QList<QWidget *> visible;
        for (QMdiSubWindow *sub : form.clientArea()->subWindowList()) {
            if (sub->isVisible()) {
                visible << sub->widget();
            }
        }
        return visible;
    };
    const auto titleOf = [&form](int command) { return form.childWindow(command)->windowTitle(); };
    QCOMPARE(visibleWindows(), QList<QWidget *>{form.childWindow(frmMainForm::Route)});
    const auto checkFrames = [&](int front) {
        for (int command : order) {
            QAccessibleInterface *frame
                = QAccessible::queryAccessibleInterface(form.subWindowOf(form.childWindow(command)));
            QCOMPARE(frame->role(), QAccessible::Window);
            QCOMPARE(frame->text(QAccessible::Name), titleOf(command));
            QCOMPARE(bool(frame->state().invisible), command != front);
            QCOMPARE(bool(frame->state().active), command == front);
        }
    };
    checkFrames(frmMainForm::Route);

    // Ctrl+Tab: round the opened windows in the order they were opened; Ctrl+Shift+Tab back.
    for (int n = 1; n <= 4; ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        const int expected = order.at((3 + n) % 4);
        QCOMPARE(visibleWindows(), QList<QWidget *>{form.childWindow(expected)});
        QCOMPARE(form.clientArea()->activeSubWindow()->widget(), form.childWindow(expected));
        QVERIFY(form.clientArea()->activeSubWindow()->isMaximized());
        checkFrames(expected);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(visibleWindows(), QList<QWidget *>{form.childWindow(frmMainForm::About)});
    checkFrames(frmMainForm::About);
}

// The ribbon shows the tab of the window in front, and its tips name each button's keys.
void AppTest::ribbonTabFollowsTheWindowInFrontAndTipsNameTheKeys()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto *ribbon = form.findChild<Ribbon::ZetRibbon *>(QStringLiteral("ZetRibbon1"));
    const auto selectedTab = [ribbon] {
        for (const QVector<Ribbon::ElementRef> items = ribbon->focusableItems();
             const Ribbon::ElementRef &item : items) {
            if (item.family == Ribbon::RibbonFamily::TabMouse
                && ribbon->scene().isShown(Ribbon::RibbonFamily::Tab_center, item.index)) {
                return ribbon->itemName(item);
            }
        }
        return QString();
    };
    QCOMPARE(selectedTab(), QStringLiteral("Drug Reference"));
    form.PressMenuButton(frmMainForm::About);
    QCOMPARE(selectedTab(), QStringLiteral("About"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(selectedTab(), QStringLiteral("Drug Reference"));
    // Ctrl+Tab goes round Drugs, About, Dosage Form.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(form.clientArea()->activeSubWindow()->widget(), form.childWindow(frmMainForm::ShowDrugs));
    QCOMPARE(selectedTab(), QStringLiteral("Drug Reference"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(form.clientArea()->activeSubWindow()->widget(), form.childWindow(frmMainForm::About));
    QCOMPARE(selectedTab(), QStringLiteral("About"));

    QStringList tips;
    form.PressMenuButton(frmMainForm::ShowDrugs);
    for (const Ribbon::ElementRef &item : ribbon->focusableItems()) {
        if (item.family == Ribbon::RibbonFamily::ButMouse) {
            tips << ribbon->buttonToolTip(item.index).section(QLatin1Char('\n'), 0, 0);
        }
    }
    QCOMPARE(tips,
             (QStringList{QStringLiteral("Show Drugs (Ctrl+1)"), QStringLiteral("Ingredients (Ctrl+2)"),
                          QStringLiteral("Dosage Form (Ctrl+3)"), QStringLiteral("Route of Administration (Ctrl+4)"),
                          QStringLiteral("Patents (Ctrl+5)"), QStringLiteral("Exclusivity (Ctrl+6)"),
                          QStringLiteral("Listed protection (Ctrl+7)"), QStringLiteral("Changes (Ctrl+8)"),
                          QStringLiteral("Exit")}));
}

// F1 opens the keys table (the README's, row for row) under the help of the window in
// front; Escape closes it and the keyboard is where it was.
void AppTest::f1ShowsTheKeysTableAndTheWindowsHelp()
{
    QFile readme(QStringLiteral(README_PATH));
    QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    QList<QPair<QString, QString>> readmeRows;
    bool inKeys = false;
    for (const QString &line : QString::fromUtf8(readme.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("## "))) {
            inKeys = line == QLatin1String("## Keys");
        } else if (inKeys && line.startsWith(QLatin1String("| ")) && !line.startsWith(QLatin1String("| Keys |"))) {
            const QStringList cells = line.split(QLatin1String(" | "));
            readmeRows << qMakePair(cells.value(0).mid(2), cells.value(1).chopped(2));
        }
    }
    QList<QPair<QString, QString>> programRows;
    for (const KeyRow &row : keyRows()) {
        programRows << qMakePair(QString::fromUtf8(row.keys), QString::fromUtf8(row.what));
    }
    QCOMPARE(programRows, readmeRows);

    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const struct
    {
        int command;
        QStringList words;
    } cases[] = {
        {frmMainForm::ShowDrugs,
         {QStringLiteral("Trade Drugs"), QStringLiteral("Advanced Search searches by"), QStringLiteral("Trade Name"),
          QStringLiteral("INFO icon")}},
        {frmMainForm::Route, {QStringLiteral("Route of Administration"), QStringLiteral("administered")}},
        {frmMainForm::About, {QStringLiteral("About"), QStringLiteral("web page")}},
    };
    for (const auto &c : cases) {
        form.PressMenuButton(c.command);
        QApplication::processEvents();
        QWidget *before = QApplication::focusWidget();
        QString shown;
        QTimer::singleShot(0, [&shown] {
            if (auto *help = qobject_cast<KeysHelp *>(QApplication::activeModalWidget())) {
                shown = help->text()->toPlainText();
                QTest::keyClick(help, Qt::Key_Escape);
            }
        });
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : static_cast<QWidget *>(&form),
                        Qt::Key_F1);
        QVERIFY2(!shown.isEmpty(), "F1 opened no help");
        for (const QString &word : c.words + QStringList{QStringLiteral("Ctrl+F"), QStringLiteral("Ctrl+Shift+Tab")}) {
            QVERIFY2(shown.contains(word), qPrintable(word + QStringLiteral(" in ") + shown));
        }
        QVERIFY(!QApplication::activeModalWidget());
        QTRY_COMPARE(QApplication::focusWidget(), before);
    }
}

void AppTest::ctrlFPutsTheKeyboardInTheSearchBox()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    for (int command : {frmMainForm::ShowDrugs, frmMainForm::Patents}) {
        form.PressMenuButton(command);
        auto *window = qobject_cast<Search::SearchWindow *>(form.childWindow(command));
        window->txtSearch()->setText(QStringLiteral("abc"));
        window->vbalGrid()->setFocus();
        QApplication::processEvents();
        QVERIFY(QApplication::focusWidget() != window->txtSearch());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), window->txtSearch());
        QCOMPARE(window->txtSearch()->selectedText(), QStringLiteral("abc")); // typing replaces it
    }
    // The About window has no search box: the keyboard stays where it is.
    form.PressMenuButton(frmMainForm::About);
    QApplication::processEvents();
    QWidget *before = QApplication::focusWidget();
    QTest::keyClick(before ? before : static_cast<QWidget *>(&form), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), before);
}

void AppTest::unusableTemporaryFolderIsPassedOverOrNamed()
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone"));
    const QByteArray oldTmpDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(gone));
    {
        LoadedForm form;
        QVERIFY(Connection::shared().isOpen());
        QVERIFY(!form.clientArea()->backgroundPicture().isNull());
    }
    qputenv("TMPDIR", oldTmpDir);

    const QString file = dir.filePath(QStringLiteral("a-file"));
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    QCOMPARE(Ribbon::chooseTempFolder({gone, file, dir.path()}), dir.path());
    try {
        Ribbon::chooseTempFolder({gone, file});
        QFAIL("no folder can be written, yet one was chosen");
    } catch (const Common::AppError &error) {
        QCOMPARE(error.number(), ENOTDIR | Common::ErrorNumber::SystemErrorBase);
        QVERIFY(error.source().endsWith(QStringLiteral(".cAniCursor")));
        for (const QString &word : {gone + QStringLiteral(" (No such file or directory)"), file,
                                    QStringLiteral("temporary folder"), QStringLiteral("TMPDIR")}) {
            QVERIFY2(error.description().contains(word), qPrintable(error.description()));
        }
    }
}

void AppTest::unusableDatabaseIsExplainedAndEndsWithFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("words");
    const auto row
        = [](const char *kind, QStringList words) { QTest::newRow(kind) << QString::fromLatin1(kind) << words; };
    row("missing", {QStringLiteral("was not found"), QStringLiteral("program's folder")});
    row("empty", {QStringLiteral("is empty"), QStringLiteral("kvostrel-import")});
    row("random", {QStringLiteral("is not a database")});
    row("truncated", {QStringLiteral("is damaged"), QStringLiteral("cut off")});
    row("directory", {QStringLiteral("is not a file")});
    row("unreadable", {QStringLiteral("cannot be read")});
    row("missing table", {QStringLiteral("lacks the table \"patent\""), QStringLiteral("kvostrel-import")});
    row("missing columns",
        {QStringLiteral("the columns \"Strength\" and \"Approval Date\" in the table \"products\""),
         QStringLiteral("the column \"SHORT NAME\" in the table \"route of administration\"")});
    row("locked", {QStringLiteral("is locked by another program"), QStringLiteral("start again")});
    // An Access (Jet) header over random bytes: read by the reader process, which fails.
    row("jet", {QStringLiteral("is damaged"), QStringLiteral("Copy it again")});
}

// Each bad file ends the start-up with one clear message and status 1, shows no
// main window and leaves the file as it was, also while the user's own copy runs.
void AppTest::unusableDatabaseIsExplainedAndEndsWithFailure()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, words);
    if (kind == QLatin1String("unreadable") && ::geteuid() == 0) {
        QSKIP("file permissions do not hold for root");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    const QString writer = QStringLiteral("locking-writer");
    if (kind == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("random") || kind == QLatin1String("jet")) {
        QByteArray bytes(8192, '\0');
        QRandomGenerator generator(7);
        generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        if (kind == QLatin1String("jet")) {
            bytes.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    } else if (kind == QLatin1String("truncated")) {
        QFile real(QStringLiteral(KVOSTREL_DB_PATH));
        QFile file(path);
        QVERIFY(real.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly));
        file.write(real.read(256 * 1024));
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("kvostrel.mdb")));
    } else if (kind == QLatin1String("missing table")) {
        createDatabase(path, referenceTables(QStringLiteral("patent")));
    } else if (kind == QLatin1String("missing columns")) {
        createDatabase(path, referenceTables(QStringLiteral("products.Strength")));
        createDatabase(path,
                       {QStringLiteral("ALTER TABLE products DROP COLUMN [Approval Date]"),
                        QStringLiteral("ALTER TABLE [route of administration] DROP COLUMN [SHORT NAME]")});
    } else if (kind != QLatin1String("missing")) {
        createDatabase(path, referenceTables() << QStringLiteral("INSERT INTO products (ID) VALUES (1)"));
        if (kind == QLatin1String("unreadable")) {
            QFile::setPermissions(path, {});
        }
    }
    // Another program writing to the file holds its lock until the start-up is over.
    if (kind == QLatin1String("locked")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), writer);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    }
    const QByteArray before = hashOf(path);

    SingleInstance usersOwnCopy(SingleInstance::userKey());
    QStringList reported;
    Startup::Options isolated;
    isolated.instanceKey = isolatedInstanceKey();
    const int status
        = Startup::run(*qApp, path, isolated, [&](const QString &description) { reported << description; });
    if (kind == QLatin1String("locked")) {
        QSqlDatabase::database(writer).rollback();
        QSqlDatabase::removeDatabase(writer);
    }
    QCOMPARE(status, 1);
    QCOMPARE(reported.size(), 1);
    for (const QString &word : words) {
        QVERIFY2(reported.first().contains(word), qPrintable(reported.first()));
    }
    QVERIFY2(reported.first().contains(QDir::toNativeSeparators(path)), qPrintable(reported.first()));
    QCOMPARE(hashOf(path), before);
    QCOMPARE(QFileInfo::exists(path), kind != QLatin1String("missing"));
    for (QWidget *w : QApplication::topLevelWidgets()) {
        QVERIFY(!(qobject_cast<frmMainForm *>(w) && w->isVisible()));
    }
}

void AppTest::aboutPanelFitsTheWindowFromTheFirstSizeUp()
{
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.PressMenuButton(frmMainForm::About);
    auto *about = qobject_cast<frmAbout *>(form.childWindow(frmMainForm::About));
    QVERIFY(about);
    for (const QSize size : {QSize(744, 584), QSize(1024, 768), QSize(1600, 1000)}) {
        form.resize(size);
        QApplication::processEvents();
        QVERIFY2(about->rect().contains(about->picAbout->geometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        for (const QWidget *part : {static_cast<QWidget *>(about->imgLogo), static_cast<QWidget *>(about->lblAbout)}) {
            QVERIFY(about->picAbout->rect().contains(part->geometry()));
        }
    }
}

void AppTest::aboutTextHasSevenLinesWithTheVersion()
{
    QVERIFY(frmAbout::composeAboutText(1, 0, 12, QStringLiteral("Nov 8, 2024"))
                .endsWith(QStringLiteral("Drug data: U.S. FDA, release of Nov 8, 2024, public domain")));
    {
        // The About window of the program says which release its data is.
        LoadedForm form;
        form.PressMenuButton(frmMainForm::About);
        auto *about = qobject_cast<frmAbout *>(form.childWindow(frmMainForm::About));
        QVERIFY(about && about->lblAbout->text().contains(QStringLiteral("release of Nov 8, 2024")));
        // and which file it is read from.
        QVERIFY2(about->lblAbout->text().contains(QStringLiteral("Database: ") + QStringLiteral(KVOSTREL_DB_PATH)),
                 qPrintable(about->lblAbout->text()));
    }
    // A database holding the changes since an older release names both releases.
    QVERIFY(frmAbout::composeAboutText(1, 0, 12, QStringLiteral("Nov 8, 2024"), {}, QStringLiteral("Oct 8, 2024"))
                .endsWith(QStringLiteral("release of Nov 8, 2024, public domain\r\nChanges listed since the release "
                                         "of Oct 8, 2024 (the older release compared)")));
    const QString text = frmAbout::composeAboutText(1, 0, 12);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.at(0), QStringLiteral("Torvanelquist - version 1.0.12"));
    QVERIFY(lines.at(2).isEmpty() && lines.at(3).isEmpty() && lines.at(5).isEmpty());
    QVERIFY(!lines.at(1).isEmpty() && !lines.at(4).isEmpty() && !lines.at(6).isEmpty());
    QVERIFY(!text.startsWith(QLatin1Char('\r')) && !text.endsWith(QLatin1Char('\n')));

    frmAbout about;
    QCOMPARE(about.lblAbout->text().split(QLatin1Char('\n')).first(),
             QStringLiteral("Torvanelquist - version %1.%2.%3")
                 .arg(TORVANELQUIST_VERSION_MAJOR)
                 .arg(TORVANELQUIST_VERSION_MINOR)
                 .arg(TORVANELQUIST_VERSION_REVISION));
    QCOMPARE(about.imgLogo->pixmap().size(), QSize(350, 285));
}

void AppTest::clickingLogoOrTextOpensTheWebAddress()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "openUrl");
    frmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const QString textBefore = about.lblAbout->text();
    QTest::mouseClick(about.imgLogo, Qt::LeftButton);
    QTest::mouseClick(about.lblAbout, Qt::LeftButton);
    QTest::mouseClick(about.lblAbout, Qt::RightButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(recorder.opened, (QList<QUrl>{QUrl(frmAbout::WebAddress), QUrl(frmAbout::WebAddress)}));
    QCOMPARE(about.lblAbout->text(), textBefore);
    QVERIFY(about.isVisible());
}

void AppTest::updatedDataReopensTheOpenWindowsOnTheNewFile()
{
    QTemporaryDir tmp;
    const QString newer = QDir(tmp.path()).filePath(QStringLiteral("newer.mdb"));
    createDatabase(newer,
                   referenceTables() << QStringLiteral(
                       "INSERT INTO products (ID, [trade name]) VALUES (1, 'ALPHA'), (2, 'BETA')"));
    LoadedForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.PressMenuButton(frmMainForm::Patents);
    form.PressMenuButton(frmMainForm::ShowDrugs);
    // Guarded: a window made again may be given the freed one's address.
    const QPointer<QWidget> oldDrugs = form.childWindow(frmMainForm::ShowDrugs);
    form.drugsWindow()->cmdSearch()->click(); // every product
    const int bundledProducts = form.drugsWindow()->lstSearch()->count();
    QVERIFY(bundledProducts > 2);

    // A file that cannot be opened changes nothing.
    QVERIFY_THROWS_EXCEPTION(Common::AppError,
                             form.reopenDatabase(QDir(tmp.path()).filePath(QStringLiteral("no.mdb"))));
    QCOMPARE(Connection::shared().filePath(), QStringLiteral(KVOSTREL_DB_PATH));
    QCOMPARE(form.childWindow(frmMainForm::ShowDrugs), oldDrugs.data());
    QCOMPARE(form.drugsWindow()->lstSearch()->count(), bundledProducts);

    form.reopenDatabase(newer);
    QCOMPARE(Connection::shared().filePath(), newer);
    form.drugsWindow()->cmdSearch()->click();
    // The same windows, made again on the new file, the one in front still in front.
    QVERIFY(!oldDrugs || form.childWindow(frmMainForm::ShowDrugs) != oldDrugs.data());
    QVERIFY(form.childWindow(frmMainForm::Patents));
    QVERIFY(!form.childWindow(frmMainForm::Ingredients));
    QCOMPARE(form.subWindowOf(form.childWindow(frmMainForm::ShowDrugs)),
             form.findChild<QMdiArea *>()->activeSubWindow());
    QCOMPARE(form.drugsWindow()->lstSearch()->count(), 2);
    QCOMPARE(form.drugsWindow()->lstSearch()->text(0), QStringLiteral("ALPHA"));
}

void AppTest::startUpPassesOverADatabaseThatCannotBeOpened()
{
    QTemporaryDir tmp;
    const QString damaged = QDir(tmp.path()).filePath(QStringLiteral("damaged.mdb"));
    {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("SQLite format 3", 16) + QByteArray(8192, '\x01'));
    }
    {
        frmMainForm form;
        const QStringList notes = Startup::loadFirstUsableDatabase(form, {damaged, QStringLiteral(KVOSTREL_DB_PATH)});
        QCOMPARE(Connection::shared().filePath(), QStringLiteral(KVOSTREL_DB_PATH));
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes.first().contains(damaged) && notes.first().contains(QStringLiteral(KVOSTREL_DB_PATH)),
                 qPrintable(notes.first()));
    }
    Connection::releaseShared();
    {
        frmMainForm form;
        QVERIFY(Startup::loadFirstUsableDatabase(form, {QStringLiteral(KVOSTREL_DB_PATH)}).isEmpty());
    }
    Connection::releaseShared();
    frmMainForm form;
    QVERIFY_THROWS_EXCEPTION(Common::AppError, Startup::loadFirstUsableDatabase(form, {damaged}));
}

// The tests run on two offscreen screens of known sizes (see initTestCase).
int main(int argc, char **argv)
{
    QTemporaryDir platformFolder;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && platformFolder.isValid()) {
        const QString config = platformFolder.filePath(QStringLiteral("screens.json"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"windowFrameMargins": false, "screens": [
                {"name": "large", "x": 0, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
                {"name": "small", "x": 1280, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            file.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
        }
    }
    QApplication app(argc, argv);
    AppTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_app.moc"
