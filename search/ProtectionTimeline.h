#pragma once

#include "data/Protection.h"

#include <QDialog>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace Search {

class WindowHost;

// A product's timeline: every patent (one line per patent, its use codes gathered) and
// exclusivity row in date order, each pediatric or GAIN extension under the row it
// extends, delisted rows and rows ended by the release date marked. A double click (or
// Enter) on a line shows its record in the patent or exclusivity window.
class ProtectionTimeline : public QDialog
{
    Q_OBJECT

public:
    ProtectionTimeline(WindowHost *host, const QString &title, const QString &applicationNumber,
                       const QString &productNumber, const Db::Protection::Figures &figures, const QDate &release,
                       QWidget *parent = nullptr);

    QTreeWidget *lines() const { return m_lines; }
    QLabel *summary() const { return m_summary; }
    // Shows the record of a line in its window (and closes the timeline).
    void followLine(QTreeWidgetItem *item);

    // A line's texts: date, row, kind, use codes, notes.
    static QStringList lineTexts(const Db::Protection::Line &line);

private:
    WindowHost *m_host;
    QString m_application;
    QString m_product;
    QTreeWidget *m_lines = nullptr;
    QLabel *m_summary = nullptr;
};

// Reads the product's figures and opens its timeline over `parent`'s window. A read that
// fails is named in a message.
void showProtectionTimeline(WindowHost &host, QWidget *parent, const QString &title, const QString &applicationNumber,
                            const QString &productNumber);

} // namespace Search
