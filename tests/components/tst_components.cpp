#include "common/AppError.h"
#include "components/AppFonts.h"
#include "components/ComponentStyle.h"
#include "components/GifDecoder.h"
#include "components/Pictures.h"
#include "components/TitleLabel.h"
#include "components/VbalGrid.h"
#include "components/VbalImageList.h"

#include "RibbonPictureComparison.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QDirIterator>
#include <QFontInfo>
#include <QImageReader>
#include <QListWidget>
#include <QTableView>
#include <QTableWidget>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

#include "components/QuietFocusView.h"

using namespace Common;
using namespace Components;

namespace {

// The contrast of two colours as the accessibility guidelines measure it (1 to 21).
double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPixmap solid(const QColor &color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(color);
    return pixmap;
}

// A grid like a record window's: icon, caption, information icon, value.
struct GridFixture
{
    VbalImageList images;
    VbalGrid grid;

    GridFixture()
    {
        images.add(solid(Qt::blue));
        images.add(solid(Qt::green));
        grid.setImageList(&images);
        grid.addColumn(QStringLiteral("icon"), QString(), 36, true, false);
        grid.addColumn(QStringLiteral("Description"), QStringLiteral("Description"), 100);
        grid.addColumn(QStringLiteral("Details"), QStringLiteral("Details"), 50, true, false);
        grid.addColumn(QStringLiteral("Value"), QStringLiteral("Value"), 200);
        for (int row = 1; row <= 3; ++row) {
            grid.setCell(row, 1, QString(), CellFlags::IconCell, images.itemIndex(2));
            grid.setCell(row, 2, QStringLiteral("Caption %1").arg(row), CellFlags::TextCell);
        }
        grid.resize(420, 300);
    }

    QAbstractItemView *view() const { return grid.itemView(); }
    QPoint cellCentre(int row, int column) const
    {
        return view()->visualRect(view()->model()->index(row - 1, column - 1)).center();
    }
};

} // namespace

class ComponentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void picturesAreReadByTheDecoderTheirBytesName();
    void gridLinesKeepTheirColourAndChildWindowsNeedNoStockIcons();
    void gifsReadAsQtsOwnReaderReadsThem();
    void damagedGifsGiveNoPictureOrThePartRead();

    void settingACellCreatesItsRowAndKeepsTextFlagsAndIcon();
    void textFlagsMapToWrappingAndEllipsis();
    void rowsFitAnIconAndTheirWrappedText();
    void rowsGrowWhenTheGridNarrowsItsLastColumn();
    void rowEventsCountFromOneAndRowZeroMeansNone();
    void selectedRowIsLightOrangeExceptInFixedColumns();
    void cellsAreExposedToScreenReaders();
    void cellDetailIsAQuieterLineUnderTheText();
    void fontsResolveToRealFaces();
    void focusAloneMakesNoLineCurrent();
    void titleWrapsToTwoLinesThenElides_data();
    void titleWrapsToTwoLinesThenElides();
    void enterOnARowIsADoubleClickAndTabLeavesTheGrid();
};

void ComponentsTest::initTestCase()
{
    AppFonts::registerOnce();
}

