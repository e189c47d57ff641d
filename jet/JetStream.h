#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The stream kvostrel-mdb-reader writes on its standard output: the tables it was asked
// for, each with its columns and rows, values as UTF-8 text and Null kept apart from the
// empty text. Integers are little-endian; every length counts bytes.
//
//   stream  = Magic { table } ( End | Failure )
//   table   = 'T' u32:nameLength name u32:columnCount { u32:nameLength name u8:kind }
//             { 'R' { u8:0 (Null) | u8:1 u32:length bytes } }    one value per column
//             'E' u64:rowCount
//   End     = 'Z'
//   Failure = 'F' u32:length text   why the file cannot be read, in the program's words
namespace Jet {

inline constexpr std::string_view Magic{"KVJET1\n"};

// How a column's values are to be stored.
enum class ValueKind : std::uint8_t {
    Integer = 1, // decimal text of a whole number
    Text = 2,
    Unsupported = 3, // pictures and other binary data; its values are all Null
};

struct Column
{
    std::string name;
    ValueKind kind = ValueKind::Text;
};

// Builds the stream (the reader's side).
class StreamWriter
{
public:
    explicit StreamWriter(std::string &out)
        : m_out(out)
    {
    }
    void begin();
    void beginTable(std::string_view name, const std::vector<Column> &columns);
    void beginRow() { m_out += 'R'; }
    void null() { m_out += '\0'; }
    void value(std::string_view text);
    void endTable(std::uint64_t rows);
    void end() { m_out += 'Z'; }
    void failure(std::string_view why);

private:
    void u32(std::uint32_t value);
    std::string &m_out;
};

// Receives what a stream holds, table by table.
class StreamSink
{
public:
    virtual ~StreamSink() = default;
    virtual void beginTable(const std::string &name, const std::vector<Column> &columns) = 0;
    // One value per column; the views stay valid during the call only.
    virtual void row(const std::vector<std::optional<std::string_view>> &values) = 0;
    virtual void endTable(std::uint64_t rows) = 0;
};

// A stream that breaks its own rules: it did not come from a working reader.
class StreamError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The reader said why it cannot read the file (a Failure record).
class ReaderFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads the stream as it arrives, in pieces of any size. Throws StreamError for a
// malformed stream and ReaderFailure for a Failure record.
class StreamParser
{
public:
    explicit StreamParser(StreamSink &sink)
        : m_sink(sink)
    {
    }
    void feed(std::string_view bytes);
    // True once the End record has been read.
    bool complete() const { return m_state == State::Ended; }
    // Throws StreamError unless the stream ended properly.
    void finish() const;

private:
    enum class State {
        Magic,
        Records,
        InTable,
        Ended
    };
    // Parses one record from the front of `data`; returns the bytes it took, or 0 when
    // the record is not all there yet.
    std::size_t parseRecord(std::string_view data);

    StreamSink &m_sink;
    State m_state = State::Magic;
    std::string m_pending; // the start of a record whose end has not arrived
    std::vector<Column> m_columns;
    std::vector<std::optional<std::string_view>> m_values;
    std::uint64_t m_rows = 0;
};

// A Jet date value (days since Dec 30, 1899; the fraction is the time of day) as the FDA
// writes dates: "Mar 4, 1985". Nothing for a value outside the years 100 to 9999.
std::optional<std::string> dateText(double value);

} // namespace Jet
