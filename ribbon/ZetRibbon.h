#pragma once

#include "ribbon/RibbonLayout.h"
#include "ribbon/RibbonModel.h"
#include "ribbon/RibbonScene.h"

#include <QAccessible>
#include <QColor>
#include <QHash>
#include <QKeySequence>
#include <QPixmap>
#include <QVariant>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace Components {
class VbalImageList;
}

namespace Ribbon {

class PropertyBag;
class RibbonItemAccessible;

// The ribbon bar: tabs along the top, the categories of the current tab below them and
// large buttons inside the categories, drawn from one of three picture themes. The
// host fills it with AddTab, AddCat and AddButton, then calls Refresh; clicks come
// back as TabClick, CatClick and ButtonClick.
//
// The ribbon paints its elements itself, in their stacking order, and sends the mouse
// to the front-most element under it. Tabs and buttons are reachable by keyboard
// (arrow keys, Enter or Space) and are exposed to assistive technology.
class ZetRibbon : public QWidget
{
    Q_OBJECT

public:
    explicit ZetRibbon(QWidget *parent = nullptr);
    ~ZetRibbon() override;

    // Items. See RibbonModel for the errors these throw.
    void AddTab(const QString &zID, const QString &zCaption);
    void AddCat(const QString &zID, const QString &zTab, const QString &zCaption, bool zDlgButton);
    void AddButton(const QString &zID, const QString &zSubCat, const QString &zCaption, qint16 zPicture,
                   bool zMore = false, const QString &zToolTip = QString());

    // Forces a complete repaint of a object: lays out the tabs, then the categories
    // and buttons of the current tab.
    void Refresh();
    // Re-applies the ribbon's fixed height.
    void Resize();

    // 0 "BLACK", 1 "BLUE", 2 "SILVER"; another value is taken as 0. Writing applies
    // the theme at once (throws AppError when a picture cannot be loaded).
    qint16 Theme() const { return m_theme; }
    void setTheme(int New_Theme);
    // True centres each button's icon and caption in the button's height; false puts
    // the icon a fixed distance below the button's top. Takes effect at the next layout.
    bool ButtonCenter() const { return m_buttonCenter; }
    void setButtonCenter(const QVariant &New_BC);
    // The current theme's background picture for the host's windows, new on each read.
    QPixmap LoadBackground() const;
    // The image list AddButton takes pictures from (by number, from 1).
    void setImageList(const Components::VbalImageList *zImageList);
    // Returns/sets the background color used to display text and graphics in an object.
    QColor BackColor() const { return m_backColor; }
    // Returns/sets the foreground color used to display text and graphics in an object.
    QColor ForeColor() const { return m_foreColor; }

    // The properties kept in the host's saved form.
    void ReadProperties(const PropertyBag &PropBag);
    void WriteProperties(PropertyBag &PropBag) const;
    // True once Theme or ButtonCenter was written since the form was read.
    bool propertiesChanged() const { return m_propertiesChanged; }

    // The hover looks of each level (index of the element, or -1 for none).
    void HoverTab(qint16 t);
    void HoverCategory(qint16 c);
    void HoverButton(qint16 b);
    // Selects tab i as a click on it does: lays out its categories, then raises TabClick.
    void selectTab(int i);
    // Selects the tab that holds button zID, as the host's windows change: its categories
    // are laid out, no TabClick is raised. False when no tab holds such a button.
    bool selectTabOfButton(const QString &zID);

    // The keys that run button zID from anywhere in the host; its tool tip and its
    // accessible press action name them.
    void setButtonShortcut(const QString &zID, const QKeySequence &keys);
    QKeySequence buttonShortcut(const QString &zID) const { return m_shortcuts.value(zID); }
    // What the tool tip of button element j says: its tool tip (its caption unless the
    // host gave one), after the caption and the button's keys when it has keys.
    QString buttonToolTip(int j) const;

    // Keyboard focus to the selected tab, shown; Escape gives it back to the widget
    // that had it (the window it came from).
    void takeKeyboardFocus();

    const RibbonModel &model() const { return m_model; }
    const RibbonScene &scene() const { return m_scene; }

    // Tabs and buttons on show, in keyboard order: tabs left to right, then buttons.
    QVector<ElementRef> focusableItems() const;
    // What an item says to assistive technology: its caption, line breaks as spaces.
    QString itemName(const ElementRef &item) const;
    // Does what a click on the tab or button does.
    void pressItem(const ElementRef &item);
    std::optional<ElementRef> focusItem() const { return m_focusItem; }
    // Changes each time the elements of the tab strip or of the category row are rebuilt.
    quint64 layoutGeneration(const ElementRef &item) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void TabClick(const QString &ID, const QString &Caption);
    void CatClick(const QString &ID, const QString &Caption);
    void ButtonClick(const QString &ID, const QString &Caption);
    // A stored property was written (the host's form then has something to save).
    void PropertyChanged(const QString &PropertyName);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class ZetRibbonAccessible;

    void ApplyTheme(int theme);
    RibbonLayoutInput layoutInput() const;
    void layoutCategoriesAgain();
    // Lays out the categories of tab i under it (what a click on the tab shows).
    void showTab(int i);
    bool isLive(const ElementRef &item) const;

    // What each element does under the mouse.
    void elementMouseMove(const ElementRef &element);
    void elementClick(const ElementRef &element);
    void showPressed(int j, bool pressed);

    // Keyboard focus among tabs and buttons.
    void setFocusItem(const std::optional<ElementRef> &item);
    void moveFocus(int key);
    std::optional<ElementRef> initialFocusItem() const;
    QRect focusFrame() const;

    // Repaints what the scene reports as changed.
    void flushDamage();
    // Draws an element into its pixel rectangle `target`.
    void drawElement(QPainter &painter, const RibbonElement &element, RibbonElementKind kind,
                     const QRect &target) const;

    // Accessible interfaces of the items, made on demand and dropped after a layout.
    QAccessibleInterface *accessibleItem(const ElementRef &item);
    void dropAccessibleItems(bool tabs, bool buttons);
    void purgeDroppedAccessibleItems();

    RibbonModel m_model;
    RibbonScene m_scene;
    std::unique_ptr<RibbonTextMeasurer> m_measurer;
    qint16 m_theme = 0;
    // The theme whose pictures the constructor put in the scene, until a theme is applied.
    int m_builtInTheme = -1;
    bool m_buttonCenter = false;
    QColor m_backColor{70, 70, 70};
    QColor m_foreColor{255, 255, 255};
    bool m_propertiesChanged = false;

    std::optional<ElementRef> m_captured; // element that received the mouse press
    // The element the last click went to, until the next press: the second press of a
    // double click on it is part of that one click and raises nothing.
    std::optional<ElementRef> m_lastClicked;
    bool m_pressEndsDoubleClick = false;
    std::optional<ElementRef> m_focusItem;
    QPointer<QWidget> m_returnFocus;
    bool m_focusVisible = false;

    QHash<QString, QKeySequence> m_shortcuts; // by button id

    quint64 m_tabGeneration = 0;
    quint64 m_categoryGeneration = 0;
    QHash<quint64, QAccessible::Id> m_accessibleItems;
    QVector<QAccessible::Id> m_droppedAccessibleItems;
};

} // namespace Ribbon
