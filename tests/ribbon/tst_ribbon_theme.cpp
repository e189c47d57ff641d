#include "RibbonTestSupport.h"
#include "SmallFileSystem.h"

#include "common/ErrorNumbers.h"
#include "ribbon/PropertyBag.h"
#include "ribbon/RibbonTheme.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QPalette>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <tuple>

#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Common;
using namespace Components;
using namespace Ribbon;

using F = RibbonFamily;

namespace {

// Points the system's temporary folder at `path` while it lives.
class TempFolder
{
public:
    explicit TempFolder(const QString &path)
        : m_old(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(path));
    }
    ~TempFolder() { qputenv("TMPDIR", m_old); }

private:
    QByteArray m_old;
};

// What is left in a temporary folder: files and folders alike.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// The files left in a temporary folder and the folders under it.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

int permissionsOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// A folder that passes the access check yet takes no file: `kind` is "full disk" (a
// small file system filled to the last byte) or "read-only disk".
class RefusingFolder
{
public:
    explicit RefusingFolder(const QString &kind)
    {
        if (!m_small.isMounted()) {
            return;
        }
        if (kind == QLatin1String("full disk")) {
            m_ready = m_small.fill();
        } else {
            m_ready = ::mount(nullptr, QFile::encodeName(m_small.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                              nullptr)
                == 0;
        }
    }
    bool isReady() const { return m_ready; }
    QString why() const { return m_small.isMounted() ? QStringLiteral("could not be made") : m_small.why(); }
    QString path() const { return m_small.path(); }

private:
    SmallFileSystem m_small;
    bool m_ready = false;
};

QColor pixel(const QPixmap &picture, int x, int y)
{
    return picture.toImage().pixelColor(x, y);
}

// How far apart two colours are for the eye: 1 (none) to 21 (black on white).
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A desktop with light text on dark windows while it lives.
class DarkDesktop
{
public:
    DarkDesktop()
        : m_old(QApplication::palette())
    {
        QPalette dark = m_old;
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            dark.setColor(role, Qt::white);
        }
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            dark.setColor(role, Qt::black);
        }
        QApplication::setPalette(dark);
    }
    ~DarkDesktop() { QApplication::setPalette(m_old); }

private:
    QPalette m_old;
};

} // namespace

class RibbonThemeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void everyThemeHasItsFortyOnePicturesAtTheirSizes();
    void bandsRunThroughTheThemeColours();
    void themeSetsItsSixColours_data();
    void themeSetsItsSixColours();
    void captionsKeepTheThemeColourOnADarkDesktop_data();
    void captionsKeepTheThemeColourOnADarkDesktop();
    void backgroundPictureMeltsIntoTheBackColour();
    void loadingLeavesNoTemporaryFile();
    void firstThemeIsDecodedOnceAtStart();
    void failedLoadsKeepTheirNumberAndLeaveNoFile();
    void temporaryFilesArePrivateAndTheirFolderGoesWhenIdle();
    void temporaryFoldersStartWithTmpdirAsSet();
    void unusableTemporaryFolderIsPassedOverAndNamed_data();
    void unusableTemporaryFolderIsPassedOverAndNamed();
    void othersInASharedTemporaryFolderCannotRedirectTheFile();
    void themeChangeReachesLaidOutItemsAtTheNextLayout();
};

void RibbonThemeTest::cleanup()
{
    removeTemporaryFolders(); // each test's temporary folders go with the test
}

