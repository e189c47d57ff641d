#pragma once

#include "ribbon/RibbonScene.h"

namespace Ribbon {

class RibbonModel;

// Hover looks, one highlight at a time per level. Each takes an element index, or -1
// to clear its level.
void HoverTab(RibbonScene &scene, qint16 t);
void HoverCategory(RibbonScene &scene, qint16 c);
void HoverButton(RibbonScene &scene, qint16 b);

// The tab strip part of selecting tab i: the selected look moves to tab i and the
// current tab id becomes its id. The caller lays out the categories afterwards.
void selectTabLook(RibbonScene &scene, RibbonModel &model, int i);

// The index of the selected tab, or -1.
int selectedTab(const RibbonScene &scene);

} // namespace Ribbon
