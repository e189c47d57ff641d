#include "data/Database.h"

#include "data/JetDatabase.h"
#include "data/Schema.h"
#include "data/TextMatching.h"

#include "JetFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <sys/stat.h>
#include <variant>

namespace Db {

namespace {

const QString ConnectionSource = QStringLiteral("Connection.Open");
const QString RowSetSource = QStringLiteral("RowSet");

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

Common::AppError rowSetError(int number, const char *operation, const QString &description)
{
    return Common::AppError(number, RowSetSource + QLatin1Char('.') + QLatin1String(operation), description);
}

QString damagedText(const QString &shown, const QString &why)
{
    return QStringLiteral("The database file \"%1\" is damaged (%2). Copy it again, or rebuild it "
                          "with kvostrel-import.")
        .arg(shown, why);
}

QString leftOpenText(const QString &shown, const QString &why)
{
    return QStringLiteral("The database file \"%1\" was left open by a program that writes it (%2). Close that "
                          "program, or let it finish its change, and start again.")
        .arg(shown, why);
}

// Why an SQLite file is shorter than its header says (cut off while it was copied or
// downloaded); empty when it is whole or its header does not tell its size.
QString truncation(const QByteArray &head, qint64 size)
{
    if (head.size() < 100) {
        return QStringLiteral("it ends inside its header");
    }
    const auto bigEndian = [&head](int offset, int bytes) {
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | quint8(head[offset + i]);
        }
        return value;
    };
    const qint64 pageSize = bigEndian(16, 2) == 1 ? 65536 : bigEndian(16, 2);
    // The page count at offset 28 holds only while the change counter (24) matches the
    // version it was written with (92).
    if (bigEndian(24, 4) != bigEndian(92, 4)) {
        return {};
    }
    const qint64 expected = pageSize * bigEndian(28, 4);
    if (size < expected) {
        return QStringLiteral("it holds %1 of its %2 bytes, as if cut off while it was copied").arg(size).arg(expected);
    }
    return {};
}

// Refuses a path that leads to no file: missing, a link to nothing or round in a loop,
// in a folder this user may not enter.
void checkPathLeadsToAFile(const QString &filePath)
{
    const QString shown = QDir::toNativeSeparators(filePath);
    const QByteArray path = QFile::encodeName(filePath);
    struct stat info = {};
    if (::stat(path.constData(), &info) == 0) {
        return;
    }
    const int error = errno;
    if (error == ELOOP) {
        throw Common::AppError(DbErrorNumber::FileUnreadable, ConnectionSource,
                               QStringLiteral("The database file \"%1\" cannot be read: it is a symbolic link that "
                                              "leads round in a loop of links and never to a file.")
                                   .arg(shown));
    }
    if (error == ENOENT || error == ENOTDIR) {
        const QString target = QFileInfo(filePath).symLinkTarget();
        if (::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            throw Common::AppError(DbErrorNumber::FileMissing, ConnectionSource,
                                   QStringLiteral("The database file \"%1\" is a symbolic link to \"%2\", which "
                                                  "was not found.")
                                       .arg(shown, QDir::toNativeSeparators(target)));
        }
        throw Common::AppError(DbErrorNumber::FileMissing, ConnectionSource,
                               QStringLiteral("The database file \"%1\" was not found. "
                                              "It must lie in the program's folder.")
                                   .arg(shown));
    }
    throw Common::AppError(DbErrorNumber::FileUnreadable, ConnectionSource,
                           QStringLiteral("The database file \"%1\" cannot be read: %2.")
                               .arg(shown, QString::fromLocal8Bit(std::strerror(error))));
}

// What lies beside an SQLite file: a change another program has not finished (a
// journal to roll back, a write-ahead log to read) makes the file alone no whole
// database; a reader would have to write to take it in.
QString unfinishedChange(const QString &filePath)
{
    const auto holdsSomething = [](const QString &path, bool firstByteCounts) {
        const QFileInfo info(path);
        if (!info.exists() || info.size() == 0) {
            return false;
        }
        // A journal whose header is zeroed is finished with (journal_mode=PERSIST); one
        // that cannot be read is taken as unfinished.
        QFile file(path);
        char first = 0;
        return !firstByteCounts || !file.open(QIODevice::ReadOnly) || !file.getChar(&first) || first != 0;
    };
    const QString journal = filePath + QStringLiteral("-journal");
    if (holdsSomething(journal, true)) {
        return QStringLiteral("its unfinished change lies beside it in \"%1\"").arg(QDir::toNativeSeparators(journal));
    }
    const QString log = filePath + QStringLiteral("-wal");
    if (holdsSomething(log, false)) {
        return QStringLiteral("changes not yet written into it lie beside it in \"%1\"")
            .arg(QDir::toNativeSeparators(log));
    }
    return {};
}

enum class DatabaseKind {
    Sqlite, // in rollback-journal mode
    SqliteWal, // in write-ahead-log mode, its log empty or gone
    Jet
};

// Refuses, with a message in the program's words, anything that is neither an SQLite
// file nor an Access (Jet) file, and an SQLite file another program has left a change
// of beside it. A Jet file's header is checked by the reader.
DatabaseKind checkDatabaseFile(const QString &filePath)
{
    checkPathLeadsToAFile(filePath);
    const QFileInfo info(filePath);
    const QString shown = QDir::toNativeSeparators(filePath);
    if (!info.isFile()) {
        throw Common::AppError(
            DbErrorNumber::FileUnreadable, ConnectionSource,
            QStringLiteral("\"%1\" is not a file, so it cannot be read as the database.").arg(shown));
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Common::AppError(
            DbErrorNumber::FileUnreadable, ConnectionSource,
            QStringLiteral("The database file \"%1\" cannot be read: %2.").arg(shown, file.errorString()));
    }
    if (file.size() == 0) {
        throw Common::AppError(
            DbErrorNumber::FileEmpty, ConnectionSource,
            QStringLiteral("The database file \"%1\" is empty. Rebuild it with kvostrel-import.").arg(shown));
    }
    const QByteArray head = file.read(100);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        if (const QString cut = truncation(head, file.size()); !cut.isEmpty()) {
            throw Common::AppError(DbErrorNumber::Damaged, ConnectionSource, damagedText(shown, cut));
        }
        if (const QString unfinished = unfinishedChange(filePath); !unfinished.isEmpty()) {
            throw Common::AppError(DbErrorNumber::LeftOpen, ConnectionSource, leftOpenText(shown, unfinished));
        }
        // The file format's write and read versions: 2 in write-ahead-log mode.
        const bool wal = head[18] == 2 || head[19] == 2 || QFileInfo::exists(filePath + QStringLiteral("-wal"));
        return wal ? DatabaseKind::SqliteWal : DatabaseKind::Sqlite;
    }
    if (const Jet::FileKind kind = Jet::fileKind(std::string_view(head.constData(), std::size_t(head.size())));
        kind != Jet::FileKind::Other && kind != Jet::FileKind::Sqlite) {
        return DatabaseKind::Jet;
    }
    throw Common::AppError(DbErrorNumber::NotADatabase, ConnectionSource,
                           QStringLiteral("The file \"%1\" is not a database that this program can read.").arg(shown));
}

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