void RibbonThemeTest::everyThemeHasItsFortyOnePicturesAtTheirSizes()
{
    QMap<int, QSize> sizes;
    for (int id = 104; id <= 109; ++id) {
        sizes[id] = QSize(40, 23);
    }
    for (int id = 110; id <= 112; ++id) {
        sizes[id] = QSize(49, 45);
    }
    const int quickWidths[] = {18, 13, 15, 15, 22};
    for (int i = 0; i < 5; ++i) {
        sizes[113 + i] = QSize(quickWidths[i], 26);
    }
    const QList<std::pair<int, QSize>> fixedSizes
        = {{101, {11, 142}}, {102, {7, 142}}, {103, {7, 142}}, {118, {15, 14}}, {119, {15, 14}}, {120, {15, 14}},
           {121, {4, 89}},   {122, {5, 89}},  {123, {5, 89}},  {124, {4, 89}},  {125, {4, 89}},  {126, {5, 89}},
           {127, {10, 24}},  {128, {18, 24}}, {129, {10, 24}}, {130, {10, 24}}, {131, {37, 24}}, {132, {10, 24}},
           {133, {5, 4}},    {134, {5, 4}},   {135, {3, 66}},  {136, {49, 66}}, {137, {3, 66}},  {138, {3, 66}},
           {139, {49, 66}},  {140, {3, 66}}};
    for (const auto &[id, size] : fixedSizes) {
        sizes[id] = size;
    }
    QCOMPARE(sizes.size(), 40);
    for (int theme = 0; theme < 3; ++theme) {
        const QString name = RibbonTheme::themeName(theme);
        for (int id = 101; id <= 140; ++id) {
            QVERIFY2(LoadResData(id, name).startsWith("GIF89a"), qPrintable(QStringLiteral("%1 %2").arg(name).arg(id)));
            QCOMPARE(LoadResPicture(id, name).size(), sizes[id]);
        }
        QCOMPARE(LoadResPicture(141, name).size(), theme == 2 ? QSize(1, 1) : QSize(499, 157));
    }
    // The "more" glyph keeps six pixels clear.
    const QImage glyph = LoadResPicture(133, QStringLiteral("BLUE")).toImage();
    int clear = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            clear += glyph.pixelColor(x, y).alpha() == 0;
        }
    }
    QCOMPARE(clear, 6);
}

void RibbonThemeTest::bandsRunThroughTheThemeColours()
{
    const struct
    {
        const char *theme;
        QColor top, middle, bottom;
    } bands[] = {{"BLACK", {62, 66, 76}, {185, 191, 200}, {118, 118, 118}},
                 {"BLUE", {218, 233, 253}, {200, 217, 237}, {176, 200, 231}},
                 {"SILVER", {218, 220, 223}, {215, 220, 231}, {211, 216, 223}}};
    for (const auto &band : bands) {
        const QPixmap picture = LoadResPicture(101, QLatin1String(band.theme));
        QCOMPARE(pixel(picture, 5, 0), band.top);
        QCOMPARE(pixel(picture, 5, 71), band.middle);
        QCOMPARE(pixel(picture, 5, 141), band.bottom);
        // The launcher's own highlight is warm yellow in every theme.
        QCOMPARE(pixel(LoadResPicture(120, QLatin1String(band.theme)), 7, 9), QColor(255, 217, 117));
    }
    // Hover and press frames are the same pictures in every theme.
    for (int id = 135; id <= 140; ++id) {
        QCOMPARE(LoadResPicture(id, QStringLiteral("BLUE")).toImage(),
                 LoadResPicture(id, QStringLiteral("BLACK")).toImage());
    }
    const QColor pressed = pixel(LoadResPicture(136, QStringLiteral("SILVER")), 20, 40);
    const QColor hover = pixel(LoadResPicture(139, QStringLiteral("SILVER")), 20, 40);
    QVERIFY(pressed.red() > 240 && pressed.green() < 200 && pressed.blue() < 120); // orange
    QVERIFY(hover.red() > 250 && hover.green() > 225 && hover.blue() > 150); // pale yellow
}

void RibbonThemeTest::themeSetsItsSixColours_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QColor>("category");
    QTest::addColumn<QColor>("tab");
    QTest::addColumn<QColor>("selectedTab");
    QTest::addColumn<QColor>("button");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("fore");
    QTest::newRow("BLACK") << 0 << QColor(255, 255, 255) << QColor(255, 255, 255) << QColor(0, 0, 0) << QColor(0, 0, 0)
                           << QColor(70, 70, 70) << QColor(255, 255, 255);
    QTest::newRow("BLUE") << 1 << QColor(62, 106, 184) << QColor(21, 66, 139) << QColor(21, 66, 139)
                          << QColor(21, 66, 139) << QColor(142, 176, 218) << QColor(21, 66, 139);
    QTest::newRow("SILVER") << 2 << QColor(92, 98, 106) << QColor(92, 98, 106) << QColor(92, 98, 106)
                            << QColor(92, 98, 106) << QColor(208, 212, 221) << QColor(92, 98, 106);
}

