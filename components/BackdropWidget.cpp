#include "components/BackdropWidget.h"

#include "components/BackdropText.h"

#include <QEvent>
#include <QImage>
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
    fitTextColours();
    update();
}

void BackdropWidget::setBackgroundColor(const QColor &color)
{
    m_color = color;
    fitTextColours();
    update();
}

void BackdropWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    paintBackdrop(painter, rect(), m_picture, m_color);
}

void BackdropWidget::keepReadable(QWidget *text)
{
    m_texts.emplace_back(text);
    m_judged.remove(text);
    // The backdrop beneath it changes when it or any widget between it and this one
    // moves or is resized.
    for (QWidget *widget = text; widget && widget != this; widget = widget->parentWidget()) {
        widget->installEventFilter(this);
    }
    fitTextColour(text);
}

QImage BackdropWidget::backdropUnder(const QRect &rect) const
{
    QImage image(rect.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.translate(-rect.topLeft());
    paintBackdrop(painter, this->rect(), m_picture, m_color);
    return image;
}

bool BackdropWidget::eventFilter(QObject *watched, QEvent *event)
{
    auto *moved = qobject_cast<QWidget *>(watched);
    if (moved && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        for (const QPointer<QWidget> &text : m_texts) {
            if (text && (text == moved || moved->isAncestorOf(text))) {
                fitTextColour(text);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BackdropWidget::fitTextColours()
{
    m_judged.clear();
    for (const QPointer<QWidget> &text : m_texts) {
        if (text) {
            fitTextColour(text);
        }
    }
}

void BackdropWidget::fitTextColour(QWidget *text)
{
    // A text not set yet is judged by the whole widget.
    QRect area = BackdropText::textArea(text);
    if (area.isEmpty()) {
        area = text->rect();
    }
    const QRect under = area.translated(text->mapTo(this, QPoint(0, 0)));
    if (under.isEmpty()) {
        return;
    }
    const int cell = text->fontMetrics().height();
    const std::pair<QRect, int> place{under, cell};
    if (m_judged.value(text) == place) {
        return;
    }
    m_judged.insert(text, place);
    const QColor colour = BackdropText::readableOn(backdropUnder(under), cell);
    QPalette palette = text->palette();
    if (palette.color(QPalette::Active, QPalette::WindowText) == colour
        && palette.color(QPalette::Inactive, QPalette::WindowText) == colour) {
        return;
    }
    // Disabled text keeps the style's own, dimmed colour.
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    text->setPalette(palette);
}

} // namespace Components
