#include "search/SearchWindows.h"

#include "search/frmChanges.h"
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
    case Common::ShowDrugs:
    case Common::DosageForm:
    case Common::Route:
    case Common::Patents:
    case Common::Exclusivity:
    case Common::Ingredients:
    case Common::ProtectionReport:
    case Common::Changes:
        return true;
    default:
        return false;
    }
}

QWidget *create(int command, WindowHost *host, QWidget *parent)
{
    switch (command) {
    case Common::ShowDrugs:
        return new frmDrugs(host, parent);
    case Common::Ingredients:
        return new frmIngredients(host, parent);
    case Common::DosageForm:
        return new frmDosageForm(host, parent);
    case Common::Route:
        return new frmRoute(host, parent);
    case Common::Patents:
        return new frmPatent(host, parent);
    case Common::Exclusivity:
        return new frmExclusivity(host, parent);
    case Common::ProtectionReport:
        return new frmProtectionReport(host, parent);
    case Common::Changes:
        return new frmChanges(host, parent);
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
