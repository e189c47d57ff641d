#include "search/frmChanges.h"

#include "common/AppError.h"
#include "search/KeyList.h"
#include "search/Navigation.h"
#include "search/WindowHost.h"
#include "search/frmExclusivity.h"
#include "search/frmPatent.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace Search {

namespace {

constexpr int ChangeRole = Qt::UserRole;

QString changesText(qint64 count)
{
    return count == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(count);
}

// Where `keys` (in their order) first stand in a window's hit list; -1 for none.
int positionOf(const SearchWindow &window, const std::vector<qint64> &keys)
{
    for (const qint64 key : keys) {
        if (const int position = window.lstSearchID()->indexOf(key); position >= 0) {
            return position;
        }
    }
    return -1;
}

// The kind as the list of every change shows it: its words before a colon ("Type
// changed" of "Type changed: RX to DISCN"); the line's old and new values say the rest.
QString shortKind(const QString &kind)
{
    const qsizetype colon = kind.indexOf(QLatin1Char(':'));
    return colon > 0 ? kind.left(colon) : kind;
}

// A cell too narrow for its text shows it elided; its tooltip holds the whole text (the
// whole kind for a short one), which is also what a screen reader reads.
class WholeTextDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        const QString shown = index.data(Qt::DisplayRole).toString();
        QString whole = index.data(Qt::AccessibleTextRole).toString();
        if (whole.isEmpty()) {
            whole = shown;
        }
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : view->style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &cell, widget) + 1;
        const bool elided = cell.fontMetrics.horizontalAdvance(shown) > textRect.width() - 2 * margin;
        if (whole.isEmpty() || (whole == shown && !elided)) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(event->globalPos(), whole, view->viewport(), option.rect);
        return true;
    }
};

} // namespace

// The widths of the changes' columns in `available` pixels, from the widths their
// contents want: the first `whole` columns (the kind, the key) get what they want,
// within 30% of the width each; the trade name and the two values share the
// rest, the values the larger shares (3 to the name's 2). A column that wants less than
// its share gets what it wants and leaves the remainder to the others, so that every
// column shows without scrolling sideways; what none of them takes goes back to those
// cut short.
std::vector<int> frmChanges::fitColumns(const std::vector<int> &wanted, size_t whole, int available)
{
    constexpr int Narrowest = 48;
    std::vector<int> widths(wanted.size());
    int rest = available;
    for (size_t c = 0; c < wanted.size() && c < whole; ++c) {
        widths[c] = std::max(Narrowest, std::min(wanted[c], available * 3 / 10));
        rest -= widths[c];
    }
    const auto weight = [&](size_t c) { return c == whole ? 2 : 3; };
    std::vector<size_t> shared;
    int weights = 0;
    for (size_t c = whole; c < wanted.size(); ++c) {
        shared.push_back(c);
        weights += weight(c);
    }
    // Those that want least for their weight first: what they leave goes to the others.
    std::sort(shared.begin(), shared.end(),
              [&](size_t a, size_t b) { return wanted[a] * weight(b) < wanted[b] * weight(a); });
    for (const size_t c : shared) {
        const int share = std::max(Narrowest, rest * weight(c) / weights);
        widths[c] = std::max(Narrowest, std::min(wanted[c], share));
        rest -= widths[c];
        weights -= weight(c);
    }
    // What is left goes first to the columns cut below what they want (the kind and
    // the key first), then to the last, as a stretched header gives it.
    for (size_t c = 0; c < wanted.size() && rest > 0; ++c) {
        const int more = std::min(rest, wanted[c] - widths[c]);
        if (more > 0) {
            widths[c] += more;
            rest -= more;
        }
    }
    if (rest > 0 && !widths.empty()) {
        widths.back() += rest;
    }
    return widths;
}

