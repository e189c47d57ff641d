#include "RibbonTestSupport.h"
#include "ribbon/RibbonInteraction.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

using namespace Components;
using namespace Ribbon;

using F = RibbonFamily;

class RibbonInteractionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hoveringATabHighlightsNoSelectedTab();
    void oneHighlightPerLevelAcrossCategories();
    void backgroundAndLeavingClearEveryHighlight();
    void pressedLookLastsWhileTheButtonIsHeld();
    void rightButtonShowsThePressedLookButRaisesNothing();
    void releaseOverAnotherButtonIsNoClick();
    void tabClickLaysOutItsCategoriesBeforeTabClick();
    void launcherRaisesCatClickOnlyWhereThereIsOne();
    void buttonsShowTheirTooltip();
    void tooltipAndPressActionNameTheButtonsKeys();
    void selectingTheTabOfAButtonRaisesNoTabClick();

private:
    QPoint centre(F family, int index) const { return centreOf(m_ribbon->scene().at(family, index)); }
    bool shown(F family, int index) const { return m_ribbon->scene().isShown(family, index); }
    void click(const QPoint &pos, Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouse(m_ribbon, QEvent::MouseButtonPress, pos, button, button);
        sendMouse(m_ribbon, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
    }

    VbalImageList m_images;
    ZetRibbon *m_ribbon = nullptr;
};

void RibbonInteractionTest::init()
{
    m_images = VbalImageList();
    m_ribbon = new ZetRibbon;
    m_ribbon->resize(744, m_ribbon->height());
    fillAsMainWindow(*m_ribbon, m_images);
    m_ribbon->show();
}

void RibbonInteractionTest::cleanup()
{
    delete m_ribbon;
    m_ribbon = nullptr;
}

void RibbonInteractionTest::hoveringATabHighlightsNoSelectedTab()
{
    moveMouse(m_ribbon, centre(F::TabMouse, 1));
    QVERIFY(shown(F::Tab_center_over, 1) && shown(F::Tab_left_over, 1) && shown(F::Tab_right_over, 1));
    moveMouse(m_ribbon, centre(F::TabMouse, 0));
    QVERIFY(!shown(F::Tab_center_over, 1) && !shown(F::Tab_left_over, 1) && !shown(F::Tab_right_over, 1));
    QVERIFY(!shown(F::Tab_center_over, 0));
}

void RibbonInteractionTest::oneHighlightPerLevelAcrossCategories()
{
    // "Ingredients" is button element 2, in category 0.
    moveMouse(m_ribbon, centre(F::ButMouse, 2));
    QVERIFY(shown(F::Button_left, 2) && shown(F::Button_center, 2) && shown(F::Button_right, 2));
    QVERIFY(shown(F::Cat_Center_on, 0) && shown(F::Cat_Left_on, 0) && shown(F::Cat_Right_on, 0));

    // Onto the empty part of its category: the category stays, the button frame goes.
    moveMouse(m_ribbon, centre(F::Cat_Caption, 0));
    QVERIFY(shown(F::Cat_Center_on, 0));
    QVERIFY(!shown(F::Button_center, 2) && !shown(F::Button_left, 2));

    // Straight onto "Exit" in category 1: both levels move in one step, glyph included.
    moveMouse(m_ribbon, centre(F::ButMouse, 2));
    moveMouse(m_ribbon, centre(F::ButMouse, 6));
    QVERIFY(!shown(F::Button_center, 2) && !shown(F::Cat_Center_on, 0));
    QVERIFY(shown(F::Button_center, 6) && shown(F::Cat_Center_on, 1) && shown(F::Glip_on, 6));
    moveMouse(m_ribbon, centre(F::Cat_Caption, 1));
    QVERIFY(!shown(F::Glip_on, 6) && shown(F::Glip_off, 6));

    // A tab takes the highlight from the category row.
    moveMouse(m_ribbon, centre(F::ButMouse, 6));
    moveMouse(m_ribbon, centre(F::TabMouse, 1));
    QVERIFY(shown(F::Tab_center_over, 1));
    QVERIFY(!shown(F::Cat_Center_on, 1) && !shown(F::Button_center, 6));
}

