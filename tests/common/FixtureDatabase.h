#pragma once

#include "layout/Schema.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

#include <utility>
#include <vector>

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

// The four tables as kvostrel-import lays them out (an integer key, then text columns
// that ignore case), empty. `omitted`, "table" or "table.column", leaves one out.
inline QStringList referenceTables(const QString &omitted = QString())
{
    namespace P = Schema::Products;
    namespace V = Schema::Vocabulary;
    namespace Pt = Schema::Patent;
    const std::vector<QLatin1StringView> vocabulary
        = {V::Name, V::Definition, V::UseRestrictions, V::ShortName, V::FdaCode, V::NciConceptId};
    const std::pair<QLatin1StringView, std::vector<QLatin1StringView>> tables[]
        = {{P::Table,
            {P::TradeName, P::Ingredient, P::Strength, P::DosageForm, P::Route, P::Type, P::Applicant, P::TECode,
             P::ProductNumber, P::NDANumber, P::RLD, P::ApprovalDate}},
           {V::DosageFormTable, vocabulary},
           {V::RouteTable, vocabulary},
           {Pt::Table,
            {Pt::PatentNumber, Pt::ExpireDate, Pt::NDANumber, Pt::ProductNumber, Pt::SubstanceFlag, Pt::ProductFlag,
             Pt::UseCode}}};
    QStringList statements;
    for (const auto &[table, columns] : tables) {
        if (omitted == table) {
            continue;
        }
        QString sql = QStringLiteral("CREATE TABLE [%1] (ID INTEGER PRIMARY KEY").arg(table);
        for (const QLatin1StringView column : columns) {
            if (omitted != QString(table) + QLatin1Char('.') + QString(column)) {
                sql += QStringLiteral(", [%1] TEXT COLLATE NOCASE").arg(column);
            }
        }
        statements << sql + QLatin1Char(')');
    }
    return statements;
}
