#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace Search {

class SearchWindow;

// A hit list with the details of every record, as a table: the details grid's
// captions as the header, one row per line of the list, in the list's order.
struct ExportTable
{
    QStringList header;
    QVector<QStringList> rows;
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
