#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

namespace App {

namespace {

// What a second copy writes to the first, and the first's answer.
const QByteArray ActivationRequest = QByteArrayLiteral("activate\n");
const QByteArray ActivationAnswer = QByteArrayLiteral("ok\n");

// How long a second copy waits for the first to take, read and answer its request.
constexpr int RequestTimeoutMs = 1000;
// How long a copy waits for another that is taking the name at the same moment.
constexpr int ClaimWaitMs = 2000;
constexpr int ClaimPauseMs = 10;
// Connections taken per wake-up, so a flood of them cannot hold up the event loop.
constexpr int AcceptBatch = 16;
// When no descriptor is left for a waiting connection: how long until the next try.
constexpr int AcceptPauseMs = 250;

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void pause(int ms)
{
    const timespec time{0, long(ms) * 1000000};
    ::nanosleep(&time, nullptr);
}

// The socket's address: a file in the runtime folder, or a name in the abstract
// namespace. A key too long for an address is replaced by a digest of it, the same in
// every copy.
struct Address
{
    sockaddr_un address{};
    socklen_t length = 0;
    QByteArray path; // empty in the abstract namespace

    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&address); }
};

Address addressOf(const QString &key, const QString &runtimeFolder)
{
    Address result;
    result.address.sun_family = AF_UNIX;
    QByteArray name = key.toUtf8();
    const QByteArray digest = "torvanelquist-" + QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex();
    const auto fits
        = [](const QByteArray &path) { return path.size() + 1 <= qsizetype(sizeof(sockaddr_un::sun_path)); };
    if (!runtimeFolder.isEmpty()) {
        const QByteArray folder = QFile::encodeName(runtimeFolder) + '/';
        QByteArray path = folder + name;
        if (!fits(path)) {
            path = folder + digest;
        }
        if (fits(path)) {
            std::memcpy(result.address.sun_path, path.constData(), std::size_t(path.size()));
            result.length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(path.size()) + 1);
            result.path = path;
            return result;
        }
        // A folder whose name leaves no room: the abstract namespace, as without one.
    }
    if (!fits(name)) {
        name = digest;
    }
    // sun_path[0] stays 0: the name lives in the abstract namespace, not on disk.
    std::memcpy(result.address.sun_path + 1, name.constData(), std::size_t(name.size()));
    result.length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
    return result;
}

// The user the process at the other end of `socket` runs as; -1 when unknown.
qint64 peerUser(int socket)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof(credentials)) {
        return -1;
    }
    return qint64(credentials.uid);
}

// A connection to whoever listens at `address`, with every wait on it bounded, for
// the caller to close. -1 with errno set when none could be made.
int connectTo(const Address &address)
{
    Common::FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        return -1;
    }
    // Neither the connection (a full queue), the request nor the answer waits longer.
    const timeval limit{RequestTimeoutMs / 1000, (RequestTimeoutMs % 1000) * 1000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    while (::connect(socket.get(), address.get(), address.length) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            socket.reset();
            errno = error;
            return -1;
        }
    }
    return socket.release();
}

// While a copy takes the name in a runtime folder, no other does: the check for a
// socket left behind and its replacement are one step. The lock file exists only for
// that moment.
class ClaimLock
{
public:
    explicit ClaimLock(const QByteArray &socketPath)
        : m_path(socketPath + ".lock")
    {
        for (int waited = 0; waited < ClaimWaitMs; waited += ClaimPauseMs) {
            Common::FileDescriptor file(
                ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
            if (file.get() < 0) {
                return;
            }
            if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
                // The lock counts only on the file that is still there: its last holder
                // removes it before letting go.
                struct stat held
                {};
                struct stat named
                {};
                if (::fstat(file.get(), &held) == 0 && ::stat(m_path.constData(), &named) == 0
                    && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                    m_file.reset(file.release());
                    return;
                }
                continue;
            }
            pause(ClaimPauseMs);
        }
    }
    ~ClaimLock()
    {
        if (m_file.get() >= 0) {
            ::unlink(m_path.constData());
        }
    }
    ClaimLock(const ClaimLock &) = delete;
    ClaimLock &operator=(const ClaimLock &) = delete;

private:
    QByteArray m_path;
    Common::FileDescriptor m_file;
};

} // namespace

