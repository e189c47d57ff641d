#include "IsolatedInstance.h"
#include "app/SingleInstance.h"
#include "app/frmMainForm.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <future>

using namespace App;
using Holder = SingleInstance::Holder;

Q_DECLARE_METATYPE(SingleInstance::Holder)

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

// A runtime folder of this test's own, which no one else may enter.
struct RuntimeFolder
{
    QTemporaryDir dir;
    RuntimeFolder() { QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
    QString path() const { return dir.path(); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }
};

// The socket address of `key`: its file in `folder`, or the abstract name without one.
// (Keys short enough to need no digest.)
struct Address
{
    sockaddr_un address{};
    socklen_t length = 0;
    Address(const QString &key, const QString &folder)
    {
        address.sun_family = AF_UNIX;
        const QByteArray name = folder.isEmpty() ? key.toUtf8() : QFile::encodeName(folder + u'/' + key);
        std::memcpy(address.sun_path + (folder.isEmpty() ? 1 : 0), name.constData(), std::size_t(name.size()));
        length = socklen_t(offsetof(sockaddr_un, sun_path) + (folder.isEmpty() ? 1 : 0) + std::size_t(name.size()));
    }
    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&address); }
};

int connectedTo(const Address &address, int timeoutMs = 1000)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    if (::connect(fd, address.get(), address.length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Asks from another thread: the copy that answers runs its event loop in this one.
bool activatedFromAnotherThread(const QString &key, const QString &folder)
{
    auto answer = std::async(std::launch::async, [=] { return SingleInstance::requestActivation(key, folder); });
    QElapsedTimer clock;
    clock.start();
    while (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready && clock.elapsed() < 5000) {
        QTest::qWait(5);
    }
    return answer.get();
}

// What a client does to the running copy, from a child process.
enum class Attack {
    Hold, // binds and listens on the name first, answering "ok" to anyone
    Bind, // binds the name first, and never listens
    Request, // the activation request
    Garbage, // 4 KiB of bytes that are no request
    Slow, // a byte of a request every 100 ms
    Many, // 300 connections, held
};

// In the child: reports on `ready` when it has begun, and ends with a status that
// says what it saw: 0 hung up unanswered (Hold: bound), 1 answered, 2 neither within
// its time, 3 no connection (Hold: not bound).
[[noreturn]] void attack(Attack kind, const Address &address, int ready)
{
    const auto begun = [ready] {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(ready, &byte, 1);
    };
    const auto outcome = [](int fd) {
        char answer[8];
        const ssize_t count = ::recv(fd, answer, sizeof(answer), 0);
        // Closed with bytes still unread, the connection is reset rather than ended.
        return count == 0 || (count < 0 && errno == ECONNRESET) ? 0 : count > 0 ? 1 : 2;
    };
    if (kind == Attack::Hold || kind == Attack::Bind) {
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool bound = ::bind(listener, address.get(), address.length) == 0
            && (kind == Attack::Bind || ::listen(listener, 64) == 0);
        begun();
        if (!bound) {
            ::_exit(3);
        }
        if (kind == Attack::Bind) {
            ::sleep(3);
            ::_exit(0);
        }
        const timeval limit{0, 100000};
        ::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        for (int round = 0; round < 40; ++round) {
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer >= 0) {
                ::send(peer, "ok\n", 3, MSG_NOSIGNAL);
                ::close(peer);
            }
        }
        ::_exit(0);
    }
    if (kind == Attack::Many) {
        int open = 0;
        std::vector<int> fds;
        for (int i = 0; i < 300; ++i) {
            const int fd = connectedTo(address, 200);
            if (fd >= 0) {
                fds.push_back(fd);
            }
        }
        begun();
        ::usleep(300000);
        for (const int fd : fds) {
            char byte = 0;
            const ssize_t count = ::recv(fd, &byte, 1, MSG_DONTWAIT);
            open += count < 0 && errno == EAGAIN ? 1 : 0;
        }
        ::_exit(fds.empty() ? 3 : std::min(open, 250) + 10); // 10 + connections still open
    }
    const int fd = connectedTo(address, 3500);
    begun();
    if (fd < 0) {
        ::_exit(3);
    }
    if (kind == Attack::Request) {
        ::send(fd, "activate\n", 9, MSG_NOSIGNAL);
    } else if (kind == Attack::Garbage) {
        QByteArray bytes(4096, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            bytes[i] = char((i * 7919) % 251);
        }
        ::send(fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL);
    } else if (kind == Attack::Slow) {
        // Fewer bytes than a request may have, over more time than a connection may take.
        for (int i = 0; i < SingleInstance::MaxRequestBytes - 10; ++i) {
            if (::send(fd, "a", 1, MSG_NOSIGNAL) != 1) {
                ::_exit(0); // hung up
            }
            char answer = 0;
            const ssize_t count = ::recv(fd, &answer, 1, MSG_DONTWAIT);
            if (count >= 0) {
                ::_exit(count == 0 ? 0 : 1);
            }
            ::usleep(100000);
        }
        ::_exit(2);
    }
    ::_exit(outcome(fd));
}

// Starts `kind` in a child process, as `user` unless that is this process's own; a
// holder of the name has bound it when this returns. (The others need this thread's
// event loop to get on.)
pid_t startAttack(Attack kind, const Address &address, uid_t user)
{
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        for (const int signal : {SIGPIPE, SIGSEGV, SIGABRT, SIGTERM}) {
            ::signal(signal, signal == SIGPIPE ? SIG_IGN : SIG_DFL); // not the test library's handlers
        }
        if (user != ::getuid()) {
            const gid_t group = ::getpwuid(user)->pw_gid;
            if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0) {
                ::_exit(4);
            }
        }
        rlimit unlimited{};
        ::getrlimit(RLIMIT_NOFILE, &unlimited);
        unlimited.rlim_cur = unlimited.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &unlimited);
        attack(kind, address, ready[1]);
    }
    ::close(ready[1]);
    if (kind == Attack::Hold || kind == Attack::Bind) {
        char byte = 0;
        [[maybe_unused]] const ssize_t count = ::read(ready[0], &byte, 1);
    }
    ::close(ready[0]);
    return child;
}

