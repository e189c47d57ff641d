#include "search/PatentLineDetails.h"

namespace Search {

QString patentLineDetail(const QStringList &parts)
{
    if (parts.size() == 3) {
        return joinLineDetails(
            {parts.at(0) + QLatin1Char('/') + parts.at(1), QStringLiteral("expires ") + parts.at(2)});
    }
    return joinLineDetails(parts);
}

LineDetailReader patentLineDetailReader()
{
    return lineDetailReader(Db::SqlText::Window::Patent, patentLineDetail);
}

} // namespace Search
