#include "RecordWindowIcons.h"

#include "IconKit.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

using namespace IconKit;

namespace RecordWindowIcons {

namespace {

// A flag on a pole; `emblem` draws on the cloth (in the cloth's own coordinates, 0..18 by 0..12).
void flag(QPainter &p, const QColor &light, const QColor &dark, const std::function<void(QPainter &)> &emblem)
{
    QPainterPath cloth;
    cloth.moveTo(9, 4);
    cloth.cubicTo(14, 1.5, 18, 6.5, 29, 3.5);
    cloth.lineTo(29, 18.5);
    cloth.cubicTo(18, 21.5, 14, 16.5, 9, 19);
    cloth.closeSubpath();
    drawRaised(p, cloth, outline(dark.darker(150), 1.0), vertical(2, 21, light, dark));
    p.save();
    p.translate(10, 5.5);
    emblem(p);
    p.restore();
    p.setPen(outline(rgb(60, 62, 70), 1.0));
    p.setBrush(vertical(2, 30, rgb(200, 204, 214), rgb(110, 114, 126)));
    p.drawRoundedRect(QRectF(5.5, 3, 3, 27), 1.2, 1.2);
    p.setBrush(rgb(236, 190, 60));
    p.drawEllipse(QRectF(4.5, 0.8, 5, 5));
    p.setBrush(vertical(27, 31, rgb(150, 154, 166), rgb(80, 84, 96)));
    p.drawRoundedRect(QRectF(2.5, 28, 9, 3), 1, 1);
}

} // namespace

// ---------------------------------------------------------------- dosage form and route windows

void vocabularyName(QPainter &p)
{
    // A name badge: a card with a blue band and "Aa".
    drawRaised(p, rounded(QRectF(2.5, 6, 27, 21), 3), outline(rgb(70, 84, 116), 1.0),
               vertical(6, 27, rgb(255, 255, 255), rgb(224, 230, 242)));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(6.5, 13.5, rgb(92, 150, 236), rgb(34, 86, 180)));
    p.drawPath(topRounded(QRectF(3, 6.5, 26, 7), 2.5));
    p.setBrush(rgb(255, 255, 255, 210));
    p.drawEllipse(QRectF(14.5, 8.6, 3, 3));
    label(p, QRectF(3, 13.5, 26, 13), QStringLiteral("Aa"), rgb(24, 40, 96), font(QStringLiteral("DejaVu Sans"), 11));
}

void vocabularyDefinition(QPainter &p)
{
    // An open dictionary.
    drawRaised(p, polygon({{2, 9}, {16, 11}, {30, 9}, {30, 27}, {16, 29}, {2, 27}}), outline(rgb(90, 20, 20), 1.0),
               vertical(9, 29, rgb(200, 60, 52), rgb(130, 24, 24)));
    for (const int side : {-1, 1}) {
        QPainterPath page;
        page.moveTo(16, 9.5);
        page.cubicTo(16 + side * 5, 5.5, 16 + side * 10, 5.5, 16 + side * 12.5, 6.5);
        page.lineTo(16 + side * 12.5, 25);
        page.cubicTo(16 + side * 10, 24, 16 + side * 5, 24, 16, 27.5);
        page.closeSubpath();
        p.setPen(outline(rgb(120, 110, 90), 0.9));
        p.setBrush(vertical(5.5, 27.5, rgb(255, 253, 244), rgb(236, 228, 206)));
        p.drawPath(page);
        p.setPen(outline(rgb(130, 140, 170), 1.0));
        for (int i = 0; i < 4; ++i) {
            const qreal y = 11 + 3.6 * i;
            const qreal inner = 16 + side * 2.5;
            const qreal outer = 16 + side * (i == 3 ? 7.5 : 10.5);
            p.drawLine(QPointF(inner, y), QPointF(outer, y - 0.8));
        }
    }
    p.setPen(outline(rgb(110, 96, 70), 1.0));
    p.drawLine(QPointF(16, 9.5), QPointF(16, 27.5));
}

