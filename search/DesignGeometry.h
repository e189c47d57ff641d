#pragma once

#include <QRect>

// The windows are laid out in twips, as designed; 15 twips make one pixel.
constexpr int TwipsPerPixel = 15;

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}
