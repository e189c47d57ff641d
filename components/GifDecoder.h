#pragma once

#include <QByteArray>
#include <QImage>

namespace Components {

// The program's own reader of GIF pictures (the theme pictures and backgrounds are
// GIFs), so that reading them loads none of Qt's image plugin libraries at start-up.
// It reads the first picture of a file (GIF87a or GIF89a): its colour tables, its
// transparent colour and interlaced rows. The result is the logical screen's size;
// what the picture does not cover is transparent.
namespace GifDecoder {

// Larger pictures are not read (a damaged size would ask for gigabytes).
constexpr int MaxSide = 8192;

// The picture as 32-bit pixels (premultiplied when it has a transparent colour, else
// opaque), or a null image when the bytes hold no readable picture. Compressed data
// that ends early or goes wrong leaves the rest of the picture transparent, as the
// other readers do.
QImage decode(const QByteArray &bytes);

} // namespace GifDecoder

} // namespace Components
