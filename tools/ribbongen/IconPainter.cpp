#include "IconPainter.h"

#include "IconKit.h"

#include <QPainter>

using namespace IconKit;

namespace {

void gloss(QPainter &painter, const QRectF &rect, qreal radius)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade(rect.topLeft(), rect.bottomLeft(), QColor(255, 255, 255, 170), QColor(255, 255, 255, 0)));
    painter.drawRoundedRect(rect, radius, radius);
}

// A laboratory flask with green liquid and bubbles.
QImage ingredients()
{
    return paint([](QPainter &p) {
        const QPainterPath glass = flask(3.5, 12, 29.5);
        p.fillPath(glass, QColor(232, 242, 250, 220));
        p.fillPath(below(glass, 17), vertical(17, 30, QColor(120, 220, 110), QColor(30, 140, 60)));
        p.setPen(QPen(QColor(20, 100, 40, 200), 1));
        p.drawLine(QPointF(9.2, 17.5), QPointF(22.8, 17.5));

        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(13, 23), 1.6, 1.6);
        p.drawEllipse(QPointF(18, 26), 1.2, 1.2);
        p.drawEllipse(QPointF(20, 21), 1.0, 1.0);

        p.setPen(QPen(QColor(60, 80, 100), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(glass);
        p.setPen(QPen(QColor(60, 80, 100), 1.5));
        p.drawLine(QPointF(10.5, 3.5), QPointF(21.5, 3.5));
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.drawLine(QPointF(14.5, 6), QPointF(14.5, 12));
    });
}

// An amber medicine bottle with a white cap and a label.
QImage drugs()
{
    return paint([](QPainter &p) {
        // Cap.
        const QRectF cap(9.5, 2.5, 13, 6);
        p.setPen(QPen(QColor(120, 126, 138), 1));
        p.setBrush(shade(cap.topLeft(), cap.topRight(), QColor(255, 255, 255), QColor(200, 205, 214)));
        p.drawRoundedRect(cap, 1.5, 1.5);
        p.setPen(QPen(QColor(160, 166, 178), 0.8));
        for (int i = 0; i < 5; ++i) {
            p.drawLine(QPointF(11.5 + i * 2.3, 3.5), QPointF(11.5 + i * 2.3, 7.5));
        }
        // Bottle.
        p.setPen(QPen(QColor(110, 52, 10), 1));
        p.setBrush(shade({7.5, 0}, {24.5, 0}, QColor(236, 150, 60), QColor(150, 70, 10)));
        p.drawPath(rounded(QRectF(7.5, 8.5, 17, 21), 3));
        // Label with a red cross.
        const QRectF label(9.5, 14.5, 13, 10);
        p.setPen(QPen(QColor(190, 190, 196), 0.8));
        p.setBrush(QColor(252, 252, 250));
        p.drawRect(label);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 40));
        p.drawRect(QRectF(15, 16, 2, 7));
        p.drawRect(QRectF(12.5, 18.5, 7, 2));
        // Shine along the left side.
        p.setBrush(shade({8, 0}, {13, 0}, QColor(255, 255, 255, 150), QColor(255, 255, 255, 0)));
        p.drawRoundedRect(QRectF(8.5, 9.5, 4, 19), 2, 2);
    });
}

