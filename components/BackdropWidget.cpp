#include "components/BackdropWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace Components {

void paintBackdrop(QPainter &painter, const QRect &rect, const QPixmap &picture, const QColor &color)
{
    painter.fillRect(rect, color);
    if (!picture.isNull()) {
        painter.drawPixmap(QPoint(0, 0), picture);
    }
}

BackdropWidget::BackdropWidget(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BackdropWidget::setBackgroundPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void BackdropWidget::setBackgroundColor(const QColor &color)
{
    m_color = color;
    update();
}

void BackdropWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    paintBackdrop(painter, rect(), m_picture, m_color);
}

} // namespace Components
