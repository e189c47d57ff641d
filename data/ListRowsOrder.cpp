#include "data/Database.h"

#include <cstring>

namespace Db {

std::shared_ptr<const ListRows> ListRows::reordered(const std::vector<int> &order) const
{
    auto rows = std::make_shared<ListRows>();
    rows->m_text = QByteArray(m_text.size(), Qt::Uninitialized);
    rows->m_ends.resize(order.size());
    if (hasKeys()) {
        rows->m_keys.resize(order.size());
    }
    char *out = rows->m_text.data();
    quint32 end = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const int row = order[i];
        const quint32 begin = row == 0 ? 0 : m_ends[size_t(row) - 1];
        const quint32 length = m_ends[size_t(row)] - begin;
        std::memcpy(out + end, m_text.constData() + begin, length);
        end += length;
        rows->m_ends[i] = end;
        if (hasKeys()) {
            rows->m_keys[i] = m_keys[size_t(row)];
        }
    }
    rows->m_text.truncate(qsizetype(end));
    return rows;
}

} // namespace Db
