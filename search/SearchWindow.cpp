#include "search/SearchWindow.h"

#include "search/AdvancedPanel.h"
#include "common/AppError.h"
#include "components/AppFonts.h"
#include "components/Pictures.h"
#include "data/Database.h"
#include "common/Twips.h"
#include "common/UserSettings.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/NaturalOrder.h"
#include "search/RecordExport.h"
#include "search/RecordPrinting.h"
#include "components/TitleLabel.h"
#include "components/KeyReleaseGuard.h"
#include "components/VbalGrid.h"

#include <QCheckBox>
#include <QClipboard>
#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QShortcut>
#include <QSplitter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The icons live in this static library; make sure they are linked in and registered
// (once per process). Resource registration names a global function, so this stays
// outside the namespace.
static bool registerGridIcons()
{
    Q_INIT_RESOURCE(grid_icons);
    return true;
}

namespace Search {

static void initGridIcons()
{
    static const bool registered = registerGridIcons();
    Q_UNUSED(registered);
}

namespace {

// The window's designed client area; a larger window lets the list, the grid, its
// title and its help strip grow.
constexpr QSize DesignSize(Twips::toPixels(11100), Twips::toPixels(7035));
// Left of the splitter: the designed list column (its controls end 9 pixels before
// the grid starts); right of it: wide enough for the whole advanced panel.
constexpr int SplitterHandle = 8;
constexpr int ListPaneWidth = Twips::toPixels(3600) - SplitterHandle;
constexpr int ListPaneRightMargin = ListPaneWidth - Twips::toPixels(120) - Twips::toPixels(3255);
constexpr int DetailsPaneDesignWidth = Twips::toPixels(11100) - Twips::toPixels(3600);
constexpr int DetailsPaneMinimumWidth = Twips::toPixels(7335) + Twips::toPixels(11100 - 3600 - 7335);
constexpr QSize SmallestSize(ListPaneWidth + SplitterHandle + DetailsPaneMinimumWidth, 360);

const QColor LightGrey(224, 224, 224);
const QColor TitleColor(255, 192, 128);
const QColor HelpColor(192, 192, 192);

const QString ItemsFound = QStringLiteral(" Item(s) Found");

// Longer than any value a search can mean (the longest definition is 663 characters),
// short enough that no pattern, however made, slows a search down or grows beyond
// what the database takes.
QString tooLong(const QString &what)
{
    return QStringLiteral("%1 is too long to search for: at most %2 characters.").arg(what).arg(MaxSearchText);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

QString RecordValues::text(const QString &field) const
{
    return Db::fieldText(value(field));
}

SearchWindow::SearchWindow(SearchWindowDesign design, WindowHost *host, QWidget *parent)
    : Components::BackdropWidget(parent),
      m_design(std::move(design)),
      m_host(host)
{
    initGridIcons();
    Components::AppFonts::registerOnce();
    Components::KeyReleaseGuard::install();
    setWindowTitle(m_design.caption);
    setFont(Components::AppFonts::tahoma(8.25));
    setMinimumSize(SmallestSize);
    resize(DesignSize);

    createControls();
    setupGrid();
    m_picAdvanced->setDefaults();
    m_listPane->setMinimumWidth(ListPaneWidth);
    m_detailsPane->setMinimumWidth(DetailsPaneMinimumWidth);
    layoutControls();
    restoreSplitter();
    // A window brought forward by its command takes the keyboard in its search box.
    setFocusProxy(m_txtSearch);
    auto *save = new QShortcut(QKeySequence::Save, this, this, &SearchWindow::exportList);
    save->setContext(Qt::WidgetWithChildrenShortcut);
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::createControls()
{
    // The list and the details side by side, the line between them movable.
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(SplitterHandle);
    m_listPane = new QWidget(m_splitter);
    m_listPane->setObjectName(QStringLiteral("listPane"));
    m_detailsPane = new QWidget(m_splitter);
    m_detailsPane->setObjectName(QStringLiteral("detailsPane"));
    m_splitter->addWidget(m_listPane);
    m_splitter->addWidget(m_detailsPane);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->handle(1)->setAccessibleName(QStringLiteral("Width of the list"));
    // Creation order is the tab order and the stacking order: the wait label lies
    // beneath the grid, the advanced panel over it, the help icon over its strip.
    m_txtSearch = new QLineEdit(m_listPane);
    m_txtSearch->setObjectName(QStringLiteral("txtSearch"));
    m_txtSearch->setAccessibleName(QStringLiteral("Search %1").arg(m_design.caption));
    m_txtSearch->setFont(Components::AppFonts::tahoma(8.25, true));
    m_txtSearch->installEventFilter(this);

    m_cmdSearch = new QPushButton(QStringLiteral("Search"), m_listPane);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    connect(m_cmdSearch, &QPushButton::clicked, this, &SearchWindow::cmdSearch_Click);
    // Enter on a focused button presses it, as Space does.
    m_cmdSearch->setAutoDefault(true);

    m_Command1 = new QPushButton(QStringLiteral("Advanced Search"), m_listPane);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command1->setAutoDefault(true);
    connect(m_Command1, &QPushButton::clicked, this, &SearchWindow::Command1_Click);

    m_lstSearch = new HitList(m_listPane);
    m_lstSearch->setObjectName(QStringLiteral("lstSearch"));
    m_lstSearch->setAccessibleName(QStringLiteral("Search results"));
    m_lstSearch->setFont(Components::AppFonts::tahoma(8.25, true));
    m_lstSearch->setMouseTracking(true);
    m_lstSearch->viewport()->installEventFilter(this);
    m_lstSearch->installEventFilter(this);
    connect(m_lstSearch, &HitList::itemSelectionChanged, this, &SearchWindow::lstSearch_Click);
    // Lines of one name (four LIPITOR, a patent's several records) tell themselves apart.
    if (Db::SqlText::hasLineDetails(m_design.sqlWindow)) {
        m_lstSearch->setDetailReader([window = m_design.sqlWindow](const QVector<qint64> &keys) {
            QHash<qint64, QString> details;
            const bool whole = Common::runSkippingFailure([&] {
                Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::lineDetails(window, keys));
                Db::RowSetCloser closer(rowSet);
                while (!rowSet.eof()) {
                    QStringList parts;
                    for (int column = 1; column <= 3; ++column) {
                        if (const QString part = Db::fieldText(rowSet.field(column)); !part.isEmpty()) {
                            parts << part;
                        }
                    }
                    if (window == Db::SqlText::Window::Patent && parts.size() == 3) {
                        parts
                            = {parts.at(0) + QLatin1Char('/') + parts.at(1), QStringLiteral("expires ") + parts.at(2)};
                        if (const QString tradeName = Db::fieldText(rowSet.field(4)); !tradeName.isEmpty()) {
                            parts.prepend(tradeName);
                        }
                    }
                    details.insert(rowSet.field(0).toLongLong(), parts.join(QStringLiteral(" \u00b7 ")));
                    rowSet.moveNext();
                }
            });
            return whole ? details : QHash<qint64, QString>();
        });
    }
    m_lstSearch->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_lstSearch, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const QModelIndex index = m_lstSearch->indexAt(at);
        if (index.isValid()) {
            listMenu(index.row())->exec(m_lstSearch->viewport()->mapToGlobal(at));
        }
    });