void ComponentsTest::settingACellCreatesItsRowAndKeepsTextFlagsAndIcon()
{
    GridFixture f;
    QCOMPARE(f.grid.columnCount(), 4);
    QCOMPARE(f.grid.columnIndex(QStringLiteral("value")), 4);
    QCOMPARE(f.grid.columnHeader(2), QStringLiteral("Description"));

    f.grid.setCell(6, 4, QStringLiteral("ATORVASTATIN CALCIUM"), CellFlags::TextCell);
    QCOMPARE(f.grid.rowCount(), 6);
    QCOMPARE(f.grid.cellText(6, 4), QStringLiteral("ATORVASTATIN CALCIUM"));
    QCOMPARE(f.grid.cellFlags(6, 4), 20);
    QCOMPARE(f.grid.cellText(5, 4), QString()); // created on the way, empty
    QCOMPARE(f.grid.cellIcon(2, 1), 1);
    QCOMPARE(f.grid.cellIcon(2, 2), -1);

    // Outside the grid: an error, never a silent miss.
    QVERIFY_THROWS_EXCEPTION(AppError, f.grid.setCell(1, 5, QStringLiteral("x"), CellFlags::TextCell));
    QVERIFY_THROWS_EXCEPTION(AppError, f.grid.setCell(0, 1, QStringLiteral("x"), CellFlags::TextCell));
    QVERIFY_THROWS_EXCEPTION(AppError, f.grid.cellText(7, 1));

    f.grid.removeAllRows();
    QCOMPARE(f.grid.rowCount(), 0);
    QCOMPARE(f.grid.columnCount(), 4);
    f.grid.setCell(1, 3, QString(), CellFlags::IconCell, 0);
    QCOMPARE(f.grid.rowCount(), 1);

    // Rows made in one step are blank and follow their columns' selection rule; fewer
    // rows drop the last ones and keep the rest.
    f.grid.setRowCount(4);
    QCOMPARE(f.grid.rowCount(), 4);
    QCOMPARE(f.grid.cellIcon(1, 3), 0);
    QCOMPARE(f.grid.cellText(4, 4), QString());
    QCOMPARE(f.grid.cellIcon(4, 1), -1);
    const QAbstractItemModel *model = f.view()->model();
    QVERIFY(model->flags(model->index(3, 3)) & Qt::ItemIsSelectable);
    QVERIFY(!(model->flags(model->index(3, 2)) & Qt::ItemIsSelectable));
    f.grid.setCell(2, 4, QStringLiteral("TABLET"), CellFlags::TextCell);
    f.grid.setRowCount(2);
    QCOMPARE(f.grid.rowCount(), 2);
    QCOMPARE(f.grid.cellText(2, 4), QStringLiteral("TABLET"));
}

