#pragma once

// The plainest list that shows what the drug window's hit list shows: the statement's
// lines and keys read with SQLite's C API, then a bare list view of uniform line heights
// whose model makes a line text only when it is drawn, with the line's detail (strength,
// form, applicant, ...) read for the lines drawn, a screenful in one statement, and
// drawn after the name in the same string by the default delegate.

#include "data/Database.h"
#include "data/SqlText.h"
#include "search/LineDetails.h"

#include <QAbstractListModel>
#include <QStringList>

#include <sqlite3.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace Bench {

// A statement's first column (the line) and second (its key), read with the C API.
struct BareLines
{
    std::vector<std::string> lines;
    std::vector<qint64> keys;
};

inline BareLines readBareLines(const QString &sql)
{
    sqlite3 *db = Db::Connection::shared().handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    BareLines read;
    if (db && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        const bool keyed = sqlite3_column_count(statement) > 1;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *line = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            read.lines.emplace_back(line ? line : "", size_t(sqlite3_column_bytes(statement, 0)));
            read.keys.push_back(keyed ? sqlite3_column_int64(statement, 1) : 0);
        }
    }
    sqlite3_finalize(statement);
    return read;
}

class BareHitListModel : public QAbstractListModel
{
public:
    // `withReferenceStandard`: whether the products carry the RS field (asked once);
    // without `withDetails`, the names alone (less than the program shows).
    explicit BareHitListModel(bool withReferenceStandard, bool withDetails = true)
        : m_withReferenceStandard(withReferenceStandard),
          m_withDetails(withDetails)
    {
    }

    void setLines(BareLines lines)
    {
        beginResetModel();
        m_lines = std::move(lines);
        m_details.clear();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_lines.lines.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole) {
            return {};
        }
        const std::string &line = m_lines.lines[size_t(index.row())];
        const QString name = QString::fromUtf8(line.data(), qsizetype(line.size()));
        const QString detail = m_withDetails ? detailOf(index.row()) : QString();
        return detail.isEmpty() ? name : name + QStringLiteral("  ") + detail;
    }

private:
    // The row's detail, read with the next 63 rows' ones the first time it is asked for.
    QString detailOf(int row) const
    {
        const qint64 key = m_lines.keys[size_t(row)];
        if (const auto known = m_details.find(key); known != m_details.end()) {
            return known->second;
        }
        QVector<qint64> keys;
        for (size_t r = size_t(row); r < m_lines.keys.size() && keys.size() < 64; ++r) {
            if (!m_details.count(m_lines.keys[r])) {
                keys << m_lines.keys[r];
                m_details[m_lines.keys[r]];
            }
        }
        const QByteArray sql
            = Db::SqlText::lineDetails(Db::SqlText::Window::Drugs, keys, m_withReferenceStandard).toUtf8();
        sqlite3 *db = Db::Connection::shared().handle();
        sqlite3_stmt *statement = nullptr;
        if (db && sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) == SQLITE_OK) {
            const int columns = sqlite3_column_count(statement);
            while (sqlite3_step(statement) == SQLITE_ROW) {
                QStringList parts;
                for (int column = 1; column < columns; ++column) {
                    parts << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                                               sqlite3_column_bytes(statement, column));
                }
                m_details[sqlite3_column_int64(statement, 0)] = Search::drugLineDetail(parts);
            }
        }
        sqlite3_finalize(statement);
        return m_details[key];
    }

    bool m_withReferenceStandard;
    bool m_withDetails;
    BareLines m_lines;
    mutable std::unordered_map<qint64, QString> m_details;
};

// Whether the open database's products carry the RS field.
inline bool productsHaveReferenceStandard()
{
    sqlite3 *db = Db::Connection::shared().handle();
    sqlite3_stmt *statement = nullptr;
    bool found = false;
    if (db
        && sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('products')", -1, &statement, nullptr)
            == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            found = found || (name && QString::fromUtf8(name).contains(QLatin1String("(RS)"), Qt::CaseInsensitive));
        }
    }
    sqlite3_finalize(statement);
    return found;
}

} // namespace Bench
