#pragma once

// A file system of 64 KiB for writes that meet a full disk: a tmpfs mounted on a new
// folder while the object lives. Mounting needs root. The test process first moves into
// a mount namespace of its own (before main, while it has a single thread, which the move
// needs), so that no mount is seen by other programs or outlives the test, even one that
// crashes.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace SmallFileSystemSupport {

// Empty when this process has a mount namespace of its own, else why not.
static const QString privateMountsMissing = [] {
    if (::geteuid() != 0) {
        return QStringLiteral("mounting a small file system needs root");
    }
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return QStringLiteral("no private mount namespace: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return QString();
}();

} // namespace SmallFileSystemSupport

class SmallFileSystem
{
public:
    SmallFileSystem()
        : m_path(m_dir.filePath(QStringLiteral("small")))
    {
        m_why = SmallFileSystemSupport::privateMountsMissing;
        if (!m_why.isEmpty()) {
            return;
        }
        QDir().mkpath(m_path);
        if (::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755")
            != 0) {
            m_why = QStringLiteral("mount: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    ~SmallFileSystem()
    {
        if (isMounted()) {
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_why.isEmpty(); }
    // Why it could not be mounted.
    const QString &why() const { return m_why; }
    const QString &path() const { return m_path; }

    // Takes every free byte with a file "filler"; true when the file system is then full.
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(m_path + QStringLiteral("/filler")).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) {
            return false;
        }
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {}
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_why;
};
