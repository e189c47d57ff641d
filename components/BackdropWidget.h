#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
    QColor m_color{70, 70, 70};
};

// Paints a backdrop (colour, then the picture at the top-left) into `rect` of a painter.
void paintBackdrop(QPainter &painter, const QRect &rect, const QPixmap &picture, const QColor &color);

} // namespace Components
