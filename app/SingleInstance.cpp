#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstring>
#include <vector>

namespace App {

namespace {

// What a second copy writes to the first.
const QByteArray ActivationRequest = QByteArrayLiteral("activate\n");

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

QString SingleInstance::defaultKey()
{
    const QString isolated = qEnvironmentVariable("TORVANELQUIST_INSTANCE_KEY");
    return isolated.isEmpty() ? userKey() : isolated;
}

SingleInstance::SingleInstance(const QString &key)
    : m_server(std::make_unique<QLocalServer>())
{
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!m_server->listen(key)) {
        m_anotherCopy = m_server->serverError() == QAbstractSocket::AddressInUseError;
        m_server.reset();
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine() && peer->bytesAvailable() < ActivationRequest.size()) {
                    return; // the rest of the request is on its way
                }
                if (peer->readLine(64) == ActivationRequest) {
                    emit activationRequested();
                }
                peer->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::requestActivation(const QString &key)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(key);
    if (!socket.waitForConnected(1000)) {
        return false;
    }
    socket.write(ActivationRequest);
    const bool sent = socket.waitForBytesWritten(1000);
    // The first copy hangs up once it has read the request.
    socket.waitForDisconnected(1000);
    return sent;
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