void RibbonThemeTest::themeSetsItsSixColours()
{
    QFETCH(int, theme);
    QFETCH(QColor, category);
    QFETCH(QColor, tab);
    QFETCH(QColor, selectedTab);
    QFETCH(QColor, button);
    QFETCH(QColor, back);
    QFETCH(QColor, fore);
    ZetRibbon ribbon;
    ribbon.setTheme(theme == 0 ? 2 : 0); // start from another theme
    ribbon.setTheme(theme);
    QCOMPARE(ribbon.scene().templateOf(F::Cat_Caption).color, category);
    QCOMPARE(ribbon.scene().tabCaptionColor, tab);
    QCOMPARE(ribbon.scene().tabCaptionSelectedColor, selectedTab);
    QCOMPARE(ribbon.scene().templateOf(F::Button_Caption).color, button);
    QCOMPARE(ribbon.BackColor(), back);
    QCOMPARE(ribbon.ForeColor(), fore);
    QCOMPARE(ribbon.height(), 116);
}

void RibbonThemeTest::captionsKeepTheThemeColourOnADarkDesktop_data()
{
    QTest::addColumn<int>("theme");
    for (int theme = 0; theme < 3; ++theme) {
        QTest::newRow(qPrintable(RibbonTheme::themeName(theme))) << theme;
    }
}

void RibbonThemeTest::captionsKeepTheThemeColourOnADarkDesktop()
{
    QFETCH(int, theme);
    const auto laidOut = [theme] {
        VbalImageList images;
        ZetRibbon ribbon;
        ribbon.setTheme(theme);
        fillAsMainWindow(ribbon, images);
        const RibbonScene &scene = ribbon.scene();
        const RibbonElement &caption = scene.at(F::Button_Caption, 1);
        const RibbonElement &panel = scene.at(F::Cat_Center_off, 0);
        // The panel's colour half way down the caption.
        const int row = int((caption.top + caption.height / 2 - panel.top) / 15);
        return std::tuple{caption.color, pixel(panel.picture, 2, row), ribbon.ForeColor()};
    };
    const auto [usualCaption, usualPanel, usualFore] = laidOut();
    DarkDesktop desktop;
    const auto [darkCaption, darkPanel, darkFore] = laidOut();
    QCOMPARE(darkCaption, usualCaption);
    QCOMPARE(darkFore, usualFore);
    QVERIFY2(contrast(darkCaption, darkPanel) >= 4.5,
             qPrintable(QStringLiteral("%1 on %2").arg(darkCaption.name(), darkPanel.name())));
}

void RibbonThemeTest::backgroundPictureMeltsIntoTheBackColour()
{
    ZetRibbon ribbon;
    for (int theme = 0; theme < 2; ++theme) {
        ribbon.setTheme(theme);
        const QImage picture = ribbon.LoadBackground().toImage();
        QCOMPARE(picture.size(), QSize(499, 157));
        QCOMPARE(picture.pixelColor(498, 0), ribbon.BackColor());
        QCOMPARE(picture.pixelColor(0, 156), ribbon.BackColor());
        QCOMPARE(picture.pixelColor(498, 156), ribbon.BackColor());
        // Lighter bands across the top left.
        QVERIFY(picture.pixelColor(30, 20).lightness() > ribbon.BackColor().lightness());
    }
    ribbon.setTheme(2);
    const QPixmap silver = ribbon.LoadBackground();
    QCOMPARE(silver.size(), QSize(1, 1));
    QCOMPARE(pixel(silver, 0, 0), QColor(182, 188, 206));
    // A new picture on every read.
    QVERIFY(ribbon.LoadBackground().cacheKey() != silver.cacheKey());
}

void RibbonThemeTest::loadingLeavesNoTemporaryFile()
{
    QTemporaryDir folder;
    TempFolder temp(folder.path());
    ZetRibbon ribbon;
    ribbon.setTheme(1);
    QVERIFY(!ribbon.LoadBackground().isNull());
    QVERIFY(!LoadResPicture(127, QStringLiteral("SILVER")).isNull());
    QCOMPARE(filesUnder(folder.path()), QStringList());
    QCOMPARE(leftovers(folder.path()).size(), 1); // the private folder, till the program is idle
    QCoreApplication::processEvents();
    QCOMPARE(leftovers(folder.path()), QStringList());
}

