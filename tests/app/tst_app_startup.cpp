// The start and what it can meet: the command line, a display gone, unusable
// temporary folders and databases, new data; and the About window.
#include "tst_app.h"

using namespace AppFixture;

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
