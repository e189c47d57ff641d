#pragma once

#include "data/SqlText.h"

#include <QString>
#include <QVector>

#include <array>

namespace Search {

// The advanced search, free of widgets: the parameter rows a window offers and the
// statement that the ticked rows make.
namespace AdvancedSearch {

constexpr int RowCount = 15;

// The matching options, top to bottom (optParamSettings 0 to 3). "Exactly" is the
// value itself, letter case ignored, with "%" and "_" taken literally.
enum MatchOption {
    StartingWith = 0,
    Includes = 1,
    EndingWith = 2,
    Exactly = 3
};
constexpr int MatchOptionCount = 4;
// The joining options (optParamConcat 0 and 1).
enum JoinOption {
    AllKeywords = 0,
    AnyKeyword = 1
};

// How a window lays out one parameter row: its caption and the column it searches.
// A row without a column, or one marked hidden, is not shown and never joins a search.
struct RowDesign
{
    QString caption;
    QString column;
    bool hidden = false;

    bool used() const { return !hidden && !column.isEmpty(); }
};
using RowDesigns = std::array<RowDesign, RowCount>;

// Rows 0 .. n-1 from (caption, column) pairs, the rest unused.
RowDesigns rowDesigns(std::initializer_list<std::pair<const char *, const char *>> rows);

// One row as the user left it.
struct Row
{
    QString column;
    QString text;
    bool ticked = false;
};

// The wildcards a matching option puts before and after the text (none for Exactly).
struct Pattern
{
    QString lead;
    QString trail;
};
Pattern pattern(MatchOption option);

// The joiner between clauses: " AND " or " OR ".
QString joiner(JoinOption option);

// True when at least one row is ticked (otherwise there is nothing to search by).
bool anyTicked(const QVector<Row> &rows);

// The conditions of the ticked rows, in row order: each "[column] like 'pattern' "
// (or the equality of Exactly) followed by CR LF, the joiner placed before every
// clause but the first.
QString clauses(const QVector<Row> &rows, MatchOption match, JoinOption join);

// Whether the window's statement for these rows sorts its hits or walks its order index.
Db::SqlText::HitOrder hitOrder(Db::SqlText::Window window, const QVector<Row> &rows, MatchOption match,
                               JoinOption join);

// The window's whole statement: head, clauses, tail.
QString statement(Db::SqlText::Window window, const QVector<Row> &rows, MatchOption match, JoinOption join);

} // namespace AdvancedSearch

} // namespace Search
