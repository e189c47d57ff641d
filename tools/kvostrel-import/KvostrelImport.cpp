#include "KvostrelImport.h"

#include "DelimitedReader.h"
#include "FdaSource.h"
#include "ImportError.h"
#include "OutputFile.h"
#include "SqliteDatabase.h"
#include "TextDecoding.h"
#include "Vocabulary.h"
#include "data/Schema.h"

#include <array>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace {

// Which part of a source field a column takes. The FDA's "DF;Route" field holds the
// dosage form and the route, split at the first ";" (a route may hold further ";").
enum class FieldPart {
    Whole,
    BeforeFirstSemicolon,
    AfterFirstSemicolon
};

struct ColumnMapping
{
    QLatin1StringView column;
    std::string_view header;
    FieldPart part = FieldPart::Whole;
};

// One index: its leading column (which names it) and, when given, the column that
// orders the rows of one value of it.
struct IndexDesign
{
    QLatin1StringView column;
    QLatin1StringView thenBy = {};
};

struct TableMapping
{
    QLatin1StringView table;
    std::vector<ColumnMapping> columns;
    std::vector<IndexDesign> indexedColumns;
};

namespace P = Schema::Products;
namespace V = Schema::Vocabulary;
namespace Pt = Schema::Patent;
namespace E = Schema::Exclusivity;

