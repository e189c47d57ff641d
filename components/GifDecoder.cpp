#include "components/GifDecoder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace Components {

namespace GifDecoder {

namespace {

constexpr int MaxCodes = 4096; // codes are at most 12 bits

class ByteReader
{
public:
    explicit ByteReader(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData())),
          m_size(bytes.size())
    {
    }

    bool has(qsizetype count) const { return m_size - m_pos >= count; }
    // The callers ask `has` first.
    uchar byte() { return m_data[m_pos++]; }
    int word()
    {
        const int value = m_data[m_pos] | (m_data[m_pos + 1] << 8);
        m_pos += 2;
        return value;
    }
    void skip(qsizetype count) { m_pos += count; }

    // Skips a chain of data sub-blocks and its terminator; false when the bytes end first.
    bool skipSubBlocks()
    {
        while (has(1)) {
            const int length = byte();
            if (length == 0) {
                return true;
            }
            if (!has(length)) {
                return false;
            }
            skip(length);
        }
        return false;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// Opaque black where a table has no colour for an index.
using Palette = std::array<QRgb, 256>;

bool readPalette(ByteReader &in, int packed, Palette &palette)
{
    const int count = 2 << (packed & 7);
    if (!in.has(3 * qsizetype(count))) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const int red = in.byte();
        const int green = in.byte();
        palette[i] = qRgb(red, green, in.byte());
    }
    return true;
}

// The image data's codes, read across its sub-blocks, least significant bit first.
class CodeReader
{
public:
    explicit CodeReader(ByteReader &in)
        : m_in(in)
    {
    }

