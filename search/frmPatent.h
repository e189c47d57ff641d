#pragma once

#include "search/RecordWindow.h"

namespace Search {

// "Patents": patent records looked up by patent number (one line per record), one
// record's seven fields, an advanced search that other windows drive, and a double
// click that lists every product of the record's application.
class frmPatent : public RecordWindow
{
    Q_OBJECT

public:
    explicit frmPatent(WindowHost *host, QWidget *parent = nullptr);

    // Runs the advanced search on the panel as it stands, as "FIND" does.
    void PressAdvancedSearchButton();

    static constexpr int RowCount = 7;
    static constexpr int ApplicationNumberParameter = 3;
    static SearchWindowDesign windowDesign();

protected:
    std::optional<QString> detailsTitle(const RecordValues &record) const override;
};

} // namespace Search
