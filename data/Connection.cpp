#include "data/Database.h"

#include "data/DatabaseFile.h"
#include "data/JetCache.h"
#include "data/JetDatabase.h"
#include "data/PageCheckMemo.h"
#include "layout/Schema.h"
#include "data/TextMatching.h"

#include "jet/JetFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <optional>
#include <utility>
#include <variant>

namespace Db {

namespace {

// Released with the application object (releaseShared), never among the static objects:
// a program ended by exit() (Qt does that when the display goes away) leaves them to
// the system, instead of finalizing statements in an order nothing fixes.
Connection *s_connection = nullptr;
Command *s_command = nullptr;
RowSet *s_rowSet = nullptr;

template<typename T>
void release(T *&shared)
{
    delete std::exchange(shared, nullptr);
}

// How many times every page of a file was read to check it (pageCheckCount).
quint64 s_pageChecks = 0;

// How long a statement waits for a program that holds the file locked while writing.
constexpr int BusyTimeoutMs = 1000;

// A statement that failed: SQLite's primary result code and its message.
struct SqlFailure
{
    int code = SQLITE_OK;
    QString message;
};

SqlFailure failureOf(sqlite3 *db, int code)
{
    return {code & 0xff, QString::fromUtf8(sqlite3_errmsg(db))};
}

// Column `column` of every row of `sql` as text, or the failure.
std::variant<QStringList, SqlFailure> readColumn(sqlite3 *db, const char *sql, int column)
{
    sqlite3_stmt *statement = nullptr;
    int code = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    QStringList values;
    while (code == SQLITE_OK || code == SQLITE_ROW) {
        code = sqlite3_step(statement);
        if (code == SQLITE_ROW) {
            values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                                        sqlite3_column_bytes(statement, column));
        }
    }
    const SqlFailure failure = failureOf(db, code);
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) {
        return failure;
    }
    return values;
}

// "a", "a and b", "a, b and c".
QString listText(const QStringList &items)
{
    if (items.size() < 2) {
        return items.join(QString());
    }
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

// "the column "a" in the table "t"", "the columns "a" and "b" in the table "t"".
QString lackingColumnsText(const QStringList &lacking, const QString &table)
{
    return QStringLiteral("%1 %2 in the table \"%3\"")
        .arg(lacking.size() == 1 ? QStringLiteral("the column") : QStringLiteral("the columns"), listText(lacking),
             table);
}

} // namespace

// ---------------------------------------------------------------- Connection

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

Connection &Connection::shared()
{
    if (!s_connection) {
        s_connection = new Connection;
        // However the program ends, the shared objects are closed with the application
        // object, not among the static objects, whose order of destruction is not fixed.
        if (QCoreApplication::instance()) {
            qAddPostRoutine(&Connection::releaseShared);
        }
    }
    return *s_connection;
}

void Connection::releaseShared()
{
    release(s_rowSet);
    release(s_command);
    release(s_connection); // its destructor closes it
}

QString Connection::defaultDatabasePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvostrel.mdb"));
}