// One second copy's connection: reads its request line, answers it, hangs up; closed
// unanswered when it sends anything else, too much, or takes too long.
class SingleInstance::Connection : public QObject
{
public:
    Connection(int fd, SingleInstance *owner)
        : QObject(owner),
          m_owner(owner),
          m_fd(fd),
          m_notifier(fd, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readSome(); });
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, this, [this] { end(); });
        m_deadline.start(ConnectionMs);
    }

    // Closes the connection at once.
    void end()
    {
        m_notifier.setEnabled(false);
        m_deadline.stop();
        m_fd.reset();
        m_owner->forget(this);
        deleteLater();
    }

private:
    void readSome()
    {
        char chunk[MaxRequestBytes];
        const ssize_t count = ::read(m_fd.get(), chunk, std::size_t(MaxRequestBytes - m_received.size()));
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (count > 0) {
            m_received.append(chunk, qsizetype(count));
            const qsizetype lineEnd = m_received.indexOf('\n');
            if (lineEnd < 0 && m_received.size() < MaxRequestBytes) {
                return; // the rest of the request is on its way
            }
            if (m_received.left(lineEnd + 1) == ActivationRequest) {
                ::send(m_fd.get(), ActivationAnswer.constData(), std::size_t(ActivationAnswer.size()),
                       MSG_DONTWAIT | MSG_NOSIGNAL);
                emit m_owner->activationRequested();
            }
        }
        end();
    }

    SingleInstance *m_owner;
    Common::FileDescriptor m_fd;
    QSocketNotifier m_notifier;
    QTimer m_deadline;
    QByteArray m_received;
};

QString SingleInstance::displaySession()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        // ":0" and ":0.0" are one session: the screen number does not count.
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
        if (colon >= 0 && dot > colon) {
            display.truncate(dot);
        }
    }
    QString session;
    for (const QChar c : display) {
        session += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ? c : QChar(u'-');
    }
    while (session.startsWith(QLatin1Char('-'))) {
        session.remove(0, 1);
    }
    return session;
}

QString SingleInstance::userKey()
{
    const QString session = displaySession();
    return session.isEmpty() ? QStringLiteral("torvanelquist-%1").arg(::getuid())
                             : QStringLiteral("torvanelquist-%1-%2").arg(::getuid()).arg(session);
}

