#include "search/HitList.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTextLayout>
#include <QtMath>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace Search {

namespace {

// The chosen line's text against its highlight, so its detail can reach DetailContrast.
constexpr double ChosenLineContrast = 7.0;
// The detail's pen: above DetailContrast, since a small glyph's smoothed edges and
// thin strokes never quite reach the pen's colour.
constexpr double DetailPenContrast = 5.5;

double relativeLuminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor quietTextColor(const QColor &text, const QColor &background, double minimumContrast)
{
    // The text's colour moved toward the background as far as the contrast allows
    // (half way at most): quieter than the line's own text, still easy to read.
    const auto mix = [&](double t) {
        return QColor::fromRgbF(float(text.redF() + (background.redF() - text.redF()) * t),
                                float(text.greenF() + (background.greenF() - text.greenF()) * t),
                                float(text.blueF() + (background.blueF() - text.blueF()) * t));
    };
    double low = 0.0;
    double high = 0.5;
    for (int step = 0; step < 16; ++step) {
        const double middle = (low + high) / 2;
        (contrastRatio(mix(middle), background) >= minimumContrast ? low : high) = middle;
    }
    return mix(low);
}

namespace {

// A hit line: its own text, then, in a quieter colour, what tells it apart. The line's
// text is laid out once: its width places the detail, and only a line too wide for the
// list is laid out again, elided.
class HitLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // `text` drawn in `area`, centred in its height, cut short with an ellipsis when it
    // is wider: laid out once, and once more only when it must be cut. Returns the
    // width it took.
    static int drawLine(QPainter *painter, const QRect &area, const QString &text, const QFontMetrics &metrics)
    {
        QTextLayout layout(text, painter->font(), painter->device());
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        if (!line.isValid()) {
            return 0;
        }
        const int width = qCeil(line.naturalTextWidth());
        if (width <= area.width()) {
            layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
            return width;
        }
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          metrics.elidedText(text, Qt::ElideRight, area.width()));
        return area.width();
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QWidget *widget = item.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        // The style is asked for the text's place without the text: with it, the style
        // lays the text out to measure it, and the line is laid out below anyway.
        const QString text = std::exchange(item.text, QString());
        item.features &= ~QStyleOptionViewItem::HasDisplay;
        const QRect area
            = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
        // The background, the highlight and the focus frame as the style draws them.
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const bool selected = item.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
            : item.state & QStyle::State_Active                                  ? QPalette::Active
                                                                                 : QPalette::Inactive;
        const QColor pen = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        painter->save();
        painter->setFont(item.font);
        painter->setPen(pen);
        const QFontMetrics metrics(item.font);
        const int width = drawLine(painter, area, text, metrics);

        const QString detail = index.data(HitListModel::DetailRole).toString();
        const QRect detailArea = area.adjusted(width + metrics.horizontalAdvance(QLatin1Char(' ')) * 2, 0, 0, 0);
        if (!detail.isEmpty() && detailArea.width() > metrics.averageCharWidth()) {
            painter->setPen(quietPen(pen, item.palette.color(group, selected ? QPalette::Highlight : QPalette::Base)));
            drawLine(painter, detailArea, detail, metrics);
        }
        painter->restore();
    }

private:
    // The detail's colour for a text and background colour, worked out once per pair
    // (a list draws a few: the plain lines and the chosen one).
    QColor quietPen(const QColor &text, const QColor &background) const
    {
        const std::pair key{text.rgba(), background.rgba()};
        for (const auto &[known, quiet] : m_quietPens) {
            if (known == key) {
                return quiet;
            }
        }
        const QColor quiet = quietTextColor(text, background, DetailPenContrast);
        if (m_quietPens.size() >= 8) {
            m_quietPens.clear();
        }
        m_quietPens.emplace_back(key, quiet);
        return quiet;
    }

    mutable std::vector<std::pair<std::pair<QRgb, QRgb>, QColor>> m_quietPens;
};

} // namespace

int HitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QModelIndex HitListModel::index(int row, int column, const QModelIndex &parent) const
{
    return row >= 0 && row < count() && column == 0 && !parent.isValid() ? createIndex(row, 0) : QModelIndex();
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
    // A few screenfuls are kept, not every line ever drawn.
    if (m_details.size() + keys.size() > MaxKeptDetails) {
        m_details.clear();
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
    // The chosen line dark enough that its quieter detail still reads (every colour
    // group: with and without the focus).
    QPalette colours = palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        QColor highlight = colours.color(group, QPalette::Highlight);
        const QColor text = colours.color(group, QPalette::HighlightedText);
        for (int step = 0; step < 20 && contrastRatio(text, highlight) < ChosenLineContrast; ++step) {
            highlight = highlight.darker(110);
        }
        colours.setColor(group, QPalette::Highlight, highlight);
    }
    setPalette(colours);
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
