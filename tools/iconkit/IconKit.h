#pragma once

// Painting helpers for the program's 32 by 32 icons. Everything is drawn from fixed
// numbers, so the generators write the same files on every run.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

#include <functional>
#include <initializer_list>

class QPainter;

namespace IconKit {

constexpr int Size = 32;

// Paints an icon on a transparent, antialiased Size by Size canvas and returns it with
// a straight alpha channel, ready to be saved as PNG.
QImage paint(const std::function<void(QPainter &)> &draw);

inline QColor rgb(int r, int g, int b, int a = 255)
{
    return QColor(r, g, b, a);
}

// A two-colour ramp from `from` to `to`.
QLinearGradient shade(const QPointF &from, const QPointF &to, const QColor &light, const QColor &dark);
// A two-colour ramp running down from row `top` to row `bottom`.
QLinearGradient vertical(qreal top, qreal bottom, const QColor &light, const QColor &dark);
// A two-colour glow from `centre` out to `radius`.
QRadialGradient radial(const QPointF &centre, qreal radius, const QColor &inner, const QColor &outer);

// A pen with round joins and caps, for outlines and strokes.
QPen outline(const QColor &color, qreal width = 1.0);
QFont font(const QString &family, qreal pixelSize, int weight = QFont::Bold);
// Text centred in `box`.
void label(QPainter &p, const QRectF &box, const QString &text, const QColor &color, const QFont &font);

// A soft shadow under a shape, offset down and to the right.
void shadow(QPainter &p, const QPainterPath &shape, const QPointF &offset = {1.0, 1.2});
// An icon's main shape: its shadow, then the shape filled and outlined.
void drawRaised(QPainter &p, const QPainterPath &shape, const QPen &pen, const QBrush &brush,
                const QPointF &shadowOffset = {1.0, 1.2});

// ---------------------------------------------------------------- shapes

QPainterPath rounded(const QRectF &rect, qreal radius);
// `rect` with its top corners rounded and its bottom corners square, such as the coloured
// band across the top of a card.
QPainterPath topRounded(const QRectF &rect, qreal radius);
QPainterPath ellipse(const QRectF &rect);
// A closed outline through `corners`.
QPainterPath polygon(std::initializer_list<QPointF> corners);
// A closed outline of `corners` points around `centre`, the first at `startAngle`
// (radians, clockwise from the right), alternately `outer` and `inner` from the centre:
// a star, or with equal radii a regular polygon.
QPainterPath star(const QPointF &centre, int corners, qreal startAngle, qreal outer, qreal inner);

// A conical laboratory flask: its mouth at `top` (12.5 to 19.5 across), the neck
// widening into the body at `neck`, the rounded base at `bottom`.
QPainterPath flask(qreal top, qreal neck, qreal bottom);
// The part of `shape` below row `level`, such as the liquid in a vessel.
QPainterPath below(const QPainterPath &shape, qreal level);
// A capsule lying along the x axis, centred on the origin.
QPainterPath capsule(qreal halfLength, qreal halfWidth);
// Fills `capsule` (centred on the origin) in two halves split at x = 0.
void fillHalves(QPainter &p, const QPainterPath &capsule, const QBrush &left, const QBrush &right);
// A sheet of paper with its top right corner folded down by `fold`, and that corner.
QPainterPath foldedPage(const QRectF &page, qreal fold);
QPainterPath pageCorner(const QRectF &page, qreal fold);

} // namespace IconKit
