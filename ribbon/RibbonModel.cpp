#include "ribbon/RibbonModel.h"

#include "ribbon/RibbonErrors.h"
#include "components/VbalImageList.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Ribbon {

namespace RibbonErrors {

QString executableName()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QStringLiteral("torvanelquist") : QFileInfo(path).completeBaseName();
}

Common::AppError subscriptOutOfRange(const QString &what)
{
    return Common::AppError(SubscriptOutOfRange, executableName() + QStringLiteral(".ZetRibbon"),
                            QStringLiteral("Subscript out of range: %1").arg(what));
}

Common::AppError objectNotSet(const QString &what)
{
    return Common::AppError(ObjectNotSet, executableName() + QStringLiteral(".ZetRibbon"),
                            QStringLiteral("Object variable or With block variable not set: %1").arg(what));
}

} // namespace RibbonErrors

namespace {

// AppError 9 when a table already holds its `capacity` of `items`.
void requireRoom(qint16 count, int capacity, const char *items)
{
    if (count >= capacity) {
        throw RibbonErrors::subscriptOutOfRange(
            QStringLiteral("the ribbon holds at most %1 %2").arg(capacity).arg(QLatin1String(items)));
    }
}

} // namespace

QString joinCaptionLines(const QString &caption)
{
    QString joined = caption;
    return joined.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
}

void RibbonModel::AddTab(const QString &zID, const QString &zCaption)
{
    requireRoom(m_tabCount, TabCapacity, "tabs");
    RibbonTab &tab = m_tabs[size_t(m_tabCount)];
    tab.id = zID;
    tab.caption = joinCaptionLines(zCaption);
    ++m_tabCount;
    if (m_currentTabId.isEmpty()) {
        m_currentTabId = zID;
    }
}

void RibbonModel::AddCat(const QString &zID, const QString &zTab, const QString &zCaption, bool zDlgButton)
{
    requireRoom(m_categoryCount, CategoryCapacity, "categories");
    RibbonCategory &category = m_categories[size_t(m_categoryCount)];
    category.id = zID;
    category.tabId = zTab;
    category.caption = joinCaptionLines(zCaption);
    category.dialogLauncher = zDlgButton;
    ++m_categoryCount;
}

void RibbonModel::AddButton(const QString &zID, const QString &zSubCat, const QString &zCaption, qint16 zPicture,
                            bool zMore, const QString &zToolTip)
{
    requireRoom(m_buttonCount, ButtonCapacity, "buttons");
    // The fields before the picture are stored first: a failure to fetch the picture
    // leaves them in the slot, uncounted.
    RibbonButton &button = m_buttons[size_t(m_buttonCount)];
    button.id = zID;
    button.categoryId = zSubCat;
    button.caption = zCaption;
    button.toolTip = joinCaptionLines(zToolTip.isEmpty() ? zCaption : zToolTip);
    button.picture = QPixmap();
    button.more = false;
    if (!m_imageList) {
        throw RibbonErrors::objectNotSet(QStringLiteral("set the ribbon's ImageList before adding buttons"));
    }
    button.picture = m_imageList->picture(zPicture);
    button.more = zMore;
    ++m_buttonCount;
}

} // namespace Ribbon
