#pragma once

#include "common/AppError.h"

#include <QString>
#include <QVariant>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace Db {

// Whether every byte is below 0x80 (plain ASCII: one byte a character, no case
// folding beyond A-Z); eight bytes are looked at a time.
bool isAscii(QByteArrayView bytes);

enum class DatabaseKind;
class JetCache;

// Error numbers raised by the database layer (source texts name the operation).
namespace DbErrorNumber {
constexpr int FileMissing = 1001;
constexpr int FileEmpty = 1002;
constexpr int FileUnreadable = 1003;
constexpr int NotADatabase = 1004;
constexpr int TableMissing = 1005;
constexpr int NotOpen = 1006;
constexpr int QueryFailed = 1007;
constexpr int NoCurrentRow = 1008;
constexpr int NoSuchField = 1009;
constexpr int RowSetBusy = 1010;
constexpr int ColumnMissing = 1011;
constexpr int Locked = 1012;
constexpr int Damaged = 1013;
constexpr int Protected = 1014;
constexpr int ReaderMissing = 1015;
constexpr int LeftOpen = 1016;
} // namespace DbErrorNumber

// The lines of a hit list and the key of each line, as one statement gives them, built
// once and then only read: the hit list and the key list share one copy. The text of
// every line lies back to back as the database stores it (UTF-8); a line becomes a
// QString only when it is asked for (the view asks for the lines it paints), so
// tens of thousands of lines cost one allocation instead of one each.
class ListRows
{
public:
    // The key of a line whose key field is Null or no number.
    static constexpr qint64 NoKey = std::numeric_limits<qint64>::min();

    int count() const { return int(m_ends.size()); }
    bool hasKeys() const { return !m_keys.empty(); }
    QString line(int row) const;
    // The line as the database stores it (UTF-8); empty outside the list.
    QByteArrayView lineUtf8(int row) const;
    QStringList lines() const;
    // The key of line `row`; NoKey outside the list or when the rows carry no keys.
    qint64 key(int row) const;
    // Bytes held (text, line ends and keys).
    qint64 byteSize() const;
    // The same lines, each with its key, in the order `order` names them (positions in
    // this list, each once, or some of them). The text is shared, not copied.
    std::shared_ptr<const ListRows> reordered(const std::vector<int> &order) const;

private:
    friend class RowSet;
    QByteArray m_text;
    std::vector<quint32> m_ends; // where each line's text ends in m_text
    // Where each line's text starts in m_text; empty when each starts where the one
    // before ends (a list read, not reordered).
    std::vector<quint32> m_starts;
    std::vector<qint64> m_keys; // empty when the rows carry no keys

    quint32 start(size_t row) const { return !m_starts.empty() ? m_starts[row] : row == 0 ? 0 : m_ends[row - 1]; }
};
using SharedListRows = std::shared_ptr<const ListRows>;

// The one link to kvostrel.mdb. Opened read-only: a missing file is reported, never
// created, and nothing can be written through it.
class Connection
{
public:
    static Connection &shared();
    // Closes and forgets the shared connection, query object and row set (exit path).
    static void releaseShared();

    // The database file beside the executable.
    static QString defaultDatabasePath();

    // Opens `filePath` read-only and checks that it is a reference database. Throws AppError.
    // An SQLite file is read in place. An Access (Jet) file is read once, by a child
    // process with a time limit, into an SQLite database in memory laid out as
    // kvostrel-import lays out its files; from then on the connection works alike.
    void open(const QString &filePath);
    bool isOpen() const;
    void close();

    QString filePath() const { return m_filePath; }
    // Counts the opens: what a caller keeps of one open file (its layout, its release
    // date) is read again when this has changed, even for a file of the same name.
    quint64 openCount() const { return m_openCount; }
    // SQLite's own handle of the open connection (null while closed): the row set
    // reads through it with the C API, on the same read-only link.
    sqlite3 *handle() const { return m_handle; }

    // Lists already read, by statement text and the fields read: the file does not
    // change while the program runs, so a repeated statement gives the same list. A
    // list is taken from here only while SQLite reports that no other program has
    // changed the file since it was read (PRAGMA data_version); closing forgets all.
    SharedListRows cachedList(const QString &key) const;
    void keepList(const QString &key, SharedListRows rows);
    // Forgets every list kept (the benchmarks time first reads with it).
    void forgetLists() { m_lists.clear(); }
    // The most bytes that lists no window shows may hold; the newest list always stays.
    static constexpr qint64 ListCacheBudget = 24 * 1024 * 1024;

