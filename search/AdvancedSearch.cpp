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

QString statement(Db::SqlText::Window window, const QVector<Row> &rows, MatchOption match, JoinOption join)
{
    return Db::SqlText::advancedSearch(window, clauses(rows, match, join));
}

} // namespace AdvancedSearch

} // namespace Search
