#include "components/VbalGrid.h"

#include "common/AppError.h"
#include "common/ErrorNumbers.h"
#include "components/AppFonts.h"
#include "components/CellDetail.h"
#include "components/ComponentStyle.h"
#include "components/QuietFocusView.h"
#include "components/VbalImageList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Components {

namespace {

constexpr int FlagsRole = Qt::UserRole + 1;
constexpr int IconIndexRole = Qt::UserRole + 2;
constexpr int DetailRole = Qt::UserRole + 3;

constexpr int HeaderHeight = 30;
constexpr int IconSize = 32;
constexpr int MinimumRowHeight = IconSize + 6;
constexpr int TextPadding = 4;

const QColor TextColor(0, 0, 128);
const QColor RowColor(242, 242, 255);
const QColor SelectedRowColor(255, 224, 192);
const QColor HotRowColor(255, 240, 226);
const QColor GridLineColor(200, 200, 222);

QString gridSource(const char *operation)
{
    return QStringLiteral("vbalGrid.") + QLatin1String(operation);
}

} // namespace

CellTextLayout cellTextLayout(int flags)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (flags & CellFlags::Center) {
        horizontal = Qt::AlignHCenter;
    } else if (flags & CellFlags::Right) {
        horizontal = Qt::AlignRight;
    }
    const bool singleLine = flags & CellFlags::SingleLine;
    Qt::Alignment vertical = Qt::AlignTop;
    if (flags & CellFlags::VCenter) {
        vertical = Qt::AlignVCenter;
    } else if (flags & CellFlags::Bottom) {
        vertical = Qt::AlignBottom;
    } else if (singleLine) {
        vertical = Qt::AlignVCenter; // a single line sits in the middle of a tall row
    }
    const bool wrap = !singleLine && (flags & CellFlags::WordBreak);
    Qt::TextElideMode elide = Qt::ElideNone;
    if (flags & (CellFlags::WordEllipsis | CellFlags::EndEllipsis)) {
        elide = Qt::ElideRight;
    }
    return {horizontal | vertical, wrap, elide};
}

// ---------------------------------------------------------------- the view inside

class VbalGrid::View : public QuietFocusView<QTableWidget>
{
public:
    explicit View(VbalGrid *grid)
        : QuietFocusView<QTableWidget>(grid),
          m_grid(grid)
    {
    }

protected:
    // Up, Down, Page Up, Page Down, Home and End move along the keyboard column; Left
    // and Right have no other cell of the row to go to.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        const int column = m_grid->m_keyboardColumn - 1;
        if (column < 0) {
            return QTableWidget::moveCursor(action, modifiers);
        }
        if (action == MoveLeft || action == MoveRight || action == MoveNext || action == MovePrevious) {
            return currentIndex();
        }
        const QModelIndex moved = QTableWidget::moveCursor(action, modifiers);
        return moved.isValid() ? model()->index(moved.row(), column) : moved;
    }

    // A press below the last row, or Escape, leaves the grid without a current row.
    void mousePressEvent(QMouseEvent *event) override
    {
        if (!indexAt(event->position().toPoint()).isValid()) {
            leaveRows();
            setFocus(Qt::MouseFocusReason);
            return;
        }
        QTableWidget::mousePressEvent(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
        if (event->key() == Qt::Key_Escape && plain && currentIndex().isValid()) {
            leaveRows();
            return;
        }
        if (currentIndex().isValid()
            && (event->matches(QKeySequence::Copy)
                || (event->key() == Qt::Key_C && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)))) {
            emit m_grid->copyRequested(currentRow() + 1, event->modifiers().testFlag(Qt::ShiftModifier));
            return;
        }
        // Enter on a row does what a double click on it does.
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain && currentIndex().isValid()) {
            emit cellDoubleClicked(currentRow(), currentColumn());
            return;
        }
        QTableWidget::keyPressEvent(event);
    }

private:
    void leaveRows()
    {
        clearSelection();
        setCurrentIndex(QModelIndex());
    }

    VbalGrid *m_grid;
};

// ---------------------------------------------------------------- painting

