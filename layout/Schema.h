#pragma once

#include <QLatin1StringView>

#include <span>

// Table and column names of kvostrel.mdb, as the queries and the importer write them.
namespace Schema {

namespace Products {
inline constexpr QLatin1StringView Table{"products"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView TradeName{"trade name"};
inline constexpr QLatin1StringView Ingredient{"ingredient"};
inline constexpr QLatin1StringView Strength{"Strength"};
inline constexpr QLatin1StringView DosageForm{"Dosage Form"};
inline constexpr QLatin1StringView Route{"Route of Administration"};
inline constexpr QLatin1StringView Type{"Type"};
inline constexpr QLatin1StringView Applicant{"Applicant Full Name"};
inline constexpr QLatin1StringView TECode{"Therapeutic Equivalence (TE) Code"};
inline constexpr QLatin1StringView ProductNumber{"Product Number"};
inline constexpr QLatin1StringView NDANumber{"New Drug Application (NDA) Number"};
inline constexpr QLatin1StringView RLD{"Reference Listed Drug (RLD)"};
inline constexpr QLatin1StringView ApprovalDate{"Approval Date"};
// Kept since the columns below were added; an older database lacks them, and its
// Strength may still carry the FDA's notes.
// "N" (a new drug application) or "A" (an abbreviated one, a generic), as the FDA writes it.
inline constexpr QLatin1StringView ApplicationType{"Application Type"};
// The applicant's short name, as the FDA lists it beside the full one.
inline constexpr QLatin1StringView ApplicantShortName{"Applicant"};
// "Yes" when the FDA names the product a reference standard for generics to test against.
inline constexpr QLatin1StringView RS{"Reference Standard (RS)"};
// The FDA's note written after the strength between "**" (the stars removed).
inline constexpr QLatin1StringView StrengthNote{"Strength Note"};
} // namespace Products

// `dosage form` and `route of administration` share their columns.
namespace Vocabulary {
inline constexpr QLatin1StringView DosageFormTable{"dosage form"};
inline constexpr QLatin1StringView RouteTable{"route of administration"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView Name{"name"};
inline constexpr QLatin1StringView Definition{"DEFINITION"};
inline constexpr QLatin1StringView UseRestrictions{"USE RESTRICTIONS"};
inline constexpr QLatin1StringView ShortName{"SHORT NAME"};
inline constexpr QLatin1StringView FdaCode{"FDA CODE"};
inline constexpr QLatin1StringView NciConceptId{"NCI CONCEPT ID"};
} // namespace Vocabulary

// Which FDA release the database was built from (one row; the date the FDA wrote
// its product file). Databases built before it was kept lack the table.
namespace Release {
inline constexpr QLatin1StringView Table{"release"};
inline constexpr QLatin1StringView Date{"Release Date"};
} // namespace Release

namespace Patent {
inline constexpr QLatin1StringView Table{"patent"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView PatentNumber{"Patent Number"};
inline constexpr QLatin1StringView ExpireDate{"Patent Expire Date"};
inline constexpr QLatin1StringView NDANumber{"New Drug Application (NDA) Number"};
inline constexpr QLatin1StringView ProductNumber{"Product Number"};
inline constexpr QLatin1StringView SubstanceFlag{"Drug Substance Flag"};
inline constexpr QLatin1StringView ProductFlag{"Drug Product Flag"};
inline constexpr QLatin1StringView UseCode{"Patent Use Code"};
// Kept since these columns were added; an older database lacks them.
inline constexpr QLatin1StringView ApplicationType{"Application Type"};
// "Y" when the applicant asked the FDA to remove the patent from the list.
inline constexpr QLatin1StringView DelistFlag{"Delist Flag"};
// The date the FDA received the patent's submission ("Mar 3, 2003").
inline constexpr QLatin1StringView SubmissionDate{"Submission Date"};
} // namespace Patent

// The FDA's exclusivity records, and the meanings of the families of their codes
// ("I-nnn" stands for every code "I-" and a number).
namespace Exclusivity {
inline constexpr QLatin1StringView Table{"exclusivity"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView Code{"Exclusivity Code"};
inline constexpr QLatin1StringView Date{"Exclusivity Date"};
inline constexpr QLatin1StringView NDANumber{"New Drug Application (NDA) Number"};
inline constexpr QLatin1StringView ProductNumber{"Product Number"};
inline constexpr QLatin1StringView ApplicationType{"Application Type"};
// Not stored: the details of a record carry the meaning of its code's family.
inline constexpr QLatin1StringView Meaning{"Meaning"};
inline constexpr QLatin1StringView CodeTable{"exclusivity code"};
inline constexpr QLatin1StringView CodeFamily{"Code"};
inline constexpr QLatin1StringView CodeMeaning{"Meaning"};
} // namespace Exclusivity

// What changed since an older release, when the importer was given one: one row per
// change, and the two releases compared (the older as ID 1, the newer as ID 2) with
// what each holds. A database built without an older release lacks both tables.
namespace Changes {
inline constexpr QLatin1StringView Table{"changes"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView Kind{"Kind"};
inline constexpr QLatin1StringView Key{"Key"};
inline constexpr QLatin1StringView TradeName{"Trade Name"};
inline constexpr QLatin1StringView OldValue{"Old Value"};
inline constexpr QLatin1StringView NewValue{"New Value"};
inline constexpr QLatin1StringView OlderRelease{"Older Release"};
inline constexpr QLatin1StringView NewerRelease{"Newer Release"};
// Where the newer release's record is (Null where it has none).
inline constexpr QLatin1StringView ApplicationType{"Application Type"};
inline constexpr QLatin1StringView NDANumber{"New Drug Application (NDA) Number"};
inline constexpr QLatin1StringView ProductNumber{"Product Number"};
inline constexpr QLatin1StringView PatentNumber{"Patent Number"};
inline constexpr QLatin1StringView ExclusivityCode{"Exclusivity Code"};
inline constexpr QLatin1StringView ReleaseTable{"compared release"};
inline constexpr QLatin1StringView ReleaseDate{"Release Date"};
inline constexpr QLatin1StringView Products{"Products"};
inline constexpr QLatin1StringView PatentListings{"Patent Listings"};
inline constexpr QLatin1StringView Exclusivities{"Exclusivities"};
} // namespace Changes

// Each product's listed protection, the values the drug window's row shows, computed by
// the importer as of the release date (ID is the product's). Dates are ISO ("2036-09-03"),
// Null when there is none. A database built before it was kept lacks the table, and the
// program computes the figures from the patent and exclusivity rows instead.
namespace ProductProtection {
inline constexpr QLatin1StringView Table{"product protection"};
inline constexpr QLatin1StringView ID{"ID"};
inline constexpr QLatin1StringView Status{"Status"};
inline constexpr QLatin1StringView ListedEnd{"Listed End"};
inline constexpr QLatin1StringView ListedSetter{"Listed End Set By"};
inline constexpr QLatin1StringView CoreEnd{"Substance Product End"};
inline constexpr QLatin1StringView CoreSetter{"Substance Product End Set By"};
inline constexpr QLatin1StringView Until180{"180-Day Exclusivity End"};
inline constexpr QLatin1StringView MarketedARated{"Marketed A-Rated ANDAs"};
inline constexpr QLatin1StringView FirstApproval{"First ANDA Approval"};
inline constexpr QLatin1StringView AnyAnda{"ANDAs"};
} // namespace ProductProtection

// What each therapeutic equivalence code means ("AB"; a code's number, as in "AB2", is
// not part of it).
namespace TECode {
inline constexpr QLatin1StringView Table{"te code"};
inline constexpr QLatin1StringView Code{"Code"};
inline constexpr QLatin1StringView Meaning{"Meaning"};
} // namespace TECode

// The four tables a reference database must hold. A database without the exclusivity
// tables (built from an older release, or a Jet file) still opens: the exclusivity
// window then finds nothing, and its ribbon button says why.
inline constexpr QLatin1StringView RequiredTables[]
    = {Products::Table, Vocabulary::DosageFormTable, Vocabulary::RouteTable, Patent::Table};

// The columns the windows read, table by table. The route window never reads its
// table's USE RESTRICTIONS.
inline constexpr QLatin1StringView ProductColumns[]
    = {Products::ID,        Products::TradeName, Products::Ingredient,  Products::Strength, Products::DosageForm,
       Products::Route,     Products::Type,      Products::Applicant,   Products::TECode,   Products::ProductNumber,
       Products::NDANumber, Products::RLD,       Products::ApprovalDate};
inline constexpr QLatin1StringView DosageFormColumns[]
    = {Vocabulary::ID,        Vocabulary::Name,    Vocabulary::Definition,  Vocabulary::UseRestrictions,
       Vocabulary::ShortName, Vocabulary::FdaCode, Vocabulary::NciConceptId};
inline constexpr QLatin1StringView RouteColumns[]
    = {Vocabulary::ID,        Vocabulary::Name,    Vocabulary::Definition,
       Vocabulary::ShortName, Vocabulary::FdaCode, Vocabulary::NciConceptId};
inline constexpr QLatin1StringView PatentColumns[] = {Patent::ID,          Patent::PatentNumber,  Patent::ExpireDate,
                                                      Patent::NDANumber,   Patent::ProductNumber, Patent::SubstanceFlag,
                                                      Patent::ProductFlag, Patent::UseCode};

struct RequiredTable
{
    QLatin1StringView table;
    std::span<const QLatin1StringView> columns;
};

inline constexpr RequiredTable RequiredColumns[] = {{Products::Table, ProductColumns},
                                                    {Vocabulary::DosageFormTable, DosageFormColumns},
                                                    {Vocabulary::RouteTable, RouteColumns},
                                                    {Patent::Table, PatentColumns}};

} // namespace Schema
