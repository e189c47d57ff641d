#include "ribbon/ZetRibbon.h"

#include "ribbon/RibbonInteraction.h"
#include "ribbon/ZetRibbonAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>

namespace Ribbon {

using F = RibbonFamily;

namespace {

bool isTabOrButton(const ElementRef &item)
{
    return item.family == F::TabMouse || item.family == F::ButMouse;
}

quint64 itemKey(const ElementRef &item)
{
    return (quint64(item.family) << 32) | quint32(item.index);
}

} // namespace

// ---- keyboard ------------------------------------------------------------------------

QVector<ElementRef> ZetRibbon::focusableItems() const
{
    QVector<ElementRef> items;
    for (const F family : {F::TabMouse, F::ButMouse}) {
        for (int i = 0; i <= m_scene.highestIndex(family); ++i) {
            if (m_scene.isShown(family, i)) {
                items.append({family, i});
            }
        }
    }
    return items;
}

QString ZetRibbon::itemName(const ElementRef &item) const
{
    if (item.family == F::TabMouse && m_scene.find(F::Tab_caption, item.index)) {
        return m_scene.at(F::Tab_caption, item.index).text;
    }
    if (item.family == F::ButMouse && m_scene.find(F::Button_Caption, item.index)) {
        return captionLines(m_scene.at(F::Button_Caption, item.index).text).join(QLatin1Char(' '));
    }
    return QString();
}

void ZetRibbon::pressItem(const ElementRef &item)
{
    if (isTabOrButton(item) && isLive(item)) {
        elementClick(item);
    }
}

quint64 ZetRibbon::layoutGeneration(const ElementRef &item) const
{
    return item.family == F::TabMouse ? m_tabGeneration : m_categoryGeneration;
}

QRect ZetRibbon::focusFrame() const
{
    if (!m_focusItem || !m_focusVisible || !isLive(*m_focusItem)) {
        return QRect();
    }
    return pixelRect(m_scene.at(m_focusItem->family, m_focusItem->index)).adjusted(2, 2, -2, -2);
}

void ZetRibbon::setFocusItem(const std::optional<ElementRef> &item)
{
    update(focusFrame());
    m_focusItem = item;
    if (item && isLive(*item)) {
        elementMouseMove(*item);
        flushDamage();
        update(focusFrame());
        if (QAccessibleInterface *child = accessibleItem(*item)) {
            QAccessibleEvent focus(child, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }
}

void ZetRibbon::moveFocus(int key)
{
    const QVector<ElementRef> items = focusableItems();
    if (items.isEmpty()) {
        return;
    }
    if (!m_focusItem || !isLive(*m_focusItem)) {
        setFocusItem(initialFocusItem());
        return;
    }
    const ElementRef current = *m_focusItem;
    QVector<ElementRef> row;
    for (const ElementRef &item : items) {
        if (item.family == current.family) {
            row.append(item);
        }
    }
    const int position = int(row.indexOf(current));
    std::optional<ElementRef> next;
    switch (key) {
    case Qt::Key_Left:
        if (position > 0) {
            next = row[position - 1];
        }
        break;
    case Qt::Key_Right:
        if (position + 1 < row.size()) {
            next = row[position + 1];
        }
        break;
    case Qt::Key_Home:
        next = row.first();
        break;
    case Qt::Key_End:
        next = row.last();
        break;
    case Qt::Key_Up:
        if (current.family == F::ButMouse) {
            const int selected = selectedTab(m_scene);
            next = ElementRef{F::TabMouse, selected >= 0 ? selected : 0};
        }
        break;
    case Qt::Key_Down:
        for (const ElementRef &item : items) {
            if (current.family == F::TabMouse && item.family == F::ButMouse) {
                next = item;
                break;
            }
        }
        break;
    default:
        break;
    }
    if (next && isLive(*next)) {
        setFocusItem(next);
    }
}

void ZetRibbon::takeKeyboardFocus()
{
    QWidget *current = QApplication::focusWidget();
    if (current != this) {
        m_returnFocus = current;
    }
    // Keyboard focus starts on the selected tab.
    m_focusItem = initialFocusItem();
    setFocus(Qt::ShortcutFocusReason);
}

void ZetRibbon::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_returnFocus) {
            m_returnFocus->setFocus(Qt::ShortcutFocusReason);
        } else {
            focusNextChild();
        }
        m_returnFocus.clear();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        m_focusVisible = true;
        moveFocus(event->key());
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_focusItem && isLive(*m_focusItem)) {
            const ElementRef item = *m_focusItem;
            pressItem(item);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ZetRibbon::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    // Only focus that came by keyboard shows: a window that activates and hands its
    // focus to the ribbon changes nothing a mouse user sees.
    const Qt::FocusReason reason = event->reason();
    m_focusVisible
        = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    if (!m_focusVisible) {
        return;
    }
    setFocusItem(m_focusItem && isLive(*m_focusItem) ? m_focusItem : initialFocusItem());
    // The ribbon itself is announced as focused once this handler returns; the tab or
    // button with the focus is announced after it, so that a screen reader ends on it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus() && m_focusItem && isLive(*m_focusItem)) {
                if (QAccessibleInterface *child = accessibleItem(*m_focusItem)) {
                    QAccessibleEvent focus(child, QAccessible::Focus);
                    QAccessible::updateAccessibility(&focus);
                }
            }
        },
        Qt::QueuedConnection);
}

std::optional<ElementRef> ZetRibbon::initialFocusItem() const
{
    const int selected = selectedTab(m_scene);
    if (selected >= 0) {
        return ElementRef{F::TabMouse, selected};
    }
    const QVector<ElementRef> items = focusableItems();
    return items.isEmpty() ? std::nullopt : std::optional<ElementRef>(items.first());
}

void ZetRibbon::focusOutEvent(QFocusEvent *event)
{
    if (m_focusVisible) {
        update(focusFrame());
        m_focusVisible = false;
        elementMouseMove({F::Barra2, 0});
        flushDamage();
    }
    QWidget::focusOutEvent(event);
}

// ---- accessibility -------------------------------------------------------------------

QAccessibleInterface *ZetRibbon::accessibleItem(const ElementRef &item)
{
    if (!isTabOrButton(item) || !isLive(item)) {
        return nullptr;
    }
    const quint64 key = itemKey(item);
    const auto found = m_accessibleItems.constFind(key);
    if (found != m_accessibleItems.constEnd()) {
        if (QAccessibleInterface *existing = QAccessible::accessibleInterface(*found)) {
            return existing;
        }
    }
    auto *created = new RibbonItemAccessible(this, item, layoutGeneration(item));
    m_accessibleItems.insert(key, QAccessible::registerAccessibleInterface(created));
    return created;
}

void ZetRibbon::dropAccessibleItems(bool tabs, bool buttons)
{
    for (auto it = m_accessibleItems.begin(); it != m_accessibleItems.end();) {
        const bool isTab = F(it.key() >> 32) == F::TabMouse;
        if ((isTab && tabs) || (!isTab && buttons)) {
            m_droppedAccessibleItems.append(it.value());
            it = m_accessibleItems.erase(it);
        } else {
            ++it;
        }
    }
    if (!m_droppedAccessibleItems.isEmpty()) {
        // An item may be in the middle of its own press action: let it return first.
        QMetaObject::invokeMethod(this, &ZetRibbon::purgeDroppedAccessibleItems, Qt::QueuedConnection);
        QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reorder);
    }
}

void ZetRibbon::purgeDroppedAccessibleItems()
{
    for (const QAccessible::Id id : std::exchange(m_droppedAccessibleItems, {})) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

} // namespace Ribbon
