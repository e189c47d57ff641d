#pragma once

#include <QString>

struct sqlite3;

namespace Db {

// The converted copy of an Access (Jet) file that the program keeps in the user's cache
// folder ($XDG_CACHE_HOME/torvanelquist, by default ~/.cache/torvanelquist), so that a
// second start on the same file opens an SQLite file instead of converting it again.
//
// A copy is named by the Jet file's identity (device, inode, size, modification and
// status-change times) and by the program that made it, and it holds that identity in a
// table of its own: a copy of another file, of an older state of this one, or made by
// another build of the program is never taken. A copy is written under a temporary
// name, flushed to the disk and only then renamed, so a copy cut short by a crash never
// has the name a start looks for.
class JetCache
{
public:
    // Takes the identity of `jetPath` now; without it (the file cannot be examined, or
    // no cache folder is known) the cache is not used.
    explicit JetCache(const QString &jetPath);

    bool usable() const { return !m_key.isEmpty() && !m_path.isEmpty(); }
    // Where the copy of this file is (or would be) kept; empty when unusable.
    QString copyPath() const { return m_path; }
    // The identity the copy must hold.
    const QByteArray &key() const { return m_key; }

    // Whether the open copy `copy` was made from this very file by this program.
    bool holdsThisFile(sqlite3 *copy) const;
    // Whether the Jet file still has the identity taken at construction (it did not
    // change while it was read).
    bool fileUnchanged() const;
    // Keeps the loaded database `loaded` as this file's copy: takes its pages now and
    // writes them in a thread of its own (finishWriting waits for it). Returns an empty
    // text, or why no copy can be kept (the folder cannot be made or written); a failed
    // write says why on standard error. Nothing half-written is left behind.
    QString store(sqlite3 *loaded) const;
    // Waits until the copy being written, if any, is on the disk under its name.
    static void finishWriting();
    // Removes the copy (found damaged or not this file's).
    void discard() const;

    // The folder the copies are kept in (made on first use), empty when unknown.
    static QString folder();
    // The most copies kept: the oldest beyond this are removed when one is written.
    static constexpr int MostCopiesKept = 4;

private:
    QString m_jetPath;
    QByteArray m_key;
    QString m_path;
};

} // namespace Db
