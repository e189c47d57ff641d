#pragma once

#include <filesystem>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement that is run many times with new values.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const std::string &sql, std::string errorPrefix);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bindInteger(int position, long long value);
    // Binds text without copying it (it must stay valid until run()); empty text binds Null.
    void bindTextOrNull(int position, std::string_view text);
    // Runs the statement once and makes it ready for the next values.
    void run();

private:
    [[noreturn]] void fail() const;

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
    std::string m_errorPrefix;
};

// A database file opened for writing by one process alone, tuned for a bulk load into
// a file nobody else reads yet: no rollback journal, no syncs (the caller syncs the
// finished file). The file keeps the default rollback-journal format, so readers that
// open it read-only never create files beside it.
class SqliteDatabase
{
public:
    explicit SqliteDatabase(const std::filesystem::path &path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    void execute(const std::string &sql);
    SqliteStatement prepare(const std::string &sql);
    // The open file's SQLite handle, for loaders that work with the C API themselves.
    sqlite3 *handle() const { return m_db; }
    // Closes the file; throws if SQLite reports an error while closing.
    void close();

private:
    std::string m_errorPrefix;
    sqlite3 *m_db = nullptr;
};
