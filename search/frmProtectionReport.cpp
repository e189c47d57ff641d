#include "search/frmProtectionReport.h"

#include "common/AppError.h"
#include "search/Navigation.h"
#include "search/WindowHost.h"
#include "search/frmDrugs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace Search {

namespace {

constexpr int ProductRole = Qt::UserRole;

QStringList productColumns()
{
    return {QStringLiteral("Application or product"), QStringLiteral("Status"),
            QStringLiteral("Listed protection ends"), QStringLiteral("Substance and product protection ends"),
            QStringLiteral("Marketed A-rated ANDAs")};
}

QStringList productTexts(const Db::Protection::ProductFigures &p)
{
    using Db::Protection::dateText;
    return {QStringLiteral("%1 %2 (%3) %4").arg(p.productNumber, p.tradeName, p.strength, p.dosageForm),
            p.figures.status, dateText(p.figures.listedEnd), dateText(p.figures.coreEnd),
            QString::number(p.generics.marketedARated)};
}

QTreeWidget *makeList(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setHeaderLabels(productColumns());
    list->setUniformRowHeights(true);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->header()->setStretchLastSection(false);
    return list;
}

ExportTable tableOf(const QTreeWidget *list)
{
    ExportTable table;
    table.header = QStringList{QStringLiteral("Application")} + productColumns();
    for (int t = 0; t < list->topLevelItemCount(); ++t) {
        const QTreeWidgetItem *top = list->topLevelItem(t);
        if (top->childCount() == 0) {
            QStringList row{QString()};
            for (int c = 0; c < list->columnCount(); ++c) {
                row << top->text(c);
            }
            table.rows.append(row);
        }
        for (int k = 0; k < top->childCount(); ++k) {
            QStringList row{top->text(0)};
            for (int c = 0; c < list->columnCount(); ++c) {
                row << top->child(k)->text(c);
            }
            table.rows.append(row);
        }
    }
    return table;
}

} // namespace

frmProtectionReport::frmProtectionReport(WindowHost *host, QWidget *parent)
    : Components::BackdropWidget(parent),
      m_host(host)
{
    setObjectName(QStringLiteral("frmProtectionReport"));
    setWindowTitle(QStringLiteral("Listed protection"));
    auto *layout = new QVBoxLayout(this);
    auto *controls = new QGridLayout;
    auto *which = new QLabel(QStringLiteral("&Products whose"), this);
    m_which = new QComboBox(this);
    m_which->setObjectName(QStringLiteral("cboWhich"));
    m_which->addItems(
        {QStringLiteral("listed protection ends"), QStringLiteral("substance and product protection ends")});
    which->setBuddy(m_which);
    auto *from = new QLabel(QStringLiteral("&from"), this);
    m_from = new QDateEdit(this);
    m_from->setObjectName(QStringLiteral("dtpFrom"));
    from->setBuddy(m_from);
    auto *to = new QLabel(QStringLiteral("&to"), this);
    m_to = new QDateEdit(this);
    m_to->setObjectName(QStringLiteral("dtpTo"));
    to->setBuddy(m_to);
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setDisplayFormat(QStringLiteral("MMM d, yyyy"));
        edit->setCalendarPopup(true);
    }
    m_list = new QPushButton(QStringLiteral("&List"), this);
    m_list->setObjectName(QStringLiteral("cmdList"));
    controls->addWidget(which, 0, 0);
    controls->addWidget(m_which, 0, 1);
    controls->addWidget(from, 0, 2);
    controls->addWidget(m_from, 0, 3);
    controls->addWidget(to, 0, 4);
    controls->addWidget(m_to, 0, 5);
    controls->addWidget(m_list, 0, 6);
    controls->setColumnStretch(7, 1);
    layout->addLayout(controls);

    m_endingCount = new QLabel(this);
    m_endingCount->setObjectName(QStringLiteral("lblEnding"));
    m_endingCount->setWordWrap(true);
    layout->addWidget(m_endingCount);
    m_ending
        = makeList(QStringLiteral("lstEnding"), QStringLiteral("Products whose protection ends in the range"), this);
    layout->addWidget(m_ending, 3);
    m_noGenericCount = new QLabel(this);
    m_noGenericCount->setObjectName(QStringLiteral("lblNoGeneric"));
    m_noGenericCount->setWordWrap(true);
    layout->addWidget(m_noGenericCount);
    m_noGeneric
        = makeList(QStringLiteral("lstNoGeneric"), QStringLiteral("No listed protection left and no generic"), this);
    layout->addWidget(m_noGeneric, 2);
    auto *caveat = new QLabel(
        QStringLiteral("As of the release date of the data. Not the date a generic can be sold: patent challenges, "
                       "litigation, settlements, 30-month stays and carved-out labels are not in the FDA's files, "
                       "and later releases can move dates later. Double click a product to show it; Ctrl+S exports "
                       "the list."),
        this);
    caveat->setWordWrap(true);
    layout->addWidget(caveat);

    connect(m_list, &QPushButton::clicked, this, &frmProtectionReport::PressListButton);
    for (QTreeWidget *list : {m_ending, m_noGeneric}) {
        connect(list, &QTreeWidget::itemActivated, this, &frmProtectionReport::followLine);
    }

    Common::runSkippingFailure([&] { m_release = Db::Protection::readReleaseDate(); });
    const QDate start = m_release.isValid() ? m_release : QDate(2000, 1, 1);
    m_from->setDate(start);
    m_to->setDate(start.addYears(1));
    m_endingCount->setText(QStringLiteral("Give a range of dates and press List."));
    resize(744, 480);
}

