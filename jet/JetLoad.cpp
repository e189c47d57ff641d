#include "jet/JetLoad.h"

#include "layout/ImportLayout.h"
#include "layout/Schema.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace Jet {

namespace {

std::string text(QLatin1StringView name)
{
    return std::string(name.data(), static_cast<std::size_t>(name.size()));
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string inQuotes(std::string_view name)
{
    return '"' + std::string(name) + '"';
}

class Statement
{
public:
    Statement(sqlite3 *db, const std::string &sql)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

void execute(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string reason = error != nullptr ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + reason);
    }
}

// One of the four tables: its columns as the importer lays them out, the columns the
// windows read, and where each column's value lies in the Jet table's rows.
struct Target
{
    std::string name;
    std::vector<std::string> columns; // in table order; the first is ID
    std::vector<std::string> required;
    std::vector<std::optional<std::size_t>> source; // per column: the Jet column, or none (Null)
    bool seen = false;
    long rows = 0;
};

class Loader : public StreamSink
{
public:
    explicit Loader(sqlite3 *db)
        : m_db(db)
    {
        for (const std::string &create : createTableStatements()) {
            execute(db, create);
        }
        for (const Schema::RequiredTable &required : Schema::RequiredColumns) {
            Target &target = m_targets.emplace_back();
            target.name = text(required.table);
            for (const QLatin1StringView column : required.columns) {
                target.required.push_back(text(column));
            }
            Statement info(db, "PRAGMA table_info(" + inQuotes(target.name) + ')');
            while (sqlite3_step(info.get()) == SQLITE_ROW) {
                target.columns.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(info.get(), 1)));
            }
        }
    }

    std::vector<std::string> tableNames() const
    {
        std::vector<std::string> names;
        for (const Target &target : m_targets) {
            names.push_back(target.name);
        }
        return names;
    }

    void beginTable(const std::string &name, const std::vector<Column> &columns) override
    {
        const auto found = std::find_if(m_targets.begin(), m_targets.end(),
                                        [&](const Target &t) { return !t.seen && sameIgnoringCase(t.name, name); });
        m_current = found == m_targets.end() ? nullptr : &*found;
        m_insert.reset();
        if (!m_current) {
            return; // a table asked for twice in other letter cases: the first counts
        }
        m_current->seen = true;
        m_current->source.clear();
        std::vector<std::string> lacking;
        for (const std::string &column : m_current->columns) {
            const auto at = std::find_if(columns.begin(), columns.end(), [&](const Column &c) {
                return c.kind != ValueKind::Unsupported && sameIgnoringCase(c.name, column);
            });
            if (at != columns.end()) {
                m_current->source.emplace_back(static_cast<std::size_t>(at - columns.begin()));
                continue;
            }
            m_current->source.emplace_back();
            if (std::find(m_current->required.begin(), m_current->required.end(), column)
                != m_current->required.end()) {
                lacking.push_back(column);
            }
        }
        if (!lacking.empty()) {
            m_missingColumns.emplace_back(m_current->name, std::move(lacking));
            m_current = nullptr; // its rows are not loaded
            return;
        }
        std::string insert = "INSERT INTO " + inQuotes(m_current->name) + " VALUES (?";
        for (std::size_t i = 1; i < m_current->columns.size(); ++i) {
            insert += ", ?";
        }
        m_insert = std::make_unique<Statement>(m_db, insert + ')');
    }

    void row(const std::vector<std::optional<std::string_view>> &values) override
    {
        if (!m_insert) {
            return;
        }
        sqlite3_stmt *insert = m_insert->get();
        const std::optional<std::string_view> id = values[*m_current->source[0]];
        long long key = 0;
        if (!id) {
            throw damaged("a row of its table " + inQuotes(m_current->name) + " has no ID");
        }
        const auto [end, error] = std::from_chars(id->data(), id->data() + id->size(), key);
        if (error != std::errc() || end != id->data() + id->size()) {
            throw damaged("its table " + inQuotes(m_current->name) + " holds the ID " + inQuotes(*id)
                          + ", which is no whole number");
        }
        sqlite3_bind_int64(insert, 1, key);
        for (std::size_t i = 1; i < m_current->source.size(); ++i) {
            const std::optional<std::size_t> from = m_current->source[i];
            if (!from || !values[*from]) {
                sqlite3_bind_null(insert, static_cast<int>(i) + 1);
            } else {
                const std::string_view value = *values[*from];
                sqlite3_bind_text(insert, static_cast<int>(i) + 1, value.data(), static_cast<int>(value.size()),
                                  SQLITE_STATIC);
            }
        }
        const int rc = sqlite3_step(insert);
        sqlite3_reset(insert);
        if ((rc & 0xff) == SQLITE_CONSTRAINT) { // also an extended code, where the handle gives those
            throw damaged("its table " + inQuotes(m_current->name) + " holds the ID " + std::to_string(key) + " twice");
        }
        if (rc != SQLITE_DONE) {
            throw std::runtime_error(std::string("loading a row failed: ") + sqlite3_errmsg(m_db));
        }
        ++m_current->rows;
    }

    void endTable(std::uint64_t) override
    {
        m_insert.reset();
        m_current = nullptr;
    }

    // Names every table and column the file lacks, or adds the indexes.
    std::vector<LoadedTable> finish()
    {
        ReadError incomplete(ReadError::Kind::Incomplete, "tables or columns are missing");
        for (const Target &target : m_targets) {
            if (!target.seen) {
                incomplete.missingTables.push_back(target.name);
            }
        }
        incomplete.missingColumns = m_missingColumns;
        if (!incomplete.missingTables.empty() || !incomplete.missingColumns.empty()) {
            throw incomplete;
        }
        for (const std::string &index : createIndexStatements()) {
            execute(m_db, index);
        }
        std::vector<LoadedTable> loaded;
        for (const Target &target : m_targets) {
            loaded.push_back({target.name, target.rows});
        }
        return loaded;
    }

private:
    static ReadError damaged(const std::string &why) { return ReadError(ReadError::Kind::Damaged, why); }

    sqlite3 *m_db;
    std::vector<Target> m_targets;
    Target *m_current = nullptr;
    std::unique_ptr<Statement> m_insert;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_missingColumns;
};

} // namespace

std::vector<LoadedTable> loadFile(sqlite3 *db, const std::string &reader, const std::string &path,
                                  const ReadLimits &limits)
{
    execute(db, "BEGIN");
    try {
        Loader loader(db);
        readFile(reader, path, loader.tableNames(), loader, limits);
        std::vector<LoadedTable> loaded = loader.finish();
        execute(db, "COMMIT");
        return loaded;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace Jet
