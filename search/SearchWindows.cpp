#include "SearchWindows.h"

#include "frmDrugs.h"

#include <QWidget>

// Windows join the catalogue as they are built.
namespace SearchWindows {

namespace {
constexpr int DrugsCommand = 0;
}

bool provides(int command)
{
    return command == DrugsCommand;
}

QWidget *create(int command, WindowHost *host, QWidget *parent)
{
    switch (command) {
    case DrugsCommand:
        return new frmDrugs(host, parent);
    default:
        return nullptr;
    }
}

frmDrugs *asDrugs(QWidget *window)
{
    return qobject_cast<frmDrugs *>(window);
}

frmIngredients *asIngredients(QWidget *)
{
    return nullptr;
}

frmDosageForm *asDosageForm(QWidget *)
{
    return nullptr;
}

frmRoute *asRoute(QWidget *)
{
    return nullptr;
}

frmPatent *asPatent(QWidget *)
{
    return nullptr;
}

} // namespace SearchWindows