// The host's first Theme write, to the theme a new ribbon shows, keeps the pictures the
// ribbon came with; every other write loads the theme's pictures again.
void RibbonThemeTest::firstThemeIsDecodedOnceAtStart()
{
    for (const int theme : {0, 1, 2}) {
        const auto pictureKey
            = [](const ZetRibbon &ribbon) { return ribbon.scene().templateOf(F::Tab_center).picture.cacheKey(); };
        ZetRibbon ribbon;
        const qint64 made = pictureKey(ribbon);
        ribbon.setTheme(0);
        QCOMPARE(pictureKey(ribbon), made);
        ribbon.setTheme(theme);
        const qint64 applied = pictureKey(ribbon);
        QVERIFY(applied != made);
        ribbon.setTheme(theme);
        QVERIFY(pictureKey(ribbon) != applied);
        // The pictures are the theme's own, however they came.
        QCOMPARE(ribbon.scene().templateOf(F::Tab_center).picture.toImage(),
                 LoadResPicture(128, RibbonTheme::themeName(theme)).toImage());
    }
}

void RibbonThemeTest::failedLoadsKeepTheirNumberAndLeaveNoFile()
{
    QTemporaryDir folder;
    TempFolder temp(folder.path());

    const AppError missing = errorOf([] { LoadResPicture(142, QStringLiteral("BLACK")); });
    QCOMPARE(missing.number(), Common::ErrorNumber::ResourceNotFound);
    QVERIFY(missing.source().endsWith(QLatin1String(".cLoadResPicture")));

    // A theme value read back from a saved form is not checked: no picture bytes,
    // so the empty file does not load.
    ZetRibbon ribbon;
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("Theme"), 9);
    ribbon.ReadProperties(bag);
    const AppError invalid = errorOf([&] { ribbon.LoadBackground(); });
    QCOMPARE(invalid.number(), Common::ErrorNumber::InvalidPicture);
    QVERIFY(invalid.source().endsWith(QLatin1String(".cLoadResPicture")));
    QCOMPARE(filesUnder(folder.path()), QStringList());

    // No temporary folder at all: the system's code, the source of the folder choice.
    const QString gone = folder.filePath(QStringLiteral("gone"));
    const AppError noFolder = errorOf([&] { TempFile(QStringLiteral("LRP"), QByteArray("GIF89a"), {gone}); });
    QCOMPARE(noFolder.number(), ENOENT | Common::ErrorNumber::SystemErrorBase);
    QVERIFY(noFolder.source().endsWith(QLatin1String(".cAniCursor")));
    QCOMPARE(SystemErrorText(ENOENT), QStringLiteral("No such file or directory"));
    QVERIFY(SystemErrorText(99999).isEmpty());
}

// The files sit in a folder of their own that only their user can enter, hold their
// bytes from their start and go with their objects; the folder, when the program is idle.
void RibbonThemeTest::temporaryFilesArePrivateAndTheirFolderGoesWhenIdle()
{
    QTemporaryDir folder;
    const QByteArray bytes = LoadResData(101, QStringLiteral("BLUE"));
    QString own;
    {
        const TempFile file(QStringLiteral("LRPX"), bytes, {folder.path()});
        const QFileInfo made(file.path());
        own = made.absolutePath();
        QVERIFY2(QRegularExpression(QStringLiteral("^LRP[A-Za-z0-9]{6}\\.tmp$")).match(made.fileName()).hasMatch(),
                 qPrintable(file.path()));
        QVERIFY2(QRegularExpression(QStringLiteral("^torvanelquist-[A-Za-z0-9]{6}$"))
                     .match(QFileInfo(own).fileName())
                     .hasMatch(),
                 qPrintable(own));
        QCOMPARE(QFileInfo(own).absolutePath(), folder.path());
        QCOMPARE(permissionsOf(own), 0700);
        QCOMPARE(permissionsOf(file.path()), 0600);
        QFile read;
        QVERIFY(read.open(file.handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle));
        QCOMPARE(read.readAll(), bytes);
        const TempFile second(QStringLiteral("LRP"), bytes, {folder.path()});
        QCOMPARE(QFileInfo(second.path()).absolutePath(), own);
        QCOMPARE(filesUnder(folder.path()).size(), 2);
    }
    QCOMPARE(filesUnder(folder.path()), QStringList());
    // A cleaner of old temporary files takes the folder: the next file gets a new one.
    QVERIFY(QDir().rmdir(own));
    {
        const TempFile file(QStringLiteral("LRP"), bytes, {folder.path()});
        QVERIFY(QFileInfo(file.path()).absolutePath() != own);
        QCOMPARE(filesUnder(folder.path()), QStringList{file.path()});
    }
    QCOMPARE(leftovers(folder.path()).size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(leftovers(folder.path()), QStringList());
}

// A TMPDIR that names no folder is still the first one tried, so a message names it.
void RibbonThemeTest::temporaryFoldersStartWithTmpdirAsSet()
{
    const QStringList system = {QStringLiteral("/tmp"), QStringLiteral("/var/tmp"), QStringLiteral("/dev/shm")};
    QTemporaryDir folder;
    const QString gone = folder.filePath(QStringLiteral("gone"));
    {
        TempFolder temp(gone);
        QCOMPARE(temporaryFolders(), QStringList{gone} + system);
        const AppError error = errorOf([] { chooseTempFolder({temporaryFolders().first()}); });
        QVERIFY2(error.description().contains(gone + QStringLiteral(" (No such file or directory)")),
                 qPrintable(error.description()));
        // The pictures pass through the next folder.
        QCOMPARE(errorOf([] { LoadResPicture(101, QStringLiteral("BLUE")); }).number(), 0);
    }
    TempFolder unset(QString{});
    QCOMPARE(temporaryFolders(), system);
}

void RibbonThemeTest::unusableTemporaryFolderIsPassedOverAndNamed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::newRow("missing") << QStringLiteral("missing") << ENOENT;
    QTest::newRow("a file") << QStringLiteral("a file") << ENOTDIR;
    QTest::newRow("too long") << QStringLiteral("too long") << ENAMETOOLONG;
    // Writable to root by the access check, yet no folder can be made in it.
    QTest::newRow("/proc") << QStringLiteral("/proc") << (::geteuid() == 0 ? ENOENT : EACCES);
    QTest::newRow("full disk") << QStringLiteral("full disk") << ENOSPC;
    QTest::newRow("read-only disk") << QStringLiteral("read-only disk") << EROFS;
}

