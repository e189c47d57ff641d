#include "ThemePainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

namespace {

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

QColor rampAt(const Ramp &ramp, double row)
{
    if (row <= ramp.first().row) {
        return ramp.first().color;
    }
    for (int i = 1; i < ramp.size(); ++i) {
        if (row <= ramp[i].row) {
            const ColorStop &a = ramp[i - 1];
            const ColorStop &b = ramp[i];
            return mix(a.color, b.color, (row - a.row) / (b.row - a.row));
        }
    }
    return ramp.last().color;
}

QVector<ThemeStyle> themeStyles()
{
    ThemeStyle black;
    black.name = QStringLiteral("BLACK");
    black.band = {{0, {62, 66, 76}},      {24, {50, 53, 61}},     {49, {35, 37, 43}},
                  {50, {206, 210, 217}},  {52, {192, 197, 205}},  {71, {185, 191, 200}},
                  {128, {160, 165, 173}}, {137, {141, 144, 150}}, {141, {118, 118, 118}}};
    black.tabBorder = {160, 165, 174};
    black.tabFill = {{0, {248, 249, 250}}, {10, {233, 236, 240}}, {23, {207, 211, 218}}};
    black.tabOverBorder = {128, 133, 143};
    black.tabOverFill = {{0, {104, 108, 118}}, {23, {66, 70, 79}}};
    black.tabOverHighlight = 60;
    black.panelBorder = {146, 151, 159};
    black.panelFill = {{2, {240, 242, 245}},  {30, {225, 228, 233}}, {69, {209, 213, 219}}, {70, {209, 213, 219}},
                       {71, {134, 139, 147}}, {86, {110, 114, 122}}, {88, {110, 114, 122}}};
    black.panelOnBorder = {168, 173, 181};
    black.panelOnFill = {{2, {251, 252, 253}},  {30, {239, 241, 244}}, {69, {225, 228, 233}}, {70, {225, 228, 233}},
                         {71, {152, 158, 167}}, {86, {124, 129, 137}}, {88, {124, 129, 137}}};
    black.stripLine = {172, 177, 185};
    black.launcherGlyph = {226, 229, 234};
    black.launcherOnGlyph = {255, 255, 255};
    black.launcherShadow = {80, 84, 92};
    black.moreOff = {86, 86, 86};
    black.moreOn = {0, 0, 0};
    black.backdrop = {70, 70, 70};
    black.backdropBands = {168, 170, 175};
    black.backdropIsPixel = false;

    ThemeStyle blue;
    blue.name = QStringLiteral("BLUE");
    blue.band = {{0, {218, 233, 253}},  {49, {199, 219, 245}},  {50, {229, 239, 252}},  {52, {214, 228, 246}},
                 {71, {200, 217, 237}}, {128, {190, 209, 234}}, {137, {184, 204, 232}}, {141, {176, 200, 231}}};
    blue.tabBorder = {141, 178, 227};
    blue.tabFill = {{0, {255, 255, 255}}, {12, {242, 248, 255}}, {23, {230, 240, 252}}};
    blue.tabOverBorder = {168, 197, 235};
    blue.tabOverFill = {{0, {250, 252, 255}}, {23, {219, 234, 252}}};
    blue.tabOverHighlight = 150;
    blue.panelBorder = {154, 187, 227};
    blue.panelFill = {{2, {240, 246, 254}},  {30, {224, 236, 251}}, {69, {209, 226, 247}}, {70, {209, 226, 247}},
                      {71, {207, 226, 249}}, {86, {192, 214, 243}}, {88, {192, 214, 243}}};
    blue.panelOnBorder = {124, 165, 220};
    blue.panelOnFill = {{2, {249, 252, 255}},  {30, {236, 244, 254}}, {69, {222, 235, 252}}, {70, {222, 235, 252}},
                        {71, {219, 234, 252}}, {86, {203, 224, 250}}, {88, {203, 224, 250}}};
    blue.stripLine = {178, 204, 237};
    blue.launcherGlyph = {74, 116, 188};
    blue.launcherOnGlyph = {21, 66, 139};
    blue.launcherShadow = {245, 250, 255};
    blue.moreOff = {21, 66, 139};
    blue.moreOn = {8, 36, 92};
    blue.backdrop = {142, 176, 218};
    blue.backdropBands = {226, 237, 251};
    blue.backdropIsPixel = false;

    ThemeStyle silver;
    silver.name = QStringLiteral("SILVER");
    silver.band = {{0, {218, 220, 223}},  {49, {206, 210, 217}},  {50, {236, 238, 242}},  {52, {224, 227, 234}},
                   {71, {215, 220, 231}}, {128, {212, 217, 227}}, {137, {211, 216, 224}}, {141, {211, 216, 223}}};
    silver.tabBorder = {176, 181, 190};
    silver.tabFill = {{0, {255, 255, 255}}, {12, {246, 247, 249}}, {23, {237, 239, 243}}};
    silver.tabOverBorder = {190, 194, 201};
    silver.tabOverFill = {{0, {253, 253, 254}}, {23, {226, 229, 234}}};
    silver.tabOverHighlight = 160;
    silver.panelBorder = {178, 183, 191};
    silver.panelFill = {{2, {248, 249, 250}},  {30, {237, 239, 242}}, {69, {225, 228, 233}}, {70, {225, 228, 233}},
                        {71, {216, 220, 226}}, {86, {203, 208, 215}}, {88, {203, 208, 215}}};
    silver.panelOnBorder = {158, 164, 174};
    silver.panelOnFill = {{2, {254, 254, 254}},  {30, {245, 246, 248}}, {69, {234, 236, 240}}, {70, {234, 236, 240}},
                          {71, {226, 229, 234}}, {86, {213, 217, 223}}, {88, {213, 217, 223}}};
    silver.stripLine = {194, 199, 206};
    silver.launcherGlyph = {112, 118, 126};
    silver.launcherOnGlyph = {72, 78, 86};
    silver.launcherShadow = {248, 249, 250};
    silver.moreOff = {92, 98, 106};
    silver.moreOn = {44, 48, 54};
    silver.backdrop = {208, 212, 221};
    silver.backdropBands = {238, 240, 245};
    silver.backdropIsPixel = true;
    silver.backdropPixel = {182, 188, 206};

    return {black, blue, silver};
}

QList<QRgb> exactColorsOf(const ThemeStyle &style)
{
    return {style.backdrop.rgb()};
}

namespace {

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// Lays an anti-aliased drawing over the colour it will sit on (known row by row),
// so that its soft edges look right in a picture with one transparent colour.
// Nearly clear pixels stay transparent.
QImage settleOver(const QImage &layer, const std::function<QColor(int)> &under)
{
    QImage out = transparentImage(layer.width(), layer.height());
    for (int y = 0; y < layer.height(); ++y) {
        const QColor below = under(y);
        for (int x = 0; x < layer.width(); ++x) {
            const QColor top = QColor::fromRgba(layer.pixel(x, y));
            if (top.alpha() < 12) {
                continue;
            }
            const QColor settled = mix(below, QColor(top.red(), top.green(), top.blue()), top.alphaF());
            out.setPixelColor(x, y, settled);
        }
    }
    return out;
}

// settleOver for a drawing that sits on the background band from band row `firstRow` down.
QImage settleOnBand(const QImage &layer, const ThemeStyle &style, int firstRow)
{
    return settleOver(layer, [&](int y) { return rampAt(style.band, firstRow + y); });
}

QLinearGradient verticalGradient(const Ramp &ramp, double height)
{
    QLinearGradient gradient(0, 0, 0, height);
    for (const ColorStop &stop : ramp) {
        gradient.setColorAt(qBound(0.0, (stop.row + 0.5) / height, 1.0), stop.color);
    }
    return gradient;
}

// Cuts a picture drawn as one piece into left edge, middle and right edge.
QVector<QImage> cutThree(const QImage &whole, int left, int right)
{
    const int middle = whole.width() - left - right;
    return {whole.copy(0, 0, left, whole.height()), whole.copy(left, 0, middle, whole.height()),
            whole.copy(left + middle, 0, right, whole.height())};
}

// ---- background band -------------------------------------------------------------

QImage bandPiece(const ThemeStyle &style, int width, int rimColumn)
{
    QImage image(width, 142, QImage::Format_ARGB32);
    for (int y = 0; y < 142; ++y) {
        const QColor color = rampAt(style.band, y);
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, color);
        }
        if (rimColumn >= 0) {
            // A soft light rim where the band begins at the window's left edge.
            const QColor rim = y < 50 ? color.lighter(118) : mix(color, Qt::white, 0.35);
            image.setPixelColor(rimColumn, y, rim);
        }
    }
    return image;
}

