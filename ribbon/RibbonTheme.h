#pragma once

#include "common/FileDescriptor.h"
#include "ribbon/RibbonScene.h"

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ribbon {

// The raw bytes of a theme picture from the program's resources; empty for an
// empty type, AppError 326 when a named type lacks the picture.
QByteArray LoadResData(int id, const QString &type);

// A resource picture: its bytes are written to a short-lived file (TempFile, prefix
// "LRP"), loaded from there and the file is deleted, also when loading fails. Failures
// raise AppError with their number kept and the source "<program>.cLoadResPicture".
QPixmap LoadResPicture(int id, const QString &type);
// A theme picture decoded in memory straight from the program's resources, with no
// temporary file; AppError 326 when the picture is missing, 481 when it does not decode.
QPixmap builtInPicture(int id, const QString &type);

// The folders a short-lived file may go to, in the order they are tried: TMPDIR as it
// is set (also when it names no folder, so that a message can name it), then /tmp,
// /var/tmp and /dev/shm.
QStringList temporaryFolders();

// The first of `candidates` that is a folder this process may write and for which `use`
// succeeds (returns 0, else the system error code it met; without `use`, the first such
// folder). A folder that fails either way is passed over. Failures: AppError (the last
// system code OR 10000, "<program>.cAniCursor", a text naming each folder tried and why
// it failed).
using TempFolderUse = std::function<int(const QString &folder)>;
QString chooseTempFolder(const QStringList &candidates, const TempFolderUse &use = {});

class PrivateFolder;

// A short-lived file "<prefix>XXXXXX.tmp" (the prefix cut to three characters) that
// holds `bytes`, in a private folder (mode 0700, "torvanelquist-XXXXXX") under the first
// of `folders` that takes it. Its bytes are written and read through the descriptor that
// created it and never through its path, and the folder is made and held open so that
// nobody else who can write the temporary folder can put another file, or a link, in its
// place. The file is deleted when the object goes; the folder, which the files made in
// one go share, when the program is next idle (or ends). Failures as chooseTempFolder.
class TempFile
{
public:
    TempFile(const QString &prefix, const QByteArray &bytes, const QStringList &folders = temporaryFolders());
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    // The open file, readable from its start; it stays owned by this object.
    int handle() const { return m_file.get(); }
    QString path() const;

private:
    // Makes the file under `parent` and writes `bytes`: 0, or the system error code met,
    // with nothing left behind.
    int make(const QString &parent, const QString &prefix, const QByteArray &bytes);
    int write(const QByteArray &bytes);
    void remove();

    std::shared_ptr<PrivateFolder> m_folder;
    QByteArray m_name; // the file's name in the folder
    Common::FileDescriptor m_file;
};

// Removes the private folders made so far (each once its files are gone), as the program
// does when it is next idle after a file went, and at its end; later files get new ones.
void removeTemporaryFolders();

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