// The child's status, while this thread's event loop runs; -1 when it did not end in time.
int statusOf(pid_t child, int timeoutMs = 8000)
{
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (clock.elapsed() > timeoutMs) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        QTest::qWait(10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
        + usage.ru_stime.tv_usec;
}

int openDescriptors()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

} // namespace

Q_DECLARE_METATYPE(Attack)

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheFirstHolderOfAKeyIsTheFirstCopy_data();
    void onlyTheFirstHolderOfAKeyIsTheFirstCopy();
    void oneCopyPerUserAndDisplaySession_data();
    void oneCopyPerUserAndDisplaySession();
    void runtimeFolderOnlyWhenNoOneElseMayEnterIt_data();
    void runtimeFolderOnlyWhenNoOneElseMayEnterIt();
    void whatIsLeftAtTheSocketsPlace_data();
    void whatIsLeftAtTheSocketsPlace();
    void copiesStartingAtOnceLetOneHoldTheName_data();
    void copiesStartingAtOnceLetOneHoldTheName();
    void secondStartBringsTheRunningCopyForward_data();
    void secondStartBringsTheRunningCopyForward();
    void onlyAWholeRequestLineActivates_data();
    void onlyAWholeRequestLineActivates();
    void nameHeldByAnotherUserLetsThisCopyRunOnItsOwn_data();
    void nameHeldByAnotherUserLetsThisCopyRunOnItsOwn();
    void noClientCanStopHangOrSpinTheRunningCopy_data();
    void noClientCanStopHangOrSpinTheRunningCopy();
    void secondCopyOfTheProgramEndsAtOnceWithStatusZero();
    void programHeldOutByAnotherUserStartsOnItsOwn();
    void secondCopyRestoresAndRaisesTheWindowTitledQuenlarith();
    void withoutADisplayNothingIsFound();
};

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

QTEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
