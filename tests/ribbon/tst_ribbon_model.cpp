#include "RibbonTestSupport.h"

#include "common/ErrorNumbers.h"
#include "ribbon/PropertyBag.h"
#include "ribbon/RibbonModel.h"
#include "ribbon/RibbonTheme.h"

#include <QSignalSpy>
#include <QTest>

using namespace Components;
using namespace Ribbon;

class RibbonModelTest : public QObject
{
    Q_OBJECT

private slots:
    void captionsOfTabsAndCategoriesJoinLines();
    void buttonKeepsItsCaptionAndGetsATooltip();
    void firstTabBecomesCurrent();
    void tablesHoldTheirCapacityAndNoMore();
    void buttonBeforeImageListFailsWithItsFieldsStored();
    void unknownPictureNumberPassesTheImageListError();
    void storedPropertiesAreWrittenWithTheirDefaults();
    void readingStoredPropertiesDoesNotApplyTheTheme();
    void writingPropertiesMarksThemChanged();
};

void RibbonModelTest::captionsOfTabsAndCategoriesJoinLines()
{
    RibbonModel model;
    model.AddTab(QStringLiteral("t"), QStringLiteral("Drug\r\nReference"));
    model.AddCat(QStringLiteral("c"), QStringLiteral("t"), QStringLiteral("A\r\nB\r\nC"), true);
    QCOMPARE(model.tab(0).caption, QStringLiteral("Drug Reference"));
    QCOMPARE(model.category(0).caption, QStringLiteral("A B C"));
    QCOMPARE(model.category(0).tabId, QStringLiteral("t"));
    QVERIFY(model.category(0).dialogLauncher);
}