// A capsule lying diagonally, red and white halves, with a round tablet beside it.
QImage dosageForm()
{
    return paint([](QPainter &p) {
        p.save();
        p.translate(16, 15);
        p.rotate(-40);
        const QPainterPath shell = capsule(13, 5.5);
        fillHalves(p, shell, vertical(-5.5, 5.5, QColor(250, 110, 100), QColor(176, 28, 30)),
                   vertical(-5.5, 5.5, QColor(255, 255, 255), QColor(196, 200, 210)));
        p.setPen(QPen(QColor(90, 40, 44), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shell);
        p.setPen(QPen(QColor(120, 60, 60, 160), 1));
        p.drawLine(QPointF(0, -5.3), QPointF(0, 5.3));
        gloss(p, QRectF(-11, -4.5, 22, 4), 2);
        p.restore();

        const QRectF tablet(17.5, 18.5, 12, 12);
        p.setPen(QPen(QColor(40, 80, 140), 1));
        p.setBrush(shade(tablet.topLeft(), tablet.bottomRight(), QColor(170, 210, 250), QColor(60, 120, 200)));
        p.drawEllipse(tablet);
        p.setPen(QPen(QColor(30, 70, 130, 180), 1));
        p.drawLine(QPointF(19.5, 24.5), QPointF(27.5, 24.5));
    });
}

// A syringe pointing down to the left.
QImage route()
{
    return paint([](QPainter &p) {
        p.translate(16, 16);
        p.rotate(45);
        // Needle.
        p.setPen(QPen(QColor(90, 96, 108), 1.2));
        p.drawLine(QPointF(0, 8), QPointF(0, 15.5));
        // Barrel.
        const QRectF barrel(-4.5, -9.5, 9, 17);
        p.setPen(QPen(QColor(60, 90, 130), 1));
        p.setBrush(shade(barrel.topLeft(), barrel.topRight(), QColor(250, 252, 255), QColor(190, 210, 235)));
        p.drawRoundedRect(barrel, 1.5, 1.5);
        const QRectF dose(-3.5, -1, 7, 7.5);
        p.setPen(Qt::NoPen);
        p.setBrush(shade(dose.topLeft(), dose.topRight(), QColor(120, 190, 255), QColor(30, 110, 210)));
        p.drawRect(dose);
        p.setPen(QPen(QColor(60, 90, 130, 200), 0.8));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(-4.5, -7 + i * 3.5), QPointF(-2, -7 + i * 3.5));
        }
        // Plunger and its flange.
        p.setPen(QPen(QColor(70, 74, 84), 1));
        p.setBrush(QColor(150, 156, 168));
        p.drawRect(QRectF(-1.5, -15.5, 3, 6));
        p.drawRoundedRect(QRectF(-5.5, -16.5, 11, 2), 1, 1);
        p.drawRoundedRect(QRectF(-7.5, -10.5, 15, 1.8), 0.8, 0.8);
    });
}

// A page with lines of text and a red seal with ribbons.
QImage patents()
{
    return paint([](QPainter &p) {
        const QRectF page(5.5, 2.5, 21, 27);
        p.setPen(QPen(QColor(110, 116, 128), 1));
        p.setBrush(shade({5, 2}, {27, 30}, QColor(255, 255, 255), QColor(222, 226, 234)));
        p.drawPath(foldedPage(page, 6));
        p.setBrush(QColor(206, 212, 222));
        p.drawPath(pageCorner(page, 6));
        p.setPen(QPen(QColor(120, 140, 170), 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(9, 8.5 + i * 3.5), QPointF(i == 0 ? 17 : 23, 8.5 + i * 3.5));
        }
        // Ribbons under the seal.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(180, 30, 40));
        p.drawPolygon(
            QPolygonF({QPointF(17, 25), QPointF(14.5, 31.5), QPointF(17.5, 30), QPointF(19.5, 31.5), QPointF(20, 25)}));
        p.setBrush(QColor(150, 20, 30));
        p.drawPolygon(
            QPolygonF({QPointF(20, 25), QPointF(22, 31.5), QPointF(23.5, 29.5), QPointF(26, 31), QPointF(23, 25)}));
        // The seal.
        p.setPen(QPen(QColor(120, 16, 24), 1));
        p.setBrush(radial(QPointF(18.5, 21), 6, QColor(255, 120, 110), QColor(180, 24, 34)));
        p.drawEllipse(QPointF(20, 22.5), 5, 5);
        p.setPen(QPen(QColor(255, 220, 200, 200), 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(20, 22.5), 3, 3);
    });
}

// A golden padlock, closed: a right that keeps others out for a time.
QImage exclusivity()
{
    return paint([](QPainter &p) {
        // The shackle.
        p.setPen(QPen(QColor(70, 74, 84), 4.2, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath shackle;
        shackle.moveTo(9.5, 16);
        shackle.lineTo(9.5, 10.5);
        shackle.arcTo(QRectF(9.5, 3.5, 13, 13), 180, -180);
        shackle.lineTo(22.5, 16);
        p.drawPath(shackle);
        p.setPen(QPen(QColor(200, 206, 218), 1.6, Qt::SolidLine, Qt::FlatCap));
        p.drawPath(shackle);
        // The body.
        const QRectF body(4.5, 14.5, 23, 15);
        p.setPen(QPen(QColor(130, 80, 0), 1));
        p.setBrush(shade(body.topLeft(), body.bottomRight(), QColor(255, 226, 120), QColor(200, 130, 10)));
        p.drawRoundedRect(body, 2.5, 2.5);
        gloss(p, QRectF(6, 15.5, 20, 6), 2);
        // The keyhole.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 50, 0));
        p.drawEllipse(QPointF(16, 20.5), 2.2, 2.2);
        p.drawPath(polygon({{15, 21.5}, {17, 21.5}, {17.8, 26.5}, {14.2, 26.5}}));
    });
}

// A blue disc with a white letter i made of a dot and a bar.
QImage about()
{
    return paint([](QPainter &p) {
        const QRectF disc(2.5, 2.5, 27, 27);
        p.setPen(QPen(QColor(16, 56, 120), 1));
        p.setBrush(radial(QPointF(12, 9), 24, QColor(120, 180, 250), QColor(20, 80, 170)));
        p.drawEllipse(disc);
        gloss(p, QRectF(7, 4, 18, 11), 6);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 9.5), 2.3, 2.3);
        p.drawPath(polygon({{13, 13.5},
                            {18, 13.5},
                            {18, 23.5},
                            {20, 23.5},
                            {20, 26},
                            {12, 26},
                            {12, 23.5},
                            {14, 23.5},
                            {14, 16},
                            {13, 16}}));
    });
}

// An open door with a green arrow leaving through it.
QImage exitIcon()
{
    return paint([](QPainter &p) {
        const QRectF frame(4.5, 2.5, 16, 27);
        p.setPen(QPen(QColor(90, 64, 40), 1));
        p.setBrush(QColor(60, 48, 40));
        p.drawRect(frame);
        p.setBrush(shade({4, 0}, {15, 0}, QColor(226, 170, 110), QColor(160, 100, 50)));
        p.drawPath(polygon({{4.5, 2.5}, {14.5, 5.5}, {14.5, 31}, {4.5, 29.5}})); // the door, swung open
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 220, 120));
        p.drawEllipse(QPointF(12.2, 17.5), 1.1, 1.1);

        p.setPen(QPen(QColor(20, 100, 30), 1));
        p.setBrush(vertical(9, 24, QColor(130, 220, 110), QColor(40, 150, 50)));
        p.drawPath(polygon({{16, 13.5}, {22.5, 13.5}, {22.5, 9}, {30.5, 16.5}, {22.5, 24}, {22.5, 19.5}, {16, 19.5}}));
    });
}

