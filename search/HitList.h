#pragma once

#include "components/QuietFocusView.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>

namespace Search {

// The lines of a hit list, handed to the view in one piece.
class HitListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const QStringList &lines() const { return m_lines; }
    void setLines(QStringList lines);

private:
    QStringList m_lines;
};

// `lstSearch`: the visible hit list. It offers the list-box operations the windows use
// (count, line text, selected position, clear) over a plain string model,
// so tens of thousands of hits are listed at once without an item object per line.
// Setting the current row from code selects that line, as a click does.
class HitList : public Components::QuietFocusView<QListView>
{
    Q_OBJECT

public:
    explicit HitList(QWidget *parent = nullptr);

    int count() const { return m_model->rowCount(); }
    QString text(int row) const { return m_model->lines().value(row); }
    const QStringList &lines() const { return m_model->lines(); }

    // The selected line's position, -1 when none is selected.
    int currentRow() const;
    void setCurrentRow(int row);

    void clear() { m_model->setLines({}); }
    // Replaces every line in one batch.
    void setLines(QStringList lines) { m_model->setLines(std::move(lines)); }

signals:
    // The selected line changed (by mouse, keys or code).
    void itemSelectionChanged();

private:
    HitListModel *m_model;
};

} // namespace Search
