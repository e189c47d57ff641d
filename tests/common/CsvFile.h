#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QProcess>
#include <QStringList>
#include <QVector>

// A CSV file as an independent reader (Python's csv module) reads it.
inline QVector<QStringList> readCsv(const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f))))"),
                  path});
    reader.waitForFinished(60000);
    QVector<QStringList> rows;
    for (const QJsonValue row : QJsonDocument::fromJson(reader.readAllStandardOutput()).array()) {
        rows << row.toVariant().toStringList();
    }
    return rows;
}