void vocabularyUseRestrictions(QPainter &p)
{
    // A warning sign.
    QPainterPath sign;
    sign.moveTo(16, 2.5);
    sign.quadTo(17.4, 2.5, 18.2, 3.9);
    sign.lineTo(29.6, 25.6);
    sign.quadTo(30.3, 28, 28, 28);
    sign.lineTo(4, 28);
    sign.quadTo(1.7, 28, 2.4, 25.6);
    sign.lineTo(13.8, 3.9);
    sign.quadTo(14.6, 2.5, 16, 2.5);
    sign.closeSubpath();
    drawRaised(p, sign, outline(rgb(150, 90, 0), 1.1), vertical(2.5, 28, rgb(255, 226, 92), rgb(246, 168, 20)));
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(40, 30, 20));
    p.drawPath(polygon({{14.4, 10}, {17.6, 10}, {16.8, 20}, {15.2, 20}}));
    p.drawEllipse(QRectF(14.3, 21.6, 3.4, 3.4));
}

void vocabularyShortName(QPainter &p)
{
    // An abbreviation: a short purple label reading "ab.".
    drawRaised(p, rounded(QRectF(3, 8, 26, 16), 8), outline(rgb(70, 30, 110), 1.1),
               vertical(8, 24, rgb(176, 118, 226), rgb(104, 48, 164)));
    p.setPen(outline(rgb(255, 255, 255, 110), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4.5, 9.5, 23, 13), 6.5, 6.5);
    label(p, QRectF(3, 8, 26, 15), QStringLiteral("ab."), Qt::white, font(QStringLiteral("DejaVu Sans"), 11));
}

void vocabularyFdaCode(QPainter &p)
{
    // A bar code on a white label.
    drawRaised(p, rounded(QRectF(2.5, 6, 27, 21), 2.5), outline(rgb(96, 100, 110), 1.0),
               vertical(6, 27, rgb(255, 255, 255), rgb(230, 232, 238)));
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(24, 24, 30));
    // Bar widths in half pixels, gaps between them likewise.
    const int bars[] = {2, 1, 1, 3, 1, 2, 1, 1, 2, 1, 3, 1, 1, 2, 2};
    const int gaps[] = {1, 2, 1, 1, 2, 1, 1, 2, 1, 1, 1, 2, 1, 1, 0};
    qreal x = 5.5;
    for (int i = 0; i < 15; ++i) {
        p.drawRect(QRectF(x, 9, bars[i] * 0.5 + 0.5, 12));
        x += bars[i] * 0.5 + 0.5 + gaps[i] * 0.6;
    }
    p.setPen(outline(rgb(60, 60, 70), 1.0));
    p.drawLine(QPointF(6, 23.6), QPointF(12, 23.6));
    p.drawLine(QPointF(14, 23.6), QPointF(19, 23.6));
    p.drawLine(QPointF(21, 23.6), QPointF(26, 23.6));
}

void vocabularyNciConcept(QPainter &p)
{
    // A concept map: three linked nodes.
    const QPointF a(8.5, 9), b(24, 11.5), c(14.5, 24);
    p.setPen(outline(rgb(70, 80, 100), 2.0));
    p.drawLine(a, b);
    p.drawLine(b, c);
    p.drawLine(c, a);
    struct Node
    {
        QPointF centre;
        qreal radius;
        QColor light;
        QColor dark;
    };
    const Node nodes[] = {{a, 6, rgb(120, 220, 210), rgb(10, 130, 130)},
                          {b, 5.5, rgb(255, 190, 110), rgb(206, 100, 10)},
                          {c, 6.5, rgb(190, 150, 255), rgb(96, 50, 180)}};
    for (const Node &node : nodes) {
        QPainterPath disc;
        disc.addEllipse(node.centre, node.radius, node.radius);
        const QPointF highlight = node.centre - QPointF(node.radius, node.radius) / 3;
        drawRaised(p, disc, outline(node.dark.darker(140), 1.0),
                   radial(highlight, node.radius * 1.4, node.light, node.dark), {0.8, 0.9});
    }
}

// ---------------------------------------------------------------- patent window