    // The next code of `size` bits; -1 when the data ends.
    int next(int size)
    {
        while (m_count < size) {
            if (m_left == 0) {
                if (m_ended || !m_in.has(1) || (m_left = m_in.byte()) == 0) {
                    m_ended = true;
                    return -1;
                }
            }
            if (!m_in.has(1)) {
                m_ended = true;
                return -1;
            }
            m_bits |= quint32(m_in.byte()) << m_count;
            m_count += 8;
            --m_left;
        }
        const int code = int(m_bits & ((1u << size) - 1));
        m_bits >>= size;
        m_count -= size;
        return code;
    }

private:
    ByteReader &m_in;
    quint32 m_bits = 0;
    int m_count = 0; // bits held in m_bits
    int m_left = 0; // bytes left in the current sub-block
    bool m_ended = false;
};

// Decompresses the colour indices into `out`; returns how many were written (fewer
// than out.size() when the data ends or goes wrong).
qsizetype decompress(CodeReader &codes, int minCodeSize, std::vector<uchar> &out)
{
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::array<quint16, MaxCodes> prefix{};
    std::array<uchar, MaxCodes> suffix{};
    std::array<uchar, MaxCodes> first{};
    std::array<quint16, MaxCodes> length{};
    for (int i = 0; i < clear; ++i) {
        suffix[i] = uchar(i);
        first[i] = uchar(i);
        length[i] = 1;
    }
    const qsizetype total = qsizetype(out.size());
    int codeSize = minCodeSize + 1;
    int nextCode = clear + 2;
    int previous = -1;
    qsizetype written = 0;
    while (written < total) {
        const int code = codes.next(codeSize);
        if (code < 0 || code == end) {
            break;
        }
        if (code == clear) {
            codeSize = minCodeSize + 1;
            nextCode = clear + 2;
            previous = -1;
            continue;
        }
        if (previous < 0) {
            if (code > clear) {
                break; // the first code after a clear must be a colour
            }
        } else if (code <= nextCode && nextCode < MaxCodes) {
            // The new string: the previous one and the first index of this one (of the
            // previous one when this code is the string being made).
            prefix[nextCode] = quint16(previous);
            suffix[nextCode] = code == nextCode ? first[previous] : first[code];
            first[nextCode] = first[previous];
            length[nextCode] = quint16(length[previous] + 1);
            ++nextCode;
            if (nextCode == (1 << codeSize) && codeSize < 12) {
                ++codeSize;
            }
        } else if (code >= nextCode) {
            break; // a code not yet made
        }
        // The string is written back to front; what lies past the picture is dropped.
        const qsizetype stop = written + length[code];
        int at = code;
        for (qsizetype i = stop - 1; i >= written; --i) {
            if (i < total) {
                out[size_t(i)] = suffix[at];
            }
            at = prefix[at];
        }
        written = std::min(stop, total);
        previous = code;
    }
    return written;
}

// The picture's rows in the order the data gives them.
std::vector<int> rowOrder(int height, bool interlaced)
{
    std::vector<int> order(size_t(height), 0);
    if (!interlaced) {
        for (int row = 0; row < height; ++row) {
            order[size_t(row)] = row;
        }
        return order;
    }
    size_t index = 0;
    for (const auto &[start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
        for (int row = start; row < height; row += step) {
            order[index++] = row;
        }
    }
    return order;
}

QImage decodeImage(ByteReader &in, int screenWidth, int screenHeight, const Palette *global, int transparent)
{
    if (!in.has(9)) {
        return {};
    }
    const int left = in.word();
    const int top = in.word();
    const int width = in.word();
    const int height = in.word();
    const int packed = in.byte();
    Palette local;
    local.fill(qRgb(0, 0, 0));
    if ((packed & 0x80) && !readPalette(in, packed, local)) {
        return {};
    }
    const Palette *table = (packed & 0x80) ? &local : global;
    if (!table || !in.has(1)) {
        return {};
    }
    const int minCodeSize = in.byte();
    if (minCodeSize < 2 || minCodeSize > 8) {
        return {};
    }
    // A picture reaching past the logical screen widens it.
    const int imageWidth = std::max(screenWidth, left + width);
    const int imageHeight = std::max(screenHeight, top + height);
    if (imageWidth <= 0 || imageHeight <= 0 || imageWidth > MaxSide || imageHeight > MaxSide) {
        return {};
    }

    std::vector<uchar> indices(size_t(width) * size_t(height));
    CodeReader codes(in);
    const qsizetype written = decompress(codes, minCodeSize, indices);

    Palette colours = *table;
    const bool hasTransparent = transparent >= 0 && transparent < 256;
    if (hasTransparent) {
        colours[size_t(transparent)] = 0;
    }
    const bool opaque = !hasTransparent && written == qsizetype(indices.size()) && left == 0 && top == 0
        && width == imageWidth && height == imageHeight;
    QImage image(imageWidth, imageHeight, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    if (!opaque) {
        image.fill(0);
    }
    const std::vector<int> order = rowOrder(height, packed & 0x40);
    for (int row = 0; row < height; ++row) {
        const qsizetype start = qsizetype(row) * width;
        const qsizetype count = std::clamp<qsizetype>(written - start, 0, width);
        if (count == 0) {
            continue;
        }
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(top + order[size_t(row)])) + left;
        const uchar *from = indices.data() + start;
        for (qsizetype x = 0; x < count; ++x) {
            line[x] = colours[from[x]];
        }
    }
    return image;
}

} // namespace

QImage decode(const QByteArray &bytes)
{
    ByteReader in(bytes);
    if (!in.has(13) || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))) {
        return {};
    }
    in.skip(6);
    const int screenWidth = in.word();
    const int screenHeight = in.word();
    const int packed = in.byte();
    in.skip(2); // background colour and aspect ratio
    Palette global;
    global.fill(qRgb(0, 0, 0));
    if ((packed & 0x80) && !readPalette(in, packed, global)) {
        return {};
    }
    const Palette *globalTable = (packed & 0x80) ? &global : nullptr;

    int transparent = -1;
    while (in.has(1)) {
        switch (in.byte()) {
        case 0x2c: // the picture
            return decodeImage(in, screenWidth, screenHeight, globalTable, transparent);
        case 0x21: { // an extension; the graphic control tells the transparent colour
            if (!in.has(2)) {
                return {};
            }
            const int label = in.byte();
            const int length = in.byte();
            if (!in.has(length)) {
                return {};
            }
            if (label == 0xf9 && length >= 4) {
                const int flags = in.byte();
                in.skip(2); // delay
                const int index = in.byte();
                transparent = (flags & 1) ? index : -1;
                in.skip(length - 4);
            } else {
                in.skip(length);
            }
            if (!in.skipSubBlocks()) {
                return {};
            }
            break;
        }
        default: // the trailer before any picture, or a block GIF has not got
            return {};
        }
    }
    return {};
}

} // namespace GifDecoder

} // namespace Components
