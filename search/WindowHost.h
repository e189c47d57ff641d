#pragma once

class QWidget;

namespace Search {

class frmDrugs;
class frmIngredients;
class frmDosageForm;
class frmRoute;
class frmPatent;
class frmExclusivity;

// What the search windows need of the main window: its command table and the other
// windows. The main window implements it; windows never reach each other another way.
class WindowHost
{
public:
    virtual ~WindowHost() = default;

    // Runs the command with that number exactly as a click on its ribbon button does
    // (0 drugs, 9 ingredients, 1 dosage form, 2 route, 3 patent, 4 exclusivity, 6 about,
    // 5 or 8 exit).
    virtual void PressMenuButton(int ButtonID) = 0;

    // The one instance of each window, created on first use (and then kept).
    virtual frmDrugs *drugsWindow() = 0;
    virtual frmIngredients *ingredientsWindow() = 0;
    virtual frmDosageForm *dosageFormWindow() = 0;
    virtual frmRoute *routeWindow() = 0;
    virtual frmPatent *patentWindow() = 0;
    virtual frmExclusivity *exclusivityWindow() = 0;

    // Shows a window maximised inside the main window.
    virtual void maximizeWindow(QWidget *window) = 0;
};

} // namespace Search
