// The program's GIF reader over arbitrary bytes: it gives a picture no larger than its
// limit, or none, and never crashes, hangs or reads outside the bytes.

#include "components/GifDecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage picture = Components::GifDecoder::decode(bytes);
    if (!picture.isNull()
        && (picture.width() > Components::GifDecoder::MaxSide || picture.height() > Components::GifDecoder::MaxSide)) {
        std::abort();
    }
    return 0;
}
