// A search window's searches (quick and advanced, into the hit lists) and the record
// a chosen hit shows in the details grid.

#include "search/SearchWindow.h"

#include "common/AppError.h"
#include "data/Database.h"
#include "search/AdvancedPanel.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/NaturalOrder.h"
#include "search/TypingSearch.h"
#include "components/VbalGrid.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace Search {

namespace {

const QString ItemsFound = QStringLiteral(" Item(s) Found");

// Longer than any value a search can mean (the longest definition is 663 characters),
// short enough that no pattern, however made, slows a search down or grows beyond
// what the database takes.
QString tooLong(const QString &what)
{
    return QStringLiteral("%1 is too long to search for: at most %2 characters.").arg(what).arg(MaxSearchText);
}

} // namespace

Db::SharedListRows SearchWindow::readHits(const QString &sql)
{
    // A Null list field is an empty line, so the key list stays parallel.
    return Db::readSharedList(sql, m_design.listField, m_design.keyField, [this] {
        // The new list is whole: the old lists go. A failed read leaves them as they were.
        if (!m_design.keyField.isEmpty()) {
            m_lstSearchID->clear();
        }
        m_lstSearch->clear();
    });
}

Db::SharedListRows SearchWindow::inOrder(const Db::SharedListRows &read)
{
    // A statement run again gives the list read before: its order is known too.
    if (!read || read != m_lastRead) {
        m_lastRead = read;
        m_lastOrdered = inNaturalOrder(read);
    }
    return m_lastOrdered;
}

bool SearchWindow::runSearch(const QString &sql, QString *failure)
{
    // The search runs from the query to the filled list without letting a single window
    // message through, so no click or key can start a second query meanwhile (and calls
    // from code are turned away while m_searching is set). The window therefore needs no
    // disabling: a search of every product takes a few tens of milliseconds, and a
    // disabled window would only flicker.
    m_searching = true;
    // The list a key started is no longer wanted: this one replaces it.
    m_typing->cancel();
    // A search of a large table takes more than a blink: the wait label says so.
    const bool wait = expectsLongSearch();
    if (wait) {
        showWait(true);
    }

    Db::SharedListRows hits;
    bool ok = false;
    try {
        hits = inOrder(readHits(sql));
        ok = true;
    } catch (const Common::AppError &error) {
        *failure = error.description();
    } catch (const std::exception &error) {
        *failure = QString::fromLocal8Bit(error.what());
    }

    if (ok) {
        showHits(std::move(hits));
    }
    if (wait) {
        showWait(false);
    }
    if (!ok) {
        m_lblSearch->setText(QStringLiteral("Search failed: ") + *failure);
        m_lblSearch->setToolTip(*failure);
    }

    m_searching = false;
    m_lastSearchFailed = !ok;
    return ok;
}

void SearchWindow::showHits(Db::SharedListRows hits, bool sameLinesStay)
{
    const int lineCount = hits->count();
    m_longestList = std::max(m_longestList, lineCount);
    if (sameLinesStay && hits == m_lstSearch->rows() && !m_lstSearch->selectionModel()->currentIndex().isValid()
        && m_lstSearch->currentRow() < 0) {
        // The very lines shown, none chosen: the list stays as it is laid out.
        hits.reset();
    }
    // Millions of lines take the list a while to lay out: done here, under the wait
    // label, instead of later in the event loop with nothing to say why.
    const bool wait = hits && lineCount >= LongList;
    if (wait && !m_lblWait->isVisible()) {
        showWait(true);
    }
    if (hits && !m_design.keyField.isEmpty()) {
        m_lstSearchID->setRows(hits); // the same rows: the keys are not copied
    }
    // The reset leaves no line selected: no record is shown until one is chosen.
    if (hits) {
        m_lstSearch->setRows(std::move(hits));
        if (lineCount >= LongList) {
            m_lstSearch->doItemsLayout();
        }
    }
    if (wait) {
        showWait(false);
    }
    m_lblSearch->setText(QString::number(lineCount) + ItemsFound);
    m_lblSearch->setToolTip(QString());
    if (!m_design.recordOutlivesSearch) {
        clearShownRecord();
    }
}

bool SearchWindow::expectsLongSearch() const
{
    // Until the window has listed its whole table once, the file's size tells: a table of
    // a million lines and more lies in a file of hundreds of megabytes.
    constexpr qint64 LargeFile = 128 * 1024 * 1024;
    return m_longestList >= LongList || QFileInfo(Db::Connection::shared().filePath()).size() >= LargeFile;
}

void SearchWindow::quickSearch()
{
    if (m_searching) {
        return;
    }
    if (m_txtSearch->text().size() > MaxSearchText) {
        m_lblSearch->setText(tooLong(QStringLiteral("The search text")));
        m_lblSearch->setToolTip(QString());
        return;
    }
    QString failure;
    runSearch(Db::SqlText::nameSearch(m_design.sqlWindow, m_txtSearch->text()), &failure);
}