void ComponentsTest::textFlagsMapToWrappingAndEllipsis()
{
    const CellTextLayout icon = cellTextLayout(0x40020);
    QVERIFY(!icon.wrap);
    QCOMPARE(icon.elide, Qt::ElideRight);
    const CellTextLayout text = cellTextLayout(20);
    QVERIFY(text.wrap);
    QCOMPARE(text.elide, Qt::ElideNone);
    QCOMPARE(text.alignment, Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(cellTextLayout(CellFlags::Center | CellFlags::Bottom).alignment, Qt::AlignHCenter | Qt::AlignBottom);
}

void ComponentsTest::rowsFitAnIconAndTheirWrappedText()
{
    GridFixture f;
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    auto *table = qobject_cast<QTableView *>(f.view());
    QVERIFY(table);
    QVERIFY(table->rowHeight(0) >= 36); // a 32-pixel icon and its margin

    const QString longText = QStringLiteral("The date the product was approved as stated in the FDA approval letter "
                                            "to the applicant.  The format is Mmm dd, yyyy.");
    f.grid.setCell(2, 2, longText, CellFlags::TextCell);
    const int wrapped = table->rowHeight(1);
    QVERIFY2(wrapped > table->rowHeight(0) + 20, qPrintable(QString::number(wrapped)));

    // The same text on one line with an ellipsis keeps the row low.
    f.grid.setCell(3, 2, longText, CellFlags::IconCell);
    QCOMPARE(table->rowHeight(2), table->rowHeight(0));

    // A wider column needs fewer lines.
    table->setColumnWidth(1, 380);
    QVERIFY(table->rowHeight(1) < wrapped);

    // While redraw is off the rows wait; at redraw on they fit again.
    table->setColumnWidth(1, 100);
    const int before = table->rowHeight(0);
    f.grid.setRedraw(false);
    f.grid.setCell(1, 4, longText + longText, CellFlags::TextCell);
    QCOMPARE(table->rowHeight(0), before);
    f.grid.setRedraw(true);
    QVERIFY(table->rowHeight(0) > before);
}

void ComponentsTest::rowsGrowWhenTheGridNarrowsItsLastColumn()
{
    // The last column stretches with the grid; a narrower grid (a splitter dragged)
    // wraps its text into more lines, and the row must grow to show them all.
    GridFixture f;
    f.grid.resize(800, 300);
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    auto *table = qobject_cast<QTableView *>(f.view());
    QVERIFY(table);
    f.grid.setCell(1, 4,
                   QStringLiteral("None listed. 23 marketed A-rated ANDAs of the same ingredient, dosage form, "
                                  "route and strength, the first approved Nov 30, 2011."),
                   CellFlags::TextCell);
    const int wide = table->rowHeight(0);
    f.grid.resize(330, 300);
    QTRY_VERIFY2(table->rowHeight(0) > wide, qPrintable(QStringLiteral("%1 %2").arg(table->rowHeight(0)).arg(wide)));
    const int narrow = table->rowHeight(0);
    f.grid.resize(800, 300);
    QTRY_COMPARE(table->rowHeight(0), wide);
    QVERIFY(narrow > wide);
}

void ComponentsTest::rowEventsCountFromOneAndRowZeroMeansNone()
{
    GridFixture f;
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QSignalSpy rows(&f.grid, &VbalGrid::currentRowChanged);
    QSignalSpy doubles(&f.grid, &VbalGrid::cellDoubleClicked);
    QSignalSpy moves(&f.grid, &VbalGrid::pointerMoved);

    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.cellCentre(2, 2));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.last().at(0).toInt(), 2);
    QCOMPARE(rows.last().at(1).toInt(), 2);
    QCOMPARE(f.grid.currentRow(), 2);

    QTest::keyClick(f.view(), Qt::Key_Down);
    QCOMPARE(rows.last().at(0).toInt(), 3);

    // A click below the last row leaves no row current.
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, QPoint(60, f.view()->viewport()->height() - 4));
    QCOMPARE(rows.last().at(0).toInt(), 0);
    QCOMPARE(f.grid.currentRow(), 0);

    QTest::keyClick(f.view(), Qt::Key_Up);
    QCOMPARE(rows.last().at(0).toInt(), 1);
    QTest::keyClick(f.view(), Qt::Key_Escape);
    QCOMPARE(rows.last().at(0).toInt(), 0);

    // A double click arrives as press, release, double click.
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.cellCentre(3, 1));
    QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, f.cellCentre(3, 1));
    QCOMPARE(doubles.size(), 1);
    QCOMPARE(doubles.last().at(0).toInt(), 3);
    QCOMPARE(doubles.last().at(1).toInt(), 1);

    QMouseEvent move(QEvent::MouseMove, QPointF(f.cellCentre(1, 4)),
                     f.view()->viewport()->mapToGlobal(f.cellCentre(1, 4)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(f.view()->viewport(), &move);
    QCOMPARE(moves.size(), 1);
    const QPoint inGrid = f.view()->viewport()->mapTo(&f.grid, f.cellCentre(1, 4));
    QCOMPARE(moves.last().at(2).toInt(), inGrid.x());
    QCOMPARE(moves.last().at(3).toInt(), inGrid.y());
}

void ComponentsTest::selectedRowIsLightOrangeExceptInFixedColumns()
{
    GridFixture f;
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.cellCentre(2, 4));
    // Move the pointer away so no row is hot-tracked.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.view()->viewport(), &leave);

    const QImage shot = f.view()->viewport()->grab().toImage();
    auto colourAt = [&](int row, int column) {
        const QRect cell = f.view()->visualRect(f.view()->model()->index(row - 1, column - 1));
        return QColor(shot.pixel(cell.right() - 3, cell.top() + 3)); // a corner free of text and icon
    };
    QCOMPARE(colourAt(2, 4), QColor(255, 224, 192));
    QCOMPARE(colourAt(2, 2), QColor(255, 224, 192));
    QCOMPARE(colourAt(2, 3), QColor(242, 242, 255)); // fixed column, out of the selection
    QCOMPARE(colourAt(1, 4), QColor(242, 242, 255));

    // Without the focus the row keeps its colour.
    QWidget other;
    other.show();
    other.activateWindow();
    other.setFocus();
    const QImage unfocused = f.view()->viewport()->grab().toImage();
    const QRect cell = f.view()->visualRect(f.view()->model()->index(1, 3));
    QCOMPARE(QColor(unfocused.pixel(cell.right() - 3, cell.top() + 3)), QColor(255, 224, 192));
}

