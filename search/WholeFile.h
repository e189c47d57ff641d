#pragma once

// Saving a file the user named (an exported list, a printed record): header-only, as the
// print module, which links nothing of the program's, writes through it too.

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <unistd.h>

namespace Search {

// Why `path` cannot take a saved file, in words that follow "could not be written to
// <path>: "; empty when it names a file or nothing yet. A folder, a device or a pipe (also
// at the end of a link) is refused: a save would put a file in its place, or wait forever.
inline QString unsuitableTarget(const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        return QStringLiteral("it is a folder");
    }
    if (target.exists() && !target.isFile()) {
        return QStringLiteral("it is a device or a pipe, not a file");
    }
    return {};
}

// Writes the file at `path` whole or not at all: `write` fills a QSaveFile and returns an
// empty text, or why it gave up. The file appears (or replaces the one there) only when
// every byte reached the disk; a failed, cut-short or abandoned write leaves nothing, and
// the earlier file as it was. Returns why it failed (the system's words for a failed
// write, such as "No space left on device"), or an empty text.
template<typename Write>
QString writeWholeFile(const QString &path, Write &&write)
{
    if (const QString unsuitable = unsuitableTarget(path); !unsuitable.isEmpty()) {
        return unsuitable;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (const QString abandoned = write(file); !abandoned.isEmpty()) {
        return abandoned; // the unfinished file goes with `file`
    }
    // The commit misses two failures: one of the last buffered write (on a full disk it
    // then puts an empty file in place) and one the disk reports only on a sync.
    if (!file.flush()) {
        return file.errorString();
    }
    if (::fsync(file.handle()) != 0 && errno != EINVAL) { // EINVAL: nothing to sync
        return qt_error_string(errno);
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace Search