void RibbonInteractionTest::backgroundAndLeavingClearEveryHighlight()
{
    moveMouse(m_ribbon, centre(F::ButMouse, 3));
    moveMouse(m_ribbon, QPoint(700, 60));
    QVERIFY(!shown(F::Button_center, 3) && !shown(F::Cat_Center_on, 0));

    moveMouse(m_ribbon, centre(F::TabMouse, 1));
    moveMouse(m_ribbon, centre(F::ButMouse, 3));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_ribbon, &leave);
    QVERIFY(!shown(F::Button_center, 3) && !shown(F::Cat_Center_on, 0) && !shown(F::Tab_center_over, 1));
}

void RibbonInteractionTest::pressedLookLastsWhileTheButtonIsHeld()
{
    QSignalSpy clicks(m_ribbon, &ZetRibbon::ButtonClick);
    bool pressedAtClick = true;
    connect(m_ribbon, &ZetRibbon::ButtonClick, this, [&] { pressedAtClick = shown(F::Button_center_over, 3); });
    const QPoint pos = centre(F::ButMouse, 3);
    moveMouse(m_ribbon, pos);
    sendMouse(m_ribbon, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(shown(F::Button_left_over, 3) && shown(F::Button_center_over, 3) && shown(F::Button_right_over, 3));
    QCOMPARE(clicks.size(), 0);
    sendMouse(m_ribbon, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!shown(F::Button_left_over, 3) && !shown(F::Button_center_over, 3) && !shown(F::Button_right_over, 3));
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.at(0).at(0).toString(), QStringLiteral("1"));
    QCOMPARE(clicks.at(0).at(1).toString(), QStringLiteral("Dosage Form"));
    QVERIFY(!pressedAtClick);

    click(centre(F::ButMouse, 4));
    QCOMPARE(clicks.at(1).at(0).toString(), QStringLiteral("2"));
    QCOMPARE(clicks.at(1).at(1).toString(), QStringLiteral("Route of\r\nAdministration"));
}

void RibbonInteractionTest::rightButtonShowsThePressedLookButRaisesNothing()
{
    QSignalSpy buttons(m_ribbon, &ZetRibbon::ButtonClick);
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    const QPoint pos = centre(F::ButMouse, 1);
    sendMouse(m_ribbon, QEvent::MouseButtonPress, pos, Qt::RightButton, Qt::RightButton);
    QVERIFY(shown(F::Button_center_over, 1));
    sendMouse(m_ribbon, QEvent::MouseButtonRelease, pos, Qt::RightButton, Qt::NoButton);
    QVERIFY(!shown(F::Button_center_over, 1));
    click(centre(F::TabMouse, 1), Qt::RightButton);
    click(centre(F::ButMouse, 1), Qt::MiddleButton);
    QCOMPARE(buttons.size(), 0);
    QCOMPARE(tabs.size(), 0);
    QCOMPARE(m_ribbon->model().currentTabId(), QStringLiteral("1"));
}

void RibbonInteractionTest::releaseOverAnotherButtonIsNoClick()
{
    QSignalSpy clicks(m_ribbon, &ZetRibbon::ButtonClick);
    sendMouse(m_ribbon, QEvent::MouseButtonPress, centre(F::ButMouse, 3), Qt::LeftButton, Qt::LeftButton);
    sendMouse(m_ribbon, QEvent::MouseMove, centre(F::ButMouse, 4), Qt::NoButton, Qt::LeftButton);
    sendMouse(m_ribbon, QEvent::MouseButtonRelease, centre(F::ButMouse, 4), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!shown(F::Button_center_over, 3));
    QCOMPARE(clicks.size(), 0);
}