// ---- tabs --------------------------------------------------------------------------

QImage tabFrame(int middleWidth, const QColor &border, const Ramp &fill, int highlightAlpha)
{
    const int width = 10 + middleWidth + 10;
    QImage layer = transparentImage(width, 24);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    // The frame runs past the bottom edge, so the tab stays open towards the body.
    QPainterPath frame;
    frame.addRoundedRect(QRectF(2.5, 0.5, width - 5, 30), 3, 3);
    painter.fillPath(frame, verticalGradient(fill, 24));
    QPainterPath highlight;
    highlight.addRoundedRect(QRectF(3.5, 1.5, width - 7, 30), 2, 2);
    painter.setPen(QPen(QColor(255, 255, 255, highlightAlpha), 1));
    painter.drawPath(highlight);
    painter.setPen(QPen(border, 1));
    painter.drawPath(frame);
    return layer;
}

QVector<QImage> tabPieces(const ThemeStyle &style, int middleWidth, const QColor &border, const Ramp &fill,
                          int highlightAlpha)
{
    const QImage layer = tabFrame(middleWidth, border, fill, highlightAlpha);
    // The tab strip shows rows 26 to 49 of the band.
    return cutThree(settleOnBand(layer, style, 26), 10, 10);
}

// ---- category panels ---------------------------------------------------------------