bool frmProtectionReport::ensureFigures()
{
    if (m_read) {
        return true;
    }
    try {
        m_products = Db::Protection::readAllProductSummaries(m_release);
        m_read = true;
        fillNoGeneric();
    } catch (const Common::AppError &error) {
        m_endingCount->setText(QStringLiteral("The products could not be read: ") + error.description());
        return false;
    }
    return true;
}

void frmProtectionReport::PressListButton()
{
    if (!ensureFigures()) {
        return;
    }
    const bool core = m_which->currentIndex() == 1;
    const QDate from = m_from->date();
    const QDate to = m_to->date();
    // Applications in number order, their products in product order.
    std::map<std::pair<QString, QString>, std::vector<const Db::Protection::ProductFigures *>> groups;
    int count = 0;
    for (const Db::Protection::ProductFigures &p : m_products) {
        const QDate end = core ? p.figures.coreEnd : p.figures.listedEnd;
        if (end.isValid() && end >= from && end <= to) {
            groups[{p.applicationNumber, p.applicationType}].push_back(&p);
            ++count;
        }
    }
    m_ending->clear();
    QList<QTreeWidgetItem *> tops;
    for (const auto &[application, products] : groups) {
        auto *top = new QTreeWidgetItem({frmDrugs::applicationText(application.second, application.first)
                                         + QLatin1Char(' ') + products.front()->tradeName});
        for (const Db::Protection::ProductFigures *p : products) {
            auto *item = new QTreeWidgetItem(top, productTexts(*p));
            item->setData(0, ProductRole, qlonglong(p->id));
        }
        tops.append(top);
    }
    m_ending->addTopLevelItems(tops);
    m_ending->expandAll();
    m_endingCount->setText(
        QStringLiteral("%1 products of %2 applications whose %3 between %4 and %5:")
            .arg(count)
            .arg(groups.size())
            .arg(m_which->currentText(), Db::Protection::dateText(from), Db::Protection::dateText(to)));
}

void frmProtectionReport::fillNoGeneric()
{
    m_noGeneric->clear();
    QList<QTreeWidgetItem *> items;
    for (const Db::Protection::ProductFigures &p : m_products) {
        const bool rxReference = p.type.compare(QLatin1String("RX"), Qt::CaseInsensitive) == 0 && p.referenceListed;
        const bool noneLeft
            = p.figures.status == QLatin1String("None listed") || p.figures.status == QLatin1String("Ended");
        if (rxReference && noneLeft && p.generics.anyAnda == 0) {
            QStringList texts = productTexts(p);
            texts[0] = frmDrugs::applicationText(p.applicationType, p.applicationNumber) + QLatin1Char(' ') + texts[0];
            auto *item = new QTreeWidgetItem(texts);
            item->setData(0, ProductRole, qlonglong(p.id));
            items.append(item);
        }
    }
    m_noGeneric->setRootIsDecorated(false);
    m_noGeneric->addTopLevelItems(items);
    m_noGenericCount->setText(
        QStringLiteral("No listed protection left and no generic: %1 RX reference products whose status is None "
                       "listed or Ended and that have no ANDA of the same ingredient, dosage form, route and "
                       "strength:")
            .arg(items.size()));
}

ExportTable frmProtectionReport::endingTable() const
{
    return tableOf(m_ending);
}

ExportTable frmProtectionReport::noGenericTable() const
{
    return tableOf(m_noGeneric);
}

void frmProtectionReport::exportList()
{
    const bool second = m_noGeneric->hasFocus();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the list"),
                                                      second ? QStringLiteral("No listed protection left.csv")
                                                             : QStringLiteral("Listed protection.csv"),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (const QString failure = writeCsv(path, second ? noGenericTable() : endingTable()); !failure.isEmpty()) {
        QMessageBox::warning(
            this, QStringLiteral("Export"),
            QStringLiteral("The list could not be written to %1: %2").arg(QDir::toNativeSeparators(path), failure));
    }
}

void frmProtectionReport::followLine(QTreeWidgetItem *item)
{
    if (!item || !m_host || !item->data(0, ProductRole).isValid()) {
        return;
    }
    Navigation::openProduct(*m_host, item->data(0, ProductRole));
}

void frmProtectionReport::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Save)) {
        exportList();
        return;
    }
    Components::BackdropWidget::keyPressEvent(event);
}

} // namespace Search