void ComponentsTest::cellsAreExposedToScreenReaders()
{
    GridFixture f;
    f.grid.setCell(2, 4, QStringLiteral("TABLET"), CellFlags::TextCell);
    f.grid.setCell(2, 3, QString(), CellFlags::IconCell, 0);
    f.grid.setCellAccessibleText(2, 3, QStringLiteral("Double click for more about Dosage Form"));
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));

    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(f.view());
    QVERIFY(table && table->tableInterface());
    QCOMPARE(table->tableInterface()->rowCount(), 3);
    QAccessibleInterface *value = table->tableInterface()->cellAt(1, 3);
    QVERIFY(value);
    QCOMPARE(value->text(QAccessible::Name), QStringLiteral("TABLET"));
    QAccessibleInterface *info = table->tableInterface()->cellAt(1, 2);
    QVERIFY(info);
    QCOMPARE(info->text(QAccessible::Name), QStringLiteral("Double click for more about Dosage Form"));
}

// A cell's detail: a line under its text, quieter than the text yet at least 4.5:1 from
// the row's colour, plain and selected; the row grows to hold it.
void ComponentsTest::cellDetailIsAQuieterLineUnderTheText()
{
    GridFixture f;
    const QString text = QStringLiteral("LIPITOR (EQ 20MG BASE) - UPJOHN MANUFACTURING IRELAND UNLTD");
    for (const int row : {1, 2}) {
        f.grid.setCell(row, 4, text, CellFlags::TextCell);
    }
    auto *table = qobject_cast<QTableView *>(f.view());
    QVERIFY(table);
    const int plain = table->rowHeight(0);
    f.grid.setCellDetail(1, 4, QStringLiteral("DISCN"));
    f.grid.setCellDetail(2, 4, QStringLiteral("RX \u00b7 BX"));
    QCOMPARE(f.grid.cellText(1, 4), text);
    QCOMPARE(f.grid.cellDetail(2, 4), QStringLiteral("RX \u00b7 BX"));
    QCOMPARE(f.grid.cellDetail(3, 4), QString());
    QVERIFY2(table->rowHeight(0) > plain, qPrintable(QStringLiteral("%1 %2").arg(table->rowHeight(0)).arg(plain)));
    f.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.cellCentre(2, 2));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.view()->viewport(), &leave);
    const QImage shot = f.view()->viewport()->grab().toImage();
    for (const int row : {1, 2}) { // row 2 selected
        const QRect cell = f.view()->visualRect(f.view()->model()->index(row - 1, 3));
        const QColor background(shot.pixel(cell.right() - 3, cell.top() + 3));
        // The strongest contrast in the text's lines and in the detail's (the last line).
        const int detailTop = cell.bottom() - 4 - QFontMetrics(f.view()->font()).height();
        double text = 1, detail = 1;
        for (int y = cell.top() + 1; y < cell.bottom() - 1; ++y) {
            for (int x = cell.left() + 2; x < cell.right() - 2; ++x) {
                double &strongest = y < detailTop ? text : detail;
                strongest = std::max(strongest, contrastRatio(QColor(shot.pixel(x, y)), background));
            }
        }
        QVERIFY2(detail >= 4.5 && detail < text - 2, qPrintable(QStringLiteral("%1 %2").arg(detail).arg(text)));
    }
}

void ComponentsTest::fontsResolveToRealFaces()
{
    if (!AppFonts::tahomaAvailable()) {
        QSKIP("the Tahoma font files are not installed (fonts-wine)");
    }
    const QFontInfo tahoma(AppFonts::tahoma(8.25, true));
    QCOMPARE(tahoma.family(), QStringLiteral("Tahoma"));
    QVERIFY(tahoma.bold());
    const QFontInfo times(AppFonts::timesNewRoman(8.25, true));
    QVERIFY2(times.family() == QLatin1String("Liberation Serif") || times.family() == QLatin1String("Times New Roman"),
             qPrintable(times.family()));
}

