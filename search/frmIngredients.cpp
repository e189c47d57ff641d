#include "search/frmIngredients.h"

#include "common/AppError.h"
#include "data/Database.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/LineDetails.h"
#include "search/Navigation.h"
#include "search/NaturalOrder.h"
#include "layout/Schema.h"
#include "components/VbalGrid.h"
#include "search/frmDrugs.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>

#include <algorithm>

namespace Search {

namespace {

constexpr int InformationPicture = 1;
constexpr int ProductPicture = 2;

} // namespace

QVector<frmIngredients::ProductLine> frmIngredients::readProducts(const QString &ingredient)
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
    const int type = rowSet.fieldIndex(QString(P::Type));
    const int teCode = rowSet.fieldIndex(QString(P::TECode));
    while (!rowSet.eof()) {
        const QString strengthText = Db::fieldText(rowSet.field(strength));
        const QString applicantText = Db::fieldText(rowSet.field(applicant));
        // Discontinued and not-equivalent products stand out without opening each one.
        const QString detail
            = joinLineDetails({Db::fieldText(rowSet.field(type)), Db::fieldText(rowSet.field(teCode))});
        products.append({rowSet.field(id),
                         frmDrugs::productLine(Db::fieldText(rowSet.field(tradeName)), strengthText, applicantText),
                         strengthText, applicantText, detail});
        rowSet.moveNext();
    }
    return products;
}

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
    // The products of the chosen ingredient, titled with its name, stay through a new
    // search of ingredients.
    d.recordOutlivesSearch = true;
    return d;
}

frmIngredients::frmIngredients(WindowHost *host, QWidget *parent)
    : SearchWindow(windowDesign(), host, parent)
{
    setObjectName(QStringLiteral("frmIngredients"));
    // A click on the product column's header orders the products by strength, then by
    // applicant, then as they were.
    if (auto *table = qobject_cast<QTableView *>(vbalGrid()->itemView())) {
        connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
            if (section == ProductColumn - 1 && !m_products.isEmpty()) {
                sortByNextOrder();
            }
        });
    }
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
        QVector<ProductLine> products;
        Common::runSkippingFailure([&] { products = readProducts(ingredient); });
        m_products = std::move(products);
        m_order = ProductOrder::Designed;
        showProducts();
        if (!m_products.isEmpty()) {
            lblTradeName()->setText(
                QStringLiteral("%1 (%2 %3)")
                    .arg(ingredient)
                    .arg(m_products.size())
                    .arg(m_products.size() == 1 ? QStringLiteral("product") : QStringLiteral("products")));
        }
    });
}

void frmIngredients::showProducts()
{
    QVector<ProductLine> products = m_products;
    const auto by = [](QString ProductLine::*field) {
        return [field](const ProductLine &a, const ProductLine &b) {
            return compareNatural(QStringView(a.*field), QStringView(b.*field)) < 0;
        };
    };
    // Each order sorts numbers as numbers ("EQ 25MG" before "EQ 100MG").
    std::stable_sort(products.begin(), products.end(), by(&ProductLine::line));
    if (m_order == ProductOrder::ByStrength) {
        std::stable_sort(products.begin(), products.end(), by(&ProductLine::strength));
    } else if (m_order == ProductOrder::ByApplicant) {
        std::stable_sort(products.begin(), products.end(), by(&ProductLine::applicant));
    }
    static const QString orderNames[] = {QStringLiteral("Trade Name"), QStringLiteral("Trade Name, by strength"),
                                         QStringLiteral("Trade Name, by applicant")};
    Components::VbalGrid *grid = vbalGrid();
    grid->setColumnHeader(ProductColumn, orderNames[int(m_order)]);
    const Components::VbalImageList &images = vbalImageList();
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
            grid->setCellDetail(row, ProductColumn, product.detail);
            grid->setCellAccessibleText(
                row, ProductColumn,
                product.detail.isEmpty() ? product.line : product.line + QStringLiteral(", ") + product.detail);
        });
        lstSearchID()->addItem(product.id);
    }
    grid->setRedraw(true);
}

void frmIngredients::sortByNextOrder()
{
    m_order = ProductOrder((int(m_order) + 1) % 3);
    showProducts();
}

void frmIngredients::clearShownRecord()
{
    m_products.clear();
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