// A folder that fails the access check, or takes no folder or file, is passed over for
// the next; when none takes the file, the message names each folder and why.
void RibbonThemeTest::unusableTemporaryFolderIsPassedOverAndNamed()
{
    QFETCH(QString, kind);
    QFETCH(int, code);
    QTemporaryDir folder;
    QString bad = folder.filePath(kind);
    std::unique_ptr<RefusingFolder> refusing;
    if (kind == QLatin1String("a file")) {
        QVERIFY(QFile(bad).open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("too long")) {
        bad = folder.filePath(QString(300, QLatin1Char('x')));
    } else if (kind == QLatin1String("/proc")) {
        bad = kind;
    } else if (kind.endsWith(QLatin1String("disk"))) {
        refusing = std::make_unique<RefusingFolder>(kind);
        if (!refusing->isReady()) {
            QSKIP(qPrintable(refusing->why()));
        }
        bad = refusing->path();
    }
    const QString good = folder.filePath(QStringLiteral("good"));
    QVERIFY(QDir().mkpath(good));
    const QByteArray bytes = LoadResData(101, QStringLiteral("SILVER"));
    const QStringList before = kind == QLatin1String("/proc") ? QStringList() : leftovers(bad);
    QString madeIn;
    const AppError passedOver = errorOf([&] {
        const TempFile file(QStringLiteral("LRP"), bytes, {bad, good});
        madeIn = QFileInfo(QFileInfo(file.path()).absolutePath()).absolutePath();
    });
    QVERIFY2(passedOver.number() == 0, qPrintable(passedOver.description()));
    QCOMPARE(madeIn, good);
    const AppError error = errorOf([&] {
        TempFile(QStringLiteral("LRP"), bytes, {bad, folder.filePath(QStringLiteral("gone"))});
    });
    QCOMPARE(error.number(), ENOENT | Common::ErrorNumber::SystemErrorBase);
    QVERIFY(error.source().endsWith(QLatin1String(".cAniCursor")));
    for (const QString &words :
         {QStringLiteral("%1 (%2), ").arg(bad, SystemErrorText(code)),
          folder.filePath(QStringLiteral("gone (No such file or directory)")), QStringLiteral("TMPDIR")}) {
        QVERIFY2(error.description().contains(words), qPrintable(error.description()));
    }
    QCOMPARE(filesUnder(good), QStringList());
    removeTemporaryFolders();
    QCOMPARE(leftovers(good), QStringList());
    if (kind != QLatin1String("/proc")) { // whose entries come and go with the processes
        QCOMPARE(leftovers(bad), before);
    }
}

// In a temporary folder that every user may write and that lacks the sticky bit, another
// user renames whatever the program makes there and puts links in its place, to a file
// and a folder of root's. The program, run as root, writes neither; every picture is
// the right one, through the next folder when this one is spoiled.
void RibbonThemeTest::othersInASharedTemporaryFolderCannotRedirectTheFile()
{
    if (::geteuid() != 0) {
        QSKIP("needs root, to run the other user");
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        QSKIP("python3 is not installed (scripts/install-deps.sh installs it)");
    }
    QTemporaryDir base;
    QTemporaryDir rootsOwn; // 0700, root's
    QVERIFY(QFile::setPermissions(
        base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString shared = base.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkdir(shared));
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
    const QString victim = rootsOwn.filePath(QStringLiteral("victim"));
    const QByteArray victimBytes = "root's own file\n";
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(victimBytes) == victimBytes.size());
    }

    // The other user: every new name in the folder is moved aside and replaced with a
    // link, to root's folder for a folder and to root's file for a file. One line per swap.
    QProcess other;
    other.setWorkingDirectory(QStringLiteral("/"));
    other.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
    });
    other.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-u"), QStringLiteral("-c"),
                 QStringLiteral("import os, sys\n"
                                "shared, folder, file = sys.argv[1:4]\n"
                                "print('ready')\n"
                                "while True:\n"
                                "    for entry in os.scandir(shared):\n"
                                "        if entry.name.endswith('.moved') or entry.is_symlink():\n"
                                "            continue\n"
                                "        try:\n"
                                "            os.rename(entry.path, entry.path + '.moved')\n"
                                "            os.symlink(folder if entry.is_dir() else file, entry.path)\n"
                                "            print('swapped', entry.name)\n"
                                "        except OSError:\n"
                                "            pass\n"),
                 shared, rootsOwn.path(), victim});
    QVERIFY(other.waitForReadyRead(10000));
    QCOMPARE(other.readLine().trimmed(), QByteArray("ready"));

    TempFolder temp(shared);
    for (int i = 0; i < 300; ++i) {
        const int id = 101 + i % 40;
        QPixmap loaded;
        const AppError error = errorOf([&] { loaded = LoadResPicture(id, QStringLiteral("BLUE")); });
        QVERIFY2(error.number() == 0, qPrintable(error.description()));
        QCOMPARE(loaded.toImage(), builtInPicture(id, QStringLiteral("BLUE")).toImage());
    }
    other.kill();
    other.waitForFinished();
    const QByteArray swaps = other.readAllStandardOutput();

    QCOMPARE(leftovers(rootsOwn.path()), QStringList{QStringLiteral("victim")});
    QFile file(victim);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), victimBytes);
    // The other user did get at the program's folders.
    QVERIFY2(swaps.count("swapped") > 0, "the other user never swapped a folder: the race was not run");
    qInfo("%d names swapped by the other user", int(swaps.count("swapped")));
}

