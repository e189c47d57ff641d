#pragma once

#include <QByteArray>
#include <QString>

namespace Db {

// Remembers, in the user's cache folder (beside the converted Jet files), that every
// page of a database file was read and found whole, so that the next start on the very
// same file skips reading it all again.
//
// A memo is kept per file (its canonical path) and holds the file's identity: canonical
// path, device, inode, size, and modification and status-change times in nanoseconds.
// Any difference (the file written, touched, replaced or moved) checks it again. Only a
// passed check is remembered; a memo that cannot be read or holds anything but the
// expected text is ignored (and replaced after the next passed check).
class PageCheckMemo
{
public:
    // Takes the identity of `filePath` now; without it (the file cannot be examined, or
    // no cache folder is known) nothing is remembered and every start checks.
    explicit PageCheckMemo(const QString &filePath);

    // Whether a check of this file as it is now has passed before.
    bool passedBefore() const;
    // Remembers a passed check, when the file still has the identity taken at
    // construction (it did not change while it was checked). Failing to write the memo
    // only costs the next start its check.
    void rememberPassed() const;

    // Where the memo of this file is (or would be) kept; empty when unusable.
    QString memoPath() const { return m_path; }

    // The most memos kept: the oldest beyond this are removed when one is written.
    static constexpr int MostMemosKept = 16;

private:
    QString m_filePath;
    QByteArray m_text; // the memo's whole expected content
    QString m_path;
};

} // namespace Db
