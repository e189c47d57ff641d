#pragma once

namespace Common {

// The main window's command numbers: what each ribbon button runs (its identifier is
// the number as text), and what a window passes to PressMenuButton to open another.
enum Command {
    ShowDrugs = 0,
    DosageForm = 1,
    Route = 2,
    Patents = 3,
    Exclusivity = 4,
    Exit = 5,
    About = 6,
    ExitFromAbout = 8,
    Ingredients = 9,
    UpdateData = 10,
    ProtectionReport = 11,
    Changes = 12,
};

} // namespace Common