void patentNumber(QPainter &p)
{
    // A light bulb: the invention.
    QPainterPath glass;
    glass.moveTo(11.5, 21);
    glass.cubicTo(11.5, 17, 6, 15, 6, 10.5);
    glass.cubicTo(6, 5, 10.5, 1.5, 16, 1.5);
    glass.cubicTo(21.5, 1.5, 26, 5, 26, 10.5);
    glass.cubicTo(26, 15, 20.5, 17, 20.5, 21);
    glass.closeSubpath();
    QRadialGradient light = radial(QPointF(13, 7), 16, rgb(255, 255, 226), rgb(240, 180, 20));
    light.setColorAt(0.5, rgb(255, 236, 120));
    drawRaised(p, glass, outline(rgb(160, 110, 0), 1.1), light);
    p.setPen(outline(rgb(190, 110, 10), 1.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath filament;
    filament.moveTo(13.5, 20.5);
    filament.lineTo(13.5, 14);
    filament.cubicTo(13.5, 11, 15, 11, 15, 13);
    filament.cubicTo(15, 15, 17, 15, 17, 13);
    filament.cubicTo(17, 11, 18.5, 11, 18.5, 14);
    filament.lineTo(18.5, 20.5);
    p.drawPath(filament);
    p.setPen(outline(rgb(255, 255, 255, 200), 1.4));
    p.drawArc(QRectF(8.5, 4, 10, 10), 100 * 16, 70 * 16);
    p.setPen(outline(rgb(70, 74, 86), 1.0));
    p.setBrush(vertical(21, 28, rgb(210, 214, 224), rgb(120, 126, 140)));
    p.drawRoundedRect(QRectF(11, 21, 10, 6.5), 1.5, 1.5);
    p.drawLine(QPointF(11.5, 23.2), QPointF(20.5, 23.2));
    p.drawLine(QPointF(11.5, 25.4), QPointF(20.5, 25.4));
    p.setBrush(rgb(60, 62, 70));
    p.drawRoundedRect(QRectF(13.5, 27.5, 5, 2.5), 1, 1);
}

void patentExpireDate(QPainter &p)
{
    // An hourglass running out.
    QPainterPath glass;
    glass.moveTo(9, 5.5);
    glass.lineTo(23, 5.5);
    glass.cubicTo(23, 11, 17.5, 13.5, 17.5, 16);
    glass.cubicTo(17.5, 18.5, 23, 21, 23, 26.5);
    glass.lineTo(9, 26.5);
    glass.cubicTo(9, 21, 14.5, 18.5, 14.5, 16);
    glass.cubicTo(14.5, 13.5, 9, 11, 9, 5.5);
    glass.closeSubpath();
    shadow(p, glass);
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(226, 240, 252, 220));
    p.drawPath(glass);
    p.save();
    p.setClipPath(glass);
    p.setBrush(vertical(8, 26.5, rgb(255, 214, 110), rgb(214, 146, 30)));
    p.drawRect(QRectF(8, 10.5, 16, 3.5)); // what is left above
    QPainterPath heap;
    heap.moveTo(9, 26.5);
    heap.quadTo(16, 17.5, 23, 26.5);
    heap.closeSubpath();
    p.drawPath(heap);
    p.restore();
    p.setPen(outline(rgb(214, 146, 30), 1.0));
    p.drawLine(QPointF(16, 15.5), QPointF(16, 22));
    p.setPen(outline(rgb(70, 100, 130), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(glass);
    p.setPen(outline(rgb(90, 50, 16), 1.0));
    p.setBrush(vertical(2, 6, rgb(196, 132, 70), rgb(128, 74, 30)));
    p.drawRoundedRect(QRectF(5.5, 2, 21, 4), 1.5, 1.5);
    p.setBrush(vertical(26, 30, rgb(196, 132, 70), rgb(128, 74, 30)));
    p.drawRoundedRect(QRectF(5.5, 26, 21, 4), 1.5, 1.5);
}

void substanceFlag(QPainter &p)
{
    // A green flag with a ring molecule: the drug substance.
    flag(p, rgb(110, 210, 110), rgb(24, 130, 50), [](QPainter &q) {
        const QPointF centre(9.5, 6.2);
        q.setPen(outline(Qt::white, 1.6));
        q.setBrush(Qt::NoBrush);
        q.drawPath(star(centre, 6, M_PI / 6, 5.4, 5.4));
        q.setPen(outline(Qt::white, 1.2));
        q.drawEllipse(centre, 2.4, 2.4);
    });
}

void productFlag(QPainter &p)
{
    // A blue flag with a capsule: the drug product.
    flag(p, rgb(110, 160, 240), rgb(30, 70, 170), [](QPainter &q) {
        q.translate(9.5, 6.2);
        q.rotate(-30);
        const QPainterPath shell = capsule(6.5, 2.8);
        fillHalves(q, shell, rgb(255, 110, 96), Qt::white);
        q.setPen(outline(rgb(20, 40, 100), 0.9));
        q.setBrush(Qt::NoBrush);
        q.drawPath(shell);
    });
}

void patentUseCode(QPainter &p)
{
    // A clipboard holding the use code.
    drawRaised(p, rounded(QRectF(4.5, 4, 23, 26.5), 2.5), outline(rgb(96, 60, 24), 1.0),
               vertical(4, 30.5, rgb(206, 150, 86), rgb(146, 94, 40)));
    p.setPen(outline(rgb(150, 156, 170), 0.9));
    p.setBrush(vertical(7, 28, rgb(255, 255, 255), rgb(232, 234, 240)));
    p.drawRect(QRectF(7, 7.5, 18, 20.5));
    p.setPen(outline(rgb(70, 74, 86), 1.0));
    p.setBrush(vertical(1.5, 8.5, rgb(226, 230, 238), rgb(140, 146, 160)));
    p.drawRoundedRect(QRectF(11, 1.5, 10, 7), 2, 2);
    p.setBrush(rgb(90, 94, 106));
    p.drawEllipse(QRectF(14.5, 2.6, 3, 3));
    label(p, QRectF(7, 9.5, 18, 10), QStringLiteral("U-1"), rgb(20, 50, 140), font(QStringLiteral("DejaVu Sans"), 9));
    p.setPen(outline(rgb(150, 160, 185), 1.0));
    p.drawLine(QPointF(9.5, 21.5), QPointF(22.5, 21.5));
    p.drawLine(QPointF(9.5, 24.8), QPointF(18.5, 24.8));
}

// ---------------------------------------------------------------- exclusivity window

void exclusivityCode(QPainter &p)
{
    // A golden padlock, closed.
    QPainterPath shackle;
    shackle.moveTo(10, 15);
    shackle.lineTo(10, 10);
    shackle.arcTo(QRectF(10, 4, 12, 12), 180, -180);
    shackle.lineTo(22, 15);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rgb(70, 74, 86), 3.6, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(shackle);
    p.setPen(QPen(rgb(206, 210, 222), 1.4, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(shackle);
    drawRaised(p, rounded(QRectF(5.5, 14.5, 21, 14.5), 2.5), outline(rgb(140, 90, 0), 1.0),
               vertical(14.5, 29, rgb(255, 228, 120), rgb(206, 136, 16)));
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(96, 56, 0));
    p.drawEllipse(QPointF(16, 20), 2.1, 2.1);
    p.drawPolygon(QPolygonF({QPointF(15, 21), QPointF(17, 21), QPointF(17.8, 26), QPointF(14.2, 26)}));
}

void exclusivityApplicationType(QPainter &p)
{
    // A folder with the application's type letter on it.
    drawRaised(p, rounded(QRectF(3.5, 6.5, 12, 6), 1.5), outline(rgb(150, 100, 20), 1.0),
               vertical(6.5, 12.5, rgb(255, 220, 130), rgb(226, 170, 60)));
    drawRaised(p, rounded(QRectF(3.5, 9.5, 25, 19), 2), outline(rgb(150, 100, 20), 1.0),
               vertical(9.5, 28.5, rgb(255, 226, 140), rgb(222, 160, 50)));
    label(p, QRectF(3.5, 11, 25, 16), QStringLiteral("N/A"), rgb(110, 60, 0), font(QStringLiteral("DejaVu Sans"), 9));
}

} // namespace RecordWindowIcons
