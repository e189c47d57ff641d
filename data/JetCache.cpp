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
#include <memory>
#include <string>
#include <thread>
#include <utility>
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
    struct stat status
    {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return {};
    }
    const auto ns = [](const timespec &time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return QByteArray::number(quint64(status.st_dev)) + ' ' + QByteArray::number(quint64(status.st_ino)) + ' '
        + QByteArray::number(qint64(status.st_size)) + ' ' + QByteArray::number(ns(status.st_mtim)) + ' '
        + QByteArray::number(ns(status.st_ctim));
}

// Removes the oldest copies beyond the most kept, and pieces that a start ended while
// writing left behind (an hour old: another copy of the program may be writing one).
void prune(const QString &folder, int keep)
{
    QDir dir(folder);
    const QFileInfoList copies
        = dir.entryInfoList({QStringLiteral("jet-*.sqlite")}, QDir::Files | QDir::Hidden, QDir::Time);
    for (qsizetype i = keep; i < copies.size(); ++i) {
        QFile::remove(copies[i].absoluteFilePath());
    }
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (const QFileInfo &piece : dir.entryInfoList({QStringLiteral(".jet-*.part")}, QDir::Files | QDir::Hidden)) {
        if (piece.lastModified().toUTC() < hourAgo) {
            QFile::remove(piece.absoluteFilePath());
        }
    }
}

// The copy being written (a thread), if any: never destroyed at exit, so a program that
// ends meanwhile leaves at most a piece that is never taken (and is removed later).
std::thread *s_writer = nullptr;

bool flushToDisk(const std::string &path)
{
    const Common::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Writes `image` (an SQLite database's pages) to the piece `fd` at `piece`, adds the
// identity `key`, flushes it to the disk and renames it to `copy`. POSIX and SQLite
// alone: it may run while the program ends.
void writeCopy(std::shared_ptr<unsigned char> image, size_t size, int fd, std::string piece, std::string copy,
               std::string folder, std::string key)
{
    const Common::FileDescriptor file(fd);
    std::string why;
    for (size_t written = 0; why.empty() && written < size;) {
        const ssize_t step = ::write(file.get(), image.get() + written, size - written);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            why = std::strerror(step < 0 ? errno : ENOSPC);
        } else {
            written += size_t(step);
        }
    }
    image.reset();
    sqlite3 *db = nullptr;
    int code = SQLITE_OK;
    if (why.empty()) {
        code = sqlite3_open_v2(piece.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    if (why.empty() && code == SQLITE_OK) {
        // No journal and no flush of its own: the piece is flushed once, whole, below,
        // and a piece cut short is never renamed.
        std::string hex;
        for (const unsigned char c : key) {
            static constexpr char digits[] = "0123456789abcdef";
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        const std::string table(SourceTable.data(), size_t(SourceTable.size()));
        const std::string sql = "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; CREATE TABLE \"" + table
            + "\" (identity BLOB NOT NULL); INSERT INTO \"" + table + "\" VALUES (x'" + hex + "')";
        code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (why.empty() && code != SQLITE_OK) {
        why = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    }
    if (const int closed = sqlite3_close(db); why.empty() && closed != SQLITE_OK) {
        why = sqlite3_errstr(closed);
    }
    // On the disk before it has the name a start takes, so a crash never leaves a
    // copy that is cut short under that name.
    if (why.empty() && ::fsync(file.get()) != 0) {
        why = std::strerror(errno);
    }
    if (why.empty() && std::rename(piece.c_str(), copy.c_str()) != 0) {
        why = std::strerror(errno);
    }
    if (!why.empty()) {
        ::unlink(piece.c_str());
        std::fprintf(stderr, "torvanelquist: the converted Access file is not kept: \"%s\" cannot be written: %s\n",
                     copy.c_str(), why.c_str());
        return;
    }
    flushToDisk(folder);
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
    // The database's pages, taken in one piece now (a few milliseconds); the piece is
    // written to the disk by a thread of its own while the window starts.
    sqlite3_int64 size = 0;
    unsigned char *pages = sqlite3_serialize(loaded, "main", &size, 0);
    if (!pages) {
        return QStringLiteral("no memory for the copy");
    }
    std::shared_ptr<unsigned char> image(pages, sqlite3_free);
    Common::FileDescriptor piece;
    QString piecePath;
    {
        QTemporaryFile file(QDir(where).filePath(QStringLiteral(".jet-XXXXXX.part")));
        file.setAutoRemove(false);
        if (!file.open()) {
            return QStringLiteral("the folder \"%1\" cannot be written: %2").arg(where, file.errorString());
        }
        piecePath = file.fileName();
        piece.reset(::dup(file.handle()));
        if (piece.get() < 0) {
            QFile::remove(piecePath);
            return QStringLiteral("the folder \"%1\" cannot be written").arg(where);
        }
    }
    prune(where, MostCopiesKept - 1);
    finishWriting();
    s_writer = new std::thread(writeCopy, std::move(image), size_t(size), piece.release(),
                               QFile::encodeName(piecePath).toStdString(), QFile::encodeName(m_path).toStdString(),
                               QFile::encodeName(where).toStdString(), m_key.toStdString());
    return {};
}

void JetCache::finishWriting()
{
    if (std::thread *writer = std::exchange(s_writer, nullptr)) {
        writer->join();
        delete writer;
    }
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
