// The main window: its command table, exit paths, keys, size and place, and the
// windows in front.
#include "tst_app.h"

using namespace AppFixture;

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