    m_lstSearchID = new KeyList(this);
    m_lstSearchID->setObjectName(QStringLiteral("lstSearchID"));

    m_lblSearch = new QLabel(m_listPane);
    m_lblSearch->setObjectName(QStringLiteral("lblSearch"));
    // Labels that show content are read with that content; what they are is said by
    // their description.
    m_lblSearch->setAccessibleDescription(QStringLiteral("Hit count"));
    m_lblSearch->setFont(Components::AppFonts::tahoma(9, true));
    m_lblSearch->setWordWrap(true);
    m_lblSearch->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColor(m_lblSearch, LightGrey);

    m_lblTradeName = new Components::TitleLabel(m_detailsPane);
    m_lblTradeName->setObjectName(QStringLiteral("lblTradeName"));
    m_lblTradeName->setAccessibleDescription(QStringLiteral("Shown record"));
    m_lblTradeName->setFont(Components::AppFonts::timesNewRoman(11.25, true));
    m_lblTradeName->setAlignment(Qt::AlignCenter);
    m_lblTradeName->setWordWrap(true);
    setTextColor(m_lblTradeName, TitleColor);

    m_lblWait = new QLabel(QStringLiteral("Loading, Please Wait..."), m_detailsPane);
    m_lblWait->setObjectName(QStringLiteral("lblWait"));
    m_lblWait->setAccessibleDescription(QStringLiteral("Wait"));
    m_lblWait->setFont(Components::AppFonts::tahoma(24, true));
    m_lblWait->setAlignment(Qt::AlignCenter);
    setTextColor(m_lblWait, LightGrey);
    // The details fill never uncovers it (it takes a millisecond and leaves the grid in
    // place), so it stays hidden: neither drawn beneath the grid nor read out by a
    // screen reader as if the window were waiting.
    m_lblWait->hide();

