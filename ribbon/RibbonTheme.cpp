#include "ribbon/RibbonTheme.h"

#include "common/AppError.h"
#include "ribbon/RibbonErrors.h"
#include "components/Pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
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

// The longest path the temporary-file routines hand out, as their buffers allow.
constexpr int MaxPath = 260;

} // namespace

QStringList temporaryFolders()
{
    // TMPDIR as it is set: Qt's own temporary path drops a TMPDIR that names no folder
    // and gives no hint that it was set.
    QStringList folders;
    if (const QString set = qEnvironmentVariable("TMPDIR"); !set.isEmpty()) {
        folders << set;
    }
    return folders << QStringLiteral("/tmp") << QStringLiteral("/var/tmp") << QStringLiteral("/dev/shm");
}

QString chooseTempFolder(const QStringList &candidates, const TempFolderUse &use)
{
    QStringList tried;
    QStringList triedNames;
    int lastError = ENOENT;
    for (const QString &folder : candidates) {
        if (folder.isEmpty() || triedNames.contains(QDir::cleanPath(folder))) {
            continue;
        }
        triedNames << QDir::cleanPath(folder);
        const QByteArray path = QFile::encodeName(folder);
        int problem = 0;
        if (folder.size() >= MaxPath) {
            problem = ENAMETOOLONG;
        } else if (!QFileInfo(folder).isDir()) {
            problem = QFileInfo::exists(folder) ? ENOTDIR : ENOENT;
        } else if (::access(path.constData(), W_OK | X_OK) != 0) {
            problem = errno;
        } else if (use) {
            problem = use(folder);
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

// A private folder (mode 0700) made by this run under a temporary folder, held open: its
// files are made and deleted through the held descriptor, never through its path. It is
// removed when the last of its users lets it go.
class PrivateFolder
{
public:
    PrivateFolder(QByteArray path, int handle)
        : m_path(std::move(path)),
          m_handle(handle)
    {
    }
    ~PrivateFolder()
    {
        m_handle.reset();
        ::rmdir(m_path.constData()); // empty by then; a failure is ignored
    }
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    const QByteArray &path() const { return m_path; }
    int handle() const { return m_handle.get(); }

    // A new private folder under `parent`, or null with errno set.
    static std::shared_ptr<PrivateFolder> make(const QString &parent)
    {
        QByteArray path = QFile::encodeName(QDir(parent).filePath(QStringLiteral("torvanelquist-XXXXXX")));
        if (!::mkdtemp(path.data())) {
            return nullptr;
        }
        // In a temporary folder that others may write and that lacks the sticky bit, the
        // new folder can be swapped for a link, or for a folder of someone else's, before
        // it is opened: it is opened without following a link and must be this user's,
        // and private.
        Common::FileDescriptor handle(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status;
        if (handle.get() < 0 || ::fstat(handle.get(), &status) != 0) {
            const int problem = errno;
            ::rmdir(path.constData());
            errno = problem;
            return nullptr;
        }
        if (status.st_uid != ::geteuid() || (status.st_mode & 07777) != 0700) {
            errno = EPERM;
            return nullptr;
        }
        return std::make_shared<PrivateFolder>(std::move(path), handle.release());
    }

private:
    QByteArray m_path;
    Common::FileDescriptor m_handle;
};

namespace {

// The private folders in use, one for each temporary folder, kept for the files that
// follow at once: a new folder for each file would cost milliseconds on file systems
// that discard the freed blocks at once.
std::map<QString, std::shared_ptr<PrivateFolder>> &privateFolders()
{
    static std::map<QString, std::shared_ptr<PrivateFolder>> folders;
    return folders;
}

QByteArray randomName(const QString &prefix)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = QFile::encodeName(prefix.left(3));
    for (int i = 0; i < 6; ++i) {
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    }
    return name + ".tmp";
}

} // namespace

void removeTemporaryFolders()
{
    privateFolders().clear();
}

TempFile::TempFile(const QString &prefix, const QByteArray &bytes, const QStringList &folders)
{
    chooseTempFolder(folders, [&](const QString &parent) { return make(parent, prefix, bytes); });
}

TempFile::~TempFile()
{
    remove();
    // The folders go once the pictures of a burst (a theme's, the background) are loaded
    // and the program is idle again: at most one removal per burst, and nothing stays
    // while the program runs.
    static bool removalDue = false;
    if (!removalDue && QCoreApplication::instance()) {
        removalDue = true;
        QTimer::singleShot(0, QCoreApplication::instance(), [] {
            removalDue = false;
            removeTemporaryFolders();
        });
    }
}

QString TempFile::path() const
{
    return m_folder ? QFile::decodeName(m_folder->path() + '/' + m_name) : QString();
}

int TempFile::make(const QString &parent, const QString &prefix, const QByteArray &bytes)
{
    const QString key = QDir::cleanPath(parent);
    if (key.size() + 35 >= MaxPath) { // "/torvanelquist-XXXXXX/LRPXXXXXX.tmp"
        return ENAMETOOLONG;
    }
    auto &folders = privateFolders();
    // A kept folder that is gone (a cleaner of old temporary files took it) is made again.
    for (bool kept = folders.count(key) > 0;; kept = false) {
        if (!kept) {
            if (const auto made = PrivateFolder::make(parent)) {
                folders[key] = made;
            } else {
                const int problem = errno;
                folders.erase(key); // one that is gone
                return problem;
            }
        }
        m_folder = folders[key];
        int problem = EEXIST;
        for (int attempt = 0; attempt < 100 && problem == EEXIST; ++attempt) {
            m_name = randomName(prefix);
            m_file.reset(::openat(m_folder->handle(), m_name.constData(),
                                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            problem = m_file.get() < 0 ? errno : 0;
        }
        if (problem == 0) {
            // A folder that takes the new file may still be full.
            problem = write(bytes);
        }
        if (problem == 0) {
            return 0;
        }
        remove();
        if (!kept || problem != ENOENT) {
            if (!kept) {
                folders.erase(key); // nothing of this folder is in use: it goes now
            }
            return problem;
        }
    }
}

int TempFile::write(const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t step = ::write(m_file.get(), bytes.constData() + written, size_t(bytes.size() - written));
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            return step < 0 ? errno : EIO;
        }
        written += step;
    }
    return ::lseek(m_file.get(), 0, SEEK_SET) == 0 ? 0 : errno;
}

void TempFile::remove()
{
    // A failure to delete is ignored: nothing can be done about it here.
    if (m_file.get() >= 0) {
        m_file.reset();
        ::unlinkat(m_folder->handle(), m_name.constData(), 0);
    }
    m_name.clear();
    m_folder.reset();
}

QString SystemErrorText(int code)
{
    const char *text = strerrordesc_np(code);
    return text ? QString::fromLocal8Bit(text) : QString();
}

QPixmap LoadResPicture(int id, const QString &type)
{
    try {
        const QByteArray bytes = LoadResData(id, type);
        const TempFile temporary(QStringLiteral("LRP"), bytes);
        // Read back through the descriptor that wrote it: the path may name something
        // else by now.
        QFile file;
        if (!file.open(temporary.handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            throw Common::AppError(RibbonErrors::PathFileAccess, RibbonErrors::executableName(),
                                   QStringLiteral("Path/File access error: %1").arg(file.errorString()));
        }
        const QPixmap picture = Components::Pictures::fromDevice(&file);
        if (picture.isNull()) {
            throw invalidPicture(id, type);
        }
        return picture; // the file and its folder go with `temporary`
    } catch (const Common::AppError &error) {
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
