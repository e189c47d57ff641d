#include "search/PatentLineDetails.h"

namespace Search {

QString patentLineDetail(const QStringList &parts)
{
    // Application, product number, expiry date, then the trade name of the product the
    // record names, which the line shows first.
    if (parts.size() < 3 || parts.at(0).isEmpty() || parts.at(1).isEmpty() || parts.at(2).isEmpty()) {
        return joinLineDetails(parts);
    }
    return joinLineDetails(
        {parts.value(3), parts.at(0) + QLatin1Char('/') + parts.at(1), QStringLiteral("expires ") + parts.at(2)});
}

LineDetailReader patentLineDetailReader()
{
    return lineDetailReader(Db::SqlText::Window::Patent, patentLineDetail);
}

} // namespace Search
