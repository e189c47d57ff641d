#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace App {

namespace {

// What a second copy writes to the first.
const QByteArray ActivationRequest = QByteArrayLiteral("activate\n");

// How long a second copy waits for the first to take, read and answer its request.
constexpr int RequestTimeoutMs = 1000;

// The address of `key` in the abstract namespace. A key too long for an address is
// replaced by a digest of it, the same in every copy.
socklen_t abstractAddress(const QString &key, sockaddr_un &address)
{
    QByteArray name = key.toUtf8();
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (name.size() + 1 > qsizetype(sizeof(address.sun_path))) {
        name = "torvanelquist-" + QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex();
    }
    // sun_path[0] stays 0: the name lives in the abstract namespace, not on disk.
    std::memcpy(address.sun_path + 1, name.constData(), std::size_t(name.size()));
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(name.size()));
}

// One second copy's connection: reads its request line, answers by hanging up.
class RequestReader : public QObject
{
public:
    RequestReader(int fd, QObject *parent, std::function<void()> onActivation)
        : QObject(parent),
          m_fd(fd),
          m_notifier(fd, QSocketNotifier::Read),
          m_onActivation(std::move(onActivation))
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readSome(); });
    }

private:
    void readSome()
    {
        char chunk[64];
        const ssize_t count = ::read(m_fd.get(), chunk, sizeof(chunk));
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (count > 0) {
            m_received.append(chunk, qsizetype(count));
            if (!m_received.contains('\n') && m_received.size() < ActivationRequest.size()) {
                return; // the rest of the request is on its way
            }
        }
        if (m_received.left(m_received.indexOf('\n') + 1) == ActivationRequest) {
            m_onActivation();
        }
        m_notifier.setEnabled(false);
        deleteLater(); // closes the connection: the second copy reads the hang-up
    }

    Common::FileDescriptor m_fd;
    QSocketNotifier m_notifier;
    std::function<void()> m_onActivation;
    QByteArray m_received;
};

} // namespace

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

SingleInstance::SingleInstance(const QString &key)
{
    Common::FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (listener.get() < 0) {
        return; // no socket to be had: this copy runs as the only one
    }
    sockaddr_un address;
    const socklen_t length = abstractAddress(key, address);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        m_anotherCopy = errno == EADDRINUSE;
        return;
    }
    if (::listen(listener.get(), 8) != 0) {
        return;
    }
    m_listener.reset(listener.release());
    m_listening = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    connect(m_listening.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptRequests);
}

void SingleInstance::acceptRequests()
{
    for (;;) {
        const int peer = ::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0) {
            if (errno == EINTR) {
                continue;
            }
            return; // none left waiting
        }
        new RequestReader(peer, this, [this] { emit activationRequested(); });
    }
}

bool SingleInstance::requestActivation(const QString &key)
{
    const Common::FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        return false;
    }
    // Neither the connection (a full queue), the request nor the answer waits longer.
    const timeval limit{RequestTimeoutMs / 1000, (RequestTimeoutMs % 1000) * 1000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    sockaddr_un address;
    const socklen_t length = abstractAddress(key, address);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr *>(&address), length) != 0) {
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
    // The first copy hangs up once it has read the request.
    for (;;) {
        char answer = 0;
        const ssize_t count = ::recv(socket.get(), &answer, 1, 0);
        if (count > 0 || (count < 0 && errno == EINTR)) {
            continue;
        }
        return true; // hung up, or no answer within the time limit
    }
}

SingleInstance::~SingleInstance() = default;

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
