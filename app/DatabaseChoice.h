#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace App {

// Which reference database the program opens: the newest of the user's own (made by
// "Update data") and the program's (beside the executable, or installed in
// share/torvanelquist), newest by the FDA release the file holds.
namespace DatabaseChoice {

// $XDG_DATA_HOME/torvanelquist/kvostrel.mdb (~/.local/share/... by default).
QString userDatabasePath();
// kvostrel.mdb beside the executable; installed (lib/torvanelquist), where there is
// none beside it, ../../share/torvanelquist/kvostrel.mdb.
QString programDatabasePath();

// The FDA release a database file holds, as written in it ("Nov 08, 2024") and as a
// date (invalid when the file holds none: an Access file, an older file). `problem`
// says why the file cannot be read at all; empty when it can.
struct Release
{
    QString text;
    QDate date;
    QString problem;
};
Release readRelease(const QString &filePath);
// "Nov 08, 2024" or "Nov 8, 2024"; an invalid date for any other text.
QDate parseReleaseDate(const QString &text);

// The files to try, the preferred first: the user's file first when it exists and
// holds a release newer than the program's; the program's file is always among them.
// `note` tells the user about a user's file passed over (older, unreadable).
struct Choice
{
    QStringList candidates;
    QString note;
};
Choice choose(const QString &programPath, const QString &userPath);

} // namespace DatabaseChoice

} // namespace App
