#include "ribbon/RibbonTheme.h"

#include "common/AppError.h"
#include "ribbon/RibbonErrors.h"
#include "components/Pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// Links the theme pictures in from the static library.
// (Resource registration names a global function, so it stays outside the namespace.)
static void initThemeResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(themes);
        return true;
    }();
    Q_UNUSED(done);
}

namespace Ribbon {

namespace RibbonTheme {

QString themeName(int theme)
{
    switch (theme) {
    case 0:
        return QStringLiteral("BLACK");
    case 1:
        return QStringLiteral("BLUE");
    case 2:
        return QStringLiteral("SILVER");
    default:
        return QString();
    }
}

Colors colors(int theme)
{
    switch (theme) {
    case 1:
        return {{62, 106, 184}, {21, 66, 139}, {21, 66, 139}, {21, 66, 139}, {142, 176, 218}, {21, 66, 139}};
    case 2:
        return {{92, 98, 106}, {92, 98, 106}, {92, 98, 106}, {92, 98, 106}, {208, 212, 221}, {92, 98, 106}};
    default:
        // Button captions sit on the light body of the panels: they are black like the
        // selected tab's caption, whatever colours the desktop gives its own windows.
        return {{255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {70, 70, 70}, {255, 255, 255}};
    }
}

namespace {

// The template each applied picture goes to, in the order the pictures are loaded.
struct TemplatePicture
{
    int id;
    RibbonFamily family;
};

using F = RibbonFamily;
const TemplatePicture TemplatePictures[] = {
    {101, F::Barra2},           {102, F::BarraLeft},          {103, F::BarraRight},        {118, F::Cat_Dlg},
    {119, F::Cat_Dlg_on},       {120, F::Cat_Dlg_over},       {121, F::Cat_Left_off},      {122, F::Cat_Center_off},
    {123, F::Cat_Right_off},    {124, F::Cat_Left_on},        {125, F::Cat_Center_on},     {126, F::Cat_Right_on},
    {127, F::Tab_left},         {128, F::Tab_center},         {129, F::Tab_right},         {130, F::Tab_left_over},
    {131, F::Tab_center_over},  {132, F::Tab_right_over},     {133, F::Glip_off},          {134, F::Glip_on},
    {135, F::Button_left_over}, {136, F::Button_center_over}, {137, F::Button_right_over}, {138, F::Button_left},
    {139, F::Button_center},    {140, F::Button_right},
};

bool isBackgroundBar(RibbonFamily family)
{
    return family == RibbonFamily::Barra2 || family == RibbonFamily::BarraLeft || family == RibbonFamily::BarraRight;
}

} // namespace

void applyToScene(RibbonScene &scene, int theme, PictureLoader load)
{
    const Colors themeColors = colors(theme);
    const QString name = themeName(theme);
    scene.templateOf(RibbonFamily::Cat_Caption).color = themeColors.categoryCaption;
    scene.tabCaptionColor = themeColors.tabCaption;
    scene.tabCaptionSelectedColor = themeColors.tabCaptionSelected;
    scene.templateOf(RibbonFamily::Button_Caption).color = themeColors.buttonCaption;

    for (const auto &[id, family] : TemplatePictures) {
        const QPixmap picture = load(id, name);
        putPicture(scene.templateOf(family), family, picture);
        // The background bar is a single element, not a family: it changes at once.
        if (isBackgroundBar(family)) {
            putPicture(scene.at(family, 0), family, picture);
            scene.invalidateAll();
        }
    }
}

} // namespace RibbonTheme

QByteArray LoadResData(int id, const QString &type)
{
    if (type.isEmpty()) {
        return QByteArray();
    }
    initThemeResources();
    QFile resource(QStringLiteral(":/themes/%1/%2.gif").arg(type).arg(id));
    if (!resource.open(QIODevice::ReadOnly)) {
        throw Common::AppError(
            RibbonErrors::ResourceNotFound, RibbonErrors::executableName(),
            QStringLiteral("Resource with identifier '%1' of type '%2' not found").arg(id).arg(type));
    }
    return resource.readAll();
}

namespace {

Common::AppError invalidPicture(int id, const QString &type)
{
    return Common::AppError(RibbonErrors::InvalidPicture, RibbonErrors::executableName(),
                            QStringLiteral("Invalid picture: resource %1 of type '%2'").arg(id).arg(type));
}

[[noreturn]] void raiseSystemError(int code)
{
    throw Common::AppError(code | RibbonErrors::SystemErrorBase,
                           RibbonErrors::executableName() + QStringLiteral(".cAniCursor"), SystemErrorText(code));
}

// The longest path the temporary-file routines hand out, as their buffers allow.
constexpr int MaxPath = 260;

} // namespace

QString chooseTempFolder(const QStringList &candidates)
{
    QStringList tried;
    int lastError = ENOENT;
    for (const QString &folder : candidates) {
        if (folder.isEmpty() || tried.contains(folder)) {
            continue;
        }
        const QByteArray path = QFile::encodeName(folder);
        int problem = 0;
        if (folder.size() >= MaxPath) {
            problem = ENAMETOOLONG;
        } else if (!QFileInfo(folder).isDir()) {
            problem = QFileInfo::exists(folder) ? ENOTDIR : ENOENT;
        } else if (::access(path.constData(), W_OK | X_OK) != 0) {
            problem = errno;
        }
        if (problem == 0) {
            return folder;
        }
        lastError = problem;
        tried << QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(folder), SystemErrorText(problem));
    }
    throw Common::AppError(lastError | RibbonErrors::SystemErrorBase,
                           RibbonErrors::executableName() + QStringLiteral(".cAniCursor"),
                           QStringLiteral("The program loads its ribbon pictures through short-lived files in a "
                                          "temporary folder, and no temporary folder can be written: %1. Set TMPDIR "
                                          "to a writable folder and start the program again.")
                               .arg(tried.join(QStringLiteral(", "))));
}

QString GetTempDir()
{
    return chooseTempFolder(
        {QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"), QStringLiteral("/dev/shm")});
}

QString GetTempFile(const QString &prefix, const QString &directory)
{
    const QString folder = directory.isEmpty() ? GetTempDir() : directory;
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(prefix.left(3) + QStringLiteral("XXXXXX.tmp")));
    if (pattern.size() >= MaxPath) {
        raiseSystemError(ENAMETOOLONG);
    }
    const int fd = mkstemps(pattern.data(), 4);
    if (fd < 0) {
        raiseSystemError(errno);
    }
    ::close(fd);
    return QFile::decodeName(pattern);
}

QString SystemErrorText(int code)
{
    const char *text = strerrordesc_np(code);
    return text ? QString::fromLocal8Bit(text) : QString();
}

QPixmap LoadResPicture(int id, const QString &type)
{
    QString path;
    try {
        const QByteArray bytes = LoadResData(id, type);
        path = GetTempFile(QStringLiteral("LRP"), QString());
        {
            // The file is new and empty: it is not truncated, because a truncating
            // rewrite makes some file systems put the data on disk at once, and the
            // deletion right after then costs milliseconds instead of microseconds.
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) || file.write(bytes) != bytes.size()) {
                throw Common::AppError(RibbonErrors::PathFileAccess, RibbonErrors::executableName(),
                                       QStringLiteral("Path/File access error: %1").arg(file.errorString()));
            }
        }
        const QPixmap picture = Components::Pictures::fromFile(path);
        if (picture.isNull()) {
            throw invalidPicture(id, type);
        }
        QFile::remove(path);
        return picture;
    } catch (const Common::AppError &error) {
        if (!path.isEmpty()) {
            QFile::remove(path);
        }
        throw Common::AppError(error.number(), RibbonErrors::executableName() + QStringLiteral(".cLoadResPicture"),
                               error.description());
    }
}

QPixmap builtInPicture(int id, const QString &type)
{
    const QPixmap picture = Components::Pictures::fromData(LoadResData(id, type));
    if (picture.isNull()) {
        throw invalidPicture(id, type);
    }
    return picture;
}

} // namespace Ribbon
