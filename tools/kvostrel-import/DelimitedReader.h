#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// Reads delimited text record by record: a header line naming the columns (each once,
// letter case ignored), then one record per line. Lines end in LF or CR LF. Every
// record must have exactly as many fields as the header, and there must be at least
// one record: a file that stops after its header is a broken download, not an empty
// table.
//
// How the text ends tells a whole file from one cut short, as far as its form allows
// (see Ending): a file cut inside its last record, or at a line end where none
// belongs, is refused with a message that says "cut short".
//
// Each field is read as UTF-8 where it is valid UTF-8 and as Windows-1252 (the superset
// of Latin-1 that Windows tools write) where it is not, so one stray Latin-1 byte
// changes only its own field; firstReinterpretedLine() tells where that first happened.
//
// A field holds printable text only. A tab at either end of a field is padding and is
// dropped (the FDA's products.txt has a strength written "EQ 20MG BASE<tab>"); any
// other control character (U+0000..U+001F, U+007F..U+009F), a tab inside the text
// included, fails the file, and so does a record that repeats the header line (two
// files run together).
//
// With Quoting::DoubleQuotes a field that begins with `"` runs to the next lone `"`,
// may hold delimiters, and reads `""` as one quote (the FDA files quote a few trade
// names that way). A `"` anywhere else is an ordinary character.
class DelimitedReader
{
public:
    enum class Quoting {
        None,
        DoubleQuotes
    };

    // What follows the last record.
    enum class Ending {
        // A line end, as editors and spreadsheet programs write text files: a file
        // that ends inside its last line is cut short. Blank lines may follow.
        LineEnd,
        // Nothing: the FDA ends its files right after the last record, so a line end
        // there (or a blank line) is a file cut short at a line end, and a last record
        // short of fields is cut short inside it.
        NoLineEnd,
        // Either, for text known to be whole (a zip archive's checksum proved it).
        Any
    };

    // `sourceName` is how error messages name the file. `text` must outlive the reader.
    // Throws ImportError naming the file when the text is empty, stops after its
    // header, names a column twice or does not end as `ending` says.
    DelimitedReader(std::string sourceName, std::string_view text, char delimiter, Quoting quoting, Ending ending);

    const std::string &sourceName() const { return m_sourceName; }

    // Position of the header column `name` (letter case ignored). Throws ImportError
    // naming the file and the column when the header lacks it.
    std::size_t column(std::string_view name) const;
    // True when the header names the column `name` (letter case ignored).
    bool hasColumn(std::string_view name) const;
    // How many columns the header names, and so how many fields every record has.
    std::size_t columnCount() const { return m_header.size(); }
    // The name the header gives the column at `index`.
    const std::string &columnName(std::size_t index) const { return m_header[index]; }

    // Moves to the next record; false once the records are used up. Throws ImportError
    // naming the file and line (and field) when the record is faulty.
    bool next();

    // A field of the current record. Valid until the next call of next().
    std::string_view field(std::size_t index) const { return m_fields[index]; }

    // True when the current record is the file's last.
    bool atLastRecord() const { return m_pos > m_text.size(); }

    // The line the current record starts on (the header is line 1).
    long lineNumber() const { return m_recordLine; }
    long recordCount() const { return m_recordCount; }
    double fractionRead() const;

    // The first line, among those read so far, holding a field that is not valid UTF-8
    // and so was read as Windows-1252; 0 when there is none.
    long firstReinterpretedLine() const { return m_firstReinterpretedLine; }
    // A warning that names that line, or an empty text.
    std::string reinterpretedWarning() const;

private:
    bool readRecord();
    std::string_view readQuotedField();
    void decodeAndCheckFields();
    void checkHeaderNamesEachColumnOnce() const;
    void checkEnding(bool lineEndAfterLast) const;
    bool repeatsHeader() const;
    [[noreturn]] void fail(const std::string &message) const;

    std::string m_sourceName;
    std::string_view m_text;
    char m_delimiter;
    Quoting m_quoting;
    Ending m_ending;
    std::size_t m_pos = 0;
    long m_line = 1;
    long m_recordLine = 0;
    long m_recordCount = 0;
    long m_firstReinterpretedLine = 0;
    std::vector<std::string> m_header;
    std::vector<std::string_view> m_fields;
    std::deque<std::string> m_unquoted; // storage of quoted fields, one per field position
    std::deque<std::string> m_decoded; // storage of fields read as Windows-1252, one per field position
};