QImage panelLayer(int middleWidth, const QColor &border, const Ramp &fill, const QColor &stripLine)
{
    const int width = 4 + middleWidth + 5;
    QImage layer = transparentImage(width, 89);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline(0.5, 2.5, width - 3, 85);
    QPainterPath frame;
    frame.addRoundedRect(outline, 2.5, 2.5);

    // A faint shadow to the right and below.
    QPainterPath shadow;
    shadow.addRoundedRect(outline.translated(1, 1), 2.5, 2.5);
    painter.setPen(QPen(QColor(0, 0, 0, 38), 1));
    painter.drawPath(shadow);

    painter.fillPath(frame, verticalGradient(fill, 89));
    painter.save();
    painter.setClipPath(frame);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(1, 70, width - 4, 1), stripLine);
    painter.restore();

    QPainterPath highlight;
    highlight.addRoundedRect(outline.adjusted(1, 1, -1, -1), 1.5, 1.5);
    painter.setPen(QPen(QColor(255, 255, 255, 110), 1));
    painter.drawPath(highlight);
    painter.setPen(QPen(border, 1));
    painter.drawPath(frame);
    return layer;
}

QVector<QImage> panelPieces(const ThemeStyle &style, int middleWidth, const QColor &border, const Ramp &fill)
{
    const QImage layer = panelLayer(middleWidth, border, fill, style.stripLine);
    // Category panels sit on rows 50 to 138 of the band.
    return cutThree(settleOnBand(layer, style, 50), 4, 5);
}

// ---- button frames (pixel drawn, so the corners stay crisp on any panel) -----------

