#pragma once

// Statements run on the program's own open connection with a row set of their own,
// beside whatever the windows are reading: the tests' reference answers, and proof that
// nothing can be written through it.

#include "common/AppError.h"
#include "data/Database.h"

#include <QList>
#include <QStringList>
#include <QVariant>

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
    Db::Command command;
    command.setActiveConnection(&Db::Connection::shared());
    command.setCommandText(sql);
    Db::RowSet rowSet;
    try {
        rowSet.open(command);
    } catch (const Common::AppError &) {
        return result;
    }
    Db::RowSetCloser closer(rowSet);
    for (int i = 0; i < rowSet.fieldCount(); ++i) {
        result.names << rowSet.fieldName(i);
    }
    for (; !rowSet.eof(); rowSet.moveNext()) {
        QVariantList row;
        for (int i = 0; i < rowSet.fieldCount(); ++i) {
            row << rowSet.field(i);
        }
        result.rows << row;
    }
    result.ok = true;
    return result;
}
