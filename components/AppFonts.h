#pragma once

#include <QFont>

namespace Components {

// The fonts the windows are drawn with. Tahoma comes with the program's font package
// as a file and is added to the application's fonts; Times New Roman and Verdana
// resolve to their metric-compatible stand-ins on Linux (Liberation Serif, DejaVu
// Sans) when they are not installed themselves.
namespace AppFonts {

// Adds Tahoma (regular and bold) to the application's fonts, once per process.
// Safe to call from anywhere, any number of times, after the application object exists.
void registerOnce();

// True when Tahoma could be added (the font files were found).
bool tahomaAvailable();

QFont tahoma(qreal pointSize, bool bold = false);
QFont timesNewRoman(qreal pointSize, bool bold = false);
// Verdana of a size in pixels, as the ribbon draws its captions.
QFont verdanaPixels(int pixelSize);

} // namespace AppFonts

} // namespace Components