void ComponentsTest::focusAloneMakesNoLineCurrent()
{
    Components::QuietFocusView<QListWidget> list;
    list.addItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy current(&list, &QListWidget::currentRowChanged);
    list.setFocus(Qt::OtherFocusReason);
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(current.size(), 0);
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentRow(), 0);
}

void ComponentsTest::titleWrapsToTwoLinesThenElides_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("widthInAverageCharacters");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("cut");
    const QString vitamins = QStringLiteral(
        "M.V.C. 9+3 (N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A) - ASCORBIC ACID; BIOTIN; CYANOCOBALAMIN; "
        "DEXPANTHENOL; ERGOCALCIFEROL; FOLIC ACID; NIACINAMIDE; PYRIDOXINE HYDROCHLORIDE - HOSPIRA INC");
    QTest::newRow("fits") << QStringLiteral("LIPITOR (EQ 10MG BASE) - VIATRIS") << 60 << 1 << false;
    QTest::newRow("wraps") << QStringLiteral("LIPITOR (EQ 10MG BASE) - UPJOHN MANUFACTURING IRELAND UNLTD") << 40 << 2
                           << false;
    QTest::newRow("elided") << vitamins << 60 << 2 << true;
    QTest::newRow("one long word") << QStringLiteral("N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A;N/A") << 20 << 1
                                   << true;
    QTest::newRow("empty") << QString() << 20 << 0 << false;
}

// Lines never run wider than the title area, never more than two, and nothing is
// lost unless the last line says so with an ellipsis.
void ComponentsTest::titleWrapsToTwoLinesThenElides()
{
    QFETCH(QString, title);
    QFETCH(int, widthInAverageCharacters);
    QFETCH(int, lines);
    QFETCH(bool, cut);
    const QFont font = AppFonts::timesNewRoman(11.25, true);
    const QFontMetrics metrics(font);
    const int width = metrics.averageCharWidth() * widthInAverageCharacters;
    const QStringList shown = titleLines(title, metrics, width, TitleLabel::MaxLines);
    QCOMPARE(shown.size(), lines);
    for (const QString &line : shown) {
        QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
    }
    QCOMPARE(!shown.isEmpty() && shown.last().endsWith(QChar(0x2026)), cut);
    if (!cut) {
        QCOMPARE(shown.join(QLatin1Char(' ')), title.simplified());
    }

    TitleLabel label;
    label.setFont(font);
    label.resize(width, 40);
    label.setText(title);
    QCOMPARE(label.shownLines(), shown);
    QCOMPARE(label.text(), title); // the whole title stays the label's text, and its accessible name
}

void ComponentsTest::enterOnARowIsADoubleClickAndTabLeavesTheGrid()
{
    GridFixture f;
    f.grid.setCell(3, 4, QStringLiteral("TABLET"), CellFlags::TextCell);
    QSignalSpy doubleClicks(&f.grid, &VbalGrid::cellDoubleClicked);
    QAbstractItemView *view = f.grid.itemView();
    QTest::keyClick(view, Qt::Key_Return); // no current row: nothing
    QCOMPARE(doubleClicks.size(), 0);
    view->setCurrentIndex(view->model()->index(2, 3));
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(doubleClicks.size(), 2);
    QCOMPARE(doubleClicks.first(), (QList<QVariant>{3, 4}));
    QVERIFY(!static_cast<QTableWidget *>(view)->tabKeyNavigation());
}

// The image plugins mapped into this process, by file name.
QStringList imagePlugins()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QStringList found;
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const QString file = QString::fromLatin1(line.mid(line.lastIndexOf('/') + 1));
            if (line.contains("/imageformats/") && !found.contains(file)) {
                found << file;
            }
        }
    }
    return found;
}

