#pragma once

#include "search/SearchWindow.h"

namespace Search {

// "Trade Drugs": products looked up by trade name, one product's twelve fields and
// its exclusivities in the grid, and an advanced search over thirteen product columns.
class frmDrugs : public SearchWindow
{
    Q_OBJECT

public:
    explicit frmDrugs(WindowHost *host, QWidget *parent = nullptr);

    // Shows the product with that ID: thirteen value cells and the title.
    void GetProductDetails(qint32 id);
    // Runs the advanced search on the panel as it stands, as "FIND" does.
    void PressAdvancedSearchButton();
    // Lists the products that may be dispensed for the product shown (the substitutes
    // row's double click): the count line says how the list was made, and the product
    // shown stays selected (else the first line is shown). False when there is no
    // product or the list could not be read (the count line then says why).
    bool listSubstitutes();

    // The grid's rows and their texts. The last four follow the design's rows: the
    // product's own patents, the products that may be dispensed for it, its
    // reference-standard flag (only where the database keeps it) and the FDA's note on
    // its strength (only when it has one).
    static constexpr int RowCount = 18;
    static constexpr int DesignRowCount = 14;
    static constexpr int ProductPatentsRow = 15;
    static constexpr int SubstitutesRow = 16;
    static constexpr int ReferenceStandardRow = 17;
    static constexpr int NoteRow = 18;
    static constexpr int TECodeRow = 8;
    static constexpr int IngredientsRow = 2;
    static constexpr int DosageFormRow = 4;
    static constexpr int RouteRow = 5;
    static constexpr int ProductNumberRow = 9;
    static constexpr int ApplicationNumberRow = 10;
    // The product's exclusivities, read from the exclusivity table, not a product column.
    static constexpr int ExclusivityRow = 11;
    // What the FDA's patents and exclusivities say of the product as of the data's
    // release; a double click shows its timeline.
    static constexpr int ProtectionRow = 12;
    static constexpr int ValueColumn = 4;
    static SearchWindowDesign windowDesign();
    // A product as one line: trade name, " (", strength, ") - ", applicant; an empty
    // (Null) field adds nothing between its separators. The window's title, and the
    // ingredient window's product rows.
    static QString productLine(const QString &tradeName, const QString &strength, const QString &applicant);

protected:
    std::optional<QString> detailsTitle(const RecordValues &record) const override;
    void vbalGrid_DblClick(int row, int column) override;
    QString followCaption(int row) const override;
    void showHit(int position) override;

    // A double click on a row with the information icon hands the row's value to the
    // window that shows more about it: 2 the ingredient window (the products of that
    // ingredient text), 4 and 5 the dosage form and route windows (a quick search),
    // 10 the patent window (the patents of that application), 11 the exclusivity window
    // (the records of the application, the product's own shown).
    virtual void followDetailRow(int row, const QString &valueText);

public:
    // The application number on show, without the kind the NDA row names it by.
    QString applicationNumber() const;
    // "NDA 020702" for a new drug application ("N"), "ANDA 076477" for an abbreviated
    // one ("A"); the number alone where the kind is not known.
    static QString applicationText(const QString &type, const QString &number);
    // The TE code on show, without the meaning the row adds ("AB1,AB2").
    QString teCode() const;
    // The substitutes row's value: the count ("23 products share AB"), else why there
    // are none, from the product's type, its TE codes and the count of others.
    static QString substitutesText(const QString &type, const QString &teCodes, qint64 others);

    void EmptyTheGrid() override;

private:
    // The exclusivity row's value, from the product number and application on show.
    void fillExclusivityRow();
    // The listed-protection row's value, for product `id` on show.
    void fillProtectionRow(qint64 id);
    // What the FDA's newer fields add to product `id`: the application's kind, the
    // product's own patents, RS and the strength's note (rows shown or taken away).
    void fillProductFields(qint64 id);
    // Rows 14 to 17 present as the product needs them.
    void showLastRows(int count);
    // The TE code row: the code, then what each of its codes means.
    void fillTECodeRow();

    qint32 m_productId = 0; // the product on show; 0: none
};

} // namespace Search