QString lockedText(const QString &shown)
{
    return QStringLiteral("The database file \"%1\" is locked by another program that is writing to it. "
                          "Wait until that program has finished (or close it) and start again.")
        .arg(shown);
}

// A failed step of a read, in the program's words: what failed and in which file.
Common::AppError readError(const QString &source, const QString &shown, int code, const QString &message)
{
    switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Common::AppError(DbErrorNumber::Damaged, source, damagedText(shown, message));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Common::AppError(DbErrorNumber::Locked, source,
                                QStringLiteral("The database is locked by another program that is writing to it. "
                                               "Try again in a moment."));
    case SQLITE_READONLY:
        // A read-only connection meets a change another program left unfinished.
        return Common::AppError(
            DbErrorNumber::LeftOpen, source,
            leftOpenText(shown, QStringLiteral("only a program that may write the file can finish its change")));
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_NOMEM:
    case SQLITE_FULL:
    case SQLITE_PROTOCOL:
        return Common::AppError(DbErrorNumber::FileUnreadable, source,
                                QStringLiteral("The database file \"%1\" cannot be read (%2).").arg(shown, message));
    default:
        return Common::AppError(DbErrorNumber::QueryFailed, source,
                                QStringLiteral("The search could not run: %1").arg(message));
    }
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
    const DatabaseKind kind = checkDatabaseFile(filePath);
    const bool jet = kind == DatabaseKind::Jet;
    const QString shown = QDir::toNativeSeparators(filePath);
    // Every failure from here on closes the connection again before it is reported.
    const auto fail = [this](int number, const QString &description) {
        close();
        return Common::AppError(number, ConnectionSource, description);
    };

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
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY;
        if (!jet) {
            path = QByteArrayLiteral("file:")
                + QFile::encodeName(QFileInfo(filePath).absoluteFilePath()).toPercentEncoding(QByteArrayLiteral("/"))
                + (kind == DatabaseKind::SqliteWal ? QByteArrayLiteral("?immutable=1") : QByteArrayLiteral("?mode=ro"));
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
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
    m_filePath = filePath;

    // Every table and column the windows read, so that no search fails later on a
    // column that is not there.
    QStringList missingTables;
    QStringList missingColumns;
    if (jet) {
        loadJetFile(shown, missingTables, missingColumns);
    }

    sqlite3_exec(m_handle, "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
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
    m_nocaseSettled = jet; // the Jet file's indexes were built in memory with it
    if (jet) {
        return; // built in memory a moment ago
    }
    // Every page of the file, read once: a damaged file is named at start, not by the
    // first search that meets the damage (which reports it too). The pages pass through
    // a small cache, which the searches' own cache then replaces.
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
}

void Connection::settleNocase()
{
    // Only while no statement is prepared: the collation of statements in use, and the
    // handle itself (copyIntoMemory), must not change under them.
    if (m_nocaseSettled || !m_handle || sqlite3_next_stmt(m_handle, nullptr) != nullptr) {
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
    const auto fail = [this](int number, const QString &description) {
        close();
        return Common::AppError(number, ConnectionSource, description);
    };
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
    // The row set reads through this connection: its query goes first.
    if (s_rowSet) {
        s_rowSet->close();
    }
    m_lists.clear();
    m_listsDataVersion = -1;
    m_nocaseSettled = false;
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

void RowSet::open(const Command &command)
{
    if (isOpen()) {
        throw rowSetError(DbErrorNumber::RowSetBusy, "Open",
                          QStringLiteral("Another search is still being read; try again when it has finished."));
    }
    Connection *connection = command.activeConnection();
    if (!connection || !connection->isOpen() || !connection->handle()) {
        throw rowSetError(DbErrorNumber::NotOpen, "Open", QStringLiteral("The database is not open."));
    }
    const QByteArray sql = command.commandText().toUtf8();
    // Text beyond ASCII compared with "=" or sorted: NOCASE must fold it from now on.
    if (!connection->m_nocaseSettled
        && !std::all_of(sql.cbegin(), sql.cend(), [](char c) { return quint8(c) < 0x80; })) {
        connection->settleNocase();
    }
    sqlite3 *db = connection->handle();
    sqlite3_stmt *statement = nullptr;
    int code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
    if (code == SQLITE_OK && !statement) {
        // Only blanks or a comment: a result without rows or columns.
        code = sqlite3_prepare_v2(db, "SELECT 1 WHERE 0", -1, &statement, nullptr);
    }
    if (code == SQLITE_OK) {
        code = sqlite3_step(statement);
    }
    m_statement = statement;
    m_connection = connection;
    if (code != SQLITE_ROW && code != SQLITE_DONE && code != SQLITE_OK) {
        throw failure("Open", code);
    }
    const int columns = sqlite3_column_count(statement);
    m_names.clear();
    m_names.reserve(columns);
    for (int i = 0; i < columns; ++i) {
        m_names.append(QString::fromUtf8(sqlite3_column_name(statement, i)));
    }
    m_onRow = code == SQLITE_ROW;
}

bool RowSet::eof() const
{
    return !m_onRow;
}

void RowSet::requireCurrentRow(const char *operation) const
{
    if (!m_onRow) {
        throw rowSetError(DbErrorNumber::NoCurrentRow, operation, QStringLiteral("There is no current row."));
    }
}

void RowSet::step()
{
    const int code = sqlite3_step(m_statement);
    m_onRow = code == SQLITE_ROW;
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
        throw failure("MoveNext", code);
    }
}

Common::AppError RowSet::failure(const char *operation, int code)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_connection->handle()));
    Connection *connection = m_connection;
    close();
    const Common::AppError error = readError(RowSetSource + QLatin1Char('.') + QLatin1String(operation),
                                             QDir::toNativeSeparators(connection->filePath()), code, message);
    if (error.number() != DbErrorNumber::QueryFailed) {
        connection->noteReadFailure(error);
    }
    return error;
}

