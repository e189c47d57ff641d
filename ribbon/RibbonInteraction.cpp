#include "ribbon/RibbonInteraction.h"

#include "ribbon/RibbonModel.h"

namespace Ribbon {

using F = RibbonFamily;

namespace {

// One look per level: element `target` of the level whose hit areas are `hitArea` takes
// the look, every other element of that level loses it, in index order. -1 takes it from all.
using ElementStep = void (*)(RibbonScene &scene, int index);
void onlyOne(RibbonScene &scene, F hitArea, int target, ElementStep take, ElementStep lose)
{
    const int highest = scene.highestIndex(hitArea);
    for (int i = 0; i <= highest; ++i) {
        if (i == target) {
            take(scene, i);
        } else {
            lose(scene, i);
        }
    }
}

// The hover frame of a tab; the selected tab never shows it.
void lightTab(RibbonScene &scene, int i)
{
    if (!scene.isShown(F::Tab_center, i)) {
        scene.showEach({F::Tab_center_over, F::Tab_left_over, F::Tab_right_over}, i);
    }
}

void unlightTab(RibbonScene &scene, int i)
{
    if (scene.isShown(F::Tab_center_over, i)) {
        scene.hideEach({F::Tab_center_over, F::Tab_left_over, F::Tab_right_over}, i);
    }
}

// The lit panel of a category; its launcher, when it has one, shows its category-lit look.
void lightCategory(RibbonScene &scene, int k)
{
    scene.showEach({F::Cat_Center_on, F::Cat_Left_on, F::Cat_Right_on}, k);
    if (scene.isShown(F::Cat_Dlg, k)) {
        scene.show(F::Cat_Dlg_on, k);
        scene.hide(F::Cat_Dlg_over, k);
    }
}

void unlightCategory(RibbonScene &scene, int k)
{
    if (scene.isShown(F::Cat_Center_on, k)) {
        scene.hideEach({F::Cat_Center_on, F::Cat_Left_on, F::Cat_Right_on}, k);
        if (scene.isShown(F::Cat_Dlg, k)) {
            scene.hideEach({F::Cat_Dlg_on, F::Cat_Dlg_over}, k);
        }
    }
}

// The hover frame of a button, and its lit "more" glyph when it has one.
void lightButton(RibbonScene &scene, int j)
{
    if (!scene.isShown(F::Button_left, j)) {
        scene.showEach({F::Button_left, F::Button_center, F::Button_right}, j);
        if (scene.isShown(F::Glip_off, j)) {
            scene.show(F::Glip_on, j);
        }
    }
}

void unlightButton(RibbonScene &scene, int j)
{
    if (scene.isShown(F::Button_center, j)) {
        scene.hideEach({F::Button_left, F::Button_right, F::Button_center}, j);
        if (scene.isShown(F::Glip_off, j)) {
            scene.hide(F::Glip_on, j);
        }
    }
}

// The selected look of a tab: its frame, and its caption in the selected colour.
void selectTab(RibbonScene &scene, int i)
{
    scene.setColor(F::Tab_caption, i, scene.tabCaptionSelectedColor);
    scene.showEach({F::Tab_center, F::Tab_left, F::Tab_right}, i);
}

void unselectTab(RibbonScene &scene, int i)
{
    scene.hideEach({F::Tab_center, F::Tab_left, F::Tab_right}, i);
    scene.setColor(F::Tab_caption, i, scene.tabCaptionColor);
}

} // namespace

void HoverTab(RibbonScene &scene, qint16 t)
{
    onlyOne(scene, F::TabMouse, t, lightTab, unlightTab);
}

void HoverCategory(RibbonScene &scene, qint16 c)
{
    onlyOne(scene, F::CatMouse, c, lightCategory, unlightCategory);
}

void HoverButton(RibbonScene &scene, qint16 b)
{
    onlyOne(scene, F::ButMouse, b, lightButton, unlightButton);
}

void selectTabLook(RibbonScene &scene, RibbonModel &model, int i)
{
    HoverTab(scene, -1);
    onlyOne(scene, F::TabMouse, i, selectTab, unselectTab);
    if (i >= 0 && i < model.tabCount()) {
        model.setCurrentTabId(model.tab(i).id);
    }
}

int selectedTab(const RibbonScene &scene)
{
    for (int i = 0; i <= scene.highestIndex(F::TabMouse); ++i) {
        if (scene.isShown(F::Tab_center, i)) {
            return i;
        }
    }
    return -1;
}

} // namespace Ribbon