    m_vbalGrid = new Components::VbalGrid(m_detailsPane);
    m_vbalGrid->setObjectName(QStringLiteral("vbalGrid"));
    m_vbalGrid->setAccessibleName(QStringLiteral("Details"));
    m_vbalGrid->itemView()->setAccessibleName(QStringLiteral("Details"));
    connect(m_vbalGrid, &Components::VbalGrid::currentRowChanged, this, &SearchWindow::vbalGrid_RowChange);
    connect(m_vbalGrid, &Components::VbalGrid::pointerMoved, this, &SearchWindow::vbalGrid_MouseMove);
    connect(m_vbalGrid, &Components::VbalGrid::cellDoubleClicked, this, &SearchWindow::vbalGrid_DblClick);
    connect(m_vbalGrid, &Components::VbalGrid::copyRequested, this, [this](int row, bool wholeRecord) {
        QGuiApplication::clipboard()->setText(wholeRecord ? recordText()
                                                          : m_vbalGrid->cellText(row, m_design.valueColumn));
    });
    QAbstractItemView *gridView = m_vbalGrid->itemView();
    gridView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gridView, &QWidget::customContextMenuRequested, this, [this, gridView](const QPoint &at) {
        const QModelIndex index = gridView->indexAt(at);
        if (index.isValid()) {
            gridView->setCurrentIndex(index);
            gridMenu(index.row() + 1)->exec(gridView->viewport()->mapToGlobal(at));
        }
    });

    m_picAdvanced = new AdvancedPanel(m_design.parameterRows, m_detailsPane);
    m_picAdvanced->hide();
    connect(m_picAdvanced, &AdvancedPanel::findRequested, this, &SearchWindow::cmdAdvancedSearch_Click);
    connect(m_picAdvanced, &AdvancedPanel::cancelRequested, this, &SearchWindow::cmdAdvancedCancel_Click);

    m_lblTooltip = new QLabel(m_detailsPane);
    m_lblTooltip->setObjectName(QStringLiteral("lblTooltip"));
    m_lblTooltip->setAccessibleDescription(QStringLiteral("Help"));
    m_lblTooltip->setFont(Components::AppFonts::timesNewRoman(8.25, true));
    m_lblTooltip->setWordWrap(true);
    m_lblTooltip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblTooltip->setTextFormat(Qt::PlainText);
    setTextColor(m_lblTooltip, HelpColor);

    m_imgTooltip = new QLabel(m_detailsPane);
    m_imgTooltip->setObjectName(QStringLiteral("imgTooltip"));
    m_imgTooltip->setAccessibleName(QStringLiteral("Information"));
    m_imgTooltip->hide();

