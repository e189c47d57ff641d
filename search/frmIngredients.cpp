#include "search/frmIngredients.h"

#include "common/AppError.h"
#include "data/Database.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/Navigation.h"
#include "data/Schema.h"
#include "components/VbalGrid.h"
#include "search/frmDrugs.h"

#include <QLabel>

namespace Search {

namespace {

constexpr int InformationPicture = 1;
constexpr int ProductPicture = 2;

struct ProductLine
{
    QVariant id;
    QString line;
};

QVector<ProductLine> readProducts(const QString &ingredient)
{
    namespace P = Schema::Products;
    QVector<ProductLine> products;
    Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::productsWithIngredient(ingredient));
    Db::RowSetCloser closer(rowSet);
    // The columns' positions, looked up once for every row.
    const int id = rowSet.fieldIndex(QString(P::ID));
    const int tradeName = rowSet.fieldIndex(QString(P::TradeName));
    const int strength = rowSet.fieldIndex(QString(P::Strength));
    const int applicant = rowSet.fieldIndex(QString(P::Applicant));
    while (!rowSet.eof()) {
        products.append(
            {rowSet.field(id),
             frmDrugs::productLine(Db::fieldText(rowSet.field(tradeName)), Db::fieldText(rowSet.field(strength)),
                                   Db::fieldText(rowSet.field(applicant)))});
        rowSet.moveNext();
    }
    return products;
}

} // namespace

SearchWindowDesign frmIngredients::windowDesign()
{
    const SearchWindowDesign drugs = frmDrugs::windowDesign();
    SearchWindowDesign d;
    d.caption = QStringLiteral("Ingredients");
    d.sqlWindow = Db::SqlText::Window::Ingredients;
    d.listField = QString(Schema::Products::Ingredient);
    d.keyField = QString(); // the hits carry no keys; lstSearchID belongs to the grid
    // The drug window's first two pictures (information, trade name) and its help icon.
    d.images = drugs.images.mid(0, ProductPicture);
    d.tooltipImage = drugs.tooltipImage;
    d.columns = {
        {QStringLiteral("icon"), QString(), 36, true, false},
        {QStringLiteral("Details"), QStringLiteral("Details"), 50, true, false},
        {QStringLiteral("Trade Name"), QStringLiteral("Trade Name"), 100, false, true},
    };
    d.iconColumn = IconColumn;
    d.infoColumn = DetailsColumn;
    d.captionColumn = ProductColumn;
    d.valueColumn = ProductColumn;
    d.infoImage = InformationPicture;
    // No fixed rows: GetProductDetails builds one row per product.
    d.helpStrip = HelpStrip::HintOnEveryRow;
    // The drug window's hint, and its panel: the products' columns.
    d.hint = drugs.hint;
    d.tooltipBesideIcon = false;
    d.parameterRows = drugs.parameterRows;
    return d;
}

frmIngredients::frmIngredients(WindowHost *host, QWidget *parent)
    : SearchWindow(windowDesign(), host, parent)
{
    setObjectName(QStringLiteral("frmIngredients"));
}

void frmIngredients::showHit(int position)
{
    if (position >= 0 && position < lstSearch()->count()) {
        GetProductDetails(lstSearch()->text(position));
    }
}

void frmIngredients::GetProductDetails(const QString &ingredient)
{
    runDetailsFill([&] {
        Components::VbalGrid *grid = vbalGrid();
        const Components::VbalImageList &images = vbalImageList();
        QVector<ProductLine> products;
        Common::runSkippingFailure([&] { products = readProducts(ingredient); });

        // The rows and their keys are rebuilt together, so row n always has key n.
        grid->setRedraw(false);
        grid->removeAllRows();
        grid->setRowCount(int(products.size()));
        lstSearchID()->clear();
        int row = 0;
        for (const ProductLine &product : products) {
            ++row;
            Common::runSkippingFailure([&] {
                grid->setCell(row, IconColumn, QString(), Components::CellFlags::IconCell,
                              images.itemIndex(ProductPicture));
                grid->setCell(row, DetailsColumn, QString(), Components::CellFlags::IconCell,
                              images.itemIndex(InformationPicture));
                grid->setCellAccessibleText(row, DetailsColumn,
                                            QStringLiteral("Double click to show %1").arg(product.line));
                grid->setCell(row, ProductColumn, product.line, Components::CellFlags::TextCell);
            });
            lstSearchID()->addItem(product.id);
        }
        grid->setRedraw(true);
        if (!products.isEmpty()) {
            lblTradeName()->setText(ingredient);
        }
    });
}

void frmIngredients::clearShownRecord()
{
    vbalGrid()->removeAllRows();
    lstSearchID()->clear();
    lblTradeName()->clear();
}

void frmIngredients::EmptyTheGrid()
{
    const int rows = qMin(BlankedRows, vbalGrid()->rowCount());
    for (int row = 1; row <= rows; ++row) {
        vbalGrid()->setCell(row, ProductColumn, QString(), Components::CellFlags::TextCell);
    }
}

QString frmIngredients::followCaption(int row) const
{
    return row >= 1 && row <= lstSearchID()->count() ? QStringLiteral("Show this product") : QString();
}

void frmIngredients::vbalGrid_DblClick(int row, int)
{
    if (host() && row >= 1 && row <= lstSearchID()->count()) {
        Navigation::openProduct(*host(), lstSearchID()->value(row - 1));
    }
}

} // namespace Search
