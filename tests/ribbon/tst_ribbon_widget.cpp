#include "RibbonTestSupport.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace Components;
using namespace Ribbon;

using F = RibbonFamily;

namespace {

QAccessibleInterface *childNamed(QAccessibleInterface *parent, const QString &name)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface *child = parent->child(i);
        if (child && child->text(QAccessible::Name) == name) {
            return child;
        }
    }
    return nullptr;
}

} // namespace

class RibbonWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void clickingTheDrawnDosageFormButtonRaisesItsId();
    void doubleClickRaisesOneEvent_data();
    void doubleClickRaisesOneEvent();
    void accessibilityPressesTabsAndButtons();
    void keyboardReachesTabsAndButtons();
    void hoverRepaintsOnlyTheChangedButtons();
    void hoverFrameIsPaintedUnderTheIcon();

private:
    int buttonCaptioned(const QString &caption) const
    {
        for (int j = 1; j <= m_ribbon->scene().highestIndex(F::Button_Caption); ++j) {
            if (m_ribbon->scene().at(F::Button_Caption, j).text == caption) {
                return j;
            }
        }
        return -1;
    }

    VbalImageList m_images;
    QWidget *m_window = nullptr;
    ZetRibbon *m_ribbon = nullptr;
    QWidget *m_below = nullptr;
};

void RibbonWidgetTest::init()
{
    m_images = VbalImageList();
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_ribbon = new ZetRibbon;
    m_below = new QWidget;
    m_below->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_ribbon);
    layout->addWidget(m_below);
    fillAsMainWindow(*m_ribbon, m_images);
    m_window->resize(744, 300);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void RibbonWidgetTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void RibbonWidgetTest::clickingTheDrawnDosageFormButtonRaisesItsId()
{
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_below->setFocus(Qt::OtherFocusReason);
    QSignalSpy clicks(m_ribbon, &ZetRibbon::ButtonClick);
    const int j = buttonCaptioned(QStringLiteral("Dosage Form"));
    QVERIFY(j > 0);
    const QPoint pos = centreOf(m_ribbon->scene().at(F::ButMouse, j));
    QTest::mouseMove(m_ribbon, pos);
    QTest::mouseClick(m_ribbon, Qt::LeftButton, Qt::NoModifier, pos);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.at(0).at(0).toString(), QStringLiteral("1"));
    // A click leaves the keyboard focus where it was.
    QVERIFY(m_below->hasFocus());
}

void RibbonWidgetTest::doubleClickRaisesOneEvent_data()
{
    QTest::addColumn<bool>("onTab");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("id");
    QTest::newRow("tab") << true << QStringLiteral("About") << QStringLiteral("2");
    QTest::newRow("button") << false << QStringLiteral("Dosage Form") << QStringLiteral("1");
}

void RibbonWidgetTest::doubleClickRaisesOneEvent()
{
    QFETCH(bool, onTab);
    QFETCH(QString, caption);
    QFETCH(QString, id);
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    QSignalSpy buttons(m_ribbon, &ZetRibbon::ButtonClick);
    QSignalSpy &events = onTab ? tabs : buttons;
    const ElementRef item = onTab ? ElementRef{F::TabMouse, 1} : ElementRef{F::ButMouse, buttonCaptioned(caption)};
    QCOMPARE(m_ribbon->itemName(item), caption);
    const QPoint pos = m_ribbon->mapTo(m_window, centreOf(m_ribbon->scene().at(item.family, item.index)));
    const quint64 layouts = m_ribbon->layoutGeneration({F::ButMouse, 0});

    // Through the window, as the system delivers it: press, release, double click, release.
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.at(0).at(0).toString(), id);
    QCOMPARE(tabs.size() + buttons.size(), 1);
    QCOMPARE(m_ribbon->layoutGeneration({F::ButMouse, 0}), layouts + (onTab ? 1 : 0));
    QVERIFY(!m_ribbon->scene().isShown(F::Button_center_over, onTab ? 0 : item.index));

    // The next click is a click again.
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
    QCOMPARE(events.size(), 2);
}

