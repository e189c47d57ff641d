#include "KvostrelImport.h"

#include "DelimitedReader.h"
#include "FdaSource.h"
#include "ImportError.h"
#include "layout/ImportLayout.h"
#include "OutputFile.h"
#include "ReleaseChanges.h"
#include "SqliteDatabase.h"
#include "TextDecoding.h"
#include "Vocabulary.h"
#include "layout/Schema.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <future>
#include <cctype>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

using namespace ImportLayout;

// The columns of the FDA files that hold dates, and whether every record has one.
struct DateColumn
{
    std::string_view header;
    bool required;
};
constexpr DateColumn fdaDateColumns[] = {{"Approval_Date", false},
                                         {"Patent_Expire_Date_Text", true},
                                         {"Submission_Date", false},
                                         {"Exclusivity_Date", true}};
namespace P = Schema::Products;

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const DateColumn *fdaDateColumn(std::string_view header)
{
    const auto found = std::find_if(std::begin(fdaDateColumns), std::end(fdaDateColumns),
                                    [header](const DateColumn &c) { return equalIgnoringCase(c.header, header); });
    return found == std::end(fdaDateColumns) ? nullptr : found;
}

// A date as the FDA writes it ("Oct 7, 2014", "Approved Prior to Jan 1, 1982").
bool isWholeFdaDate(std::string_view text)
{
    constexpr std::string_view prior = "Approved Prior to ";
    if (text.size() > prior.size() && equalIgnoringCase(text.substr(0, prior.size()), prior)) {
        text.remove_prefix(prior.size());
    }
    constexpr std::string_view months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::size_t comma = text.find(", ");
    return text.size() >= 11 && std::find(std::begin(months), std::end(months), text.substr(0, 3)) != std::end(months)
        && text[3] == ' ' && comma != std::string_view::npos && comma >= 5 && comma <= 6
        && digits(text.substr(4, comma - 4)) && text.size() == comma + 6 && digits(text.substr(comma + 2));
}

