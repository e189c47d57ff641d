#include "components/KeyReleaseGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace Components {

void KeyReleaseGuard::install()
{
    if (!qApp || qApp->findChild<KeyReleaseGuard *>(QString(), Qt::FindDirectChildrenOnly)) {
        return;
    }
    qApp->installEventFilter(new KeyReleaseGuard(qApp));
}

bool KeyReleaseGuard::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    // A key event reaches the application's filters once for the focus widget and again
    // for each parent it is passed on to: only its first delivery is judged.
    QWidget *focus = QApplication::focusWidget();
    if (focus && watched != focus) {
        return QObject::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::KeyPress) {
        m_pressedIn.insert(key->key(), focus);
        return QObject::eventFilter(watched, event);
    }
    const auto pressed = m_pressedIn.constFind(key->key());
    const bool samePlace = pressed != m_pressedIn.cend() && pressed->data() == focus;
    if (!key->isAutoRepeat()) {
        m_pressedIn.remove(key->key());
    }
    if (!samePlace) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Components
