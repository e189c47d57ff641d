#pragma once

#include <string>
#include <string_view>

// The FDA files are published as ASCII or Latin-1; the vocabularies are UTF-8. The
// database stores UTF-8: text that is valid UTF-8 is taken as it is, any other text is
// read as Windows-1252.
namespace TextDecoding {

bool isValidUtf8(std::string_view text);

// Text read as Windows-1252, the superset of Latin-1 that Windows tools write, which
// agrees with Latin-1 on every printable character, written as UTF-8.
std::string fromWindows1252(std::string_view text);

// Drops a leading UTF-8 byte-order mark, as spreadsheet programs write one.
std::string_view withoutByteOrderMark(std::string_view text);

} // namespace TextDecoding
