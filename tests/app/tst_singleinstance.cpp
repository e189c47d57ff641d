// Who holds the single-copy name: one per user and display session, its runtime
// folder, what is left at the socket's place, copies starting at once, activation.
#include "tst_singleinstance.h"

using namespace SingleInstanceFixture;

void SingleInstanceTest::onlyTheFirstHolderOfAKeyIsTheFirstCopy_data()
{
    QTest::addColumn<bool>("inFolder");
    QTest::newRow("runtime folder") << true;
    QTest::newRow("abstract namespace") << false;
}

void SingleInstanceTest::onlyTheFirstHolderOfAKeyIsTheFirstCopy()
{
    QFETCH(bool, inFolder);
    RuntimeFolder runtime;
    const QString folder = inFolder ? runtime.path() : QString();
    const QString key = QStringLiteral("torvanelquist-test-%1").arg(::getpid());
    {
        auto first = std::make_unique<SingleInstance>(key, folder);
        QCOMPARE(first->holder(), Holder::ThisCopy);
        QVERIFY(first->note().isEmpty());
        QCOMPARE(runtime.entries(), inFolder ? QStringList{key} : QStringList());
        SingleInstance second(key, folder);
        QCOMPARE(second.holder(), Holder::OwnCopy);
        QVERIFY(second.anotherCopyRunning());
        first.reset();
        // The name is free again at once, and nothing is left behind.
        QCOMPARE(runtime.entries(), QStringList());
        SingleInstance third(key, folder);
        QCOMPARE(third.holder(), Holder::ThisCopy);
    }
    QCOMPARE(runtime.entries(), QStringList());
}

void SingleInstanceTest::oneCopyPerUserAndDisplaySession_data()
{
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QString>("session");
    QTest::newRow("X11 :0") << QByteArray() << QByteArray(":0") << QStringLiteral("0");
    QTest::newRow("X11 :0.1, the same session") << QByteArray() << QByteArray(":0.1") << QStringLiteral("0");
    QTest::newRow("X11 :1") << QByteArray() << QByteArray(":1") << QStringLiteral("1");
    QTest::newRow("remote X11") << QByteArray() << QByteArray("localhost:10.0") << QStringLiteral("localhost-10");
    QTest::newRow("Wayland") << QByteArray("wayland-0") << QByteArray(":0") << QStringLiteral("wayland-0");
    QTest::newRow("no display") << QByteArray() << QByteArray() << QString();
}

void SingleInstanceTest::oneCopyPerUserAndDisplaySession()
{
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, display);
    QFETCH(QString, session);
    const QByteArray oldWayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray oldDisplay = qgetenv("DISPLAY");
    qputenv("WAYLAND_DISPLAY", wayland);
    qputenv("DISPLAY", display);
    const QString key = SingleInstance::userKey();
    qputenv("WAYLAND_DISPLAY", oldWayland);
    qputenv("DISPLAY", oldDisplay);
    QCOMPARE(key,
             session.isEmpty() ? QStringLiteral("torvanelquist-%1").arg(::getuid())
                               : QStringLiteral("torvanelquist-%1-%2").arg(::getuid()).arg(session));
}

void SingleInstanceTest::runtimeFolderOnlyWhenNoOneElseMayEnterIt_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("taken");
    QTest::newRow("the user's, 0700") << "own" << true;
    QTest::newRow("unset") << "unset" << false;
    QTest::newRow("relative") << "relative" << false;
    QTest::newRow("others may enter, 0711") << "0711" << false;
    QTest::newRow("group may read, 0740") << "0740" << false;
    QTest::newRow("a file") << "file" << false;
    QTest::newRow("another user's") << "nobody's" << false;
}

// The socket goes where only the user can reach it, or else to the abstract namespace
// (where the peer's credentials still guard it).
void SingleInstanceTest::runtimeFolderOnlyWhenNoOneElseMayEnterIt()
{
    QFETCH(QString, kind);
    QFETCH(bool, taken);
    RuntimeFolder runtime;
    QString folder = runtime.path();
    if (kind == QLatin1String("0711") || kind == QLatin1String("0740")) {
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), kind.toUInt(nullptr, 8)), 0);
    } else if (kind == QLatin1String("relative")) {
        folder = QStringLiteral("run/user");
    } else if (kind == QLatin1String("file")) {
        folder += QStringLiteral("/file");
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("nobody's")) {
        if (::geteuid() != 0) {
            QSKIP("only root can give a folder to another user");
        }
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), ::getpwnam("nobody")->pw_uid, gid_t(-1)), 0);
    }
    const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    if (kind == QLatin1String("unset")) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    }
    const QString chosen = SingleInstance::userRuntimeFolder();
    if (old.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", old);
    }
    QCOMPARE(chosen, taken ? folder : QString());
}