// A calendar page with a small golden padlock on its corner: dates that keep others out.
QImage protection()
{
    return paint([](QPainter &p) {
        // The page and its red band of the month.
        const QRectF page(2.5, 4.5, 22, 22);
        p.setPen(QPen(QColor(110, 116, 128), 1));
        p.setBrush(shade(page.topLeft(), page.bottomRight(), QColor(255, 255, 255), QColor(218, 224, 234)));
        p.drawRoundedRect(page, 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(vertical(5, 10.5, QColor(240, 90, 80), QColor(176, 28, 30)));
        p.drawPath(topRounded(QRectF(3, 5, 21, 5.5), 1.6));
        // The rings that hold it.
        p.setPen(QPen(QColor(70, 74, 84), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 2.5), QPointF(8, 7));
        p.drawLine(QPointF(19, 2.5), QPointF(19, 7));
        // The days, one of them ringed.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 140, 170));
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 4; ++column) {
                p.drawRect(QRectF(5.5 + column * 4.5, 13 + row * 4, 2.5, 2));
            }
        }
        p.setPen(QPen(QColor(200, 30, 40), 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(11.2, 18), 2.8, 2.3);
        // The padlock: its shackle, then its body with the keyhole.
        p.setPen(QPen(QColor(70, 74, 84), 3.2, Qt::SolidLine, Qt::FlatCap));
        QPainterPath shackle;
        shackle.moveTo(19.5, 21);
        shackle.lineTo(19.5, 18.5);
        shackle.arcTo(QRectF(19.5, 14.5, 8, 8), 180, -180);
        shackle.lineTo(27.5, 21);
        p.drawPath(shackle);
        p.setPen(QPen(QColor(200, 206, 218), 1.2, Qt::SolidLine, Qt::FlatCap));
        p.drawPath(shackle);
        const QRectF body(16.5, 20.5, 14, 10);
        p.setPen(QPen(QColor(130, 80, 0), 1));
        p.setBrush(shade(body.topLeft(), body.bottomRight(), QColor(255, 226, 120), QColor(200, 130, 10)));
        p.drawRoundedRect(body, 2, 2);
        gloss(p, QRectF(17.5, 21.3, 12, 3.5), 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 50, 0));
        p.drawEllipse(QPointF(23.5, 24.3), 1.5, 1.5);
        p.drawPath(polygon({{22.8, 25}, {24.2, 25}, {24.8, 28.3}, {22.2, 28.3}}));
    });
}

