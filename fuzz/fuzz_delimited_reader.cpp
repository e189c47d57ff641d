// The importer's field reader over arbitrary bytes: it either reads every record or
// fails with an ImportError, and never crashes, hangs or reads outside the text.
//
// The first byte picks the mode (bit 0: tab instead of "~" as delimiter, bit 1: no
// quoting, bit 2: drop a byte-order mark as the import does, bits 3 and 4: how the
// file must end, 0 a line end, 1 none, 2 or 3 either), so "\x0C" reads an FDA file of
// a folder and "\x07" a vocabulary; the rest is the file.

#include "DelimitedReader.h"
#include "ImportError.h"
#include "TextDecoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool holdsControlCharacter(std::string_view field)
{
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        const bool c1 = byte == 0xC2 && i + 1 < field.size() && static_cast<unsigned char>(field[i + 1]) >= 0x80
            && static_cast<unsigned char>(field[i + 1]) <= 0x9F;
        if (byte < 0x20 || byte == 0x7F || c1) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const char delimiter = (mode & 1) != 0 ? '\t' : '~';
    const auto quoting = (mode & 2) != 0 ? DelimitedReader::Quoting::None : DelimitedReader::Quoting::DoubleQuotes;
    const DelimitedReader::Ending endings[] = {DelimitedReader::Ending::LineEnd, DelimitedReader::Ending::NoLineEnd,
                                               DelimitedReader::Ending::Any, DelimitedReader::Ending::Any};
    const DelimitedReader::Ending ending = endings[(mode >> 3) & 3];
    // The text in a buffer of its own size, so AddressSanitizer sees any read past it.
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string_view view = (mode & 4) != 0 ? TextDecoding::withoutByteOrderMark(text) : std::string_view(text);
    try {
        DelimitedReader reader("fuzz.txt", view, delimiter, quoting, ending);
        for (const char *name : {"Trade_Name", "name", "DF;Route"}) {
            try {
                reader.column(name);
            } catch (const ImportError &) {
            }
        }
        long records = 0;
        double read = 0.0;
        while (reader.next()) {
            ++records;
            check(reader.recordCount() == records);
            check(reader.lineNumber() > records);
            check(reader.fractionRead() >= read && reader.fractionRead() <= 1.0);
            read = reader.fractionRead();
            // Every field the reader hands out is printable UTF-8 text without a padding tab.
            for (std::size_t i = 0; i < reader.columnCount(); ++i) {
                const std::string_view field = reader.field(i);
                check(TextDecoding::isValidUtf8(field));
                check(!holdsControlCharacter(field));
                check(field.empty() || (field.front() != '\t' && field.back() != '\t'));
            }
        }
        check(records >= 1); // a file without records is refused, not read as empty
        // A file that must end without a line end does.
        check(ending != DelimitedReader::Ending::NoLineEnd || (view.back() != '\n' && view.back() != '\r'));
    } catch (const ImportError &) {
    }
    return 0;
}
