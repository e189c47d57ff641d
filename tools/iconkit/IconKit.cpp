#include "IconKit.h"

#include <QPainter>

#include <cmath>

namespace IconKit {

QImage paint(const std::function<void(QPainter &)> &draw)
{
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        draw(painter);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QLinearGradient shade(const QPointF &from, const QPointF &to, const QColor &light, const QColor &dark)
{
    QLinearGradient gradient(from, to);
    gradient.setColorAt(0, light);
    gradient.setColorAt(1, dark);
    return gradient;
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor &light, const QColor &dark)
{
    return shade(QPointF(0, top), QPointF(0, bottom), light, dark);
}

QRadialGradient radial(const QPointF &centre, qreal radius, const QColor &inner, const QColor &outer)
{
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0, inner);
    gradient.setColorAt(1, outer);
    return gradient;
}

QPen outline(const QColor &color, qreal width)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

QFont font(const QString &family, qreal pixelSize, int weight)
{
    QFont f(family);
    f.setPixelSize(int(pixelSize));
    f.setWeight(QFont::Weight(weight));
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void label(QPainter &p, const QRectF &box, const QString &text, const QColor &color, const QFont &font)
{
    p.setPen(color);
    p.setFont(font);
    p.drawText(box, Qt::AlignCenter, text);
}

void shadow(QPainter &p, const QPainterPath &shape, const QPointF &offset)
{
    p.save();
    p.translate(offset);
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(0, 0, 0, 55));
    p.drawPath(shape);
    p.restore();
}

void drawRaised(QPainter &p, const QPainterPath &shape, const QPen &pen, const QBrush &brush,
                const QPointF &shadowOffset)
{
    shadow(p, shape, shadowOffset);
    p.setPen(pen);
    p.setBrush(brush);
    p.drawPath(shape);
}

QPainterPath rounded(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath topRounded(const QRectF &rect, qreal radius)
{
    QPainterPath path = rounded(rect, radius);
    path.addRect(QRectF(rect.left(), rect.bottom() - (radius + 1), rect.width(), radius + 1));
    path.setFillRule(Qt::WindingFill);
    return path;
}

QPainterPath ellipse(const QRectF &rect)
{
    QPainterPath path;
    path.addEllipse(rect);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> corners)
{
    QPainterPath path;
    for (const QPointF &corner : corners) {
        if (path.elementCount() == 0) {
            path.moveTo(corner);
        } else {
            path.lineTo(corner);
        }
    }
    path.closeSubpath();
    return path;
}

QPainterPath star(const QPointF &centre, int corners, qreal startAngle, qreal outer, qreal inner)
{
    QPainterPath path;
    for (int i = 0; i < corners; ++i) {
        const qreal radius = i % 2 == 0 ? outer : inner;
        const qreal angle = startAngle + i * 2 * M_PI / corners;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    path.closeSubpath();
    return path;
}

QPainterPath flask(qreal top, qreal neck, qreal bottom)
{
    const qreal shoulder = neck + 14; // where the sides turn under into the base
    QPainterPath path;
    path.moveTo(12.5, top);
    path.lineTo(19.5, top);
    path.lineTo(19.5, neck);
    path.lineTo(27.5, shoulder);
    path.quadTo(29, bottom, 25, bottom);
    path.lineTo(7, bottom);
    path.quadTo(3, bottom, 4.5, shoulder);
    path.lineTo(12.5, neck);
    path.closeSubpath();
    return path;
}

QPainterPath below(const QPainterPath &shape, qreal level)
{
    QPainterPath area;
    area.addRect(QRectF(0, level, Size, Size - level));
    return shape.intersected(area);
}

QPainterPath capsule(qreal halfLength, qreal halfWidth)
{
    return rounded(QRectF(-halfLength, -halfWidth, 2 * halfLength, 2 * halfWidth), halfWidth);
}

void fillHalves(QPainter &p, const QPainterPath &capsule, const QBrush &left, const QBrush &right)
{
    const QRectF box = capsule.boundingRect();
    p.save();
    p.setClipPath(capsule);
    p.setPen(Qt::NoPen);
    p.setBrush(left);
    p.drawRect(QRectF(box.left(), box.top(), -box.left(), box.height()));
    p.setBrush(right);
    p.drawRect(QRectF(0, box.top(), box.right(), box.height()));
    p.restore();
}

QPainterPath foldedPage(const QRectF &page, qreal fold)
{
    return polygon({page.topLeft(), QPointF(page.right() - fold, page.top()), QPointF(page.right(), page.top() + fold),
                    page.bottomRight(), page.bottomLeft()});
}

QPainterPath pageCorner(const QRectF &page, qreal fold)
{
    return polygon({QPointF(page.right() - fold, page.top()), QPointF(page.right() - fold, page.top() + fold),
                    QPointF(page.right(), page.top() + fold)});
}

} // namespace IconKit
