#pragma once

#include <QImage>
#include <QString>

// How far a picture drawn again may stray from the committed one. Un-premultiplying
// alpha rounds a .5 either way depending on the routine the CPU gets, so a channel
// may be a level off; in a GIF that can tip a pixel to the next palette colour.
struct PictureTolerance
{
    int channelLevels = 2; // every channel of every pixel
    int outlierLevels = 32; // a pixel that took another palette colour
    int outliersPerMille = 2; // how many such pixels, per thousand of the picture ...
    int minimumOutliers = 4; // ... but at least this many
};

// Why `actual` does not pass for `expected`: the size, the transparency mask (which
// pixels are fully clear), or the colours beyond the tolerance. Empty when it passes.
// Colour channels count as far as the pixel is opaque; clear pixels have no colour.
QString pictureDifference(const QImage &expected, const QImage &actual, const PictureTolerance &tolerance = {});