// Runs first, before anything in this process has read a picture.
void ComponentsTest::picturesAreReadByTheDecoderTheirBytesName()
{
    // Written out here: Qt's own writers would load every image plugin first. One red
    // pixel as a GIF; 3 by 2 green pixels as PNG, BMP and PPM.
    const QByteArray gif
        = QByteArray::fromHex("47494638396101000100800000ff00000000002c00000000010001000002024401003b");
    const QByteArray png = QByteArray::fromHex(
        "89504e470d0a1a0a0000000d49484452000000030000000208020000001216f14d0000001049444154789c63e03a210741"
        "0c70160037dc05a17ec958450000000049454e44ae426082");
    const QByteArray bmp = QByteArray::fromHex(
        "424d4e0000000000000036000000280000000300000002000000010018000000000018000000130b0000130b0000000000"
        "00000000001ec80a1ec80a1ec80a0000001ec80a1ec80a1ec80a000000");
    const QByteArray ppm = QByteArrayLiteral("P6\n3 2\n255\n") + QByteArray(18, '\x64');
    const struct
    {
        QByteArray bytes;
        QByteArray format;
        QSize size; // as read; known formats come first
    } cases[] = {
        {gif, "gif", QSize(1, 1)},
        {png, "png", QSize(3, 2)},
        {bmp, "bmp", QSize(3, 2)},
        {QByteArrayLiteral("\xff\xd8\xff\xe0 not read here"), "jpeg", QSize(-1, -1)},
        {ppm, "", QSize(3, 2)}, // no signature it knows: left to the reader
        {QByteArrayLiteral("GIF8 but no picture"), "", QSize()},
        {QByteArray(), "", QSize()},
    };
    bool pluginsUnseen = imagePlugins().isEmpty();
    for (const auto &c : cases) {
        QCOMPARE(Pictures::formatOf(c.bytes.left(8)), c.format);
        if (c.format.isEmpty() && std::exchange(pluginsUnseen, false)) {
            // The known formats needed no image plugin (a guess would have loaded them
            // all, SVG included).
            QCOMPARE(imagePlugins(), QStringList());
        }
        if (c.size.isValid() || c.size.isNull()) {
            QCOMPARE(Pictures::fromData(c.bytes).size(), c.size);
        }
    }
    QCOMPARE(Pictures::fromData(gif).toImage().pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(Pictures::fromData(png).toImage().pixelColor(2, 1), QColor(10, 200, 30));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("p.tmp"))); // a suffix that names no format
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(png) > 0);
    file.close();
    QCOMPARE(Pictures::fromFile(file.fileName()).size(), QSize(3, 2));
    QVERIFY(Pictures::fromFile(dir.filePath(QStringLiteral("missing.png"))).isNull());
}

void ComponentsTest::gridLinesKeepTheirColourAndChildWindowsNeedNoStockIcons()
{
    GridFixture f;
    QTableView plain;
    const QStyle *style = f.view()->style();
    QVERIFY(qobject_cast<const ComponentStyle *>(style));
    QCOMPARE(QColor::fromRgba(QRgb(style->styleHint(QStyle::SH_Table_GridLineColor, nullptr, f.view()))),
             QColor(200, 200, 222));
    QVERIFY(style->styleHint(QStyle::SH_Table_GridLineColor, nullptr, &plain)
            != style->styleHint(QStyle::SH_Table_GridLineColor, nullptr, f.view()));
    for (const QStyle::StandardPixmap icon : {QStyle::SP_TitleBarMenuButton, QStyle::SP_TitleBarCloseButton}) {
        QVERIFY(style->standardIcon(icon).isNull());
    }
}

