#include "RibbonTestSupport.h"

#include "ribbon/PropertyBag.h"
#include "ribbon/RibbonTheme.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <tuple>

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

int leftoverCount(const QString &folder)
{
    return int(QDir(folder).entryList({QStringLiteral("LRP*")}, QDir::Files).size());
}

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
    void temporaryFolderFailuresCarryTheSystemCode();
    void themeChangeReachesLaidOutItemsAtTheNextLayout();
};

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
    QCOMPARE(GetTempDir(), folder.path());
    const QString made = GetTempFile(QStringLiteral("LRP"), QString());
    QVERIFY(QFileInfo(made).fileName().startsWith(QLatin1String("LRP")));
    QCOMPARE(QFileInfo(made).absolutePath(), folder.path());
    QVERIFY(QFileInfo::exists(made));
    QVERIFY(GetTempFile(QStringLiteral("LRP"), folder.path()) != made);
    QDir(folder.path()).removeRecursively();
    QDir().mkpath(folder.path());

    ZetRibbon ribbon;
    ribbon.setTheme(1);
    QVERIFY(!ribbon.LoadBackground().isNull());
    QVERIFY(!LoadResPicture(127, QStringLiteral("SILVER")).isNull());
    QCOMPARE(leftoverCount(folder.path()), 0);
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
    QCOMPARE(missing.number(), 326);
    QVERIFY(missing.source().endsWith(QLatin1String(".cLoadResPicture")));

    // A theme value read back from a saved form is not checked: no picture bytes,
    // so the empty file does not load.
    ZetRibbon ribbon;
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("Theme"), 9);
    ribbon.ReadProperties(bag);
    const AppError invalid = errorOf([&] { ribbon.LoadBackground(); });
    QCOMPARE(invalid.number(), 481);
    QVERIFY(invalid.source().endsWith(QLatin1String(".cLoadResPicture")));
    QCOMPARE(leftoverCount(folder.path()), 0);
}

void RibbonThemeTest::temporaryFolderFailuresCarryTheSystemCode()
{
    QTemporaryDir folder;
    const QString missing = folder.path() + QStringLiteral("/gone");
    const AppError direct = errorOf([&] { GetTempFile(QStringLiteral("LRP"), missing); });
    QCOMPARE(direct.number(), ENOENT | 10000);
    QVERIFY(direct.source().endsWith(QLatin1String(".cAniCursor")));
    QCOMPARE(direct.description(), SystemErrorText(ENOENT));
    QCOMPARE(SystemErrorText(ENOENT), QStringLiteral("No such file or directory"));
    QVERIFY(SystemErrorText(99999).isEmpty());

    // A system temporary folder that is gone: the pictures pass through the next one.
    TempFolder temp(missing);
    QCOMPARE(errorOf([] { LoadResPicture(101, QStringLiteral("BLUE")); }).number(), 0);
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
