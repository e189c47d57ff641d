#include "components/TitleLabel.h"

#include <QFontMetrics>
#include <QPainter>

namespace Components {

QStringList titleLines(const QString &text, const QFontMetrics &metrics, int width, int maxLines)
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList lines;
    QString line;
    qsizetype next = 0;
    while (next < words.size()) {
        const QString candidate = line.isEmpty() ? words.at(next) : line + QLatin1Char(' ') + words.at(next);
        if (line.isEmpty() || metrics.horizontalAdvance(candidate) <= width) {
            line = candidate;
            ++next;
        } else if (lines.size() + 1 < maxLines) {
            lines << line;
            line.clear();
        } else {
            break; // the last line is full and words are left
        }
    }
    if (next < words.size()) {
        line += QLatin1Char(' ') + words.mid(next).join(QLatin1Char(' '));
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    // A line that is still too wide (the words left over, or one long word) ends in "...".
    for (QString &shown : lines) {
        shown = metrics.elidedText(shown, Qt::ElideRight, width);
    }
    return lines;
}

TitleLabel::TitleLabel(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

QStringList TitleLabel::shownLines() const
{
    return titleLines(text(), fontMetrics(), contentsRect().width(), MaxLines);
}

void TitleLabel::paintEvent(QPaintEvent *)
{
    const QStringList lines = shownLines();
    const QString whole = lines.join(QLatin1Char(' '));
    const QString tip = whole == text().simplified() ? QString() : text();
    if (toolTip() != tip) {
        setToolTip(tip);
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());
    const QFontMetrics metrics = fontMetrics();
    const QRect area = contentsRect();
    const int height = int(lines.size()) * metrics.lineSpacing();
    int top = area.top() + (area.height() - height) / 2;
    for (const QString &line : lines) {
        painter.drawText(QRect(area.left(), top, area.width(), metrics.lineSpacing()), Qt::AlignCenter, line);
        top += metrics.lineSpacing();
    }
}

} // namespace Components
