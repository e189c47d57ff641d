#include "data/Database.h"

namespace Db {

std::shared_ptr<const ListRows> ListRows::reordered(const std::vector<int> &order) const
{
    auto rows = std::make_shared<ListRows>();
    rows->m_text.reserve(m_text.size());
    rows->m_ends.reserve(order.size());
    if (hasKeys()) {
        rows->m_keys.reserve(order.size());
    }
    for (const int row : order) {
        const QByteArrayView text = lineUtf8(row);
        rows->m_text.append(text.data(), text.size());
        rows->m_ends.push_back(quint32(rows->m_text.size()));
        if (hasKeys()) {
            rows->m_keys.push_back(m_keys[row]);
        }
    }
    return rows;
}

} // namespace Db