    // Each pane lays its controls out as it is resized (all of them exist from here on).
    m_listPane->installEventFilter(this);
    m_detailsPane->installEventFilter(this);
}

void SearchWindow::setupGrid()
{
    for (const QString &image : m_design.images) {
        Common::runSkippingFailure([&] { m_vbalImageList.addFromFile(image); });
    }
    m_imgTooltip->setPixmap(Components::Pictures::fromFile(m_design.tooltipImage));

    m_vbalGrid->setImageList(&m_vbalImageList);
    m_vbalGrid->setRedraw(false);
    for (const GridColumnDesign &column : m_design.columns) {
        m_vbalGrid->addColumn(column.key, column.header, column.width, column.fixedWidth, column.inSelection);
    }
    for (int r = 1; r <= m_design.rows.size(); ++r) {
        setupGridRow(r);
    }
    m_vbalGrid->setKeyboardColumn(m_design.valueColumn);
    m_vbalGrid->setRedraw(true);
}

void SearchWindow::setupGridRow(int r)
{
    {
        const DetailRowDesign &row = m_design.rows.at(r - 1);
        m_vbalGrid->setCell(r, m_design.iconColumn, QString(), Components::CellFlags::IconCell,
                            m_vbalImageList.itemIndex(row.icon));
        if (m_design.infoColumn > 0) {
            if (row.followable) {
                m_vbalGrid->setCell(r, m_design.infoColumn, QString(), Components::CellFlags::IconCell,
                                    m_vbalImageList.itemIndex(m_design.infoImage));
                m_vbalGrid->setCellAccessibleText(r, m_design.infoColumn,
                                                  QStringLiteral("Double click for more about %1").arg(row.caption));
            } else {
                m_vbalGrid->setCell(r, m_design.infoColumn, QString(), Components::CellFlags::IconCell);
            }
        }
        m_vbalGrid->setCell(r, m_design.captionColumn, row.caption, Components::CellFlags::TextCell);
        m_vbalGrid->setRowHeader(r, row.caption);
    }
}

QCheckBox *SearchWindow::chkParam(int i) const
{
    return m_picAdvanced->chkParam(i);
}

QLineEdit *SearchWindow::txtParam(int i) const
{
    return m_picAdvanced->txtParam(i);
}

QLabel *SearchWindow::lblParam(int i) const
{
    return m_picAdvanced->lblParam(i);
}

// ---------------------------------------------------------------- layout

void SearchWindow::resizeEvent(QResizeEvent *event)
{
    Components::BackdropWidget::resizeEvent(event);
    layoutControls();
}

void SearchWindow::layoutControls()
{
    m_splitter->setGeometry(rect());
}

void SearchWindow::layoutListPane()
{
    // The designed rectangles, left of the splitter; the list takes the pane's width
    // and the growth in height.
    const int width = m_listPane->width() - Twips::toPixels(120) - ListPaneRightMargin;
    const int height = m_listPane->height();
    m_txtSearch->setGeometry(Twips::toPixelRect(120, 120, 3255, 375).adjusted(0, 0, width - 217, 0));
    m_cmdSearch->setGeometry(Twips::toPixelRect(120, 480, 1485, 285));
    m_Command1->setGeometry(Twips::toPixelRect(1800, 480, 1530, 285));
    QRect list = Twips::toPixelRect(120, 840, 3255, 5520);
    list.setWidth(width);
    list.setHeight(qMax(60, height - list.top() - (DesignSize.height() - list.bottom() - 1)));
    m_lstSearch->setGeometry(list);
    QRect count = Twips::toPixelRect(120, 6600, 3255, 255);
    count.moveTop(count.top() + height - DesignSize.height());
    count.setWidth(width);
    count.setHeight(qMax(count.height(), height - count.top() - 2));
    m_lblSearch->setGeometry(count);
}