    // How many reads on this connection have failed on the file itself (damaged, cannot
    // be read, locked), and the description of the last: a caller that goes on past
    // failing steps tells from the count whether what it read is whole.
    quint64 readFailureCount() const { return m_readFailures; }
    QString lastReadFailure() const { return m_lastReadFailure; }
    // How many times a file's pages were all read at open to check them (a file found
    // whole before and not changed since is not read again).
    static quint64 pageCheckCount();

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

private:
    friend class RowSet;
    Connection();
    void noteReadFailure(const Common::AppError &error);
    // The steps of open, each throwing AppError and closing the connection first (fail).
    Common::AppError fail(int number, const QString &description);
    // Opens the SQLite handle: on the file itself, read-only, or on an empty database in
    // memory for a Jet file; with the program's LIKE (and a Jet file's NOCASE).
    void openHandle(const QString &filePath, DatabaseKind kind, const QString &shown);
    // Checks that every table and column the windows read is there (the loader has
    // checked a Jet file's own and filled the two lists).
    void checkSchema(const QString &shown, bool jet, QStringList &missingTables, QStringList &missingColumns);
    // Reads every page of an SQLite file once, so that a damaged file is named at start.
    void checkPages(const QString &shown);
    // Makes NOCASE the program's (letters beyond ASCII folded), once, before the first
    // statement that holds such letters; a statement of ASCII text alone compares and
    // sorts alike either way, so an ASCII search costs nothing. Does nothing while a
    // statement is prepared on the connection. Throws AppError.
    void settleNocase();
    // Replaces the open file by a copy in memory whose NOCASE indexes are sorted by the
    // program's NOCASE. Throws AppError (closing the connection).
    void copyIntoMemory(const QString &shown);
    // Loads the open Jet file into the connection's memory database, or adds to the
    // two lists what it lacks. Throws AppError (closing the connection) for a file
    // that cannot be read.
    void loadJetFile(const QString &shown, QStringList &missingTables, QStringList &missingColumns);
    // Opens the copy of the Jet file `jetPath` kept in the user's cache, when there is one
    // that passes every check; a copy that does not is removed. (JetCache.cpp)
    bool openJetCopy(const JetCache &cache, const QString &jetPath);
    // Keeps the Jet file just loaded as its copy in the user's cache, where it can.
    void keepJetCopy(const JetCache &cache);
    // SQLite's count of changes other connections made to the file; -1 when unknown.
    qint64 dataVersion() const;
    // The statement of `sql` prepared once and kept until the connection closes or its
    // NOCASE changes, reset and its values cleared; null with SQLite's result in `code`.
    sqlite3_stmt *keptStatement(const QByteArray &sql, int &code);
    void finalizeKeptStatements();

    struct CachedList
    {
        SharedListRows rows;
        quint64 lastUse = 0;
    };

    QString m_filePath;
    sqlite3 *m_handle = nullptr;
    mutable QHash<QString, CachedList> m_lists;
    mutable quint64 m_listUses = 0;
    qint64 m_listsDataVersion = -1;
    bool m_nocaseSettled = false;
    quint64 m_openCount = 0;
    QHash<QByteArray, sqlite3_stmt *> m_keptStatements;
    quint64 m_readFailures = 0;
    QString m_lastReadFailure;
};

// The query object: the SQL text of the next query and the connection it runs on.
class Command
{
public:
    static Command &shared();

    void setActiveConnection(Connection *connection) { m_connection = connection; }
    Connection *activeConnection() const { return m_connection; }
    void setCommandText(const QString &sql) { m_commandText = sql; }
    const QString &commandText() const { return m_commandText; }

private:
    Connection *m_connection = nullptr;
    QString m_commandText;
};

// The row set of the query being read, from first row to last. After `open` it stands
// on the first row, or at its end when the result is empty. Fields are found by name,
// ignoring case. It reads through the connection's SQLite handle with the C API:
// a value becomes a QVariant only when a field is asked for, and `readList` takes a
// whole list without any.
class RowSet
{
public:
    static RowSet &shared();

