#pragma once

#include "ribbon/RibbonScene.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace Ribbon {

class ZetRibbon;

// The ribbon as assistive technology sees it: a tool bar whose children are its
// tabs (page tabs) and buttons (push buttons), each with a Press action.
class ZetRibbonAccessible : public QAccessibleWidget
{
public:
    explicit ZetRibbonAccessible(QWidget *widget);

    // Makes queryAccessibleInterface answer with this class for every ZetRibbon.
    static void install();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    ZetRibbon *ribbon() const;
};

// One tab or button of the ribbon. It stays valid until the ribbon lays that row out again.
class RibbonItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    RibbonItemAccessible(ZetRibbon *ribbon, const ElementRef &item, quint64 generation);

    const ElementRef &item() const { return m_item; }

    bool isValid() const override;
    QObject *object() const override;
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString &text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    QPointer<ZetRibbon> m_ribbon;
    ElementRef m_item;
    quint64 m_generation;
};

} // namespace Ribbon