void SingleInstanceTest::whatIsLeftAtTheSocketsPlace_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<QString>("note");
    QTest::newRow("a socket nobody listens on") << "socket" << Holder::ThisCopy << QString();
    QTest::newRow("a bound socket, not listening") << "bound" << Holder::ThisCopy << QString();
    QTest::newRow("a file") << "file" << Holder::SomeoneElse << "is not a socket";
    QTest::newRow("a folder") << "folder" << Holder::SomeoneElse << "is not a socket";
    QTest::newRow("a lock file left behind") << "lock" << Holder::ThisCopy << QString();
}

// A copy that crashed leaves its socket's file: the next start takes its place. What is
// no socket is not the program's, and stays.
void SingleInstanceTest::whatIsLeftAtTheSocketsPlace()
{
    QFETCH(QString, left);
    QFETCH(Holder, holder);
    QFETCH(QString, note);
    RuntimeFolder runtime;
    const QString key = QStringLiteral("torvanelquist-test-left");
    const QString path = runtime.path() + u'/' + key;
    const Address address(key, runtime.path());
    int bound = -1;
    if (left == QLatin1String("socket") || left == QLatin1String("bound")) {
        bound = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QCOMPARE(::bind(bound, address.get(), address.length), 0);
        if (left == QLatin1String("socket")) {
            ::close(bound); // the file stays, as after a crash
            bound = -1;
        }
    } else if (left == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4);
    } else if (left == QLatin1String("folder")) {
        QVERIFY(QDir(runtime.path()).mkdir(key));
    } else {
        QVERIFY(QFile(path + QStringLiteral(".lock")).open(QIODevice::WriteOnly));
    }
    {
        SingleInstance copy(key, runtime.path());
        QCOMPARE(copy.holder(), holder);
        QVERIFY2(note.isEmpty() ? copy.note().isEmpty() : copy.note().contains(note), qPrintable(copy.note()));
        if (holder == Holder::ThisCopy) {
            QVERIFY(activatedFromAnotherThread(key, runtime.path()));
        }
    }
    if (bound >= 0) {
        ::close(bound);
    }
    QCOMPARE(runtime.entries(),
             left == QLatin1String("file") || left == QLatin1String("folder") ? QStringList{key} : QStringList());
    if (left == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("mine"));
    }
}

void SingleInstanceTest::copiesStartingAtOnceLetOneHoldTheName_data()
{
    QTest::addColumn<bool>("inFolder");
    QTest::newRow("runtime folder, a socket left behind") << true;
    QTest::newRow("abstract namespace") << false;
}

