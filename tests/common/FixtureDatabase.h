#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

// Creates the database file `path` (writable, for tests only) and runs `statements` in it.
inline void createDatabase(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("test-fixture-writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &sql : statements) {
            QVERIFY2(q.exec(sql), qPrintable(sql));
        }
    }
    QSqlDatabase::removeDatabase(name);
}
