#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

class QIODevice;

namespace Components {

// Pictures read from files, Qt resources and bytes. A picture whose first bytes tell
// its format (GIF, PNG, BMP, JPEG) is read by that format's decoder alone: left to
// guess, Qt's reader loads every image plugin it has (SVG, ICO, JPEG, ...) to ask each
// whether it knows the data, which costs the start-up several libraries. GIFs are read
// by the program's own decoder (GifDecoder.h), PNG and BMP by Qt's built-in ones, so
// the pictures the program starts with load no plugin at all.
namespace Pictures {

// "gif", "png", "bmp" or "jpeg" by the picture's first bytes; empty for anything else.
QByteArray formatOf(const QByteArray &head);

// The picture, or a null picture when it cannot be read.
QPixmap fromFile(const QString &path);
QPixmap fromData(const QByteArray &bytes);
// From an open device, read from where it stands to its end.
QPixmap fromDevice(QIODevice *device);

} // namespace Pictures

} // namespace Components
