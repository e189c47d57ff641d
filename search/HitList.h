#pragma once

#include "components/QuietFocusView.h"
#include "data/Database.h"

#include <QAbstractListModel>
#include <QColor>
#include <QFontMetrics>
#include <QHash>
#include <QListView>
#include <QStringList>

#include <functional>

namespace Search {

// The contrast of two colours as the accessibility guidelines measure it (1 to 21).
double contrastRatio(const QColor &a, const QColor &b);
// What tells hit lines apart is drawn at least this contrast from its background.
constexpr double DetailContrast = 4.5;
// `text` moved toward `background` while it keeps `minimumContrast` from it.
QColor quietTextColor(const QColor &text, const QColor &background, double minimumContrast);
// `text` cut short with an ellipsis to `width` exactly as QFontMetrics::elidedText cuts
// it, measuring only the start that can show (a long detail in a narrow list is shaped
// for its first few words).
QString elidedLine(const QString &text, const QFontMetrics &metrics, int width);

// The lines of a hit list, handed to the view in one piece. They are the rows a search
// read (shared with the key list and the search cache, never copied); a line becomes
// text only when the view paints it or a caller asks for it.
class HitListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // The view asks for every line's index each time it lays the list out: answered
    // without the two virtual calls (row and column counts) the base class makes.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;

    // The text that tells a line apart from others of the same name, by key; the view
    // draws it after the line in a quieter colour. Read for the lines on screen only.
    static constexpr int DetailRole = Qt::UserRole + 1;
    using DetailReader = std::function<QHash<qint64, QString>(const QVector<qint64> &keys)>;
    void setDetailReader(DetailReader reader) { m_readDetails = std::move(reader); }
    // The line's detail (read, with the next lines' ones, the first time it is asked for).
    QString detail(int row) const;
    // How many details are kept (bounded, however many lines were drawn).
    int keptDetails() const { return int(m_details.size()); }

    int count() const { return m_rows ? m_rows->count() : 0; }
    QString line(int row) const { return m_rows ? m_rows->line(row) : QString(); }
    QStringList lines() const { return m_rows ? m_rows->lines() : QStringList(); }
    const Db::SharedListRows &rows() const { return m_rows; }
    void setRows(Db::SharedListRows rows);

private:
    Db::SharedListRows m_rows;
    DetailReader m_readDetails;
    // Details by key: the database does not change while the program runs. At most
    // MaxKeptDetails are kept; the next line read after that starts afresh.
    static constexpr int MaxKeptDetails = 4096;
    mutable QHash<qint64, QString> m_details;
};

// `lstSearch`: the visible hit list. It offers the list-box operations the windows use
// (count, line text, selected position, clear) over a plain list model,
// so tens of thousands of hits are listed at once without an item object per line.
// Setting the current row from code selects that line, as a click does.
class HitList : public Components::QuietFocusView<QListView>
{
    Q_OBJECT

public:
    explicit HitList(QWidget *parent = nullptr);

    int count() const { return m_model->count(); }
    QString text(int row) const { return m_model->line(row); }
    // Every line as text (built on each call: for small lists and checks).
    QStringList lines() const { return m_model->lines(); }
    const Db::SharedListRows &rows() const { return m_model->rows(); }

    // The selected line's position, -1 when none is selected.
    int currentRow() const;
    void setCurrentRow(int row);

    void clear() { m_model->setRows(nullptr); }
    // Replaces every line in one batch.
    void setRows(Db::SharedListRows rows) { m_model->setRows(std::move(rows)); }
    void setDetailReader(HitListModel::DetailReader reader) { m_model->setDetailReader(std::move(reader)); }
    QString detail(int row) const { return m_model->detail(row); }
    // The line as the list shows it: its text, then what tells it apart.
    QString shownText(int row) const;
    int keptDetails() const { return m_model->keptDetails(); }

signals:
    // The selected line changed (by mouse, keys or code).
    void itemSelectionChanged();

private:
    HitListModel *m_model;
};

} // namespace Search
