#include "search/Navigation.h"

#include "search/AdvancedPanel.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "common/AppError.h"
#include "common/Commands.h"
#include "common/ErrorNumbers.h"
#include "search/HitList.h"
#include "search/KeyList.h"
#include "search/SearchWindows.h"
#include "components/VbalGrid.h"
#include "search/WindowHost.h"
#include "search/frmDosageForm.h"
#include "search/frmDrugs.h"
#include "search/frmExclusivity.h"
#include "search/frmIngredients.h"
#include "search/frmPatent.h"
#include "search/frmRoute.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <QSet>

#include <algorithm>

namespace Search {

namespace Navigation {

namespace {

// The drug window's parameter rows that a navigation clears before filling one;
// rows 13 and 14 are never shown.
constexpr int LastDrugParameterRow = 12;

// The window a step works on; a window that is not there fails that step.
template<typename Window>
Window &need(Window *window)
{
    if (!window) {
        throw Common::AppError(Common::ErrorNumber::ObjectNotSet, QStringLiteral("Navigation"),
                               QStringLiteral("The window to show is not available."));
    }
    return *window;
}

// The last steps of every navigation: the target's panel hidden, the target maximised.
void finish(WindowHost &host, SearchWindow *target)
{
    Common::runSkippingFailure([&] { need(target).picAdvanced()->hide(); });
    Common::runSkippingFailure([&] { host.maximizeWindow(&need(target)); });
}

// Where the drug window lists the product of the application with that number; -1
// when it is not among the hits.
int productPosition(const frmDrugs &drugs, const QString &applicationNumber, const QString &productNumber)
{
    QVariant key;
    {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::productOfApplication(applicationNumber, productNumber));
        Db::RowSetCloser closer(rowSet);
        if (rowSet.eof()) {
            return -1;
        }
        key = rowSet.field(0);
    }
    bool isNumber = false;
    const qint64 number = key.toLongLong(&isNumber);
    return isNumber ? drugs.lstSearchID()->indexOf(number) : -1;
}

RecordWindow *recordWindow(WindowHost &host, int command)
{
    switch (command) {
    case Common::DosageForm:
        return host.dosageFormWindow();
    case Common::Route:
        return host.routeWindow();
    default:
        return nullptr;
    }
}

} // namespace

void showFirstHit(SearchWindow &target)
{
    showHit(target, 0);
}

void showHit(SearchWindow &target, int position)
{
    // After a failed search the list holds an earlier search's hits: show none of them.
    if (target.lastSearchFailed() || target.lstSearch()->count() == 0) {
        target.clearShownRecord();
        return;
    }
    target.lstSearch()->setCurrentRow(std::max(position, 0)); // shows the hit, as a click on it does
}

void showIngredientProducts(WindowHost &host, const QString &ingredient)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(Common::Ingredients); });
    frmIngredients *target = nullptr;
    Common::runSkippingFailure([&] { target = host.ingredientsWindow(); });
    Common::runSkippingFailure([&] { need(target).EmptyTheGrid(); });
    Common::runSkippingFailure([&] { need(target).GetProductDetails(ingredient); });
    Common::runSkippingFailure([&] {
        if (need(target).vbalGrid()->rowCount() == 0) {
            target->lblTradeName()->clear();
        }
    });
    // The hit list goes, and with it its count and the text that made it; the grid's
    // own keys in lstSearchID stay with its rows.
    Common::runSkippingFailure([&] { need(target).clearHitList(); });
    finish(host, target);
}

void findInRecordWindow(WindowHost &host, int command, const QString &text)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(command); });
    RecordWindow *target = nullptr;
    Common::runSkippingFailure([&] { target = recordWindow(host, command); });
    Common::runSkippingFailure([&] { need(target).EmptyTheGrid(); });
    Common::runSkippingFailure([&] { need(target).txtSearch()->setText(text); });
    Common::runSkippingFailure([&] { need(target).PressFindButton(); });
    Common::runSkippingFailure([&] {
        const HitList &hits = *need(target).lstSearch();
        int own = -1;
        for (int i = 0; i < hits.count() && own < 0; ++i) {
            if (hits.text(i).compare(text, Qt::CaseInsensitive) == 0) {
                own = i;
            }
        }
        showHit(*target, own);
    });
    finish(host, target);
}

