#include "search/SearchWindows.h"

#include "search/frmDosageForm.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "search/frmIngredients.h"
#include "search/frmPatent.h"
#include "search/frmProtectionReport.h"
#include "search/frmRoute.h"

#include <QWidget>

namespace Search {

namespace SearchWindows {

bool provides(int command)
{
    switch (command) {
    case DrugsCommand:
    case DosageFormCommand:
    case RouteCommand:
    case PatentCommand:
    case ExclusivityCommand:
    case IngredientsCommand:
    case ProtectionReportCommand:
        return true;
    default:
        return false;
    }
}

QWidget *create(int command, WindowHost *host, QWidget *parent)
{
    switch (command) {
    case DrugsCommand:
        return new frmDrugs(host, parent);
    case IngredientsCommand:
        return new frmIngredients(host, parent);
    case DosageFormCommand:
        return new frmDosageForm(host, parent);
    case RouteCommand:
        return new frmRoute(host, parent);
    case PatentCommand:
        return new frmPatent(host, parent);
    case ExclusivityCommand:
        return new frmExclusivity(host, parent);
    case ProtectionReportCommand:
        return new frmProtectionReport(host, parent);
    default:
        return nullptr;
    }
}

frmDrugs *asDrugs(QWidget *window)
{
    return qobject_cast<frmDrugs *>(window);
}

frmIngredients *asIngredients(QWidget *window)
{
    return qobject_cast<frmIngredients *>(window);
}

frmDosageForm *asDosageForm(QWidget *window)
{
    return qobject_cast<frmDosageForm *>(window);
}

frmRoute *asRoute(QWidget *window)
{
    return qobject_cast<frmRoute *>(window);
}

frmPatent *asPatent(QWidget *window)
{
    return qobject_cast<frmPatent *>(window);
}

frmExclusivity *asExclusivity(QWidget *window)
{
    return qobject_cast<frmExclusivity *>(window);
}

} // namespace SearchWindows

} // namespace Search
