#include "ribbon/ZetRibbonAccessible.h"

#include "ribbon/RibbonInteraction.h"
#include "ribbon/ZetRibbon.h"

#include <QWidget>
#include <QWindow>

namespace Ribbon {

namespace {

QAccessibleInterface *ribbonFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(ZetRibbon::staticMetaObject.className()) && object && object->isWidgetType()) {
        return new ZetRibbonAccessible(static_cast<QWidget *>(object));
    }
    return nullptr;
}

} // namespace

ZetRibbonAccessible::ZetRibbonAccessible(QWidget *widget)
    : QAccessibleWidget(widget, QAccessible::ToolBar)
{
}

void ZetRibbonAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(ribbonFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

ZetRibbon *ZetRibbonAccessible::ribbon() const
{
    return static_cast<ZetRibbon *>(widget());
}

int ZetRibbonAccessible::childCount() const
{
    return int(ribbon()->focusableItems().size());
}

QAccessibleInterface *ZetRibbonAccessible::child(int index) const
{
    const QVector<ElementRef> items = ribbon()->focusableItems();
    return index >= 0 && index < items.size() ? ribbon()->accessibleItem(items[index]) : nullptr;
}

int ZetRibbonAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *item = dynamic_cast<const RibbonItemAccessible *>(child);
    return item && item->isValid() ? int(ribbon()->focusableItems().indexOf(item->item())) : -1;
}

QAccessibleInterface *ZetRibbonAccessible::childAt(int x, int y) const
{
    const std::optional<ElementRef> hit = ribbon()->scene().elementAt(ribbon()->mapFromGlobal(QPoint(x, y)));
    return hit ? ribbon()->accessibleItem(*hit) : nullptr;
}

QAccessibleInterface *ZetRibbonAccessible::focusChild() const
{
    const std::optional<ElementRef> focus = ribbon()->focusItem();
    return focus && ribbon()->hasFocus() ? ribbon()->accessibleItem(*focus) : nullptr;
}

RibbonItemAccessible::RibbonItemAccessible(ZetRibbon *ribbon, const ElementRef &item, quint64 generation)
    : m_ribbon(ribbon),
      m_item(item),
      m_generation(generation)
{
}

bool RibbonItemAccessible::isValid() const
{
    return m_ribbon && m_ribbon->layoutGeneration(m_item) == m_generation
        && m_ribbon->scene().isShown(m_item.family, m_item.index);
}

QObject *RibbonItemAccessible::object() const
{
    return nullptr;
}

QWindow *RibbonItemAccessible::window() const
{
    return m_ribbon ? m_ribbon->window()->windowHandle() : nullptr;
}

QAccessibleInterface *RibbonItemAccessible::parent() const
{
    return m_ribbon ? QAccessible::queryAccessibleInterface(m_ribbon.data()) : nullptr;
}

QAccessibleInterface *RibbonItemAccessible::child(int) const
{
    return nullptr;
}

int RibbonItemAccessible::childCount() const
{
    return 0;
}

int RibbonItemAccessible::indexOfChild(const QAccessibleInterface *) const
{
    return -1;
}

QAccessibleInterface *RibbonItemAccessible::childAt(int, int) const
{
    return nullptr;
}

QAccessibleInterface *RibbonItemAccessible::focusChild() const
{
    return nullptr;
}

QString RibbonItemAccessible::text(QAccessible::Text t) const
{
    if (!isValid()) {
        return QString();
    }
    switch (t) {
    case QAccessible::Name:
        return m_ribbon->itemName(m_item);
    case QAccessible::Description:
        if (m_item.family == RibbonFamily::ButMouse) {
            const QString tip = m_ribbon->scene().at(RibbonFamily::ButMouse, m_item.index).toolTip;
            return tip == m_ribbon->itemName(m_item) ? QString() : tip;
        }
        return QString();
    default:
        return QString();
    }
}

void RibbonItemAccessible::setText(QAccessible::Text, const QString &)
{
}

QRect RibbonItemAccessible::rect() const
{
    if (!isValid()) {
        return QRect();
    }
    const QRect local = pixelRect(m_ribbon->scene().at(m_item.family, m_item.index));
    return QRect(m_ribbon->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::Role RibbonItemAccessible::role() const
{
    return m_item.family == RibbonFamily::TabMouse ? QAccessible::PageTab : QAccessible::Button;
}

QAccessible::State RibbonItemAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.focusable = true;
    state.focused = m_ribbon->hasFocus() && m_ribbon->focusItem() == m_item;
    if (m_item.family == RibbonFamily::TabMouse) {
        state.selectable = true;
        state.selected = selectedTab(m_ribbon->scene()) == m_item.index;
    } else {
        state.hotTracked = m_ribbon->scene().isShown(RibbonFamily::Button_center, m_item.index);
        state.pressed = m_ribbon->scene().isShown(RibbonFamily::Button_center_over, m_item.index);
    }
    return state;
}

void *RibbonItemAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList RibbonItemAccessible::actionNames() const
{
    return {pressAction()};
}

void RibbonItemAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction() && isValid()) {
        m_ribbon->pressItem(m_item);
    }
}

QStringList RibbonItemAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName != pressAction()) {
        return QStringList();
    }
    // The keys that run the button from anywhere come first: they are what is worth telling.
    QStringList keys;
    if (isValid() && m_item.family == RibbonFamily::ButMouse) {
        const QString id = m_ribbon->scene().at(RibbonFamily::ButMouse, m_item.index).tag;
        if (const QKeySequence shortcut = m_ribbon->buttonShortcut(id); !shortcut.isEmpty()) {
            keys << shortcut.toString(QKeySequence::NativeText);
        }
    }
    return keys << QStringLiteral("Space");
}

} // namespace Ribbon
