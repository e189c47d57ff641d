// Draws the program's own icon, the one the desktop shows in its menu and task bar, into
// a hicolor icon tree: PNG at each size a desktop asks for, and a scalable SVG.
//
//   appicon <output folder>
//
// writes <output folder>/hicolor/<N>x<N>/apps/torvanelquist.png and
// <output folder>/hicolor/scalable/apps/torvanelquist.svg. The icon repeats the About
// window's emblem, a two-tone capsule under a magnifying glass, on a 32 by 32 design
// grid. Every size is drawn from the same shapes, and each line stays at least one pixel
// wide so the small sizes keep their outlines. The results are kept in packaging/icons/;
// run this again when the icon changes.

#include "IconKit.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextStream>

#include <algorithm>

using namespace IconKit;

namespace {

constexpr int PngSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const QString IconName = QStringLiteral("torvanelquist");

// Paints the icon on a painter whose scale maps the 32 by 32 design grid to `pixels`
// device pixels across.
void drawIcon(QPainter &p, int pixels)
{
    const qreal pixel = qreal(Size) / pixels; // one device pixel, in grid units
    const auto line = [pixel](const QColor &color, qreal width) { return outline(color, std::max(width, pixel)); };

    // A warm disc behind the emblem, as the About window's logo has.
    drawRaised(p, ellipse(QRectF(1.5, 1.5, 28.5, 28.5)), line(rgb(214, 160, 104), 0.8),
               radial(QPointF(12, 10), 24, rgb(255, 252, 246), rgb(252, 214, 170)), {0.6, 0.8});

    // The capsule: navy and orange halves with a gloss band along its top.
    p.save();
    p.translate(13, 13.5);
    p.rotate(-35);
    const QPainterPath shell = capsule(11.5, 5);
    shadow(p, shell, {0.9, 0.9});
    QPainterPath rightSide;
    rightSide.addRect(QRectF(0, -6, 12, 12));
    QLinearGradient navy(0, -5, 0, 5);
    navy.setColorAt(0, rgb(84, 104, 184));
    navy.setColorAt(0.5, rgb(22, 44, 128));
    navy.setColorAt(1, rgb(10, 20, 80));
    QLinearGradient orange(0, -5, 0, 5);
    orange.setColorAt(0, rgb(255, 218, 156));
    orange.setColorAt(0.5, rgb(245, 150, 50));
    orange.setColorAt(1, rgb(196, 98, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(navy);
    p.drawPath(shell.subtracted(rightSide));
    p.setBrush(orange);
    p.drawPath(shell.intersected(rightSide));
    if (pixels >= 32) {
        p.setBrush(rgb(255, 255, 255, 100));
        p.drawRoundedRect(QRectF(-9.5, -3.8, 19, 2), 1, 1);
    }
    p.setPen(line(rgb(30, 30, 60), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shell);
    p.restore();

    // The magnifying glass over the capsule's orange end.
    const QPointF lens(20.5, 19.5);
    const qreal radius = 6.2;
    p.setPen(line(rgb(60, 60, 70), 3.0));
    p.drawLine(QPointF(25, 24), QPointF(28.8, 27.8));
    QRadialGradient glass(lens - QPointF(1.5, 1.5), radius + 1.5);
    glass.setColorAt(0, rgb(255, 255, 255, 70));
    glass.setColorAt(1, rgb(176, 208, 240, 150));
    p.setPen(line(rgb(60, 60, 70), 1.8));
    p.setBrush(glass);
    p.drawEllipse(lens, radius, radius);
    if (pixels >= 48) {
        p.setPen(line(rgb(255, 255, 255, 190), 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(lens.x() - 4.2, lens.y() - 4.2, 8.4, 8.4), 100 * 16, 70 * 16);
    }
}

bool writePng(const QString &folder, int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(qreal(pixels) / Size, qreal(pixels) / Size);
        drawIcon(p, pixels);
    }
    const QDir dir(QDir(folder).filePath(QStringLiteral("hicolor/%1x%1/apps").arg(pixels)));
    const QString file = dir.filePath(IconName + QStringLiteral(".png"));
    return dir.mkpath(QStringLiteral(".")) && image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG");
}

// The SVG writer ends some lines with blanks; the project's text files have none.
bool dropTrailingBlanks(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray tidy;
    for (const QByteArray &line : file.readAll().split('\n')) {
        QByteArray kept = line;
        while (kept.endsWith(' ') || kept.endsWith('\t')) {
            kept.chop(1);
        }
        tidy += kept + '\n';
    }
    file.close();
    while (tidy.endsWith("\n\n")) {
        tidy.chop(1);
    }
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(tidy) == tidy.size();
}

bool writeSvg(const QString &folder)
{
    const QString dir = QDir(folder).filePath(QStringLiteral("hicolor/scalable/apps"));
    if (!QDir().mkpath(dir)) {
        return false;
    }
    // The design grid is the view box; the nominal size is the largest PNG's.
    constexpr int Pixels = 256;
    QSvgGenerator svg;
    svg.setFileName(QDir(dir).filePath(IconName + QStringLiteral(".svg")));
    svg.setTitle(QStringLiteral("Torvanelquist"));
    svg.setDescription(QStringLiteral("A capsule under a magnifying glass"));
    svg.setResolution(96);
    svg.setSize(QSize(Pixels, Pixels));
    svg.setViewBox(QRect(0, 0, Size, Size));
    QPainter p;
    if (!p.begin(&svg)) {
        return false;
    }
    p.setRenderHint(QPainter::Antialiasing);
    drawIcon(p, Pixels);
    return p.end() && dropTrailingBlanks(svg.fileName());
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: appicon <output folder>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    int failures = 0;
    for (const int pixels : PngSizes) {
        if (!writePng(folder, pixels)) {
            err << "cannot write the " << pixels << " pixel icon\n";
            ++failures;
        }
    }
    if (!writeSvg(folder)) {
        err << "cannot write the scalable icon\n";
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