QImage pixelFrame(int width, int height, const QColor &border, const Ramp &fill, const QColor &light,
                  double lightTopLeft, double lightBottomRight)
{
    QImage image = transparentImage(width, height);
    const int right = width - 1;
    const int bottom = height - 1;
    for (int y = 0; y < height; ++y) {
        const QColor body = rampAt(fill, y);
        for (int x = 0; x < width; ++x) {
            const bool cornerX = x == 0 || x == right;
            const bool cornerY = y == 0 || y == bottom;
            const bool nearX = x <= 1 || x >= right - 1;
            const bool nearY = y <= 1 || y >= bottom - 1;
            QColor color = body;
            if ((cornerX && nearY) || (cornerY && nearX)) {
                continue; // rounded corner: transparent
            }
            if (nearX && nearY) {
                color = mix(body, border, 0.7); // the diagonal pixel of the corner
            } else if (cornerX || cornerY) {
                color = border;
            } else if (x == 1 || y == 1) {
                color = mix(body, light, lightTopLeft);
            } else if (x == right - 1 || y == bottom - 1) {
                color = mix(body, light, lightBottomRight);
            }
            image.setPixelColor(x, y, color);
        }
    }
    return image;
}

const Ramp &hoverButtonFill()
{
    static const Ramp ramp = {{0, {255, 253, 238}},
                              {27, {255, 246, 206}},
                              {28, {255, 236, 170}},
                              {50, {255, 240, 182}},
                              {65, {255, 249, 220}}};
    return ramp;
}

const Ramp &pressedButtonFill()
{
    static const Ramp ramp = {
        {0, {253, 224, 182}}, {27, {251, 197, 128}}, {28, {248, 162, 70}}, {50, {250, 180, 88}}, {65, {253, 208, 132}}};
    return ramp;
}

// ---- glyphs ------------------------------------------------------------------------

QImage moreGlyph(const QColor &color, const QColor &soft)
{
    // A small arrow pointing down: a soft cap, then rows of 5, 3 and 1 pixels.
    QImage image = transparentImage(5, 4);
    for (int x = 0; x < 5; ++x) {
        image.setPixelColor(x, 0, soft);
        image.setPixelColor(x, 1, color);
    }
    for (int x = 1; x < 4; ++x) {
        image.setPixelColor(x, 2, color);
    }
    image.setPixelColor(2, 3, color);
    return image;
}

// The dialog launcher: a box corner at the top left and an arrow into the bottom right.
QVector<QPoint> launcherPixels()
{
    QVector<QPoint> points;
    for (int i = 3; i <= 7; ++i) {
        points << QPoint(i, 3);
        if (i > 3) {
            points << QPoint(3, i);
        }
    }
    for (int i = 5; i <= 9; ++i) {
        points << QPoint(i, i);
    }
    for (int i = 6; i <= 10; ++i) {
        points << QPoint(i, 10);
        if (i < 10) {
            points << QPoint(10, i);
        }
    }
    return points;
}

void drawLauncherGlyph(QImage &image, const QColor &glyph, const QColor &shadow)
{
    const QVector<QPoint> points = launcherPixels();
    for (const QPoint &p : points) {
        const QPoint s = p + QPoint(1, 1);
        if (!points.contains(s)) {
            image.setPixelColor(s, shadow);
        }
    }
    for (const QPoint &p : points) {
        image.setPixelColor(p, glyph);
    }
}

QImage launcher(const QColor &glyph, const QColor &shadow)
{
    QImage image = transparentImage(15, 14);
    drawLauncherGlyph(image, glyph, shadow);
    return image;
}

QImage launcherHovered()
{
    const Ramp warm = {{0, {255, 236, 178}}, {5, {255, 222, 132}}, {6, {255, 217, 117}}, {13, {255, 217, 117}}};
    QImage image = pixelFrame(15, 14, QColor(205, 160, 70), warm, Qt::white, 0.45, 0.2);
    drawLauncherGlyph(image, QColor(100, 70, 16), QColor(255, 242, 204));
    return image;
}

// ---- pictures the ribbon keeps but never shows -------------------------------------

QImage smallButton(const Ramp &fill, const QColor &border)
{
    return pixelFrame(40, 23, border, fill, Qt::white, 0.5, 0.25);
}

