#include "RibbonPictureComparison.h"

#include <algorithm>
#include <cstdlib>

namespace {

QString sizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// The largest channel difference of two pixels; the colour channels weighed by how
// opaque the more opaque of the two is (a level off at alpha 20 is invisible).
int pixelDistance(QRgb a, QRgb b)
{
    const int opacity = std::max(qAlpha(a), qAlpha(b));
    const auto colour = [opacity](int x, int y) { return (std::abs(x - y) * opacity + 254) / 255; };
    return std::max({std::abs(qAlpha(a) - qAlpha(b)), colour(qRed(a), qRed(b)), colour(qGreen(a), qGreen(b)),
                     colour(qBlue(a), qBlue(b))});
}

} // namespace

QString pictureDifference(const QImage &expected, const QImage &actual, const PictureTolerance &tolerance)
{
    if (expected.isNull() || actual.isNull()) {
        return QStringLiteral("a picture does not decode");
    }
    if (expected.size() != actual.size()) {
        return QStringLiteral("size %1 instead of %2").arg(sizeText(actual.size()), sizeText(expected.size()));
    }
    const QImage want = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage got = actual.convertToFormat(QImage::Format_ARGB32);
    const qsizetype pixels = qsizetype(want.width()) * want.height();
    const qsizetype allowedOutliers
        = std::max<qsizetype>(tolerance.minimumOutliers, pixels * tolerance.outliersPerMille / 1000);
    qsizetype outliers = 0;
    for (int y = 0; y < want.height(); ++y) {
        const QRgb *wantLine = reinterpret_cast<const QRgb *>(want.constScanLine(y));
        const QRgb *gotLine = reinterpret_cast<const QRgb *>(got.constScanLine(y));
        for (int x = 0; x < want.width(); ++x) {
            const QRgb a = wantLine[x];
            const QRgb b = gotLine[x];
            const auto where = [&] {
                return QStringLiteral("pixel (%1, %2) is #%3, not #%4")
                    .arg(x)
                    .arg(y)
                    .arg(b, 8, 16, QLatin1Char('0'))
                    .arg(a, 8, 16, QLatin1Char('0'));
            };
            if ((qAlpha(a) == 0) != (qAlpha(b) == 0)) {
                return QStringLiteral("transparency differs: ") + where();
            }
            if (qAlpha(a) == 0) {
                continue;
            }
            const int distance = pixelDistance(a, b);
            if (distance > tolerance.outlierLevels) {
                return QStringLiteral("colour differs by %1 levels: ").arg(distance) + where();
            }
            if (distance > tolerance.channelLevels && ++outliers > allowedOutliers) {
                return QStringLiteral("more than %1 pixels differ by more than %2 levels, the last: ")
                           .arg(allowedOutliers)
                           .arg(tolerance.channelLevels)
                    + where();
            }
        }
    }
    return QString();
}
