// Other users and hostile clients cannot stop the running copy; the real program's
// second copy brings the first forward and ends.
#include "tst_singleinstance.h"

using namespace SingleInstanceFixture;

void SingleInstanceTest::nameHeldByAnotherUserLetsThisCopyRunOnItsOwn_data()
{
    QTest::addColumn<bool>("inFolder");
    QTest::addColumn<Attack>("kind");
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<QString>("note");
    QTest::newRow("abstract namespace, listening and saying ok")
        << false << Attack::Hold << Holder::SomeoneElse << "is held by another user";
    QTest::newRow("abstract namespace, bound, never listening")
        << false << Attack::Bind << Holder::SomeoneElse << "is held but never answers";
    QTest::newRow("runtime folder, listening") << true << Attack::Hold << Holder::ThisCopy << QString();
    QTest::newRow("runtime folder, bound") << true << Attack::Bind << Holder::ThisCopy << QString();
}

// Another user who takes the name first does not stop the user's copy, nor is its
// answer believed; in the user's runtime folder it cannot take the name at all.
void SingleInstanceTest::nameHeldByAnotherUserLetsThisCopyRunOnItsOwn()
{
    QFETCH(bool, inFolder);
    QFETCH(Attack, kind);
    QFETCH(Holder, holder);
    QFETCH(QString, note);
    const passwd *nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody) {
        QSKIP("switching to the user nobody needs root");
    }
    RuntimeFolder runtime;
    const QString folder = inFolder ? runtime.path() : QString();
    const QString key = QStringLiteral("torvanelquist-test-held-%1").arg(::getpid());
    const pid_t squatter = startAttack(kind, Address(key, folder), nobody->pw_uid);
    QVERIFY(squatter > 0);
    {
        SingleInstance copy(key, folder);
        QCOMPARE(copy.holder(), holder);
        QVERIFY2(note.isEmpty() ? copy.note().isEmpty() : copy.note().contains(note), qPrintable(copy.note()));
        QCOMPARE(activatedFromAnotherThread(key, folder), holder == Holder::ThisCopy);
    }
    QCOMPARE(statusOf(squatter), inFolder ? 3 : 0); // the folder kept it out
}

void SingleInstanceTest::noClientCanStopHangOrSpinTheRunningCopy_data()
{
    QTest::addColumn<bool>("inFolder");
    QTest::addColumn<bool>("otherUser");
    QTest::addColumn<Attack>("kind");
    QTest::addColumn<int>("seen"); // the attacker's status (see attack())
    QTest::addColumn<int>("answers"); // activations it caused
    const auto rows = [](const char *where, bool inFolder) {
        const auto row = [&](const char *what, bool other, Attack kind, int seen, int answers) {
            QTest::addRow("%s, %s", where, what) << inFolder << other << kind << seen << answers;
        };
        row("own user: the request", false, Attack::Request, 1, 1);
        row("own user: garbage", false, Attack::Garbage, 0, 0);
        row("own user: slowly", false, Attack::Slow, 0, 0);
        row("own user: many connections", false, Attack::Many, 10 + SingleInstance::MaxConnections, 0);
        // Another user cannot even reach a socket in the user's runtime folder; in the
        // abstract namespace it is hung up on unanswered at once.
        row("another user: the request", true, Attack::Request, inFolder ? 3 : 0, 0);
        row("another user: garbage", true, Attack::Garbage, inFolder ? 3 : 0, 0);
        row("another user: slowly", true, Attack::Slow, inFolder ? 3 : 0, 0);
        row("another user: many connections", true, Attack::Many, inFolder ? 3 : 10, 0);
    };
    rows("runtime folder", true);
    rows("abstract namespace", false);
    QTest::newRow("abstract namespace, own user: many, no descriptor left")
        << false << false << Attack::Many << -1 << 0;
}

// While a client does its worst, the running copy keeps its event loop moving, spends
// next to no processor time, keeps few connections, and still answers its own user.
void SingleInstanceTest::noClientCanStopHangOrSpinTheRunningCopy()
{
    QFETCH(bool, inFolder);
    QFETCH(bool, otherUser);
    QFETCH(Attack, kind);
    QFETCH(int, seen);
    QFETCH(int, answers);
    const passwd *nobody = ::getpwnam("nobody");
    if (otherUser && (::geteuid() != 0 || !nobody)) {
        QSKIP("switching to the user nobody needs root");
    }
    RuntimeFolder runtime;
    const QString folder = inFolder ? runtime.path() : QString();
    const QString key = QStringLiteral("torvanelquist-test-attack-%1").arg(::getpid());
    SingleInstance first(key, folder);
    QCOMPARE(first.holder(), Holder::ThisCopy);
    QSignalSpy forward(&first, &SingleInstance::activationRequested);
    const int descriptorsBefore = openDescriptors();

    // No descriptor left: the connections wait in the queue, and must not wake the
    // copy again and again.
    const bool starve = seen < 0;
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (starve) {
        rlimit low = limit;
        low.rlim_cur = rlim_t(descriptorsBefore + 2);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    }

    const qint64 cpuBefore = cpuMicroseconds();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    int mostDescriptors = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
        mostDescriptors = std::max(mostDescriptors, openDescriptors());
    });
    heartbeat.start(10);
    const pid_t attacker = startAttack(kind, Address(key, folder), otherUser ? nobody->pw_uid : ::getuid());
    QVERIFY(attacker > 0);
    const int status = statusOf(attacker);
    QTest::qWait(starve ? 500 : 300); // what is left of the attack is handled meanwhile
    heartbeat.stop();
    const double cpuShare = double(cpuMicroseconds() - cpuBefore) / 1000.0 / double(clock.elapsed());
    if (starve) {
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    }

    if (kind == Attack::Many && seen >= 10) {
        QVERIFY2(status >= 10 && status <= seen, qPrintable(QStringLiteral("%1 connections open").arg(status - 10)));
    } else if (!starve) {
        QCOMPARE(status, seen);
    }
    QCOMPARE(forward.size(), answers);
    QVERIFY2(longestGap < 500, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(longestGap)));
    QVERIFY2(cpuShare < 0.3, qPrintable(QStringLiteral("%1 % of a processor").arg(cpuShare * 100)));
    QVERIFY2(mostDescriptors <= descriptorsBefore + SingleInstance::MaxConnections + 2,
             qPrintable(QStringLiteral("%1 descriptors, %2 before").arg(mostDescriptors).arg(descriptorsBefore)));
    QVERIFY(activatedFromAnotherThread(key, folder));
    QCOMPARE(forward.size(), answers + 1);
}

