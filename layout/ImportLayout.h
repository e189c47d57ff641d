#pragma once

// The layout of the reference database: its tables, their columns and where each
// column's values come from in the FDA files, and the indexes. The importer fills
// tables in this layout and the Jet loader builds the same; neither the program nor
// the loader needs the rest of the importer (the zip reader above all).

#include <QLatin1StringView>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace ImportLayout {

// Which part of a source field a column takes. The FDA's "DF;Route" field holds the
// dosage form and the route, split at the first ";" (a route may hold further ";").
// Its strength field may end in notes, each written between "**" (a note cut short
// lacks its closing stars): the strength is the text before the first "**", blanks
// trimmed; the note is the notes' text, stars removed, several joined by "; ".
enum class FieldPart {
    Whole,
    BeforeFirstSemicolon,
    AfterFirstSemicolon,
    StrengthAlone,
    StrengthNote
};

struct ColumnMapping
{
    QLatin1StringView column;
    std::string_view header;
    FieldPart part = FieldPart::Whole;
    // A source column that older releases lack: without it the column holds Null.
    bool optional = false;
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

// The columns of a vocabulary file and table (dosage forms, routes).
std::vector<ColumnMapping> vocabularyColumns();

// The fields of a vocabulary row, in the order of vocabularyColumns().
template<typename Row>
auto vocabularyFields(Row &row)
{
    return std::array{&row.name,      &row.definition, &row.useRestrictions,
                      &row.shortName, &row.fdaCode,    &row.nciConceptId};
}

// The rows of a vocabulary file, in file order, through a reader of its records
// (column(header) gives a column's position, next() moves to a record, field(i) reads
// one of its fields).
template<typename Row, typename Reader>
std::vector<Row> readVocabularyRows(Reader &reader)
{
    std::vector<std::size_t> positions;
    for (const ColumnMapping &c : vocabularyColumns()) {
        positions.push_back(reader.column(c.header));
    }
    std::vector<Row> rows;
    while (reader.next()) {
        Row &row = rows.emplace_back();
        std::size_t i = 0;
        for (std::string *field : vocabularyFields(row)) {
            *field = reader.field(positions[i++]);
        }
    }
    return rows;
}

// The part of a source field that a column takes. A part that is no run of `value`
// (the notes joined) is built in `storage`, which must outlive the result.
std::string_view fieldPart(std::string_view value, FieldPart part, std::string &storage);

extern const TableMapping productsMapping;
extern const TableMapping patentMapping;
extern const TableMapping exclusivityMapping;
extern const TableMapping exclusivityCodeMapping;
extern const TableMapping dosageFormMapping;
extern const TableMapping routeMapping;
// Every table above, in the order the import writes them.
extern const TableMapping teCodeMapping;
extern const TableMapping *const allMappings[7];

// Which FDA release the data is: one row, the date the FDA wrote its product file
// (empty when the source does not tell, as an Access file does not).
extern const std::string CreateReleaseTable;

// The name as std::string, and in brackets as SQL writes it.
std::string text(QLatin1StringView name);
std::string bracketed(const std::string &name);

std::string createTableStatement(const TableMapping &mapping);
// The INSERT of one row of the table: its ID, then a value for each column.
std::string insertStatement(const TableMapping &mapping);
std::string createIndexStatement(const TableMapping &mapping, const IndexDesign &column);

} // namespace ImportLayout

// The CREATE TABLE statements of the tables, as the import runs them.
std::vector<std::string> createTableStatements();

// The CREATE INDEX statements the import runs once the tables are filled.
std::vector<std::string> createIndexStatements();
