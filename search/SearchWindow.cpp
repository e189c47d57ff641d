#include "search/SearchWindow.h"
#include "search/SearchWindowLayout.h"

#include "search/AdvancedPanel.h"
#include "common/AppError.h"
#include "components/AppFonts.h"
#include "components/Pictures.h"
#include "data/Database.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "components/TitleLabel.h"
#include "components/KeyReleaseGuard.h"
#include "components/VbalGrid.h"

#include <QCheckBox>
#include <QClipboard>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
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

using namespace WindowLayout;

static void initGridIcons()
{
    static const bool registered = registerGridIcons();
    Q_UNUSED(registered);
}

namespace {

const QColor LightGrey(224, 224, 224);
const QColor TitleColor(255, 192, 128);
const QColor HelpColor(192, 192, 192);

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
    // The count and the typing option stand on the theme's backdrop.
    keepReadable(m_lblSearch);
    keepReadable(m_chkTyping);
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
    connect(m_txtSearch, &QLineEdit::textEdited, this, &SearchWindow::txtSearch_TextEdited);

    m_cmdSearch = new QPushButton(QStringLiteral("Search"), m_listPane);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    connect(m_cmdSearch, &QPushButton::clicked, this, &SearchWindow::cmdSearch_Click);
    // Enter on a focused button presses it, as Space does.
    m_cmdSearch->setAutoDefault(true);

    m_Command1 = new QPushButton(QStringLiteral("Advanced Search"), m_listPane);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command1->setAutoDefault(true);
    connect(m_Command1, &QPushButton::clicked, this, &SearchWindow::Command1_Click);
    createTypingOption();

    m_lstSearch = new HitList(m_listPane);
    m_lstSearch->setObjectName(QStringLiteral("lstSearch"));
    m_lstSearch->setAccessibleName(QStringLiteral("Search results"));
    m_lstSearch->setFont(Components::AppFonts::tahoma(8.25, true));
    m_lstSearch->setMouseTracking(true);
    m_lstSearch->viewport()->installEventFilter(this);
    m_lstSearch->installEventFilter(this);
    connect(m_lstSearch, &HitList::itemSelectionChanged, this, &SearchWindow::lstSearch_Click);
    // Lines of one name (four LIPITOR, a patent's several records) tell themselves apart.
    if (m_design.lineDetails) {
        m_lstSearch->setDetailReader(m_design.lineDetails);
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

} // namespace Search
