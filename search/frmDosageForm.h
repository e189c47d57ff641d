#pragma once

#include "search/RecordWindow.h"

namespace Search {

// "Dosage Form": the dosage-form vocabulary looked up by name, one form's six fields,
// and a double click that lists every product whose dosage form contains the name.
class frmDosageForm : public RecordWindow
{
    Q_OBJECT

public:
    explicit frmDosageForm(WindowHost *host, QWidget *parent = nullptr);

    static constexpr int RowCount = 6;
    static SearchWindowDesign windowDesign();
};

} // namespace Search