void SearchWindow::layoutDetailsPane()
{
    // The designed rectangles, right of the splitter (the pane starts where the grid
    // does); the grid, its title and its help strip take the growth.
    const QPoint origin(-Twips::toPixels(3600), 0);
    const int dx = m_detailsPane->width() - DetailsPaneDesignWidth;
    const int dy = m_detailsPane->height() - DesignSize.height();

    QRect title = Twips::toPixelRect(3720, 0, 7215, 615).translated(origin);
    title.setWidth(qMax(120, title.width() + dx));
    m_lblTradeName->setGeometry(title);

    QRect grid = Twips::toPixelRect(3600, 600, 7335, 5775).translated(origin);
    grid.setSize(QSize(qMax(200, grid.width() + dx), qMax(120, grid.height() + dy)));
    m_vbalGrid->setGeometry(grid);
    m_picAdvanced->setGeometry(grid);
    QRect wait = Twips::toPixelRect(3600, 2520, 7335, 1815).translated(origin);
    wait.setWidth(grid.width());
    wait.moveTop(grid.top() + (grid.height() - wait.height()) / 2);
    m_lblWait->setGeometry(wait);

    QRect icon = Twips::toPixelRect(3600, 6360, 480, 480).translated(origin);
    icon.moveTop(icon.top() + dy);
    m_imgTooltip->setGeometry(icon);
    QRect help = (m_design.tooltipBesideIcon ? Twips::toPixelRect(4200, 6360, 6615, 615)
                                             : Twips::toPixelRect(3600, 6360, 7215, 615))
                     .translated(origin);
    help.moveTop(help.top() + dy);
    help.setWidth(qMax(100, help.width() + dx));
    m_lblTooltip->setGeometry(help);
}

QSize SearchWindow::sizeHint() const
{
    // The designed size, tall enough for every row of the grid (empty rows are as low as
    // a row gets; a record's long values may still need the scroll bar).
    const int gridDesignHeight = Twips::toPixels(5775);
    return {DesignSize.width(), DesignSize.height() + qMax(0, m_vbalGrid->fullHeight() - gridDesignHeight)};
}

QSize SearchWindow::minimumSizeHint() const
{
    return minimumSize();
}

void SearchWindow::restoreSplitter()
{
    const auto settings = Common::userSettings();
    const int saved = settings->value(m_design.caption + QStringLiteral("/listWidth")).toInt();
    const int listWidth = saved >= m_listPane->minimumWidth() ? saved : ListPaneWidth;
    m_splitter->setSizes({listWidth, qMax(m_detailsPane->minimumWidth(), width() - listWidth - SplitterHandle)});
    m_saveSplitter.setSingleShot(true);
    m_saveSplitter.setInterval(300);
    connect(&m_saveSplitter, &QTimer::timeout, this, [this] {
        Common::userSettings()->setValue(m_design.caption + QStringLiteral("/listWidth"), m_splitter->sizes().value(0));
    });
    connect(m_splitter, &QSplitter::splitterMoved, &m_saveSplitter, qOverload<>(&QTimer::start));
}

// ---------------------------------------------------------------- events

bool SearchWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_listPane) {
            layoutListPane();
        } else if (watched == m_detailsPane) {
            layoutDetailsPane();
        }
    }
    if (watched == m_txtSearch && event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat()) {
            txtSearch_KeyUp(key->key());
        }
    } else if (watched == m_lstSearch->viewport() && event->type() == QEvent::MouseMove) {
        lstSearch_MouseMove();
    } else if (watched == m_lstSearch && event->type() == QEvent::KeyPress) {
        // Copy: the line as shown (Ctrl+C), or its whole record (Ctrl+Shift+C).
        const auto *key = static_cast<QKeyEvent *>(event);
        const int position = m_lstSearch->currentRow();
        if (position >= 0 && key->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(m_lstSearch->shownText(position));
            return true;
        }
        if (position >= 0 && key->key() == Qt::Key_C && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
            QGuiApplication::clipboard()->setText(recordText());
            return true;
        }
    }
    return Components::BackdropWidget::eventFilter(watched, event);
}

