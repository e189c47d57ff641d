#include "search/RecordExport.h"

#include "common/AppError.h"
#include "components/VbalGrid.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "search/KeyList.h"
#include "search/SearchWindow.h"
#include "search/WholeFile.h"
#include "search/frmDrugs.h"

#include <QHash>
#include <QLabel>
#include <QSaveFile>

#include <algorithm>

namespace Search {

namespace {

QString csvField(const QString &text)
{
    // A spreadsheet runs a cell that begins with one of these as a formula
    // ("=HYPERLINK(...)" in a crafted listing): an apostrophe first makes it text.
    static const QString formulaStart = QStringLiteral("=+-@\t\r");
    const QString value = !text.isEmpty() && formulaStart.contains(text.front()) ? QLatin1Char('\'') + text : text;
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(value.cbegin(), value.cend(), [](QChar c) { return special.contains(c); })) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString &field : fields) {
        quoted << csvField(field);
    }
    return (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace

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
    QHash<qint64, QStringList> records;
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
            = {{QStringLiteral("Application Type"), QStringLiteral("Application Type")},
               {QStringLiteral("Applicant"), QStringLiteral("Applicant (short name)")}};
        for (const auto &[field, caption] : kept) {
            int index = -1;
            if (Common::runSkippingFailure([&] { index = rowSet.fieldIndex(field); }) && !columns.contains(index)) {
                columns << index;
                table.header << caption;
            }
        }
        while (!rowSet.eof()) {
            QStringList values;
            values.reserve(columns.size());
            for (const int column : columns) {
                values << Db::fieldText(rowSet.field(column));
            }
            records.insert(rowSet.field(key).toLongLong(), values);
            rowSet.moveNext();
        }
    }
    const KeyList &keys = *window.lstSearchID();
    table.rows.reserve(keys.count());
    for (int i = 0; i < keys.count(); ++i) {
        if (const auto record = records.constFind(keys.key(i)); record != records.cend()) {
            table.rows << *record;
        }
    }
    return table;
}

QString writeCsv(const QString &path, const ExportTable &table, const std::function<bool(int rows)> &progress)
{
    return writeWholeFile(path, [&](QSaveFile &file) {
        file.write(csvLine(table.header));
        int written = 0;
        for (const QStringList &row : table.rows) {
            file.write(csvLine(row));
            if (++written % 1000 == 0 && progress && !progress(written)) {
                return QStringLiteral("The export was cancelled.");
            }
        }
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
