#include "DelimitedReader.h"

#include "ImportError.h"
#include "TextDecoding.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string fieldCount(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " field" : " fields");
}

// The first control character of UTF-8 text: its code point and byte offset, or
// nothing. C0 controls and DEL are single bytes, C1 controls are 0xC2 0x80..0x9F.
struct ControlCharacter
{
    unsigned code = 0;
    std::size_t offset = std::string_view::npos;
};

ControlCharacter firstControlCharacter(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return {byte, i};
        }
        if (byte == 0xC2 && i + 1 < text.size()) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (second >= 0x80 && second <= 0x9F) {
                return {second, i};
            }
        }
    }
    return {};
}

std::string codePointName(unsigned code)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string name = "U+00";
    name += digits[(code >> 4) & 0xF];
    name += digits[code & 0xF];
    switch (code) {
    case 0x00:
        return name + ", a NUL byte";
    case 0x09:
        return name + ", a tab";
    case 0x0A:
    case 0x0D:
        return name + ", a line end";
    default:
        return name;
    }
}

} // namespace

DelimitedReader::DelimitedReader(std::string sourceName, std::string_view text, char delimiter, Quoting quoting,
                                 Ending ending)
    : m_sourceName(std::move(sourceName)),
      m_text(text),
      m_delimiter(delimiter),
      m_quoting(quoting),
      m_ending(ending)
{
    while (!m_text.empty() && (m_text.back() == '\n' || m_text.back() == '\r')) {
        m_text.remove_suffix(1);
    }
    const bool lineEndAfterLast = m_text.size() < text.size();
    if (m_text.empty()) {
        throw ImportError(m_sourceName + ": the file is empty; it should start with a header line");
    }
    readRecord();
    decodeAndCheckFields();
    for (const std::string_view name : m_fields) {
        m_header.emplace_back(trimmed(name));
    }
    if (m_pos > m_text.size()) {
        throw ImportError(m_sourceName + ": the file holds its header line but no records; it looks cut short");
    }
    checkHeaderNamesEachColumnOnce();
    checkEnding(lineEndAfterLast);
}

void DelimitedReader::checkHeaderNamesEachColumnOnce() const
{
    std::map<std::string, std::size_t> seen; // lower-case name -> column
    for (std::size_t i = 0; i < m_header.size(); ++i) {
        std::string folded = m_header[i];
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (const auto [earlier, first] = seen.emplace(std::move(folded), i); !first) {
            throw ImportError(m_sourceName + ", line 1: the header names the column \"" + m_header[i]
                              + "\" twice (columns " + std::to_string(earlier->second + 1) + " and "
                              + std::to_string(i + 1) + "); it is not clear which one to read");
        }
    }
}

void DelimitedReader::checkEnding(bool lineEndAfterLast) const
{
    if (m_ending == Ending::Any || lineEndAfterLast == (m_ending == Ending::LineEnd)) {
        return;
    }
    const long lastLine = 1 + static_cast<long>(std::count(m_text.begin(), m_text.end(), '\n'));
    throw ImportError(m_sourceName + ", line " + std::to_string(lastLine) + ": "
                      + (lineEndAfterLast
                             ? "the file goes on with a line end after this line, where the FDA's files end right "
                               "after their last record; it looks cut short at a line end"
                             : "the file ends inside this line, with no line end after it; it looks cut short"));
}

std::size_t DelimitedReader::column(std::string_view name) const
{
    const auto found = std::find_if(m_header.begin(), m_header.end(),
                                    [name](const std::string &h) { return equalIgnoringCase(h, name); });
    if (found == m_header.end()) {
        throw ImportError(m_sourceName + ", line 1: the header has no column \"" + std::string(name) + "\"");
    }
    return static_cast<std::size_t>(found - m_header.begin());
}

bool DelimitedReader::hasColumn(std::string_view name) const
{
    return std::any_of(m_header.begin(), m_header.end(),
                       [name](const std::string &h) { return equalIgnoringCase(h, name); });
}

bool DelimitedReader::next()
{
    if (!readRecord()) {
        return false;
    }
    if (m_fields.size() < m_header.size() && m_pos > m_text.size() && m_ending == Ending::NoLineEnd) {
        fail("the last line has " + fieldCount(m_fields.size()) + " where the header has " + fieldCount(m_header.size())
             + "; the file looks cut short");
    }
    if (m_fields.size() != m_header.size()) {
        fail("the line has " + fieldCount(m_fields.size()) + " where the header has " + fieldCount(m_header.size()));
    }
    decodeAndCheckFields();
    if (repeatsHeader()) {
        fail("the header line is repeated here; the file looks like two files run together");
    }
    ++m_recordCount;
    return true;
}

