#include "search/LineDetails.h"

#include "common/AppError.h"
#include "data/Database.h"

namespace Search {

QString joinLineDetails(const QStringList &parts)
{
    QStringList shown = parts;
    shown.removeAll(QString());
    return shown.join(QStringLiteral(" \u00b7 "));
}

LineDetailReader lineDetailReader(Db::SqlText::Window window, LineDetailFormat format)
{
    return [window, format = std::move(format)](const QVector<qint64> &keys) {
        QHash<qint64, QString> details;
        const bool whole = Common::runSkippingFailure([&] {
            Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::lineDetails(window, keys));
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