const TableMapping productsMapping{
    P::Table,
    {{P::TradeName, "Trade_Name"},
     {P::Ingredient, "Ingredient"},
     {P::Strength, "Strength"},
     {P::DosageForm, "DF;Route", FieldPart::BeforeFirstSemicolon},
     {P::Route, "DF;Route", FieldPart::AfterFirstSemicolon},
     {P::Type, "Type"},
     {P::Applicant, "Applicant_Full_Name"},
     {P::TECode, "TE_Code"},
     {P::ProductNumber, "Product_No"},
     {P::NDANumber, "Appl_No"},
     {P::RLD, "RLD"},
     {P::ApprovalDate, "Approval_Date"}},
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
    // (11-18 ms, 8-17 ms without it), which the quick search needs more.
    {{P::TradeName},
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
     {Pt::UseCode, "Patent_Use_Code"}},
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

std::vector<ColumnMapping> vocabularyColumns()
{
    return {{V::Name, "name"},
            {V::Definition, "definition"},
            {V::UseRestrictions, "use_restrictions"},
            {V::ShortName, "short_name"},
            {V::FdaCode, "fda_code"},
            {V::NciConceptId, "nci_concept_id"}};
}

// The fields of a vocabulary row, in the order of vocabularyColumns().
template<typename Row>
auto vocabularyFields(Row &row)
{
    return std::array{&row.name,      &row.definition, &row.useRestrictions,
                      &row.shortName, &row.fdaCode,    &row.nciConceptId};
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

std::string_view fieldPart(std::string_view value, FieldPart part)
{
    const std::size_t semicolon = value.find(';');
    switch (part) {
    case FieldPart::Whole:
        break;
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

// One table to fill from one data file, its columns already found in the file's header.
class TableLoad
{
public:
    TableLoad(const TableMapping &mapping, std::string sourceName, std::string content, char delimiter,
              DelimitedReader::Quoting quoting)
        : m_mapping(mapping),
          m_text(TextDecoding::toUtf8(std::move(content))),
          m_reader(std::move(sourceName), TextDecoding::withoutByteOrderMark(m_text), delimiter, quoting)
    {
        for (const ColumnMapping &c : m_mapping.columns) {
            m_positions.push_back(m_reader.column(c.header));
        }
    }

    // Gathers every value that the column `column` takes, each once.
    void collectDistinct(QLatin1StringView column, DistinctValues &into)
    {
        for (std::size_t i = 0; i < m_mapping.columns.size(); ++i) {
            if (m_mapping.columns[i].column == column) {
                m_collected.emplace_back(i, &into);
            }
        }
    }

    TableRows load(SqliteDatabase &db, const ImportProgress &progress)
    {
        const std::string tableName = text(m_mapping.table);
        const std::string table = bracketed(tableName);
        std::string insert = "INSERT INTO " + table + " VALUES (?";
        for (std::size_t i = 0; i < m_mapping.columns.size(); ++i) {
            insert += ", ?";
        }
        db.execute(createTableStatement(m_mapping));

        SqliteStatement statement = db.prepare(insert + ')');
        constexpr long progressEvery = 4096;
        while (m_reader.next()) {
            statement.bindInteger(1, m_reader.recordCount());
            for (std::size_t i = 0; i < m_positions.size(); ++i) {
                statement.bindTextOrNull(static_cast<int>(i) + 2,
                                         fieldPart(m_reader.field(m_positions[i]), m_mapping.columns[i].part));
            }
            statement.run();
            for (const auto &[i, values] : m_collected) {
                const std::string_view value = fieldPart(m_reader.field(m_positions[i]), m_mapping.columns[i].part);
                if (!value.empty()) {
                    values->try_emplace(foldedCase(value), value);
                }
            }
            if (progress && m_reader.recordCount() % progressEvery == 0) {
                progress(m_reader.sourceName(), m_reader.fractionRead());
            }
        }
        for (const IndexDesign &column : m_mapping.indexedColumns) {
            db.execute(createIndexStatement(m_mapping, column));
        }
        if (progress) {
            progress(m_reader.sourceName(), 1.0);
        }
        return {tableName, m_reader.recordCount()};
    }

private:
    const TableMapping &m_mapping;
    std::string m_text;
    DelimitedReader m_reader;
    std::vector<std::size_t> m_positions;
    std::vector<std::pair<std::size_t, DistinctValues *>> m_collected;
};

// A vocabulary file read whole: its terms, in file order.
Vocabulary readVocabulary(std::string kind, const std::filesystem::path &path)
{
    const std::string text = TextDecoding::toUtf8(readWholeFile(path));
    DelimitedReader reader(path.string(), TextDecoding::withoutByteOrderMark(text), '\t',
                           DelimitedReader::Quoting::None);
    std::vector<std::size_t> positions;
    for (const ColumnMapping &c : vocabularyColumns()) {
        positions.push_back(reader.column(c.header));
    }
    std::vector<VocabularyRow> terms;
    while (reader.next()) {
        VocabularyRow &row = terms.emplace_back();
        std::size_t i = 0;
        for (std::string *field : vocabularyFields(row)) {
            *field = reader.field(positions[i++]);
        }
    }
    return Vocabulary(std::move(kind), path.string(), std::move(terms));
}

// Writes a vocabulary table: the vocabulary's own terms (IDs 1..n in file order), then
// one row for each other value the products use. Reports values that no term stands for.
TableRows writeVocabulary(SqliteDatabase &db, const TableMapping &mapping, const Vocabulary &vocabulary,
                          const DistinctValues &used, std::vector<std::string> &unmatched)
{
    const AddedRows added = vocabulary.rowsFor(used);
    for (const std::string &value : added.unmatched) {
        unmatched.push_back(vocabulary.kind() + " \"" + value + '"');
    }
    db.execute(createTableStatement(mapping));
    SqliteStatement statement
        = db.prepare("INSERT INTO " + bracketed(text(mapping.table)) + " VALUES (?, ?, ?, ?, ?, ?, ?)");
    long id = 0;
    for (const auto *rows : {&vocabulary.terms(), &added.rows}) {
        for (const VocabularyRow &row : *rows) {
            statement.bindInteger(1, ++id);
            int position = 2;
            for (const std::string *field : vocabularyFields(row)) {
                statement.bindTextOrNull(position++, *field);
            }
            statement.run();
        }
    }
    return {text(mapping.table), id};
}

// A table with no source file: created with its indexes, and no rows.
TableRows writeEmptyTable(SqliteDatabase &db, const TableMapping &mapping)
{
    db.execute(createTableStatement(mapping));
    for (const IndexDesign &column : mapping.indexedColumns) {
        db.execute(createIndexStatement(mapping, column));
    }
    return {text(mapping.table), 0};
}

constexpr const TableMapping *allMappings[] = {&productsMapping, &patentMapping,      &dosageFormMapping,
                                               &routeMapping,    &exclusivityMapping, &exclusivityCodeMapping};

} // namespace

// Which FDA release the data is: one row, the date the FDA wrote its product file
// (empty when the source does not tell, as an Access file does not).
const std::string CreateReleaseTable
    = "CREATE TABLE [release] (ID INTEGER PRIMARY KEY, [Release Date] TEXT COLLATE NOCASE)";

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

void checkOutputIsNoInput(const ImportOptions &options)
{
    struct stat output;
    if (stat(options.output.c_str(), &output) != 0) {
        return; // nothing there yet, so it is none of the inputs
    }
    std::vector<std::pair<std::string, std::filesystem::path>> inputs;
    std::error_code ec;
    if (std::filesystem::is_directory(options.fda, ec)) {
        for (const char *name : {"products.txt", "patent.txt", "exclusivity.txt"}) {
            inputs.emplace_back("--fda", options.fda / name);
        }
    } else {
        inputs.emplace_back("--fda", options.fda);
    }
    inputs.emplace_back("--dosage-forms", options.dosageForms);
    inputs.emplace_back("--routes", options.routes);
    if (!options.listingTerms.empty()) {
        inputs.emplace_back("--listing-terms", options.listingTerms);
    }
    if (!options.exclusivityCodes.empty()) {
        inputs.emplace_back("--exclusivity-codes", options.exclusivityCodes);
    }
    for (const auto &[option, path] : inputs) {
        struct stat input;
        if (stat(path.c_str(), &input) == 0 && input.st_dev == output.st_dev && input.st_ino == output.st_ino) {
            throw ImportError("--output " + options.output.string() + " is the same file as " + option + ' '
                              + path.string() + "; writing the database there would destroy that input");
        }
    }
}

std::vector<TableRows> importKvostrel(const ImportOptions &options, const ImportProgress &progress,
                                      const ImportWarning &warning)
{
    checkOutputIsNoInput(options);
    // Every input is read and its header checked before the output is touched.
    std::vector<std::unique_ptr<TableLoad>> loads;
    std::vector<const TableMapping *> emptyTables;
    std::string missingExclusivity;
    std::string releaseDate;
    {
        const FdaSource fda(options.fda);
        releaseDate = fda.writtenOn("products.txt");
        for (const auto &[mapping, file] :
             {std::pair{&productsMapping, "products.txt"}, {&patentMapping, "patent.txt"}}) {
            loads.push_back(std::make_unique<TableLoad>(*mapping, fda.displayName(file), fda.read(file), '~',
                                                        DelimitedReader::Quoting::DoubleQuotes));
        }
        // Older releases and hand-made folders may lack the exclusivity file.
        constexpr const char *exclusivityFile = "exclusivity.txt";
        if (fda.holds(exclusivityFile)) {
            loads.push_back(std::make_unique<TableLoad>(exclusivityMapping, fda.displayName(exclusivityFile),
                                                        fda.read(exclusivityFile), '~',
                                                        DelimitedReader::Quoting::DoubleQuotes));
        } else {
            emptyTables.push_back(&exclusivityMapping);
            missingExclusivity = options.fda.string() + " holds no " + exclusivityFile
                + ", so the database holds no exclusivity records";
        }
    }
    if (!options.exclusivityCodes.empty()) {
        loads.push_back(std::make_unique<TableLoad>(exclusivityCodeMapping, options.exclusivityCodes.string(),
                                                    readWholeFile(options.exclusivityCodes), '\t',
                                                    DelimitedReader::Quoting::None));
    } else {
        emptyTables.push_back(&exclusivityCodeMapping);
    }
    Vocabulary dosageForms = readVocabulary("dosage form", options.dosageForms);
    Vocabulary routes = readVocabulary("route", options.routes);
    if (!options.listingTerms.empty()) {
        readListingTerms(options.listingTerms, {&dosageForms, &routes});
    }
    DistinctValues usedDosageForms, usedRoutes;
    loads.front()->collectDistinct(P::DosageForm, usedDosageForms);
    loads.front()->collectDistinct(P::Route, usedRoutes);

    OutputFile output(options.output);
    std::vector<TableRows> rows;
    std::vector<std::string> unmatched;
    {
        SqliteDatabase db(output.temporaryPath());
        db.execute("BEGIN");
        for (const auto &load : loads) {
            rows.push_back(load->load(db, progress));
        }
        for (const TableMapping *mapping : emptyTables) {
            rows.push_back(writeEmptyTable(db, *mapping));
        }
        rows.push_back(writeVocabulary(db, dosageFormMapping, dosageForms, usedDosageForms, unmatched));
        rows.push_back(writeVocabulary(db, routeMapping, routes, usedRoutes, unmatched));
        db.execute(CreateReleaseTable);
        {
            SqliteStatement release = db.prepare("INSERT INTO [release] VALUES (1, ?)");
            release.bindTextOrNull(1, releaseDate);
            release.run();
        }
        db.execute("COMMIT");
        db.close();
    }
    output.commit();
    if (!missingExclusivity.empty() && warning) {
        warning(missingExclusivity);
    }
    if (!unmatched.empty() && warning) {
        std::string list;
        for (const std::string &value : unmatched) {
            list += (list.empty() ? "" : ", ") + value;
        }
        warning(std::to_string(unmatched.size()) + (unmatched.size() == 1 ? " value" : " values") + " of products.txt "
                + (unmatched.size() == 1 ? "is" : "are")
                + " no vocabulary term, no listing spelling of one, nor made of them"
                + (options.listingTerms.empty() ? " (no --listing-terms given)" : "") + ", so "
                + (unmatched.size() == 1 ? "its row has" : "their rows have") + " no definition: " + list);
    }
    return rows;
}
