// The committed theme and button pictures are what the picture generator draws, as far
// as a picture can be the same on another CPU: same size, same clear pixels, colours a
// level or two apart, and the colours the ribbon's design names exactly.
#include "RibbonPictureComparison.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString CommittedFolder = QStringLiteral(RIBBON_RESOURCES_DIR);
const QStringList PictureFolders = {QStringLiteral("themes"), QStringLiteral("icons/ribbon")};

QImage committed(const QString &name)
{
    return QImage(CommittedFolder + QLatin1Char('/') + name);
}

// Every file under the picture folders of `root`, by path relative to it.
QStringList filesUnder(const QString &root)
{
    QStringList names;
    for (const QString &folder : PictureFolders) {
        QDirIterator it(root + QLatin1Char('/') + folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            names << it.next().mid(root.size() + 1);
        }
    }
    names.sort();
    return names;
}

QPoint firstPixel(const QImage &image, const std::function<bool(QRgb)> &wanted)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (wanted(image.pixel(x, y))) {
                return {x, y};
            }
        }
    }
    return {-1, -1};
}

// `image` with `levels` added to the colour of the pixels `where` picks (taken away
// where adding would pass 255).
QImage shifted(QImage image, int levels, const std::function<bool(int x, int y)> &where)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    const auto shift = [levels](int c) { return c + levels <= 255 ? c + levels : c - levels; };
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) != 0 && where(x, y)) {
                image.setPixel(x, y, qRgba(shift(qRed(p)), shift(qGreen(p)), shift(qBlue(p)), qAlpha(p)));
            }
        }
    }
    return image;
}

// Pixels whose colours the design names: the background band's top, middle and
// bottom, the launcher's own highlight, the host background's base colour and the
// single pixel of the silver one. No theme: in every theme.
struct NamedPixel
{
    const char *theme;
    int picture;
    QPoint at;
};
const NamedPixel NamedPixels[] = {
    {nullptr, 101, {5, 0}},  {nullptr, 101, {5, 71}},  {nullptr, 101, {5, 141}},
    {nullptr, 120, {7, 9}},  {"BLACK", 141, {498, 0}}, {"BLACK", 141, {0, 156}},
    {"BLUE", 141, {498, 0}}, {"BLUE", 141, {0, 156}},  {"SILVER", 141, {0, 0}},
};

} // namespace

class RibbonPicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void comparisonPassesRoundingOnly_data();
    void comparisonPassesRoundingOnly();
    void drawnPicturesMatchTheCommittedOnes();
};

void RibbonPicturesTest::comparisonPassesRoundingOnly_data()
{
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<QImage>("actual");
    QTest::addColumn<QString>("fault"); // what the comparison must say; empty: it passes

    for (const QString &name : {QStringLiteral("themes/BLACK/111.gif"), QStringLiteral("icons/ribbon/about.png")}) {
        const QImage base = committed(name).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!base.isNull(), qPrintable(name));
        const QPoint solid = firstPixel(base, [](QRgb p) { return qAlpha(p) == 255; });
        const QPoint clear = firstPixel(base, [](QRgb p) { return qAlpha(p) == 0; });
        QVERIFY(solid.x() >= 0 && clear.x() >= 0);
        const auto row
            = [&](const char *what) -> QTestData & { return QTest::addRow("%s %s", qPrintable(name), what); };
        const auto everywhere = [](int, int) { return true; };

        row("unchanged") << base << base << QString();
        row("one level everywhere") << base << shifted(base, 1, everywhere) << QString();
        row("three pixels on a neighbouring palette colour") << base << shifted(base, 10, [&](int x, int y) {
            return y == solid.y() && x >= solid.x() && x < solid.x() + 3;
        }) << QString();
        row("three levels everywhere") << base << shifted(base, 3, everywhere) << QStringLiteral("more than");
        row("a cross of lines twelve levels off")
            << base << shifted(base, 12, [&](int x, int y) { return y == solid.y() || x == solid.x(); })
            << QStringLiteral("more than");
        row("one pixel far off") << base << shifted(base, 60, [&](int x, int y) { return QPoint(x, y) == solid; })
                                 << QStringLiteral("colour differs");
        QImage cleared = base;
        cleared.setPixel(solid, qRgba(0, 0, 0, 0));
        row("a pixel made clear") << base << cleared << QStringLiteral("transparency");
        QImage filled = base;
        filled.setPixel(clear, base.pixel(solid));
        row("a clear pixel filled") << base << filled << QStringLiteral("transparency");
        row("a column narrower") << base << base.copy(0, 0, base.width() - 1, base.height()) << QStringLiteral("size");
    }
}

