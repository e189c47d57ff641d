#include "app/DatabaseChoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QUrl>

#include <sqlite3.h>

namespace App::DatabaseChoice {

namespace {
const QString FileName = QStringLiteral("kvostrel.mdb");
} // namespace

QString userDatabasePath()
{
    // GenericDataLocation's first entry is $XDG_DATA_HOME (or ~/.local/share).
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("torvanelquist/") + FileName);
}

QString programDatabasePath()
{
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString beside = folder.filePath(FileName);
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../../share/torvanelquist/") + FileName));
    return QFileInfo::exists(installed) ? installed : beside;
}

QDate parseReleaseDate(const QString &text)
{
    const QLocale c = QLocale::c();
    for (const char *format : {"MMM dd, yyyy", "MMM d, yyyy"}) {
        const QDate date = c.toDate(text.trimmed(), QString::fromLatin1(format));
        if (date.isValid()) {
            return date;
        }
    }
    return {};
}

Release readRelease(const QString &filePath)
{
    Release release;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        release.problem = file.errorString();
        return release;
    }
    if (file.read(16) != QByteArray("SQLite format 3", 16)) {
        return release; // an Access file: read as it is, its release unknown
    }
    file.close();
    sqlite3 *db = nullptr;
    const QByteArray uri = QUrl::fromLocalFile(filePath).toEncoded() + "?mode=ro";
    int result = sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    sqlite3_stmt *statement = nullptr;
    if (result == SQLITE_OK) {
        result = sqlite3_prepare_v2(db, "SELECT [Release Date] FROM [release]", -1, &statement, nullptr);
    }
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        if (result == SQLITE_ROW) {
            release.text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
            release.date = parseReleaseDate(release.text);
        } else if (result != SQLITE_DONE) {
            release.problem = QString::fromUtf8(sqlite3_errmsg(db));
        }
    } else if (!QByteArray(sqlite3_errmsg(db)).startsWith("no such table")) {
        release.problem = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return release;
}

Choice choose(const QString &programPath, const QString &userPath)
{
    Choice choice;
    if (userPath.isEmpty() || !QFileInfo::exists(userPath)) {
        choice.candidates << programPath;
        return choice;
    }
    const Release user = readRelease(userPath);
    const Release program = readRelease(programPath);
    const QString shownUser = QDir::toNativeSeparators(userPath);
    if (!user.problem.isEmpty()) {
        choice.candidates << programPath;
        choice.note = QStringLiteral("Your updated data %1 cannot be read (%2), so the program's own data is used. "
                                     "Remove that file, or update the data again.")
                          .arg(shownUser, user.problem);
        return choice;
    }
    // A file whose release is unknown counts as the oldest; the program's file wins a tie.
    const bool userNewer = user.date.isValid() && (!program.date.isValid() || user.date > program.date);
    if (userNewer) {
        choice.candidates << userPath << programPath;
    } else {
        choice.candidates << programPath << userPath;
        choice.note = QStringLiteral("Your updated data %1 (release of %2) is not newer than the program's own "
                                     "(release of %3), so the program's is used. You may remove your file.")
                          .arg(shownUser, user.text.isEmpty() ? QStringLiteral("unknown date") : user.text,
                               program.text.isEmpty() ? QStringLiteral("unknown date") : program.text);
    }
    return choice;
}

} // namespace App::DatabaseChoice
