#pragma once

#include "common/AppError.h"

#include <QString>

// What the connection and the row set share about the database file: how it is checked
// before it is opened, and how its failures read in the program's words.
namespace Db {

// The source text of the errors that opening the database raises.
inline const QString ConnectionSource = QStringLiteral("Connection.Open");

QString damagedText(const QString &shown, const QString &why);
QString leftOpenText(const QString &shown, const QString &why);
QString lockedText(const QString &shown);

// A failed step of a read, in the program's words: what failed and in which file.
Common::AppError readError(const QString &source, const QString &shown, int code, const QString &message);

enum class DatabaseKind {
    Sqlite, // in rollback-journal mode
    SqliteWal, // in write-ahead-log mode, its log empty or gone
    Jet
};

// Refuses, with a message in the program's words, anything that is neither an SQLite
// file nor an Access (Jet) file, and an SQLite file another program has left a change
// of beside it. A Jet file's header is checked by the reader. Throws AppError.
DatabaseKind checkDatabaseFile(const QString &filePath);

} // namespace Db
