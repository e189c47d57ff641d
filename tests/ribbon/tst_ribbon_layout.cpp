#include "RibbonTestSupport.h"

#include "ribbon/RibbonInteraction.h"
#include "ribbon/RibbonLayout.h"
#include "ribbon/RibbonModel.h"
#include "ribbon/RibbonTheme.h"

#include <QTest>

using namespace Components;
using namespace Ribbon;

using F = RibbonFamily;

namespace {

// A model laid out with the first theme's pictures and fixed caption widths.
struct Laid
{
    VbalImageList images;
    RibbonModel model;
    RibbonScene scene;
    FixedTextMeasurer measurer;
    bool buttonCenter = false;

    Laid()
    {
        fillImageList(images);
        model.setImageList(&images);
        RibbonTheme::applyToScene(scene, 0);
        LayoutBackground(scene);
    }
    RibbonLayoutInput input() const { return {model, measurer, buttonCenter}; }
    void refresh()
    {
        LayoutTabs(scene, input());
        LayoutCategories(scene, input());
    }
    // The main window's items laid out, showing the categories of `currentTab`.
    void layOutMainWindow(const QString &currentTab = QString())
    {
        addMainWindowItems(model);
        if (!currentTab.isEmpty()) {
            model.setCurrentTabId(currentTab);
        }
        refresh();
    }
    const RibbonElement &at(F family, int index) const { return scene.at(family, index); }
    bool shown(F family, int index) const { return scene.isShown(family, index); }
};

// Everything on show, back to front, as text.
QString describe(const RibbonScene &scene)
{
    QStringList lines;
    for (const ElementRef &ref : scene.paintOrder()) {
        const RibbonElement &e = scene.at(ref.family, ref.index);
        lines << QStringLiteral("%1(%2) %3,%4 %5x%6 '%7' %8 %9 %10 %11")
                     .arg(QLatin1String(familyName(ref.family)))
                     .arg(ref.index)
                     .arg(e.left)
                     .arg(e.top)
                     .arg(e.width)
                     .arg(e.height)
                     .arg(e.text, e.color.name(), e.tag, e.toolTip)
                     .arg(e.picture.cacheKey());
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class RibbonLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void tabsAbutWithTheirCaptionBetweenTwoEdges();
    void fullLayoutSelectsTheTabWhoseCategoriesShow();
    void emptyTabCaptionLeavesOnlyTheEdges();
    void buttonsSitSideBySideSizedByCaptionOrIcon();
    void categoryTakesTheWiderOfCaptionAndButtons();
    void categoryWithoutButtonsIsAsWideAsItsCaption();
    void fullButtonTableLaysOutPastSixteenBits_data();
    void fullButtonTableLaysOutPastSixteenBits();
    void iconsFollowTheButtonCenterRule();
    void launcherSitsInTheBottomRightCorner();
    void moreGlyphIsCentredUnderTheCaption();
    void stackingFollowsTheLayoutSteps();
    void buttonFramesAreHiddenAfterEveryLayout();
    void parentsAreMatchedByIdAlone();
    void withoutTabsOnlyTheBackgroundShows();
    void layingOutAgainGivesTheSameScene();
    void heightComesFromTheBackgroundBand();
};

void RibbonLayoutTest::tabsAbutWithTheirCaptionBetweenTwoEdges()
{
    Laid laid;
    laid.layOutMainWindow();
    // "Drug Reference" is 14 characters: 1470 twips.
    QCOMPARE(laid.at(F::Tab_left, 0).left, 90.f);
    QCOMPARE(laid.at(F::Tab_center, 0).left, 240.f);
    QCOMPARE(laid.at(F::Tab_center, 0).width, 1470.f);
    QCOMPARE(laid.at(F::Tab_caption, 0).left, 240.f);
    QCOMPARE(laid.at(F::Tab_caption, 0).top, 60.f);
    QCOMPARE(laid.at(F::Tab_right, 0).left, 1710.f);
    QCOMPARE(laid.at(F::TabMouse, 0).width, 1770.f);
    QCOMPARE(laid.at(F::TabMouse, 0).height, 360.f);
    // The second tab starts where the first one's right edge ends.
    QCOMPARE(laid.at(F::Tab_left, 1).left, 1860.f);
    QCOMPARE(laid.at(F::TabMouse, 1).left, 1860.f);
    QCOMPARE(laid.at(F::Tab_center_over, 1).left, 2010.f);
    QCOMPARE(laid.at(F::Tab_center_over, 1).width, 525.f);
    QCOMPARE(laid.at(F::Tab_right_over, 1).left, 2535.f);
    // Tab 0 is shown selected, tab 1 not; no hover frames.
    QVERIFY(laid.shown(F::Tab_center, 0) && laid.shown(F::Tab_left, 0) && laid.shown(F::Tab_right, 0));
    QVERIFY(!laid.shown(F::Tab_center, 1) && !laid.shown(F::Tab_left, 1));
    QVERIFY(!laid.shown(F::Tab_center_over, 0) && !laid.shown(F::Tab_center_over, 1));
    QCOMPARE(laid.at(F::Tab_caption, 0).color, QColor(0, 0, 0));
    QCOMPARE(laid.at(F::Tab_caption, 1).color, QColor(255, 255, 255));
}

void RibbonLayoutTest::fullLayoutSelectsTheTabWhoseCategoriesShow()
{
    Laid laid;
    laid.layOutMainWindow(QStringLiteral("2"));
    QVERIFY(laid.shown(F::Tab_center, 1) && !laid.shown(F::Tab_center, 0));
    QCOMPARE(laid.at(F::Tab_caption, 1).color, QColor(0, 0, 0));
    QCOMPARE(laid.at(F::Cat_Caption, 0).text, QStringLiteral("About"));

    laid.model.setCurrentTabId(QStringLiteral("no such tab"));
    laid.refresh();
    QVERIFY(laid.shown(F::Tab_center, 0) && !laid.shown(F::Tab_center, 1));
}

void RibbonLayoutTest::emptyTabCaptionLeavesOnlyTheEdges()
{
    Laid laid;
    laid.model.AddTab(QStringLiteral("1"), QString());
    laid.model.AddTab(QStringLiteral("2"), QStringLiteral("X"));
    laid.refresh();
    QCOMPARE(laid.at(F::TabMouse, 0).width, 300.f);
    QCOMPARE(laid.at(F::Tab_left, 1).left, 390.f);
}

void RibbonLayoutTest::buttonsSitSideBySideSizedByCaptionOrIcon()
{
    Laid laid;
    laid.layOutMainWindow();
    // Button elements count from 1; category "1" holds five, category "2" one.
    QCOMPARE(laid.scene.highestIndex(F::ButMouse), 6);
    QVERIFY(!laid.shown(F::ButMouse, 0));
    const float lefts[] = {180, 1050, 1995, 2940, 4110};
    const float widths[] = {840, 915, 915, 1140, 615}; // 45 + wider of caption and icon + 45
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(laid.at(F::ButMouse, i + 1).left, lefts[i]);
        QCOMPARE(laid.at(F::ButMouse, i + 1).width, widths[i]);
        QCOMPARE(laid.at(F::ButMouse, i + 1).top, 420.f);
        QCOMPARE(laid.at(F::Button_left, i + 1).left, lefts[i]);
        QCOMPARE(laid.at(F::Button_right_over, i + 1).left, lefts[i] + widths[i] - 45);
    }
    QCOMPARE(laid.at(F::ButMouse, 4).tag, QStringLiteral("2"));
    QCOMPARE(laid.at(F::ButMouse, 4).toolTip, QStringLiteral("Route of Administration"));
    QCOMPARE(laid.at(F::Button_center, 6).tag, QStringLiteral("1"));
    // Caption wider than the icon: the icon is centred over the caption.
    QCOMPARE(laid.at(F::Button_Caption, 1).left, 225.f);
    QCOMPARE(laid.at(F::Button_Icon, 1).left, 360.f);
    // A two-line caption is as wide as its widest line and two lines high.
    QCOMPARE(laid.at(F::Button_Caption, 4).width, 1050.f);
    QCOMPARE(laid.at(F::Button_Caption, 4).height, 330.f);
    // Icon wider than the caption ("Exit"): the caption is centred under the icon.
    QCOMPARE(laid.at(F::Button_Icon, 6).left, 4905.f);
    QCOMPARE(laid.at(F::Button_Caption, 6).left, 4995.f);
    QCOMPARE(laid.at(F::Button_center, 6).width, 480.f);
    // Frames and glyph highlights start hidden; icons, captions and hit areas show.
    for (int j = 1; j <= 6; ++j) {
        QVERIFY(laid.shown(F::Button_Icon, j) && laid.shown(F::Button_Caption, j) && laid.shown(F::ButMouse, j));
        QVERIFY(!laid.shown(F::Button_center, j) && !laid.shown(F::Button_center_over, j));
        QVERIFY(!laid.shown(F::Glip_on, j));
    }
}

void RibbonLayoutTest::categoryTakesTheWiderOfCaptionAndButtons()
{
    Laid laid;
    laid.layOutMainWindow();
    // Buttons wider than the caption: the panel takes their width, the caption is centred.
    QCOMPARE(laid.at(F::Cat_Left_off, 0).left, 120.f);
    QCOMPARE(laid.at(F::Cat_Center_off, 0).left, 180.f);
    QCOMPARE(laid.at(F::Cat_Center_off, 0).width, 4545.f);
    QCOMPARE(laid.at(F::Cat_Caption, 0).left, 1717.5f);
    QCOMPARE(laid.at(F::Cat_Caption, 0).top, 1400.f);
    QCOMPARE(laid.at(F::Cat_Right_off, 0).left, 4725.f);
    QCOMPARE(laid.at(F::Cat_Center_on, 0).width, 4545.f);
    QCOMPARE(laid.at(F::Cat_Right_on, 0).left, 4725.f);
    QCOMPARE(laid.at(F::CatMouse, 0).width, 4680.f);
    QCOMPARE(laid.at(F::CatMouse, 0).height, 1350.f);
    QCOMPARE(laid.at(F::Cat_Left_off, 1).left, 4800.f);
    QCOMPARE(laid.at(F::Cat_Caption, 1).tag, QStringLiteral("2"));

    // Caption wider than the buttons: the caption stays at the panel's left.
    Laid wide;
    wide.model.AddTab(QStringLiteral("t"), QStringLiteral("T"));
    wide.model.AddCat(QStringLiteral("c"), QStringLiteral("t"), QStringLiteral("A rather long caption"), false);
    wide.model.AddButton(QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("B"), 1);
    wide.refresh();
    QCOMPARE(wide.at(F::Cat_Center_off, 0).width, 2205.f);
    QCOMPARE(wide.at(F::Cat_Caption, 0).left, wide.at(F::Cat_Center_off, 0).left);
}

void RibbonLayoutTest::categoryWithoutButtonsIsAsWideAsItsCaption()
{
    Laid laid;
    laid.model.AddTab(QStringLiteral("t"), QStringLiteral("T"));
    laid.model.AddCat(QStringLiteral("empty"), QStringLiteral("t"), QStringLiteral("Empty"), false);
    laid.model.AddCat(QStringLiteral("next"), QStringLiteral("t"), QStringLiteral("Next"), false);
    laid.refresh();
    QCOMPARE(laid.at(F::Cat_Center_off, 0).width, 525.f);
    QCOMPARE(laid.at(F::Cat_Left_off, 1).left, 120.f + 60 + 525 + 75);
    QCOMPARE(laid.scene.highestIndex(F::ButMouse), 0);
}

void RibbonLayoutTest::fullButtonTableLaysOutPastSixteenBits_data()
{
    QTest::addColumn<QList<int>>("buttonsPerCategory");
    constexpr int full = RibbonModel::ButtonCapacity;
    QTest::newRow("all in one category, one category after it") << QList<int>{full, 0};
    QTest::newRow("two halves") << QList<int>{full / 2, full - full / 2};
    QList<int> spread(RibbonModel::CategoryCapacity, 3);
    spread.last() = full - 3 * (RibbonModel::CategoryCapacity - 1);
    QTest::newRow("every category") << spread;
}

void RibbonLayoutTest::fullButtonTableLaysOutPastSixteenBits()
{
    QFETCH(QList<int>, buttonsPerCategory);
    Laid laid;
    laid.model.AddTab(QStringLiteral("t"), QStringLiteral("T"));
    for (int k = 0; k < buttonsPerCategory.size(); ++k) {
        laid.model.AddCat(QString::number(k), QStringLiteral("t"), QStringLiteral("C"), false);
        for (int b = 0; b < buttonsPerCategory[k]; ++b) {
            laid.model.AddButton(QStringLiteral("b"), QString::number(k), QStringLiteral("Button %1").arg(b), 1);
        }
    }
    QCOMPARE(laid.model.buttonCount(), RibbonModel::ButtonCapacity);
    laid.refresh();

    // Each category's buttons run from its centre piece's left edge, 30 apart, to its
    // right piece; the next category starts where that one ends.
    int j = 1;
    for (int k = 0; k < buttonsPerCategory.size(); ++k) {
        float left = laid.at(F::Cat_Center_off, k).left;
        for (int b = 0; b < buttonsPerCategory[k]; ++b, ++j) {
            QCOMPARE(laid.at(F::ButMouse, j).left, left);
            left += laid.at(F::ButMouse, j).width + 30;
        }
        if (buttonsPerCategory[k] > 0) {
            QCOMPARE(laid.at(F::Cat_Right_off, k).left, left - 30);
        }
        if (k + 1 < buttonsPerCategory.size()) {
            QCOMPARE(laid.at(F::Cat_Left_off, k + 1).left,
                     laid.at(F::Cat_Right_off, k).left + laid.at(F::Cat_Right_off, k).width);
        }
    }
    QCOMPARE(j - 1, RibbonModel::ButtonCapacity);
    QVERIFY(laid.at(F::ButMouse, j - 1).left > 32767);
}

void RibbonLayoutTest::iconsFollowTheButtonCenterRule()
{
    Laid fixed;
    fixed.layOutMainWindow();
    for (int j = 1; j <= 6; ++j) {
        QCOMPARE(fixed.at(F::Button_Icon, j).top, 510.f);
        QCOMPARE(fixed.at(F::Button_Caption, j).top, 990.f);
    }

    Laid centred;
    centred.buttonCenter = true;
    centred.layOutMainWindow();
    // One line: (990 - (480 + 165)) / 2 below the button's top.
    QCOMPARE(centred.at(F::Button_Icon, 1).top, 592.5f);
    QCOMPARE(centred.at(F::Button_Caption, 1).top, 1072.5f);
    // Two lines: (990 - (480 + 330)) / 2.
    QCOMPARE(centred.at(F::Button_Icon, 4).top, 510.f);
    // With the "more" glyph the pair moves up by a quarter line.
    QCOMPARE(centred.at(F::Button_Icon, 6).top, 551.25f);
}

void RibbonLayoutTest::launcherSitsInTheBottomRightCorner()
{
    Laid laid;
    laid.layOutMainWindow(QStringLiteral("2"));
    QCOMPARE(laid.at(F::Cat_Caption, 1).text, QStringLiteral("Exit"));
    QVERIFY(!laid.shown(F::Cat_Dlg, 0));
    QVERIFY(laid.shown(F::Cat_Dlg, 1));
    QVERIFY(!laid.shown(F::Cat_Dlg_on, 1) && !laid.shown(F::Cat_Dlg_over, 1));
    // The launcher widens the panel: caption 420 + launcher 225 beats the button's 570.
    QCOMPARE(laid.at(F::Cat_Center_off, 1).width, 645.f);
    QCOMPARE(laid.at(F::Cat_Caption, 1).left, laid.at(F::Cat_Center_off, 1).left);
    const float right = laid.at(F::Cat_Right_off, 1).left;
    for (const F look : {F::Cat_Dlg, F::Cat_Dlg_on, F::Cat_Dlg_over}) {
        QCOMPARE(laid.at(look, 1).left, right - 225 + 15);
        QCOMPARE(laid.at(look, 1).top, 360.f + 1335 - (210 + 60));
    }
}

void RibbonLayoutTest::moreGlyphIsCentredUnderTheCaption()
{
    Laid laid;
    laid.layOutMainWindow();
    for (int j = 1; j <= 5; ++j) {
        QVERIFY(!laid.shown(F::Glip_off, j));
    }
    QVERIFY(laid.shown(F::Glip_off, 6));
    QVERIFY(!laid.shown(F::Glip_on, 6));
    // Half a line below the caption, centred under it: "Exit" is 300 wide at 4995.
    QCOMPARE(laid.at(F::Glip_off, 6).top, 990.f + 165 + (165 - 60) / 2.f);
    QCOMPARE(laid.at(F::Glip_off, 6).left, 4995.f + (300 - 75) / 2.f);
    QCOMPARE(laid.at(F::Glip_on, 6).left, laid.at(F::Glip_off, 6).left);
}

void RibbonLayoutTest::stackingFollowsTheLayoutSteps()
{
    Laid laid;
    laid.layOutMainWindow();
    // Front to back within each group, and group above group.
    const ElementRef order[] = {
        {F::ButMouse, 6},       {F::Glip_on, 6},        {F::Glip_off, 6},
        {F::Button_Caption, 6}, {F::Button_Icon, 6},    {F::Button_center_over, 6},
        {F::Button_center, 6},  {F::Button_left, 6},    {F::Cat_Dlg_over, 1},
        {F::Cat_Dlg_on, 1},     {F::Cat_Dlg, 1},        {F::CatMouse, 1},
        {F::Cat_Caption, 1},    {F::Cat_Right_on, 1},   {F::Cat_Center_on, 1},
        {F::Cat_Right_off, 1},  {F::Cat_Center_off, 1}, {F::TabMouse, 1},
        {F::Tab_caption, 1},    {F::Tab_right_over, 1}, {F::Tab_center_over, 1},
        {F::Tab_right, 1},      {F::Tab_center, 1},     {F::BarraRight, 0},
        {F::Barra2, 0},
    };
    for (size_t i = 1; i < std::size(order); ++i) {
        const RibbonElement &front = laid.at(order[i - 1].family, order[i - 1].index);
        const RibbonElement &back = laid.at(order[i].family, order[i].index);
        QVERIFY2(front.z > back.z, familyName(order[i - 1].family));
    }
    // Every button of every category lies above every category panel.
    QVERIFY(laid.at(F::Button_left, 1).z > laid.at(F::CatMouse, 1).z);
}

// A hovered or pressed button shows its frames; laying out again (a tab clicked, the
// theme changed) leaves every frame of every button hidden until the mouse comes back.
void RibbonLayoutTest::buttonFramesAreHiddenAfterEveryLayout()
{
    const F frames[] = {F::Button_left,      F::Button_center,      F::Button_right,
                        F::Button_left_over, F::Button_center_over, F::Button_right_over};
    Laid laid;
    laid.layOutMainWindow();
    for (int pass = 0; pass < 2; ++pass) {
        const int buttons = laid.scene.highestIndex(F::ButMouse);
        QCOMPARE(buttons, 6);
        for (int j = 1; j <= buttons; ++j) {
            for (const F family : frames) {
                QVERIFY2(!laid.shown(family, j),
                         qPrintable(QStringLiteral("%1(%2) after layout %3")
                                        .arg(QLatin1String(familyName(family)))
                                        .arg(j)
                                        .arg(pass + 1)));
                laid.scene.show(family, j);
            }
        }
        laid.refresh();
    }
}

void RibbonLayoutTest::parentsAreMatchedByIdAlone()
{
    Laid laid;
    laid.model.AddTab(QStringLiteral("a"), QStringLiteral("A"));
    laid.model.AddTab(QStringLiteral("b"), QStringLiteral("B"));
    laid.model.AddCat(QStringLiteral("shared"), QStringLiteral("a"), QStringLiteral("On A"), false);
    laid.model.AddCat(QStringLiteral("lost"), QStringLiteral("nowhere"), QStringLiteral("Lost"), false);
    laid.model.AddCat(QStringLiteral("shared"), QStringLiteral("b"), QStringLiteral("On B"), false);
    laid.model.AddButton(QStringLiteral("1"), QStringLiteral("shared"), QStringLiteral("One"), 1);
    laid.model.AddButton(QStringLiteral("2"), QStringLiteral("orphan"), QStringLiteral("Two"), 2);
    laid.refresh();
    QCOMPARE(laid.scene.highestIndex(F::CatMouse), 0);
    QCOMPARE(laid.at(F::Cat_Caption, 0).text, QStringLiteral("On A"));
    QCOMPARE(laid.scene.highestIndex(F::ButMouse), 1);
    QCOMPARE(laid.at(F::ButMouse, 1).tag, QStringLiteral("1"));

    laid.model.setCurrentTabId(QStringLiteral("b"));
    LayoutCategories(laid.scene, laid.input());
    QCOMPARE(laid.at(F::Cat_Caption, 0).text, QStringLiteral("On B"));
    QCOMPARE(laid.at(F::ButMouse, 1).tag, QStringLiteral("1"));

    laid.model.setCurrentTabId(QStringLiteral("none"));
    LayoutCategories(laid.scene, laid.input());
    QVERIFY(!laid.shown(F::CatMouse, 0));
    QVERIFY(!laid.shown(F::Cat_Center_off, 0));
    QCOMPARE(laid.scene.highestIndex(F::ButMouse), 0);
}

void RibbonLayoutTest::withoutTabsOnlyTheBackgroundShows()
{
    Laid laid;
    laid.refresh();
    QCOMPARE(laid.scene.paintOrder().size(), 3);
    for (const ElementRef &ref : laid.scene.paintOrder()) {
        QVERIFY(ref.family == F::Barra2 || ref.family == F::BarraLeft || ref.family == F::BarraRight);
    }
    QCOMPARE(laid.at(F::Barra2, 0).top, -390.f);
    QCOMPARE(laid.at(F::Barra2, 0).width, 30720.f);
    QCOMPARE(laid.at(F::BarraRight, 0).left, 480.f);
}

void RibbonLayoutTest::layingOutAgainGivesTheSameScene()
{
    Laid laid;
    laid.layOutMainWindow();
    const QString once = describe(laid.scene);
    QVERIFY(once.contains(QLatin1String("Dosage Form")));
    // Highlights and a pressed look do not survive the next layout.
    HoverTab(laid.scene, 1);
    HoverCategory(laid.scene, 0);
    HoverButton(laid.scene, 2);
    laid.scene.show(F::Button_center_over, 2);
    QVERIFY(describe(laid.scene) != once);
    laid.refresh();
    QCOMPARE(describe(laid.scene), once);
}

void RibbonLayoutTest::heightComesFromTheBackgroundBand()
{
    Laid laid;
    QCOMPARE(ribbonHeight(laid.scene), 1740.f);
}

int runRibbonLayoutTests(int argc, char **argv)
{
    RibbonLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ribbon_layout.moc"