namespace {

// A GIF built here, its data compressed with colour codes only (no strings), so that
// any picture can be written out: `indices` row by row, top to bottom.
struct GifPicture
{
    QSize screen;
    QRect frame;
    QList<QRgb> palette; // 2, 4, ... 256 colours
    QByteArray indices;
    bool interlaced = false;
    int transparent = -1;
    bool localPalette = false;
    int minCodeSize = -1; // the smallest that holds the palette when -1
};

void putWord(QByteArray &out, int value)
{
    out += char(value & 0xff);
    out += char(value >> 8);
}

QByteArray gifBytes(const GifPicture &g)
{
    const int bits = int(std::log2(g.palette.size())) - 1;
    QByteArray palette;
    for (const QRgb colour : g.palette) {
        palette += char(qRed(colour));
        palette += char(qGreen(colour));
        palette += char(qBlue(colour));
    }
    QByteArray out("GIF89a");
    putWord(out, g.screen.width());
    putWord(out, g.screen.height());
    out += char(g.localPalette ? 0 : 0x80 | bits);
    out += QByteArray(2, '\0');
    if (!g.localPalette) {
        out += palette;
    }
    if (g.transparent >= 0) {
        out += QByteArray("\x21\xf9\x04\x01\0\0", 6) + char(g.transparent) + '\0';
    }
    out += '\x2c';
    for (const int value : {g.frame.x(), g.frame.y(), g.frame.width(), g.frame.height()}) {
        putWord(out, value);
    }
    out += char((g.localPalette ? 0x80 | bits : 0) | (g.interlaced ? 0x40 : 0));
    if (g.localPalette) {
        out += palette;
    }
    // Rows in the order the data gives them.
    QByteArray stream;
    const int width = g.frame.width();
    QList<int> rows;
    for (const auto &[start, step] :
         g.interlaced ? QList<QPair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}} : QList<QPair<int, int>>{{0, 1}}) {
        for (int row = start; row < g.frame.height(); row += step) {
            stream += g.indices.mid(row * width, width);
        }
    }
    const int minCodeSize = g.minCodeSize >= 0 ? g.minCodeSize : std::max(2, bits + 1);
    out += char(minCodeSize);
    QByteArray data;
    const int clear = 1 << minCodeSize;
    int size = minCodeSize + 1;
    int next = clear + 2;
    quint32 held = 0;
    int count = 0;
    const auto put = [&](int code) {
        held |= quint32(code) << count;
        for (count += size; count >= 8; count -= 8, held >>= 8) {
            data += char(held & 0xff);
        }
    };
    put(clear);
    for (qsizetype i = 0; i < stream.size(); ++i) {
        put(uchar(stream[i]));
        if (i > 0 && ++next == (1 << size) && size < 12) {
            ++size; // the reader makes a string of every code after the first
        }
    }
    put(clear + 1);
    if (count > 0) {
        data += char(held & 0xff);
    }
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out += char(block.size()) + block;
    }
    return out + QByteArray("\0;", 2);
}

QImage qtReads(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "gif").read();
}

// Decoded pictures must match to the level (the comparison the ribbon's pictures use,
// with no tolerance).
const PictureTolerance Exact{0, 0, 0, 0};

const QList<QRgb> FourColours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(250, 250, 250)};

// `width` by `height` indices, each row one colour after another.
QByteArray stripes(int width, int height, int colours = 4)
{
    QByteArray indices;
    for (int row = 0; row < height; ++row) {
        indices += QByteArray(width, char(row % colours));
    }
    return indices;
}

GifPicture plainGif(int width = 3, int height = 10)
{
    return {QSize(width, height), QRect(0, 0, width, height), FourColours, stripes(width, height)};
}

} // namespace