class VbalGrid::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(VbalGrid *grid)
        : QStyledItemDelegate(grid),
          m_grid(grid)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        const bool selected = (option.state & QStyle::State_Selected) && m_grid->columnInSelection(index.column());
        QColor back = RowColor;
        if (selected) {
            back = SelectedRowColor;
        } else if (index.row() == m_grid->m_hotRow && m_grid->columnInSelection(index.column())) {
            back = HotRowColor;
        }
        painter->fillRect(option.rect, back);

        QRect textRect = option.rect.adjusted(TextPadding, 2, -TextPadding, -2);
        const QPixmap icon = iconFor(index);
        if (!icon.isNull()) {
            const QSize size = icon.deviceIndependentSize().toSize();
            const QPoint at(option.rect.left() + 2, option.rect.top() + (option.rect.height() - size.height()) / 2);
            painter->drawPixmap(at, icon);
            textRect.setLeft(at.x() + size.width() + TextPadding);
        }

        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty() && textRect.width() > 0) {
            const CellTextLayout layout = cellTextLayout(index.data(FlagsRole).toInt());
            painter->setFont(option.font);
            painter->setPen(TextColor);
            if (const QString detail = index.data(DetailRole).toString(); !detail.isEmpty()) {
                drawTextAndDetail(painter, textRect, layout.alignment, layout.wrap, text, detail);
            } else if (layout.wrap) {
                painter->drawText(textRect, int(layout.alignment) | Qt::TextWordWrap, text);
            } else {
                QString line = text;
                line.replace(QLatin1Char('\n'), QLatin1Char(' '));
                if (layout.elide != Qt::ElideNone) {
                    line = option.fontMetrics.elidedText(line, layout.elide, textRect.width());
                }
                painter->drawText(textRect, int(layout.alignment) | Qt::TextSingleLine, line);
            }
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(m_grid->m_view->columnWidth(index.column()), heightFor(option.fontMetrics, index));
    }

    int heightFor(const QFontMetrics &metrics, const QModelIndex &index) const
    {
        const QPixmap icon = iconFor(index);
        int height = icon.isNull() ? 0 : icon.deviceIndependentSize().toSize().height() + 4;
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty()) {
            const CellTextLayout layout = cellTextLayout(index.data(FlagsRole).toInt());
            int width = m_grid->m_view->columnWidth(index.column()) - 2 * TextPadding;
            if (!icon.isNull()) {
                width -= icon.deviceIndependentSize().toSize().width() + TextPadding;
            }
            int textHeight = metrics.height();
            if (const QString detail = index.data(DetailRole).toString(); !detail.isEmpty()) {
                textHeight = textAndDetailHeight(metrics, width, layout.wrap, text, detail);
            } else if (layout.wrap && width > 0) {
                textHeight = metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height();
            }
            height = qMax(height, textHeight + 8);
        }
        return qMax(height, MinimumRowHeight);
    }

private:
    QPixmap iconFor(const QModelIndex &index) const
    {
        const QVariant iconIndex = index.data(IconIndexRole);
        const VbalImageList *images = m_grid->m_imageList;
        if (!images || !iconIndex.isValid()) {
            return {};
        }
        const int number = iconIndex.toInt() + 1;
        return images->contains(number) ? images->picture(number) : QPixmap();
    }

    VbalGrid *m_grid;
};

// ---------------------------------------------------------------- the grid

VbalGrid::VbalGrid(QWidget *parent)
    : QWidget(parent)
{
    AppFonts::registerOnce();

    m_view = new View(this);
    m_view->setObjectName(QStringLiteral("vbalGridView"));
    // Tab leaves the grid; the arrows move inside it.
    m_view->setTabKeyNavigation(false);
    m_delegate = new Delegate(this);
    m_view->setItemDelegate(m_delegate);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setShowGrid(true);
    m_view->setGridStyle(Qt::SolidLine);
    m_view->setWordWrap(true);
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setMinimumSectionSize(MinimumRowHeight);
    m_view->verticalHeader()->setDefaultSectionSize(MinimumRowHeight);

    QHeaderView *header = m_view->horizontalHeader();
    header->setFixedHeight(HeaderHeight);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(16);
    header->setMouseTracking(true);

    m_view->setFont(AppFonts::timesNewRoman(8.25, true));
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Base, RowColor);
    palette.setColor(QPalette::Text, TextColor);
    palette.setColor(QPalette::ButtonText, TextColor);
    palette.setColor(QPalette::Highlight, SelectedRowColor);
    palette.setColor(QPalette::HighlightedText, TextColor);
    palette.setColor(QPalette::Inactive, QPalette::Highlight, SelectedRowColor);
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, TextColor);
    m_view->setPalette(palette);
    ComponentStyle::install();
    m_view->setProperty(ComponentStyle::GridLineColorProperty, GridLineColor);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    setMouseTracking(true);

    m_view->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
    header->installEventFilter(this);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) {
                const int row = current.isValid() ? current.row() + 1 : 0;
                if (row != m_lastReportedRow) {
                    m_lastReportedRow = row;
                    emit currentRowChanged(row, current.isValid() ? current.column() + 1 : 0);
                }
            });
    connect(m_view, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { emit cellDoubleClicked(row + 1, column + 1); });
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (m_redraw) {
            fitRowHeights();
        }
    });
}

