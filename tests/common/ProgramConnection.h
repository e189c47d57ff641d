#pragma once

// Statements run on the program's own open connection (its SQLite handle), beside
// whatever the windows are reading: the tests' reference answers, and proof that
// nothing can be written through it.

#include "data/Database.h"

#include <QList>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

struct ProgramRows
{
    bool ok = false;
    QStringList names;
    QList<QVariantList> rows;

    // The value of column `name` (case ignored) in row `row`; invalid when absent.
    QVariant value(int row, const QString &name) const
    {
        for (int i = 0; i < names.size(); ++i) {
            if (names.at(i).compare(name, Qt::CaseInsensitive) == 0) {
                return rows.value(row).value(i);
            }
        }
        return {};
    }
};

inline ProgramRows queryProgramConnection(const QString &sql)
{
    ProgramRows result;
    sqlite3 *db = Db::Connection::shared().handle();
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (!db || sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK) {
        return result;
    }
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        result.names << QString::fromUtf8(sqlite3_column_name(statement, i));
    }
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < result.names.size(); ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                row << QVariant(QMetaType::fromType<QString>());
                break;
            case SQLITE_INTEGER:
                row << QVariant(qlonglong(sqlite3_column_int64(statement, i)));
                break;
            default:
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i)),
                                         sqlite3_column_bytes(statement, i));
            }
        }
        result.rows << row;
    }
    result.ok = code == SQLITE_DONE;
    sqlite3_finalize(statement);
    return result;
}
