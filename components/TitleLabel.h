#pragma once

#include <QLabel>
#include <QStringList>

class QFontMetrics;

namespace Components {

// A record's title: its text wrapped by words into at most `maxLines` lines of
// `width` pixels, the last line cut with an ellipsis when the text needs more. A
// word wider than a line is cut the same way.
QStringList titleLines(const QString &text, const QFontMetrics &metrics, int width, int maxLines);

// A centred title that wraps within its area (at most two lines, then elided) and
// shows the whole text in its tooltip when it is cut. text() and the accessible name
// stay the whole text.
class TitleLabel : public QLabel
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 2;

    explicit TitleLabel(QWidget *parent = nullptr);

    // The lines as they are drawn at the present size.
    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace Components