VbalGrid::~VbalGrid() = default;

void VbalGrid::setImageList(const VbalImageList *imageList)
{
    m_imageList = imageList;
    if (m_redraw) {
        fitRowHeights();
        m_view->viewport()->update();
    }
}

int VbalGrid::addColumn(const QString &key, const QString &header, int widthPixels, bool fixedWidth,
                        bool includeInSelection)
{
    const int column = m_view->columnCount();
    m_view->setColumnCount(column + 1);
    auto *headerItem = new QTableWidgetItem(header);
    headerItem->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_view->setHorizontalHeaderItem(column, headerItem);
    m_view->setColumnWidth(column, widthPixels);
    m_view->horizontalHeader()->setSectionResizeMode(column,
                                                     fixedWidth ? QHeaderView::Fixed : QHeaderView::Interactive);
    m_keys.append(key);
    m_inSelection.append(includeInSelection);
    // Cells of rows that already exist take the new column's selection rule.
    for (int row = 0; row < m_view->rowCount(); ++row) {
        m_view->setItem(row, column, newCell(column));
    }
    return column + 1;
}

int VbalGrid::columnCount() const
{
    return m_view->columnCount();
}

int VbalGrid::columnIndex(const QString &key) const
{
    for (int i = 0; i < m_keys.size(); ++i) {
        if (m_keys.at(i).compare(key, Qt::CaseInsensitive) == 0) {
            return i + 1;
        }
    }
    return 0;
}

void VbalGrid::setColumnHeader(int column, const QString &header)
{
    if (QTableWidgetItem *item
        = column >= 1 && column <= columnCount() ? m_view->horizontalHeaderItem(column - 1) : nullptr) {
        item->setText(header);
    }
}

QString VbalGrid::columnHeader(int column) const
{
    const QTableWidgetItem *item
        = column >= 1 && column <= columnCount() ? m_view->horizontalHeaderItem(column - 1) : nullptr;
    return item ? item->text() : QString();
}

bool VbalGrid::columnInSelection(int column0) const
{
    return column0 >= 0 && column0 < m_inSelection.size() && m_inSelection.at(column0);
}