// A database, three discs stacked, with a green arrow coming down into it.
QImage updateData()
{
    return paint([](QPainter &p) {
        const qreal left = 4.5;
        const qreal right = 27.5;
        const qreal rim = 3; // half the height of a disc's top
        const QColor edge(30, 60, 110);
        const QLinearGradient side = shade({left, 0}, {right, 0}, QColor(120, 170, 235), QColor(30, 80, 160));
        // The cylinder, drawn from the bottom disc up.
        for (int disc = 2; disc >= 0; --disc) {
            const qreal top = 14.5 + disc * 5;
            QPainterPath band;
            band.moveTo(left, top);
            band.arcTo(QRectF(left, top - rim, right - left, 2 * rim), 180, 180);
            band.lineTo(right, top + 5);
            band.arcTo(QRectF(left, top + 5 - rim, right - left, 2 * rim), 0, -180);
            band.closeSubpath();
            p.setPen(QPen(edge, 1));
            p.setBrush(side);
            p.drawPath(band);
        }
        const QRectF lid(left, 14.5 - rim, right - left, 2 * rim);
        p.setBrush(shade(lid.topLeft(), lid.bottomRight(), QColor(200, 225, 255), QColor(110, 160, 225)));
        p.drawEllipse(lid);
        // Shine down the left of the side.
        p.setPen(Qt::NoPen);
        p.setBrush(shade({6, 0}, {11, 0}, QColor(255, 255, 255, 120), QColor(255, 255, 255, 0)));
        p.drawRect(QRectF(6, 16, 4, 12));
        // The arrow, pointing into the lid.
        p.setPen(QPen(QColor(20, 100, 30), 1));
        p.setBrush(vertical(1, 16, QColor(130, 220, 110), QColor(40, 150, 50)));
        p.drawPath(polygon({{13, 1.5}, {19, 1.5}, {19, 8.5}, {23.5, 8.5}, {16, 16.5}, {8.5, 8.5}, {13, 8.5}}));
    });
}

// Two versions of a page, the newer in front bearing an orange delta.
QImage changes()
{
    return paint([](QPainter &p) {
        const QRectF older(3.5, 2.5, 17, 21);
        p.setPen(QPen(QColor(130, 136, 148), 1));
        p.setBrush(shade(older.topLeft(), older.bottomRight(), QColor(236, 238, 242), QColor(196, 202, 212)));
        p.drawPath(foldedPage(older, 5));
        p.setPen(QPen(QColor(150, 160, 180), 1));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(6.5, 8.5 + i * 3.5), QPointF(i == 0 ? 12.5 : 15.5, 8.5 + i * 3.5));
        }
        const QRectF newer(11.5, 8.5, 17, 21);
        shadow(p, foldedPage(newer, 5));
        p.setPen(QPen(QColor(110, 116, 128), 1));
        p.setBrush(shade(newer.topLeft(), newer.bottomRight(), QColor(255, 255, 255), QColor(222, 226, 234)));
        p.drawPath(foldedPage(newer, 5));
        p.setBrush(QColor(206, 212, 222));
        p.drawPath(pageCorner(newer, 5));
        // The delta.
        const QPainterPath delta = polygon({{20, 13.5}, {26.5, 26.5}, {13.5, 26.5}});
        p.setPen(outline(QColor(150, 60, 0), 1));
        p.setBrush(vertical(13.5, 26.5, QColor(255, 190, 80), QColor(220, 100, 10)));
        p.drawPath(delta);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 250, 240));
        p.drawPath(polygon({{20, 18.8}, {23, 24.5}, {17, 24.5}}));
    });
}

} // namespace

QVector<RibbonIcon> paintRibbonIcons()
{
    return {{QStringLiteral("drugs.png"), drugs()},           {QStringLiteral("ingredients.png"), ingredients()},
            {QStringLiteral("dosageform.png"), dosageForm()}, {QStringLiteral("route.png"), route()},
            {QStringLiteral("patents.png"), patents()},       {QStringLiteral("about.png"), about()},
            {QStringLiteral("exit.png"), exitIcon()},         {QStringLiteral("exclusivity.png"), exclusivity()},
            {QStringLiteral("protection.png"), protection()}, {QStringLiteral("update.png"), updateData()},
            {QStringLiteral("changes.png"), changes()}};
}
