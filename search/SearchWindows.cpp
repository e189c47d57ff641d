#include "SearchWindows.h"

#include <QWidget>

// Windows join the catalogue as they are built.
namespace SearchWindows {

bool provides(int)
{
    return false;
}

QWidget *create(int, WindowHost *, QWidget *)
{
    return nullptr;
}

frmDrugs *asDrugs(QWidget *)
{
    return nullptr;
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