void RibbonPicturesTest::comparisonPassesRoundingOnly()
{
    QFETCH(QImage, expected);
    QFETCH(QImage, actual);
    QFETCH(QString, fault);
    const QString difference = pictureDifference(expected, actual);
    if (fault.isEmpty()) {
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    } else {
        QVERIFY2(difference.startsWith(fault), qPrintable(QStringLiteral("said: \"%1\"").arg(difference)));
    }
}

void RibbonPicturesTest::drawnPicturesMatchTheCommittedOnes()
{
    QTemporaryDir drawn;
    QVERIFY(drawn.isValid());
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    generator.setProcessEnvironment(environment);
    generator.start(QStringLiteral(RIBBONGEN_PATH), {drawn.path()});
    QVERIFY2(generator.waitForFinished(120000), qPrintable(generator.errorString()));
    QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(generator.exitCode(), 0);

    const QStringList names = filesUnder(drawn.path());
    QCOMPARE(names.size(), 3 * 41 + 11 + 2); // theme pictures, button pictures, two .qrc files
    // Nothing committed that the generator no longer draws.
    QCOMPARE(filesUnder(CommittedFolder), names);

    QStringList faults;
    for (const QString &name : names) {
        QFile newFile(drawn.filePath(name));
        QFile oldFile(CommittedFolder + QLatin1Char('/') + name);
        QVERIFY(newFile.open(QIODevice::ReadOnly) && oldFile.open(QIODevice::ReadOnly));
        const QByteArray newBytes = newFile.readAll();
        const QByteArray oldBytes = oldFile.readAll();
        if (name.endsWith(QLatin1String(".qrc"))) {
            if (newBytes != oldBytes) {
                faults << name + QStringLiteral(": lists other files");
            }
            continue;
        }
        const QString difference = pictureDifference(QImage::fromData(oldBytes), QImage::fromData(newBytes));
        if (!difference.isEmpty()) {
            faults << name + QStringLiteral(": ") + difference;
        }
    }

    for (const char *theme : {"BLACK", "BLUE", "SILVER"}) {
        for (const NamedPixel &named : NamedPixels) {
            if (named.theme && qstrcmp(named.theme, theme) != 0) {
                continue;
            }
            const QString name = QStringLiteral("themes/%1/%2.gif").arg(QLatin1String(theme)).arg(named.picture);
            const QRgb want = committed(name).pixel(named.at);
            const QRgb got = QImage(drawn.filePath(name)).pixel(named.at);
            if (want != got) {
                faults << QStringLiteral("%1: the named colour at (%2, %3) is #%4, not #%5")
                              .arg(name)
                              .arg(named.at.x())
                              .arg(named.at.y())
                              .arg(got, 8, 16, QLatin1Char('0'))
                              .arg(want, 8, 16, QLatin1Char('0'));
            }
        }
    }
    QVERIFY2(faults.isEmpty(),
             qPrintable(QStringLiteral("build the target ribbon-pictures and commit, or mend the generator:\n")
                        + faults.join(QLatin1Char('\n'))));
}

QTEST_MAIN(RibbonPicturesTest)

#include "tst_ribbon_pictures.moc"
