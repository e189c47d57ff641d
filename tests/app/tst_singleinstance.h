#pragma once

// The single copy per user and display: the runtime folder, the socket, the clients
// that attack it, and the fixtures and test class shared by its two sources.

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

namespace SingleInstanceFixture {

inline bool isViewable(::Display *display, Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    return attributes.map_state == IsViewable;
}

// Stacking position among the root's children, bottom first.
inline int stackingIndex(::Display *display, Window window)
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

inline int connectedTo(const Address &address, int timeoutMs = 1000)
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
inline bool activatedFromAnotherThread(const QString &key, const QString &folder)
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
[[noreturn]] inline void attack(Attack kind, const Address &address, int ready)
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
inline pid_t startAttack(Attack kind, const Address &address, uid_t user)
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
inline int statusOf(pid_t child, int timeoutMs = 8000)
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

inline qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
        + usage.ru_stime.tv_usec;
}

inline int openDescriptors()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

} // namespace SingleInstanceFixture

Q_DECLARE_METATYPE(SingleInstanceFixture::Attack)

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
