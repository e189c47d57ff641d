#include "SqliteDatabase.h"

#include "ImportError.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const std::string &sql, std::string errorPrefix)
    : m_db(db),
      m_errorPrefix(std::move(errorPrefix))
{
    if (sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &m_statement, nullptr) != SQLITE_OK) {
        fail();
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bindInteger(int position, long long value)
{
    if (sqlite3_bind_int64(m_statement, position, value) != SQLITE_OK) {
        fail();
    }
}

void SqliteStatement::bindTextOrNull(int position, std::string_view text)
{
    const int rc = text.empty()
        ? sqlite3_bind_null(m_statement, position)
        : sqlite3_bind_text(m_statement, position, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    if (rc != SQLITE_OK) {
        fail();
    }
}

void SqliteStatement::run()
{
    if (sqlite3_step(m_statement) != SQLITE_DONE) {
        fail();
    }
    sqlite3_reset(m_statement);
}

void SqliteStatement::fail() const
{
    throw ImportError(m_errorPrefix + sqlite3_errmsg(m_db));
}

SqliteDatabase::SqliteDatabase(const std::filesystem::path &path)
    : m_errorPrefix(path.string() + ": ")
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string reason = m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw ImportError(m_errorPrefix + "cannot create the database: " + reason);
    }
    execute("PRAGMA locking_mode = EXCLUSIVE; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            " PRAGMA cache_size = -65536; PRAGMA temp_store = MEMORY;");
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::execute(const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message != nullptr ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        throw ImportError(m_errorPrefix + reason);
    }
}

SqliteStatement SqliteDatabase::prepare(const std::string &sql)
{
    return SqliteStatement(m_db, sql, m_errorPrefix);
}

void SqliteDatabase::close()
{
    if (sqlite3_close(m_db) != SQLITE_OK) {
        throw ImportError(m_errorPrefix + "cannot close the database: " + sqlite3_errmsg(m_db));
    }
    m_db = nullptr;
}
