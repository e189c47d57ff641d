#include "search/ProtectionTimeline.h"

#include "common/AppError.h"
#include "search/KeyList.h"
#include "search/Navigation.h"
#include "search/WindowHost.h"
#include "search/frmExclusivity.h"
#include "search/frmPatent.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPointer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Search {

namespace {

constexpr int RecordRole = Qt::UserRole;
constexpr int PatentRole = Qt::UserRole + 1;

} // namespace

QStringList ProtectionTimeline::lineTexts(const Db::Protection::Line &line)
{
    QStringList notes;
    if (line.delisted) {
        notes << QStringLiteral("delist requested, not counted");
    } else if (!line.counted) {
        notes << QStringLiteral("not counted");
    }
    if (line.ended) {
        notes << QStringLiteral("ended before the release date");
    }
    if (line.isPatent && line.pediatric) {
        notes << QStringLiteral("pediatric extension");
    }
    return {Db::Protection::dateText(line.date),
            (line.isPatent ? QStringLiteral("patent ") : QStringLiteral("exclusivity ")) + line.name, line.kind,
            line.useCodes.join(QStringLiteral(", ")), notes.join(QStringLiteral("; "))};
}

ProtectionTimeline::ProtectionTimeline(WindowHost *host, const QString &title, const QString &applicationNumber,
                                       const QString &productNumber, const Db::Protection::Figures &figures,
                                       const QDate &release, QWidget *parent)
    : QDialog(parent),
      m_host(host),
      m_application(applicationNumber),
      m_product(productNumber)
{
    setObjectName(QStringLiteral("ProtectionTimeline"));
    setWindowTitle(QStringLiteral("Listed protection: ") + title);
    auto *layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QString releaseText = release.isValid()
        ? QStringLiteral("As of the FDA release of %1. ").arg(Db::Protection::dateText(release))
        : QStringLiteral("The database does not say its release date. ");
    m_summary->setText(releaseText + Db::Protection::summaryText(figures)
                       + QStringLiteral(".\nNot the date a generic can be sold: patent challenges, litigation, "
                                        "settlements, 30-month stays and carved-out labels are not in the FDA's "
                                        "files, and later releases can move dates later."));
    layout->addWidget(m_summary);

    m_lines = new QTreeWidget(this);
    m_lines->setObjectName(QStringLiteral("lstTimeline"));
    m_lines->setAccessibleName(QStringLiteral("Timeline"));
    m_lines->setHeaderLabels({QStringLiteral("Ends"), QStringLiteral("Row"), QStringLiteral("Kind or level"),
                              QStringLiteral("Use codes"), QStringLiteral("Notes")});
    m_lines->setRootIsDecorated(true);
    m_lines->setUniformRowHeights(true);
    std::vector<QTreeWidgetItem *> items;
    items.reserve(figures.timeline.size());
    for (const Db::Protection::Line &line : figures.timeline) {
        QTreeWidgetItem *parentItem
            = line.parent >= 0 && size_t(line.parent) < items.size() ? items[size_t(line.parent)] : nullptr;
        auto *item = parentItem ? new QTreeWidgetItem(parentItem, lineTexts(line))
                                : new QTreeWidgetItem(m_lines, lineTexts(line));
        item->setData(0, RecordRole,
                      line.recordIds.isEmpty() ? QVariant() : QVariant(qlonglong(line.recordIds.first())));
        item->setData(0, PatentRole, line.isPatent);
        if (line.delisted || line.ended || !line.counted) {
            for (int c = 0; c < item->columnCount(); ++c) {
                item->setForeground(c, palette().color(QPalette::Disabled, QPalette::Text));
            }
        }
        items.push_back(item);
    }
    if (items.empty()) {
        new QTreeWidgetItem(m_lines,
                            {QString(),
                             QStringLiteral("No patent or exclusivity row is listed for this "
                                            "product.")});
    }
    m_lines->expandAll();
    for (int c = 0; c < m_lines->columnCount(); ++c) {
        m_lines->resizeColumnToContents(c);
    }
    connect(m_lines, &QTreeWidget::itemActivated, this, &ProtectionTimeline::followLine);
    layout->addWidget(m_lines, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 440);
    if (m_lines->topLevelItemCount() > 0) {
        m_lines->setCurrentItem(m_lines->topLevelItem(0));
    }
    m_lines->setFocus();
}

void ProtectionTimeline::followLine(QTreeWidgetItem *item)
{
    if (!item || !m_host || !item->data(0, RecordRole).isValid()) {
        return;
    }
    const qint64 id = item->data(0, RecordRole).toLongLong();
    const bool patent = item->data(0, PatentRole).toBool();
    accept();
    if (patent) {
        Navigation::findPatentsOfProduct(*m_host, m_application, m_product);
        Common::runSkippingFailure([&] {
            frmPatent *window = m_host->patentWindow();
            Navigation::showHit(*window, window->lstSearchID()->indexOf(id));
        });
    } else {
        Navigation::findExclusivitiesOfProduct(*m_host, m_application, m_product);
        Common::runSkippingFailure([&] {
            frmExclusivity *window = m_host->exclusivityWindow();
            Navigation::showHit(*window, window->lstSearchID()->indexOf(id));
        });
    }
}

void showProtectionTimeline(WindowHost &host, QWidget *parent, const QString &title, const QString &applicationNumber,
                            const QString &productNumber)
{
    if (applicationNumber.isEmpty() || productNumber.isEmpty()) {
        return;
    }
    try {
        const QDate release = Db::Protection::readReleaseDate();
        const Db::Protection::Figures figures = Db::Protection::readProduct(applicationNumber, productNumber, release);
        auto *dialog = new ProtectionTimeline(&host, title, applicationNumber, productNumber, figures, release,
                                              parent ? parent->window() : nullptr);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setModal(true);
        // Closed, the timeline gives the keyboard back where it was (the grid's row).
        QObject::connect(dialog, &QDialog::finished, dialog, [back = QPointer<QWidget>(QApplication::focusWidget())] {
            if (back) {
                back->setFocus(Qt::OtherFocusReason);
            }
        });
        dialog->show();
    } catch (const Common::AppError &error) {
        QMessageBox::warning(parent, QStringLiteral("Listed protection"), error.description());
    }
}

} // namespace Search
