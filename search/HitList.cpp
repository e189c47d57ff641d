#include "search/HitList.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTextLayout>
#include <QtMath>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <unordered_map>
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

// How many characters past the estimated edge a cut-short text keeps before it is
// elided: enough that the cut falls well inside what is measured.
constexpr int ElideSlack = 8;
// Lines kept laid out: a few screenfuls; the next one after that starts afresh.
constexpr int MaxKeptLines = 512;

// How many characters of `text` are enough to elide it to `width` as the whole text
// would be: the advances of its characters one by one (no shaping) until they pass
// `width`, and ElideSlack more; the whole text when it may fit.
int elideEnd(const QString &text, const QFontMetrics &metrics, int width)
{
    int advance = 0;
    for (int i = 0; i < text.size(); ++i) {
        advance += metrics.horizontalAdvance(text.at(i));
        if (advance > width) {
            return std::min(int(text.size()), i + 1 + ElideSlack);
        }
    }
    return int(text.size());
}

} // namespace

QString elidedLine(const QString &text, const QFontMetrics &metrics, int width)
{
    const int end = elideEnd(text, metrics, width);
    if (end < text.size()) {
        const QString start = text.left(end);
        const QString cut = metrics.elidedText(start, Qt::ElideRight, width);
        // The cut must fall before the last characters, which shape differently
        // without the ones that follow; otherwise the whole text is measured.
        int kept = 0;
        while (kept < cut.size() && kept < start.size() && cut.at(kept) == start.at(kept)) {
            ++kept;
        }
        if (kept <= end - ElideSlack / 2) {
            return cut;
        }
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

namespace {

// One line of `text` laid out once and kept for the paints that follow.
std::unique_ptr<QTextLayout> laidOut(const QString &text, const QFont &font, const QPaintDevice *device)
{
    auto layout = std::make_unique<QTextLayout>(text, font, device);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

// `text` laid out to fit `width`: whole when it fits, else cut short with an ellipsis.
// `used` is set to the width it takes.
std::unique_ptr<QTextLayout> fitted(const QString &text, const QFont &font, const QPaintDevice *device,
                                    const QFontMetrics &metrics, int width, int *used)
{
    if (elideEnd(text, metrics, width) == text.size()) {
        auto whole = laidOut(text, font, device);
        const QTextLine line = whole->lineAt(0);
        const int natural = line.isValid() ? qCeil(line.naturalTextWidth()) : 0;
        if (natural <= width) {
            *used = natural;
            return whole;
        }
    }
    *used = width;
    return laidOut(elidedLine(text, metrics, width), font, device);
}

// A hit line: its own text, then, in a quieter colour, what tells it apart. Each line
// is laid out once (a text too wide for the list is cut short first, measuring only the
// start that shows) and kept for the paints that follow, until the rows, the font or
// the list's width change; colours are taken at each paint.
class HitLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The rows changed: no kept line is theirs.
    void forgetLines() { m_lines.clear(); }

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

        const Line &line = shownLine(index, text, item.font, area.width(), painter->device());
        const bool selected = item.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
            : item.state & QStyle::State_Active                                  ? QPalette::Active
                                                                                 : QPalette::Inactive;
        const QColor pen = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        painter->save();
        painter->setPen(pen);
        draw(painter, *line.name, area, 0);
        if (line.detail) {
            painter->setPen(quietPen(pen, item.palette.color(group, selected ? QPalette::Highlight : QPalette::Base)));
            draw(painter, *line.detail, area, line.detailLeft);
        }
        painter->restore();
    }

private:
    struct Line
    {
        std::unique_ptr<QTextLayout> name;
        std::unique_ptr<QTextLayout> detail; // none when there is none or no room for it
        int detailLeft = 0;
    };

    // `layout` drawn `left` pixels into `area`, centred in its height.
    static void draw(QPainter *painter, const QTextLayout &layout, const QRect &area, int left)
    {
        const QTextLine line = layout.lineAt(0);
        if (line.isValid()) {
            layout.draw(painter, QPointF(area.left() + left, area.top() + (area.height() - line.height()) / 2));
        }
    }

    // The line of `index` laid out for `font` and `width`: kept from an earlier paint,
    // or laid out now (its detail read now, with the next lines' ones).
    const Line &shownLine(const QModelIndex &index, const QString &text, const QFont &font, int width,
                          const QPaintDevice *device) const
    {
        if (width != m_width || !m_metrics || font != m_font) {
            m_lines.clear();
            m_width = width;
            m_font = font;
            m_metrics.emplace(font);
        }
        if (m_lines.size() >= MaxKeptLines && m_lines.find(index.row()) == m_lines.end()) {
            m_lines.clear();
        }
        Line &line = m_lines[index.row()];
        if (line.name) {
            return line;
        }
        const QFontMetrics &metrics = *m_metrics;
        int used = 0;
        line.name = fitted(text, font, device, metrics, width, &used);
        const QString detail = index.data(HitListModel::DetailRole).toString();
        line.detailLeft = used + metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
        const int room = width - line.detailLeft;
        if (!detail.isEmpty() && room > metrics.averageCharWidth()) {
            line.detail = fitted(detail, font, device, metrics, room, &used);
        }
        return line;
    }

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
    // The lines laid out, by row, for m_font and m_width.
    mutable std::unordered_map<int, Line> m_lines;
    mutable QFont m_font;
    mutable int m_width = -1;
    mutable std::optional<QFontMetrics> m_metrics;
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
    auto *lineDelegate = new HitLineDelegate(this);
    setItemDelegate(lineDelegate);
    // The kept lines are the rows' own: any change of the rows drops them.
    const auto forget = [lineDelegate] { lineDelegate->forgetLines(); };
    connect(m_model, &QAbstractItemModel::modelReset, lineDelegate, forget);
    connect(m_model, &QAbstractItemModel::layoutChanged, lineDelegate, forget);
    connect(m_model, &QAbstractItemModel::rowsInserted, lineDelegate, forget);
    connect(m_model, &QAbstractItemModel::rowsRemoved, lineDelegate, forget);
    connect(m_model, &QAbstractItemModel::rowsMoved, lineDelegate, forget);
    connect(m_model, &QAbstractItemModel::dataChanged, lineDelegate, forget);
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