void SearchWindow::txtSearch_KeyUp(int keyCode)
{
    if (keyCode == Qt::Key_Return || keyCode == Qt::Key_Enter) {
        quickSearch();
    }
}

void SearchWindow::cmdSearch_Click()
{
    quickSearch();
}

void SearchWindow::Command1_Click()
{
    m_picAdvanced->show();
    m_picAdvanced->raise();
    // The keyboard goes where the user now works: the panel's first row.
    if (QLineEdit *first = m_picAdvanced->firstRowText()) {
        first->setFocus(Qt::OtherFocusReason);
    }
}

void SearchWindow::cmdAdvancedSearch_Click()
{
    advancedSearch();
}

void SearchWindow::cmdAdvancedCancel_Click()
{
    hideAdvancedPanel(m_Command1);
}

void SearchWindow::hideAdvancedPanel(QWidget *nextFocus)
{
    // The keyboard, when it was inside the panel, goes to `nextFocus`, not to whatever
    // happens to follow the panel in the tab order.
    const bool hadFocus = m_picAdvanced->isAncestorOf(QApplication::focusWidget());
    m_picAdvanced->hide();
    if (hadFocus && nextFocus) {
        nextFocus->setFocus(Qt::OtherFocusReason);
    }
}

void SearchWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape anywhere in the window, while the panel is open, is CANCEL.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_picAdvanced->isVisible()) {
        cmdAdvancedCancel_Click();
        return;
    }
    Components::BackdropWidget::keyPressEvent(event);
}

void SearchWindow::lstSearch_MouseMove()
{
    if (!m_lstSearch->hasFocus()) {
        m_lstSearch->setFocus(Qt::MouseFocusReason);
    }
}

void SearchWindow::vbalGrid_MouseMove()
{
    if (!m_vbalGrid->itemView()->hasFocus()) {
        m_vbalGrid->setFocus(Qt::MouseFocusReason);
    }
    if (m_design.helpStrip == HelpStrip::HintOnPointer) {
        showGeneralHint();
    }
}

void SearchWindow::showGeneralHint()
{
    m_lblTooltip->setText(m_design.hint);
    m_imgTooltip->show();
}

void SearchWindow::vbalGrid_RowChange(int row, int)
{
    switch (m_design.helpStrip) {
    case HelpStrip::HintOnPointer:
        // The pointer shows the hint; the keyboard's current row does too.
        if (row > 0) {
            showGeneralHint();
        }
        break;
    case HelpStrip::HintOnEveryRow:
        showGeneralHint();
        break;
    case HelpStrip::RowHelp:
        m_imgTooltip->hide();
        if (row == 0) {
            showGeneralHint();
        } else if (row >= 1 && row <= m_design.rows.size()) {
            m_lblTooltip->setText(m_design.rows.at(row - 1).helpText);
        }
        break;
    }
    // A screen reader hears the strip's text as the grid's description.
    m_vbalGrid->itemView()->setAccessibleDescription(row > 0 ? m_lblTooltip->text().trimmed() : QString());
}

void SearchWindow::vbalGrid_DblClick(int, int)
{
}

QString SearchWindow::followCaption(int) const
{
    return {};
}

// ---------------------------------------------------------------- context menus

std::unique_ptr<QMenu> SearchWindow::listMenu(int position)
{
    auto menu = std::make_unique<QMenu>(this);
    const QString line = m_lstSearch->shownText(position);
    menu->addAction(QStringLiteral("Copy"), this, [line] { QGuiApplication::clipboard()->setText(line); });
    menu->addAction(QStringLiteral("Copy record"), this, [this, position] {
        m_lstSearch->setCurrentRow(position);
        QGuiApplication::clipboard()->setText(recordText());
    });
    menu->addAction(QStringLiteral("Export list..."), this, &SearchWindow::exportList);
    return menu;
}