    // Runs the command's text on its connection. Throws AppError (the row set stays closed).
    void open(const Command &command);
    // Runs `sql` with its parameters (?1, ?2 ...) bound to `values` in turn (text, whole
    // numbers, Null), through a statement the connection prepares once and keeps: the
    // form for a statement read again and again with other values. Throws as open does.
    void open(Connection &connection, const QByteArray &sql, const QVariantList &values);
    bool isOpen() const { return m_statement != nullptr; }
    bool eof() const;
    // To the next row. A step that fails (a damaged page, a read error) throws AppError
    // naming the file and what failed, and closes the row set: a failed read never
    // looks like a shorter result.
    void moveNext();
    // The value of a column of the current row: text, a number or Null. Throws AppError.
    QVariant field(const QString &name) const;
    // The position of a column in this result (case ignored); throws AppError when absent.
    // Reading by position saves the name lookup on every row of a long result.
    int fieldIndex(const QString &name) const;
    QVariant field(int index) const;
    // Column `index` of the current row as UTF-8 text, the text fieldText(field(index))
    // gives (Null: empty), without a QVariant or a QString for text and whole numbers.
    // The bytes last until the row set moves; `scratch` holds them when they had to be
    // made (a real number, text that is not valid UTF-8). Throws AppError as field does.
    QByteArrayView fieldUtf8(int index, QByteArray &scratch) const;
    // Column `index` of the current row as a whole number, as SQLite converts it (Null:
    // 0), without a QVariant: a key read on every row of a long result. Throws AppError.
    qint64 fieldInt64(int index) const;
    int fieldCount() const { return int(m_names.size()); }
    // The name of column `index` of this result; empty outside it.
    QString fieldName(int index) const { return m_names.value(index); }
    // Reads the rows from the current one to the last into a list: column `lineColumn`
    // as each line's text (Null: an empty line) and, unless `keyColumn` is negative,
    // column `keyColumn` as its key. The row set is then at its end. Throws AppError
    // as moveNext does; nothing read before the failure is kept.
    SharedListRows readList(int lineColumn, int keyColumn);
    void close();

private:
    // Throws AppError (NoCurrentRow) naming `operation` unless the row set stands on a row.
    void requireCurrentRow(const char *operation) const;
    void step();
    // The error for a failed step with SQLite's result `code`; noted on the connection.
    Common::AppError failure(const char *operation, int code);
    // The first step of the statement just prepared or bound, and its columns' names.
    void start(Connection *connection, sqlite3_stmt *statement, int code);

    sqlite3_stmt *m_statement = nullptr; // null while closed
    bool m_kept = false; // the statement is the connection's, reset on close
    Connection *m_connection = nullptr; // the connection of the open statement
    QStringList m_names;
    bool m_onRow = false;
};

// Runs one SQL text through the shared command and row set: point the command at the
// shared connection, set its text, open the row set. The caller reads and closes it.
RowSet &openSharedQuery(const QString &sql);
// The same with the statement's parameters bound to `values` (RowSet::open's second form).
RowSet &openSharedQuery(const QByteArray &sql, const QVariantList &values);

// A list by one SQL text: field `listField` of each row as its line and, unless
// `keyField` is empty, field `keyField` as its key. A statement read before on this
// connection gives its list again without running. Otherwise the statement runs
// through the shared row set. `beforeBuild` is called once the new list is whole,
// just before it is returned, so the caller can let go of its old list; a read that
// fails throws AppError before it, and keeps nothing (not in the cache either).
SharedListRows readSharedList(const QString &sql, const QString &listField, const QString &keyField,
                              const std::function<void()> &beforeBuild = {});

// Closes the shared row set when it goes out of scope, also on an exception.
class RowSetCloser
{
public:
    explicit RowSetCloser(RowSet &rowSet)
        : m_rowSet(rowSet)
    {
    }
    ~RowSetCloser() { m_rowSet.close(); }
    RowSetCloser(const RowSetCloser &) = delete;
    RowSetCloser &operator=(const RowSetCloser &) = delete;

private:
    RowSet &m_rowSet;
};

// Turns a field value into text the way a title or a list line does: Null is empty text.
inline QString fieldText(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace Db
