// Not a test: builds a copy of kvostrel.mdb with N times the products, for the
// benchmarks' figures at 10x. Same schema and indexes (the copy is made with VACUUM
// INTO, and the indexes take the new rows as they come); every product is repeated
// N - 1 times under new keys, with all its fields. Other tables stay as they are.
//
//   make_10x_database SOURCE TARGET [FACTOR]      (FACTOR 10 unless given)

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(sqlite3 *db, const std::string &what)
{
    std::fprintf(stderr, "make_10x_database: %s: %s\n", what.c_str(), db ? sqlite3_errmsg(db) : "no database");
    std::exit(1);
}

void execute(sqlite3 *db, const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "";
        sqlite3_free(message);
        fail(db, sql.substr(0, 80) + " (" + text + ")");
    }
}

std::string quoted(const std::string &text)
{
    std::string result = "'";
    for (const char c : text) {
        result += c;
        if (c == '\'') {
            result += '\'';
        }
    }
    return result + "'";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_10x_database SOURCE TARGET [FACTOR]\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string target = argv[2];
    const int factor = argc > 3 ? std::atoi(argv[3]) : 10;
    if (factor < 1) {
        std::fprintf(stderr, "make_10x_database: FACTOR must be 1 or more\n");
        return 2;
    }
    std::remove(target.c_str());

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fail(db, "open " + source);
    }
    execute(db, "VACUUM INTO " + quoted(target));
    sqlite3_close(db);

    if (sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        fail(db, "open " + target);
    }
    // Every column but the key, in the table's order.
    std::string columns;
    sqlite3_stmt *info = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA table_info(products)", -1, &info, nullptr) != SQLITE_OK) {
        fail(db, "table_info");
    }
    while (sqlite3_step(info) == SQLITE_ROW) {
        const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(info, 1));
        if (sqlite3_column_int(info, 5) == 0) { // not the primary key
            columns += (columns.empty() ? "[" : ", [") + name + "]";
        }
    }
    sqlite3_finalize(info);

    execute(db, "PRAGMA journal_mode = OFF");
    execute(db, "PRAGMA synchronous = OFF");
    execute(db, "BEGIN");
    execute(db, "CREATE TEMP TABLE original AS SELECT " + columns + " FROM products ORDER BY ID");
    for (int copy = 1; copy < factor; ++copy) {
        execute(db, "INSERT INTO products (" + columns + ") SELECT " + columns + " FROM original ORDER BY rowid");
    }
    execute(db, "DROP TABLE original");
    execute(db, "COMMIT");
    sqlite3_close(db);
    std::printf("%s: products x%d\n", target.c_str(), factor);
    return 0;
}
