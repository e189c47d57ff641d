#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>

namespace Search {

// The never-visible key list (`lstSearchID`): one key per line, kept parallel to a
// visible list. It holds no widget, and it keeps each key as the database gave it
// (a number stays a number until a caller asks for its text), so 45,000 keys cost
// little to store.
class KeyList : public QObject
{
    Q_OBJECT

public:
    explicit KeyList(QObject *parent = nullptr)
        : QObject(parent)
    {
    }

    int count() const { return int(m_keys.size()); }
    // The key at `position` (from 0); Null outside the list.
    QVariant value(int position) const { return m_keys.value(position); }
    // The key as text, as a list line shows it; empty for Null or outside the list.
    QString text(int position) const
    {
        const QVariant key = value(position);
        return key.isNull() ? QString() : key.toString();
    }
    QStringList lines() const
    {
        QStringList result;
        result.reserve(m_keys.size());
        for (int i = 0; i < count(); ++i) {
            result.append(text(i));
        }
        return result;
    }

    void addItem(const QVariant &key) { m_keys.append(key); }
    // Replaces every key in one batch.
    void setItems(QVariantList keys) { m_keys = std::move(keys); }
    void clear() { m_keys.clear(); }

private:
    QVariantList m_keys;
};

} // namespace Search
