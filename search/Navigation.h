#pragma once

#include <QString>
#include <QVariant>

namespace Search {

class SearchWindow;
class WindowHost;

// The double-click navigations between the lookup windows. Each one brings its target
// forward through the main window's command table (PressMenuButton), then sets the
// target's controls and calls its public operations, one step at a time. A step that
// fails is skipped and the next one runs, so the target always ends shown, maximised,
// with its panel hidden and its controls usable. Text taken from one window's grid
// enters the other window's search only through the SQL text builders, quoted as
// typed text is.
namespace Navigation {

// Drug window, ingredients row: the ingredient window lists the products of that exact
// ingredient text in its grid, with an empty hit list.
void showIngredientProducts(WindowHost &host, const QString &ingredient);

// Drug window, dosage form and route rows: the window of `command` (dosage form or
// route) runs its quick search for the text and shows the hit that is the text itself
// (letter case ignored), else its first hit.
void findInRecordWindow(WindowHost &host, int command, const QString &text);

// Drug window, application number row: the patent window lists the records of that
// application (its "NDA" row alone ticked, matched exactly) and shows the first record,
// in the list's order, of the product with `productNumber` (else its first record).
// The count says records, and how many patents and products they cover.
void findPatentsOfApplication(WindowHost &host, const QString &applicationNumber,
                              const QString &productNumber = QString());
// Drug window, "Patents of this product": the patent window lists that product's own
// records only ("NDA" and "Product Number" rows ticked, matched exactly, all keywords).
void findPatentsOfProduct(WindowHost &host, const QString &applicationNumber, const QString &productNumber);

// Drug window, exclusivity row: the exclusivity window lists the records of that
// application (its "NDA" row alone ticked, matched exactly), product by product, and
// shows the first record of the product with `productNumber`, else the first record.
void findExclusivitiesOfProduct(WindowHost &host, const QString &applicationNumber, const QString &productNumber);

// Dosage form, route, patent and exclusivity windows: the drug window's rows 0 to 12 are unticked,
// `parameterRow` gets the text and its tick, the panel's match option is "Exactly",
// the advanced search lists the products whose value is the text (letter case
// ignored) and the first product is shown; with `productNumber`, the product of the
// application that has that number when it is among them.
void listDrugs(WindowHost &host, int parameterRow, const QString &text, const QString &productNumber = QString());

// Ingredient window: the drug window shows the product with that key, with an empty
// hit list, no count and an empty search box.
void openProduct(WindowHost &host, const QVariant &key);

// The patent window's count after a navigation: "421 records of 73 patents, 4 products".
QString patentCount(qint64 records, qint64 patents, qint64 products);

// Shows the target's first hit. When its search found nothing (or could not run), the
// target shows an empty result: no earlier record's title stays over the blanked grid.
void showFirstHit(SearchWindow &target);
// Shows the hit at `position`, or the first when it is below 0.
void showHit(SearchWindow &target, int position);

} // namespace Navigation

} // namespace Search
