#pragma once

#include "search/SearchWindow.h"

namespace Search {

// "Ingredients": active-ingredient texts looked up (one line per distinct text, no
// keys), and the products of the chosen text in the grid, one row per product, with
// the products' keys in lstSearchID. A double click opens a product in the drug window.
class frmIngredients : public SearchWindow
{
    Q_OBJECT

public:
    explicit frmIngredients(WindowHost *host, QWidget *parent = nullptr);

    // Rebuilds the grid with every product whose whole ingredient text matches
    // `ingredient` (letter case aside), by trade name then applicant; the title
    // becomes the text. Without a product the grid ends empty and the title stays.
    void GetProductDetails(const QString &ingredient);
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
};

} // namespace Search
