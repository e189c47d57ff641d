#include "search/RecordExport.h"

#include "common/AppError.h"
#include "components/VbalGrid.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "layout/Schema.h"
#include "search/KeyList.h"
#include "search/SearchWindow.h"
#include "search/WholeFile.h"
#include "search/frmDrugs.h"

#include <QLabel>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace Search {

ExportRows::ExportRows(const QVector<QStringList> &rows)
{
    for (const QStringList &row : rows) {
        append(row);
    }
}

ExportRows::ExportRows(std::initializer_list<QStringList> rows)
{
    for (const QStringList &row : rows) {
        append(row);
    }
}

QStringList ExportRows::at(qsizetype row) const
{
    QStringList fields;
    for (qsizetype column = 0; column < fieldCount(row); ++column) {
        fields << QString::fromUtf8(field(row, column));
    }
    return fields;
}

ExportRows::operator QVector<QStringList>() const
{
    QVector<QStringList> rows;
    rows.reserve(size());
    for (qsizetype row = 0; row < size(); ++row) {
        rows << at(row);
    }
    return rows;
}

void ExportRows::append(const QStringList &row)
{
    for (const QString &field : row) {
        addField(field.toUtf8());
    }
    endRow();
}

namespace {

// The bytes that make a CSV field quoted: a comma, a quote, a line break.
constexpr std::array<bool, 256> quotedBytes = [] {
    std::array<bool, 256> bytes{};
    for (const unsigned char c : {',', '"', '\r', '\n'}) {
        bytes[c] = true;
    }
    return bytes;
}();

// Whether a word of eight bytes holds `byte` (the bit trick of finding a zero byte).
constexpr bool wordHasByte(quint64 word, unsigned char byte)
{
    const quint64 x = word ^ (0x0101010101010101ULL * byte);
    return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

// Whether CSV quotes `field`: it holds a comma, a quote or a line break. Checked eight
// bytes at a time, as most fields are short plain text.
bool needsQuotes(QByteArrayView field)
{
    const char *at = field.data();
    const char *const end = at + field.size();
    for (; end - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, at, sizeof word);
        if (wordHasByte(word, ',') || wordHasByte(word, '"') || wordHasByte(word, '\r') || wordHasByte(word, '\n')) {
            return true;
        }
    }
    return std::any_of(at, end, [](char c) { return quotedBytes[uchar(c)]; });
}

// Appends `field` to `out` as CSV, after a comma when `comma`; true when the field's CSV
// text is not its own.
bool appendCsvField(std::string &out, QByteArrayView field, bool comma)
{
    // A spreadsheet runs a cell that begins with one of these as a formula
    // ("=HYPERLINK(...)" in a crafted listing): an apostrophe first makes it text.
    const char first = field.isEmpty() ? '\0' : field.front();
    const bool formula = first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r';
    const bool quoted = needsQuotes(field);
    if (!quoted && !formula) {
        // One growth check for the separator and the text, which most fields are.
        const size_t at = out.size();
        out.resize(at + size_t(comma) + size_t(field.size()));
        char *to = out.data() + at;
        if (comma) {
            *to++ = ',';
        }
        if (!field.isEmpty()) { // an empty field's data may be null, which memcpy may not take
            std::memcpy(to, field.data(), size_t(field.size()));
        }
        return false;
    }
    if (comma) {
        out += ',';
    }
    if (quoted) {
        out += '"';
    }
    if (formula) {
        out += '\'';
    }
    if (quoted) {
        for (const char c : field) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    } else {
        out.append(field.data(), size_t(field.size()));
    }
    return true;
}

// Where the CSV field that begins at `from` in `line` ends: at its comma, or at the
// line's end.
qsizetype csvFieldEnd(QByteArrayView line, qsizetype from)
{
    qsizetype at = from;
    if (at < line.size() && line[at] == '"') {
        for (++at; at < line.size(); ++at) {
            if (line[at] == '"') {
                if (at + 1 < line.size() && line[at + 1] == '"') {
                    ++at; // a doubled quote
                } else {
                    return at + 1;
                }
            }
        }
        return at;
    }
    while (at < line.size() && line[at] != ',') {
        ++at;
    }
    return at;
}

} // namespace

void ExportRows::addField(QByteArrayView utf8)
{
    if (appendCsvField(m_text, utf8, m_fields > m_rowStart)) {
        m_own.push_back({m_fields, m_ownText.size(), m_ownText.size() + size_t(utf8.size())});
        m_ownText.append(utf8.data(), size_t(utf8.size()));
    }
    ++m_fields;
}

void ExportRows::endRow()
{
    m_text += "\r\n";
    m_rows.push_back({m_lineStart, m_text.size(), m_rowStart, m_fields});
    m_rowStart = m_fields;
    m_lineStart = m_text.size();
}

QByteArrayView ExportRows::field(qsizetype row, qsizetype column) const
{
    const Row &line = m_rows[size_t(row)];
    const size_t index = line.firstField + size_t(column);
    const auto own = std::lower_bound(m_own.cbegin(), m_own.cend(), index,
                                      [](const OwnText &text, size_t field) { return text.field < field; });
    if (own != m_own.cend() && own->field == index) {
        return {m_ownText.data() + own->begin, qsizetype(own->end - own->begin)};
    }
    // A field whose own text is its CSV text: no quote, no comma; found after the
    // fields before it.
    const QByteArrayView csv = csvLine(row).chopped(2); // without CR LF
    qsizetype begin = 0;
    for (qsizetype before = 0; before < column; ++before) {
        begin = csvFieldEnd(csv, begin) + 1;
    }
    return csv.sliced(begin, csvFieldEnd(csv, begin) - begin);
}

