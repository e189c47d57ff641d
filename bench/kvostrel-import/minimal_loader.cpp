// The floor bench_kvostrel_import measures kvostrel-import against: the least work that
// puts the same rows into the same tables.
//
// It reads what the importer reads (the FDA zip through the importer's own FdaSource,
// the tab-separated vocabularies), splits the fields and inserts the rows with prepared
// statements in one transaction, on a connection opened as the importer opens its own
// (SqliteDatabase), a column for each column of the importer's layout (ImportLayout).
// The tables and indexes are made with the CREATE statements of a
// database the importer built, each table's indexes once its rows are in. The rows of
// the vocabulary tables that the products add come from the importer's Vocabulary, as
// their text is the importer's own wording (a few hundred rows).
//
// It checks nothing beyond what putting a row in needs: no header or field count
// checks, no control characters, no text decoding, no temporary file, no sync to disk.
// Any failure ends it with status 1.
//
// Usage: bench_kvostrel_import_floor --schema BUILT_DB --fda ZIP --dosage-forms TSV
//            --routes TSV --listing-terms TSV --exclusivity-codes TSV --te-codes TSV --output FILE

#include "FdaSource.h"
#include "layout/ImportLayout.h"
#include "SqliteDatabase.h"
#include "Vocabulary.h"
#include "layout/Schema.h"

#include <sqlite3.h>

#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using namespace ImportLayout;
namespace P = Schema::Products;

[[noreturn]] void fail(const std::string &message)
{
    throw std::runtime_error(message);
}

// Delimited text record by record. A field that opens with a double quote runs to its
// closing quote and reads a doubled quote as one; lines end in LF or CR LF.
class Records
{
public:
    Records(std::string_view text, char delimiter, bool quoted)
        : m_text(text),
          m_delimiter(delimiter),
          m_quoted(quoted)
    {
        while (!m_text.empty() && (m_text.back() == '\n' || m_text.back() == '\r')) {
            m_text.remove_suffix(1);
        }
        next();
        for (const std::string_view name : m_fields) {
            m_header.emplace_back(name);
        }
    }

    std::size_t column(std::string_view name) const
    {
        for (std::size_t i = 0; i < m_header.size(); ++i) {
            if (m_header[i] == name) {
                return i;
            }
        }
        fail("no column " + std::string(name));
    }

    bool next()
    {
        if (m_pos > m_text.size()) {
            return false;
        }
        m_fields.clear();
        const char *const begin = m_text.data();
        const char *const end = begin + m_text.size();
        const char *p = begin + m_pos;
        for (;;) {
            if (m_quoted && p < end && *p == '"') {
                p = unquote(p + 1, end);
            } else {
                const char *stop = p;
                while (stop < end && *stop != m_delimiter && *stop != '\n') {
                    ++stop;
                }
                std::string_view value(p, static_cast<std::size_t>(stop - p));
                if (!value.empty() && value.back() == '\r') {
                    value.remove_suffix(1);
                }
                m_fields.push_back(value);
                p = stop;
            }
            const bool lineEnds = p >= end || *p == '\n';
            ++p;
            if (lineEnds) {
                break;
            }
        }
        m_pos = static_cast<std::size_t>(p - begin);
        return true;
    }

    // A field without the tabs that pad it.
    std::string_view field(std::size_t i) const
    {
        std::string_view value = m_fields[i];
        while (!value.empty() && value.front() == '\t') {
            value.remove_prefix(1);
        }
        while (!value.empty() && value.back() == '\t') {
            value.remove_suffix(1);
        }
        return value;
    }

private:
    const char *unquote(const char *p, const char *end)
    {
        if (m_unquoted.size() <= m_fields.size()) {
            m_unquoted.resize(m_fields.size() + 1);
        }
        std::string &value = m_unquoted[m_fields.size()];
        value.clear();
        for (; p < end; ++p) {
            if (*p == '"') {
                if (p + 1 < end && p[1] == '"') {
                    ++p;
                } else {
                    ++p;
                    break;
                }
            }
            value += *p;
        }
        if (p < end && *p == '\r') {
            ++p;
        }
        m_fields.emplace_back(value);
        return p;
    }

