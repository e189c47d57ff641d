#pragma once

#include "common/AppError.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace Db {

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
} // namespace DbErrorNumber

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
    QSqlDatabase database() const;

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

private:
    Connection();
    // Loads the open Jet file into the connection's memory database, or adds to the
    // two lists what it lacks. Throws AppError (closing the connection) for a file
    // that cannot be read.
    void loadJetFile(const QString &shown, QStringList &missingTables, QStringList &missingColumns);
    QString m_connectionName;
    QString m_filePath;
    bool m_open = false;
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
// ignoring case.
class RowSet
{
public:
    static RowSet &shared();

    // Runs the command's text on its connection. Throws AppError (the row set stays closed).
    void open(const Command &command);
    bool isOpen() const { return m_query != nullptr; }
    bool eof() const;
    void moveNext();
    // The value of a column of the current row: text, a number or Null. Throws AppError.
    QVariant field(const QString &name) const;
    // The position of a column in this result (case ignored); throws AppError when absent.
    // Reading by position saves the name lookup on every row of a long result.
    int fieldIndex(const QString &name) const;
    QVariant field(int index) const;
    void close();

private:
    // Throws AppError (NoCurrentRow) naming `operation` unless the row set stands on a row.
    void requireCurrentRow(const char *operation) const;

    std::unique_ptr<QSqlQuery> m_query; // null while closed
    QSqlRecord m_record;
    bool m_onRow = false;
};

// Runs one SQL text through the shared command and row set: point the command at the
// shared connection, set its text, open the row set. The caller reads and closes it.
RowSet &openSharedQuery(const QString &sql);

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