std::string DelimitedReader::reinterpretedWarning() const
{
    if (m_firstReinterpretedLine == 0) {
        return {};
    }
    return m_sourceName + ", line " + std::to_string(m_firstReinterpretedLine)
        + ": text that is not UTF-8, read as Windows-1252 (Latin-1) here and wherever else a field of the file is "
          "not UTF-8; check that its accented letters came out right";
}

double DelimitedReader::fractionRead() const
{
    // m_pos runs one past the text's end once the last line is read.
    return m_text.empty() ? 1.0
                          : static_cast<double>(std::min(m_pos, m_text.size())) / static_cast<double>(m_text.size());
}

bool DelimitedReader::readRecord()
{
    if (m_pos > m_text.size()) {
        return false;
    }
    m_fields.clear();
    m_recordLine = m_line;
    const char *const begin = m_text.data();
    const std::size_t size = m_text.size();
    for (;;) {
        if (m_quoting == Quoting::DoubleQuotes && m_pos < size && begin[m_pos] == '"') {
            m_fields.push_back(readQuotedField());
        } else {
            std::size_t end = m_pos;
            while (end < size && begin[end] != m_delimiter && begin[end] != '\n') {
                ++end;
            }
            std::string_view value(begin + m_pos, end - m_pos);
            if (!value.empty() && value.back() == '\r' && (end == size || begin[end] == '\n')) {
                value.remove_suffix(1);
            }
            m_fields.push_back(value);
            m_pos = end;
        }
        const bool lineEnds = m_pos >= size || begin[m_pos] == '\n';
        ++m_pos; // past the delimiter or line end (past the text's end after the last line)
        if (lineEnds) {
            ++m_line;
            return true;
        }
    }
}

std::string_view DelimitedReader::readQuotedField()
{
    if (m_unquoted.size() <= m_fields.size()) {
        m_unquoted.resize(m_fields.size() + 1);
    }
    std::string &value = m_unquoted[m_fields.size()];
    value.clear();
    ++m_pos; // the opening quote
    for (;;) {
        const std::size_t quote = m_text.find('"', m_pos);
        if (quote == std::string_view::npos) {
            fail("a field opened with \" is never closed");
        }
        const std::string_view part = m_text.substr(m_pos, quote - m_pos);
        m_line += static_cast<long>(std::count(part.begin(), part.end(), '\n'));
        value += part;
        m_pos = quote + 1;
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            value += '"';
            ++m_pos;
            continue;
        }
        break;
    }
    std::size_t after = m_pos;
    if (after < m_text.size() && m_text[after] == '\r') {
        ++after;
    }
    if (after < m_text.size() && m_text[after] != m_delimiter && m_text[after] != '\n') {
        fail("a quoted field goes on after its closing \"");
    }
    m_pos = after;
    return value;
}

void DelimitedReader::decodeAndCheckFields()
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        std::string_view &value = m_fields[i];
        if (!TextDecoding::isValidUtf8(value)) {
            if (m_decoded.size() <= i) {
                m_decoded.resize(i + 1);
            }
            m_decoded[i] = TextDecoding::fromWindows1252(value);
            value = m_decoded[i];
            if (m_firstReinterpretedLine == 0) {
                m_firstReinterpretedLine = m_recordLine;
            }
        }
        while (!value.empty() && value.front() == '\t') {
            value.remove_prefix(1);
        }
        while (!value.empty() && value.back() == '\t') {
            value.remove_suffix(1);
        }
        const ControlCharacter found = firstControlCharacter(value);
        if (found.offset != std::string_view::npos) {
            std::string where = "field " + std::to_string(i + 1);
            if (i < m_header.size()) {
                where += " (" + m_header[i] + ')';
            }
            // The position counts characters, not bytes: UTF-8 continuation bytes are skipped.
            const std::string_view before = value.substr(0, found.offset);
            const auto position = 1 + std::count_if(before.begin(), before.end(), [](char c) {
                                      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                                  });
            fail(where + ", character " + std::to_string(position) + ": a control character ("
                 + codePointName(found.code) + ") where only printable text belongs");
        }
    }
}

bool DelimitedReader::repeatsHeader() const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (!equalIgnoringCase(trimmed(m_fields[i]), m_header[i])) {
            return false;
        }
    }
    return true;
}

void DelimitedReader::fail(const std::string &message) const
{
    throw ImportError(m_sourceName + ", line " + std::to_string(m_recordLine) + ": " + message);
}
