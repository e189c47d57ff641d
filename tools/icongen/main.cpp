// Draws the 32 by 32 grid icons of the search windows into PNG files.
//
//   icongen <output folder>
//
// The pictures are drawn with QPainter from fixed shapes, so every run gives the same
// files; the results are kept in resources/icons/grid/ and compiled into the program.

#include "IconKit.h"
#include "RecordWindowIcons.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

using namespace IconKit;
using namespace RecordWindowIcons;

namespace {

// ---------------------------------------------------------------- the icons

void information(QPainter &p)
{
    drawRaised(p, ellipse(QRectF(2, 2, 27, 27)), outline(rgb(12, 52, 128), 1.2),
               radial(QPointF(12, 9), 22, rgb(120, 180, 255), rgb(18, 78, 178)));
    p.setPen(outline(rgb(255, 255, 255, 150), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3.6, 3.6, 23.8, 23.8));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(13.3, 6.5, 4.6, 4.6));
    p.drawPath(polygon({{12.2, 13.4},
                        {17.9, 13.4},
                        {17.9, 22.6},
                        {19.6, 22.6},
                        {19.6, 24.8},
                        {11.6, 24.8},
                        {11.6, 22.6},
                        {13.3, 22.6},
                        {13.3, 15.6},
                        {12.2, 15.6}}));
}

void tradeName(QPainter &p)
{
    // A price tag with a string and two lines of print.
    QPainterPath tag;
    tag.moveTo(2.5, 16);
    tag.lineTo(11, 6.5);
    tag.lineTo(28, 6.5);
    tag.quadTo(29.5, 6.5, 29.5, 8);
    tag.lineTo(29.5, 24);
    tag.quadTo(29.5, 25.5, 28, 25.5);
    tag.lineTo(11, 25.5);
    tag.closeSubpath();
    drawRaised(p, tag, outline(rgb(150, 92, 8), 1.1), vertical(6, 26, rgb(255, 222, 120), rgb(236, 160, 30)));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7.5, 13.5, 5, 5));
    p.setPen(outline(rgb(110, 70, 20), 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath string;
    string.moveTo(10, 16);
    string.cubicTo(6, 9, 2, 6, 1.5, 2);
    p.drawPath(string);
    p.setPen(outline(rgb(120, 60, 0), 2.0));
    p.drawLine(QPointF(16, 13), QPointF(26, 13));
    p.drawLine(QPointF(16, 19), QPointF(23, 19));
}

void type(QPainter &p)
{
    // A prescription pad with its "Rx".
    drawRaised(p, rounded(QRectF(5, 2.5, 22, 27), 2), outline(rgb(90, 100, 120), 1.0),
               vertical(2, 30, rgb(255, 255, 255), rgb(226, 232, 242)));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(2.5, 8, rgb(70, 120, 210), rgb(32, 76, 160)));
    p.drawRoundedRect(QRectF(5.5, 3, 21, 5), 1.5, 1.5);
    label(p, QRectF(5, 8, 22, 15), QStringLiteral("Rx"), rgb(170, 20, 30),
          font(QStringLiteral("Liberation Serif"), 15));
    p.setPen(outline(rgb(150, 160, 185), 1.0));
    p.drawLine(QPointF(9, 24.5), QPointF(23, 24.5));
    p.drawLine(QPointF(9, 27), QPointF(19, 27));
}

void approvalDate(QPainter &p)
{
    // A calendar leaf.
    drawRaised(p, rounded(QRectF(3, 5, 26, 24), 2.5), outline(rgb(110, 110, 120), 1.0),
               vertical(5, 29, rgb(255, 255, 255), rgb(232, 232, 238)));
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(5, 12, rgb(236, 74, 64), rgb(186, 28, 28)));
    p.drawPath(topRounded(QRectF(3.5, 5.5, 25, 7), 2));
    p.setPen(outline(rgb(80, 80, 90), 1.6));
    p.drawLine(QPointF(10, 3), QPointF(10, 8));
    p.drawLine(QPointF(22, 3), QPointF(22, 8));
    label(p, QRectF(3, 12.5, 26, 16), QStringLiteral("15"), rgb(40, 40, 60), font(QStringLiteral("DejaVu Sans"), 12));
}

