#include "app/MdiBackdropArea.h"

#include "components/BackdropWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace App {

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