ExportRows ExportRows::picked(const std::vector<qsizetype> &positions) &&
{
    ExportRows rows;
    rows.m_rows.reserve(positions.size());
    for (const qsizetype row : positions) {
        rows.m_rows.push_back(m_rows[size_t(row)]);
    }
    rows.m_text = std::move(m_text);
    rows.m_fields = m_fields;
    rows.m_ownText = std::move(m_ownText);
    rows.m_own = std::move(m_own);
    rows.m_rowStart = rows.m_fields;
    rows.m_lineStart = rows.m_text.size();
    *this = ExportRows();
    return rows;
}

ExportTable exportTable(const SearchWindow &window)
{
    // The ingredient window's records are the products of the combination it shows,
    // with the drug window's fields; the others list their own records.
    const bool ingredients = window.design().sqlWindow == Db::SqlText::Window::Ingredients;
    const SearchWindowDesign design = ingredients ? frmDrugs::windowDesign() : window.design();
    ExportTable table;

    // Every record of the table in one statement, then the list's keys in its order.
    // A grid row that shows no column of the table (one worked out from other tables)
    // is left out.
    // The list's keys by value, each with its line; a record no line shows is not kept.
    const KeyList &keys = *window.lstSearchID();
    std::vector<std::pair<qint64, qsizetype>> lines;
    lines.reserve(size_t(keys.count()));
    for (int i = 0; i < keys.count(); ++i) {
        lines.emplace_back(keys.key(i), i);
    }
    std::sort(lines.begin(), lines.end());
    ExportRows records;
    std::vector<qsizetype> recordOfLine(lines.size(), -1);
    {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::allRecords(design.sqlWindow));
        Db::RowSetCloser closer(rowSet);
        const int key = rowSet.fieldIndex(QStringLiteral("ID"));
        QVector<int> columns;
        for (const DetailRowDesign &row : design.rows) {
            if (Common::runSkippingFailure([&] { columns << rowSet.fieldIndex(row.field); })) {
                table.header << row.caption;
            }
        }
        // Kept fields the grid shows within another row (the NDA row names the
        // application's kind) or not at all; a database without them has no such columns.
        const std::pair<QString, QString> kept[]
            = {{QString(Schema::Products::ApplicationType), QStringLiteral("Application Type")},
               {QString(Schema::Products::ApplicantShortName), QStringLiteral("Applicant (short name)")}};
        for (const auto &[field, caption] : kept) {
            int index = -1;
            if (Common::runSkippingFailure([&] { index = rowSet.fieldIndex(field); }) && !columns.contains(index)) {
                columns << index;
                table.header << caption;
            }
        }
        records.m_rows.reserve(lines.size());
        QByteArray scratch;
        while (!rowSet.eof()) {
            const qint64 id = rowSet.fieldInt64(key);
            auto line = std::lower_bound(lines.cbegin(), lines.cend(), std::pair{id, qsizetype(0)});
            if (line != lines.cend() && line->first == id) {
                for (const int column : columns) {
                    records.addField(rowSet.fieldUtf8(column, scratch));
                }
                records.endRow();
                for (; line != lines.cend() && line->first == id; ++line) {
                    recordOfLine[size_t(line->second)] = records.size() - 1;
                }
                // The text's room, once a few records tell how long one is.
                if (records.size() == 256) {
                    records.m_text.reserve(records.m_text.size() / 256 * lines.size() * 9 / 8);
                }
            }
            rowSet.moveNext();
        }
    }
    std::vector<qsizetype> positions;
    positions.reserve(recordOfLine.size());
    for (const qsizetype record : recordOfLine) {
        if (record >= 0) {
            positions.push_back(record);
        }
    }
    table.rows = std::move(records).picked(positions);
    return table;
}

QString writeCsv(const QString &path, const ExportTable &table, const std::function<bool(int rows)> &progress)
{
    return writeWholeFile(path, [&](QSaveFile &file) {
        // Lines gathered into blocks of about this size, each written in one call. Below
        // the file's own buffer: a write the disk cuts short is then reported by the
        // flush in the system's words ("No space left on device"), not as an unknown error.
        constexpr qsizetype BlockSize = 8 * 1024;
        std::string block;
        block.reserve(BlockSize + 4096);
        const auto headerLine = [&] {
            ExportRows header;
            header.append(table.header);
            return header;
        }();
        const auto appendLine = [&](QByteArrayView line) { block.append(line.data(), size_t(line.size())); };
        appendLine(headerLine.csvLine(0));
        const ExportRows &rows = table.rows;
        for (qsizetype row = 0; row < rows.size(); ++row) {
            appendLine(rows.csvLine(row));
            if (qsizetype(block.size()) >= BlockSize) {
                file.write(block.data(), qsizetype(block.size()));
                block.clear(); // keeps its room
            }
            if ((row + 1) % 1000 == 0 && progress && !progress(int(row + 1))) {
                return QStringLiteral("The export was cancelled.");
            }
        }
        file.write(block.data(), qsizetype(block.size()));
        return QString(); // the file keeps a failed write, which its finishing reports
    });
}

QString recordHtml(const SearchWindow &window)
{
    const Components::VbalGrid &grid = *window.vbalGrid();
    const SearchWindowDesign &design = window.design();
    QString html
        = QStringLiteral("<h2>%1</h2><table cellpadding=\"4\">").arg(window.lblTradeName()->text().toHtmlEscaped());
    for (int r = 1; r <= grid.rowCount(); ++r) {
        const QString caption = design.captionColumn > 0 && design.captionColumn != design.valueColumn
            ? grid.cellText(r, design.captionColumn)
            : QString();
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(caption.toHtmlEscaped(), grid.cellText(r, design.valueColumn).toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

} // namespace Search