void RibbonWidgetTest::accessibilityPressesTabsAndButtons()
{
    QSignalSpy buttons(m_ribbon, &ZetRibbon::ButtonClick);
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    QAccessibleInterface *ribbon = QAccessible::queryAccessibleInterface(m_ribbon);
    QVERIFY(ribbon);
    QCOMPARE(ribbon->role(), QAccessible::ToolBar);
    QCOMPARE(ribbon->childCount(), 2 + 6);

    QAccessibleInterface *dosageForm = childNamed(ribbon, QStringLiteral("Dosage Form"));
    QVERIFY(dosageForm);
    QCOMPARE(dosageForm->role(), QAccessible::Button);
    QCOMPARE(dosageForm->parent(), ribbon);
    QCOMPARE(ribbon->indexOfChild(dosageForm), 2 + 2);
    QVERIFY(dosageForm->rect().width() > 32);
    QVERIFY(ribbon->childAt(dosageForm->rect().center().x(), dosageForm->rect().center().y()) == dosageForm);
    QVERIFY(childNamed(ribbon, QStringLiteral("Route of Administration")));
    QVERIFY(dosageForm->actionInterface());
    dosageForm->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons.at(0).at(0).toString(), QStringLiteral("1"));

    QAccessibleInterface *about = childNamed(ribbon, QStringLiteral("About"));
    QVERIFY(about);
    QCOMPARE(about->role(), QAccessible::PageTab);
    QVERIFY(!about->state().selected);
    about->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs.at(0).at(0).toString(), QStringLiteral("2"));
    QVERIFY(about->state().selected);
    // The new tab's two buttons replace the old five and one.
    QVERIFY(!dosageForm->isValid());
    QCOMPARE(ribbon->childCount(), 2 + 2);
    QCOMPARE(ribbon->child(2)->text(QAccessible::Name), QStringLiteral("About"));
    QCOMPARE(ribbon->child(2)->role(), QAccessible::Button);
}

void RibbonWidgetTest::keyboardReachesTabsAndButtons()
{
    QSignalSpy buttons(m_ribbon, &ZetRibbon::ButtonClick);
    QSignalSpy tabs(m_ribbon, &ZetRibbon::TabClick);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_below->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(m_below, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(m_ribbon->hasFocus());
    QCOMPARE(m_ribbon->focusItem(), std::optional<ElementRef>(ElementRef{F::TabMouse, 0}));

    QTest::keyClick(m_ribbon, Qt::Key_Down);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("Show Drugs"));
    QVERIFY(m_ribbon->scene().isShown(F::Button_center, m_ribbon->focusItem()->index));
    QTest::keyClick(m_ribbon, Qt::Key_Right);
    QTest::keyClick(m_ribbon, Qt::Key_Right);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("Dosage Form"));
    QTest::keyClick(m_ribbon, Qt::Key_Return);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons.at(0).at(0).toString(), QStringLiteral("1"));
    QTest::keyClick(m_ribbon, Qt::Key_End);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("Exit"));
    QTest::keyClick(m_ribbon, Qt::Key_Right);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("Exit"));

    QTest::keyClick(m_ribbon, Qt::Key_Up);
    QTest::keyClick(m_ribbon, Qt::Key_Right);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("About"));
    QTest::keyClick(m_ribbon, Qt::Key_Space);
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs.at(0).at(0).toString(), QStringLiteral("2"));
    QTest::keyClick(m_ribbon, Qt::Key_Down);
    QCOMPARE(m_ribbon->itemName(*m_ribbon->focusItem()), QStringLiteral("About"));
    QCOMPARE(m_ribbon->focusItem()->family, F::ButMouse);

    // Tab leaves the ribbon again.
    QTest::keyClick(m_ribbon, Qt::Key_Tab);
    QVERIFY(m_below->hasFocus());
}

void RibbonWidgetTest::hoverRepaintsOnlyTheChangedButtons()
{
    PaintRecorder recorder;
    m_ribbon->installEventFilter(&recorder);
    const RibbonElement &first = m_ribbon->scene().at(F::ButMouse, 1);
    const RibbonElement &second = m_ribbon->scene().at(F::ButMouse, 2);
    moveMouse(m_ribbon, centreOf(first));
    QTRY_VERIFY(!recorder.painted.isEmpty());
    recorder.painted = QRegion();

    moveMouse(m_ribbon, centreOf(second));
    QTRY_VERIFY(!recorder.painted.isEmpty());
    const QRegion allowed = QRegion(pixelRect(first)) + pixelRect(second);
    QCOMPARE(recorder.painted.subtracted(allowed), QRegion());
    QVERIFY(recorder.painted.intersects(pixelRect(first)));
    QVERIFY(recorder.painted.intersects(pixelRect(second)));
}

void RibbonWidgetTest::hoverFrameIsPaintedUnderTheIcon()
{
    const RibbonElement &frame = m_ribbon->scene().at(F::Button_center, 2);
    const QPoint probe = pixelRect(frame).topLeft() + QPoint(1, 4);
    const QColor before = m_ribbon->grab().toImage().pixelColor(probe);
    moveMouse(m_ribbon, centreOf(m_ribbon->scene().at(F::ButMouse, 2)));
    const QColor after = m_ribbon->grab().toImage().pixelColor(probe);
    QVERIFY2(after.red() > 250 && after.green() > 240 && after.blue() < 240 && after != before,
             qPrintable(after.name()));
}

int runRibbonWidgetTests(int argc, char **argv)
{
    RibbonWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ribbon_widget.moc"
