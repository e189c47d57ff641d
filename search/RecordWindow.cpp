#include "search/RecordWindow.h"

#include "common/AppError.h"
#include "search/Navigation.h"
#include "layout/Schema.h"
#include "components/VbalGrid.h"

namespace Search {

SearchWindowDesign RecordWindow::recordDesign(const QString &caption, Db::SqlText::Window sqlWindow,
                                              const QString &listField, const QStringList &images,
                                              QVector<DetailRowDesign> rows, const QString &hint)
{
    SearchWindowDesign d;
    d.caption = caption;
    d.sqlWindow = sqlWindow;
    d.listField = listField;
    d.keyField = QString(Schema::Vocabulary::ID);
    d.images = images;
    d.tooltipImage = QStringLiteral(":/icons/grid/information.png");
    // No information-icon column: the captions stand in the column keyed "Details".
    d.columns = {
        {QStringLiteral("icon"), QString(), 36, true, false},
        {QStringLiteral("Details"), QStringLiteral("Details"), 100, true, false},
        {QStringLiteral("Value"), QStringLiteral("Value"), 200, false, true},
    };
    d.iconColumn = 1;
    d.captionColumn = 2;
    d.infoColumn = 0;
    d.valueColumn = ValueColumn;
    d.rows = std::move(rows);
    d.helpStrip = HelpStrip::HintOnPointer;
    d.hint = hint;
    d.tooltipBesideIcon = true;
    return d;
}

RecordWindow::RecordWindow(SearchWindowDesign design, int sourceRow, int drugParameterRow, WindowHost *host,
                           QWidget *parent, int productNumberRow)
    : SearchWindow(std::move(design), host, parent),
      m_sourceRow(sourceRow),
      m_drugParameterRow(drugParameterRow),
      m_productNumberRow(productNumberRow)
{
}

void RecordWindow::PressFindButton()
{
    quickSearch();
}

void RecordWindow::GetProductDetails(qint32 id)
{
    fillRecordDetails(id);
    fillMoreDetails(id);
}

void RecordWindow::vbalGrid_DblClick(int, int)
{
    if (!host()) {
        return;
    }
    QString value;
    QString productNumber;
    Common::runSkippingFailure([&] { value = vbalGrid()->cellText(m_sourceRow, ValueColumn); });
    if (m_productNumberRow > 0) {
        Common::runSkippingFailure([&] { productNumber = vbalGrid()->cellText(m_productNumberRow, ValueColumn); });
    }
    Navigation::listDrugs(*host(), m_drugParameterRow, value, productNumber);
}

QString RecordWindow::followCaption(int) const
{
    // Every row leads on, once a record is shown.
    return vbalGrid()->cellText(m_sourceRow, ValueColumn).isEmpty() ? QString() : m_followCaption;
}

std::optional<QString> RecordWindow::detailsTitle(const RecordValues &record) const
{
    namespace V = Schema::Vocabulary;
    const QString name = record.text(QString(V::Name));
    const QString shortName = record.text(QString(V::ShortName));
    return shortName.isEmpty() ? name : name + QStringLiteral(" (") + shortName + QLatin1Char(')');
}

} // namespace Search
