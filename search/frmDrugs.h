#pragma once

#include "SearchWindow.h"

// "Trade Drugs": products looked up by trade name, one product's twelve fields in
// the grid, and an advanced search over thirteen product columns.
class frmDrugs : public SearchWindow
{
    Q_OBJECT

public:
    explicit frmDrugs(WindowHost *host, QWidget *parent = nullptr);

    // Shows the product with that ID: twelve value cells and the title.
    void GetProductDetails(qint32 id);
    // Runs the advanced search on the panel as it stands, as "FIND" does.
    void PressAdvancedSearchButton();

    // The grid's rows and their texts.
    static constexpr int RowCount = 12;
    static constexpr int ValueColumn = 4;
    static SearchWindowDesign windowDesign();

protected:
    std::optional<QString> detailsTitle(const RecordValues &record) const override;
    void vbalGrid_DblClick(int row, int column) override;

    // A double click on a row with the information icon (2 ingredients, 4 dosage form,
    // 5 route, 10 application number) hands the row's value to the window that shows
    // more about it. Those windows join the program separately; until then a row has
    // nowhere to go and this does nothing.
    virtual void followDetailRow(int row, const QString &valueText);
};