namespace {

// The patent window lists the records of one application, or of one of its products,
// whatever the user left in its panel, and shows the first record of that product.
void listPatents(WindowHost &host, const QString &applicationNumber, const QString &productNumber, bool productOnly)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(Common::Patents); });
    frmPatent *target = nullptr;
    Common::runSkippingFailure([&] { target = host.patentWindow(); });
    Common::runSkippingFailure([&] { need(target).EmptyTheGrid(); });
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        Common::runSkippingFailure([&] { need(target).chkParam(i)->setChecked(false); });
    }
    Common::runSkippingFailure(
        [&] { need(target).txtParam(frmPatent::ApplicationNumberParameter)->setText(applicationNumber); });
    Common::runSkippingFailure([&] { need(target).chkParam(frmPatent::ApplicationNumberParameter)->setChecked(true); });
    if (productOnly) {
        Common::runSkippingFailure(
            [&] { need(target).txtParam(frmPatent::ProductNumberParameter)->setText(productNumber); });
        Common::runSkippingFailure([&] { need(target).chkParam(frmPatent::ProductNumberParameter)->setChecked(true); });
    }
    // The application's own patents, found by its number exactly (through the index),
    // not every number that merely contains it.
    Common::runSkippingFailure(
        [&] { need(target).picAdvanced()->optParamSettings(AdvancedSearch::Exactly)->setChecked(true); });
    Common::runSkippingFailure(
        [&] { need(target).picAdvanced()->optParamConcat(AdvancedSearch::AllKeywords)->setChecked(true); });
    Common::runSkippingFailure([&] { need(target).PressAdvancedSearchButton(); });
    int position = 0;
    if (!productNumber.isEmpty()) {
        Common::runSkippingFailure([&] {
            QSet<qint64> own;
            {
                Db::RowSet &rowSet
                    = Db::openSharedQuery(Db::SqlText::patentRecordsOf(applicationNumber, productNumber));
                Db::RowSetCloser closer(rowSet);
                for (; !rowSet.eof(); rowSet.moveNext()) {
                    own.insert(rowSet.field(0).toLongLong());
                }
            }
            const KeyList &keys = *need(target).lstSearchID();
            for (int i = 0; i < keys.count(); ++i) {
                if (own.contains(keys.key(i))) {
                    position = i;
                    break;
                }
            }
        });
    }
    Common::runSkippingFailure([&] { showHit(need(target), position); });
    Common::runSkippingFailure([&] {
        if (need(target).lastSearchFailed() || target->lstSearch()->count() == 0) {
            return;
        }
        Db::RowSet &rowSet = Db::openSharedQuery(
            Db::SqlText::patentCoverage(applicationNumber, productOnly ? productNumber : QString()));
        Db::RowSetCloser closer(rowSet);
        if (!rowSet.eof()) {
            target->lblSearch()->setText(
                patentCount(rowSet.field(0).toLongLong(), rowSet.field(1).toLongLong(), rowSet.field(2).toLongLong()));
        }
    });
    finish(host, target);
}

} // namespace

QString patentCount(qint64 records, qint64 patents, qint64 products)
{
    const auto counted = [](qint64 n, const char *one, const char *many) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    return counted(records, "record", "records") + QStringLiteral(" of ") + counted(patents, "patent", "patents")
        + QStringLiteral(", ") + counted(products, "product", "products");
}

void findPatentsOfApplication(WindowHost &host, const QString &applicationNumber, const QString &productNumber)
{
    listPatents(host, applicationNumber, productNumber, false);
}