void SearchWindow::advancedSearch()
{
    if (m_searching) {
        return;
    }
    const QVector<AdvancedSearch::Row> rows = m_picAdvanced->rows();
    if (!AdvancedSearch::anyTicked(rows)) {
        m_picAdvanced->showMessage(QStringLiteral("Tick at least one field to search by, then press FIND."));
        return;
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).ticked && rows.at(i).text.size() > MaxSearchText) {
            m_picAdvanced->showMessage(
                tooLong(QStringLiteral("The text of \"%1\"").arg(m_picAdvanced->lblParam(i)->text())));
            return;
        }
    }
    m_picAdvanced->showMessage(QString());
    const QString sql = AdvancedSearch::statement(m_design.sqlWindow, rows, m_picAdvanced->matchOption(),
                                                  m_picAdvanced->joinOption());
    QString failure;
    if (runSearch(sql, &failure)) {
        // The search box's text played no part in this list.
        m_txtSearch->clear();
        hideAdvancedPanel(m_lstSearch->count() > 0 ? static_cast<QWidget *>(m_lstSearch) : m_txtSearch);
    } else {
        m_picAdvanced->showMessage(QStringLiteral("Search failed: ") + failure);
    }
}

bool SearchWindow::listHits(const QString &sql, const QString &how)
{
    if (m_searching) {
        return false;
    }
    QString failure;
    if (!runSearch(sql, &failure)) {
        return false;
    }
    m_txtSearch->clear(); // no typed text played a part in this list
    m_lblSearch->setText(m_lblSearch->text() + QStringLiteral(": ") + how);
    m_lblSearch->setToolTip(m_lblSearch->text());
    return true;
}

// ---------------------------------------------------------------- hits and details

void SearchWindow::lstSearch_Click()
{
    const int position = m_lstSearch->currentRow();
    if (position < 0) {
        return;
    }
    m_picAdvanced->hide();
    showHit(position);
}

void SearchWindow::showHit(int position)
{
    const qint64 key = m_lstSearchID->key(position);
    if (key != Db::ListRows::NoKey && key == qint32(key)) {
        fillRecordDetails(qint32(key));
    }
}

RecordValues SearchWindow::readRecord(const QString &sql, bool *found) const
{
    RecordValues record;
    Db::RowSet &rowSet = Db::openSharedQuery(sql);
    Db::RowSetCloser closer(rowSet);
    *found = !rowSet.eof();
    if (*found) {
        for (const DetailRowDesign &row : m_design.rows) {
            // A column the result lacks leaves its cell as it was.
            Common::runSkippingFailure([&] { record.insert(row.field, rowSet.field(row.field)); });
        }
    }
    return record;
}

void SearchWindow::runDetailsFill(const std::function<void()> &fill)
{
    // No window message runs during a fill (a fill takes well under a millisecond), so
    // nothing can reach the hit list meanwhile and the wait label could never be seen:
    // the list is not disabled nor the grid hidden, which would only send the keyboard
    // focus (and a screen reader with it) wandering.
    const quint64 readFailures = Db::Connection::shared().readFailureCount();
    Common::runSkippingFailure(fill);
    if (Db::Connection::shared().readFailureCount() != readFailures) {
        // A record read in part is not shown as if it were whole: the title says why.
        clearShownRecord();
        m_lblTradeName->setText(Db::Connection::shared().lastReadFailure());
    }
    m_lstSearch->setFocus();
}

void SearchWindow::fillRecordDetails(qint32 id)
{
    runDetailsFill([&] {
        bool found = false;
        const RecordValues record = readRecord(Db::SqlText::details(m_design.sqlWindow, id), &found);
        if (!found) {
            return;
        }
        for (int r = 1; r <= m_design.rows.size(); ++r) {
            const QString &field = m_design.rows.at(r - 1).field;
            if (record.contains(field)) {
                Common::runSkippingFailure([&] {
                    m_vbalGrid->setCell(r, m_design.valueColumn, record.text(field), Components::CellFlags::TextCell);
                });
            }
        }
        if (const std::optional<QString> title = detailsTitle(record)) {
            m_lblTradeName->setText(*title);
        }
    });
}

std::optional<QString> SearchWindow::detailsTitle(const RecordValues &) const
{
    return std::nullopt;
}

void SearchWindow::clearShownRecord()
{
    EmptyTheGrid();
    m_lblTradeName->clear();
}

void SearchWindow::clearHitList()
{
    m_typing->cancel();
    m_lstSearch->clear();
    m_lblSearch->clear();
    m_lblSearch->setToolTip(QString());
    m_txtSearch->clear();
}

void SearchWindow::EmptyTheGrid()
{
    // A row the grid does not have holds nothing: setting its cell would add it (and a
    // window that shows such rows only with a record would take it away again, the grid
    // redrawn whole on every search).
    const int rows = std::min(int(m_design.rows.size()), m_vbalGrid->rowCount());
    const int column = m_design.valueColumn;
    for (int r = 1; r <= rows; ++r) {
        // An empty cell is left as it is: setting it fits its row's height again.
        if (m_vbalGrid->cellText(r, column).isEmpty()
            && m_vbalGrid->cellFlags(r, column) == Components::CellFlags::TextCell
            && m_vbalGrid->cellIcon(r, column) < 0) {
            continue;
        }
        m_vbalGrid->setCell(r, column, QString(), Components::CellFlags::TextCell);
    }
}

} // namespace Search
