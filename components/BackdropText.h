#pragma once

#include <QColor>

class QImage;
class QRect;
class QWidget;

// Text that stands on a window's backdrop (a theme's picture over its colour) takes
// the colour that reads on it, judged as the Web Content Accessibility Guidelines do.
namespace Components::BackdropText {

// The contrast the guidelines ask of normal text against its background.
constexpr double MinimumContrast = 4.5;

// WCAG 2 relative luminance (0 black .. 1 white) of an sRGB colour.
double relativeLuminance(const QColor &color);
// WCAG 2 contrast ratio of two colours, 1 (none) .. 21 (black on white), either order.
double contrastRatio(const QColor &first, const QColor &second);
// The lowest contrast of `text` against `background`, judged square by square of
// `cell` pixels (a glyph's size: a hairline of light in a dark backdrop does not
// hide a letter over it; 1 judges every pixel alone); 21 for no pixel.
double lowestContrast(const QColor &text, const QImage &background, int cell = 1);

// Where a label or a check box draws its text, in its own coordinates: the lines a
// label's text takes in it (all of a word-wrapped one), the caption beside a check box.
QRect textArea(const QWidget *widget);

// The text colours a backdrop's text is drawn in: the design's light grey on a dark
// backdrop, near black on a light one.
QColor lightText();
QColor darkText();
// The first of lightText(), darkText(), white and black whose lowest contrast against
// `background` reaches MinimumContrast; where none does, the one of the highest.
QColor readableOn(const QImage &background, int cell = 1);

} // namespace Components::BackdropText
