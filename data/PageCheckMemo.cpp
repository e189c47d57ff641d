#include "data/PageCheckMemo.h"

#include "data/JetCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace Db {

namespace {

// Raised when what a memo means changes (a deeper or different check).
constexpr QByteArrayView MemoFormat = "torvanelquist pages read whole 1";

// The memo's text for `canonical` as it is now: "format\npath\ndevice inode size mtime
// ctime\n" (times in nanoseconds), empty when the file cannot be examined.
QByteArray memoTextOf(const QString &canonical)
{
    struct stat status
    {};
    if (canonical.isEmpty() || ::stat(QFile::encodeName(canonical).constData(), &status) != 0) {
        return {};
    }
    const auto ns = [](const timespec &time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; };
    return MemoFormat.toByteArray() + '\n' + canonical.toUtf8() + '\n' + QByteArray::number(quint64(status.st_dev))
        + ' ' + QByteArray::number(quint64(status.st_ino)) + ' ' + QByteArray::number(qint64(status.st_size)) + ' '
        + QByteArray::number(ns(status.st_mtim)) + ' ' + QByteArray::number(ns(status.st_ctim)) + '\n';
}

void prune(const QString &folder, int keep)
{
    const QFileInfoList memos
        = QDir(folder).entryInfoList({QStringLiteral("pages-*.checked")}, QDir::Files | QDir::Hidden, QDir::Time);
    for (qsizetype i = keep; i < memos.size(); ++i) {
        QFile::remove(memos[i].absoluteFilePath());
    }
}

} // namespace

PageCheckMemo::PageCheckMemo(const QString &filePath)
    : m_filePath(QFileInfo(filePath).canonicalFilePath())
{
    const QString where = JetCache::folder();
    m_text = memoTextOf(m_filePath);
    if (m_text.isEmpty() || where.isEmpty()) {
        m_text.clear();
        return;
    }
    const QByteArray name = QCryptographicHash::hash(m_filePath.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    m_path = QDir(where).filePath(QStringLiteral("pages-%1.checked").arg(QString::fromLatin1(name)));
}

bool PageCheckMemo::passedBefore() const
{
    if (m_path.isEmpty()) {
        return false;
    }
    QFile memo(m_path);
    // One byte more than expected tells a longer memo apart.
    return memo.open(QIODevice::ReadOnly) && memo.read(m_text.size() + 1) == m_text;
}

void PageCheckMemo::rememberPassed() const
{
    if (m_path.isEmpty() || memoTextOf(m_filePath) != m_text) {
        return; // changed while it was checked: the next start checks it again
    }
    const QString where = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(where)) {
        return;
    }
    QSaveFile memo(m_path);
    if (memo.open(QIODevice::WriteOnly) && memo.write(m_text) == m_text.size() && memo.commit()) {
        prune(where, MostMemosKept);
    }
}

} // namespace Db
