#include "search/frmPatent.h"

#include "layout/Schema.h"
#include "search/PatentLineDetails.h"

namespace Search {

namespace {

// The application number row's value goes to the drug window's "NDA Number" parameter
// row; the product number row's picks the product the record names among them.
constexpr int ApplicationNumberRow = 3;
constexpr int ProductNumberRow = 4;
constexpr int DrugsApplicationNumberParameter = 5;

} // namespace

SearchWindowDesign frmPatent::windowDesign()
{
    namespace P = Schema::Patent;
    const QStringList images = {
        QStringLiteral(":/icons/grid/patent/patent-number.png"),
        QStringLiteral(":/icons/grid/patent/expire-date.png"),
        QStringLiteral(":/icons/grid/drugs/nda-number.png"),
        QStringLiteral(":/icons/grid/drugs/product-number.png"),
        QStringLiteral(":/icons/grid/patent/substance-flag.png"),
        QStringLiteral(":/icons/grid/patent/product-flag.png"),
        QStringLiteral(":/icons/grid/patent/use-code.png"),
    };
    // Each caption is the name of the column it shows.
    QVector<DetailRowDesign> rows;
    int icon = 0;
    for (const QLatin1StringView column : {P::PatentNumber, P::ExpireDate, P::NDANumber, P::ProductNumber,
                                           P::SubstanceFlag, P::ProductFlag, P::UseCode}) {
        rows.append({QString(column), QString(column), ++icon, false, {}});
    }
    SearchWindowDesign d
        = recordDesign(QStringLiteral("Patents"), Db::SqlText::Window::Patent, QString(P::PatentNumber), images, rows,
                       QStringLiteral("Double click on the grid to get all the drugs having the same patents."));
    // A number's several records tell themselves apart by application, product and expiry.
    d.lineDetails = patentLineDetailReader();
    // The panel orders its last three rows differently from the grid.
    d.parameterRows = AdvancedSearch::rowDesigns({
        {"ID", "ID"},
        {"Patent Number", "Patent Number"},
        {"Expire Date", "Patent Expire Date"},
        {"NDA", "New Drug Application (NDA) Number"},
        {"Product Number", "Product Number"},
        {"Product Flag", "Drug Product Flag"},
        {"Patent Use Code", "Patent Use Code"},
        {"Substance Flag", "Drug Substance Flag"},
    });
    return d;
}

frmPatent::frmPatent(WindowHost *host, QWidget *parent)
    : RecordWindow(windowDesign(), ApplicationNumberRow, DrugsApplicationNumberParameter, host, parent,
                   ProductNumberRow)
{
    setObjectName(QStringLiteral("frmPatent"));
    setFollowCaption(QStringLiteral("Show the products of this application"));
}

void frmPatent::PressAdvancedSearchButton()
{
    advancedSearch();
}

std::optional<QString> frmPatent::detailsTitle(const RecordValues &record) const
{
    // The number alone. A record without a number gets an empty title rather than
    // keeping the previous record's number over its own values.
    return record.text(QString(Schema::Patent::PatentNumber));
}

} // namespace Search
