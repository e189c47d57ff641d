#pragma once

#include <QColor>
#include <QMdiArea>
#include <QPixmap>

namespace App {

// The main window's client area: child windows on the theme's backdrop (colour
// everywhere, background picture in the top-left corner). The colour is the area's
// own background brush.
class MdiBackdropArea : public QMdiArea
{
    Q_OBJECT

public:
    explicit MdiBackdropArea(QWidget *parent = nullptr);

    void setBackdrop(const QPixmap &picture, const QColor &color);
    QPixmap backgroundPicture() const { return m_picture; }
    QColor backgroundColor() const { return background().color(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace App
