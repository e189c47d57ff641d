#pragma once

#include <QString>
#include <QVector>

namespace Db {

// Every SQL text the program sends, built in one place. Text that comes from the user
// or from another window enters a statement only through quoteSqlText.
namespace SqlText {

// Doubles every single quote, so the text stays one literal whatever it holds.
// "%" is left alone: a typed "%" is a wildcard of the pattern.
// NUL characters are dropped: no stored value holds one.
QString quoteSqlText(const QString &text);

// The six search windows.
enum class Window {
    Drugs,
    Ingredients,
    DosageForm,
    Route,
    Patent,
    Exclusivity
};

// Quick search: the window's name column like '%text%'.
QString nameSearch(Window window, const QString &text);

// How an advanced search orders its hits. SQLite walks the list's order index when it
// can, reading every record in that order to test the clauses: cheap when most match
// or when an equality's index already holds the order, a walk of the whole table for
// one hit of a pattern. SortHits makes it test the records as they lie and sort only
// the hits; the order is the same (ties by key, as the index holds them).
enum class HitOrder {
    WalkIndex,
    SortHits
};

// Advanced search: head + clauses + tail.
QString advancedSearchHead(Window window);
QString advancedSearchTail(Window window, HitOrder order = HitOrder::WalkIndex);
QString advancedSearch(Window window, const QString &clauses, HitOrder order = HitOrder::WalkIndex);

// One condition of an advanced search: "[" column "] like '" lead text trail "' " CR LF.
QString likeClause(const QString &column, const QString &lead, const QString &text, const QString &trail);
// "[column] = 'text' COLLATE NOCASE " and CR LF: the value itself, letter case ignored,
// with "%" and "_" taken literally.
QString equalsClause(const QString &column, const QString &text);

// Details of one record by key (drug, dosage form, route, patent and exclusivity
// windows). An exclusivity record carries the meaning of its code's family as
// [Meaning] ("I-nnn" for "I-123"; Null for a family the code table does not know).
QString details(Window window, qint32 id);
// The same columns for every record of the window's table (the export reads them).
QString allRecords(Window window);

// Every product whose whole ingredient value is `ingredient` (letter case ignored;
// "%" and "_" are taken literally, as ingredients may hold them).
QString productsWithIngredient(const QString &ingredient);

// The exclusivity records of one product: [Exclusivity Code], [Exclusivity Date], in file order.
QString productExclusivities(const QString &applicationNumber, const QString &productNumber);
// How many exclusivity records one application has.
QString exclusivityCount(const QString &applicationNumber);

// How many exclusivity records the database holds (fails without the table).
QString exclusivityCount();

// The date of the FDA release the database was built from.
QString releaseDate();

// The date of the older release the database's changes were found against (fails
// without the table: the database was built without an older release).
QString comparedReleaseDate();

// What tells hit lines of one name apart, for the records with `keys`: the key, then
// the columns (drug window: strength, dosage form, applicant, type, TE code, RLD and
// RS, the last Null without `withReferenceStandard`, for a database that lacks it; patent
// window: application, product number, expiry date). Empty for a window whose lines need none.
QString lineDetails(Window window, const QVector<qint64> &keys, bool withReferenceStandard = true);

// The key of the product with that application and product number.
QString productOfApplication(const QString &applicationNumber, const QString &productNumber);
// That product as a patent record names it: ID, [trade name], [Strength], [Dosage Form].
QString namedProduct(const QString &applicationNumber, const QString &productNumber);
// The keys of the patent records of one product (or, with an empty product number, of
// one application), in key order.
QString patentRecordsOf(const QString &applicationNumber, const QString &productNumber);
// How many records, distinct patent numbers and distinct products the patent records
// of one application (and product, when given) hold.
QString patentCoverage(const QString &applicationNumber, const QString &productNumber);

// The products a pharmacist may dispense for product `id`: marketed (RX or OTC) like it,
// of its ingredients, dosage form, route and strength, and sharing one of its A codes
// exactly (each code of a list such as "AB1,AB2" on its own; "AB1" is not "AB2").
// [trade name], ID, in trade-name order, the product itself among them. Nothing for a
// product that is discontinued or has no A code.
QString substitutes(qint32 id);
// How many products substitutes(id) lists, the product itself not counted.
QString substituteCount(qint32 id);
// The meaning of each code of a TE code list ("AB1,AB2"): rows of [Code] (as the list
// writes it) and [Meaning] (Null for a code the table does not know), in list order.
QString teCodeMeanings(const QString &codes);
// The columns of a table, one row each with its [name] (none: no such table).
QString tableColumns(const QString &table);
// One product's listed protection and its generics in one statement, its values bound:
// ?1 the application, ?2 the product number, ?3 the product's key. Its patent rows ('P',
// ID, number, expiry, substance flag, product flag, use code, delist flag), its
// exclusivity rows ('E', ID, code, date), and the ANDAs of its ingredient, dosage form,
// route and strength ('G', ID, [Type], TE code, [Approval Date]; one 'G' row of Nulls
// when it has none, no 'G' row when there is no product ?3). A database without
// the delist flag, the exclusivity table or the application type reads without them
// (its 'G' row then says only that the product is there). `andaIndex` names the products
// index the ANDAs are looked up through (the planner otherwise scans every product: 9 ms
// instead of 0.02 ms); empty: a file without it, left to the planner.
QString protectionOfProduct(bool withDelistFlag, bool withExclusivity, bool withApplicationType,
                            const QString &andaIndex);
// The records, wherever they are, of the base patents of the "*PED" rows of one product
// (?1 the application, ?2 the product number): the patent columns of protectionOfProduct.
QString pediatricBasePatents(bool withDelistFlag);
// The names of the database's indexes.
QString indexNames();
// Every patent row: ID, number, expiry, substance flag, product flag, use code, delist
// flag, application, product.
QString allPatentRows(bool withDelistFlag);
// Every exclusivity row: ID, code, date, application, product.
QString allExclusivityRows();
// Every product: ID, application type, application, product, trade name, strength,
// dosage form, route, type, RLD, ingredient, approval date, TE code.
QString allProtectionProducts(bool withApplicationType);

// One product's row of [product protection] (?1 its key): status, listed end, what sets
// it, substance/product end, what sets it, 180-day end, marketed A-rated ANDAs, first
// approval, ANDAs. No row: no such product.
QString productProtectionRow();
// Every product with its row of [product protection], in ID order: the columns of
// allProtectionProducts() up to RLD, then that row's ID (Null: the table lacks the
// product) and the columns productProtectionRow() reads.
QString allProductProtectionRows(bool withApplicationType);
// The columns of [product protection], in the order productProtectionRow() reads them.
QString createProductProtection();
// One row of [product protection], its ten values bound in the order of its columns.
QString insertProductProtection();

} // namespace SqlText

} // namespace Db
