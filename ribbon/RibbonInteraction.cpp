#include "RibbonInteraction.h"

#include "RibbonModel.h"

using F = RibbonFamily;

namespace {

void clearTabHover(RibbonScene &scene, int i)
{
    if (scene.isShown(F::Tab_center_over, i)) {
        scene.hide(F::Tab_center_over, i);
        scene.hide(F::Tab_left_over, i);
        scene.hide(F::Tab_right_over, i);
    }
}

void clearCategoryHover(RibbonScene &scene, int k)
{
    if (scene.isShown(F::Cat_Center_on, k)) {
        scene.hide(F::Cat_Center_on, k);
        scene.hide(F::Cat_Left_on, k);
        scene.hide(F::Cat_Right_on, k);
        if (scene.isShown(F::Cat_Dlg, k)) {
            scene.hide(F::Cat_Dlg_on, k);
            scene.hide(F::Cat_Dlg_over, k);
        }
    }
}

void clearButtonHover(RibbonScene &scene, int j)
{
    if (scene.isShown(F::Button_center, j)) {
        scene.hide(F::Button_left, j);
        scene.hide(F::Button_right, j);
        scene.hide(F::Button_center, j);
        if (scene.isShown(F::Glip_off, j)) {
            scene.hide(F::Glip_on, j);
        }
    }
}

} // namespace

void HoverTab(RibbonScene &scene, qint16 t)
{
    const int highest = scene.highestIndex(F::TabMouse);
    for (int i = 0; i <= highest; ++i) {
        if (i != t) {
            clearTabHover(scene, i);
        } else if (!scene.isShown(F::Tab_center, t)) {
            scene.show(F::Tab_center_over, t);
            scene.show(F::Tab_left_over, t);
            scene.show(F::Tab_right_over, t);
        }
    }
}

void HoverCategory(RibbonScene &scene, qint16 c)
{
    const int highest = scene.highestIndex(F::CatMouse);
    for (int k = 0; k <= highest; ++k) {
        if (k != c) {
            clearCategoryHover(scene, k);
            continue;
        }
        scene.show(F::Cat_Center_on, c);
        scene.show(F::Cat_Left_on, c);
        scene.show(F::Cat_Right_on, c);
        if (scene.isShown(F::Cat_Dlg, c)) {
            scene.show(F::Cat_Dlg_on, c);
            scene.hide(F::Cat_Dlg_over, c);
        }
    }
}

void HoverButton(RibbonScene &scene, qint16 b)
{
    const int highest = scene.highestIndex(F::ButMouse);
    for (int j = 0; j <= highest; ++j) {
        if (j != b) {
            clearButtonHover(scene, j);
        } else if (!scene.isShown(F::Button_left, b)) {
            scene.show(F::Button_left, b);
            scene.show(F::Button_center, b);
            scene.show(F::Button_right, b);
            if (scene.isShown(F::Glip_off, b)) {
                scene.show(F::Glip_on, b);
            }
        }
    }
}

void selectTabLook(RibbonScene &scene, RibbonModel &model, int i)
{
    HoverTab(scene, -1);
    const int highest = scene.highestIndex(F::TabMouse);
    for (int j = 0; j <= highest; ++j) {
        if (j == i) {
            scene.setColor(F::Tab_caption, i, scene.tabCaptionSelectedColor);
            scene.show(F::Tab_center, i);
            scene.show(F::Tab_left, i);
            scene.show(F::Tab_right, i);
        } else {
            scene.hide(F::Tab_center, j);
            scene.hide(F::Tab_left, j);
            scene.hide(F::Tab_right, j);
            scene.setColor(F::Tab_caption, j, scene.tabCaptionColor);
        }
    }
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
