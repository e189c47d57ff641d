#include "layout/ImportLayout.h"

#include "layout/Schema.h"

namespace ImportLayout {

namespace P = Schema::Products;
namespace V = Schema::Vocabulary;
namespace Pt = Schema::Patent;
namespace E = Schema::Exclusivity;

const TableMapping productsMapping{
    P::Table,
    {{P::TradeName, "Trade_Name"},
     {P::Ingredient, "Ingredient"},
     {P::Strength, "Strength", FieldPart::StrengthAlone},
     {P::DosageForm, "DF;Route", FieldPart::BeforeFirstSemicolon},
     {P::Route, "DF;Route", FieldPart::AfterFirstSemicolon},
     {P::Type, "Type"},
     {P::Applicant, "Applicant_Full_Name"},
     {P::TECode, "TE_Code"},
     {P::ProductNumber, "Product_No"},
     {P::NDANumber, "Appl_No"},
     {P::RLD, "RLD"},
     {P::ApprovalDate, "Approval_Date"},
     {P::ApplicationType, "Appl_Type", FieldPart::Whole, true},
     {P::ApplicantShortName, "Applicant", FieldPart::Whole, true},
     {P::RS, "RS", FieldPart::Whole, true},
     {P::StrengthNote, "Strength", FieldPart::StrengthNote}},
    // Chosen by bench_statements, which times every statement the windows send with its
    // plan. The name lists read trade names and ingredients in order (the trade-name
    // index covers the drug list: 10 ms for every product, 30 ms without it), and the
    // ingredient window looks up whole ingredient values. The navigations list the
    // products of exactly one dosage form or route in trade-name order: an index on the
    // value and then the trade name covers them (TABLET 12.4 -> 3.6 ms, ORAL 14.9 ->
    // 5.8 ms); one on the value alone would sort afterwards and make ORAL slower (20 ms),
    // and would list products of one trade name in another order than the trade-name
    // index does. The same for an application (9.5 -> 0.01 ms), and its product with
    // the number a patent names (5.0 -> 0.02 ms). Searches that include a text
    // ('%x%') cannot use an index; on other columns they walk the trade-name index
    // (11-18 ms, 8-17 ms without it), which the quick search needs more. A product's
    // substitutes share its strength and ingredients: an index on both finds the few
    // candidates at once (see bench_statements).
    {{P::TradeName},
     {P::Strength, P::Ingredient},
     {P::Ingredient},
     {P::DosageForm, P::TradeName},
     {P::Route, P::TradeName},
     {P::NDANumber, P::TradeName}},
};

const TableMapping patentMapping{
    Pt::Table,
    {{Pt::PatentNumber, "Patent_No"},
     {Pt::ExpireDate, "Patent_Expire_Date_Text"},
     {Pt::NDANumber, "Appl_No"},
     {Pt::ProductNumber, "Product_No"},
     {Pt::SubstanceFlag, "Drug_Substance_Flag"},
     {Pt::ProductFlag, "Drug_Product_Flag"},
     {Pt::UseCode, "Patent_Use_Code"},
     {Pt::ApplicationType, "Appl_Type", FieldPart::Whole, true},
     {Pt::DelistFlag, "Delist_Flag", FieldPart::Whole, true},
     {Pt::SubmissionDate, "Submission_Date", FieldPart::Whole, true}},
    // The patent list in number order, and the patents of one application in that
    // order (the navigation from a product: 4.2 -> 0.06 ms).
    {{Pt::PatentNumber}, {Pt::NDANumber, Pt::PatentNumber}},
};

const TableMapping exclusivityMapping{
    E::Table,
    {{E::Code, "Exclusivity_Code"},
     {E::Date, "Exclusivity_Date"},
     {E::NDANumber, "Appl_No"},
     {E::ProductNumber, "Product_No"},
     {E::ApplicationType, "Appl_Type"}},
    // The records of one application by product (the navigation from a product), and
    // the code list.
    {{E::NDANumber, E::ProductNumber}, {E::Code}},
};

// The families of exclusivity codes and what each stands for, as the code-family file
// lists them.
const TableMapping exclusivityCodeMapping{
    E::CodeTable,
    {{E::CodeFamily, "code"}, {E::CodeMeaning, "meaning"}},
    {{E::CodeFamily}},
};

// The therapeutic equivalence codes and what each means, as the code file lists them.
const TableMapping teCodeMapping{
    Schema::TECode::Table,
    {{Schema::TECode::Code, "code"}, {Schema::TECode::Meaning, "meaning"}},
    {{Schema::TECode::Code}},
};

std::vector<ColumnMapping> vocabularyColumns()
{
    return {{V::Name, "name"},
            {V::Definition, "definition"},
            {V::UseRestrictions, "use_restrictions"},
            {V::ShortName, "short_name"},
            {V::FdaCode, "fda_code"},
            {V::NciConceptId, "nci_concept_id"}};
}

const TableMapping dosageFormMapping{V::DosageFormTable, vocabularyColumns(), {}};
const TableMapping routeMapping{V::RouteTable, vocabularyColumns(), {}};

std::string text(QLatin1StringView name)
{
    return std::string(name.data(), static_cast<std::size_t>(name.size()));
}

std::string bracketed(const std::string &name)
{
    return '[' + name + ']';
}

namespace {

std::string_view trimmed(std::string_view text, std::string_view blanks = " ")
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

std::string_view fieldPart(std::string_view value, FieldPart part, std::string &storage)
{
    constexpr std::string_view noteMark = "**";
    const std::size_t semicolon = value.find(';');
    switch (part) {
    case FieldPart::Whole:
        break;
    case FieldPart::StrengthAlone:
        return trimmed(value.substr(0, value.find(noteMark)));
    case FieldPart::StrengthNote: {
        std::size_t at = value.find(noteMark);
        if (at == std::string_view::npos) {
            return {};
        }
        storage.clear();
        while (at != std::string_view::npos) {
            const std::size_t start = at + noteMark.size();
            at = value.find(noteMark, start);
            const std::string_view note = trimmed(
                value.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start), " *");
            if (!note.empty()) {
                storage += (storage.empty() ? "" : "; ") + std::string(note);
            }
        }
        return storage;
    }
    case FieldPart::BeforeFirstSemicolon:
        return value.substr(0, semicolon);
    case FieldPart::AfterFirstSemicolon:
        return semicolon == std::string_view::npos ? std::string_view() : value.substr(semicolon + 1);
    }
    return value;
}

std::string createIndexStatement(const TableMapping &mapping, const IndexDesign &column)
{
    const std::string tableName = text(mapping.table);
    return "CREATE INDEX " + bracketed(tableName + " by " + text(column.column)) + " ON " + bracketed(tableName) + " ("
        + bracketed(text(column.column))
        + (column.thenBy.isEmpty() ? std::string() : ", " + bracketed(text(column.thenBy))) + ')';
}

std::string createTableStatement(const TableMapping &mapping)
{
    std::string create = "CREATE TABLE " + bracketed(text(mapping.table)) + " (ID INTEGER PRIMARY KEY";
    for (const ColumnMapping &c : mapping.columns) {
        create += ", " + bracketed(text(c.column)) + " TEXT COLLATE NOCASE";
    }
    return create + ')';
}

std::string insertStatement(const TableMapping &mapping)
{
    std::string insert = "INSERT INTO " + bracketed(text(mapping.table)) + " VALUES (?";
    for (std::size_t i = 0; i < mapping.columns.size(); ++i) {
        insert += ", ?";
    }
    return insert + ')';
}

const TableMapping *const allMappings[7]
    = {&productsMapping,    &patentMapping,          &dosageFormMapping, &routeMapping,
       &exclusivityMapping, &exclusivityCodeMapping, &teCodeMapping};

const std::string CreateReleaseTable
    = "CREATE TABLE [release] (ID INTEGER PRIMARY KEY, [Release Date] TEXT COLLATE NOCASE)";

} // namespace ImportLayout

using namespace ImportLayout;

std::vector<std::string> createTableStatements()
{
    std::vector<std::string> statements;
    for (const TableMapping *mapping : allMappings) {
        statements.push_back(createTableStatement(*mapping));
    }
    statements.push_back(CreateReleaseTable);
    return statements;
}

std::vector<std::string> createIndexStatements()
{
    std::vector<std::string> statements;
    for (const TableMapping *mapping : allMappings) {
        for (const IndexDesign &column : mapping->indexedColumns) {
            statements.push_back(createIndexStatement(*mapping, column));
        }
    }
    return statements;
}
