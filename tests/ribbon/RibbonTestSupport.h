#pragma once

#include "common/AppError.h"
#include "ribbon/RibbonLayout.h"
#include "components/VbalImageList.h"
#include "ribbon/ZetRibbon.h"

#include <QColor>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#include <functional>

using namespace Common;
using namespace Components;
using namespace Ribbon;

// Captions measured without fonts: every character of a tab or category caption is
// 105 twips wide and a line 240 high; of a button caption 75 wide and 165 high.
class FixedTextMeasurer : public RibbonTextMeasurer
{
public:
    static constexpr float CaptionChar = 105;
    static constexpr float CaptionLine = 240;
    static constexpr float ButtonChar = 75;
    static constexpr float ButtonLine = 165;

    QSizeF measure(const QString &text, RibbonFont font) const override
    {
        const QStringList lines = captionLines(text);
        qsizetype widest = 0;
        for (const QString &line : lines) {
            widest = std::max(widest, line.size());
        }
        const bool button = font == RibbonFont::ButtonCaption;
        return QSizeF(double(widest) * (button ? ButtonChar : CaptionChar),
                      double(lines.size()) * (button ? ButtonLine : CaptionLine));
    }
};

// Seven plain 32 by 32 pictures, numbered 1 to 7.
inline void fillImageList(VbalImageList &list)
{
    const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow, Qt::gray};
    for (const QColor &color : colors) {
        QPixmap picture(32, 32);
        picture.fill(color);
        list.add(picture);
    }
}

// The main window's ribbon: two tabs, four categories and eight buttons, in its order.
template<typename Ribbon>
void addMainWindowItems(Ribbon &ribbon)
{
    ribbon.AddTab(QStringLiteral("1"), QStringLiteral("Drug Reference"));
    ribbon.AddTab(QStringLiteral("2"), QStringLiteral("About"));
    ribbon.AddCat(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Drug Reference"), false);
    ribbon.AddCat(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Exit"), false);
    ribbon.AddCat(QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("About"), false);
    ribbon.AddCat(QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("Exit"), true);
    ribbon.AddButton(QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("Show Drugs"), 1);
    ribbon.AddButton(QStringLiteral("9"), QStringLiteral("1"), QStringLiteral("Ingredients"), 2);
    ribbon.AddButton(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Dosage Form"), 3);
    ribbon.AddButton(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Route of\r\nAdministration"), 4);
    ribbon.AddButton(QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("Patents"), 5);
    ribbon.AddButton(QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("Exit"), 7, true);
    ribbon.AddButton(QStringLiteral("6"), QStringLiteral("3"), QStringLiteral("About"), 6);
    ribbon.AddButton(QStringLiteral("8"), QStringLiteral("4"), QStringLiteral("Exit"), 7);
}

// The ribbon of the main window: its image list filled, its items added, laid out.
inline void fillAsMainWindow(ZetRibbon &ribbon, VbalImageList &images)
{
    fillImageList(images);
    ribbon.setImageList(&images);
    addMainWindowItems(ribbon);
    ribbon.Refresh();
}

// The error a call raises; number 0 when it raises none.
inline AppError errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const AppError &error) {
        return error;
    }
    return AppError(0, QString(), QString());
}

// Collects the areas a widget repaints, once installed as its event filter.
class PaintRecorder : public QObject
{
public:
    QRegion painted;
    int events = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
            ++events;
        }
        return false;
    }
};

inline QPoint centreOf(const RibbonElement &element)
{
    return pixelRect(element).center();
}

inline void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void moveMouse(QWidget *widget, const QPoint &pos)
{
    sendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}