QImage applicationButton(const ThemeStyle &style, const QColor &glow)
{
    QImage layer = transparentImage(49, 45);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(4.5, 2.5, 40, 40);
    QRadialGradient body(disc.center() + QPointF(0, 8), 26);
    body.setColorAt(0, glow);
    body.setColorAt(1, mix(style.tabBorder, Qt::black, 0.35));
    painter.setBrush(body);
    painter.setPen(QPen(mix(style.tabBorder, Qt::black, 0.5), 1));
    painter.drawEllipse(disc);
    QLinearGradient gloss(0, 3, 0, 22);
    gloss.setColorAt(0, QColor(255, 255, 255, 190));
    gloss.setColorAt(1, QColor(255, 255, 255, 30));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawEllipse(QRectF(9.5, 4.5, 30, 19));
    // Four small squares in the middle, like a window.
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRoundedRect(QRectF(18, 16, 6, 6), 1, 1);
    painter.drawRoundedRect(QRectF(25, 16, 6, 6), 1, 1);
    painter.drawRoundedRect(QRectF(18, 23, 6, 6), 1, 1);
    painter.drawRoundedRect(QRectF(25, 23, 6, 6), 1, 1);
    painter.end();
    return settleOnBand(layer, style, 0);
}

QImage quickAccessPiece(const ThemeStyle &style, int width, int kind)
{
    QImage layer = transparentImage(width, 26);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = mix(rampAt(style.band, 10), Qt::white, 0.18);
    const QColor border = mix(rampAt(style.band, 10), Qt::black, 0.25);
    QPainterPath bar;
    switch (kind) {
    case 0: // left end
        bar.addRoundedRect(QRectF(4.5, 3.5, width + 10, 19), 9.5, 9.5);
        break;
    case 4: // right end
        bar.addRoundedRect(QRectF(-10, 3.5, width + 4.5, 19), 9.5, 9.5);
        break;
    default:
        bar.addRect(QRectF(-1, 3.5, width + 2, 19));
        break;
    }
    painter.fillPath(bar, fill);
    painter.setPen(QPen(border, 1));
    painter.drawPath(bar);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (kind == 2) { // separator
        painter.setPen(border);
        painter.drawLine(7, 7, 7, 18);
        painter.setPen(mix(fill, Qt::white, 0.6));
        painter.drawLine(8, 7, 8, 18);
    } else if (kind == 3) { // customise arrow
        painter.setPen(Qt::NoPen);
        painter.setBrush(style.tabOverBorder.darker(180));
        painter.drawRect(QRect(4, 9, 7, 1));
        painter.drawPolygon(QPolygon({QPoint(4, 12), QPoint(11, 12), QPoint(7, 16)}));
    }
    painter.end();
    return settleOnBand(layer, style, 0);
}

// ---- background picture of the host windows ---------------------------------------

QImage backdrop(const ThemeStyle &style)
{
    if (style.backdropIsPixel) {
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.setPixelColor(0, 0, style.backdropPixel);
        return pixel;
    }
    const int width = 499;
    const int height = 157;
    QImage bands = transparentImage(width, height);
    {
        QPainter painter(&bands);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        // Rings around a centre beyond the bottom right corner sweep across the top left;
        // each rises softly to its brightest in the middle and fades out again.
        const QPointF centre(560, 300);
        const double reach = 720;
        const struct
        {
            double inner, outer;
            int alpha;
        } rings[] = {{440, 505, 80}, {508, 530, 120}, {536, 606, 60}, {608, 624, 130}, {632, 712, 45}};
        QRadialGradient sheen(centre, reach);
        QColor clear = style.backdropBands;
        clear.setAlpha(0);
        sheen.setColorAt(0, clear);
        for (const auto &ring : rings) {
            QColor peak = style.backdropBands;
            peak.setAlpha(ring.alpha);
            sheen.setColorAt(ring.inner / reach, clear);
            sheen.setColorAt((ring.inner + ring.outer) / 2 / reach, peak);
            sheen.setColorAt(ring.outer / reach, clear);
        }
        sheen.setColorAt(1, clear);
        painter.fillRect(QRect(0, 0, width, height), sheen);
        // A soft glow in the corner.
        QRadialGradient glow(QPointF(0, 0), 220);
        QColor bright = style.backdropBands;
        bright.setAlpha(70);
        glow.setColorAt(0, bright);
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillRect(QRect(0, 0, width, height), glow);
    }
    // The bands fade out well before the right and bottom edges, which are the flat
    // base colour, so the picture melts into the window colour around it.
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x / 470.0, y / 148.0);
            const double fade = d >= 1.0 ? 0.0 : (d <= 0.3 ? 1.0 : 1.0 - std::pow((d - 0.3) / 0.7, 1.6));
            const QColor band = QColor::fromRgba(bands.pixel(x, y));
            const double alpha = band.alphaF() * fade;
            image.setPixelColor(x, y, alpha <= 0.0 ? style.backdrop : mix(style.backdrop, QColor(band.rgb()), alpha));
        }
    }
    return image;
}

} // namespace

