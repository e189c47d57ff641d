#include "search/frmPatent.h"

#include "common/AppError.h"
#include "components/VbalGrid.h"
#include "data/Database.h"
#include "layout/Schema.h"
#include "search/KeyList.h"
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
        QStringLiteral(":/icons/grid/drugs/trade-name.png"),
        QStringLiteral(":/icons/grid/drugs/type.png"),
        QStringLiteral(":/icons/grid/drugs/approval-date.png"),
    };
    // Each caption is the name of the column it shows.
    QVector<DetailRowDesign> rows;
    int icon = 0;
    for (const QLatin1StringView column : {P::PatentNumber, P::ExpireDate, P::NDANumber, P::ProductNumber,
                                           P::SubstanceFlag, P::ProductFlag, P::UseCode}) {
        rows.append({QString(column), QString(column), ++icon, false, {}});
    }
    // Not a patent column: the product the record's application and product number name.
    rows.append({QStringLiteral("Product"), QStringLiteral("Product"), ++icon, false, {}});
    rows.append({QStringLiteral("Delist requested"), QString(P::DelistFlag), ++icon, false, {}});
    rows.append({QStringLiteral("Submission date"), QString(P::SubmissionDate), ++icon, false, {}});
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

void frmPatent::showHit(int position)
{
    RecordWindow::showHit(position);
    fillMoreDetails(lstSearchID()->key(position));
}

void frmPatent::fillMoreDetails(qint64 id)
{
    namespace P = Schema::Patent;
    if (id == Db::ListRows::NoKey || id != qint32(id)) {
        return;
    }
    QString application, product;
    std::optional<QString> delist; // none: the database does not keep the flag
    runDetailsFill([&] {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::details(Db::SqlText::Window::Patent, qint32(id)));
        Db::RowSetCloser closer(rowSet);
        if (rowSet.eof()) {
            return;
        }
        application = Db::fieldText(rowSet.field(QString(P::NDANumber)));
        product = Db::fieldText(rowSet.field(QString(P::ProductNumber)));
        Common::runSkippingFailure([&] {
            const QString flag = Db::fieldText(rowSet.field(QString(P::DelistFlag)));
            delist = flag.compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0 ? QStringLiteral("Yes")
                                                                                : QStringLiteral("No");
        });
    });
    QString named;
    if (!application.isEmpty()) {
        runDetailsFill([&] {
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::namedProduct(application, product));
            Db::RowSetCloser closer(rowSet);
            if (!rowSet.eof()) {
                QStringList parts;
                for (int column = 1; column <= 3; ++column) {
                    if (const QString part = Db::fieldText(rowSet.field(column)); !part.isEmpty()) {
                        parts << part;
                    }
                }
                named = parts.join(QStringLiteral(", "));
            }
        });
    }
    Common::runSkippingFailure([&] {
        vbalGrid()->setCell(ProductRow, ValueColumn, named, Components::CellFlags::TextCell);
        vbalGrid()->setCell(DelistRow, ValueColumn, delist.value_or(QString()), Components::CellFlags::TextCell);
    });
}

std::optional<QString> frmPatent::detailsTitle(const RecordValues &record) const
{
    // The number alone. A record without a number gets an empty title rather than
    // keeping the previous record's number over its own values.
    return record.text(QString(Schema::Patent::PatentNumber));
}

} // namespace Search
