#include "data/Database.h"

namespace Db {

std::shared_ptr<const ListRows> ListRows::reordered(const std::vector<int> &order) const
{
    // The lines keep their text where it is: a list of some of a long list's lines (each
    // key typed with results while typing makes one) costs its line positions and keys,
    // not a copy of the text.
    auto rows = std::make_shared<ListRows>();
    rows->m_text = m_text;
    rows->m_starts.resize(order.size());
    rows->m_ends.resize(order.size());
    if (hasKeys()) {
        rows->m_keys.resize(order.size());
    }
    for (size_t i = 0; i < order.size(); ++i) {
        const auto row = size_t(order[i]);
        rows->m_starts[i] = start(row);
        rows->m_ends[i] = m_ends[row];
        if (hasKeys()) {
            rows->m_keys[i] = m_keys[row];
        }
    }
    return rows;
}

} // namespace Db
