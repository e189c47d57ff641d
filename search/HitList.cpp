#include "search/HitList.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>

namespace Search {

namespace {

// A hit line: its own text, then, in a quieter colour, what tells it apart.
class HitLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString detail = index.data(HitListModel::DetailRole).toString();
        if (detail.isEmpty()) {
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QFontMetrics metrics(item.font);
        const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
        QRect area = item.rect.adjusted(metrics.horizontalAdvance(item.text) + gap + 3, 0, -2, 0);
        if (area.width() <= metrics.averageCharWidth()) {
            return;
        }
        const bool selected = item.state & QStyle::State_Selected;
        QColor quiet = item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        quiet.setAlphaF(selected ? 0.75f : 0.5f);
        painter->save();
        painter->setFont(item.font);
        painter->setPen(quiet);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(detail, Qt::ElideRight, area.width()));
        painter->restore();
    }
};

} // namespace

int HitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant HitListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count()) {
        return {};
    }
    // Type-ahead matches the line's own text; a screen reader hears its detail too.
    if (role == Qt::DisplayRole) {
        return m_rows->line(index.row());
    }
    if (role == DetailRole) {
        return detail(index.row());
    }
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        const QString extra = detail(index.row());
        return extra.isEmpty() ? m_rows->line(index.row()) : m_rows->line(index.row()) + QStringLiteral(", ") + extra;
    }
    return {};
}

QString HitListModel::detail(int row) const
{
    if (!m_readDetails || row < 0 || row >= count()) {
        return {};
    }
    const qint64 key = m_rows->key(row);
    if (const auto known = m_details.constFind(key); known != m_details.cend()) {
        return *known;
    }
    // This line and the next ones not read yet, a screenful or so in one statement.
    constexpr int Batch = 64;
    QVector<qint64> keys;
    for (int r = row; r < count() && keys.size() < Batch; ++r) {
        const qint64 k = m_rows->key(r);
        if (k != Db::ListRows::NoKey && !m_details.contains(k) && !keys.contains(k)) {
            keys << k;
        }
    }
    QHash<qint64, QString> read;
    if (!keys.isEmpty()) {
        read = m_readDetails(keys);
    }
    for (const qint64 k : keys) {
        m_details.insert(k, read.value(k)); // a key without a record is not read again
    }
    return m_details.value(key);
}

void HitListModel::setRows(Db::SharedListRows rows)
{
    if (!m_rows && !rows) {
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

HitList::HitList(QWidget *parent)
    : Components::QuietFocusView<QListView>(parent),
      m_model(new HitListModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new HitLineDelegate(this));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &HitList::itemSelectionChanged);
}

QString HitList::shownText(int row) const
{
    const QString extra = detail(row);
    return extra.isEmpty() ? text(row) : text(row) + QStringLiteral("  ") + extra;
}

int HitList::currentRow() const
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void HitList::setCurrentRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

} // namespace Search
