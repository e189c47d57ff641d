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
    // The same six pictures as the dosage form window; picture 3 (use restrictions) is never shown.
    SearchWindowDesign d = recordDesign(
        QStringLiteral("Route of Administration"), SqlText::Window::Route, QString(V::Name),
        frmDosageForm::windowDesign().images,
        {
            {QStringLiteral("Name"), QString(V::Name), 1, false, {}},
            {QStringLiteral("Definition"), QString(V::Definition), 2, false, {}},
            {QStringLiteral("SHORT NAME"), QString(V::ShortName), 4, false, {}},
            {QStringLiteral("FDA CODE"), QString(V::FdaCode), 5, false, {}},
            {QStringLiteral("NCI CONCEPT ID"), QString(V::NciConceptId), 6, false, {}},
        },
        QStringLiteral("Double click on the grid to get all the drugs administered using the selected route."));
    d.parameterRows = frmDosageForm::windowDesign().parameterRows;
    d.parameterRows[UseRestrictionsParameter].hidden = true;
    return d;
}

frmRoute::frmRoute(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), NameRow, DrugsRouteParameter, host, parent)
{
    setObjectName(QStringLiteral("frmRoute"));
}

std::optional<QString> frmRoute::detailsTitle(const RecordValues &record) const
{
    return nameAndShortName(record);
}
