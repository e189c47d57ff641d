#include "search/LineDetails.h"

#include "common/AppError.h"
#include "data/Database.h"
#include "layout/Schema.h"

namespace Search {

namespace {

// Whether the open database's products carry the RS field (one built before it was
// kept does not). Asked on each read: the answer is one small statement.
bool productsHaveReferenceStandard()
{
    Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::tableColumns(QStringLiteral("products")));
    Db::RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        if (Db::fieldText(rowSet.field(QStringLiteral("name")))
                .compare(QString(Schema::Products::RS), Qt::CaseInsensitive)
            == 0) {
            return true;
        }
    }
    return false;
}

bool isYes(const QString &field)
{
    return field.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString joinLineDetails(const QStringList &parts)
{
    QStringList shown = parts;
    shown.removeAll(QString());
    return shown.join(QStringLiteral(" \u00b7 "));
}

QString drugLineDetail(const QStringList &parts)
{
    // The marks first: a narrow list cuts a line's end, never its start.
    QStringList shown;
    if (isYes(parts.value(5))) {
        shown << QStringLiteral("RLD");
    }
    if (isYes(parts.value(6))) {
        shown << QStringLiteral("RS");
    }
    return joinLineDetails(shown + parts.mid(0, 5));
}

LineDetailReader lineDetailReader(Db::SqlText::Window window, LineDetailFormat format)
{
    return [window, format = std::move(format)](const QVector<qint64> &keys) {
        QHash<qint64, QString> details;
        const bool whole = Common::runSkippingFailure([&] {
            const bool withReferenceStandard = window == Db::SqlText::Window::Drugs && productsHaveReferenceStandard();
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::lineDetails(window, keys, withReferenceStandard));
            Db::RowSetCloser closer(rowSet);
            while (!rowSet.eof()) {
                QStringList parts;
                for (int column = 1; column < rowSet.fieldCount(); ++column) {
                    parts << Db::fieldText(rowSet.field(column));
                }
                details.insert(rowSet.field(0).toLongLong(), format(parts));
                rowSet.moveNext();
            }
        });
        return whole ? details : QHash<qint64, QString>();
    };
}

} // namespace Search
