#pragma once

#include "search/SearchWindow.h"

namespace Search {

// What the dosage form, route and patent windows share: one record of a reference
// table shown in three columns (icon, caption, value), the help hint once the pointer
// crosses the grid, the quick search callable from other windows, a double click
// that lists in the drug window every product sharing one value of the record on show,
// and the vocabulary title "Name (SHORT NAME)" (the patent window titles its own way).
class RecordWindow : public SearchWindow
{
    Q_OBJECT

public:
    // Runs the quick search on the text of txtSearch, as "Search" does.
    void PressFindButton();
    // Shows the record with that ID: its value cells and the title.
    void GetProductDetails(qint32 id);

    static constexpr int ValueColumn = 3;

    // The design parts the three windows share: the three columns, the rows' icons
    // (picture r for icon r), the information picture beside the help strip, the hint
    // on pointer movement and the strip right of its icon.
    static SearchWindowDesign recordDesign(const QString &caption, Db::SqlText::Window sqlWindow,
                                           const QString &listField, const QStringList &images,
                                           QVector<DetailRowDesign> rows, const QString &hint);

protected:
    // `sourceRow`: the row whose value a double click hands on; `drugParameterRow`: the
    // drug window's parameter row that searches the same value among the products;
    // `productNumberRow` (0: none): the row naming the product to show among them.
    RecordWindow(SearchWindowDesign design, int sourceRow, int drugParameterRow, WindowHost *host, QWidget *parent,
                 int productNumberRow = 0);

    // Any cell of any row: the products that share the value of the source row.
    void vbalGrid_DblClick(int row, int column) override;
    // The context menu's name for that step ("Show products with this dosage form").
    QString followCaption(int row) const override;
    void setFollowCaption(const QString &caption) { m_followCaption = caption; }
    // Rows a window fills from more than the record's own columns, once its values are in.
    virtual void fillMoreDetails(qint64) {}
    // "Name (SHORT NAME)", the title of a dosage form or a route; "Name" alone when it
    // has no short name.
    std::optional<QString> detailsTitle(const RecordValues &record) const override;

private:
    int m_sourceRow;
    int m_drugParameterRow;
    int m_productNumberRow;
    QString m_followCaption;
};

} // namespace Search