void RibbonInteractionTest::tabClickLaysOutItsCategoriesBeforeTabClick()
{
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    QStringList seenInHandler;
    connect(m_ribbon, &ZetRibbon::TabClick, this, [&] {
        seenInHandler << m_ribbon->model().currentTabId() << m_ribbon->scene().at(F::Cat_Caption, 0).text
                      << m_ribbon->scene().at(F::ButMouse, 1).tag;
    });
    moveMouse(m_ribbon, centre(F::ButMouse, 2));
    click(centre(F::TabMouse, 1));
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs.at(0).at(0).toString(), QStringLiteral("2"));
    QCOMPARE(tabs.at(0).at(1).toString(), QStringLiteral("About"));
    QCOMPARE(seenInHandler, QStringList({QStringLiteral("2"), QStringLiteral("About"), QStringLiteral("6")}));
    QVERIFY(shown(F::Tab_center, 1) && !shown(F::Tab_center, 0) && !shown(F::Tab_center_over, 1));
    QCOMPARE(m_ribbon->scene().at(F::Tab_caption, 1).color, QColor(0, 0, 0));
    QCOMPARE(m_ribbon->scene().at(F::Tab_caption, 0).color, QColor(255, 255, 255));
    QCOMPARE(m_ribbon->scene().highestIndex(F::ButMouse), 2);
    QVERIFY(!shown(F::Cat_Center_on, 0) && !shown(F::Button_center, 1));

    // The selected tab raises its event again and keeps its look.
    click(centre(F::TabMouse, 1));
    QCOMPARE(tabs.size(), 2);
    QVERIFY(shown(F::Tab_center, 1));
    click(centre(F::TabMouse, 0));
    QCOMPARE(m_ribbon->scene().at(F::Cat_Caption, 1).text, QStringLiteral("Exit"));
    QCOMPARE(m_ribbon->scene().highestIndex(F::ButMouse), 6);
}

void RibbonInteractionTest::launcherRaisesCatClickOnlyWhereThereIsOne()
{
    QSignalSpy categories(m_ribbon, &ZetRibbon::CatClick);
    // Tab "1" has no launcher: the corner of its categories is the panel.
    const RibbonElement &corner = m_ribbon->scene().at(F::Cat_Dlg, 0);
    moveMouse(m_ribbon, centreOf(corner));
    moveMouse(m_ribbon, centreOf(corner));
    click(centreOf(corner));
    QVERIFY(!shown(F::Cat_Dlg, 0) && !shown(F::Cat_Dlg_over, 0));
    QCOMPARE(categories.size(), 0);

    m_ribbon->selectTab(1);
    const QPoint launcher = centre(F::Cat_Dlg, 1);
    QVERIFY(shown(F::Cat_Dlg, 1));
    moveMouse(m_ribbon, launcher); // over the launcher: its category lights up
    QVERIFY(shown(F::Cat_Center_on, 1) && shown(F::Cat_Dlg_on, 1) && !shown(F::Cat_Dlg_over, 1));
    moveMouse(m_ribbon, launcher); // now over its lit look: the launcher's own highlight
    QVERIFY(shown(F::Cat_Dlg_over, 1));
    click(launcher);
    QCOMPARE(categories.size(), 1);
    QCOMPARE(categories.at(0).at(0).toString(), QStringLiteral("4"));
    QCOMPARE(categories.at(0).at(1).toString(), QStringLiteral("Exit"));

    // Back onto the panel: the launcher drops its own highlight, the category keeps its.
    moveMouse(m_ribbon, centre(F::Cat_Caption, 1));
    QVERIFY(!shown(F::Cat_Dlg_over, 1) && shown(F::Cat_Dlg_on, 1));
    moveMouse(m_ribbon, centre(F::ButMouse, 1));
    QVERIFY(!shown(F::Cat_Dlg_on, 1) && shown(F::Cat_Dlg, 1));
}

void RibbonInteractionTest::buttonsShowTheirTooltip()
{
    const QPoint pos = centre(F::ButMouse, 4);
    QHelpEvent help(QEvent::ToolTip, pos, m_ribbon->mapToGlobal(pos));
    QCoreApplication::sendEvent(m_ribbon, &help);
    QCOMPARE(QToolTip::text(), QStringLiteral("Route of Administration"));
    const QPoint tab = centre(F::TabMouse, 0);
    QHelpEvent none(QEvent::ToolTip, tab, m_ribbon->mapToGlobal(tab));
    QCoreApplication::sendEvent(m_ribbon, &none);
    QVERIFY(!none.isAccepted());
}

