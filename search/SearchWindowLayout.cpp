// A search window's layout: the designed rectangles of the list and the details on
// either side of the splitter, the window's size and the list width the user keeps.

#include "search/SearchWindow.h"
#include "search/SearchWindowLayout.h"

#include "common/Twips.h"
#include "common/UserSettings.h"
#include "search/AdvancedPanel.h"
#include "search/HitList.h"
#include "components/VbalGrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>

namespace Search {

using namespace WindowLayout;

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
    m_chkTyping->setGeometry(Twips::toPixelRect(120, 840, 3255, 255).adjusted(0, 0, width - 217, 0));
    // The list under the typing option, ending where the designed list ended.
    QRect list = Twips::toPixelRect(120, 1140, 3255, 5220);
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

} // namespace Search
