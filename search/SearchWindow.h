#pragma once

#include "search/AdvancedSearch.h"
#include "search/LineDetails.h"
#include "components/BackdropWidget.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "components/VbalImageList.h"

#include <QHash>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
namespace Components {
class VbalGrid;
}

namespace Search {

class AdvancedPanel;
class HitList;
class TypingSearch;
class KeyList;
class WindowHost;

// The longest text a search takes (the search box and each advanced-panel row).
constexpr int MaxSearchText = 1000;

// One column of a details grid.
struct GridColumnDesign
{
    QString key;
    QString header;
    int width = 100;
    bool fixedWidth = false;
    bool inSelection = true;
};

// One fixed row of a record window's details grid: its caption, the field its value
// cell shows, its icon number, whether a double click follows it (the information
// icon), and the help text the strip shows for it.
struct DetailRowDesign
{
    QString caption;
    QString field;
    int icon = 0;
    bool followable = false;
    QString helpText;
};

// How the help strip under the grid behaves.
enum class HelpStrip {
    RowHelp, // no row: the general hint with its icon; a detail row: that row's help text
    HintOnEveryRow, // the general hint with its icon on every row change
    HintOnPointer, // the hint with its icon once the pointer moves over the grid
};

// Everything in which one search window differs from another.
struct SearchWindowDesign
{
    QString caption;
    Db::SqlText::Window sqlWindow = Db::SqlText::Window::Drugs;
    // The field that fills lstSearch, and the key field that fills lstSearchID beside
    // it (empty: the hit list carries no keys and lstSearchID is the window's own).
    QString listField;
    QString keyField = QStringLiteral("ID");
    // Reads what tells lines of one name apart (none: the lines show their names alone).
    LineDetailReader lineDetails;

    // The image list, picture number 1 first (resource paths), and imgTooltip's picture.
    QStringList images;
    QString tooltipImage;

    QVector<GridColumnDesign> columns;
    int iconColumn = 1;
    int captionColumn = 2;
    int infoColumn = 0; // 0: no information-icon column
    int valueColumn = 0;
    int infoImage = 1;
    QVector<DetailRowDesign> rows;

    HelpStrip helpStrip = HelpStrip::RowHelp;
    QString hint;
    // The strip starts right of imgTooltip instead of under it.
    bool tooltipBesideIcon = false;

    AdvancedSearch::RowDesigns parameterRows;

    // The shown record stays through a new search (its title names what it shows, so it
    // never looks as if it belonged to the new list).
    bool recordOutlivesSearch = false;
};

// The fields of one record, found by name whatever the letter case.
class RecordValues
{
public:
    void insert(const QString &field, const QVariant &value) { m_values.insert(field.toLower(), value); }
    bool contains(const QString &field) const { return m_values.contains(field.toLower()); }
    // The value (Null when the record lacks the field).
    QVariant value(const QString &field) const { return m_values.value(field.toLower()); }
    // The value as a title or a line uses it: Null is empty text.
    QString text(const QString &field) const;

private:
    QHash<QString, QVariant> m_values;
};

// What the six lookup windows share: the controls (with their design names), the
// layout, the quick search, the advanced search, the hit selection, the details fill
// and the help strip. A window describes itself with a SearchWindowDesign and
// overrides what it does differently.
//
// Other windows reach a window's controls directly through the accessors below
// (the text of txtSearch and of a parameter row, a row's tick, the selected hit,
// the panel's visibility); setting lstSearch's current row from code shows that hit.
class SearchWindow : public Components::BackdropWidget
{
    Q_OBJECT

public:
    ~SearchWindow() override;