void SingleInstanceTest::secondCopyOfTheProgramEndsAtOnceWithStatusZero()
{
    RuntimeFolder runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QVERIFY(first.waitForStarted());

    // Wait until the first copy holds the name in the runtime folder, and answers.
    QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::requestActivation(isolatedInstanceKey(), runtime.path()), 20000);
    QCOMPARE(runtime.entries(), QStringList{isolatedInstanceKey()});
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardError(), QByteArray()); // no start-up error, no note
    QCOMPARE(first.state(), QProcess::Running);

    // Asked to end, the first copy ends as by its Exit button and takes its socket along.
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(runtime.entries(), QStringList());
}

// The name held by another user (the abstract namespace, where there is no runtime
// folder), or a variable naming a held name in the environment: the program starts
// all the same, says so in one line, and answers only its own user's second start.
void SingleInstanceTest::programHeldOutByAnotherUserStartsOnItsOwn()
{
    const passwd *nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody) {
        QSKIP("switching to the user nobody needs root");
    }
    // The environment's old variable names a name this test holds: it must not count.
    SingleInstance held(QStringLiteral("torvanelquist-test-env-%1").arg(::getpid()), QString());
    QCOMPARE(held.holder(), Holder::ThisCopy);
    const pid_t squatter = startAttack(Attack::Hold, Address(isolatedInstanceKey(), QString()), nobody->pw_uid);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("TORVANELQUIST_INSTANCE_KEY"),
               QStringLiteral("torvanelquist-test-env-%1").arg(::getpid()));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption(), QStringLiteral("--startup-probe=0")});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(statusOf(squatter), 0);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().startsWith("startup-probe ")); // shown
    const QByteArray said = program.readAllStandardError();
    const QByteArray note = "torvanelquist note: the name \"" + isolatedInstanceKey().toUtf8()
        + "\" is held by another user; this copy runs on its own\n";
    QVERIFY2(said.startsWith(note) || said.contains("\n" + note), said.constData());
    QCOMPARE(said.count("torvanelquist note"), 1);
}

void SingleInstanceTest::secondCopyRestoresAndRaisesTheWindowTitledQuenlarith()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        QSKIP("Xvfb is not installed (scripts/install-deps.sh installs it)");
    }
    const int number = 70 + ::getpid() % 200;
    QProcess server;
    server.start(xvfb, {QStringLiteral(":%1").arg(number), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(server.waitForStarted());
    const QByteArray name = QStringLiteral(":%1").arg(number).toLatin1();
    ::Display *display = nullptr;
    for (int attempt = 0; attempt < 100 && !display; ++attempt) {
        QTest::qWait(50);
        display = XOpenDisplay(name.constData());
    }
    QVERIFY2(display, "Xvfb did not start");
    const QByteArray oldDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", name);

    const Window root = DefaultRootWindow(display);
    const Window target = XCreateSimpleWindow(display, root, 0, 0, 200, 100, 0, 0, 0);
    XStoreName(display, target, "Quenlarith");
    const Window other = XCreateSimpleWindow(display, root, 0, 0, 200, 100, 0, 0, 0);
    XStoreName(display, other, "Quenlarith ");
    XMapWindow(display, other);
    XSync(display, False);

    QCOMPARE(FindWindowByTitle(QStringLiteral("Quenlarith")), static_cast<unsigned long>(target));
    QCOMPARE(FindWindowByTitle(QStringLiteral("Torvanelquist")), 0UL);

    // Nothing happens without another copy or without a handle.
    ActivatePreviousInstance(false, long(target));
    ActivatePreviousInstance(true, 0);
    ActivatePreviousInstance(true, -5);
    XSync(display, False);
    QVERIFY(!isViewable(display, target));

    ActivatePreviousInstance(true, long(target));
    XSync(display, False);
    QTRY_VERIFY(isViewable(display, target));
    QVERIFY(stackingIndex(display, target) > stackingIndex(display, other));

    XCloseDisplay(display);
    qputenv("DISPLAY", oldDisplay);
    server.terminate();
    server.waitForFinished();
}

void SingleInstanceTest::withoutADisplayNothingIsFound()
{
    const QByteArray oldDisplay = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QCOMPARE(FindWindowByTitle(QStringLiteral("Quenlarith")), 0UL);
    ActivatePreviousInstance(true, 12345); // no display: nothing to do, no crash
    if (!oldDisplay.isEmpty()) {
        qputenv("DISPLAY", oldDisplay);
    }
}
