#pragma once

#include "common/FileDescriptor.h"

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace App {

// "Is another copy running?" for one user on one display: the first copy listens on
// a local socket in the abstract namespace (no socket file, so a crashed copy frees the
// name at once). A second copy asks it through that socket to come forward. Plain
// POSIX sockets watched by the event loop: the network library Qt offers for this
// would load a dozen libraries (Kerberos, TLS, proxies) at every start.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The display session a copy belongs to: the Wayland display when there is one,
    // else the X11 display, in a form fit for a socket name ("0" for ":0.0"); empty
    // without either.
    static QString displaySession();
    // The socket name of this user's copies of the program on this display session.
    static QString userKey();

    // Holds `key` (userKey(), or another name for a copy run in isolation by a test or
    // benchmark) when no other process holds it.
    explicit SingleInstance(const QString &key = userKey());
    ~SingleInstance() override;

    // True when another process already holds the key; false when this one now holds it.
    bool anotherCopyRunning() const { return m_anotherCopy; }

    // Asks the copy that holds `key` to come forward; false when none answered.
    static bool requestActivation(const QString &key = userKey());

signals:
    // A second copy asked this one to come forward.
    void activationRequested();

private:
    // Takes every waiting connection and reads each one's request as it comes.
    void acceptRequests();

    Common::FileDescriptor m_listener; // the listening socket while this copy holds the key
    std::unique_ptr<QSocketNotifier> m_listening;
    bool m_anotherCopy = false;
};

// Top-level windows on the X11 display, found by their exact title (EWMH
// _NET_CLIENT_LIST when a window manager publishes it, else the root's children;
// the title from _NET_WM_NAME or WM_NAME). 0 when there is none or no X11 display.
unsigned long FindWindowByTitle(const QString &title);

// Restores, activates and raises the window of the copy that is already running, in
// that order. Acts only when another copy runs and the handle is above zero.
void ActivatePreviousInstance(bool anotherCopyRunning, long handle);

} // namespace App