    QLineEdit *txtSearch() const { return m_txtSearch; }
    QPushButton *cmdSearch() const { return m_cmdSearch; }
    QPushButton *Command1() const { return m_Command1; }
    // "Results while typing": the list follows each key typed into the search box.
    QCheckBox *chkTyping() const { return m_chkTyping; }
    TypingSearch *typingSearch() const { return m_typing; }
    HitList *lstSearch() const { return m_lstSearch; }
    KeyList *lstSearchID() const { return m_lstSearchID; }
    QLabel *lblSearch() const { return m_lblSearch; }
    QLabel *lblTradeName() const { return m_lblTradeName; }
    Components::VbalGrid *vbalGrid() const { return m_vbalGrid; }
    const Components::VbalImageList &vbalImageList() const { return m_vbalImageList; }
    QLabel *lblWait() const { return m_lblWait; }
    AdvancedPanel *picAdvanced() const { return m_picAdvanced; }
    QLabel *lblTooltip() const { return m_lblTooltip; }
    QLabel *imgTooltip() const { return m_imgTooltip; }
    QCheckBox *chkParam(int i) const;
    QLineEdit *txtParam(int i) const;
    QLabel *lblParam(int i) const;

    // Blanks the value cell of every detail row; captions, icons and the title stay.
    virtual void EmptyTheGrid();
    // Shows no record: the value cells blanked and the title cleared. Every search and
    // navigation that leaves no line of its list selected ends here, so no record
    // stays beside a list it may not belong to.
    virtual void clearShownRecord();
    // Empties the hit list together with its count and the search text that made it.
    void clearHitList();

    // The context menus of the hit list (for line `position`) and of the grid (for
    // `row`, from 1): Copy, Copy record and, in the grid, the step a double click on
    // the row takes.
    std::unique_ptr<QMenu> listMenu(int position);
    std::unique_ptr<QMenu> gridMenu(int row);
    // Every grid row that holds a value, as "Caption: value" lines.
    QString recordText() const;
    // Writes the hit list with every record's details to a CSV file the user chooses
    // (Ctrl+S, or the context menus); a long list shows its progress and can be
    // cancelled, a failed write says why.
    void exportList();
    // The shown record through the print dialog (to a printer or a PDF file).
    void printRecord();

    const SearchWindowDesign &design() const { return m_design; }
    WindowHost *host() const { return m_host; }
    // True while a search reads its result (a second one cannot start meanwhile).
    bool isSearching() const { return m_searching; }
    // True when the last search could not run; the lists then still hold what an
    // earlier search found.
    bool lastSearchFailed() const { return m_lastSearchFailed; }

    // The designed size, tall enough for every row of the details grid.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Between the hit list and the details; the user's width of the list is kept.
    QSplitter *splitter() const { return m_splitter; }

protected:
    // Builds the controls, sets up the grid and the panel's defaults (the window's load).
    SearchWindow(SearchWindowDesign design, WindowHost *host, QWidget *parent);

    // The quick search on the text of txtSearch ("Search", Enter, PressFindButton).
    void quickSearch();
    // The advanced search on the panel as it stands ("FIND", PressAdvancedSearchButton).
    void advancedSearch();
    // Lists the hits of a statement the window builds itself (no search text, no panel
    // row made it): the count line reads "N Item(s) Found: " and `how`, which says what
    // the list holds. False when it could not run (the count line says why).
    bool listHits(const QString &sql, const QString &how);
    // Fills the value cells and the title for one record key (GetProductDetails of the
    // record windows). Every failing step is skipped; a key without a record changes nothing.
    void fillRecordDetails(qint32 id);
    // The frame of every details fill: the grid hidden (the wait label shows) and the hit
    // list disabled while `fill` runs; any error it raises is swallowed; then the list is
    // enabled and focused and the grid shown again. `fill` must close the row set it opens
    // (RowSetCloser) and run no window messages.
    void runDetailsFill(const std::function<void()> &fill);

    // Sets the icon, information icon and caption of design row `r` (from 1), creating it.
    void setupGridRow(int r);