// One table to fill from one data file, its columns already found in the file's header.
class TableLoad
{
public:
    TableLoad(const TableMapping &mapping, std::string sourceName, std::string content, char delimiter,
              DelimitedReader::Quoting quoting, DelimitedReader::Ending ending)
        : m_mapping(mapping),
          m_text(std::move(content)),
          m_reader(std::move(sourceName), TextDecoding::withoutByteOrderMark(m_text), delimiter, quoting, ending),
          m_lastDate(ending == DelimitedReader::Ending::NoLineEnd
                         ? fdaDateColumn(m_reader.columnName(m_reader.columnCount() - 1))
                         : nullptr)
    {
        for (const ColumnMapping &c : m_mapping.columns) {
            m_positions.push_back(c.optional && !m_reader.hasColumn(c.header) ? NoColumn : m_reader.column(c.header));
        }
        m_parts.resize(m_positions.size());
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

    // Keeps every record's values, in the mapping's column order, in `into` as well.
    void keepRows(std::vector<std::vector<std::string>> &into) { m_kept = &into; }

    // Fills the table; a warning about its text, if any, goes to `warnings`.
    TableRows load(SqliteDatabase &db, const ImportProgress &progress, std::vector<std::string> &warnings)
    {
        const std::string tableName = text(m_mapping.table);
        db.execute(createTableStatement(m_mapping));

        SqliteStatement statement = db.prepare(insertStatement(m_mapping));
        constexpr long progressEvery = 4096;
        while (m_reader.next()) {
            if (m_lastDate != nullptr && m_reader.atLastRecord()) {
                checkLastDateIsWhole();
            }
            statement.bindInteger(1, m_reader.recordCount());
            for (std::size_t i = 0; i < m_positions.size(); ++i) {
                statement.bindTextOrNull(static_cast<int>(i) + 2, part(i));
            }
            statement.run();
            if (m_kept != nullptr) {
                std::vector<std::string> &row = m_kept->emplace_back();
                row.reserve(m_positions.size());
                for (std::size_t i = 0; i < m_positions.size(); ++i) {
                    row.emplace_back(part(i));
                }
            }
            for (const auto &[i, values] : m_collected) {
                const std::string_view value = part(i);
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
        if (std::string warning = m_reader.reinterpretedWarning(); !warning.empty()) {
            warnings.push_back(std::move(warning));
        }
        return {tableName, m_reader.recordCount()};
    }

private:
    static constexpr std::size_t NoColumn = std::size_t(-1);

    // What column `i` takes of the current record (nothing from a column the file lacks).
    std::string_view part(std::size_t i)
    {
        return m_positions[i] == NoColumn
            ? std::string_view()
            : fieldPart(m_reader.field(m_positions[i]), m_mapping.columns[i].part, m_parts[i]);
    }

    // A file the FDA ends right after its last record, cut inside that record's last
    // field, keeps every field; where that field is a date, the cut shows (unless it
    // falls right before a date that may be missing).
    void checkLastDateIsWhole() const
    {
        const std::size_t last = m_reader.columnCount() - 1;
        const std::string_view date = m_reader.field(last);
        if (date.empty() ? m_lastDate->required : !isWholeFdaDate(date)) {
            throw ImportError(m_reader.sourceName() + ", line " + std::to_string(m_reader.lineNumber())
                              + ": the last line ends in \"" + std::string(date) + "\", which is no whole date for "
                              + m_reader.columnName(last) + "; the file looks cut short");
        }
    }

    const TableMapping &m_mapping;
    std::string m_text;
    DelimitedReader m_reader;
    const DateColumn *m_lastDate; // the last column, when it holds dates
    std::vector<std::size_t> m_positions;
    std::vector<std::string> m_parts; // per column: a part built from its field, while it is bound
    std::vector<std::pair<std::size_t, DistinctValues *>> m_collected;
    std::vector<std::vector<std::string>> *m_kept = nullptr;
};

// A vocabulary file read whole: its terms, in file order.
Vocabulary readVocabulary(std::string kind, const std::filesystem::path &path, std::vector<std::string> &warnings)
{
    const std::string text = readWholeFile(path);
    DelimitedReader reader(path.string(), TextDecoding::withoutByteOrderMark(text), '\t',
                           DelimitedReader::Quoting::None, DelimitedReader::Ending::LineEnd);
    Vocabulary vocabulary(std::move(kind), path.string(), readVocabularyRows<VocabularyRow>(reader));
    if (std::string warning = reader.reinterpretedWarning(); !warning.empty()) {
        warnings.push_back(std::move(warning));
    }
    return vocabulary;
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
    SqliteStatement statement = db.prepare(insertStatement(mapping));
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

} // namespace

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
    if (!options.teCodes.empty()) {
        inputs.emplace_back("--te-codes", options.teCodes);
    }
    if (!options.previous.empty()) {
        inputs.emplace_back("--previous", options.previous);
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
    std::vector<std::string> warnings;
    {
        const FdaSource fda(options.fda);
        releaseDate = fda.writtenOn("products.txt");
        // A file of the archive is proven whole by its checksum; one in a folder only by
        // ending as the FDA ends its files.
        const auto ending = fda.isArchive() ? DelimitedReader::Ending::Any : DelimitedReader::Ending::NoLineEnd;
        for (const auto &[mapping, file] :
             {std::pair{&productsMapping, "products.txt"}, {&patentMapping, "patent.txt"}}) {
            loads.push_back(std::make_unique<TableLoad>(*mapping, fda.displayName(file), fda.read(file), '~',
                                                        DelimitedReader::Quoting::DoubleQuotes, ending));
        }
        // Older releases and hand-made folders may lack the exclusivity file.
        constexpr const char *exclusivityFile = "exclusivity.txt";
        if (fda.holds(exclusivityFile)) {
            loads.push_back(std::make_unique<TableLoad>(exclusivityMapping, fda.displayName(exclusivityFile),
                                                        fda.read(exclusivityFile), '~',
                                                        DelimitedReader::Quoting::DoubleQuotes, ending));
        } else {
            emptyTables.push_back(&exclusivityMapping);
            missingExclusivity = options.fda.string() + " holds no " + exclusivityFile
                + ", so the database holds no exclusivity records";
        }
    }
    if (!options.exclusivityCodes.empty()) {
        loads.push_back(std::make_unique<TableLoad>(exclusivityCodeMapping, options.exclusivityCodes.string(),
                                                    readWholeFile(options.exclusivityCodes), '\t',
                                                    DelimitedReader::Quoting::None, DelimitedReader::Ending::LineEnd));
    } else {
        emptyTables.push_back(&exclusivityCodeMapping);
    }
    if (!options.teCodes.empty()) {
        loads.push_back(std::make_unique<TableLoad>(teCodeMapping, options.teCodes.string(),
                                                    readWholeFile(options.teCodes), '\t',
                                                    DelimitedReader::Quoting::None, DelimitedReader::Ending::LineEnd));
    } else {
        emptyTables.push_back(&teCodeMapping);
    }
    Vocabulary dosageForms = readVocabulary("dosage form", options.dosageForms, warnings);
    Vocabulary routes = readVocabulary("route", options.routes, warnings);
    if (!options.listingTerms.empty()) {
        readListingTerms(options.listingTerms, {&dosageForms, &routes}, warnings);
    }
    // The older release is read on a thread of its own while this one loads the newer;
    // a fault in it fails the run before the output is replaced.
    std::future<ReleaseRecords> olderRelease;
    ReleaseRecords newer;
    if (!options.previous.empty()) {
        olderRelease = std::async(std::launch::async, readRelease, options.previous);
        newer.date = releaseDate;
        for (std::size_t i = 0; i < loads.size(); ++i) {
            const std::array<std::vector<std::vector<std::string>> *, 3> tables
                = {&newer.products, &newer.patents, &newer.exclusivities};
            // products, patent, then exclusivity when the release holds it
            if (i < 2 || (i == 2 && missingExclusivity.empty())) {
                loads[i]->keepRows(*tables[i]);
            }
        }
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
            rows.push_back(load->load(db, progress, warnings));
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
        if (!options.previous.empty()) {
            const ReleaseRecords older = olderRelease.get();
            const ReleaseComparison comparison = compareReleases(older, newer);
            writeChanges(db, comparison, older.date, releaseDate);
            rows.push_back({text(Schema::Changes::Table), static_cast<long>(comparison.changes.size())});
        }
        db.execute("COMMIT");
        db.close();
    }
    if (options.derivedTables) {
        for (TableRows &table : options.derivedTables(output.temporaryPath())) {
            rows.push_back(std::move(table));
        }
    }
    checkNoTableEmptied(options.output, rows, options.allowEmpty);
    output.commit();
    if (warning) {
        for (const std::string &text : warnings) {
            warning(text);
        }
    }
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

void checkNoTableEmptied(const std::filesystem::path &previous, const std::vector<TableRows> &written,
                         const std::vector<std::string> &allowEmpty)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(previous, ec)) {
        return; // nothing to lose
    }
    {
        // An Access file holds none of the tables the importer adds; it is read by the
        // program as it is and replaced whole.
        std::ifstream file(previous, std::ios::binary);
        char header[16] = {};
        if (!file.read(header, sizeof header)
            || std::string_view(header, sizeof header) != std::string_view("SQLite format 3", 16)) {
            return;
        }
    }
    sqlite3 *db = nullptr;
    const std::string shown = previous.string();
    const auto fail = [&](const std::string &what) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw ImportError(shown + ": cannot tell which tables it fills (" + what + ": " + message
                          + "), so it is left as it was");
    };
    if (sqlite3_open_v2(shown.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fail("open");
    }
    for (const TableRows &table : written) {
        if (table.rows != 0 || std::find(allowEmpty.begin(), allowEmpty.end(), table.table) != allowEmpty.end()) {
            continue;
        }
        // A table the earlier file lacks was never filled.
        const std::string sql = "SELECT EXISTS (SELECT 1 FROM \"" + table.table + "\")";
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            const bool noSuchTable = std::string_view(sqlite3_errmsg(db)).starts_with("no such table");
            if (noSuchTable) {
                continue;
            }
            fail("read " + table.table);
        }
        const int step = sqlite3_step(statement);
        const bool filled = step == SQLITE_ROW && sqlite3_column_int(statement, 0) != 0;
        sqlite3_finalize(statement);
        if (step != SQLITE_ROW) {
            fail("read " + table.table);
        }
        if (filled) {
            sqlite3_close(db);
            throw ImportError("the table \"" + table.table + "\" would be left empty, and " + shown
                              + " holds rows of it; give --allow-empty \"" + table.table
                              + "\" to write it empty all the same");
        }
    }
    sqlite3_close(db);
}
