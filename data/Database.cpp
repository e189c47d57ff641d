#include "data/Database.h"

#include "data/JetDatabase.h"
#include "data/Schema.h"

#include "JetFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QStringList>

namespace Db {

namespace {

const QString ConnectionSource = QStringLiteral("Connection.Open");
const QString RowSetSource = QStringLiteral("RowSet");

std::unique_ptr<Connection> s_connection;
std::unique_ptr<Command> s_command;
std::unique_ptr<RowSet> s_rowSet;

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

// Refuses, with a message in the program's words, anything that is neither an SQLite
// file nor an Access (Jet) file. True for a Jet file, whose header the reader checks.
bool checkDatabaseFile(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QString shown = QDir::toNativeSeparators(filePath);
    if (!info.exists()) {
        throw Common::AppError(DbErrorNumber::FileMissing, ConnectionSource,
                               QStringLiteral("The database file \"%1\" was not found. "
                                              "It must lie in the program's folder.")
                                   .arg(shown));
    }
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
        return false;
    }
    if (const Jet::FileKind kind = Jet::fileKind(std::string_view(head.constData(), std::size_t(head.size())));
        kind != Jet::FileKind::Other && kind != Jet::FileKind::Sqlite) {
        return true;
    }
    throw Common::AppError(DbErrorNumber::NotADatabase, ConnectionSource,
                           QStringLiteral("The file \"%1\" is not a database that this program can read.").arg(shown));
}

// SQLite's primary result code of a failure (extended codes keep it in the low byte).
int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteCorrupt = 11;

bool isLockError(const QSqlError &error)
{
    const int code = sqliteCode(error);
    return code == SqliteBusy || code == SqliteLocked;
}

QString lockedText(const QString &shown)
{
    return QStringLiteral("The database file \"%1\" is locked by another program that is writing to it. "
                          "Wait until that program has finished (or close it) and start again.")
        .arg(shown);
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

Connection::Connection()
    : m_connectionName(QStringLiteral("kvostrel"))
{
}

Connection::~Connection()
{
    close();
}

Connection &Connection::shared()
{
    if (!s_connection) {
        s_connection.reset(new Connection);
        // However the program ends, the shared objects go before the application object
        // (and the SQL driver with it); released later they would touch a driver that is gone.
        if (QCoreApplication::instance()) {
            qAddPostRoutine(&Connection::releaseShared);
        }
    }
    return *s_connection;
}

void Connection::releaseShared()
{
    s_rowSet.reset();
    s_command.reset();
    s_connection.reset(); // its destructor closes it
}

QString Connection::defaultDatabasePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvostrel.mdb"));
}

void Connection::open(const QString &filePath)
{
    close();
    const bool jet = checkDatabaseFile(filePath);
    const QString shown = QDir::toNativeSeparators(filePath);
    // Every failure from here on closes the connection again before it is reported.
    const auto fail = [this](int number, const QString &description) {
        close();
        return Common::AppError(number, ConnectionSource, description);
    };

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        if (jet) {
            // An Access (Jet) file is read whole into a database in memory (loadJetFile);
            // the file itself is only ever read, by the reader.
            db.setDatabaseName(QStringLiteral(":memory:"));
        } else {
            db.setDatabaseName(filePath);
            // Without this option the driver would create a missing file and allow writes.
            // A program writing to the file holds it locked; a short write is waited for.
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
        }
        m_open = db.open();
    }
    if (!m_open) {
        throw fail(
            DbErrorNumber::FileUnreadable,
            QStringLiteral("The database file \"%1\" cannot be opened: %2").arg(shown, database().lastError().text()));
    }
    m_filePath = filePath;

    // Every table and column the windows read, so that no search fails later on a
    // column that is not there.
    QStringList missingTables;
    QStringList missingColumns;
    if (jet) {
        loadJetFile(shown, missingTables, missingColumns);
    }

    QSqlQuery(database()).exec(QStringLiteral("PRAGMA query_only = ON"));
    // The first read of the schema tells a locked, damaged or foreign file apart.
    QStringList tables;
    {
        QSqlQuery query(database());
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
            const QSqlError error = query.lastError();
            if (isLockError(error)) {
                throw fail(DbErrorNumber::Locked, lockedText(shown));
            }
            if (sqliteCode(error) == SqliteCorrupt) {
                throw fail(DbErrorNumber::Damaged, damagedText(shown, error.databaseText()));
            }
            throw fail(DbErrorNumber::NotADatabase,
                       QStringLiteral("The file \"%1\" is not a database that this program can read: %2")
                           .arg(shown, error.text()));
        }
        while (query.next()) {
            tables << query.value(0).toString();
        }
    }

    for (const Schema::RequiredTable &required : Schema::RequiredColumns) {
        if (jet) {
            break; // the loader has checked the Jet file's own tables
        }
        const QString table(required.table);
        if (!tables.contains(table, Qt::CaseInsensitive)) {
            missingTables << QStringLiteral("\"%1\"").arg(table);
            continue;
        }
        QSqlQuery query(database());
        QStringList columns;
        if (query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
            while (query.next()) {
                columns << query.value(1).toString();
            }
        }
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

void Connection::loadJetFile(const QString &shown, QStringList &missingTables, QStringList &missingColumns)
{
    const auto fail = [this](int number, const QString &description) {
        close();
        return Common::AppError(number, ConnectionSource, description);
    };
    try {
        loadJetDatabase(m_filePath, database());
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
    return m_open;
}

void Connection::close()
{
    // The row set reads through this connection: its query goes first.
    if (s_rowSet) {
        s_rowSet->close();
    }
    if (QSqlDatabase::contains(m_connectionName)) {
        database().close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_open = false;
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

// ---------------------------------------------------------------- Command

Command &Command::shared()
{
    if (!s_command) {
        s_command.reset(new Command);
    }
    return *s_command;
}

// ---------------------------------------------------------------- RowSet

RowSet &RowSet::shared()
{
    if (!s_rowSet) {
        s_rowSet.reset(new RowSet);
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
    if (!connection || !connection->isOpen()) {
        throw rowSetError(DbErrorNumber::NotOpen, "Open", QStringLiteral("The database is not open."));
    }
    auto query = std::make_unique<QSqlQuery>(connection->database());
    query->setForwardOnly(true);
    if (!query->exec(command.commandText())) {
        if (isLockError(query->lastError())) {
            throw rowSetError(DbErrorNumber::Locked, "Open",
                              QStringLiteral("The database is locked by another program that is writing to it. "
                                             "Try again in a moment."));
        }
        throw rowSetError(DbErrorNumber::QueryFailed, "Open",
                          QStringLiteral("The search could not run: %1").arg(query->lastError().text()));
    }
    m_query = std::move(query);
    m_record = m_query->record();
    m_onRow = m_query->next();
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

void RowSet::moveNext()
{
    requireCurrentRow("MoveNext");
    m_onRow = m_query->next();
}

int RowSet::fieldIndex(const QString &name) const
{
    const int index = m_record.indexOf(name); // ignores case; an empty record while closed
    if (index < 0) {
        throw rowSetError(DbErrorNumber::NoSuchField, "Fields",
                          QStringLiteral("The result has no column \"%1\".").arg(name));
    }
    return index;
}

QVariant RowSet::field(int index) const
{
    requireCurrentRow("Fields");
    return m_query->value(index);
}

QVariant RowSet::field(const QString &name) const
{
    requireCurrentRow("Fields");
    return m_query->value(fieldIndex(name));
}

void RowSet::close()
{
    if (m_query) {
        m_query->finish();
    }
    m_query.reset();
    m_record = QSqlRecord();
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

} // namespace Db
