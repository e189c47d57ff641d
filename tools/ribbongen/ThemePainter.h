#pragma once

#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>
#include <QVector>

// One colour of a vertical ramp: `row` is a pixel row, colours between stops are
// interpolated linearly.
struct ColorStop
{
    double row;
    QColor color;
};
using Ramp = QVector<ColorStop>;

QColor rampAt(const Ramp &ramp, double row);

// Everything that tells one ribbon theme from another.
struct ThemeStyle
{
    QString name;

    Ramp band; // 142 rows: tab strip on top, ribbon body below

    QColor tabBorder;
    Ramp tabFill; // 24 rows
    QColor tabOverBorder;
    Ramp tabOverFill;
    int tabOverHighlight; // alpha of the inner highlight of a hovered tab

    QColor panelBorder;
    Ramp panelFill; // 89 rows: body, then the caption strip
    QColor panelOnBorder;
    Ramp panelOnFill;
    QColor stripLine; // the line between body and caption strip

    QColor launcherGlyph;
    QColor launcherOnGlyph;
    QColor launcherShadow;

    QColor moreOff;
    QColor moreOn;

    QColor backdrop; // flat base colour of the host background picture
    QColor backdropBands; // colour of its curved bands
    bool backdropIsPixel; // a 1 by 1 picture instead of the banded one
    QColor backdropPixel;
};

QVector<ThemeStyle> themeStyles();

// The 41 pictures of a theme, by resource id (101 to 141).
QMap<int, QImage> paintTheme(const ThemeStyle &style);

// Colours that must survive colour reduction exactly (the backdrop's base colour).
QList<QRgb> exactColorsOf(const ThemeStyle &style);
