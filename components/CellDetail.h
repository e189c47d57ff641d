#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QRect>
#include <QString>

class QPainter;

namespace Components {

// A cell's detail: a second line under the cell's own text that tells it apart (a
// product's marketing status and TE code), in a quieter colour than the text.

// The detail's colour: quieter than the grid's navy text, yet at least 5.5:1 from
// every row colour (plain, pointed at, selected).
inline const QColor CellDetailColor(80, 80, 140);

// The height `text` (wrapped at `width` when `wrap`) and `detail` under it take.
int textAndDetailHeight(const QFontMetrics &metrics, int width, bool wrap, const QString &text, const QString &detail);

// Draws `text` in the painter's pen and `detail` under it in CellDetailColor, the two
// as one block placed in `area` by `alignment`; each wraps when `wrap`, else is cut
// with an ellipsis.
void drawTextAndDetail(QPainter *painter, const QRect &area, Qt::Alignment alignment, bool wrap, const QString &text,
                       const QString &detail);

} // namespace Components
