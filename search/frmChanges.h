#pragma once

#include "components/BackdropWidget.h"
#include "data/ReleaseComparison.h"
#include "search/RecordExport.h"

#include <vector>

class QLabel;
class QListWidget;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace Search {

class WindowHost;

// "Changes": what changed from the older release the database was compared with to its
// own. The kinds of change with their counts as a list (all changes first); the changes
// of the chosen kind with their old and new values. A change leads to the product,
// patent or exclusivity record of the newer release (double click or Enter); a removed
// record has none, and the window says so. Ctrl+S exports the changes shown. A database
// imported without an older release holds no changes: the window says how to make one.
class frmChanges : public Components::BackdropWidget
{
    Q_OBJECT

public:
    explicit frmChanges(WindowHost *host, QWidget *parent = nullptr);

    // Whether the database holds the changes (else the window says how to make them).
    bool hasChanges() const { return m_present; }
    QLabel *lblReleases() const { return m_releases; }
    QListWidget *lstKinds() const { return m_kinds; }
    QLabel *lblChanges() const { return m_changesCount; }
    QTreeWidget *lstChanges() const { return m_changes; }
    // What the last change followed led to, or why it led nowhere.
    QLabel *lblMessage() const { return m_message; }

    // The kinds as the list holds them (row 0 is every change, kind empty).
    const std::vector<Db::ReleaseComparison::KindCount> &kinds() const { return m_kindCounts; }
    // The changes of the chosen kind as a table (what the export writes).
    ExportTable changesTable() const;
    // Writes changesTable() to `path`; empty text on success, else why it failed.
    QString exportTo(const QString &path) const;
    // Asks for a CSV file and exports the changes shown to it.
    void exportList();
    // Shows the newer release's record of a change in its lookup window.
    void followChange(QTreeWidgetItem *item);

    // The widths of the changes' columns in `available` pixels, from the widths their
    // contents want; the first `whole` of them are shown whole.
    static std::vector<int> fitColumns(const std::vector<int> &wanted, size_t whole, int available);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void readKinds();
    void showKind(int row);
    // Only the message and the labels above it, at the top: nothing to list.
    void showMessageOnly();
    // Sizes the changes' columns to the list's width (again when it changes).
    void fitColumnsToView();
    // Gives the kinds their width (within 30% of the window) until the user moves
    // the line between the two lists.
    void fitKindsToWindow();

    WindowHost *m_host;
    bool m_present = false;
    QLabel *m_releases = nullptr;
    QSplitter *m_splitter = nullptr;
    QListWidget *m_kinds = nullptr;
    QLabel *m_changesCount = nullptr;
    QTreeWidget *m_changes = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_kindsCaption = nullptr;
    Db::ReleaseComparison::Releases m_dates;
    std::vector<Db::ReleaseComparison::KindCount> m_kindCounts;
    std::vector<Db::ReleaseComparison::Change> m_shown;
    int m_kindsWidth = -1; // the kinds' longest line, -1 once the user chose the widths
    int m_fittedWidth = -1; // the list's width the columns were last fitted to
};

} // namespace Search