void RowSet::moveNext()
{
    requireCurrentRow("MoveNext");
    step();
}

int RowSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    throw rowSetError(DbErrorNumber::NoSuchField, "Fields",
                      QStringLiteral("The result has no column \"%1\".").arg(name));
}

QVariant RowSet::field(int index) const
{
    requireCurrentRow("Fields");
    if (index < 0 || index >= m_names.size()) {
        return {};
    }
    switch (sqlite3_column_type(m_statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_statement, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, index));
    case SQLITE_BLOB: {
        const void *bytes = sqlite3_column_blob(m_statement, index);
        return QVariant(QByteArray(static_cast<const char *>(bytes), sqlite3_column_bytes(m_statement, index)));
    }
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>()); // Null, and empty text when read as text
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, index));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, index)));
    }
    }
}

namespace {

bool isAscii(QByteArrayView bytes)
{
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    for (; end - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, at, sizeof word);
        if (word & 0x8080808080808080ULL) {
            return false;
        }
    }
    for (; at < end; ++at) {
        if (uchar(*at) & 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

QByteArrayView RowSet::fieldUtf8(int index, QByteArray &scratch) const
{
    requireCurrentRow("Fields");
    if (index < 0 || index >= m_names.size()) {
        return {};
    }
    switch (sqlite3_column_type(m_statement, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_FLOAT:
        scratch = fieldText(field(index)).toUtf8();
        return scratch;
    default: {
        // Whole numbers come as SQLite writes them, which is how QString::number does.
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, index));
        const QByteArrayView bytes(text, text ? sqlite3_column_bytes(m_statement, index) : 0);
        // Most text is plain ASCII, checked a word at a time; the rest is checked whole.
        if (isAscii(bytes) || bytes.isValidUtf8()) {
            return bytes;
        }
        scratch = QString::fromUtf8(bytes).toUtf8(); // what field() would have made of it
        return scratch;
    }
    }
}

QVariant RowSet::field(const QString &name) const
{
    requireCurrentRow("Fields");
    return field(fieldIndex(name));
}

SharedListRows RowSet::readList(int lineColumn, int keyColumn)
{
    auto rows = std::make_shared<ListRows>();
    if (!isOpen()) {
        return rows;
    }
    const bool keyed = keyColumn >= 0;
    while (m_onRow) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, lineColumn));
        rows->m_text.append(text, text ? sqlite3_column_bytes(m_statement, lineColumn) : 0);
        rows->m_ends.push_back(quint32(rows->m_text.size()));
        if (keyed) {
            qint64 key = ListRows::NoKey;
            switch (sqlite3_column_type(m_statement, keyColumn)) {
            case SQLITE_INTEGER:
                key = sqlite3_column_int64(m_statement, keyColumn);
                break;
            case SQLITE_NULL:
                break;
            default: {
                // A key stored as text counts when it is a whole number, as before.
                bool ok = false;
                const auto *keyText = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, keyColumn));
                const qint64 number = QByteArray(keyText).trimmed().toLongLong(&ok);
                key = ok ? number : ListRows::NoKey;
            }
            }
            rows->m_keys.push_back(key);
        }
        step();
    }
    rows->m_text.squeeze();
    rows->m_ends.shrink_to_fit();
    rows->m_keys.shrink_to_fit();
    return rows;
}