QMap<int, QImage> paintTheme(const ThemeStyle &style)
{
    QMap<int, QImage> pictures;

    pictures[101] = bandPiece(style, 11, -1);
    pictures[102] = bandPiece(style, 7, 0);
    pictures[103] = bandPiece(style, 7, -1);

    const Ramp hover = hoverButtonFill();
    const Ramp pressed = pressedButtonFill();
    const Ramp checked = {{0, {255, 231, 196}}, {11, {255, 214, 150}}, {12, {252, 190, 110}}, {22, {254, 214, 150}}};
    const Ramp plain = {{0, mix(rampAt(style.band, 5), Qt::white, 0.25)}, {22, rampAt(style.band, 20)}};
    const Ramp disabled = {{0, {236, 236, 236}}, {22, {214, 214, 214}}};
    pictures[104] = smallButton(plain, style.tabOverBorder);
    pictures[105] = smallButton(hover, QColor(226, 208, 148));
    pictures[106] = smallButton(pressed, QColor(186, 128, 56));
    pictures[107] = smallButton(checked, QColor(194, 140, 70));
    pictures[108] = smallButton({{0, {255, 250, 232}}, {22, {255, 240, 200}}}, QColor(226, 208, 148));
    pictures[109] = smallButton(disabled, QColor(190, 190, 190));

    pictures[110] = applicationButton(style, mix(style.tabBorder, Qt::white, 0.35));
    pictures[111] = applicationButton(style, QColor(255, 216, 120));
    pictures[112] = applicationButton(style, QColor(250, 160, 70));

    const int quickWidths[] = {18, 13, 15, 15, 22};
    for (int i = 0; i < 5; ++i) {
        pictures[113 + i] = quickAccessPiece(style, quickWidths[i], i);
    }

    pictures[118] = launcher(style.launcherGlyph, style.launcherShadow);
    pictures[119] = launcher(style.launcherOnGlyph, style.launcherShadow);
    pictures[120] = launcherHovered();

    // Left edge, middle and right edge under consecutive ids.
    const auto putThree = [&](int firstId, const QVector<QImage> &pieces) {
        for (int i = 0; i < 3; ++i) {
            pictures[firstId + i] = pieces[i];
        }
    };
    putThree(121, panelPieces(style, 5, style.panelBorder, style.panelFill));
    putThree(124, panelPieces(style, 4, style.panelOnBorder, style.panelOnFill));
    putThree(127, tabPieces(style, 18, style.tabBorder, style.tabFill, 150));
    putThree(130, tabPieces(style, 37, style.tabOverBorder, style.tabOverFill, style.tabOverHighlight));

    pictures[133] = moreGlyph(style.moreOff, mix(style.moreOff, Qt::white, 0.45));
    pictures[134] = moreGlyph(style.moreOn, mix(style.moreOn, Qt::white, 0.4));

    putThree(135, cutThree(pixelFrame(55, 66, QColor(186, 128, 56), pressed, QColor(255, 240, 214), 0.55, 0.3), 3, 3));
    putThree(138, cutThree(pixelFrame(55, 66, QColor(226, 208, 148), hover, Qt::white, 0.75, 0.45), 3, 3));

    pictures[141] = backdrop(style);
    return pictures;
}