void RibbonThemeTest::themeChangeReachesLaidOutItemsAtTheNextLayout()
{
    VbalImageList images;
    ZetRibbon ribbon;
    fillAsMainWindow(ribbon, images);
    const qint64 blackTab = ribbon.scene().at(F::Tab_center, 0).picture.cacheKey();
    const qint64 blackPanel = ribbon.scene().at(F::Cat_Center_off, 0).picture.cacheKey();
    ribbon.setTheme(1);
    QCOMPARE(ribbon.BackColor(), QColor(142, 176, 218));
    QCOMPARE(pixel(ribbon.scene().at(F::Barra2, 0).picture, 0, 0), QColor(218, 233, 253));
    QCOMPARE(ribbon.scene().at(F::Tab_center, 0).picture.cacheKey(), blackTab);
    QCOMPARE(ribbon.scene().at(F::Cat_Center_off, 0).picture.cacheKey(), blackPanel);
    ribbon.Refresh();
    QVERIFY(ribbon.scene().at(F::Tab_center, 0).picture.cacheKey() != blackTab);
    QCOMPARE(ribbon.scene().at(F::Tab_caption, 0).color, QColor(21, 66, 139));
    QCOMPARE(ribbon.scene().at(F::Button_Caption, 1).color, QColor(21, 66, 139));
}

int runRibbonThemeTests(int argc, char **argv)
{
    RibbonThemeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ribbon_theme.moc"