frmChanges::frmChanges(WindowHost *host, QWidget *parent)
    : Components::BackdropWidget(parent),
      m_host(host)
{
    setObjectName(QStringLiteral("frmChanges"));
    setWindowTitle(QStringLiteral("Changes"));
    auto *layout = new QVBoxLayout(this);
    m_releases = new QLabel(this);
    m_releases->setObjectName(QStringLiteral("lblReleases"));
    m_releases->setAccessibleDescription(QStringLiteral("Releases compared"));
    m_releases->setWordWrap(true);
    layout->addWidget(m_releases);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    auto *left = new QWidget(m_splitter);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto *kindsCaption = new QLabel(QStringLiteral("&Kinds of change"), left);
    m_kindsCaption = kindsCaption;
    m_kinds = new QListWidget(left);
    m_kinds->setObjectName(QStringLiteral("lstKinds"));
    m_kinds->setAccessibleName(QStringLiteral("Kinds of change"));
    m_kinds->setUniformItemSizes(true);
    kindsCaption->setBuddy(m_kinds);
    leftLayout->addWidget(kindsCaption);
    leftLayout->addWidget(m_kinds);
    auto *right = new QWidget(m_splitter);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_changesCount = new QLabel(right);
    m_changesCount->setObjectName(QStringLiteral("lblChanges"));
    m_changesCount->setAccessibleDescription(QStringLiteral("Changes listed"));
    m_changesCount->setWordWrap(true);
    m_changes = new QTreeWidget(right);
    m_changes->setObjectName(QStringLiteral("lstChanges"));
    m_changes->setAccessibleName(QStringLiteral("Changes of the chosen kind"));
    m_changes->setRootIsDecorated(false);
    m_changes->setUniformRowHeights(true);
    m_changes->setAllColumnsShowFocus(true);
    m_changes->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_changes->header()->setStretchLastSection(false);
    m_changes->setTextElideMode(Qt::ElideRight);
    m_changes->setItemDelegate(new WholeTextDelegate(m_changes));
    m_changes->viewport()->installEventFilter(this);
    rightLayout->addWidget(m_changesCount);
    rightLayout->addWidget(m_changes);
    m_splitter->addWidget(left);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    layout->addWidget(m_splitter, 1);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setAccessibleDescription(QStringLiteral("Message"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_message);
    m_hint = new QLabel(QStringLiteral("Double click a change (or press Enter) to show its record in the newer "
                                       "release; Ctrl+S exports the changes listed."),
                        this);
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);

    connect(m_kinds, &QListWidget::currentRowChanged, this, &frmChanges::showKind);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_kindsWidth = -1; });
    connect(m_changes, &QTreeWidget::itemActivated, this, &frmChanges::followChange);
    setFocusProxy(m_kinds);
    // The labels stand on the theme's backdrop.
    for (QLabel *label : {m_releases, m_kindsCaption, m_changesCount, m_message, m_hint}) {
        keepReadable(label);
    }
    readKinds();
    resize(744, 480);
}

void frmChanges::readKinds()
{
    try {
        m_present = Db::ReleaseComparison::present();
        if (m_present) {
            m_dates = Db::ReleaseComparison::readReleases();
            m_kindCounts = Db::ReleaseComparison::readKinds();
        }
    } catch (const Common::AppError &error) {
        m_present = false;
        m_kindCounts.clear();
        m_releases->setText(QStringLiteral("The changes could not be read."));
        m_message->setText(error.description());
        showMessageOnly();
        return;
    }
    if (!m_present) {
        m_releases->setText(QStringLiteral("This database holds no list of changes: it was imported without an "
                                           "older release to compare with."));
        m_message->setText(QStringLiteral("To make one, import the FDA's release together with an older one:\n"
                                          "kvostrel-import --fda NEWER_RELEASE.zip --previous OLDER_RELEASE.zip "
                                          "--output kvostrel.mdb"));
        showMessageOnly();
        return;
    }
    qint64 total = 0;
    for (const Db::ReleaseComparison::KindCount &kind : m_kindCounts) {
        total += kind.count;
    }
    m_kindCounts.insert(m_kindCounts.begin(), {QString(), total});
    m_releases->setText(QStringLiteral("From the FDA's release of %1 to its release of %2 (the one this database "
                                       "holds): %3.")
                            .arg(m_dates.older, m_dates.newer, changesText(total)));
    QStringList lines;
    for (const Db::ReleaseComparison::KindCount &kind : m_kindCounts) {
        lines << QStringLiteral("%1 (%2)")
                     .arg(kind.kind.isEmpty() ? QStringLiteral("All changes") : kind.kind)
                     .arg(kind.count);
    }
    m_kinds->addItems(lines);
    // The list is as wide as its longest line, within 30% of the window (its lines
    // elided beyond, the whole line in the tooltip); the changes take the rest.
    m_kindsWidth = m_kinds->sizeHintForColumn(0) + 2 * m_kinds->frameWidth() + 24;
    m_kinds->setMinimumWidth(qMin(m_kindsWidth, 160));
    for (int row = 0; row < m_kinds->count(); ++row) {
        m_kinds->item(row)->setToolTip(m_kinds->item(row)->text());
    }
    fitKindsToWindow();
    m_kinds->setCurrentRow(0);
}

