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
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

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

} // namespace

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
    // The list is as wide as its longest line, within reason; the changes take the rest.
    const int wide = qMin(m_kinds->sizeHintForColumn(0) + 2 * m_kinds->frameWidth() + 24, 360);
    m_kinds->setMinimumWidth(wide);
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
            texts.prepend(c.kind);
        }
        auto *item = new QTreeWidgetItem(texts);
        item->setData(0, ChangeRole, qulonglong(i));
        items.append(item);
    }
    m_changes->addTopLevelItems(items);
    for (int column = 0; column < m_changes->columnCount(); ++column) {
        m_changes->resizeColumnToContents(column);
        m_changes->setColumnWidth(column, qMin(m_changes->columnWidth(column), 240));
    }
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

void frmChanges::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Save)) {
        exportList();
        return;
    }
    Components::BackdropWidget::keyPressEvent(event);
}

} // namespace Search
