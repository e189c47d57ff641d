#pragma once

#include "search/WindowHost.h"

using namespace Search;

namespace WindowTest {

// A host for a window shown on its own: commands go nowhere and no other window exists.
class NoWindows : public WindowHost
{
public:
    void PressMenuButton(int) override {}
    frmDrugs *drugsWindow() override { return nullptr; }
    frmIngredients *ingredientsWindow() override { return nullptr; }
    frmDosageForm *dosageFormWindow() override { return nullptr; }
    frmRoute *routeWindow() override { return nullptr; }
    frmPatent *patentWindow() override { return nullptr; }
    frmExclusivity *exclusivityWindow() override { return nullptr; }
    void maximizeWindow(QWidget *) override {}
};

} // namespace WindowTest
