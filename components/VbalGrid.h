#pragma once

#include <QWidget>

class QAbstractItemView;
class QTableWidgetItem;

namespace Components {

class VbalImageList;

// Text-drawing flags a grid cell carries (the platform's values, so callers can pass
// the numbers they are used to).
namespace CellFlags {
constexpr int Center = 0x1;
constexpr int Right = 0x2;
constexpr int VCenter = 0x4;
constexpr int Bottom = 0x8;
constexpr int WordBreak = 0x10;
constexpr int SingleLine = 0x20;
constexpr int EndEllipsis = 0x8000;
constexpr int WordEllipsis = 0x40000;

// Icon cells: one line, cut with an ellipsis.
constexpr int IconCell = SingleLine | WordEllipsis; // 0x40020
// Caption and value cells: wrapped over as many lines as they need, centred vertically.
constexpr int TextCell = WordBreak | VCenter; // 20
} // namespace CellFlags

// How a cell's flags are drawn: alignment, wrapping and where an over-long line is cut.
struct CellTextLayout
{
    Qt::Alignment alignment;
    bool wrap;
    Qt::TextElideMode elide;
};
CellTextLayout cellTextLayout(int flags);

// The details grid of the search windows: columns added by key, cells set by row and
// column counted from 1 (setting a cell creates its row), each cell holding a text,
// text-drawing flags and an icon from the attached image list.
//
// Look: whole-row selection, grid lines, navy text on pale blue rows, the current row
// light orange (with or without the focus), Times New Roman bold 8.25 pt, a 30-pixel
// header, and rows sized to their content but never lower than a 32-pixel icon needs.
class VbalGrid : public QWidget
{
    Q_OBJECT

public:
    explicit VbalGrid(QWidget *parent = nullptr);
    ~VbalGrid() override;

    // The pictures that cells show by index (the list's 0-based item index). The
    // list is not owned and must outlive the grid.
    void setImageList(const VbalImageList *imageList);

    // Adds a column at the right end and returns its number (from 1). A fixed-width
    // column cannot be resized by the user; a column out of the selection keeps its
    // normal colours when its row is selected.
    int addColumn(const QString &key, const QString &header, int widthPixels, bool fixedWidth = false,
                  bool includeInSelection = true);
    int columnCount() const;
    // The number of the column with that key (case ignored), 0 when there is none.
    int columnIndex(const QString &key) const;
    QString columnHeader(int column) const;
    void setColumnHeader(int column, const QString &header);

    // Sets a cell's text, flags and icon (an image-list item index, -1 for none);
    // rows up to `row` are created when missing. Throws AppError for a column that
    // does not exist or a row below 1.
    void setCell(int row, int column, const QString &text, int flags, int iconIndex = -1);
    // The text of a cell; empty for a cell never set. Throws AppError outside the grid.
    QString cellText(int row, int column) const;
    int cellFlags(int row, int column) const;
    int cellIcon(int row, int column) const;
    // What a screen reader says for a cell (an icon cell has no text of its own).
    void setCellAccessibleText(int row, int column, const QString &text);
    // A second line under a text cell's text, in a quieter colour (empty: none). The
    // cell's text stays what cellText gives; a screen reader hears what
    // setCellAccessibleText says.
    void setCellDetail(int row, int column, const QString &detail);
    QString cellDetail(int row, int column) const;

    int rowCount() const;
    // Adds blank rows at the end, or removes rows from the end, in one step (cheaper than
    // letting setCell create a long run of rows one at a time).
    void setRowCount(int rows);
    // Removes every row; the columns stay.
    void removeAllRows();

    // Off: nothing is painted and row heights are not recomputed until redraw is on again.
    void setRedraw(bool on);

    // The current row (from 1), 0 when there is none.
    int currentRow() const;

    // The column (from 1) the keyboard's current cell keeps to as the arrows move it and
    // where it lands when the grid takes the focus (the value column: the one a row is
    // read and copied by); 0 lets it move over every column.
    void setKeyboardColumn(int column);
    // What a screen reader announces as row `row`'s header (the header is not drawn).
    void setRowHeader(int row, const QString &text);
    // The height that shows the header and every row without scrolling.
    int fullHeight() const;

    // The item view inside, for keyboard and mouse work in tests and for accessibility.
    QAbstractItemView *itemView() const;

signals:
    // The current row changed; row 0 means no row.
    void currentRowChanged(int row, int column);
    // The pointer moved over the grid (x and y in the grid's own pixels).
    void pointerMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    // A cell was double-clicked.
    void cellDoubleClicked(int row, int column);
    // Copy (Ctrl+C: the row's value; Ctrl+Shift+C: the whole record) on the current row.
    void copyRequested(int row, bool wholeRecord);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class View;
    class Delegate;
    friend class Delegate;

    void checkCell(int row, int column, const char *source) const;
    // A blank cell for a column (from 0), selectable when the column is in the selection.
    QTableWidgetItem *newCell(int column0) const;
    // The cell at a checked position; nullptr on a row not created yet.
    QTableWidgetItem *existingCell(int row, int column) const;
    void fitRowHeight(int row);
    void fitRowHeights();
    bool columnInSelection(int column0) const;

    View *m_view = nullptr;
    Delegate *m_delegate = nullptr;
    const VbalImageList *m_imageList = nullptr;
    QStringList m_keys;
    QList<bool> m_inSelection;
    bool m_redraw = true;
    int m_hotRow = -1;
    int m_lastReportedRow = 0;
    int m_keyboardColumn = 0;
};

} // namespace Components