    std::string_view m_text;
    char m_delimiter;
    bool m_quoted;
    std::size_t m_pos = 0;
    std::vector<std::string> m_header;
    std::vector<std::string_view> m_fields;
    std::deque<std::string> m_unquoted; // one per field position; growing keeps the others in place
};

// Distinct values of a column in the order they first appear.
struct Distinct
{
    std::unordered_set<std::string_view> seen;
    std::vector<std::string_view> inOrder;

    void add(std::string_view value)
    {
        if (!value.empty() && seen.insert(value).second) {
            inOrder.push_back(value);
        }
    }
    DistinctValues folded() const
    {
        DistinctValues values;
        for (const std::string_view value : inOrder) {
            values.try_emplace(foldedCase(value), value);
        }
        return values;
    }
};

// Inserts the records of `content` into the table of `mapping`, ID 1..n, a column for
// each of the mapping's columns; `watched` gathers the values of the named columns.
long loadRecords(SqliteDatabase &db, const TableMapping &mapping, std::string_view content, char delimiter, bool quoted,
                 const std::vector<std::pair<QLatin1StringView, Distinct *>> &watched = {})
{
    Records records(content, delimiter, quoted);
    std::vector<std::size_t> positions;
    std::vector<std::pair<std::size_t, Distinct *>> gathered;
    for (const ColumnMapping &c : mapping.columns) {
        for (const auto &[column, distinct] : watched) {
            if (c.column == column) {
                gathered.emplace_back(positions.size(), distinct);
            }
        }
        positions.push_back(records.column(c.header));
    }
    SqliteStatement insert = db.prepare(insertStatement(mapping));
    std::vector<std::string> parts(positions.size());
    long id = 0;
    while (records.next()) {
        insert.bindInteger(1, ++id);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            insert.bindTextOrNull(static_cast<int>(i) + 2,
                                  fieldPart(records.field(positions[i]), mapping.columns[i].part, parts[i]));
        }
        insert.run();
        for (const auto &[i, distinct] : gathered) {
            distinct->add(fieldPart(records.field(positions[i]), mapping.columns[i].part, parts[i]));
        }
    }
    return id;
}

std::vector<VocabularyRow> vocabularyTerms(std::string_view text)
{
    Records records(text, '\t', false);
    return readVocabularyRows<VocabularyRow>(records);
}

void addListingSpellings(std::string_view text, Vocabulary &dosageForms, Vocabulary &routes)
{
    Records records(text, '\t', false);
    const std::size_t kind = records.column("kind"), value = records.column("listing_value"),
                      terms = records.column("terms");
    while (records.next()) {
        (records.field(kind) == "route" ? routes : dosageForms)
            .addListingSpelling(records.field(value), listingTermNames(records.field(terms)));
    }
}

long loadVocabulary(SqliteDatabase &db, const TableMapping &mapping, const Vocabulary &vocabulary, const Distinct &used)
{
    SqliteStatement insert = db.prepare(insertStatement(mapping));
    const AddedRows added = vocabulary.rowsFor(used.folded());
    long id = 0;
    for (const auto *rows : {&vocabulary.terms(), &added.rows}) {
        for (const VocabularyRow &row : *rows) {
            insert.bindInteger(1, ++id);
            int position = 2;
            for (const std::string *field : vocabularyFields(row)) {
                insert.bindTextOrNull(position++, *field);
            }
            insert.run();
        }
    }
    return id;
}

struct SchemaEntry
{
    std::string table;
    std::string create;
    std::vector<std::string> indexes;
};