void RibbonModelTest::buttonKeepsItsCaptionAndGetsATooltip()
{
    VbalImageList images;
    fillImageList(images);
    RibbonModel model;
    model.setImageList(&images);
    model.AddButton(QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Route of\r\nAdministration"), 4);
    model.AddButton(QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("Patents"), 5, true,
                    QStringLiteral("Find\r\npatents"));
    QCOMPARE(model.button(0).caption, QStringLiteral("Route of\r\nAdministration"));
    QCOMPARE(model.button(0).toolTip, QStringLiteral("Route of Administration"));
    QVERIFY(!model.button(0).more);
    QCOMPARE(model.button(0).picture.toImage().pixelColor(5, 5), QColor(Qt::cyan));
    QCOMPARE(model.button(1).toolTip, QStringLiteral("Find patents"));
    QVERIFY(model.button(1).more);
}

void RibbonModelTest::firstTabBecomesCurrent()
{
    RibbonModel model;
    QVERIFY(model.currentTabId().isEmpty());
    model.AddTab(QStringLiteral("b"), QStringLiteral("B"));
    model.AddTab(QStringLiteral("a"), QStringLiteral("A"));
    QCOMPARE(model.currentTabId(), QStringLiteral("b"));
}

void RibbonModelTest::tablesHoldTheirCapacityAndNoMore()
{
    VbalImageList images;
    fillImageList(images);
    RibbonModel model;
    model.setImageList(&images);
    for (int i = 0; i < 31; ++i) {
        model.AddTab(QString::number(i), QStringLiteral("Tab"));
        model.AddCat(QString::number(i), QStringLiteral("0"), QStringLiteral("Cat"), false);
    }
    for (int i = 0; i < 91; ++i) {
        model.AddButton(QString::number(i), QStringLiteral("0"), QStringLiteral("B"), 1);
    }
    const QString x = QStringLiteral("x");
    QCOMPARE(errorOf([&] { model.AddTab(x, x); }).number(), Common::ErrorNumber::SubscriptOutOfRange);
    QCOMPARE(errorOf([&] { model.AddCat(x, QStringLiteral("0"), x, false); }).number(),
             Common::ErrorNumber::SubscriptOutOfRange);
    QCOMPARE(errorOf([&] { model.AddButton(x, QStringLiteral("0"), x, 1); }).number(),
             Common::ErrorNumber::SubscriptOutOfRange);
    QCOMPARE(model.tabCount(), qint16(31));
    QCOMPARE(model.categoryCount(), qint16(31));
    QCOMPARE(model.buttonCount(), qint16(91));
    QCOMPARE(model.tab(30).id, QStringLiteral("30"));
    QCOMPARE(model.button(90).id, QStringLiteral("90"));
}

void RibbonModelTest::buttonBeforeImageListFailsWithItsFieldsStored()
{
    RibbonModel model;
    QCOMPARE(errorOf([&] {
                 model.AddButton(QStringLiteral("7"), QStringLiteral("c"), QStringLiteral("Two\r\nlines"), 1, true);
             }).number(),
             Common::ErrorNumber::ObjectNotSet);
    QCOMPARE(model.buttonCount(), qint16(0));
    const RibbonButton &slot = model.button(0);
    QCOMPARE(slot.id, QStringLiteral("7"));
    QCOMPARE(slot.categoryId, QStringLiteral("c"));
    QCOMPARE(slot.caption, QStringLiteral("Two\r\nlines"));
    QCOMPARE(slot.toolTip, QStringLiteral("Two lines"));
    QVERIFY(slot.picture.isNull());
    QVERIFY(!slot.more);
}

void RibbonModelTest::unknownPictureNumberPassesTheImageListError()
{
    VbalImageList images;
    fillImageList(images);
    RibbonModel model;
    model.setImageList(&images);
    const auto addWithPicture = [&](qint16 picture) {
        model.AddButton(QStringLiteral("1"), QStringLiteral("c"), QStringLiteral("B"), picture);
    };
    QCOMPARE(errorOf([&] { addWithPicture(8); }).number(), Common::ErrorNumber::IndexOutOfBounds);
    QCOMPARE(errorOf([&] { addWithPicture(0); }).number(), Common::ErrorNumber::IndexOutOfBounds);
    QCOMPARE(model.buttonCount(), qint16(0));
}

void RibbonModelTest::storedPropertiesAreWrittenWithTheirDefaults()
{
    ZetRibbon fresh;
    MemoryPropertyBag plain;
    fresh.WriteProperties(plain);
    QVERIFY(!plain.contains(QStringLiteral("Theme")));
    QVERIFY(!plain.contains(QStringLiteral("ButtonCenter")));
    QVERIFY(!plain.contains(QStringLiteral("BackColor")));
    QVERIFY(!plain.contains(QStringLiteral("ForeColor")));

    ZetRibbon ribbon;
    ribbon.setTheme(1);
    ribbon.setButtonCenter(QStringLiteral("1"));
    MemoryPropertyBag bag;
    ribbon.WriteProperties(bag);
    QCOMPARE(bag.value(QStringLiteral("Theme")).toInt(), 1);
    QCOMPARE(bag.value(QStringLiteral("ButtonCenter")).toBool(), true);
    QCOMPARE(bag.value(QStringLiteral("BackColor")).value<QColor>(), QColor(142, 176, 218));
    QCOMPARE(bag.value(QStringLiteral("ForeColor")).value<QColor>(), QColor(21, 66, 139));
}

void RibbonModelTest::readingStoredPropertiesDoesNotApplyTheTheme()
{
    ZetRibbon ribbon;
    // A new ribbon comes with the first theme's pictures.
    QCOMPARE(ribbon.scene().at(RibbonFamily::Barra2, 0).picture.toImage(),
             LoadResPicture(101, QStringLiteral("BLACK")).toImage());
    QCOMPARE(ribbon.height(), 116);
    const qint64 blackBand = ribbon.scene().at(RibbonFamily::Barra2, 0).picture.cacheKey();
    MemoryPropertyBag bag;
    bag.setValue(QStringLiteral("Theme"), 7);
    bag.setValue(QStringLiteral("ButtonCenter"), true);
    bag.setValue(QStringLiteral("BackColor"), QColor(1, 2, 3));
    ribbon.ReadProperties(bag);
    QCOMPARE(ribbon.Theme(), qint16(7));
    QVERIFY(ribbon.ButtonCenter());
    QCOMPARE(ribbon.BackColor(), QColor(70, 70, 70));
    QCOMPARE(ribbon.scene().at(RibbonFamily::Barra2, 0).picture.cacheKey(), blackBand);
    QVERIFY(!ribbon.propertiesChanged());

    MemoryPropertyBag empty;
    ribbon.ReadProperties(empty);
    QCOMPARE(ribbon.Theme(), qint16(0));
    QVERIFY(!ribbon.ButtonCenter());
}

void RibbonModelTest::writingPropertiesMarksThemChanged()
{
    ZetRibbon ribbon;
    QSignalSpy changed(&ribbon, &ZetRibbon::PropertyChanged);
    ribbon.setTheme(5);
    QCOMPARE(ribbon.Theme(), qint16(0));
    ribbon.setButtonCenter(0);
    QVERIFY(ribbon.propertiesChanged());
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("Theme"));
    QCOMPARE(changed.at(1).at(0).toString(), QStringLiteral("ButtonCenter"));
}

int runRibbonModelTests(int argc, char **argv)
{
    RibbonModelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ribbon_model.moc"
