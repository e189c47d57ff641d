#pragma once

#include <QProxyStyle>

namespace Components {

// The program's style: the desktop's own, with two answers of its own.
// - A view's grid lines take the colour in its "gridLineColor" property (the details
//   grid's), where a style sheet would make every grid parse and polish through a
//   style of its own.
// - Child windows get no stock icons for their menu and title bar buttons: the
//   program's child windows have neither and carry their command's picture, and each
//   stock icon is a file whose format Qt's reader guesses by loading every image plugin.
class ComponentStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // The property a view sets to a QColor to have its grid lines drawn in it.
    static constexpr const char *GridLineColorProperty = "gridLineColor";

    // Makes this the application's style, over the style it has, once; later calls do
    // nothing. Best called before the first window is made (widgets made before are
    // polished again).
    static void install();

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

private:
    explicit ComponentStyle(QStyle *base);
};

} // namespace Components