void frmChanges::showMessageOnly()
{
    // The keyboard (and a screen reader) reaches the message, to read or copy it.
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_message);
    m_splitter->hide();
    m_hint->hide();
    auto *box = static_cast<QVBoxLayout *>(layout());
    box->insertWidget(1, m_message);
    box->addStretch(1);
}

void frmChanges::showKind(int row)
{
    m_changes->clear();
    QStringList columns{QStringLiteral("Key"), QStringLiteral("Trade name"), QStringLiteral("Old value"),
                        QStringLiteral("New value")};
    if (row == 0) {
        columns.prepend(QStringLiteral("Kind"));
    }
    m_changes->setColumnCount(int(columns.size()));
    m_changes->setHeaderLabels(columns);
    m_shown.clear();
    m_message->clear();
    if (row < 0 || row >= int(m_kindCounts.size())) {
        m_changesCount->clear();
        return;
    }
    const QString &kind = m_kindCounts[size_t(row)].kind;
    try {
        m_shown = Db::ReleaseComparison::readChanges(kind);
    } catch (const Common::AppError &error) {
        m_changesCount->setText(QStringLiteral("The changes could not be read: ") + error.description());
        return;
    }
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(m_shown.size()));
    for (size_t i = 0; i < m_shown.size(); ++i) {
        const Db::ReleaseComparison::Change &c = m_shown[i];
        // The kind is a column of its own only when the list holds every kind: a hidden
        // column would still be read out first by a screen reader.
        QStringList texts{c.key, c.tradeName, c.oldValue, c.newValue};
        if (kind.isEmpty()) {
            texts.prepend(shortKind(c.kind));
        }
        auto *item = new QTreeWidgetItem(texts);
        item->setData(0, ChangeRole, qulonglong(i));
        if (kind.isEmpty() && texts.first() != c.kind) {
            item->setData(0, Qt::AccessibleTextRole, c.kind);
        }
        items.append(item);
    }
    m_changes->addTopLevelItems(items);
    m_fittedWidth = -1;
    fitColumnsToView();
    m_changesCount->setText(QStringLiteral("%1: %2").arg(kind.isEmpty() ? QStringLiteral("All changes") : kind,
                                                         changesText(qint64(m_shown.size()))));
    if (!items.isEmpty()) {
        m_changes->setCurrentItem(items.first());
    }
}

ExportTable frmChanges::changesTable() const
{
    ExportTable table;
    table.header = {QStringLiteral("Kind"),         QStringLiteral("Key"),       QStringLiteral("Trade name"),
                    QStringLiteral("Old value"),    QStringLiteral("New value"), QStringLiteral("Older release"),
                    QStringLiteral("Newer release")};
    for (const Db::ReleaseComparison::Change &c : m_shown) {
        table.rows.append({c.kind, c.key, c.tradeName, c.oldValue, c.newValue, m_dates.older, m_dates.newer});
    }
    return table;
}

QString frmChanges::exportTo(const QString &path) const
{
    return writeCsv(path, changesTable());
}

