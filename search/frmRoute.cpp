#include "frmRoute.h"

#include "frmDosageForm.h"
#include "Schema.h"

namespace {

// The name row's value goes to the drug window's "Route of Admin" parameter row.
constexpr int NameRow = 1;
constexpr int DrugsRouteParameter = 12;
// The panel's "Use Restrictions" row: routes have none to show, but the row keeps its
// place, so the shown rows leave a gap there.
constexpr int UseRestrictionsParameter = 3;

} // namespace

SearchWindowDesign frmRoute::windowDesign()
{
    namespace V = Schema::Vocabulary;
    // The dosage form window's six pictures and panel rows; picture 3 (use restrictions)
    // is never shown, and its panel row is hidden.
    const SearchWindowDesign forms = frmDosageForm::windowDesign();
    SearchWindowDesign d = recordDesign(
        QStringLiteral("Route of Administration"), SqlText::Window::Route, QString(V::Name), forms.images,
        {
            {QStringLiteral("Name"), QString(V::Name), 1, false, {}},
            {QStringLiteral("Definition"), QString(V::Definition), 2, false, {}},
            {QStringLiteral("SHORT NAME"), QString(V::ShortName), 4, false, {}},
            {QStringLiteral("FDA CODE"), QString(V::FdaCode), 5, false, {}},
            {QStringLiteral("NCI CONCEPT ID"), QString(V::NciConceptId), 6, false, {}},
        },
        QStringLiteral("Double click on the grid to get all the drugs administered using the selected route."));
    d.parameterRows = forms.parameterRows;
    d.parameterRows[UseRestrictionsParameter].hidden = true;
    return d;
}

frmRoute::frmRoute(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), NameRow, DrugsRouteParameter, host, parent)
{
    setObjectName(QStringLiteral("frmRoute"));
}