void RowSet::close()
{
    if (m_statement) {
        sqlite3_finalize(m_statement);
    }
    m_statement = nullptr;
    m_connection = nullptr;
    m_names.clear();
    m_onRow = false;
}

RowSet &openSharedQuery(const QString &sql)
{
    Command &command = Command::shared();
    command.setActiveConnection(&Connection::shared());
    command.setCommandText(sql);
    RowSet &rowSet = RowSet::shared();
    rowSet.open(command);
    return rowSet;
}

SharedListRows readSharedList(const QString &sql, const QString &listField, const QString &keyField,
                              const std::function<void()> &beforeBuild)
{
    Connection &connection = Connection::shared();
    const QString cacheKey = listField + QChar(u'\x1f') + keyField + QChar(u'\x1f') + sql;
    if (SharedListRows cached = connection.cachedList(cacheKey)) {
        if (beforeBuild) {
            beforeBuild();
        }
        return cached;
    }
    SharedListRows rows;
    {
        RowSet &rowSet = openSharedQuery(sql);
        RowSetCloser closer(rowSet);
        const int line = rowSet.fieldIndex(listField);
        const int key = keyField.isEmpty() ? -1 : rowSet.fieldIndex(keyField);
        rows = rowSet.readList(line, key);
    }
    connection.keepList(cacheKey, rows);
    if (beforeBuild) {
        beforeBuild();
    }
    return rows;
}

// ---------------------------------------------------------------- ListRows

QByteArrayView ListRows::lineUtf8(int row) const
{
    if (row < 0 || row >= count()) {
        return {};
    }
    const quint32 begin = row == 0 ? 0 : m_ends[row - 1];
    return QByteArrayView(m_text.constData() + begin, qsizetype(m_ends[row] - begin));
}

QString ListRows::line(int row) const
{
    return QString::fromUtf8(lineUtf8(row));
}

QStringList ListRows::lines() const
{
    QStringList result;
    result.reserve(count());
    for (int i = 0; i < count(); ++i) {
        result.append(line(i));
    }
    return result;
}

qint64 ListRows::key(int row) const
{
    return row >= 0 && row < int(m_keys.size()) ? m_keys[row] : NoKey;
}

qint64 ListRows::byteSize() const
{
    return m_text.capacity() + qint64(m_ends.capacity() * sizeof(quint32)) + qint64(m_keys.capacity() * sizeof(qint64))
        + qint64(sizeof(ListRows));
}

} // namespace Db
