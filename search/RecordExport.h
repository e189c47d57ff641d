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

// The rows of an exported table: every field's UTF-8 text in one buffer, so that tens of
// thousands of records are read and written without a string per value. Made from, and
// compared as, a list of rows of text.
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
        return qsizetype(m_rows[size_t(row)].second - m_rows[size_t(row)].first);
    }
    // Field `column` (below fieldCount) of `row` as UTF-8.
    QByteArrayView field(qsizetype row, qsizetype column) const
    {
        const size_t index = m_rows[size_t(row)].first + size_t(column);
        const size_t begin = index == 0 ? 0 : m_fieldEnds[index - 1];
        return {m_text.data() + begin, qsizetype(m_fieldEnds[index] - begin)};
    }

private:
    std::string m_text;
    std::vector<size_t> m_fieldEnds; // each field's end in m_text, fields one after another
    std::vector<std::pair<size_t, size_t>> m_rows; // each row's first field and the one after its last
    size_t m_rowStart = 0; // the first field of the row being built

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
