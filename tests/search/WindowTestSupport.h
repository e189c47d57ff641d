#pragma once

// Helpers for driving the lookup windows in tests: lists, grid cells, mouse gestures,
// reference answers read straight from the database and small fixture databases.

#include "data/Database.h"
#include "layout/Schema.h"
#include "FixtureDatabase.h"
#include "ProgramConnection.h"
#include "search/HitList.h"
#include "NoWindows.h"
#include "search/SearchWindow.h"
#include "search/frmDrugs.h"
#include "search/frmPatent.h"
#include "components/VbalGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QtTest>

using namespace Db;
using namespace Components;
using namespace Search;

namespace WindowTest {

inline const QString ItemsFound = QStringLiteral(" Item(s) Found");

// The fields of a product, in the drug window's row order.
inline const QStringList ProductFields
    = {QString(Schema::Products::TradeName),     QString(Schema::Products::Ingredient),
       QString(Schema::Products::Strength),      QString(Schema::Products::DosageForm),
       QString(Schema::Products::Route),         QString(Schema::Products::Type),
       QString(Schema::Products::Applicant),     QString(Schema::Products::TECode),
       QString(Schema::Products::ProductNumber), QString(Schema::Products::NDANumber),
       QString(Schema::Products::RLD),           QString(Schema::Products::ApprovalDate)};

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
    const ProgramRows rows = queryProgramConnection(sql);
    if (!rows.ok) {
        qWarning() << "query failed:" << sql;
    }
    QStringList result;
    for (const QVariantList &row : rows.rows) {
        result << fieldText(row.value(0));
    }
    return result;
}

// The fields of one record, in the order asked for (Null as empty text).
inline QStringList recordFields(const QString &table, qint64 id, const QStringList &fields)
{
    const ProgramRows rows
        = queryProgramConnection(QStringLiteral("SELECT * FROM [%1] WHERE ID = %2").arg(table).arg(id));
    QStringList result;
    if (!rows.rows.isEmpty()) {
        for (const QString &field : fields) {
            result << fieldText(rows.value(0, field));
        }
    }
    return result;
}

// One product read straight from the database, in the drug window's row order.
inline QStringList productFields(qint64 id)
{
    return recordFields(QString(Schema::Products::Table), id, ProductFields);
}

// A product as the windows title it: trade name (strength) - applicant.
inline QString productLineOf(qint64 id)
{
    const QStringList f = productFields(id);
    return f.value(0) + " (" + f.value(2) + ") - " + f.value(6);
}

inline int countOf(const QString &sql)
{
    const ProgramRows rows = queryProgramConnection(sql);
    return rows.rows.isEmpty() ? -1 : rows.rows.first().value(0).toInt();
}

// The value column of a window's grid. In the drug window, the product's own fields
// in grid order (as productFields reads them): the exclusivity row, which is no
// product column, is left out, and so is the listed-protection row.
// The NDA row's value without the kind it names ("NDA 020702": "020702"), and the rows
// after the design's (own patents, substitutes, RS, note; checked on their own) left
// out, and the TE code without its meaning. In the
// patent window, the record's seven columns.
inline QStringList values(const SearchWindow &window)
{
    QStringList cells = column(window.vbalGrid(), window.design().valueColumn);
    if (const auto *drugs = qobject_cast<const frmDrugs *>(&window)) {
        if (cells.size() >= frmDrugs::DesignRowCount) {
            cells = cells.mid(0, frmDrugs::DesignRowCount);
            cells[frmDrugs::ApplicationNumberRow - 1] = drugs->applicationNumber();
            cells[frmDrugs::TECodeRow - 1] = drugs->teCode();
            cells.removeAt(frmDrugs::ProtectionRow - 1); // not a product column: checked on its own
            cells.removeAt(frmDrugs::ExclusivityRow - 1);
        }
    } else if (qobject_cast<const frmPatent *>(&window)) {
        cells = cells.mid(0, 7);
    }
    return cells;
}

// A quick search as the user runs it: the text typed, then the Search button.
inline void search(SearchWindow &window, const QString &text)
{
    window.txtSearch()->setText(text);
    QTest::mouseClick(window.cmdSearch(), Qt::LeftButton);
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
