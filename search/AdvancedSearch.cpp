#include "search/AdvancedSearch.h"

namespace Search {

namespace AdvancedSearch {

RowDesigns rowDesigns(std::initializer_list<std::pair<const char *, const char *>> rows)
{
    RowDesigns designs;
    int i = 0;
    for (const auto &[caption, column] : rows) {
        if (i >= RowCount) {
            break;
        }
        designs[i].caption = QString::fromLatin1(caption);
        designs[i].column = QString::fromLatin1(column);
        ++i;
    }
    for (; i < RowCount; ++i) {
        designs[i].caption = QStringLiteral("paramater");
    }
    return designs;
}

Pattern pattern(MatchOption option)
{
    const QString any = QStringLiteral("%");
    switch (option) {
    case StartingWith:
        return {QString(), any}; // values that start with the text
    case EndingWith:
        return {any, QString()}; // values that end with the text
    case Exactly:
        return {};
    case Includes:
        break;
    }
    return {any, any};
}

QString joiner(JoinOption option)
{
    return option == AnyKeyword ? QStringLiteral(" OR ") : QStringLiteral(" AND ");
}

bool anyTicked(const QVector<Row> &rows)
{
    for (const Row &row : rows) {
        if (row.ticked && !row.column.isEmpty()) {
            return true;
        }
    }
    return false;
}

QString clauses(const QVector<Row> &rows, MatchOption match, JoinOption join)
{
    const Pattern wildcards = pattern(match);
    QString result;
    bool first = true;
    for (const Row &row : rows) {
        if (!row.ticked || row.column.isEmpty()) {
            continue;
        }
        if (!first) {
            result += joiner(join);
        }
        result += match == Exactly ? Db::SqlText::equalsClause(row.column, row.text)
                                   : Db::SqlText::likeClause(row.column, wildcards.lead, row.text, wildcards.trail);
        first = false;
    }
    return result;
}

Db::SqlText::HitOrder hitOrder(Db::SqlText::Window window, const QVector<Row> &rows, MatchOption match, JoinOption join)
{
    using Db::SqlText::HitOrder;
    // An equality finds its records by an index that holds them in the list's order.
    // A pattern is tested on every record whatever the plan (no index serves the
    // program's LIKE): sorting only the hits beats walking the order index and looking
    // up each record, unless nearly all records match (an empty text) or the patterns
    // test the order column alone, whose index then holds both.
    const QString order = window == Db::SqlText::Window::Drugs ? QStringLiteral("Trade Name")
        : window == Db::SqlText::Window::Patent                ? QStringLiteral("Patent Number")
                                                               : QString();
    if (match == Exactly || order.isEmpty()) {
        return HitOrder::WalkIndex;
    }
    bool narrowing = false;
    for (const Row &row : rows) {
        if (!row.ticked || row.column.isEmpty()) {
            continue;
        }
        if (row.text.isEmpty() && join == AnyKeyword) {
            return HitOrder::WalkIndex; // one clause takes every record
        }
        narrowing = narrowing || (!row.text.isEmpty() && row.column.compare(order, Qt::CaseInsensitive) != 0);
    }
    return narrowing ? HitOrder::SortHits : HitOrder::WalkIndex;
}

QString statement(Db::SqlText::Window window, const QVector<Row> &rows, MatchOption match, JoinOption join)
{
    return Db::SqlText::advancedSearch(window, clauses(rows, match, join), hitOrder(window, rows, match, join));
}

} // namespace AdvancedSearch

} // namespace Search
