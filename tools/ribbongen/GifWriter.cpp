#include "GifWriter.h"

#include <gif_lib.h>

#include <QHash>
#include <QVector>

#include <memory>

namespace {

struct Indexed
{
    QVector<QRgb> palette;
    QVector<quint8> pixels;
    int transparentIndex = -1;
};

bool isTransparent(QRgb pixel)
{
    return qAlpha(pixel) < 128;
}

QRgb opaque(QRgb pixel)
{
    return qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
}

// Exact palette in order of first appearance; false when there are too many colours.
bool indexExactly(const QImage &image, Indexed &out)
{
    QHash<QRgb, int> lookup;
    bool hasTransparency = false;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (isTransparent(line[x])) {
                hasTransparency = true;
                continue;
            }
            const QRgb color = opaque(line[x]);
            if (!lookup.contains(color)) {
                lookup.insert(color, int(out.palette.size()));
                out.palette.append(color);
            }
        }
    }
    const int limit = hasTransparency ? 255 : 256;
    if (out.palette.size() > limit) {
        return false;
    }
    if (hasTransparency) {
        out.transparentIndex = int(out.palette.size());
        out.palette.append(qRgb(0, 0, 0));
    }
    out.pixels.reserve(image.width() * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            out.pixels.append(quint8(isTransparent(line[x]) ? out.transparentIndex : lookup.value(opaque(line[x]))));
        }
    }
    return true;
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

// Median cut over the opaque pixels (255 colours when some are transparent, else 256);
// the listed colours replace their nearest palette entries and keep every pixel of
// exactly that colour.
QString indexByMedianCut(const QImage &image, const QList<QRgb> &exactColors, Indexed &out)
{
    QVector<GifByteType> red, green, blue;
    QVector<int> positions;
    const int count = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (isTransparent(line[x])) {
                continue;
            }
            positions.append(y * image.width() + x);
            red.append(GifByteType(qRed(line[x])));
            green.append(GifByteType(qGreen(line[x])));
            blue.append(GifByteType(qBlue(line[x])));
        }
    }
    const bool hasTransparency = positions.size() < count;
    int colorCount = hasTransparency ? 255 : 256;
    QVector<GifColorType> colors(256);
    QVector<GifByteType> quantized(positions.size());
    if (GifQuantizeBuffer(unsigned(positions.size()), 1, &colorCount, red.data(), green.data(), blue.data(),
                          quantized.data(), colors.data())
        != GIF_OK) {
        return QStringLiteral("colour reduction failed");
    }
    for (int i = 0; i < colorCount; ++i) {
        out.palette.append(qRgb(colors[i].Red, colors[i].Green, colors[i].Blue));
    }
    for (const QRgb wanted : exactColors) {
        int nearest = 0;
        for (int i = 1; i < out.palette.size(); ++i) {
            if (distance(out.palette[i], wanted) < distance(out.palette[nearest], wanted)) {
                nearest = i;
            }
        }
        out.palette[nearest] = opaque(wanted);
        for (int i = 0; i < positions.size(); ++i) {
            if (qRgb(red[i], green[i], blue[i]) == opaque(wanted)) {
                quantized[i] = GifByteType(nearest);
            }
        }
    }
    if (hasTransparency) {
        out.transparentIndex = int(out.palette.size());
        out.palette.append(qRgb(0, 0, 0));
    }
    out.pixels.fill(quint8(out.transparentIndex), count);
    for (int i = 0; i < positions.size(); ++i) {
        out.pixels[positions[i]] = quantized[i];
    }
    return {};
}

struct GifCloser
{
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

} // namespace

QString writeGif(const QImage &source, const QString &path, const QList<QRgb> &exactColors)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    Indexed indexed;
    if (!indexExactly(image, indexed)) {
        indexed = Indexed();
        const QString problem = indexByMedianCut(image, exactColors, indexed);
        if (!problem.isEmpty()) {
            return problem;
        }
    }

    const int mapSize = 1 << GifBitSize(int(indexed.palette.size()));
    QVector<GifColorType> map(mapSize, GifColorType{0, 0, 0});
    for (int i = 0; i < indexed.palette.size(); ++i) {
        map[i] = GifColorType{GifByteType(qRed(indexed.palette[i])), GifByteType(qGreen(indexed.palette[i])),
                              GifByteType(qBlue(indexed.palette[i]))};
    }
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject *)> colorMap(GifMakeMapObject(mapSize, map.constData()),
                                                                         GifFreeMapObject);
    if (!colorMap) {
        return QStringLiteral("no memory for the colour map");
    }

    int error = 0;
    const QByteArray fileName = path.toLocal8Bit();
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpenFileName(fileName.constData(), false, &error));
    if (!gif) {
        return QStringLiteral("cannot create %1: %2").arg(path, QString::fromLatin1(GifErrorString(error)));
    }
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), image.width(), image.height(), 8, 0, colorMap.get()) != GIF_OK) {
        return QStringLiteral("cannot write the screen descriptor of %1").arg(path);
    }
    if (indexed.transparentIndex >= 0) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, indexed.transparentIndex};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK) {
            return QStringLiteral("cannot write the transparency of %1").arg(path);
        }
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, image.width(), image.height(), false, nullptr) != GIF_OK) {
        return QStringLiteral("cannot write the image descriptor of %1").arg(path);
    }
    for (int y = 0; y < image.height(); ++y) {
        if (EGifPutLine(gif.get(), indexed.pixels.data() + y * image.width(), image.width()) != GIF_OK) {
            return QStringLiteral("cannot write row %1 of %2").arg(y).arg(path);
        }
    }
    GifFileType *raw = gif.release();
    if (EGifCloseFile(raw, &error) != GIF_OK) {
        return QStringLiteral("cannot finish %1: %2").arg(path, QString::fromLatin1(GifErrorString(error)));
    }
    return {};
}