void applicant(QPainter &p)
{
    // A firm: a works with saw-tooth roof and a chimney.
    drawRaised(
        p, polygon({{3, 28}, {3, 14}, {10, 9.5}, {10, 14}, {17, 9.5}, {17, 14}, {22, 11}, {22, 4}, {27, 4}, {27, 28}}),
        outline(rgb(46, 58, 84), 1.1), vertical(4, 28, rgb(150, 168, 200), rgb(88, 106, 146)));
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(255, 214, 90));
    for (int i = 0; i < 3; ++i) {
        p.drawRect(QRectF(5.5 + 6 * i, 17, 3.5, 3.5));
    }
    p.setBrush(rgb(60, 50, 40));
    p.drawRect(QRectF(12.5, 22.5, 5, 5.5));
    p.setPen(outline(rgb(40, 40, 50), 1.2));
    p.drawLine(QPointF(1.5, 28.5), QPointF(30.5, 28.5));
}

void ingredients(QPainter &p)
{
    // A flask with a green liquid.
    const QPainterPath glass = flask(3, 11, 29);
    shadow(p, glass);
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(232, 244, 250, 230));
    p.drawPath(glass);
    p.setBrush(vertical(18, 29, rgb(110, 220, 90), rgb(30, 140, 40)));
    p.drawPath(below(glass, 18));
    p.setBrush(rgb(255, 255, 255, 200));
    p.drawEllipse(QRectF(12, 21, 3, 3));
    p.drawEllipse(QRectF(18, 23.5, 2.2, 2.2));
    p.drawEllipse(QRectF(15.5, 19, 1.8, 1.8));
    p.setPen(outline(rgb(50, 80, 100), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(glass);
    p.drawLine(QPointF(11, 3), QPointF(21, 3));
}

void strength(QPainter &p)
{
    // A weight marked "mg".
    QPainterPath weight;
    weight.moveTo(9, 11);
    weight.lineTo(23, 11);
    weight.lineTo(28.5, 27);
    weight.quadTo(29, 29, 27, 29);
    weight.lineTo(5, 29);
    weight.quadTo(3, 29, 3.5, 27);
    weight.closeSubpath();
    shadow(p, weight);
    p.setPen(outline(rgb(40, 44, 52), 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(11, 3, 10, 10)); // the ring, behind the weight
    p.setBrush(vertical(11, 29, rgb(132, 140, 156), rgb(58, 64, 78)));
    p.drawPath(weight);
    label(p, QRectF(3, 15, 26, 12), QStringLiteral("mg"), Qt::white, font(QStringLiteral("DejaVu Sans"), 10));
}

void teCode(QPainter &p)
{
    // A balance with level pans: therapeutic equivalence.
    const QColor brass = rgb(176, 124, 20);
    p.setPen(outline(rgb(120, 82, 10), 1.0));
    p.setBrush(vertical(25, 30, rgb(236, 190, 80), brass));
    p.drawRoundedRect(QRectF(9, 26, 14, 3.5), 1.2, 1.2);
    p.setBrush(vertical(4, 27, rgb(236, 190, 80), brass));
    p.drawRect(QRectF(15, 6, 2, 20.5));
    p.drawEllipse(QRectF(13.5, 2.5, 5, 5));
    p.setPen(outline(rgb(120, 82, 10), 1.8));
    p.drawLine(QPointF(4, 8.5), QPointF(28, 8.5));
    p.setPen(outline(rgb(90, 70, 30), 0.9));
    p.drawLine(QPointF(4, 8.5), QPointF(1.5, 18));
    p.drawLine(QPointF(4, 8.5), QPointF(8.5, 18));
    p.drawLine(QPointF(28, 8.5), QPointF(23.5, 18));
    p.drawLine(QPointF(28, 8.5), QPointF(30.5, 18));
    for (const qreal x : {0.5, 22.5}) {
        QPainterPath pan;
        pan.moveTo(x, 18);
        pan.lineTo(x + 9, 18);
        pan.quadTo(x + 8, 22.5, x + 4.5, 22.5);
        pan.quadTo(x + 1, 22.5, x, 18);
        pan.closeSubpath();
        p.setPen(outline(rgb(120, 82, 10), 1.0));
        p.setBrush(vertical(18, 23, rgb(246, 206, 100), brass));
        p.drawPath(pan);
    }
}

void dosageForm(QPainter &p)
{
    // A two-coloured capsule and a round tablet.
    p.save();
    p.translate(14, 14);
    p.rotate(-40);
    const QPainterPath shell = capsule(12, 5);
    shadow(p, shell, {1.3, 0.4});
    fillHalves(p, shell, vertical(-5, 5, rgb(250, 96, 86), rgb(176, 26, 30)),
               vertical(-5, 5, rgb(255, 255, 255), rgb(210, 214, 224)));
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(255, 255, 255, 120));
    p.drawRoundedRect(QRectF(-10, -3.6, 20, 2.4), 1.2, 1.2);
    p.setPen(outline(rgb(90, 30, 30), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shell);
    p.drawLine(QPointF(0, -5), QPointF(0, 5));
    p.restore();

    drawRaised(p, ellipse(QRectF(18, 18, 12, 12)), outline(rgb(40, 80, 150), 1.0),
               vertical(18, 30, rgb(200, 224, 255), rgb(110, 160, 230)), {0.8, 0.8});
    p.drawLine(QPointF(20.5, 24), QPointF(27.5, 24));
}

void route(QPainter &p)
{
    // A syringe: the way a product is given.
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    p.scale(1.2, 1.25);
    drawRaised(p, rounded(QRectF(-9, -4.5, 17, 9), 1.5), outline(rgb(60, 70, 90), 1.0),
               vertical(-4.5, 4.5, rgb(236, 246, 255), rgb(186, 210, 236)), {1.2, 0.3});
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(-3.5, 3.5, rgb(120, 190, 255), rgb(40, 110, 210)));
    p.drawRect(QRectF(-1, -3.5, 8.5, 7));
    p.setPen(outline(rgb(60, 70, 90), 1.0));
    for (qreal x = -6; x <= 4; x += 2.5) {
        p.drawLine(QPointF(x, -4.5), QPointF(x, -2));
    }
    p.setBrush(rgb(90, 100, 120));
    p.drawRect(QRectF(8, -1.8, 2.5, 3.6));
    p.setPen(outline(rgb(120, 126, 140), 1.1));
    p.drawLine(QPointF(10.5, 0), QPointF(16, 0));
    p.setPen(outline(rgb(60, 70, 90), 1.0));
    p.setBrush(rgb(110, 120, 140));
    p.drawRect(QRectF(-14, -1.2, 5, 2.4));
    p.drawRoundedRect(QRectF(-15.5, -5, 2, 10), 0.8, 0.8);
    p.drawRect(QRectF(-10, -6, 1.6, 12));
    p.restore();
}

void rld(QPainter &p)
{
    // A rosette with a star: the reference product.
    p.setPen(outline(rgb(20, 50, 120), 1.0));
    p.setBrush(rgb(40, 90, 190));
    p.drawPath(polygon({{10, 17}, {6, 30}, {10, 27.5}, {13, 30.5}, {15, 19}}));
    p.drawPath(polygon({{22, 17}, {26, 30}, {22, 27.5}, {19, 30.5}, {17, 19}}));
    drawRaised(p, ellipse(QRectF(4, 1.5, 24, 24)), outline(rgb(140, 94, 10), 1.1),
               radial(QPointF(12, 8), 20, rgb(255, 236, 150), rgb(206, 146, 20)));
    p.setPen(outline(rgb(150, 90, 0), 0.8));
    p.setBrush(rgb(255, 252, 230));
    p.drawPath(star(QPointF(16, 13.5), 10, -M_PI / 2, 8.5, 3.6));
}

void productNumber(QPainter &p)
{
    // A numbered badge.
    drawRaised(p, rounded(QRectF(3, 3, 26, 26), 5), outline(rgb(10, 90, 90), 1.1),
               vertical(3, 29, rgb(70, 200, 190), rgb(10, 126, 120)));
    p.setPen(outline(rgb(255, 255, 255, 120), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4.5, 4.5, 23, 23), 4, 4);
    p.setPen(outline(Qt::white, 2.4));
    p.drawLine(QPointF(13, 8.5), QPointF(11, 23.5));
    p.drawLine(QPointF(20.5, 8.5), QPointF(18.5, 23.5));
    p.drawLine(QPointF(8, 13.5), QPointF(24.5, 13.5));
    p.drawLine(QPointF(7.5, 19), QPointF(24, 19));
}

void ndaNumber(QPainter &p)
{
    // An application: a paper with print and a red seal.
    const QRectF paper(5, 2.5, 21, 27);
    drawRaised(p, foldedPage(paper, 6), outline(rgb(100, 106, 120), 1.0),
               vertical(2, 30, rgb(255, 255, 255), rgb(228, 232, 240)));
    p.setBrush(rgb(206, 212, 224));
    p.drawPath(pageCorner(paper, 6));
    p.setPen(outline(rgb(90, 110, 150), 1.3));
    p.drawLine(QPointF(8.5, 9), QPointF(17, 9));
    p.drawLine(QPointF(8.5, 13), QPointF(22.5, 13));
    p.drawLine(QPointF(8.5, 17), QPointF(22.5, 17));
    p.drawLine(QPointF(8.5, 21), QPointF(14, 21));

    p.setPen(outline(rgb(120, 10, 20), 1.0));
    p.setBrush(rgb(200, 30, 40));
    p.drawPath(polygon({{20, 25}, {18, 31}, {21, 29.5}, {23, 31.5}, {24, 26}}));
    p.setBrush(radial(QPointF(21.5, 20.5), 7, rgb(255, 110, 100), rgb(176, 16, 28)));
    p.drawEllipse(QRectF(16.5, 17.5, 11, 11));
    p.setPen(outline(rgb(255, 210, 200), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(18.7, 19.7, 6.6, 6.6));
}

struct Icon
{
    const char *file;
    std::function<void(QPainter &)> draw;
};

bool write(const QString &folder, const Icon &icon)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(icon.file));
    QDir().mkpath(QFileInfo(path).absolutePath());
    return IconKit::paint(icon.draw).save(path, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: icongen <output folder>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Icon icons[] = {
        {"information.png", information},
        {"drugs/trade-name.png", tradeName},
        {"drugs/type.png", type},
        {"drugs/approval-date.png", approvalDate},
        {"drugs/applicant.png", applicant},
        {"drugs/ingredients.png", ingredients},
        {"drugs/strength.png", strength},
        {"drugs/te-code.png", teCode},
        {"drugs/dosage-form.png", dosageForm},
        {"drugs/route.png", route},
        {"drugs/rld.png", rld},
        {"drugs/product-number.png", productNumber},
        {"drugs/nda-number.png", ndaNumber},
        {"vocabulary/name.png", vocabularyName},
        {"vocabulary/definition.png", vocabularyDefinition},
        {"vocabulary/use-restrictions.png", vocabularyUseRestrictions},
        {"vocabulary/short-name.png", vocabularyShortName},
        {"vocabulary/fda-code.png", vocabularyFdaCode},
        {"vocabulary/nci-concept-id.png", vocabularyNciConcept},
        {"patent/patent-number.png", patentNumber},
        {"patent/expire-date.png", patentExpireDate},
        {"patent/substance-flag.png", substanceFlag},
        {"patent/product-flag.png", productFlag},
        {"patent/use-code.png", patentUseCode},
        {"exclusivity/code.png", exclusivityCode},
        {"exclusivity/application-type.png", exclusivityApplicationType},
    };
    int failures = 0;
    for (const Icon &icon : icons) {
        if (!write(folder, icon)) {
            err << "cannot write " << icon.file << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
