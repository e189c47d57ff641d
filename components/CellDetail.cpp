#include "components/CellDetail.h"

#include <QPainter>

namespace Components {

namespace {

int blockHeight(const QFontMetrics &metrics, int width, bool wrap, const QString &text)
{
    if (!wrap || width <= 0) {
        return metrics.height();
    }
    return metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height();
}

void drawBlock(QPainter *painter, const QRect &area, Qt::Alignment horizontal, bool wrap, const QString &text)
{
    if (wrap) {
        painter->drawText(area, int(horizontal | Qt::AlignTop) | Qt::TextWordWrap, text);
        return;
    }
    const QString line = painter->fontMetrics().elidedText(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                                           Qt::ElideRight, area.width());
    painter->drawText(area, int(horizontal | Qt::AlignTop) | Qt::TextSingleLine, line);
}

} // namespace

int textAndDetailHeight(const QFontMetrics &metrics, int width, bool wrap, const QString &text, const QString &detail)
{
    return blockHeight(metrics, width, wrap, text) + blockHeight(metrics, width, wrap, detail);
}

void drawTextAndDetail(QPainter *painter, const QRect &area, Qt::Alignment alignment, bool wrap, const QString &text,
                       const QString &detail)
{
    const QFontMetrics metrics = painter->fontMetrics();
    const int textHeight = blockHeight(metrics, area.width(), wrap, text);
    const int height = textHeight + blockHeight(metrics, area.width(), wrap, detail);
    int top = area.top();
    if (alignment & Qt::AlignVCenter) {
        top += (area.height() - height) / 2;
    } else if (alignment & Qt::AlignBottom) {
        top += area.height() - height;
    }
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    drawBlock(painter, QRect(area.left(), top, area.width(), textHeight), horizontal, wrap, text);
    painter->save();
    painter->setPen(CellDetailColor);
    drawBlock(painter, QRect(area.left(), top + textHeight, area.width(), area.bottom() + 1 - top - textHeight),
              horizontal, wrap, detail);
    painter->restore();
}

} // namespace Components
