#pragma once

// The program's start and its main window on the real database: the fixtures and the
// test class shared by its two sources.

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

namespace AppFixture {

// The user's settings file of these tests: in a folder of their own, never the user's.
inline QTemporaryDir &settingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

inline QString settingsFile()
{
    return Common::userSettings()->fileName();
}

// Two screens: a large one (primary) and a small one right of it.
constexpr QRect LargeScreen(0, 0, 1280, 1024);
constexpr QRect SmallScreen(1280, 0, 800, 600);

} // namespace AppFixture

namespace AppFixture {

inline QByteArray hashOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

} // namespace AppFixture
