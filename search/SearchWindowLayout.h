#pragma once

#include "common/Twips.h"

#include <QSize>

// The designed geometry of a search window, shared by its construction and its layout.
namespace Search::WindowLayout {

// The window's designed client area; a larger window lets the list, the grid, its
// title and its help strip grow.
constexpr QSize DesignSize(Twips::toPixels(11100), Twips::toPixels(7035));
// Left of the splitter: the designed list column (its controls end 9 pixels before
// the grid starts); right of it: wide enough for the whole advanced panel.
constexpr int SplitterHandle = 8;
constexpr int ListPaneWidth = Twips::toPixels(3600) - SplitterHandle;
constexpr int ListPaneRightMargin = ListPaneWidth - Twips::toPixels(120) - Twips::toPixels(3255);
constexpr int DetailsPaneDesignWidth = Twips::toPixels(11100) - Twips::toPixels(3600);
constexpr int DetailsPaneMinimumWidth = Twips::toPixels(7335) + Twips::toPixels(11100 - 3600 - 7335);
constexpr QSize SmallestSize(ListPaneWidth + SplitterHandle + DetailsPaneMinimumWidth, 360);

} // namespace Search::WindowLayout
