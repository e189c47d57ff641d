#include "ribbon/RibbonLayout.h"

#include "common/AppError.h"
#include "common/Twips.h"
#include "components/AppFonts.h"
#include "ribbon/RibbonModel.h"

#include <QFontMetricsF>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace Ribbon {

using F = RibbonFamily;
namespace G = RibbonGeometry;

QFont FontTextMeasurer::fontFor(RibbonFont font)
{
    return Components::AppFonts::verdanaPixels(font == RibbonFont::ButtonCaption ? 9 : 13);
}

int FontTextMeasurer::lineHeight(RibbonFont font)
{
    return int(std::ceil(QFontMetricsF(fontFor(font)).height()));
}

QSizeF FontTextMeasurer::measure(const QString &text, RibbonFont font) const
{
    const QFontMetricsF metrics(fontFor(font));
    const QStringList lines = captionLines(text);
    qreal widest = 0;
    for (const QString &line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const qreal height = qreal(lines.size()) * lineHeight(font);
    return QSizeF(Twips::fromPixels(std::ceil(widest)), Twips::fromPixels(height));
}

QStringList captionLines(const QString &caption)
{
    // A line ends at "\r\n" or "\n" (a plain split: a regular expression would cost
    // the start-up its compiler).
    QString text = caption;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.split(QLatin1Char('\n'));
}

namespace {

// Rounds to whole twips, half to even. A full button table is wider than 16 bits
// hold, so the edges and widths handed between the layout steps are ints; a value
// beyond their range stops at its end instead of wrapping.
int toWholeTwips(float value)
{
    constexpr double Limit = std::numeric_limits<int>::max();
    return int(std::clamp(std::nearbyint(double(value)), -Limit, Limit));
}

void setCaption(RibbonScene &scene, F family, int index, const QString &text, const RibbonTextMeasurer &measurer)
{
    RibbonElement &element = scene.at(family, index);
    element.text = text;
    const QSizeF size = measurer.measure(text, fontOf(family));
    element.width = float(size.width());
    element.height = float(size.height());
}

const F TabFamilies[] = {F::Tab_caption,   F::Tab_left,        F::Tab_center,     F::Tab_right,
                         F::Tab_left_over, F::Tab_center_over, F::Tab_right_over, F::TabMouse};

const F CategoryFamilies[]
    = {F::Cat_Left_off, F::Cat_Left_on, F::Cat_Right_off, F::Cat_Right_on, F::Cat_Center_off, F::Cat_Center_on,
       F::Cat_Caption,  F::CatMouse,    F::Cat_Dlg,       F::Cat_Dlg_on,   F::Cat_Dlg_over};

const F ButtonFamilies[]
    = {F::Button_left,       F::Button_center,  F::Button_right, F::Button_left_over, F::Button_center_over,
       F::Button_right_over, F::Button_Caption, F::Button_Icon,  F::Glip_on,          F::Glip_off,
       F::ButMouse};

template<size_t N>
void createEach(RibbonScene &scene, const F (&families)[N], int index)
{
    for (const F family : families) {
        scene.create(family, index);
    }
}

// Discards every element of the families; element 0 starts again as a hidden copy of
// its template.
template<size_t N>
void startAfresh(RibbonScene &scene, const F (&families)[N])
{
    for (const F family : families) {
        scene.discardFrom(family, 0);
        scene.create(family, 0);
    }
}

// The tab shown selected is the one whose categories are laid out: the current tab
// (tab 0 until a tab is clicked, or when no tab carries the current id).
int selectedTab(const RibbonModel &model)
{
    int selected = 0;
    for (int i = 0; i < model.tabCount(); ++i) {
        if (model.tab(i).id == model.currentTabId()) {
            selected = i;
            break;
        }
    }
    return selected;
}

// The categories of the current tab, in the order they were added, as many as the
// ribbon holds.
QVector<const RibbonCategory *> categoriesOfCurrentTab(const RibbonModel &model)
{
    QVector<const RibbonCategory *> shown;
    const QString &currentTab = model.currentTabId();
    for (int c = 0; c < model.categoryCount() && shown.size() < RibbonModel::CategoryCapacity; ++c) {
        const RibbonCategory &category = model.category(c);
        if (!currentTab.isEmpty() && !category.tabId.isEmpty() && category.tabId == currentTab) {
            shown.append(&category);
        }
    }
    return shown;
}

// Every button goes above the category panels, with its frames hidden.
void raiseButtonsAboveCategories(RibbonScene &scene)
{
    for (int j = 0; j <= scene.highestIndex(F::ButMouse); ++j) {
        for (const F family : {F::Button_left, F::Button_right, F::Button_center, F::Button_left_over,
                               F::Button_right_over, F::Button_center_over}) {
            scene.hide(family, j);
            scene.bringToFront(family, j);
        }
        scene.bringEachToFront({F::Button_Icon, F::Button_Caption, F::Glip_off, F::Glip_on, F::ButMouse}, j);
    }
}

// The buttons of one category, in the order they were added, as many as the ribbon holds.
QVector<const RibbonButton *> buttonsOfCategory(const RibbonModel &model, const QString &categoryId)
{
    QVector<const RibbonButton *> buttons;
    for (int b = 0; b < model.buttonCount() && buttons.size() < RibbonModel::ButtonCapacity; ++b) {
        if (model.button(b).categoryId == categoryId) {
            buttons.append(&model.button(b));
        }
    }
    return buttons;
}

// Stacks a button's icon, caption and "more" glyph in its centre piece, the narrower of
// icon and caption centred on the wider; returns the wider's width.
float stackIconAndCaption(RibbonScene &scene, const RibbonLayoutInput &input, const RibbonButton &button, int i)
{
    const RibbonElement &center = scene.at(F::Button_center, i);
    RibbonElement &icon = scene.at(F::Button_Icon, i);
    RibbonElement &caption = scene.at(F::Button_Caption, i);
    RibbonElement &glyphOff = scene.at(F::Glip_off, i);
    RibbonElement &glyphOn = scene.at(F::Glip_on, i);
    if (input.buttonCenter) {
        const float v = center.height - (icon.height + caption.height);
        icon.top = button.more ? center.top + (v - caption.height / 2) / 2 : center.top + v / 2;
    } else {
        icon.top = center.top + G::IconBelowButtonTop;
    }
    caption.top = icon.top + icon.height;
    glyphOff.top = caption.top + caption.height + (caption.height - glyphOff.height) / 2;
    glyphOn.top = glyphOff.top;

    float contentWidth;
    if (caption.width > icon.width) {
        caption.left = center.left;
        icon.left = caption.left + (caption.width - icon.width) / 2;
        contentWidth = caption.width;
    } else {
        icon.left = center.left;
        caption.left = icon.left + (icon.width - caption.width) / 2;
        contentWidth = icon.width;
    }
    glyphOff.left = (caption.width - glyphOn.width) / 2 + caption.left;
    glyphOn.left = glyphOff.left;
    return contentWidth;
}

// Lays out button element i of category k: from `left`, or after button i - 1 when
// there is none.
void layOutButton(RibbonScene &scene, const RibbonLayoutInput &input, const RibbonButton &button, int i,
                  std::optional<int> left, qint16 k)
{
    createEach(scene, ButtonFamilies, i);
    RibbonElement &mouse = scene.at(F::ButMouse, i);
    RibbonElement &leftEdge = scene.at(F::Button_left, i);
    RibbonElement &center = scene.at(F::Button_center, i);
    RibbonElement &right = scene.at(F::Button_right, i);
    mouse.tag = button.id;
    center.tag = QString::number(k);

    const float top = scene.at(F::Cat_Left_off, 0).top + G::ButtonRowBelowCategory;
    mouse.top = top;
    for (const F family : {F::Button_left, F::Button_center, F::Button_right, F::Button_left_over,
                           F::Button_center_over, F::Button_right_over}) {
        scene.at(family, i).top = top;
    }
    if (left) {
        mouse.left = float(*left);
    } else {
        const RibbonElement &previous = scene.at(F::ButMouse, i - 1);
        mouse.left = previous.left + previous.width + G::ButtonGap;
    }
    leftEdge.left = mouse.left;
    scene.at(F::Button_left_over, i).left = leftEdge.left;
    center.left = leftEdge.left + leftEdge.width;
    scene.at(F::Button_center_over, i).left = center.left;

    setCaption(scene, F::Button_Caption, i, button.caption, input.measurer);
    scene.setPicture(F::Button_Icon, i, button.picture);
    const float contentWidth = stackIconAndCaption(scene, input, button, i);

    center.width = contentWidth;
    scene.at(F::Button_center_over, i).width = contentWidth;
    right.left = center.left + contentWidth;
    scene.at(F::Button_right_over, i).left = right.left;
    mouse.width = leftEdge.width + center.width + right.width;
    mouse.toolTip = button.toolTip;

    scene.showEach({F::Button_Icon, F::Button_Caption, F::ButMouse}, i);
    if (button.more) {
        scene.show(F::Glip_off, i);
        scene.bringEachToFront({F::Glip_off, F::Glip_on}, i);
    }
}

// Places category k's dialog launcher in the bottom right corner of its panel, shown
// when the category has one; its pressed and hovered looks start hidden.
void placeLauncher(RibbonScene &scene, const RibbonCategory &category, int k)
{
    const RibbonElement &rightOff = scene.at(F::Cat_Right_off, k);
    RibbonElement &launcher = scene.at(F::Cat_Dlg, k);
    launcher.left = rightOff.left - launcher.width + G::LauncherOverlap;
    launcher.top = rightOff.top + rightOff.height - (launcher.height + G::LauncherMargin);
    for (const F family : {F::Cat_Dlg_on, F::Cat_Dlg_over}) {
        RibbonElement &look = scene.at(family, k);
        look.left = launcher.left;
        look.top = launcher.top;
        scene.hide(family, k);
    }
    if (category.dialogLauncher) {
        scene.show(F::Cat_Dlg, k);
    }
    scene.bringEachToFront({F::Cat_Dlg, F::Cat_Dlg_on, F::Cat_Dlg_over}, k);
}

// Lays out category k's panel after category k - 1, as wide as the wider of its caption
// (and launcher) and its buttons, which it lays out too.
void layOutCategory(RibbonScene &scene, const RibbonLayoutInput &input, const RibbonCategory &category, int k)
{
    if (k > 0) {
        createEach(scene, CategoryFamilies, k);
        scene.at(F::Cat_Left_off, k).left
            = scene.at(F::Cat_Right_off, k - 1).left + scene.at(F::Cat_Right_off, k).width;
    } else {
        scene.at(F::Cat_Left_off, 0).left = G::FirstCategoryLeft;
    }
    RibbonElement &leftOff = scene.at(F::Cat_Left_off, k);
    RibbonElement &centerOff = scene.at(F::Cat_Center_off, k);
    RibbonElement &rightOff = scene.at(F::Cat_Right_off, k);
    RibbonElement &caption = scene.at(F::Cat_Caption, k);
    RibbonElement &mouse = scene.at(F::CatMouse, k);
    const RibbonElement &launcher = scene.at(F::Cat_Dlg, k);
    mouse.left = leftOff.left;
    setCaption(scene, F::Cat_Caption, k, category.caption, input.measurer);
    caption.tag = category.id;
    centerOff.left = leftOff.left + leftOff.width;

    const int buttonsWidth = LayoutButtons(scene, input, category.id, toWholeTwips(centerOff.left), qint16(k));

    centerOff.width = caption.width + (category.dialogLauncher ? launcher.width : 0);
    if (centerOff.width < buttonsWidth) {
        centerOff.width = buttonsWidth;
        caption.left = (centerOff.width - caption.width) / 2 + centerOff.left;
    } else {
        caption.left = centerOff.left;
    }
    rightOff.left = centerOff.left + centerOff.width;
    RibbonElement &centerOn = scene.at(F::Cat_Center_on, k);
    centerOn.width = centerOff.width;
    centerOn.left = centerOff.left;
    scene.at(F::Cat_Left_on, k).left = leftOff.left;
    scene.at(F::Cat_Right_on, k).left = rightOff.left;
    mouse.width = leftOff.width + rightOff.width + centerOff.width;

    scene.showEach({F::Cat_Caption, F::Cat_Center_off, F::Cat_Left_off, F::Cat_Right_off, F::CatMouse}, k);
    scene.bringEachToFront({F::Cat_Center_off, F::Cat_Left_off, F::Cat_Right_off, F::Cat_Center_on, F::Cat_Left_on,
                            F::Cat_Right_on, F::Cat_Caption, F::CatMouse},
                           k);
    placeLauncher(scene, category, k);
}

} // namespace

void LayoutBackground(RibbonScene &scene)
{
    for (const F family : {F::Barra2, F::BarraLeft, F::BarraRight}) {
        RibbonElement &element = scene.at(family, 0);
        element.top = G::BackgroundTop;
        element.left = family == F::BarraRight ? 480 : 0;
        scene.show(family, 0);
    }
    scene.at(F::Barra2, 0).width = G::BackgroundWidth;
    scene.invalidateAll();
}

float ribbonHeight(const RibbonScene &scene)
{
    return scene.at(F::Barra2, 0).height + G::BackgroundTop;
}

void LayoutTabs(RibbonScene &scene, const RibbonLayoutInput &input)
{
    const int n = input.model.tabCount();
    const int selected = selectedTab(input.model);
    scene.invalidateAll();
    startAfresh(scene, TabFamilies);
    for (int i = 0; i < n; ++i) {
        Common::runSkippingFailure([&] {
            if (i > 0) {
                createEach(scene, TabFamilies, i);
                const RibbonElement &previousRight = scene.at(F::Tab_right, i - 1);
                scene.at(F::Tab_left, i).left = previousRight.left + previousRight.width;
            } else {
                scene.at(F::Tab_left, 0).left = G::FirstTabLeft;
            }
            RibbonElement &left = scene.at(F::Tab_left, i);
            RibbonElement &center = scene.at(F::Tab_center, i);
            RibbonElement &right = scene.at(F::Tab_right, i);
            RibbonElement &mouse = scene.at(F::TabMouse, i);
            RibbonElement &caption = scene.at(F::Tab_caption, i);
            mouse.left = left.left;
            caption.top = G::TabCaptionTop;
            for (const F family : {F::Tab_left, F::Tab_center, F::Tab_right, F::Tab_left_over, F::Tab_center_over,
                                   F::Tab_right_over, F::TabMouse}) {
                scene.at(family, i).top = 0;
            }
            setCaption(scene, F::Tab_caption, i, input.model.tab(i).caption, input.measurer);
            center.width = caption.width;
            center.left = left.left + left.width;
            caption.left = center.left;
            right.left = center.left + center.width;
            RibbonElement &centerOver = scene.at(F::Tab_center_over, i);
            centerOver.width = center.width;
            centerOver.left = center.left;
            scene.at(F::Tab_left_over, i).left = left.left;
            scene.at(F::Tab_right_over, i).left = right.left;
            mouse.width = left.width + center.width + right.width;
            caption.color = scene.tabCaptionColor;
            scene.show(F::Tab_caption, i);
            if (i == selected) {
                scene.showEach({F::Tab_center, F::Tab_left, F::Tab_right}, i);
                caption.color = scene.tabCaptionSelectedColor;
            }
            scene.show(F::TabMouse, i);
            scene.bringEachToFront({F::Tab_center, F::Tab_left, F::Tab_right, F::Tab_center_over, F::Tab_left_over,
                                    F::Tab_right_over, F::Tab_caption, F::TabMouse},
                                   i);
        });
    }
}

void LayoutCategories(RibbonScene &scene, const RibbonLayoutInput &input)
{
    scene.invalidateAll();
    for (const F family : {F::Cat_Left_off, F::Cat_Center_off, F::Cat_Right_off, F::Cat_Left_on, F::Cat_Center_on,
                           F::Cat_Right_on, F::CatMouse}) {
        scene.templateOf(family).top = G::CategoryTop;
    }
    scene.templateOf(F::Cat_Caption).top = G::CategoryCaptionTop;

    const QVector<const RibbonCategory *> shown = categoriesOfCurrentTab(input.model);

    startAfresh(scene, CategoryFamilies);
    startAfresh(scene, ButtonFamilies);

    for (int k = 0; k < shown.size(); ++k) {
        Common::runSkippingFailure([&] { layOutCategory(scene, input, *shown[k], k); });
    }

    raiseButtonsAboveCategories(scene);
}

int LayoutButtons(RibbonScene &scene, const RibbonLayoutInput &input, const QString &categoryId, int x0, qint16 k)
{
    float total = 0;
    const QVector<const RibbonButton *> buttons = buttonsOfCategory(input.model, categoryId);
    const int first = scene.highestIndex(F::ButMouse) + 1;
    for (int j = 0; j < buttons.size(); ++j) {
        Common::runSkippingFailure([&] {
            const int i = first + j;
            layOutButton(scene, input, *buttons[j], i, j == 0 ? std::optional<int>(x0) : std::nullopt, k);
            total += scene.at(F::ButMouse, i).width + G::ButtonGap;
        });
    }
    return toWholeTwips(total - G::ButtonGap);
}

} // namespace Ribbon
