#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

namespace Components {

// A key acts once, where it was pressed. Actions that run on a key press (Enter in an
// advanced-panel row, on a button, on a grid row, in the ribbon) often move the keyboard
// focus; the release that follows then reaches another widget, and a widget that acts
// on the release (the search box searches on Enter's release) would run a second action
// nobody asked for. The guard, installed once on the application, swallows every key
// release that does not reach the widget that had the focus when the key went down
// (and one whose press this program never saw, such as the Enter that closed a dialog).
class KeyReleaseGuard : public QObject
{
    Q_OBJECT

public:
    // Installs the guard on the running application (once; later calls do nothing).
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;

    // Where each key now held went down: the focus widget at its press.
    QHash<int, QPointer<QWidget>> m_pressedIn;
};

} // namespace Components