QString SingleInstance::userRuntimeFolder()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat status
    {};
    if (folder.isEmpty() || !folder.startsWith(QLatin1Char('/'))
        || ::stat(QFile::encodeName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::getuid() || (status.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

void SingleInstance::claim(const QString &key, const QString &runtimeFolder, Claim &result)
{
    const Address address = addressOf(key, runtimeFolder);
    const QString where = address.path.isEmpty() ? QStringLiteral("the name \"%1\"").arg(key)
                                                 : QStringLiteral("the socket %1").arg(QFile::decodeName(address.path));
    std::optional<ClaimLock> lock;
    if (!address.path.isEmpty()) {
        lock.emplace(address.path);
    }
    for (int waited = 0; waited < ClaimWaitMs;) {
        Common::FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (listener.get() < 0) {
            result.note = QStringLiteral("no socket for %1: %2").arg(where, describe(errno));
            return;
        }
        if (::bind(listener.get(), address.get(), address.length) == 0) {
            if (::listen(listener.get(), MaxConnections) != 0) {
                result.note = QStringLiteral("cannot listen on %1: %2").arg(where, describe(errno));
                if (!address.path.isEmpty()) {
                    ::unlink(address.path.constData());
                }
                return;
            }
            struct stat made
            {};
            if (!address.path.isEmpty() && ::lstat(address.path.constData(), &made) == 0) {
                result.socketPath = address.path;
                result.socketFile = {quint64(made.st_dev), quint64(made.st_ino)};
            }
            result.holder = Holder::ThisCopy;
            result.listener.reset(listener.release());
            return;
        }
        if (errno != EADDRINUSE) {
            result.note = QStringLiteral("cannot make %1: %2").arg(where, describe(errno));
            return;
        }
        // Taken: by a copy of this user, by someone else, or by a socket a copy left behind.
        const Common::FileDescriptor probe(connectTo(address));
        if (probe.get() >= 0) {
            if (peerUser(probe.get()) == qint64(::getuid())) {
                result.holder = Holder::OwnCopy;
            } else {
                result.holder = Holder::SomeoneElse;
                result.note = QStringLiteral("%1 is held by another user").arg(where);
            }
            return;
        }
        if (errno != ECONNREFUSED && errno != ENOENT) {
            // A listener that takes no more connections now (its queue is full). In the
            // user's own folder it can only be a copy of the user's.
            result.holder = address.path.isEmpty() ? Holder::SomeoneElse : Holder::OwnCopy;
            result.note = QStringLiteral("%1 does not answer: %2").arg(where, describe(errno));
            return;
        }
        if (!address.path.isEmpty()) {
            struct stat status
            {};
            if (::lstat(address.path.constData(), &status) == 0) {
                if (!S_ISSOCK(status.st_mode)) {
                    result.holder = Holder::SomeoneElse;
                    result.note = QStringLiteral("%1 is not a socket").arg(where);
                    return;
                }
                // Nobody listens: left behind by a copy that ended without removing it.
                ::unlink(address.path.constData());
            }
            ++waited; // at once, but not for ever
            continue;
        }
        // A name bound but not yet listening: most likely a copy starting this moment.
        pause(ClaimPauseMs);
        waited += ClaimPauseMs;
    }
    result.holder = Holder::SomeoneElse;
    result.note = QStringLiteral("%1 is held but never answers").arg(where);
    return;
}

SingleInstance::SingleInstance(const QString &key, const QString &runtimeFolder)
{
    Claim taken;
    claim(key, runtimeFolder, taken);
    m_holder = taken.holder;
    m_note = taken.note;
    if (m_holder != Holder::ThisCopy) {
        return;
    }
    m_listener.reset(taken.listener.release());
    m_socketPath = taken.socketPath;
    m_socketFile = taken.socketFile;
    m_listening = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    connect(m_listening.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptRequests);
}

SingleInstance::~SingleInstance()
{
    // The socket's file goes with the copy that made it, unless another has replaced it.
    struct stat named
    {};
    if (!m_socketPath.isEmpty() && ::lstat(m_socketPath.constData(), &named) == 0
        && quint64(named.st_dev) == m_socketFile.first && quint64(named.st_ino) == m_socketFile.second) {
        ::unlink(m_socketPath.constData());
    }
}

void SingleInstance::acceptRequests()
{
    for (int taken = 0; taken < AcceptBatch; ++taken) {
        Common::FileDescriptor peer(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (peer.get() < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // No descriptor or memory for the waiting connection: it stays queued.
                // Listen again a little later rather than be woken for it again at once.
                m_listening->setEnabled(false);
                QTimer::singleShot(AcceptPauseMs, this, [this] { m_listening->setEnabled(true); });
            }
            return;
        }
        if (peerUser(peer.get()) != qint64(::getuid())) {
            continue; // another user's connection: closed unanswered
        }
        if (m_connections.size() >= MaxConnections) {
            m_connections.first()->end(); // the oldest makes room
        }
        m_connections.append(new Connection(peer.release(), this));
    }
}

void SingleInstance::forget(Connection *connection)
{
    m_connections.removeOne(connection);
}

bool SingleInstance::requestActivation(const QString &key, const QString &runtimeFolder)
{
    const Common::FileDescriptor socket(connectTo(addressOf(key, runtimeFolder)));
    // Nothing is said to, or believed from, a socket of another user.
    if (socket.get() < 0 || peerUser(socket.get()) != qint64(::getuid())) {
        return false;
    }
    qsizetype sent = 0;
    while (sent < ActivationRequest.size()) {
        const ssize_t count = ::send(socket.get(), ActivationRequest.constData() + sent,
                                     std::size_t(ActivationRequest.size() - sent), MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        sent += count;
    }
    QByteArray answer;
    while (answer.size() < ActivationAnswer.size()) {
        char chunk[8];
        const ssize_t count = ::recv(socket.get(), chunk, std::size_t(ActivationAnswer.size() - answer.size()), 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false; // hung up or no answer within the time limit
        }
        answer.append(chunk, qsizetype(count));
    }
    return answer == ActivationAnswer;
}

namespace {

class DisplayConnection
{
public:
    DisplayConnection()
        : m_display(XOpenDisplay(nullptr))
    {
    }
    ~DisplayConnection()
    {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    DisplayConnection(const DisplayConnection &) = delete;
    DisplayConnection &operator=(const DisplayConnection &) = delete;
    ::Display *get() const { return m_display; }

private:
    ::Display *m_display;
};

// Reads a whole window property; empty when the window does not have it.
std::vector<unsigned char> windowProperty(::Display *display, Window window, Atom property, Atom type, int &format,
                                          unsigned long &items)
{
    Atom actualType = None;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    items = 0;
    format = 0;
    if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, type, &actualType, &format, &items, &after,
                           &data)
            != Success
        || !data) {
        return {};
    }
    const std::size_t bytes = items * (format == 32 ? sizeof(long) : std::size_t(format / 8));
    std::vector<unsigned char> result(data, data + bytes);
    XFree(data);
    return result;
}

QString windowTitle(::Display *display, Window window)
{
    int format = 0;
    unsigned long items = 0;
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const auto name = windowProperty(display, window, netWmName, utf8, format, items);
    if (!name.empty() && format == 8) {
        return QString::fromUtf8(reinterpret_cast<const char *>(name.data()), int(name.size()));
    }
    const auto legacy = windowProperty(display, window, XA_WM_NAME, AnyPropertyType, format, items);
    if (!legacy.empty() && format == 8) {
        return QString::fromLatin1(reinterpret_cast<const char *>(legacy.data()), int(legacy.size()));
    }
    return {};
}

std::vector<Window> topLevelWindows(::Display *display)
{
    const Window root = DefaultRootWindow(display);
    int format = 0;
    unsigned long items = 0;
    const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    const auto data = windowProperty(display, root, clientList, XA_WINDOW, format, items);
    std::vector<Window> windows;
    if (!data.empty() && format == 32) {
        const auto *ids = reinterpret_cast<const unsigned long *>(data.data());
        windows.assign(ids, ids + items);
        return windows;
    }
    // No window manager publishes a client list: look at the root's children.
    Window rootReturn = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

void sendClientMessage(::Display *display, Window window, const char *type, long a0, long a1, long a2)
{
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = a0;
    event.xclient.data.l[1] = a1;
    event.xclient.data.l[2] = a2;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

} // namespace

unsigned long FindWindowByTitle(const QString &title)
{
    DisplayConnection display;
    if (!display.get()) {
        return 0;
    }
    for (const Window window : topLevelWindows(display.get())) {
        if (windowTitle(display.get(), window) == title) {
            return window;
        }
    }
    return 0;
}

void ActivatePreviousInstance(bool anotherCopyRunning, long handle)
{
    if (!anotherCopyRunning || handle <= 0) {
        return;
    }
    DisplayConnection display;
    if (!display.get()) {
        return;
    }
    ::Display *d = display.get();
    const auto window = static_cast<Window>(handle);

    // Restore: out of the minimised and maximised states, mapped.
    const Atom remove = 0;
    sendClientMessage(d, window, "_NET_WM_STATE", remove, long(XInternAtom(d, "_NET_WM_STATE_HIDDEN", False)), 0);
    sendClientMessage(d, window, "_NET_WM_STATE", remove, long(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                      long(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)));
    XMapWindow(d, window);
    // Foreground: ask the window manager to activate it (source 2: a pager-like request).
    sendClientMessage(d, window, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
    // Top.
    XRaiseWindow(d, window);
    XFlush(d);
}

} // namespace App
