#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Search {

class SearchWindow;
struct ExportTable;

// The rows of an exported table, kept as the CSV lines they are written as: every row's
// line in one buffer, so that tens of thousands of records are read and written without
// a string per value, each field quoted once, as it comes. A field whose CSV text is not
// its own (quoted, or marked as text) keeps its own text beside it; the others are found
// in their line when asked for. Made from, and compared as, a list of rows of text.
class ExportRows
{
public:
    ExportRows() = default;
    ExportRows(const QVector<QStringList> &rows); // NOLINT(google-explicit-constructor)
    ExportRows(std::initializer_list<QStringList> rows);

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    QStringList at(qsizetype row) const;
    QStringList first() const { return at(0); }
    operator QVector<QStringList>() const; // NOLINT(google-explicit-constructor)

    void append(const QStringList &row);
    // A row built field by field: addField for each, then endRow.
    void addField(QByteArrayView utf8);
    void endRow();
    // The rows at `positions`, in that order (a row may come more than once); the
    // fields' text is taken over, not copied.
    ExportRows picked(const std::vector<qsizetype> &positions) &&;

    qsizetype fieldCount(qsizetype row) const
    {
        return qsizetype(m_rows[size_t(row)].fieldEnd - m_rows[size_t(row)].firstField);
    }
    // Field `column` (below fieldCount) of `row` as UTF-8.
    QByteArrayView field(qsizetype row, qsizetype column) const;
    // Row `row` as a CSV line, its CR LF included.
    QByteArrayView csvLine(qsizetype row) const
    {
        const Row &line = m_rows[size_t(row)];
        return {m_text.data() + line.textBegin, qsizetype(line.textEnd - line.textBegin)};
    }

private:
    struct Row
    {
        size_t textBegin; // the line in m_text
        size_t textEnd;
        size_t firstField; // the number of fields added before the row's first
        size_t fieldEnd;
    };
    // A field whose own text differs from its CSV text: where its own text is in m_ownText.
    struct OwnText
    {
        size_t field;
        size_t begin;
        size_t end;
    };

    std::string m_text; // the CSV lines, one after another
    size_t m_fields = 0; // the fields added so far
    std::vector<Row> m_rows;
    std::string m_ownText;
    std::vector<OwnText> m_own; // by field
    size_t m_rowStart = 0; // the first field of the row being built (a count of fields)
    size_t m_lineStart = 0; // its line's start in m_text

    friend ExportTable exportTable(const SearchWindow &window);
};

// A hit list with the details of every record, as a table: the details grid's
// captions as the header, one row per line of the list, in the list's order.
struct ExportTable
{
    QStringList header;
    ExportRows rows;
};

// The table of what `window` lists: every record of its hit list (the ingredient
// window: every product of the combination it shows) with the fields its details
// grid shows. Reads the records in one statement. Throws AppError when it cannot run.
ExportTable exportTable(const SearchWindow &window);

// Writes `table` as CSV (RFC 4180: fields with a comma, a quote or a line break are
// quoted, quotes doubled, lines end in CR LF; UTF-8). A field that begins with "=", "+",
// "-", "@", a tab or a carriage return gets an apostrophe first, so that a spreadsheet
// shows it as text instead of running it as a formula. `progress` hears the rows
// written so far and returns false to cancel. The file appears only when complete: a
// failed or cancelled write (a full disk, a folder gone) leaves no file, and an existing
// one as it was; a folder, a device or a pipe is not written. Returns an empty text on
// success, else why it failed.
QString writeCsv(const QString &path, const ExportTable &table, const std::function<bool(int rows)> &progress = {});

// The shown record (title, then each row's caption and value) as a document to print.
QString recordHtml(const SearchWindow &window);

} // namespace Search
