#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QVector>

namespace Components {

// An indexed store of equally sized pictures (32 by 32 unless told otherwise),
// addressed by number from 1, as the grids and the ribbon read them.
class VbalImageList
{
public:
    explicit VbalImageList(QSize imageSize = QSize(32, 32));

    QSize imageSize() const { return m_imageSize; }
    int count() const { return int(m_images.size()); }

    // Appends a picture (scaled to the image size when it differs) and returns its number.
    int add(const QPixmap &picture);
    // Appends the picture stored in a file or Qt resource; throws AppError when it cannot be read.
    int addFromFile(const QString &path);

    // True when `index` (from 1) names a picture.
    bool contains(int index) const { return index >= 1 && index <= count(); }
    // The picture with that number; throws AppError (IndexOutOfBounds, "Index out of bounds") otherwise.
    QPixmap picture(int index) const;
    QIcon icon(int index) const;
    // The 0-based position a grid cell takes for picture `index`, -1 when there is none.
    int itemIndex(int index) const { return contains(index) ? index - 1 : -1; }

private:
    QSize m_imageSize;
    QVector<QPixmap> m_images;
};

} // namespace Components
