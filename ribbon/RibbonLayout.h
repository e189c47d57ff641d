#pragma once

#include "ribbon/RibbonScene.h"

#include <QFont>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace Ribbon {

class RibbonModel;

// Measures caption texts in twips: the widest line and the summed line heights.
class RibbonTextMeasurer
{
public:
    virtual ~RibbonTextMeasurer() = default;
    virtual QSizeF measure(const QString &text, RibbonFont font) const = 0;
};

// The captions' real fonts: Verdana (or the closest font the system has), 13 pixels
// for tab and category captions, 9 pixels for button captions.
class FontTextMeasurer : public RibbonTextMeasurer
{
public:
    static QFont fontFor(RibbonFont font);
    // Height in pixels of one caption line.
    static int lineHeight(RibbonFont font);
    QSizeF measure(const QString &text, RibbonFont font) const override;
};

// The lines of a caption: CR LF (or a lone LF) starts a new line.
QStringList captionLines(const QString &caption);

// What a layout is computed from besides the scene's templates.
struct RibbonLayoutInput
{
    const RibbonModel &model;
    const RibbonTextMeasurer &measurer;
    bool buttonCenter;
};

// The ribbon's geometry, computed into the scene. Each step that fails is skipped
// and the layout goes on with the next one.
void LayoutBackground(RibbonScene &scene);
void LayoutTabs(RibbonScene &scene, const RibbonLayoutInput &input);
void LayoutCategories(RibbonScene &scene, const RibbonLayoutInput &input);
// Lays out the buttons of one category from left edge x0; returns their total width
// with the gaps between them (-30 for a category without buttons). Both in whole
// twips: with a full button table they pass the 16-bit range.
int LayoutButtons(RibbonScene &scene, const RibbonLayoutInput &input, const QString &categoryId, int x0, qint16 k);

// The ribbon's height in twips: the background band's height less the part of it
// that lies above the ribbon.
float ribbonHeight(const RibbonScene &scene);

namespace RibbonGeometry {
constexpr float BackgroundTop = -390;
constexpr float BackgroundWidth = 30720;
constexpr float FirstTabLeft = 90;
constexpr float TabCaptionTop = 60;
constexpr float CategoryTop = 360;
constexpr float CategoryCaptionTop = 1400;
constexpr float FirstCategoryLeft = 120;
constexpr float ButtonRowBelowCategory = 60;
constexpr float IconBelowButtonTop = 90;
constexpr float ButtonGap = 30;
constexpr float LauncherOverlap = 15;
constexpr float LauncherMargin = 60;
} // namespace RibbonGeometry

} // namespace Ribbon