    // The title of a shown record; nullopt leaves the title as it is.
    virtual std::optional<QString> detailsTitle(const RecordValues &record) const;
    // What choosing hit `position` shows; by default the record of its key.
    virtual void showHit(int position);
    // A double click in the grid (row and column from 1). Nothing by default.
    virtual void vbalGrid_DblClick(int row, int column);
    // What a double click on grid row `row` does, as a menu item ("Show ..."); empty
    // when it does nothing.
    virtual QString followCaption(int row) const;

    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Event handlers, named after the control and the event.
    void txtSearch_KeyUp(int keyCode);
    void txtSearch_TextEdited(const QString &text);
    void cmdSearch_Click();
    void Command1_Click();
    void lstSearch_Click();
    void lstSearch_MouseMove();
    void vbalGrid_MouseMove();
    void vbalGrid_RowChange(int row, int column);
    void cmdAdvancedSearch_Click();
    void cmdAdvancedCancel_Click();

private:
    void createControls();
    void setupGrid();
    void layoutControls();
    void layoutListPane();
    void layoutDetailsPane();
    // The list's width as the user left it (per window, in the user's settings).
    void restoreSplitter();
    // The hits of one statement (the same statement again: its list as read before).
    // Once the statement has run, the window's old lists go before the new one is built.
    Db::SharedListRows readHits(const QString &sql);
    RecordValues readRecord(const QString &sql, bool *found) const;
    // The lines of `read` in natural order (numbers as numbers).
    Db::SharedListRows inOrder(const Db::SharedListRows &read);
    // Runs one search into the hit lists; false (with the reason in lblSearch) when it failed.
    bool runSearch(const QString &sql, QString *failure);
    // Shows a search's hits in both lists, with their count (no line selected). With
    // `sameLinesStay`, the very lines the list shows, none chosen, are left laid out.
    void showHits(Db::SharedListRows hits, bool sameLinesStay = false);
    // The check box of the typing option, beside the quick search (SearchWindowTyping.cpp).
    void createTypingOption();
    // The lines the typed text is found among, read once (the wait label shows meanwhile);
    // false, with the reason in lblSearch, when they could not be read.
    bool ensureNameIndex();
    // Whether the quick search matches the lines as they show (the exclusivity list's
    // lines add the application to the code searched).
    bool searchesItsLines() const;
    // While the wait label shows, drawn at once: a step that blocks the window for long.
    void showWait(bool shown);
    // Whether a search may keep the window from answering for long (the table holds
    // hundreds of thousands of lines), so the wait label should show meanwhile.
    bool expectsLongSearch() const;
    // A list this long is laid out while the wait label shows.
    static constexpr int LongList = 200'000;
    void showGeneralHint();
    // Hides the advanced panel; a keyboard focus inside it moves to `nextFocus`.
    void hideAdvancedPanel(QWidget *nextFocus);

    SearchWindowDesign m_design;
    WindowHost *m_host = nullptr;

    QSplitter *m_splitter = nullptr;
    QWidget *m_listPane = nullptr;
    QWidget *m_detailsPane = nullptr;
    QTimer m_saveSplitter;
    QLineEdit *m_txtSearch = nullptr;
    QPushButton *m_cmdSearch = nullptr;
    QPushButton *m_Command1 = nullptr;
    QCheckBox *m_chkTyping = nullptr;
    TypingSearch *m_typing = nullptr;
    HitList *m_lstSearch = nullptr;
    KeyList *m_lstSearchID = nullptr;
    QLabel *m_lblSearch = nullptr;
    QLabel *m_lblTradeName = nullptr;
    Components::VbalGrid *m_vbalGrid = nullptr;
    Components::VbalImageList m_vbalImageList;
    QLabel *m_lblWait = nullptr;
    AdvancedPanel *m_picAdvanced = nullptr;
    QLabel *m_lblTooltip = nullptr;
    QLabel *m_imgTooltip = nullptr;

    Db::SharedListRows m_lastRead;
    Db::SharedListRows m_lastOrdered;
    int m_longestList = 0; // the most lines a search of this window has listed
    bool m_searching = false;
    bool m_lastSearchFailed = false;
};

} // namespace Search
