#pragma once

#include <QImage>
#include <QString>

// Writes an image as a single-frame GIF89a file. Pixels with alpha below 128 become
// the transparent colour; the others are stored opaque. Up to 255 distinct colours
// (256 without transparency) are kept exactly; richer images are reduced to 256
// colours by median cut, with every colour listed in `exactColors` kept exact.
// Returns an empty string on success, else what went wrong.
QString writeGif(const QImage &image, const QString &path, const QList<QRgb> &exactColors = {});