// Copies started at the same moment, over a socket a crashed copy left: exactly one
// holds the name, every other finds that copy.
void SingleInstanceTest::copiesStartingAtOnceLetOneHoldTheName()
{
    QFETCH(bool, inFolder);
    constexpr int Copies = 8;
    for (int round = 0; round < 15; ++round) {
        RuntimeFolder runtime;
        const QString folder = inFolder ? runtime.path() : QString();
        const QString key = QStringLiteral("torvanelquist-test-race-%1-%2").arg(::getpid()).arg(round);
        if (inFolder) {
            const Address address(key, folder);
            const int crashed = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            QCOMPARE(::bind(crashed, address.get(), address.length), 0);
            ::close(crashed);
        }
        int start[2], results[2], release[2];
        QVERIFY(::pipe(start) == 0 && ::pipe(results) == 0 && ::pipe(release) == 0);
        std::vector<pid_t> children;
        for (int i = 0; i < Copies; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(start[1]);
                ::close(release[1]);
                char byte = 0;
                [[maybe_unused]] ssize_t count = ::read(start[0], &byte, 1); // all go at once
                SingleInstance::Claim claim;
                SingleInstance::claim(key, folder, claim);
                byte = char('0' + int(claim.holder));
                count = ::write(results[1], &byte, 1);
                count = ::read(release[0], &byte, 1); // the holder holds until all have looked
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(start[0]);
        ::close(start[1]); // go
        ::close(results[1]);
        ::close(release[0]);
        QByteArray outcomes;
        char byte = 0;
        while (outcomes.size() < Copies && ::read(results[0], &byte, 1) == 1) {
            outcomes.append(byte);
        }
        ::close(release[1]);
        ::close(results[0]);
        for (const pid_t child : children) {
            ::waitpid(child, nullptr, 0);
        }
        QCOMPARE(outcomes.count(char('0' + int(Holder::ThisCopy))), 1);
        QCOMPARE(outcomes.count(char('0' + int(Holder::OwnCopy))), Copies - 1);
    }
}

void SingleInstanceTest::secondStartBringsTheRunningCopyForward_data()
{
    onlyTheFirstHolderOfAKeyIsTheFirstCopy_data();
}

// The copy that runs is asked through its socket to come forward: restored when
// minimised, and active; it answers once it has.
void SingleInstanceTest::secondStartBringsTheRunningCopyForward()
{
    QFETCH(bool, inFolder);
    RuntimeFolder runtime;
    const QString folder = inFolder ? runtime.path() : QString();
    const QString key = QStringLiteral("torvanelquist-test-forward-%1").arg(::getpid());
    SingleInstance first(key, folder);
    QCOMPARE(first.holder(), Holder::ThisCopy);
    frmMainForm form;
    QObject::connect(&first, &SingleInstance::activationRequested, &form, &frmMainForm::comeForward);
    form.showMinimized();
    QVERIFY(form.isMinimized());
    QVERIFY(!activatedFromAnotherThread(key + QStringLiteral("-nobody"), folder));
    QVERIFY(activatedFromAnotherThread(key, folder));
    QVERIFY(!form.isMinimized());
    QVERIFY(form.isVisible());
}

void SingleInstanceTest::onlyAWholeRequestLineActivates_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<int>("activations");
    QTest::newRow("request") << QByteArrayList{"activate\n"} << 1;
    QTest::newRow("request in pieces") << QByteArrayList{"acti", "va", "te\n"} << 1;
    QTest::newRow("request, then more") << QByteArrayList{"activate\nactivate\n"} << 1;
    QTest::newRow("no line end") << QByteArrayList{"activate"} << 0;
    QTest::newRow("other line") << QByteArrayList{"hello\n"} << 0;
    QTest::newRow("long line") << QByteArrayList{QByteArray(300, 'a')} << 0;
    QTest::newRow("request after the size limit")
        << QByteArrayList{QByteArray(SingleInstance::MaxRequestBytes, ' ') + "activate\n"} << 0;
    QTest::newRow("nothing") << QByteArrayList{} << 0;
}

// Whatever a client sends, the running copy comes forward only for the request line,
// which it answers; anything else it closes unanswered. It goes on listening.
void SingleInstanceTest::onlyAWholeRequestLineActivates()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(int, activations);
    // A key too long for a socket address stands for itself all the same.
    const QString key = QStringLiteral("torvanelquist-test-lines-%1-").arg(::getpid()) + QString(150, u'k');
    SingleInstance first(key, QString());
    QCOMPARE(first.holder(), Holder::ThisCopy);
    QCOMPARE(SingleInstance(key, QString()).holder(), Holder::OwnCopy);
    QSignalSpy forward(&first, &SingleInstance::activationRequested);

    const QString name = "torvanelquist-" + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    const int client = connectedTo(Address(name, QString()));
    QVERIFY(client >= 0);
    for (const QByteArray &piece : pieces) {
        QCOMPARE(::send(client, piece.constData(), std::size_t(piece.size()), MSG_NOSIGNAL), ssize_t(piece.size()));
        QTest::qWait(20);
    }
    if (activations == 0 && !pieces.isEmpty() && pieces.last().size() < SingleInstance::MaxRequestBytes) {
        QTest::qWait(100);
        QCOMPARE(forward.size(), 0); // still waiting for the rest of its line
    }
    ::shutdown(client, SHUT_WR);
    QByteArray answer;
    QTRY_VERIFY([&] {
        char chunk[16];
        const ssize_t count = ::recv(client, chunk, sizeof(chunk), MSG_DONTWAIT);
        answer.append(chunk, std::max<qsizetype>(count, 0));
        return count == 0; // hung up
    }());
    ::close(client);
    QCOMPARE(forward.size(), activations);
    QCOMPARE(answer, activations ? QByteArray("ok\n") : QByteArray());
    QVERIFY(activatedFromAnotherThread(key, QString()));
    QCOMPARE(forward.size(), activations + 1);
}

QTEST_MAIN(SingleInstanceTest)
