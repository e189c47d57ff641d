#include "search/frmExclusivity.h"

#include "data/Database.h"
#include "layout/Schema.h"

#include <QLabel>

namespace Search {

namespace {

// The drug window's "NDA Number" parameter row, which lists the application's products.
constexpr int DrugsApplicationNumberParameter = 5;

} // namespace

SearchWindowDesign frmExclusivity::windowDesign()
{
    namespace E = Schema::Exclusivity;
    const QStringList images = {
        QStringLiteral(":/icons/grid/exclusivity/code.png"),
        QStringLiteral(":/icons/grid/vocabulary/definition.png"),
        QStringLiteral(":/icons/grid/patent/expire-date.png"),
        QStringLiteral(":/icons/grid/drugs/nda-number.png"),
        QStringLiteral(":/icons/grid/drugs/product-number.png"),
        QStringLiteral(":/icons/grid/exclusivity/application-type.png"),
    };
    QVector<DetailRowDesign> rows = {
        {QString(E::Code), QString(E::Code), 1, false,
         QStringLiteral("The code of the exclusivity the FDA granted. Numbered codes (I-nnn, M-nnn, D-nnn, ODE-nnn) "
                        "name the use or change in the FDA's list.")},
        {QString(E::Meaning), QString(E::Meaning), 2, false,
         QStringLiteral("What the family of the code stands for. Empty for a code this program does not know.")},
        {QString(E::Date), QString(E::Date), 3, false,
         QStringLiteral("The date the exclusivity ends. The format is Mmm dd, yyyy.")},
        {QString(E::NDANumber), QString(E::NDANumber), 4, false,
         QStringLiteral("The FDA assigned number to the application. Format is nnnnnn.")},
        {QString(E::ProductNumber), QString(E::ProductNumber), 5, false,
         QStringLiteral("The FDA assigned number to identify the application products. Format is nnn.")},
        {QString(E::ApplicationType), QString(E::ApplicationType), 6, false,
         QStringLiteral("N for a new drug application (NDA), A for an abbreviated one (ANDA).")},
    };
    SearchWindowDesign d = recordDesign(
        QStringLiteral("Exclusivity"), Db::SqlText::Window::Exclusivity, QStringLiteral("Exclusivity"), images, rows,
        QStringLiteral("Double click on the grid to get all the drugs of the application of this exclusivity."));
    d.parameterRows = AdvancedSearch::rowDesigns({
        {"ID", "ID"},
        {"Exclusivity Code", "Exclusivity Code"},
        {"Exclusivity Date", "Exclusivity Date"},
        {"NDA", "New Drug Application (NDA) Number"},
        {"Product Number", "Product Number"},
        {"Application Type", "Application Type"},
    });
    return d;
}

frmExclusivity::frmExclusivity(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), ApplicationNumberRow, DrugsApplicationNumberParameter, host, parent,
                   ProductNumberRow)
{
    setObjectName(QStringLiteral("frmExclusivity"));
    setFollowCaption(QStringLiteral("Show the products of this application"));
    // A database without exclusivity records says so where the hit count goes.
    if (const QString reason = missingDataReason(); !reason.isEmpty()) {
        lblSearch()->setText(reason);
    }
}

void frmExclusivity::PressAdvancedSearchButton()
{
    advancedSearch();
}

QString frmExclusivity::missingDataReason()
{
    try {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::exclusivityCount());
        Db::RowSetCloser closer(rowSet);
        if (!rowSet.eof() && rowSet.field(0).toLongLong() > 0) {
            return {};
        }
        return QStringLiteral("This database holds no exclusivity records: its FDA release had none.");
    } catch (...) {
        return QStringLiteral("This database has no exclusivity table: it was built from an older FDA release.");
    }
}

std::optional<QString> frmExclusivity::detailsTitle(const RecordValues &record) const
{
    namespace E = Schema::Exclusivity;
    const QString code = record.text(QString(E::Code));
    const QString date = record.text(QString(E::Date));
    return date.isEmpty() ? code : code + QStringLiteral(" until ") + date;
}

} // namespace Search