// The importer's tables in the order it made them, each with its indexes.
std::vector<SchemaEntry> readSchema(const std::string &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        fail(path + ": cannot open");
    }
    std::vector<SchemaEntry> entries;
    sqlite3_stmt *query = nullptr;
    sqlite3_prepare_v2(db, "SELECT type, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid", -1,
                       &query, nullptr);
    while (query != nullptr && sqlite3_step(query) == SQLITE_ROW) {
        const std::string type = reinterpret_cast<const char *>(sqlite3_column_text(query, 0));
        const std::string table = reinterpret_cast<const char *>(sqlite3_column_text(query, 1));
        const std::string sql = reinterpret_cast<const char *>(sqlite3_column_text(query, 2));
        if (type == "table") {
            entries.push_back({table, sql, {}});
        } else {
            for (SchemaEntry &entry : entries) {
                if (entry.table == table) {
                    entry.indexes.push_back(sql);
                }
            }
        }
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    if (entries.empty()) {
        fail(path + ": no tables");
    }
    return entries;
}

std::map<std::string, std::string> parseArguments(int argc, char *argv[])
{
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    for (const char *name : {"--schema", "--fda", "--dosage-forms", "--routes", "--listing-terms",
                             "--exclusivity-codes", "--te-codes", "--output"}) {
        if (!options.contains(name)) {
            fail(std::string("missing ") + name);
        }
    }
    return options;
}

void load(const std::map<std::string, std::string> &options)
{
    const std::vector<SchemaEntry> schema = readSchema(options.at("--schema"));
    std::string products, patents, exclusivity, releaseDate;
    {
        const FdaSource fda(options.at("--fda"));
        products = fda.read("products.txt");
        patents = fda.read("patent.txt");
        exclusivity = fda.read("exclusivity.txt");
        releaseDate = fda.writtenOn("products.txt");
    }
    const std::string exclusivityCodes = readWholeFile(options.at("--exclusivity-codes"));
    const std::string teCodes = readWholeFile(options.at("--te-codes"));
    Vocabulary dosageForms("dosage form", options.at("--dosage-forms"),
                           vocabularyTerms(readWholeFile(options.at("--dosage-forms"))));
    Vocabulary routes("route", options.at("--routes"), vocabularyTerms(readWholeFile(options.at("--routes"))));
    addListingSpellings(readWholeFile(options.at("--listing-terms")), dosageForms, routes);

    SqliteDatabase output(options.at("--output"));
    output.execute("BEGIN");
    Distinct usedDosageForms, usedRoutes;
    for (const SchemaEntry &entry : schema) {
        output.execute(entry.create);
        const std::string &t = entry.table;
        const auto is = [&t](const TableMapping &mapping) { return t == text(mapping.table); };
        if (is(productsMapping)) {
            loadRecords(output, productsMapping, products, '~', true,
                        {{P::DosageForm, &usedDosageForms}, {P::Route, &usedRoutes}});
        } else if (is(patentMapping)) {
            loadRecords(output, patentMapping, patents, '~', true);
        } else if (is(exclusivityMapping)) {
            loadRecords(output, exclusivityMapping, exclusivity, '~', true);
        } else if (is(exclusivityCodeMapping)) {
            loadRecords(output, exclusivityCodeMapping, exclusivityCodes, '\t', false);
        } else if (is(teCodeMapping)) {
            loadRecords(output, teCodeMapping, teCodes, '\t', false);
        } else if (t == "product protection") {
            // Computed by the importer from the rows above; the floor loads rows only
            // and leaves it empty (the comparison of rows skips it).
        } else if (is(dosageFormMapping)) {
            loadVocabulary(output, dosageFormMapping, dosageForms, usedDosageForms);
        } else if (is(routeMapping)) {
            loadVocabulary(output, routeMapping, routes, usedRoutes);
        } else if (t == "release") {
            SqliteStatement insert = output.prepare("INSERT INTO [release] VALUES (1, ?)");
            insert.bindTextOrNull(1, releaseDate);
            insert.run();
        } else {
            fail("no source for the table " + t);
        }
        for (const std::string &index : entry.indexes) {
            output.execute(index);
        }
    }
    output.execute("COMMIT");
    output.close();
}

} // namespace

int main(int argc, char *argv[])
{
    try {
        load(parseArguments(argc, argv));
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_kvostrel_import_floor: %s\n", error.what());
        return 1;
    }
}
