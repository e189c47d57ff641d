#pragma once

// Helpers for driving the lookup windows in tests: lists, grid cells, mouse gestures
// and reference answers read straight from the database.

#include "Database.h"
#include "HitList.h"
#include "VbalGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QSqlQuery>
#include <QStringList>
#include <QtTest>

namespace WindowTest {

inline QStringList lines(const HitList *list)
{
    return list->lines();
}

// One column of a grid, rows 1 to the last.
inline QStringList column(const VbalGrid *grid, int column)
{
    QStringList result;
    for (int row = 1; row <= grid->rowCount(); ++row) {
        result << grid->cellText(row, column);
    }
    return result;
}

// Every row of a query's first column, as text (Null as empty text).
inline QStringList queryColumn(const QString &sql)
{
    QSqlQuery query(Connection::shared().database());
    if (!query.exec(sql)) {
        qWarning() << "query failed:" << sql;
    }
    QStringList result;
    while (query.next()) {
        result << fieldText(query.value(0));
    }
    return result;
}

// The fields of one record, in the order asked for (Null as empty text).
inline QStringList recordFields(const QString &table, qint64 id, const QStringList &fields)
{
    QSqlQuery query(Connection::shared().database());
    query.exec(QStringLiteral("SELECT * FROM [%1] WHERE ID = %2").arg(table).arg(id));
    QStringList result;
    if (query.next()) {
        for (const QString &field : fields) {
            result << fieldText(query.value(field));
        }
    }
    return result;
}

inline int countOf(const QString &sql)
{
    QSqlQuery query(Connection::shared().database());
    query.exec(sql);
    return query.next() ? query.value(0).toInt() : -1;
}

inline QPoint cellCentre(const VbalGrid *grid, int row, int column)
{
    QAbstractItemView *view = grid->itemView();
    view->scrollTo(view->model()->index(row - 1, column - 1));
    return view->visualRect(view->model()->index(row - 1, column - 1)).center();
}

// A double click as the window system delivers it: press, release, double click.
inline void doubleClickCell(VbalGrid *grid, int row, int column)
{
    const QPoint at = cellCentre(grid, row, column);
    QWidget *viewport = grid->itemView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
}

inline void sendMouseMove(QWidget *widget, const QPoint &at)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace WindowTest
