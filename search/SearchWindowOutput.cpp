// What a search window gives out: its context menus, the record as text (copied),
// the hit list exported to CSV and the shown record printed.

#include "search/SearchWindow.h"

#include "common/AppError.h"
#include "search/HitList.h"
#include "search/RecordExport.h"
#include "search/RecordPrinting.h"
#include "components/VbalGrid.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>

namespace Search {

std::unique_ptr<QMenu> SearchWindow::listMenu(int position)
{
    auto menu = std::make_unique<QMenu>(this);
    const QString line = m_lstSearch->shownText(position);
    menu->addAction(QStringLiteral("Copy"), this, [line] { QGuiApplication::clipboard()->setText(line); });
    menu->addAction(QStringLiteral("Copy record"), this, [this, position] {
        m_lstSearch->setCurrentRow(position);
        QGuiApplication::clipboard()->setText(recordText());
    });
    menu->addAction(QStringLiteral("Export list..."), this, &SearchWindow::exportList);
    return menu;
}

std::unique_ptr<QMenu> SearchWindow::gridMenu(int row)
{
    auto menu = std::make_unique<QMenu>(this);
    const QString value = m_vbalGrid->cellText(row, m_design.valueColumn);
    menu->addAction(QStringLiteral("Copy"), this, [value] { QGuiApplication::clipboard()->setText(value); });
    menu->addAction(QStringLiteral("Copy record"), this,
                    [this] { QGuiApplication::clipboard()->setText(recordText()); });
    menu->addAction(QStringLiteral("Export list..."), this, &SearchWindow::exportList);
    menu->addAction(QStringLiteral("Print record..."), this, &SearchWindow::printRecord);
    if (const QString follow = followCaption(row); !follow.isEmpty()) {
        menu->addSeparator();
        menu->addAction(follow, this, [this, row] { vbalGrid_DblClick(row, m_design.valueColumn); });
    }
    return menu;
}

void SearchWindow::exportList()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the hit list"),
                                                      m_design.caption + QStringLiteral(".csv"),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString failure;
    ExportTable table;
    try {
        table = exportTable(*this);
    } catch (const Common::AppError &error) {
        failure = error.description();
    }
    if (failure.isEmpty()) {
        QProgressDialog progress(QStringLiteral("Exporting %1 records...").arg(table.rows.size()),
                                 QStringLiteral("Cancel"), 0, int(table.rows.size()), this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        failure = writeCsv(path, table, [&progress](int rows) {
            progress.setValue(rows);
            return !progress.wasCanceled();
        });
        if (progress.wasCanceled()) {
            return;
        }
    }
    if (!failure.isEmpty()) {
        QMessageBox::warning(
            this, QStringLiteral("Export"),
            QStringLiteral("The list could not be written to %1: %2").arg(QDir::toNativeSeparators(path), failure));
    }
}

void SearchWindow::printRecord()
{
    const QString title = QStringLiteral("Print record");
    if (const QString failure = printHtml(this, title, recordHtml(*this)); !failure.isEmpty()) {
        QMessageBox::warning(this, title, failure);
    }
}

QString SearchWindow::recordText() const
{
    QStringList lines;
    if (!m_lblTradeName->text().isEmpty()) {
        lines << m_lblTradeName->text();
    }
    for (int r = 1; r <= m_vbalGrid->rowCount(); ++r) {
        const QString value = m_vbalGrid->cellText(r, m_design.valueColumn);
        const QString caption
            = m_design.captionColumn > 0 ? m_vbalGrid->cellText(r, m_design.captionColumn) : QString();
        if (!value.isEmpty()) {
            lines << (caption.isEmpty() || caption == value ? value : caption + QStringLiteral(": ") + value);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace Search
