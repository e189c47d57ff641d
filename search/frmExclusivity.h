#pragma once

#include "search/RecordWindow.h"

namespace Search {

// "Exclusivity": the FDA's exclusivity records looked up by code (one line per record,
// with the application and product it is for), one record's fields with the meaning
// of its code, an advanced search that the drug window drives, and a double click
// that lists every product of the record's application.
class frmExclusivity : public RecordWindow
{
    Q_OBJECT

public:
    explicit frmExclusivity(WindowHost *host, QWidget *parent = nullptr);

    // Runs the advanced search on the panel as it stands, as "FIND" does.
    void PressAdvancedSearchButton();

    static constexpr int RowCount = 6;
    static constexpr int CodeRow = 1;
    static constexpr int MeaningRow = 2;
    static constexpr int ApplicationNumberRow = 4;
    static constexpr int ProductNumberRow = 5;
    static constexpr int CodeParameter = 1;
    static constexpr int ApplicationNumberParameter = 3;
    static constexpr int ProductNumberParameter = 4;
    static SearchWindowDesign windowDesign();

    // Why the open database shows no exclusivity records (no table, or an empty one),
    // or an empty text when it holds some.
    static QString missingDataReason();

protected:
    std::optional<QString> detailsTitle(const RecordValues &record) const override;
};

} // namespace Search