std::unique_ptr<QMenu> SearchWindow::gridMenu(int row)
{
    auto menu = std::make_unique<QMenu>(this);
    const QString value = m_vbalGrid->cellText(row, m_design.valueColumn);
    menu->addAction(QStringLiteral("Copy"), this, [value] { QGuiApplication::clipboard()->setText(value); });
    menu->addAction(QStringLiteral("Copy record"), this,
                    [this] { QGuiApplication::clipboard()->setText(recordText()); });
    menu->addAction(QStringLiteral("Export list..."), this, &SearchWindow::exportList);
    menu->addAction(QStringLiteral("Print record..."), this, &SearchWindow::printRecord);
    if (const QString follow = followCaption(row); !follow.isEmpty()) {
        menu->addSeparator();
        menu->addAction(follow, this, [this, row] { vbalGrid_DblClick(row, m_design.valueColumn); });
    }
    return menu;
}

void SearchWindow::exportList()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the hit list"),
                                                      m_design.caption + QStringLiteral(".csv"),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString failure;
    ExportTable table;
    try {
        table = exportTable(*this);
    } catch (const Common::AppError &error) {
        failure = error.description();
    }
    if (failure.isEmpty()) {
        QProgressDialog progress(QStringLiteral("Exporting %1 records...").arg(table.rows.size()),
                                 QStringLiteral("Cancel"), 0, int(table.rows.size()), this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        failure = writeCsv(path, table, [&progress](int rows) {
            progress.setValue(rows);
            return !progress.wasCanceled();
        });
        if (progress.wasCanceled()) {
            return;
        }
    }
    if (!failure.isEmpty()) {
        QMessageBox::warning(
            this, QStringLiteral("Export"),
            QStringLiteral("The list could not be written to %1: %2").arg(QDir::toNativeSeparators(path), failure));
    }
}

void SearchWindow::printRecord()
{
    const QString title = QStringLiteral("Print record");
    if (const QString failure = printHtml(this, title, recordHtml(*this)); !failure.isEmpty()) {
        QMessageBox::warning(this, title, failure);
    }
}

QString SearchWindow::recordText() const
{
    QStringList lines;
    if (!m_lblTradeName->text().isEmpty()) {
        lines << m_lblTradeName->text();
    }
    for (int r = 1; r <= m_vbalGrid->rowCount(); ++r) {
        const QString value = m_vbalGrid->cellText(r, m_design.valueColumn);
        const QString caption
            = m_design.captionColumn > 0 ? m_vbalGrid->cellText(r, m_design.captionColumn) : QString();
        if (!value.isEmpty()) {
            lines << (caption.isEmpty() || caption == value ? value : caption + QStringLiteral(": ") + value);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------- searches

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
        const int lineCount = hits->count();
        if (!m_design.keyField.isEmpty()) {
            m_lstSearchID->setRows(hits); // the same rows: the keys are not copied
        }
        // The reset leaves no line selected: no record is shown until one is chosen.
        m_lstSearch->setRows(std::move(hits));
        m_lblSearch->setText(QString::number(lineCount) + ItemsFound);
        m_lblSearch->setToolTip(QString());
        if (!m_design.recordOutlivesSearch) {
            clearShownRecord();
        }
    } else {
        m_lblSearch->setText(QStringLiteral("Search failed: ") + *failure);
        m_lblSearch->setToolTip(*failure);
    }

    m_searching = false;
    m_lastSearchFailed = !ok;
    return ok;
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
    m_lstSearch->clear();
    m_lblSearch->clear();
    m_lblSearch->setToolTip(QString());
    m_txtSearch->clear();
}

void SearchWindow::EmptyTheGrid()
{
    for (int r = 1; r <= m_design.rows.size(); ++r) {
        m_vbalGrid->setCell(r, m_design.valueColumn, QString(), Components::CellFlags::TextCell);
    }
}

} // namespace Search
