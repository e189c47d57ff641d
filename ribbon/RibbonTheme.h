#pragma once

#include "ribbon/RibbonScene.h"

#include <QColor>
#include <QPixmap>
#include <QString>

namespace Ribbon {

// The raw bytes of a theme picture from the program's resources; empty for an
// empty type, AppError 326 when a named type lacks the picture.
QByteArray LoadResData(int id, const QString &type);

// A resource picture: its bytes are written to a temporary file (prefix "LRP", in
// the system's temporary folder), loaded from there and the file is deleted, also
// when loading fails. Failures raise AppError with their number kept and the source
// "<program>.cLoadResPicture".
QPixmap LoadResPicture(int id, const QString &type);
// A theme picture decoded in memory straight from the program's resources, with no
// temporary file; AppError 326 when the picture is missing, 481 when it does not decode.
QPixmap builtInPicture(int id, const QString &type);

// The system's temporary folder (TMPDIR), or when that is missing or not writable the
// first writable one of /tmp, /var/tmp and /dev/shm. Failures: AppError (system code
// OR 10000, "<program>.cAniCursor", a text naming each folder tried and why it failed).
QString GetTempDir();
// The first writable folder of `candidates`, as GetTempDir chooses.
QString chooseTempFolder(const QStringList &candidates);
// Creates a new, empty, uniquely named file "<prefix>XXXXXX.tmp" in `directory` (the
// temporary folder when empty) and returns its path. Failures as GetTempDir.
QString GetTempFile(const QString &prefix, const QString &directory);
// The system's message for an error code; empty when it has none.
QString SystemErrorText(int code);

// The three built-in themes: 0 "BLACK", 1 "BLUE", 2 "SILVER".
namespace RibbonTheme {

constexpr int BackgroundPictureId = 141;

// The theme's resource type name, or an empty string for a value outside 0 to 2.
QString themeName(int theme);

struct Colors
{
    QColor categoryCaption;
    QColor tabCaption;
    QColor tabCaptionSelected;
    QColor buttonCaption;
    QColor backColor;
    QColor foreColor;
};
// The colours of a theme (a value outside 0 to 2 gives those of theme 0).
Colors colors(int theme);

// Colours the caption templates and loads the theme's pictures into the templates
// and the background bar, each fetched with `load`. Throws the AppError of `load`;
// the pictures loaded before the failure stay.
using PictureLoader = QPixmap (*)(int id, const QString &type);
void applyToScene(RibbonScene &scene, int theme, PictureLoader load = LoadResPicture);

} // namespace RibbonTheme

} // namespace Ribbon