void ComponentsTest::gifsReadAsQtsOwnReaderReadsThem()
{
    // Every picture the program comes with, pixel for pixel.
    int read = 0;
    QDirIterator files(QStringLiteral(TORVANELQUIST_RESOURCES_DIR), {QStringLiteral("*.gif")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QString difference = pictureDifference(qtReads(bytes), GifDecoder::decode(bytes), Exact);
        QVERIFY2(difference.isEmpty(), qPrintable(file.fileName() + QStringLiteral(": ") + difference));
        ++read;
    }
    QVERIFY2(read >= 3 * 41, qPrintable(QString::number(read)));

    // Pictures written here: what the themes do not use.
    GifPicture interlaced = plainGif(3, 19);
    interlaced.interlaced = true;
    GifPicture transparent = plainGif();
    transparent.transparent = 2;
    GifPicture local = plainGif();
    local.localPalette = true;
    GifPicture full = plainGif(60, 40);
    full.palette.clear();
    for (int i = 0; i < 256; ++i) {
        full.palette << qRgb(i, 255 - i, i / 2);
    }
    full.indices = stripes(60, 40, 256).replace(char(3), char(200)); // 12-bit codes by the end
    full.indices.replace(5, 1, "\xff");
    for (const auto &[name, gif] : {std::pair{"interlaced", interlaced}, std::pair{"transparent", transparent},
                                    std::pair{"local colour table", local}, std::pair{"256 colours", full}}) {
        const QByteArray bytes = gifBytes(gif);
        const QImage picture = GifDecoder::decode(bytes);
        QVERIFY2(!picture.isNull(), name);
        const QString difference = pictureDifference(qtReads(bytes), picture, Exact);
        QVERIFY2(difference.isEmpty(), qPrintable(QLatin1String(name) + QStringLiteral(": ") + difference));
    }
    QCOMPARE(GifDecoder::decode(gifBytes(transparent)).pixelColor(1, 2).alpha(), 0);
    QVERIFY(!GifDecoder::decode(gifBytes(plainGif())).hasAlphaChannel()); // opaque pictures draw faster
}

void ComponentsTest::damagedGifsGiveNoPictureOrThePartRead()
{
    const QByteArray good = gifBytes(plainGif());
    const qsizetype descriptor = good.indexOf('\x2c', 13 + 12);
    QCOMPARE(good.at(descriptor + 10), '\x02'); // the smallest code size follows the descriptor
    const auto with = [&](qsizetype at, const QByteArray &bytes) { return QByteArray(good).replace(at, 1, bytes); };
    GifPicture noTable = plainGif();
    noTable.localPalette = true;
    QByteArray noTableBytes = gifBytes(noTable);
    noTableBytes[descriptor - 12 + 9] = 0; // the descriptor names no local table either
    GifPicture offset = plainGif(2, 2);
    offset.screen = QSize(4, 4);
    offset.frame = QRect(1, 1, 2, 2);

    const struct
    {
        const char *name;
        QByteArray bytes;
        QSize size; // of the picture read; none when empty
    } cases[] = {
        {"whole", good, QSize(3, 10)},
        {"no bytes", QByteArray(), QSize()},
        {"the signature alone", "GIF89a", QSize()},
        {"another signature", with(3, "9"), QSize()},
        {"colour table cut short", good.left(20), QSize()},
        {"no colour table at all", noTableBytes, QSize()},
        {"descriptor cut short", good.left(descriptor + 5), QSize()},
        {"code size 1", with(descriptor + 10, "\x01"), QSize()},
        {"code size 9", with(descriptor + 10, "\x09"), QSize()},
        {"a screen wider than any picture", with(6, "\xff").replace(7, 1, "\x7f"), QSize()},
        {"an unknown block", with(descriptor, "\x99"), QSize()},
        {"the trailer before any picture", with(descriptor, ";"), QSize()},
        {"an extension cut short", good.left(descriptor) + QByteArray::fromHex("21fe05616263"), QSize()},
        {"data cut short", good.left(good.size() - 4), QSize(3, 10)},
        {"a first code that is no colour", with(descriptor + 12, "\xff"), QSize(3, 10)},
        {"a picture within a larger screen", gifBytes(offset), QSize(4, 4)},
    };
    for (const auto &c : cases) {
        const QImage picture = GifDecoder::decode(c.bytes);
        QVERIFY2((picture.isNull() ? QSize() : picture.size()) == c.size, c.name);
    }

    // What was read is kept, the rest is clear.
    const QImage cut = GifDecoder::decode(good.left(good.size() - 4));
    QCOMPARE(cut.pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(cut.pixelColor(2, 9).alpha(), 0);
    QCOMPARE(GifDecoder::decode(with(descriptor + 12, "\xff")).pixelColor(0, 0).alpha(), 0);
    const QImage framed = GifDecoder::decode(gifBytes(offset));
    QCOMPARE(framed.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(framed.pixelColor(1, 1), QColor(255, 0, 0));
    QCOMPARE(framed.pixelColor(2, 2), QColor(0, 255, 0));
    QCOMPARE(framed.pixelColor(3, 3).alpha(), 0);
}

QTEST_MAIN(ComponentsTest)
#include "tst_components.moc"
