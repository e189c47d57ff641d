#include "jet/JetStream.h"

#include <array>
#include <cmath>

namespace Jet {

namespace {

// A table never has more columns than this in a Jet file.
constexpr std::uint32_t maxColumns = 256;
// Names are at most 64 characters in a Jet file (256 bytes of UTF-8 leave room).
constexpr std::uint32_t maxNameLength = 256;

class Cursor
{
public:
    explicit Cursor(std::string_view data)
        : m_data(data)
    {
    }
    // False when the data ends first (the rest of the record has not arrived).
    bool bytes(std::size_t count, std::string_view &out)
    {
        if (m_data.size() - m_position < count) {
            return false;
        }
        out = m_data.substr(m_position, count);
        m_position += count;
        return true;
    }
    template<typename T>
    bool integer(T &out)
    {
        std::string_view raw;
        if (!bytes(sizeof(T), raw)) {
            return false;
        }
        out = 0;
        for (std::size_t i = sizeof(T); i-- > 0;) {
            out = static_cast<T>((out << 8) | static_cast<unsigned char>(raw[i]));
        }
        return true;
    }
    std::size_t position() const { return m_position; }

private:
    std::string_view m_data;
    std::size_t m_position = 0;
};

} // namespace

// ---------------------------------------------------------------- StreamWriter

void StreamWriter::begin()
{
    m_out += Magic;
}

void StreamWriter::u32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        m_out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

void StreamWriter::beginTable(std::string_view name, const std::vector<Column> &columns)
{
    m_out += 'T';
    u32(static_cast<std::uint32_t>(name.size()));
    m_out += name;
    u32(static_cast<std::uint32_t>(columns.size()));
    for (const Column &column : columns) {
        u32(static_cast<std::uint32_t>(column.name.size()));
        m_out += column.name;
        m_out += static_cast<char>(column.kind);
    }
}

void StreamWriter::value(std::string_view text)
{
    m_out += '\1';
    u32(static_cast<std::uint32_t>(text.size()));
    m_out += text;
}

void StreamWriter::endTable(std::uint64_t rows)
{
    m_out += 'E';
    for (int i = 0; i < 8; ++i) {
        m_out += static_cast<char>((rows >> (8 * i)) & 0xff);
    }
}

void StreamWriter::failure(std::string_view why)
{
    m_out += 'F';
    u32(static_cast<std::uint32_t>(why.size()));
    m_out += why;
}

// ---------------------------------------------------------------- StreamParser

void StreamParser::feed(std::string_view bytes)
{
    if (bytes.empty()) {
        return;
    }
    if (m_state == State::Ended) {
        throw StreamError("data after the end of the stream");
    }
    // Complete records are parsed where they lie; only an unfinished one is kept.
    std::string joined;
    std::string_view data = bytes;
    if (!m_pending.empty()) {
        joined = std::move(m_pending);
        joined.append(bytes);
        data = joined;
    }
    m_pending.clear();
    while (!data.empty() && m_state != State::Ended) {
        const std::size_t used = parseRecord(data);
        if (used == 0) {
            break;
        }
        data.remove_prefix(used);
    }
    if (m_state == State::Ended && !data.empty()) {
        throw StreamError("data after the end of the stream");
    }
    m_pending.assign(data);
}

void StreamParser::finish() const
{
    if (m_state != State::Ended) {
        throw StreamError(m_state == State::Magic && m_pending.empty() ? "the stream is empty"
                                                                       : "the stream ends too early");
    }
}

std::size_t StreamParser::parseRecord(std::string_view data)
{
    Cursor in(data);
    std::string_view raw;
    if (m_state == State::Magic) {
        if (!in.bytes(Magic.size(), raw)) {
            if (!Magic.starts_with(data)) {
                throw StreamError("the stream does not start as a reader's stream");
            }
            return 0;
        }
        if (raw != Magic) {
            throw StreamError("the stream does not start as a reader's stream");
        }
        m_state = State::Records;
        return in.position();
    }
    in.bytes(1, raw);
    const char type = raw[0];
    if (m_state == State::InTable && type == 'R') {
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            if (!in.bytes(1, raw)) {
                return 0;
            }
            if (raw[0] == '\0') {
                m_values[i].reset();
                continue;
            }
            std::uint32_t length = 0;
            if (raw[0] != '\1') {
                throw StreamError("a value is neither Null nor text");
            }
            if (!in.integer(length) || !in.bytes(length, raw)) {
                return 0;
            }
            m_values[i] = raw;
        }
        m_sink.row(m_values);
        ++m_rows;
        return in.position();
    }
    if (m_state == State::InTable && type == 'E') {
        std::uint64_t rows = 0;
        if (!in.integer(rows)) {
            return 0;
        }
        if (rows != m_rows) {
            throw StreamError("a table's row count does not match its rows");
        }
        m_sink.endTable(rows);
        m_state = State::Records;
        return in.position();
    }
    if (m_state == State::Records && type == 'T') {
        std::uint32_t length = 0;
        std::uint32_t count = 0;
        if (!in.integer(length)) {
            return 0;
        }
        if (length == 0 || length > maxNameLength) {
            throw StreamError("a table name is empty or too long");
        }
        std::string_view name;
        if (!in.bytes(length, name) || !in.integer(count)) {
            return 0;
        }
        if (count == 0 || count > maxColumns) {
            throw StreamError("a table has no columns or too many");
        }
        std::vector<Column> columns;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string_view columnName;
            if (!in.integer(length)) {
                return 0;
            }
            if (length == 0 || length > maxNameLength) {
                throw StreamError("a column name is empty or too long");
            }
            if (!in.bytes(length, columnName) || !in.bytes(1, raw)) {
                return 0;
            }
            const auto kind = static_cast<ValueKind>(raw[0]);
            if (kind != ValueKind::Integer && kind != ValueKind::Text && kind != ValueKind::Unsupported) {
                throw StreamError("a column has an unknown kind");
            }
            columns.push_back({std::string(columnName), kind});
        }
        m_columns = std::move(columns);
        m_values.assign(m_columns.size(), std::nullopt);
        m_rows = 0;
        m_state = State::InTable;
        m_sink.beginTable(std::string(name), m_columns);
        return in.position();
    }
    if (m_state == State::Records && type == 'Z') {
        m_state = State::Ended;
        return in.position();
    }
    if (type == 'F') {
        std::uint32_t length = 0;
        if (!in.integer(length)) {
            return 0;
        }
        if (length > 4096) {
            throw StreamError("a failure text is too long");
        }
        if (!in.bytes(length, raw)) {
            return 0;
        }
        throw ReaderFailure(std::string(raw));
    }
    throw StreamError(std::string("an unexpected record type ") + std::to_string(static_cast<unsigned char>(type)));
}

// ---------------------------------------------------------------- dates

std::optional<std::string> dateText(double value)
{
    // Jet dates run from Jan 1, 100 to Dec 31, 9999. The whole part counts days (also
    // before 1899, where the fraction still counts forward from midnight).
    if (!std::isfinite(value) || value < -657434.0 || value >= 2958466.0) {
        return std::nullopt;
    }
    // Days since Mar 1, 0000 of the proleptic Gregorian calendar (Dec 30, 1899 is day
    // 693,899), then the civil date, counting in 400-year eras that start in March.
    const long long shifted = static_cast<long long>(std::trunc(value)) + 693899;
    const long long era = shifted / 146097;
    const long long dayOfEra = shifted - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153; // 0 = March
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    static constexpr std::array<const char *, 12> names
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return std::string(names[static_cast<std::size_t>(month - 1)]) + ' ' + std::to_string(day) + ", "
        + std::to_string(year);
}

} // namespace Jet
