#pragma once

#include <QObject>
#include <QStringList>

// The never-visible key list (`lstSearchID`): one key, as text, per line, kept
// parallel to a visible list. It holds no widget, so 45,000 keys cost only their text.
class KeyList : public QObject
{
    Q_OBJECT

public:
    explicit KeyList(QObject *parent = nullptr) : QObject(parent) {}

    int count() const { return int(m_lines.size()); }
    // The line at `position` (from 0); empty text outside the list.
    QString text(int position) const { return m_lines.value(position); }
    const QStringList &lines() const { return m_lines; }

    void addItem(const QString &line) { m_lines.append(line); }
    void addItems(const QStringList &lines) { m_lines.append(lines); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};
