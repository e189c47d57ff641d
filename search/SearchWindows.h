#pragma once

#include "common/Commands.h"

class QWidget;

namespace Search {

class WindowHost;
class frmDrugs;
class frmIngredients;
class frmDosageForm;
class frmRoute;
class frmPatent;
class frmExclusivity;

// The catalogue of search windows, by the ribbon command that opens each.
namespace SearchWindows {

enum Command {
    DrugsCommand = Common::Command::ShowDrugs,
    DosageFormCommand = Common::Command::DosageForm,
    RouteCommand = Common::Command::Route,
    PatentCommand = Common::Command::Patents,
    ExclusivityCommand = Common::Command::Exclusivity,
    IngredientsCommand = Common::Command::Ingredients,
    ProtectionReportCommand = Common::Command::ProtectionReport,
};

// True when `command` opens a search window that this build has.
bool provides(int command);

// Creates the window of a command (its load runs here), or nullptr when there is none.
QWidget *create(int command, WindowHost *host, QWidget *parent = nullptr);

// Typed views of windows made by `create` (nullptr for another kind of window).
frmDrugs *asDrugs(QWidget *window);
frmIngredients *asIngredients(QWidget *window);
frmDosageForm *asDosageForm(QWidget *window);
frmRoute *asRoute(QWidget *window);
frmPatent *asPatent(QWidget *window);
frmExclusivity *asExclusivity(QWidget *window);

} // namespace SearchWindows

} // namespace Search
