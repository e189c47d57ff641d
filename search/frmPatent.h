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

    static constexpr int RowCount = 10;
    // After the record's seven columns: the product it names, whether its delisting
    // was asked for, and when it was submitted.
    static constexpr int ProductRow = 8;
    static constexpr int DelistRow = 9;
    static constexpr int SubmissionDateRow = 10;
    static constexpr int ApplicationNumberParameter = 3;
    static constexpr int ProductNumberParameter = 4;
    static SearchWindowDesign windowDesign();

protected:
    std::optional<QString> detailsTitle(const RecordValues &record) const override;
    void showHit(int position) override;
    // The product row and the delist row's words.
    void fillMoreDetails(qint64 id) override;
};

} // namespace Search
