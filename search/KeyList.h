#pragma once

#include "data/Database.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace Search {

// The never-visible key list (`lstSearchID`): one key per line, kept parallel to a
// visible list. It holds no widget, and its keys are whole numbers: after a search
// they are the very rows the hit list shows (shared, not copied); the ingredient
// window adds its grid's keys one by one.
class KeyList : public QObject
{
    Q_OBJECT

public:
    explicit KeyList(QObject *parent = nullptr)
        : QObject(parent)
    {
    }

    int count() const { return m_rows ? m_rows->count() : int(m_own.size()); }
    // The key at `position` (from 0) as a number; Null outside the list or for a line
    // without a key.
    QVariant value(int position) const
    {
        const qint64 key = this->key(position);
        return key == Db::ListRows::NoKey ? QVariant() : QVariant(qlonglong(key));
    }
    // The key at `position`; Db::ListRows::NoKey outside the list or without a key.
    qint64 key(int position) const
    {
        if (m_rows) {
            return m_rows->key(position);
        }
        return position >= 0 && position < int(m_own.size()) ? m_own[size_t(position)] : Db::ListRows::NoKey;
    }
    // The key as text, as a list line shows it; empty for Null or outside the list.
    QString text(int position) const
    {
        const qint64 key = this->key(position);
        return key == Db::ListRows::NoKey ? QString() : QString::number(key);
    }
    QStringList lines() const
    {
        QStringList result;
        result.reserve(count());
        for (int i = 0; i < count(); ++i) {
            result.append(text(i));
        }
        return result;
    }
    // Where `key` first stands; -1 when it is not in the list.
    int indexOf(qint64 key) const
    {
        for (int i = 0; i < count(); ++i) {
            if (this->key(i) == key) {
                return i;
            }
        }
        return -1;
    }

    // Adds a key at the end (one that is not a whole number is kept as Null).
    void addItem(const QVariant &key)
    {
        if (m_rows) {
            // The shared rows are never changed: their keys are copied first.
            m_own.clear();
            for (int i = 0; i < m_rows->count(); ++i) {
                m_own.push_back(m_rows->key(i));
            }
            m_rows.reset();
        }
        bool ok = false;
        const qint64 number = key.toLongLong(&ok);
        m_own.push_back(ok && !key.isNull() ? number : Db::ListRows::NoKey);
    }
    // Replaces every key in one batch with the keys of `rows`.
    void setRows(Db::SharedListRows rows)
    {
        m_own.clear();
        m_rows = std::move(rows);
    }
    void clear()
    {
        m_rows.reset();
        m_own.clear();
        m_own.shrink_to_fit();
    }

private:
    Db::SharedListRows m_rows;
    std::vector<qint64> m_own;
};

} // namespace Search
