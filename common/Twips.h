#pragma once

#include <QRect>

#include <cmath>

// Window and ribbon geometry is kept in twips, as the forms were laid out; painting
// works in pixels. 15 twips make one pixel.
namespace Twips {

constexpr int PerPixel = 15;

// Whole pixels of a twips length, cut toward zero (the windows' control rectangles).
constexpr int toPixels(int twips)
{
    return twips / PerPixel;
}

// Pixels of a twips length that need not be whole (the ribbon's measured elements).
constexpr float toPixels(float twips)
{
    return twips / float(PerPixel);
}

constexpr double fromPixels(double pixels)
{
    return pixels * PerPixel;
}

// A control rectangle given in twips, in pixels.
constexpr QRect toPixelRect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
