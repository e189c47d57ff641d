#include "app/MdiBackdropArea.h"

#include "components/BackdropWidget.h"

#include <QAccessibleWidget>
#include <QMdiSubWindow>
#include <QPaintEvent>
#include <QPainter>

namespace App {

namespace {

// A child window's frame as assistive technology sees it: a window named by its title,
// active while it is the client area's active window. Its activation is then told as
// a window's (window:activate, with the title) when the main window reports it.
class MdiChildAccessible : public QAccessibleWidget
{
public:
    explicit MdiChildAccessible(QMdiSubWindow *sub)
        : QAccessibleWidget(sub, QAccessible::Window)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            return subWindow()->windowTitle();
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const QMdiArea *area = subWindow()->mdiArea();
        state.active = area && area->activeSubWindow() == subWindow() && subWindow()->isVisible();
        return state;
    }

private:
    QMdiSubWindow *subWindow() const { return static_cast<QMdiSubWindow *>(widget()); }
};

QAccessibleInterface *childWindowAccessible(const QString &className, QObject *object)
{
    auto *sub = className == QLatin1String("QMdiSubWindow") ? qobject_cast<QMdiSubWindow *>(object) : nullptr;
    if (sub && qobject_cast<MdiBackdropArea *>(sub->mdiArea())) {
        return new MdiChildAccessible(sub);
    }
    return nullptr;
}

} // namespace

MdiBackdropArea::MdiBackdropArea(QWidget *parent)
    : QMdiArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setBackground(QColor(70, 70, 70));
    // Every child window is shown maximised (frmMainForm::openWindow). Without this
    // option, bringing one forward would first restore the maximised window it covers
    // and maximise it again: two relayouts of whole windows for nothing.
    setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(childWindowAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled)
}

void MdiBackdropArea::setBackdrop(const QPixmap &picture, const QColor &color)
{
    m_picture = picture;
    setBackground(color);
    viewport()->update();
}

void MdiBackdropArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    Components::paintBackdrop(painter, viewport()->rect(), m_picture, backgroundColor());
}

} // namespace App
