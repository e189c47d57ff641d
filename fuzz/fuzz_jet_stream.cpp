// The stream of kvostrel-mdb-reader over arbitrary bytes, cut into pieces where the
// input says: the parser hands on whole tables and rows, or refuses the stream with
// StreamError or ReaderFailure, and never crashes, hangs or reads outside the data.
//
// The first byte gives the size of the pieces the rest arrives in (0: all at once).

#include "jet/JetStream.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

struct Checker : Jet::StreamSink
{
    std::size_t columns = 0;
    bool inTable = false;
    std::uint64_t rows = 0;
    void beginTable(const std::string &name, const std::vector<Jet::Column> &list) override
    {
        check(!inTable && !name.empty() && !list.empty());
        inTable = true;
        columns = list.size();
        rows = 0;
    }
    void row(const std::vector<std::optional<std::string_view>> &values) override
    {
        check(inTable && values.size() == columns);
        ++rows;
    }
    void endTable(std::uint64_t count) override
    {
        check(inTable && count == rows);
        inTable = false;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = data[0] == 0 ? size : data[0];
    const std::string_view stream(reinterpret_cast<const char *>(data + 1), size - 1);
    Checker sink;
    Jet::StreamParser parser(sink);
    try {
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            parser.feed(stream.substr(at, piece));
        }
        parser.finish();
        check(parser.complete() && !sink.inTable);
    } catch (const Jet::StreamError &) {
    } catch (const Jet::ReaderFailure &) {
    }
    return 0;
}
