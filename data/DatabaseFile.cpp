#include "data/DatabaseFile.h"

#include "data/Database.h"

#include "jet/JetFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace Db {

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

namespace {

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

} // namespace

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

} // namespace Db
