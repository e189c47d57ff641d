#pragma once

#include "search/SearchWindow.h"

namespace Search {

// "Ingredients": active-ingredient texts looked up (one line per distinct text, no
// keys), and the products of the chosen text in the grid, one row per product (its
// marketing status and TE code under it, quieter), with the products' keys in
// lstSearchID. A double click opens a product in the drug window.
class frmIngredients : public SearchWindow
{
    Q_OBJECT

public:
    explicit frmIngredients(WindowHost *host, QWidget *parent = nullptr);

    // Rebuilds the grid with every product whose whole ingredient text matches
    // `ingredient` (letter case aside), by trade name then applicant; the title
    // becomes the text and how many products it has ("... (12 products)"). Without a
    // product the grid ends empty and the title stays.
    void GetProductDetails(const QString &ingredient);

    // The orders of the product grid, one click on its header after another.
    enum class ProductOrder {
        Designed,
        ByStrength,
        ByApplicant
    };
    ProductOrder productOrder() const { return m_order; }
    // The next order (the third click gives the designed one back), rows and keys together.
    void sortByNextOrder();
    // Blanks the product line of the first three rows that exist; no row is created.
    void EmptyTheGrid() override;
    // No product lines: the grid's rows and their keys go, and the title.
    void clearShownRecord() override;

    static constexpr int IconColumn = 1;
    static constexpr int DetailsColumn = 2;
    static constexpr int ProductColumn = 3;
    // EmptyTheGrid blanks at most this many rows.
    static constexpr int BlankedRows = 3;
    static SearchWindowDesign windowDesign();

protected:
    // A hit is its own key: its text is the ingredient shown.
    void showHit(int position) override;
    void vbalGrid_DblClick(int row, int column) override;
    QString followCaption(int row) const override;

private:
    struct ProductLine
    {
        QVariant id;
        QString line;
        QString strength;
        QString applicant;
        QString detail; // marketing status and TE code: "RX · AB", "DISCN"
    };
    static QVector<ProductLine> readProducts(const QString &ingredient);
    void showProducts();

    QVector<ProductLine> m_products; // in the designed order
    ProductOrder m_order = ProductOrder::Designed;
};

} // namespace Search