void RibbonInteractionTest::tooltipAndPressActionNameTheButtonsKeys()
{
    m_ribbon->setButtonShortcut(QStringLiteral("2"), QKeySequence(Qt::CTRL | Qt::Key_4));
    // A button's own tool tip follows the line that names it and its keys.
    m_ribbon->AddButton(QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("Exclusivity"), 1, false,
                        QStringLiteral("No records."));
    m_ribbon->setButtonShortcut(QStringLiteral("4"), QKeySequence(Qt::CTRL | Qt::Key_6));
    m_ribbon->Refresh();
    const struct
    {
        QString button;
        QString toolTip;
        QStringList keys;
    } cases[] = {
        {QStringLiteral("2"),
         QStringLiteral("Route of Administration (Ctrl+4)"),
         {QStringLiteral("Ctrl+4"), QStringLiteral("Space")}},
        {QStringLiteral("0"), QStringLiteral("Show Drugs"), {QStringLiteral("Space")}},
        {QStringLiteral("4"),
         QStringLiteral("Exclusivity (Ctrl+6)\nNo records."),
         {QStringLiteral("Ctrl+6"), QStringLiteral("Space")}},
    };
    for (const auto &c : cases) {
        int element = 0;
        while (element <= m_ribbon->scene().highestIndex(F::ButMouse)
               && m_ribbon->scene().at(F::ButMouse, element).tag != c.button) {
            ++element;
        }
        QVERIFY(shown(F::ButMouse, element));
        const QPoint pos = centre(F::ButMouse, element);
        QHelpEvent help(QEvent::ToolTip, pos, m_ribbon->mapToGlobal(pos));
        QCoreApplication::sendEvent(m_ribbon, &help);
        QCOMPARE(QToolTip::text(), c.toolTip);
        QAccessibleInterface *ribbon = QAccessible::queryAccessibleInterface(m_ribbon);
        QAccessibleInterface *button = nullptr;
        for (int i = 0; i < ribbon->childCount() && !button; ++i) {
            QAccessibleInterface *child = ribbon->child(i);
            if (child->role() == QAccessible::Button && child->rect().contains(m_ribbon->mapToGlobal(pos))) {
                button = child;
            }
        }
        QVERIFY(button && button->actionInterface());
        QAccessibleActionInterface *actions = button->actionInterface();
        QCOMPARE(actions->keyBindingsForAction(actions->actionNames().value(0)), c.keys);
        QCOMPARE(button->text(QAccessible::Name), m_ribbon->itemName({F::ButMouse, element}));
    }
}

// The tab follows the window the host brings forward: a button's tab is selected
// whatever tab the user looked at last, and the host hears no click it did not get.
void RibbonInteractionTest::selectingTheTabOfAButtonRaisesNoTabClick()
{
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    const auto selectedCaption = [this] { return m_ribbon->model().tab(selectedTab(m_ribbon->scene())).caption; };
    const struct
    {
        QString button;
        bool found;
        QString tab;
    } cases[] = {
        {QStringLiteral("6"), true, QStringLiteral("About")},
        {QStringLiteral("8"), true, QStringLiteral("About")},
        {QStringLiteral("0"), true, QStringLiteral("Drug Reference")},
        {QStringLiteral("7"), false, QStringLiteral("Drug Reference")},
        {QStringLiteral("5"), true, QStringLiteral("Drug Reference")},
        {QStringLiteral("8"), true, QStringLiteral("About")},
        {QStringLiteral(""), false, QStringLiteral("About")},
    };
    for (const auto &c : cases) {
        QCOMPARE(m_ribbon->selectTabOfButton(c.button), c.found);
        QCOMPARE(selectedCaption(), c.tab);
        // The selected tab's buttons are the ones on show.
        QCOMPARE(m_ribbon->itemName({F::ButMouse, 1}),
                 c.tab == QLatin1String("About") ? QStringLiteral("About") : QStringLiteral("Show Drugs"));
    }
    QCOMPARE(tabs.size(), 0);
}

int runRibbonInteractionTests(int argc, char **argv)
{
    RibbonInteractionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ribbon_interaction.moc"