void frmChanges::exportList()
{
    if (!m_present) {
        return;
    }
    const QString path
        = QFileDialog::getSaveFileName(this, QStringLiteral("Export the changes"), QStringLiteral("Changes.csv"),
                                       QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (const QString failure = exportTo(path); !failure.isEmpty()) {
        QMessageBox::warning(
            this, QStringLiteral("Export"),
            QStringLiteral("The changes could not be written to %1: %2").arg(QDir::toNativeSeparators(path), failure));
    }
}

void frmChanges::followChange(QTreeWidgetItem *item)
{
    if (!item || !m_host) {
        return;
    }
    const size_t index = item->data(0, ChangeRole).toULongLong();
    if (index >= m_shown.size()) {
        return;
    }
    const Db::ReleaseComparison::Change &c = m_shown[index];
    m_message->clear();
    if (c.applicationNumber.isEmpty()) {
        m_message->setText(QStringLiteral("%1 is not in the release of %2 (%3): there is no newer record to show.")
                               .arg(c.key, m_dates.newer, c.kind));
        return;
    }
    if (!c.patentNumber.isEmpty()) {
        Navigation::findPatentsOfProduct(*m_host, c.applicationNumber, c.productNumber);
        Common::runSkippingFailure([&] {
            frmPatent *patents = m_host->patentWindow();
            const int position = positionOf(
                *patents, Db::ReleaseComparison::patentKeys(c.applicationNumber, c.productNumber, c.patentNumber));
            if (position >= 0) {
                Navigation::showHit(*patents, position);
            }
        });
    } else if (!c.exclusivityCode.isEmpty()) {
        Navigation::findExclusivitiesOfProduct(*m_host, c.applicationNumber, c.productNumber);
        Common::runSkippingFailure([&] {
            frmExclusivity *exclusivities = m_host->exclusivityWindow();
            const int position = positionOf(*exclusivities,
                                            Db::ReleaseComparison::exclusivityKeys(c.applicationNumber, c.productNumber,
                                                                                   c.exclusivityCode, c.newValue));
            if (position >= 0) {
                Navigation::showHit(*exclusivities, position);
            }
        });
    } else {
        qint64 key = -1;
        try {
            key = Db::ReleaseComparison::productKey(c.applicationType, c.applicationNumber, c.productNumber);
        } catch (const Common::AppError &error) {
            m_message->setText(QStringLiteral("The product could not be found: ") + error.description());
            return;
        }
        if (key < 0) {
            m_message->setText(QStringLiteral("This database has no product %1.").arg(c.key));
            return;
        }
        Navigation::openProduct(*m_host, QVariant(key));
    }
}

void frmChanges::fitKindsToWindow()
{
    if (m_kindsWidth < 0) {
        return; // the user chose the widths
    }
    const int total = m_splitter->width() - m_splitter->handleWidth();
    const int kinds = qMax(m_kinds->minimumWidth(), qMin(m_kindsWidth, total * 3 / 10));
    m_splitter->setSizes({kinds, total - kinds});
}

void frmChanges::resizeEvent(QResizeEvent *event)
{
    Components::BackdropWidget::resizeEvent(event);
    fitKindsToWindow();
}

void frmChanges::fitColumnsToView()
{
    const int available = m_changes->viewport()->width();
    if (available == m_fittedWidth || m_changes->columnCount() == 0) {
        return;
    }
    m_fittedWidth = available;
    std::vector<int> wanted;
    for (int column = 0; column < m_changes->columnCount(); ++column) {
        m_changes->resizeColumnToContents(column); // the widest of its lines and its header
        wanted.push_back(m_changes->columnWidth(column));
    }
    // The kind (in the list of every change) and the key show whole.
    const size_t whole = m_changes->columnCount() == 5 ? 2 : 1;
    const std::vector<int> widths = fitColumns(wanted, whole, available);
    for (size_t column = 0; column < widths.size(); ++column) {
        m_changes->setColumnWidth(int(column), widths[column]);
    }
}

bool frmChanges::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_changes->viewport() && event->type() == QEvent::Resize) {
        fitColumnsToView();
    }
    return Components::BackdropWidget::eventFilter(watched, event);
}

void frmChanges::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Save)) {
        exportList();
        return;
    }
    Components::BackdropWidget::keyPressEvent(event);
}

} // namespace Search
