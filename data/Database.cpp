#include "data/Database.h"

#include "data/DatabaseFile.h"
#include "data/TextMatching.h"

#include <QDir>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace Db {

namespace {

const QString RowSetSource = QStringLiteral("RowSet");

Common::AppError rowSetError(int number, const char *operation, const QString &description)
{
    return Common::AppError(number, RowSetSource + QLatin1Char('.') + QLatin1String(operation), description);
}

} // namespace

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
    if (!connection->m_nocaseSettled && !isAscii(sql)) {
        connection->settleNocase();
    }
    sqlite3 *db = connection->handle();
    sqlite3_stmt *statement = nullptr;
    int code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
    if (code == SQLITE_OK && !statement) {
        // Only blanks or a comment: a result without rows or columns.
        code = sqlite3_prepare_v2(db, "SELECT 1 WHERE 0", -1, &statement, nullptr);
    }
    m_kept = false;
    start(connection, statement, code);
}

void RowSet::open(Connection &connection, const QByteArray &sql, const QVariantList &values)
{
    if (isOpen()) {
        throw rowSetError(DbErrorNumber::RowSetBusy, "Open",
                          QStringLiteral("Another search is still being read; try again when it has finished."));
    }
    if (!connection.isOpen() || !connection.handle()) {
        throw rowSetError(DbErrorNumber::NotOpen, "Open", QStringLiteral("The database is not open."));
    }
    if (!connection.m_nocaseSettled
        && (!isAscii(sql) || std::any_of(values.cbegin(), values.cend(), [](const QVariant &value) {
               return value.typeId() == QMetaType::QString && !isAscii(value.toString().toUtf8());
           }))) {
        connection.settleNocase(); // before the kept statements are made again on its NOCASE
    }
    int code = SQLITE_OK;
    sqlite3_stmt *statement = connection.keptStatement(sql, code);
    for (int i = 0; code == SQLITE_OK && i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        if (value.isNull()) {
            code = sqlite3_bind_null(statement, i + 1);
        } else if (value.typeId() == QMetaType::QString) {
            const QByteArray text = value.toString().toUtf8();
            code = sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        } else {
            code = sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        }
    }
    m_kept = statement != nullptr;
    start(&connection, statement, code);
}

void RowSet::start(Connection *connection, sqlite3_stmt *statement, int code)
{
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

QByteArrayView RowSet::fieldUtf8(int index, QByteArray &scratch) const
{
    requireCurrentRow("Fields");
    if (index < 0 || index >= m_names.size()) {
        return {};
    }
    // The column's value taken once: each sqlite3_column_ call checks the statement
    // and its connection again, which a long read (an export) paid three times a field.
    sqlite3_value *value = sqlite3_column_value(m_statement, index);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_FLOAT:
        scratch = fieldText(field(index)).toUtf8();
        return scratch;
    default: {
        // Whole numbers come as SQLite writes them, which is how QString::number does.
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        const QByteArrayView bytes(text, text ? sqlite3_value_bytes(value) : 0);
        // Most text is plain ASCII, checked a word at a time; the rest is checked whole.
        if (isAscii(bytes) || bytes.isValidUtf8()) {
            return bytes;
        }
        scratch = QString::fromUtf8(bytes).toUtf8(); // what field() would have made of it
        return scratch;
    }
    }
}

qint64 RowSet::fieldInt64(int index) const
{
    requireCurrentRow("Fields");
    return index < 0 || index >= m_names.size() ? 0 : sqlite3_column_int64(m_statement, index);
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
        // Each column's value taken once, as fieldUtf8 does.
        sqlite3_value *line = sqlite3_column_value(m_statement, lineColumn);
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(line));
        rows->m_text.append(text, text ? sqlite3_value_bytes(line) : 0);
        rows->m_ends.push_back(quint32(rows->m_text.size()));
        if (keyed) {
            qint64 key = ListRows::NoKey;
            sqlite3_value *keyValue = sqlite3_column_value(m_statement, keyColumn);
            switch (sqlite3_value_type(keyValue)) {
            case SQLITE_INTEGER:
                key = sqlite3_value_int64(keyValue);
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
    if (m_statement && m_kept) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    } else if (m_statement) {
        sqlite3_finalize(m_statement);
    }
    m_statement = nullptr;
    m_kept = false;
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

RowSet &openSharedQuery(const QByteArray &sql, const QVariantList &values)
{
    RowSet &rowSet = RowSet::shared();
    rowSet.open(Connection::shared(), sql, values);
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
    const quint32 begin = start(size_t(row));
    return QByteArrayView(m_text.constData() + begin, qsizetype(m_ends[size_t(row)] - begin));
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
    return m_text.capacity() + qint64((m_ends.capacity() + m_starts.capacity()) * sizeof(quint32))
        + qint64(m_keys.capacity() * sizeof(qint64)) + qint64(sizeof(ListRows));
}

} // namespace Db
