#include "search/frmDosageForm.h"

#include "layout/Schema.h"

namespace Search {

namespace {

// The name row's value goes to the drug window's "Dosage Form" parameter row.
constexpr int NameRow = 1;
constexpr int DrugsDosageFormParameter = 11;

} // namespace

SearchWindowDesign frmDosageForm::windowDesign()
{
    namespace V = Schema::Vocabulary;
    const QStringList images = {
        QStringLiteral(":/icons/grid/vocabulary/name.png"),
        QStringLiteral(":/icons/grid/vocabulary/definition.png"),
        QStringLiteral(":/icons/grid/vocabulary/use-restrictions.png"),
        QStringLiteral(":/icons/grid/vocabulary/short-name.png"),
        QStringLiteral(":/icons/grid/vocabulary/fda-code.png"),
        QStringLiteral(":/icons/grid/vocabulary/nci-concept-id.png"),
    };
    SearchWindowDesign d
        = recordDesign(QStringLiteral("Dosage Form"), Db::SqlText::Window::DosageForm, QString(V::Name), images,
                       {
                           {QStringLiteral("Name"), QString(V::Name), 1, false, {}},
                           {QStringLiteral("Definition"), QString(V::Definition), 2, false, {}},
                           {QStringLiteral("Use Restrictions"), QString(V::UseRestrictions), 3, false, {}},
                           {QStringLiteral("SHORT NAME"), QString(V::ShortName), 4, false, {}},
                           {QStringLiteral("FDA CODE"), QString(V::FdaCode), 5, false, {}},
                           {QStringLiteral("NCI CONCEPT ID"), QString(V::NciConceptId), 6, false, {}},
                       },
                       QStringLiteral("Double click on the grid to get all the drugs having the same dosage form."));
    d.parameterRows = AdvancedSearch::rowDesigns({
        {"ID", "ID"},
        {"Name", "NAME"},
        {"Definition", "DEFINITION"},
        {"Use Restrictions", "USE RESTRICTIONS"},
        {"Short Name", "SHORT NAME"},
        {"FDA Code", "FDA CODE"},
        {"NCI Concept ID", "NCI CONCEPT ID"},
    });
    return d;
}

frmDosageForm::frmDosageForm(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), NameRow, DrugsDosageFormParameter, host, parent)
{
    setObjectName(QStringLiteral("frmDosageForm"));
    setFollowCaption(QStringLiteral("Show products with this dosage form"));
}

} // namespace Search
