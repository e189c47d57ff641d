#pragma once

#include <QPixmap>
#include <QString>

#include <array>

namespace Components {
class VbalImageList;
}

namespace Ribbon {

struct RibbonTab
{
    QString id;
    QString caption; // line breaks already turned into spaces
};

struct RibbonCategory
{
    QString id;
    QString tabId;
    QString caption; // line breaks already turned into spaces
    bool dialogLauncher = false;
};

struct RibbonButton
{
    QString id;
    QString categoryId;
    QString caption; // as given: CR LF makes a second line
    QPixmap picture;
    QString toolTip;
    bool more = false;
};

// Turns every CR LF pair of a caption into one space.
QString joinCaptionLines(const QString &caption);

// The ribbon's items: three fixed-capacity tables filled in the order of the add calls,
// linked by the ids the host chooses. Items only ever get added.
class RibbonModel
{
public:
    static constexpr int TabCapacity = 31;
    static constexpr int CategoryCapacity = 31;
    static constexpr int ButtonCapacity = 91;

    // Each throws AppError 9 when its table is full; AddButton throws AppError 91
    // when no image list is set and passes on the image list's own error for a
    // picture number it does not hold. A failed add leaves the counts unchanged.
    void AddTab(const QString &zID, const QString &zCaption);
    void AddCat(const QString &zID, const QString &zTab, const QString &zCaption, bool zDlgButton);
    void AddButton(const QString &zID, const QString &zSubCat, const QString &zCaption, qint16 zPicture,
                   bool zMore = false, const QString &zToolTip = QString());

    void setImageList(const Components::VbalImageList *zImageList) { m_imageList = zImageList; }
    const Components::VbalImageList *imageList() const { return m_imageList; }

    qint16 tabCount() const { return m_tabCount; }
    qint16 categoryCount() const { return m_categoryCount; }
    qint16 buttonCount() const { return m_buttonCount; }

    // Table slots by position, counted or not (a failed AddButton leaves its fields
    // in the next free slot).
    const RibbonTab &tab(int i) const { return m_tabs.at(size_t(i)); }
    const RibbonCategory &category(int i) const { return m_categories.at(size_t(i)); }
    const RibbonButton &button(int i) const { return m_buttons.at(size_t(i)); }

    // The tab whose categories are shown; the first tab added until a tab is clicked.
    const QString &currentTabId() const { return m_currentTabId; }
    void setCurrentTabId(const QString &id) { m_currentTabId = id; }

private:
    std::array<RibbonTab, TabCapacity> m_tabs;
    std::array<RibbonCategory, CategoryCapacity> m_categories;
    std::array<RibbonButton, ButtonCapacity> m_buttons;
    qint16 m_tabCount = 0;
    qint16 m_categoryCount = 0;
    qint16 m_buttonCount = 0;
    QString m_currentTabId;
    const Components::VbalImageList *m_imageList = nullptr;
};

} // namespace Ribbon