QTableWidgetItem *VbalGrid::newCell(int column0) const
{
    auto *item = new QTableWidgetItem;
    item->setFlags(columnInSelection(column0) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    return item;
}

QTableWidgetItem *VbalGrid::existingCell(int row, int column) const
{
    return row <= rowCount() ? m_view->item(row - 1, column - 1) : nullptr;
}

void VbalGrid::checkCell(int row, int column, const char *source) const
{
    if (column < 1 || column > columnCount()) {
        throw Common::AppError(Common::ErrorNumber::SubscriptOutOfRange, gridSource(source),
                               QStringLiteral("The grid has no column %1 (it has %2).").arg(column).arg(columnCount()));
    }
    if (row < 1) {
        throw Common::AppError(Common::ErrorNumber::SubscriptOutOfRange, gridSource(source),
                               QStringLiteral("Grid rows are counted from 1, not from %1.").arg(row));
    }
}

void VbalGrid::setCell(int row, int column, const QString &text, int flags, int iconIndex)
{
    checkCell(row, column, "CellDetails");
    if (row > rowCount()) {
        setRowCount(row);
    }
    QTableWidgetItem *item = m_view->item(row - 1, column - 1);
    const QVariant icon = iconIndex >= 0 ? QVariant(iconIndex) : QVariant();
    // A cell given what it already shows is left alone: an empty grid emptied again
    // (each new search) does not measure its rows' texts again.
    if (item->text() == text && item->data(FlagsRole) == QVariant(flags) && item->data(IconIndexRole) == icon) {
        return;
    }
    item->setText(text);
    item->setData(FlagsRole, flags);
    item->setData(IconIndexRole, icon);
    if (m_redraw) {
        fitRowHeight(row - 1);
    }
}

QString VbalGrid::cellText(int row, int column) const
{
    checkCell(row, column, "CellText");
    if (row > rowCount()) {
        throw Common::AppError(Common::ErrorNumber::SubscriptOutOfRange, gridSource("CellText"),
                               QStringLiteral("The grid has no row %1 (it has %2).").arg(row).arg(rowCount()));
    }
    return m_view->item(row - 1, column - 1)->text();
}

int VbalGrid::cellFlags(int row, int column) const
{
    checkCell(row, column, "CellTextFlags");
    const QTableWidgetItem *item = existingCell(row, column);
    return item ? item->data(FlagsRole).toInt() : 0;
}

int VbalGrid::cellIcon(int row, int column) const
{
    checkCell(row, column, "CellIcon");
    const QTableWidgetItem *item = existingCell(row, column);
    return item && item->data(IconIndexRole).isValid() ? item->data(IconIndexRole).toInt() : -1;
}

void VbalGrid::setCellAccessibleText(int row, int column, const QString &text)
{
    checkCell(row, column, "CellAccessibleText");
    if (QTableWidgetItem *item = existingCell(row, column)) {
        item->setData(Qt::AccessibleTextRole, text);
    }
}

void VbalGrid::setCellDetail(int row, int column, const QString &detail)
{
    checkCell(row, column, "CellDetail");
    if (QTableWidgetItem *item = existingCell(row, column)) {
        item->setData(DetailRole, detail.isEmpty() ? QVariant() : QVariant(detail));
        if (m_redraw) {
            fitRowHeight(row - 1);
        }
    }
}

QString VbalGrid::cellDetail(int row, int column) const
{
    checkCell(row, column, "CellDetail");
    const QTableWidgetItem *item = existingCell(row, column);
    return item ? item->data(DetailRole).toString() : QString();
}

int VbalGrid::rowCount() const
{
    return m_view->rowCount();
}

void VbalGrid::setRowCount(int rows)
{
    const int oldRows = rowCount();
    m_view->setRowCount(qMax(0, rows));
    for (int r = oldRows; r < rows; ++r) {
        m_view->setRowHeight(r, MinimumRowHeight);
        for (int c = 0; c < columnCount(); ++c) {
            m_view->setItem(r, c, newCell(c));
        }
    }
}

void VbalGrid::removeAllRows()
{
    setRowCount(0);
}

void VbalGrid::setRedraw(bool on)
{
    if (on == m_redraw) {
        return;
    }
    m_redraw = on;
    if (on) {
        fitRowHeights();
    }
    m_view->setUpdatesEnabled(on);
}

int VbalGrid::currentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

QAbstractItemView *VbalGrid::itemView() const
{
    return m_view;
}

void VbalGrid::setKeyboardColumn(int column)
{
    m_keyboardColumn = column;
    // A current cell on another column moves to it, so the row shows as chosen.
    if (const QModelIndex current = m_view->currentIndex(); current.isValid() && column > 0) {
        m_view->setCurrentIndex(m_view->model()->index(current.row(), column - 1));
    }
}

void VbalGrid::setRowHeader(int row, const QString &text)
{
    if (row >= 1 && row <= rowCount()) {
        m_view->setVerticalHeaderItem(row - 1, new QTableWidgetItem(text));
    }
}

int VbalGrid::fullHeight() const
{
    return m_view->horizontalHeader()->height() + m_view->verticalHeader()->length() + 2 * m_view->frameWidth();
}

void VbalGrid::fitRowHeight(int row)
{
    const QFontMetrics metrics(m_view->font());
    int height = MinimumRowHeight;
    for (int column = 0; column < columnCount(); ++column) {
        height = qMax(height, m_delegate->heightFor(metrics, m_view->model()->index(row, column)));
    }
    if (m_view->rowHeight(row) != height) {
        m_view->setRowHeight(row, height);
    }
}

void VbalGrid::fitRowHeights()
{
    for (int row = 0; row < rowCount(); ++row) {
        fitRowHeight(row);
    }
}

bool VbalGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == m_view->horizontalHeader()->viewport() && m_redraw) {
        // The header stretches its last column after this event, without saying so:
        // once it has, rows whose text now wraps into more lines grow to hold them.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_redraw) {
                    fitRowHeights();
                }
            },
            Qt::QueuedConnection);
    }
    if (event->type() == QEvent::MouseMove) {
        auto *move = static_cast<QMouseEvent *>(event);
        auto *source = qobject_cast<QWidget *>(watched);
        const QPoint inGrid = source ? source->mapTo(this, move->position().toPoint()) : QPoint();
        if (watched == m_view->viewport()) {
            const int hot = m_view->rowAt(move->position().toPoint().y());
            if (hot != m_hotRow) {
                m_hotRow = hot;
                m_view->viewport()->update();
            }
        }
        emit pointerMoved(move->buttons(), move->modifiers(), inGrid.x(), inGrid.y());
    } else if (event->type() == QEvent::Leave && watched == m_view->viewport() && m_hotRow >= 0) {
        m_hotRow = -1;
        m_view->viewport()->update();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Components
