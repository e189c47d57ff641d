#pragma once

#include "common/FileDescriptor.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <utility>

class QSocketNotifier;

namespace App {

// "Is another copy running?" for one user on one display. The first copy listens on a
// local socket in the user's runtime folder ($XDG_RUNTIME_DIR, which no other user can
// enter); only where there is no such folder, on a name in the abstract namespace,
// which any local user can reach. Either way the socket answers only its own user (the
// peer's credentials are checked on every connection), a second copy asks it to come
// forward only when it belongs to its own user, and a name held by anyone else lets
// this copy run on its own. Connections are bounded in number, time and size, so no
// client can hang or spin the program. Plain POSIX sockets watched by the event loop:
// the network library Qt offers for this would load a dozen libraries at every start.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // Bounds on the connections the first copy takes.
    static constexpr int MaxConnections = 8; // at once; a new one closes the oldest
    static constexpr int ConnectionMs = 2000; // from its acceptance to its end
    static constexpr int MaxRequestBytes = 64; // a request longer than this is refused

    // Who holds the name.
    enum class Holder {
        ThisCopy, // this copy: it listens and answers second starts
        OwnCopy, // another copy of this user: this copy asks it forward and ends
        SomeoneElse, // another user, or something that is not a copy: this copy runs on its own
        Nobody, // no socket could be made: this copy runs on its own
    };

    // The result of taking the name, without the event loop's part.
    struct Claim
    {
        Holder holder = Holder::Nobody;
        Common::FileDescriptor listener; // listening, when this copy holds the name
        QByteArray socketPath; // the socket's file; empty in the abstract namespace
        std::pair<quint64, quint64> socketFile{}; // its device and inode
        QString note; // why this copy runs on its own
    };

    // The display session a copy belongs to: the Wayland display when there is one,
    // else the X11 display, in a form fit for a socket name ("0" for ":0.0"); empty
    // without either.
    static QString displaySession();
    // The socket name of this user's copies of the program on this display session.
    static QString userKey();
    // $XDG_RUNTIME_DIR when it is a folder of this user's that no one else may enter;
    // empty otherwise (the socket then takes the abstract namespace).
    static QString userRuntimeFolder();

    // Takes `key` in `runtimeFolder` (the abstract namespace when empty), or finds who
    // holds it. A socket left by a copy that ended without removing it is replaced; two
    // copies starting at once take turns.
    static void claim(const QString &key, const QString &runtimeFolder, Claim &result);

    // Holds `key` (userKey(), or another name for a copy run in isolation by a test or
    // benchmark) when no other process holds it.
    explicit SingleInstance(const QString &key = userKey(), const QString &runtimeFolder = userRuntimeFolder());
    ~SingleInstance() override; // removes the socket's file

    Holder holder() const { return m_holder; }
    // True when another copy of this user holds the key.
    bool anotherCopyRunning() const { return m_holder == Holder::OwnCopy; }
    // Why this copy runs on its own although it does not hold the key; empty otherwise.
    QString note() const { return m_note; }
    // The socket's file while this copy holds the key in a runtime folder.
    QByteArray socketPath() const { return m_socketPath; }

    // Asks the copy that holds `key` to come forward. Only a copy of this user is asked;
    // true when it answered.
    static bool requestActivation(const QString &key = userKey(), const QString &runtimeFolder = userRuntimeFolder());

signals:
    // A second copy asked this one to come forward.
    void activationRequested();

private:
    class Connection;

    // Takes the waiting connections, a few at a time, and reads each one's request as it comes.
    void acceptRequests();
    void forget(Connection *connection);

    Holder m_holder = Holder::Nobody;
    QString m_note;
    Common::FileDescriptor m_listener; // the listening socket while this copy holds the key
    QByteArray m_socketPath;
    std::pair<quint64, quint64> m_socketFile{};
    std::unique_ptr<QSocketNotifier> m_listening;
    QList<Connection *> m_connections; // oldest first
};

// Top-level windows on the X11 display, found by their exact title (EWMH
// _NET_CLIENT_LIST when a window manager publishes it, else the root's children;
// the title from _NET_WM_NAME or WM_NAME). 0 when there is none or no X11 display.
unsigned long FindWindowByTitle(const QString &title);

// Restores, activates and raises the window of the copy that is already running, in
// that order. Acts only when another copy runs and the handle is above zero.
void ActivatePreviousInstance(bool anotherCopyRunning, long handle);

} // namespace App
