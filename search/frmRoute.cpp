#include "search/frmRoute.h"

#include "search/frmDosageForm.h"

namespace Search {

namespace {

// The name row's value goes to the drug window's "Route of Admin" parameter row.
constexpr int NameRow = 1;
constexpr int DrugsRouteParameter = 12;
// Routes have no use restrictions: the dosage form window's grid row 3 is left out, and
// its panel row keeps its place but is hidden, so the shown rows leave a gap there.
constexpr int UseRestrictionsRow = 3;
constexpr int UseRestrictionsParameter = 3;

} // namespace

SearchWindowDesign frmRoute::windowDesign()
{
    // The dosage form window's design (its six pictures, rows and panel rows) with the
    // route's own caption, table and hint, and without the use restrictions, whose
    // picture is then never shown.
    SearchWindowDesign d = frmDosageForm::windowDesign();
    d.caption = QStringLiteral("Route of Administration");
    d.sqlWindow = Db::SqlText::Window::Route;
    d.rows.removeAt(UseRestrictionsRow - 1);
    d.hint = QStringLiteral("Double click on the grid to get all the drugs administered using the selected route.");
    d.parameterRows[UseRestrictionsParameter].hidden = true;
    return d;
}

frmRoute::frmRoute(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), NameRow, DrugsRouteParameter, host, parent)
{
    setObjectName(QStringLiteral("frmRoute"));
    setFollowCaption(QStringLiteral("Show products with this route of administration"));
}

} // namespace Search
