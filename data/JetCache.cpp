#include "data/JetCache.h"

#include "common/ErrorNumbers.h"
#include "common/FileDescriptor.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/TextMatching.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace Db {

namespace {

// Raised when what a copy is made of changes: the layout of the copy, or what it holds.
constexpr QByteArrayView CopyFormat = "torvanelquist converted Jet file 1";
constexpr QByteArrayView SourceTable = "JetCacheSource";

// "device inode size mtime ctime" of `path` (times in nanoseconds), empty when the
// file cannot be examined.
QByteArray identityOf(const QString &path)
{
    struct stat status {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return {};
    }
    const auto ns = [](const timespec &time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return QByteArray::number(quint64(status.st_dev)) + ' ' + QByteArray::number(quint64(status.st_ino)) + ' '
        + QByteArray::number(qint64(status.st_size)) + ' ' + QByteArray::number(ns(status.st_mtim)) + ' '
        + QByteArray::number(ns(status.st_ctim));
}

QString errorText(int code, sqlite3 *db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

bool flushToDisk(const QString &path)
{
    const Common::FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Removes the oldest copies beyond the most kept, and pieces that a start ended while
// writing left behind (an hour old: another copy of the program may be writing one).
void prune(const QString &folder)
{
    QDir dir(folder);
    const QFileInfoList copies
        = dir.entryInfoList({QStringLiteral("jet-*.sqlite")}, QDir::Files | QDir::Hidden, QDir::Time);
    for (qsizetype i = JetCache::MostCopiesKept; i < copies.size(); ++i) {
        QFile::remove(copies[i].absoluteFilePath());
    }
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (const QFileInfo &piece : dir.entryInfoList({QStringLiteral(".jet-*.part")}, QDir::Files | QDir::Hidden)) {
        if (piece.lastModified().toUTC() < hourAgo) {
            QFile::remove(piece.absoluteFilePath());
        }
    }
}

} // namespace

JetCache::JetCache(const QString &jetPath)
    : m_jetPath(jetPath)
{
    const QByteArray file = identityOf(jetPath);
    // A rebuilt or updated program converts again: what it reads from a Jet file, and
    // how its indexes are ordered, may have changed.
    const QByteArray program = identityOf(QCoreApplication::applicationFilePath());
    const QString where = folder();
    if (file.isEmpty() || where.isEmpty()) {
        return;
    }
    m_key = CopyFormat.toByteArray() + "; file " + file + "; program " + program;
    const QByteArray name = QCryptographicHash::hash(m_key, QCryptographicHash::Sha256).toHex().left(32);
    m_path = QDir(where).filePath(QStringLiteral("jet-%1.sqlite").arg(QString::fromLatin1(name)));
}

QString JetCache::folder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("torvanelquist"));
}

bool JetCache::holdsThisFile(sqlite3 *copy) const
{
    if (!usable() || !copy) {
        return false;
    }
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = "SELECT identity FROM \"" + SourceTable.toByteArray() + "\"";
    bool holds = false;
    if (sqlite3_prepare_v2(copy, sql.constData(), -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        const QByteArrayView identity(static_cast<const char *>(sqlite3_column_blob(statement, 0)),
                                      sqlite3_column_bytes(statement, 0));
        holds = identity == m_key && sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
    return holds;
}

bool JetCache::fileUnchanged() const
{
    return usable() && m_key.contains("; file " + identityOf(m_jetPath) + "; program ");
}

QString JetCache::store(sqlite3 *loaded) const
{
    if (!usable()) {
        return QStringLiteral("no cache folder is known");
    }
    const QString where = folder();
    if (!QDir().mkpath(where)) {
        return QStringLiteral("the folder \"%1\" cannot be made").arg(where);
    }
    QString piece;
    {
        QTemporaryFile file(QDir(where).filePath(QStringLiteral(".jet-XXXXXX.part")));
        file.setAutoRemove(false);
        if (!file.open()) {
            return QStringLiteral("the folder \"%1\" cannot be written: %2").arg(where, file.errorString());
        }
        piece = file.fileName();
    }
    sqlite3 *copy = nullptr;
    const QByteArray piecePath = QFile::encodeName(piece);
    int code = sqlite3_open_v2(piecePath.constData(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    if (code == SQLITE_OK) {
        // No journal and no flush of its own: the piece is flushed once, whole, below,
        // and a piece cut short is never renamed.
        code = sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    }
    if (code == SQLITE_OK) {
        sqlite3_backup *backup = sqlite3_backup_init(copy, "main", loaded, "main");
        code = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(copy);
        const int finished = backup ? sqlite3_backup_finish(backup) : SQLITE_OK;
        code = code == SQLITE_DONE ? finished : code;
    }
    if (code == SQLITE_OK) {
        const QByteArray sql = "CREATE TABLE \"" + SourceTable.toByteArray() + "\" (identity BLOB NOT NULL); INSERT INTO \""
            + SourceTable.toByteArray() + "\" VALUES (x'" + m_key.toHex() + "')";
        code = sqlite3_exec(copy, sql.constData(), nullptr, nullptr, nullptr);
    }
    QString why = code == SQLITE_OK ? QString() : errorText(code, copy);
    if (const int closed = sqlite3_close(copy); why.isEmpty() && closed != SQLITE_OK) {
        why = QString::fromUtf8(sqlite3_errstr(closed));
    }
    // On the disk before it has the name a start takes, so a crash never leaves a
    // copy that is cut short under that name.
    if (why.isEmpty() && !flushToDisk(piece)) {
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (why.isEmpty() && std::rename(piecePath.constData(), QFile::encodeName(m_path).constData()) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!why.isEmpty()) {
        QFile::remove(piece);
        return QStringLiteral("the copy \"%1\" cannot be written: %2").arg(m_path, why);
    }
    flushToDisk(where);
    prune(where);
    return {};
}

void JetCache::discard() const
{
    if (usable()) {
        QFile::remove(m_path);
    }
}

// ---------------------------------------------------------------- Connection

bool Connection::openJetCopy(const JetCache &cache, const QString &jetPath)
{
    if (!cache.usable() || !QFileInfo::exists(cache.copyPath())) {
        return false;
    }
    const QString shown = QDir::toNativeSeparators(cache.copyPath());
    try {
        openHandle(cache.copyPath(), DatabaseKind::Sqlite, shown);
        if (!cache.holdsThisFile(m_handle)) {
            throw fail(DbErrorNumber::Damaged, shown);
        }
        // Its indexes were built in memory with the program's NOCASE.
        if (TextMatching::installNocase(m_handle) != SQLITE_OK) {
            throw fail(DbErrorNumber::FileUnreadable, shown);
        }
        sqlite3_exec(m_handle, "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
        QStringList missingTables;
        QStringList missingColumns;
        checkSchema(shown, false, missingTables, missingColumns);
        checkPages(shown);
    } catch (const Common::AppError &) {
        // Damaged, cut short or another file's: never trusted, made again.
        close();
        cache.discard();
        return false;
    }
    m_filePath = jetPath;
    m_nocaseSettled = true;
    return true;
}

void Connection::keepJetCopy(const JetCache &cache)
{
    if (!cache.usable() || !cache.fileUnchanged()) {
        return; // changed while it was read: the next start reads it again
    }
    if (const QString why = cache.store(m_handle); !why.isEmpty()) {
        std::fprintf(stderr, "torvanelquist: the converted Access file is not kept: %s\n", qPrintable(why));
    }
}

} // namespace Db
