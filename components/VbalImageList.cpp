#include "components/VbalImageList.h"

#include "common/AppError.h"
#include "common/ErrorNumbers.h"
#include "components/Pictures.h"

namespace Components {

VbalImageList::VbalImageList(QSize imageSize)
    : m_imageSize(imageSize)
{
}

int VbalImageList::add(const QPixmap &picture)
{
    QPixmap stored = picture;
    if (!stored.isNull() && stored.size() != m_imageSize) {
        stored = stored.scaled(m_imageSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    m_images.append(stored);
    return count();
}

int VbalImageList::addFromFile(const QString &path)
{
    const QPixmap picture = Pictures::fromFile(path);
    if (picture.isNull()) {
        throw Common::AppError(Common::ErrorNumber::InvalidPicture, QStringLiteral("vbalImageList.AddFromFile"),
                               QStringLiteral("The picture \"%1\" cannot be read.").arg(path));
    }
    return add(picture);
}

QPixmap VbalImageList::picture(int index) const
{
    if (!contains(index)) {
        throw Common::AppError(Common::ErrorNumber::IndexOutOfBounds, QStringLiteral("vbalImageList.ItemPicture"),
                               QStringLiteral("Index out of bounds: the image list holds %1 pictures, not number %2.")
                                   .arg(count())
                                   .arg(index));
    }
    return m_images.at(index - 1);
}

QIcon VbalImageList::icon(int index) const
{
    return QIcon(picture(index));
}

} // namespace Components
