#include "components/Pictures.h"

#include "components/GifDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace Components {

namespace Pictures {

QPixmap fromDevice(QIODevice *device)
{
    const QByteArray format = formatOf(device->peek(8));
    if (format == "gif") {
        return QPixmap::fromImage(GifDecoder::decode(device->readAll()));
    }
    QImageReader reader(device, format);
    // A known format is read as that format; an unknown one is left to the reader.
    reader.setAutoDetectImageFormat(format.isEmpty());
    return QPixmap::fromImage(reader.read());
}

QByteArray formatOf(const QByteArray &head)
{
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) {
        return QByteArrayLiteral("gif");
    }
    if (head.startsWith("\x89PNG\r\n\x1a\n")) {
        return QByteArrayLiteral("png");
    }
    if (head.startsWith("BM")) {
        return QByteArrayLiteral("bmp");
    }
    if (head.startsWith("\xff\xd8\xff")) {
        return QByteArrayLiteral("jpeg");
    }
    return {};
}

QPixmap fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return fromDevice(&file);
}

QPixmap fromData(const QByteArray &bytes)
{
    QByteArray copy = bytes; // QBuffer wants a non-const array; this shares the bytes
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return fromDevice(&buffer);
}

} // namespace Pictures

} // namespace Components
