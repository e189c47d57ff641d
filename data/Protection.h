#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

namespace Db {

// What the FDA's patent and exclusivity lists say about one product, as of the date of
// the release the database was built from (never the computer's clock). Nothing here
// says when a generic may be sold: challenges, litigation, settlements and stays are not
// in the FDA's files, and a later release can move the dates.
namespace Protection {

// A patent record's kind: drug substance when its substance flag is Y, else drug product
// when its product flag is Y, else method of use when it has a use code, else unclassified.
enum class PatentKind {
    DrugSubstance,
    DrugProduct,
    MethodOfUse,
    Unclassified
};
// An exclusivity's reach: NCE; a change (NP, NS, NDF, NR, NC, NE, RTO); one use (ODE, I, M,
// D, NPP and their numbered codes). PED and GAIN take the level of the row they extend.
enum class Level {
    DrugWide,
    Change,
    UseSpecific,
    // A code of no family above: counted in the listed protection only.
    Unknown
};

QString kindText(PatentKind kind);
QString levelText(Level level);
// The level of a code by its family ("ODE-123" and "ODE*" are use-specific); nullopt for
// PED and GAIN (their parent's) and for PC, CGT and W, which are never counted.
std::optional<Level> codeLevel(const QString &code);

// A date as the FDA writes it ("Sep 3, 2036", "Sep 03, 2036"); invalid for anything else.
QDate parseDate(const QString &text);
QDate parseDate(QStringView text);
QString dateText(const QDate &date);

struct PatentRow
{
    qint64 id = 0;
    QString number; // "7491725", or "7491725*PED" for its pediatric extension
    QDate expires;
    bool substance = false;
    bool product = false;
    QString useCode;
    bool delisted = false;
};

bool isPediatricPatent(const QString &number); // "7491725*PED"
// By the row's own flags and use code; compute() gives *PED rows their base's kind.
PatentKind patentKind(const PatentRow &row);

struct ExclusivityRow
{
    qint64 id = 0;
    QString code;
    QDate ends;
};

// One line of a product's timeline: a patent (its records gathered, use codes joined) or
// an exclusivity row.
struct Line
{
    bool isPatent = true;
    QString name; // the patent number or the exclusivity code
    QDate date;
    QString kind; // "drug substance", "use-specific", "180-day (ANDA)", "not published" ...
    QStringList useCodes;
    QVector<qint64> recordIds; // the records the line gathers, first one first
    bool delisted = false;
    bool ended = false; // its date is before the release date
    bool counted = false;
    bool pediatric = false; // a "*PED" patent row, or a PED exclusivity
    int parent = -1; // a PED/GAIN exclusivity (or *PED patent): the line it extends
};

struct Figures
{
    // "None listed", "Ended", "Protected", or "180-day exclusivity until Mar 2, 2025"; empty
    // when the release date is not known.
    QString status;
    QDate listedEnd;
    QDate coreEnd; // substance and product protection
    QString listedSetter; // what sets listedEnd: "patent 7491725 (drug substance), pediatric extension"
    QString coreSetter;
    QDate until180; // an ANDA's latest PC/CGT
    std::vector<Line> timeline; // in date order, PED/GAIN right under the line they extend
};

// The kind of patent `number` where another product lists it (nullopt: nowhere).
using KindElsewhere = std::function<std::optional<PatentKind>(const QString &number)>;

// The figures of one product from its own rows.
Figures compute(const std::vector<PatentRow> &patents, const std::vector<ExclusivityRow> &exclusivities,
                const KindElsewhere &kindElsewhere, const QDate &release);

// The row's words for a status and dates: "Protected: listed protection until ...".
QString summaryText(const Figures &figures);

// The marketed ANDAs with an A code of the same ingredient, dosage form, route and strength.
struct Generics
{
    int marketedARated = 0;
    QDate firstApproval; // the earliest approval among them (invalid: none dated)
    int anyAnda = 0; // every ANDA of the four, marketed or not, whatever its code
};
QString genericsText(const Generics &generics);
// An ANDA still marketed (of a type other than DISCN) whose TE code starts with A.
bool isMarketedARated(const QString &type, const QString &teCode);
// Counts an ANDA of the product's ingredient, dosage form, route and strength: every one
// in anyAnda; a marketed A-rated one also in marketedARated, and its approval date in
// firstApproval.
void countAnda(Generics &generics, bool marketedARated, const QDate &approved);

// Read through the shared connection (each throws AppError when a read fails).
// The release date of the open file, read once per open; invalid when it does not say.
QDate readReleaseDate();
Figures readProduct(const QString &applicationNumber, const QString &productNumber, const QDate &release);
// nullopt when there is no product `productId`.
std::optional<Generics> readGenerics(qint64 productId);

// What the drug window's row shows of one product: its figures as of the release date,
// and its ANDAs, read in one statement (two when it has a "*PED" patent). nullopt when
// there is no product `productId`.
struct ProductReading
{
    Figures figures;
    Generics generics;
    QDate release; // invalid: the database does not say (no status)
};
std::optional<ProductReading> readProductRow(qint64 productId, const QString &applicationNumber,
                                             const QString &productNumber);

// The figures and ANDAs readProductRow() gives, without the timeline: from the importer's
// table of every product's figures in one keyed statement, or, on a database built
// before the table was kept, read and computed as readProductRow() does. nullopt when
// there is no product `productId`.
std::optional<ProductReading> readProductSummary(qint64 productId, const QString &applicationNumber,
                                                 const QString &productNumber);

// Every product of the database at once (the report, the whole-data check).
struct ProductFigures
{
    qint64 id = 0;
    QString applicationType;
    QString applicationNumber;
    QString productNumber;
    QString tradeName;
    QString strength;
    QString dosageForm;
    QString type; // RX, OTC, DISCN
    bool referenceListed = false;
    Figures figures;
    Generics generics;
};
std::vector<ProductFigures> readAllProducts(const QDate &release);

// Every product as the report lists it, in ID order: from the importer's table joined to
// the products in one statement (figures without timelines), or, on a database built
// before the table was kept, as readAllProducts() gives it. Throws AppError when a read
// fails, and when the table lacks a product (a shorter report would look whole).
std::vector<ProductFigures> readAllProductSummaries(const QDate &release);

// What the importer's table keeps of one product: its figures (no timeline) and its ANDAs.
struct ProductSummary
{
    qint64 id = 0;
    Figures figures;
    Generics generics;
};
// Every product's summary, as readAllProducts() computes it as of the file's release
// date, read with SQLite's C API on `db` (any connection to a database in the importer's
// layout, the importer's own while it writes the file): each table read once, the rows
// grouped by product, the figures computed for the products that have rows. Throws
// AppError when a read fails.
std::vector<ProductSummary> computeProductSummaries(sqlite3 *db);

} // namespace Protection

} // namespace Db