void findPatentsOfProduct(WindowHost &host, const QString &applicationNumber, const QString &productNumber)
{
    listPatents(host, applicationNumber, productNumber, true);
}

void findExclusivitiesOfProduct(WindowHost &host, const QString &applicationNumber, const QString &productNumber)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(Common::Exclusivity); });
    frmExclusivity *target = nullptr;
    Common::runSkippingFailure([&] { target = host.exclusivityWindow(); });
    Common::runSkippingFailure([&] { need(target).EmptyTheGrid(); });
    for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
        Common::runSkippingFailure([&] { need(target).chkParam(i)->setChecked(false); });
    }
    Common::runSkippingFailure(
        [&] { need(target).txtParam(frmExclusivity::ApplicationNumberParameter)->setText(applicationNumber); });
    Common::runSkippingFailure(
        [&] { need(target).chkParam(frmExclusivity::ApplicationNumberParameter)->setChecked(true); });
    Common::runSkippingFailure(
        [&] { need(target).picAdvanced()->optParamSettings(AdvancedSearch::Exactly)->setChecked(true); });
    Common::runSkippingFailure([&] { need(target).PressAdvancedSearchButton(); });
    // Each line ends with "/" and the product number of its record.
    int position = 0;
    Common::runSkippingFailure([&] {
        const HitList &hits = *need(target).lstSearch();
        const QString ending = QLatin1Char('/') + productNumber;
        for (int i = 0; i < hits.count(); ++i) {
            if (!productNumber.isEmpty() && hits.text(i).endsWith(ending, Qt::CaseInsensitive)) {
                position = i;
                break;
            }
        }
    });
    Common::runSkippingFailure([&] { showHit(need(target), position); });
    finish(host, target);
}

void listDrugs(WindowHost &host, int parameterRow, const QString &text, const QString &productNumber)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(Common::ShowDrugs); });
    frmDrugs *target = nullptr;
    Common::runSkippingFailure([&] { target = host.drugsWindow(); });
    Common::runSkippingFailure([&] { need(target).EmptyTheGrid(); });
    for (int i = 0; i <= LastDrugParameterRow; ++i) {
        Common::runSkippingFailure([&] { need(target).chkParam(i)->setChecked(false); });
    }
    Common::runSkippingFailure([&] { need(target).txtParam(parameterRow)->setText(text); });
    Common::runSkippingFailure([&] { need(target).chkParam(parameterRow)->setChecked(true); });
    // Whatever option the user left in the panel, the list holds exactly the products
    // with this value, and the panel shows how it was made.
    Common::runSkippingFailure(
        [&] { need(target).picAdvanced()->optParamSettings(AdvancedSearch::Exactly)->setChecked(true); });
    Common::runSkippingFailure([&] { need(target).PressAdvancedSearchButton(); });
    int position = 0;
    if (!productNumber.isEmpty()) {
        Common::runSkippingFailure([&] { position = productPosition(need(target), text, productNumber); });
    }
    Common::runSkippingFailure([&] { showHit(need(target), position); });
    finish(host, target);
}

void openProduct(WindowHost &host, const QVariant &key)
{
    Common::runSkippingFailure([&] { host.PressMenuButton(Common::ShowDrugs); });
    frmDrugs *target = nullptr;
    Common::runSkippingFailure([&] { target = host.drugsWindow(); });
    Common::runSkippingFailure([&] {
        bool isNumber = false;
        const qint32 id = key.toInt(&isNumber);
        if (!isNumber) {
            throw Common::AppError(Common::ErrorNumber::TypeMismatch, QStringLiteral("Navigation"),
                                   QStringLiteral("The product has no key."));
        }
        need(target).GetProductDetails(id);
    });
    Common::runSkippingFailure([&] { need(target).picAdvanced()->hide(); });
    // Both lists go together, so they stay parallel, with the count and the text that
    // made them.
    Common::runSkippingFailure([&] {
        need(target).clearHitList();
        target->lstSearchID()->clear();
    });
}

} // namespace Navigation

} // namespace Search
