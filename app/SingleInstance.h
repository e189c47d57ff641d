#pragma once

#include <QString>

#include <memory>

class QLocalServer;

namespace App {

// "Is another copy running?" for one user: the first copy listens on a local socket in
// the abstract namespace (no socket file, so a crashed copy frees the name at once).
class SingleInstance
{
public:
    // The socket name of this user's copies of the program.
    static QString userKey();
    // The name this copy holds: userKey(), unless TORVANELQUIST_INSTANCE_KEY names
    // another. A copy run in isolation (the test suite, beside the user's own running
    // copy) sets that variable so that neither stops the other.
    static QString defaultKey();

    explicit SingleInstance(const QString &key = defaultKey());
    ~SingleInstance();

    // True when another process already holds the key; false when this one now holds it.
    bool anotherCopyRunning() const { return m_anotherCopy; }

private:
    std::unique_ptr<QLocalServer> m_server;
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
