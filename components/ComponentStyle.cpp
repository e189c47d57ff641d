#include "components/ComponentStyle.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QStyleFactory>
#include <QWidget>

namespace Components {

ComponentStyle::ComponentStyle(QStyle *base)
    : QProxyStyle(base)
{
}

void ComponentStyle::install()
{
    if (qobject_cast<ComponentStyle *>(QApplication::style())) {
        return;
    }
    // A style of the same kind as the one in use (the desktop's, or one the user chose),
    // since the proxy owns its base and the application deletes the style it replaces.
    QStyle *base = QStyleFactory::create(QApplication::style()->name());
    QApplication::setStyle(new ComponentStyle(base));
}

int ComponentStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                              QStyleHintReturn *returnData) const
{
    if (hint == SH_Table_GridLineColor && widget) {
        if (const QVariant color = widget->property(GridLineColorProperty); color.canConvert<QColor>()) {
            return int(color.value<QColor>().rgba());
        }
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon ComponentStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    // A child window asks for its menu's icon and those of the menu's commands when it
    // is made (for the commands with no widget named). The program's child windows
    // have neither menu nor title bar buttons, and no other window of it draws its own
    // title bar.
    if (standardIcon >= SP_TitleBarMenuButton && standardIcon <= SP_TitleBarContextHelpButton) {
        return {};
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

} // namespace Components