void Connection::open(const QString &filePath)
{
    close();
    ++m_openCount;
    const DatabaseKind kind = checkDatabaseFile(filePath);
    const bool jet = kind == DatabaseKind::Jet;
    const QString shown = QDir::toNativeSeparators(filePath);
    // A Jet file converted before is opened as the copy kept then.
    std::optional<JetCache> cache;
    if (jet && openJetCopy(cache.emplace(filePath), filePath)) {
        return;
    }
    openHandle(filePath, kind, shown);
    m_filePath = filePath;

    // Every table and column the windows read, so that no search fails later on a
    // column that is not there.
    QStringList missingTables;
    QStringList missingColumns;
    if (jet) {
        loadJetFile(shown, missingTables, missingColumns);
    }

    sqlite3_exec(m_handle, "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
    checkSchema(shown, jet, missingTables, missingColumns);
    m_nocaseSettled = jet; // the Jet file's indexes were built in memory with it
    if (jet) {
        keepJetCopy(*cache);
        return; // built in memory a moment ago
    }
    checkPages(shown);
}

Common::AppError Connection::fail(int number, const QString &description)
{
    // Every failure while opening closes the connection again before it is reported.
    close();
    return Common::AppError(number, ConnectionSource, description);
}

void Connection::openHandle(const QString &filePath, DatabaseKind kind, const QString &shown)
{
    const bool jet = kind == DatabaseKind::Jet;
    {
        // An Access (Jet) file is read whole into a database in memory (loadJetFile); the
        // file itself is only ever read, by the reader. An SQLite file is opened
        // read-only: a missing file is never created, nothing can be written, and
        // nothing is written beside it. In rollback-journal mode a reader writes nothing
        // and still takes its read locks, so a program changing the file in place is
        // waited for; in write-ahead-log mode a reader would make the shared-memory and
        // log files beside it, so that file (its log empty) is read as one that never
        // changes.
        QByteArray path = QByteArrayLiteral(":memory:");
        // One thread uses the connection (the Jet copy's writer opens its own): SQLite's
        // lock around every call took 11.5% of a long read (the export's 17 columns of
        // every record) in perf.
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX;
        if (!jet) {
            path = QByteArrayLiteral("file:")
                + QFile::encodeName(QFileInfo(filePath).absoluteFilePath()).toPercentEncoding(QByteArrayLiteral("/"))
                + (kind == DatabaseKind::SqliteWal ? QByteArrayLiteral("?immutable=1") : QByteArrayLiteral("?mode=ro"));
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
        }
        const int code = sqlite3_open_v2(path.constData(), &m_handle, flags, nullptr);
        if (code != SQLITE_OK) {
            const QString why
                = m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QString::fromUtf8(sqlite3_errstr(code));
            throw fail(DbErrorNumber::FileUnreadable,
                       QStringLiteral("The database file \"%1\" cannot be opened: %2").arg(shown, why));
        }
        sqlite3_extended_result_codes(m_handle, 1);
        // A program writing to the file holds it locked; a short write is waited for.
        sqlite3_busy_timeout(m_handle, BusyTimeoutMs);
        // Letter case ignored beyond ASCII: in LIKE at once; in NOCASE at once where this
        // connection builds the indexes (the Jet file's copy in memory), else once the
        // file's indexes are known to be in its order (below).
        int installed = TextMatching::installLike(m_handle);
        if (installed == SQLITE_OK && jet) {
            installed = TextMatching::installNocase(m_handle);
        }
        if (installed != SQLITE_OK) {
            throw fail(DbErrorNumber::FileUnreadable,
                       QStringLiteral("The database file \"%1\" cannot be opened: %2")
                           .arg(shown, QString::fromUtf8(sqlite3_errstr(installed))));
        }
    }
}

void Connection::checkSchema(const QString &shown, bool jet, QStringList &missingTables, QStringList &missingColumns)
{
    // The first read of the schema tells a locked, damaged or foreign file apart.
    auto schema = readColumn(m_handle, "SELECT name FROM sqlite_master WHERE type = 'table'", 0);
    if (const auto *failure = std::get_if<SqlFailure>(&schema)) {
        if (failure->code == SQLITE_BUSY || failure->code == SQLITE_LOCKED) {
            throw fail(DbErrorNumber::Locked, lockedText(shown));
        }
        if (failure->code != SQLITE_ERROR) {
            const Common::AppError error = readError(ConnectionSource, shown, failure->code, failure->message);
            throw fail(error.number(), error.description());
        }
        throw fail(DbErrorNumber::NotADatabase,
                   QStringLiteral("The file \"%1\" is not a database that this program can read: %2")
                       .arg(shown, failure->message));
    }
    const QStringList tables = std::get<QStringList>(std::move(schema));

    for (const Schema::RequiredTable &required : Schema::RequiredColumns) {
        if (jet) {
            break; // the loader has checked the Jet file's own tables
        }
        const QString table(required.table);
        if (!tables.contains(table, Qt::CaseInsensitive)) {
            missingTables << QStringLiteral("\"%1\"").arg(table);
            continue;
        }
        const auto info
            = readColumn(m_handle, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toUtf8().constData(), 1);
        const QStringList columns
            = std::holds_alternative<QStringList>(info) ? std::get<QStringList>(info) : QStringList();
        QStringList lacking;
        for (const QLatin1StringView column : required.columns) {
            if (!columns.contains(QString(column), Qt::CaseInsensitive)) {
                lacking << QStringLiteral("\"%1\"").arg(column);
            }
        }
        if (!lacking.isEmpty()) {
            missingColumns << lackingColumnsText(lacking, table);
        }
    }
    if (!missingTables.isEmpty() || !missingColumns.isEmpty()) {
        QStringList parts;
        if (!missingTables.isEmpty()) {
            parts << QStringLiteral("%1 %2").arg(missingTables.size() == 1 ? QStringLiteral("the table")
                                                                           : QStringLiteral("the tables"),
                                                 listText(missingTables));
        }
        parts += missingColumns;
        throw fail(missingTables.isEmpty() ? DbErrorNumber::ColumnMissing : DbErrorNumber::TableMissing,
                   QStringLiteral("The database file \"%1\" is not a complete drug reference database: it lacks "
                                  "%2. Rebuild it with kvostrel-import.")
                       .arg(shown, parts.join(QStringLiteral("; "))));
    }
}

void Connection::checkPages(const QString &shown)
{
    // Every page of the file, read once: a damaged file is named at start, not by the
    // first search that meets the damage (which reports it too). The pages pass through
    // a small cache, which the searches' own cache then replaces. A file found whole
    // before, and not changed since, is not read again (its reads still report damage).
    const char *file = sqlite3_db_filename(m_handle, "main");
    const PageCheckMemo memo(file ? QFile::decodeName(file) : QString());
    if (memo.passedBefore()) {
        return;
    }
    ++s_pageChecks;
    const auto size = readColumn(m_handle, "PRAGMA cache_size", 0);
    const QString cacheSize
        = std::holds_alternative<QStringList>(size) ? std::get<QStringList>(size).value(0) : QString();
    sqlite3_exec(m_handle, "PRAGMA cache_size = 16", nullptr, nullptr, nullptr);
    auto check = readColumn(m_handle, "PRAGMA quick_check", 0);
    if (!cacheSize.isEmpty()) {
        const QByteArray restore = "PRAGMA cache_size = " + cacheSize.toLatin1();
        sqlite3_exec(m_handle, restore.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_db_release_memory(m_handle);
    if (const auto *failure = std::get_if<SqlFailure>(&check)) {
        const Common::AppError error = readError(ConnectionSource, shown, failure->code, failure->message);
        throw fail(error.number(), error.description());
    }
    if (const QStringList found = std::get<QStringList>(std::move(check)); found != QStringList{QStringLiteral("ok")}) {
        throw fail(DbErrorNumber::Damaged, damagedText(shown, found.value(0)));
    }
    memo.rememberPassed();
}

quint64 Connection::pageCheckCount()
{
    return s_pageChecks;
}

void Connection::settleNocase()
{
    // Only while no statement is prepared: the collation of statements in use, and the
    // handle itself (copyIntoMemory), must not change under them. The kept statements
    // are not in use here (the row set is closed) and are prepared again after.
    if (m_nocaseSettled || !m_handle) {
        return;
    }
    finalizeKeptStatements();
    if (sqlite3_next_stmt(m_handle, nullptr) != nullptr) {
        return;
    }
    m_nocaseSettled = true;
    // NOCASE folds letters beyond ASCII too. An index of the file holding such letters
    // is in SQLite's own NOCASE order, which the folded one does not keep: the file is
    // then read into memory once and its indexes are sorted again there.
    if (!TextMatching::nocaseIndexesHoldOnlyAscii(m_handle)) {
        copyIntoMemory(QDir::toNativeSeparators(m_filePath));
    }
    if (const int code = TextMatching::installNocase(m_handle); code != SQLITE_OK) {
        throw Common::AppError(DbErrorNumber::FileUnreadable, ConnectionSource,
                               QStringLiteral("The database file \"%1\" cannot be read: %2")
                                   .arg(QDir::toNativeSeparators(m_filePath), QString::fromUtf8(sqlite3_errstr(code))));
    }
    // Lists read before may be in the other order.
    m_lists.clear();
}

void Connection::copyIntoMemory(const QString &shown)
{
    sqlite3 *memory = nullptr;
    int code = sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY,
                               nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(memory, 1);
        code = TextMatching::installLike(memory);
    }
    if (code == SQLITE_OK) {
        code = TextMatching::installNocase(memory);
    }
    if (code == SQLITE_OK) {
        sqlite3_backup *backup = sqlite3_backup_init(memory, "main", m_handle, "main");
        code = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(memory);
        const int finished = backup ? sqlite3_backup_finish(backup) : SQLITE_OK;
        code = code == SQLITE_DONE ? finished : code;
    }
    if (code == SQLITE_OK) {
        code = sqlite3_exec(memory, "REINDEX NOCASE; PRAGMA query_only = ON", nullptr, nullptr, nullptr);
    }
    if (code != SQLITE_OK) {
        const QString why = QString::fromUtf8(memory ? sqlite3_errmsg(memory) : sqlite3_errstr(code));
        sqlite3_close_v2(memory);
        const Common::AppError error = readError(ConnectionSource, shown, code, why);
        close();
        throw error;
    }
    sqlite3_close_v2(m_handle);
    m_handle = memory;
}

void Connection::loadJetFile(const QString &shown, QStringList &missingTables, QStringList &missingColumns)
{
    try {
        loadJetDatabase(m_filePath, m_handle);
    } catch (const Jet::ReadError &error) {
        const QString why = QString::fromStdString(error.what());
        switch (error.kind) {
        case Jet::ReadError::Kind::Incomplete:
            for (const std::string &table : error.missingTables) {
                missingTables << QStringLiteral("\"%1\"").arg(QString::fromStdString(table));
            }
            for (const auto &[table, columns] : error.missingColumns) {
                QStringList lacking;
                for (const std::string &column : columns) {
                    lacking << QStringLiteral("\"%1\"").arg(QString::fromStdString(column));
                }
                missingColumns << lackingColumnsText(lacking, QString::fromStdString(table));
            }
            return;
        case Jet::ReadError::Kind::Password:
            throw fail(DbErrorNumber::Protected,
                       QStringLiteral("The database file \"%1\" is protected by a password, and this program "
                                      "opens no protected files. Remove the password with the program that set it, "
                                      "or rebuild the file with kvostrel-import.")
                           .arg(shown));
        case Jet::ReadError::Kind::ReaderMissing:
            throw fail(DbErrorNumber::ReaderMissing,
                       QStringLiteral("The database file \"%1\" is an Access (Jet) database, and the program "
                                      "that reads such files cannot be started (%2). Install this program again.")
                           .arg(shown, why));
        case Jet::ReadError::Kind::Damaged:
        case Jet::ReadError::Kind::NotJet:
            break;
        }
        throw fail(DbErrorNumber::Damaged, damagedText(shown, why));
    } catch (const std::exception &error) {
        throw fail(DbErrorNumber::FileUnreadable,
                   QStringLiteral("The database file \"%1\" cannot be opened: %2")
                       .arg(shown, QString::fromStdString(error.what())));
    }
}

bool Connection::isOpen() const
{
    return m_handle != nullptr;
}

void Connection::close()
{
    // A copy of a Jet file being kept is finished first: the next open may take it.
    JetCache::finishWriting();
    // The row set reads through this connection: its query goes first.
    if (s_rowSet) {
        s_rowSet->close();
    }
    m_lists.clear();
    m_listsDataVersion = -1;
    m_nocaseSettled = false;
    finalizeKeptStatements();
    if (m_handle) {
        sqlite3_close_v2(m_handle);
        m_handle = nullptr;
    }
}

void Connection::noteReadFailure(const Common::AppError &error)
{
    ++m_readFailures;
    m_lastReadFailure = error.description();
}

sqlite3_stmt *Connection::keptStatement(const QByteArray &sql, int &code)
{
    code = SQLITE_OK;
    if (sqlite3_stmt *kept = m_keptStatements.value(sql)) {
        return kept;
    }
    sqlite3_stmt *statement = nullptr;
    code = sqlite3_prepare_v3(m_handle, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                              nullptr);
    if (code == SQLITE_OK && !statement) {
        code = SQLITE_MISUSE; // only blanks or a comment: not a statement to keep
    }
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    m_keptStatements.insert(sql, statement);
    return statement;
}

void Connection::finalizeKeptStatements()
{
    for (sqlite3_stmt *statement : std::as_const(m_keptStatements)) {
        sqlite3_finalize(statement);
    }
    m_keptStatements.clear();
}

qint64 Connection::dataVersion() const
{
    if (!m_handle) {
        return -1;
    }
    sqlite3_stmt *statement = nullptr;
    qint64 version = -1;
    if (sqlite3_prepare_v2(m_handle, "PRAGMA data_version", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        version = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return version;
}

SharedListRows Connection::cachedList(const QString &key) const
{
    if (!isOpen() || m_lists.isEmpty()) {
        return nullptr;
    }
    const auto found = m_lists.find(key);
    if (found == m_lists.end()) {
        return nullptr;
    }
    const qint64 version = dataVersion();
    if (version < 0 || version != m_listsDataVersion) {
        // Another program changed the file (or it cannot be read now): read again.
        m_lists.clear();
        return nullptr;
    }
    found->lastUse = ++m_listUses;
    return found->rows;
}

void Connection::keepList(const QString &key, SharedListRows rows)
{
    if (!isOpen() || !rows) {
        return;
    }
    const qint64 version = dataVersion();
    if (version < 0) {
        return;
    }
    if (version != m_listsDataVersion) {
        m_lists.clear();
        m_listsDataVersion = version;
    }
    m_lists.insert(key, {std::move(rows), ++m_listUses});
    // Lists that only this cache holds count against its budget; the oldest go first.
    for (;;) {
        qint64 held = 0;
        auto oldest = m_lists.end();
        for (auto it = m_lists.begin(); it != m_lists.end(); ++it) {
            if (it->rows.use_count() == 1) {
                held += it->rows->byteSize();
                if (oldest == m_lists.end() || it->lastUse < oldest->lastUse) {
                    oldest = it;
                }
            }
        }
        if (held <= ListCacheBudget || oldest == m_lists.end() || oldest->lastUse == m_listUses) {
            break;
        }
        m_lists.erase(oldest);
    }
}

// ---------------------------------------------------------------- Command

Command &Command::shared()
{
    if (!s_command) {
        s_command = new Command;
    }
    return *s_command;
}

// ---------------------------------------------------------------- RowSet

RowSet &RowSet::shared()
{
    if (!s_rowSet) {
        s_rowSet = new RowSet;
    }
    return *s_rowSet;
}

} // namespace Db
