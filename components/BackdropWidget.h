#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <vector>

class QPainter;

namespace Components {

// A window surface dressed like the ribbon's theme: the background colour everywhere
// and the theme's background picture at its natural size in the top-left corner.
// The main window's client area and every child window use it.
class BackdropWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BackdropWidget(QWidget *parent = nullptr);

    void setBackgroundPicture(const QPixmap &picture);
    QPixmap backgroundPicture() const { return m_picture; }
    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return m_color; }

    // `text` (a label, a check box: a descendant drawn over the backdrop) takes the
    // text colour that reads on the backdrop beneath it, again whenever the backdrop
    // changes or the widget moves over it.
    void keepReadable(QWidget *text);
    // The backdrop as painted beneath `rect` (in this widget's coordinates).
    QImage backdropUnder(const QRect &rect) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitTextColours();
    void fitTextColour(QWidget *text);

    QPixmap m_picture;
    QColor m_color{70, 70, 70};
    std::vector<QPointer<QWidget>> m_texts;
    // Where each text was last judged and at what square size: the same place over the
    // same backdrop needs no second look (a count label is resized on every search).
    QHash<const QWidget *, std::pair<QRect, int>> m_judged;
};

// Paints a backdrop (colour, then the picture at the top-left) into `rect` of a painter.
void paintBackdrop(QPainter &painter, const QRect &rect, const QPixmap &picture, const QColor &color);

} // namespace Components
