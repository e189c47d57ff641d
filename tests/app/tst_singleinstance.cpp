#include "IsolatedInstance.h"
#include "app/SingleInstance.h"
#include "app/frmMainForm.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

using namespace App;

namespace {

bool isViewable(::Display *display, Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    return attributes.map_state == IsViewable;
}

// Stacking position among the root's children, bottom first.
int stackingIndex(::Display *display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    int index = -1;
    for (unsigned int i = 0; i < count; ++i) {
        if (children[i] == window) {
            index = int(i);
        }
    }
    XFree(children);
    return index;
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheFirstHolderOfAKeyIsTheFirstCopy();
    void oneCopyPerUserAndDisplaySession_data();
    void oneCopyPerUserAndDisplaySession();
    void secondStartBringsTheRunningCopyForward();
    void onlyAWholeRequestLineActivates_data();
    void onlyAWholeRequestLineActivates();
    void secondCopyOfTheProgramEndsAtOnceWithStatusZero();
    void secondCopyRestoresAndRaisesTheWindowTitledQuenlarith();
    void withoutADisplayNothingIsFound();
};

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

// The copy that runs is asked through its socket to come forward: restored when
// minimised, and active.
void SingleInstanceTest::secondStartBringsTheRunningCopyForward()
{
    const QString key = QStringLiteral("torvanelquist-test-forward-%1").arg(::getpid());
    SingleInstance first(key);
    QVERIFY(!first.anotherCopyRunning());
    frmMainForm form;
    QObject::connect(&first, &SingleInstance::activationRequested, &form, &frmMainForm::comeForward);
    form.showMinimized();
    QVERIFY(form.isMinimized());
    QVERIFY(!SingleInstance::requestActivation(key + QStringLiteral("-nobody")));
    QVERIFY(SingleInstance::requestActivation(key));
    QTRY_VERIFY(!form.isMinimized());
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
    QTest::newRow("nothing") << QByteArrayList{} << 0;
}

// Whatever a client sends, the running copy comes forward only for the request line,
// answers by hanging up, and goes on listening.
void SingleInstanceTest::onlyAWholeRequestLineActivates()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(int, activations);
    // A key too long for a socket address stands for itself all the same.
    const QString key = QStringLiteral("torvanelquist-test-lines-%1-").arg(::getpid()) + QString(150, u'k');
    SingleInstance first(key);
    QVERIFY(!first.anotherCopyRunning());
    QVERIFY(SingleInstance(key).anotherCopyRunning());
    QSignalSpy forward(&first, &SingleInstance::activationRequested);

    const QByteArray name
        = "torvanelquist-" + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    // A client of this thread: requestActivation would wait for an answer that this
    // thread's event loop can only give once it returns.
    const auto connected = [&name] {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.constData(), std::size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
        return ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0 ? fd : -1;
    };
    const int client = connected();
    QVERIFY(client >= 0);
    for (const QByteArray &piece : pieces) {
        QCOMPARE(::send(client, piece.constData(), std::size_t(piece.size()), MSG_NOSIGNAL), ssize_t(piece.size()));
        QTest::qWait(20);
    }
    if (activations == 0 && !pieces.isEmpty() && pieces.last().size() < 64) {
        QTest::qWait(100);
        QCOMPARE(forward.size(), 0); // still waiting for the rest of its line
        ::shutdown(client, SHUT_WR);
    } else if (pieces.isEmpty()) {
        ::shutdown(client, SHUT_WR);
    }
    char answer = 0;
    QTRY_COMPARE(::recv(client, &answer, 1, MSG_DONTWAIT), ssize_t(0)); // hung up
    ::close(client);
    QCOMPARE(forward.size(), activations);
    const int next = connected();
    QCOMPARE(::send(next, "activate\n", 9, MSG_NOSIGNAL), ssize_t(9));
    QTRY_COMPARE(forward.size(), activations + 1);
    ::close(next);
}

void SingleInstanceTest::onlyTheFirstHolderOfAKeyIsTheFirstCopy()
{
    const QString key = QStringLiteral("torvanelquist-test-%1").arg(::getpid());
    {
        auto first = std::make_unique<SingleInstance>(key);
        QVERIFY(!first->anotherCopyRunning());
        SingleInstance second(key);
        QVERIFY(second.anotherCopyRunning());
        first.reset();
        // The name is free again at once: nothing is left behind on disk.
        SingleInstance third(key);
        QVERIFY(!third.anotherCopyRunning());
    }
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/") + key));
}

void SingleInstanceTest::secondCopyOfTheProgramEndsAtOnceWithStatusZero()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QVERIFY(first.waitForStarted());

    // Wait until the first copy holds the name (and answers).
    bool listening = false;
    for (int attempt = 0; attempt < 100 && !listening; ++attempt) {
        listening = SingleInstance::requestActivation(isolatedInstanceKey());
        if (!listening) {
            QTest::qWait(50);
        }
    }
    QVERIFY2(listening, "the first copy never started listening");
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(TORVANELQUIST_EXE), {isolatedInstanceOption()});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(!second.readAllStandardError().contains("torvanelquist:")); // no start-up error
    QCOMPARE(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished();
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

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
