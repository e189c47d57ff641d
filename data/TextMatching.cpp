#include "data/TextMatching.h"

#include "data/Database.h"

#include <QChar>
#include <QHash>
#include <QList>
#include <QString>

#include <sqlite3.h>

#include <string>

namespace Db {

namespace TextMatching {

namespace {

// The pattern's wildcards, kept apart from every character (Unicode ends at 0x10FFFF).
constexpr char32_t AnyRun = 0xFFFFFFFFu; // %
constexpr char32_t AnyOne = 0xFFFFFFFEu; // _
// A byte that starts no well-formed UTF-8 character stands for itself, above Unicode.
constexpr char32_t StrayByte = 0x110000u;
constexpr char32_t NoCharacter = 0xFFFFFFFDu; // equals no character of any text

// The character at `text[*at]`, read as UTF-8; `*at` moves past it.
char32_t nextCharacter(QByteArrayView text, qsizetype *at)
{
    const auto byte = [&text](qsizetype i) { return char32_t(quint8(text[i])); };
    const char32_t first = byte(*at);
    if (first < 0x80) {
        ++*at;
        return first;
    }
    int length = first >= 0xF0 && first < 0xF5 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
    if (length == 0 || *at + length > text.size() || first >= 0xF5) {
        ++*at;
        return StrayByte + first;
    }
    char32_t c = first & (0xFF >> (length + 1));
    for (int i = 1; i < length; ++i) {
        const char32_t next = byte(*at + i);
        if ((next & 0xC0) != 0x80) {
            ++*at;
            return StrayByte + first;
        }
        c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms and surrogates are no characters either.
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++*at;
        return StrayByte + first;
    }
    *at += length;
    return c;
}

inline char asciiFolded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The text's characters, folded.
void appendFolded(QByteArrayView text, std::u32string *out)
{
    for (qsizetype at = 0; at < text.size();) {
        out->push_back(foldCase(nextCharacter(text, &at)));
    }
}

// A LIKE pattern read once per statement: folded characters and wildcards, a run of
// "%" as one.
struct Pattern
{
    std::u32string tokens;
};

Pattern compilePattern(QByteArrayView pattern, char32_t escape)
{
    Pattern compiled;
    compiled.tokens.reserve(std::size_t(pattern.size()));
    bool escaped = false;
    for (qsizetype at = 0; at < pattern.size();) {
        const char32_t c = nextCharacter(pattern, &at);
        char32_t token = foldCase(c);
        if (escaped) {
            escaped = false;
        } else if (escape != 0 && c == escape) {
            escaped = true;
            continue;
        } else if (c == U'%') {
            if (!compiled.tokens.empty() && compiled.tokens.back() == AnyRun) {
                continue;
            }
            token = AnyRun;
        } else if (c == U'_') {
            token = AnyOne;
        }
        compiled.tokens.push_back(token);
    }
    // An escape character at the end escapes nothing: as in SQLite's own LIKE, the
    // pattern then matches no text (a token no character equals).
    if (escaped) {
        compiled.tokens.push_back(NoCharacter);
    }
    return compiled;
}

// Wildcard matching with one point to go back to: the last "%" seen. `at(i)` is the
// folded character i of a text of `length` characters.
template<typename At>
bool matchTokens(const std::u32string &tokens, qsizetype length, At at)
{
    const auto count = qsizetype(tokens.size());
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < length) {
        if (p < count && tokens[std::size_t(p)] == AnyRun) {
            if (p + 1 == count) {
                return true; // a closing "%" takes whatever is left
            }
            starP = ++p;
            starT = t;
        } else if (p < count && (tokens[std::size_t(p)] == AnyOne || tokens[std::size_t(p)] == at(t))) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < count && tokens[std::size_t(p)] == AnyRun) {
        ++p;
    }
    return p == count;
}

bool matchCompiled(const Pattern &pattern, QByteArrayView text)
{
    if (isAscii(text)) {
        // ASCII text folds byte by byte.
        return matchTokens(pattern.tokens, text.size(),
                           [&text](qsizetype i) { return char32_t(quint8(asciiFolded(text[i]))); });
    }
    thread_local std::u32string folded;
    folded.clear();
    appendFolded(text, &folded);
    return matchTokens(pattern.tokens, qsizetype(folded.size()), [](qsizetype i) { return folded[std::size_t(i)]; });
}

QByteArrayView textOf(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return text ? QByteArrayView(text, sqlite3_value_bytes(value)) : QByteArrayView();
}

void deletePattern(void *pattern)
{
    delete static_cast<Pattern *>(pattern);
}

// like(pattern, text) and like(pattern, text, escape), as "text LIKE pattern [ESCAPE e]".
void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        return; // Null
    }
    sqlite3 *db = sqlite3_context_db_handle(context);
    const QByteArrayView pattern = textOf(argv[0]);
    if (pattern.size() > sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const QByteArrayView escapeText = textOf(argv[2]);
        qsizetype at = 0;
        if (escapeText.isEmpty() || (escape = nextCharacter(escapeText, &at), at != escapeText.size())) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    // The pattern is the same on every row of a statement: it is compiled once.
    auto *compiled = static_cast<Pattern *>(sqlite3_get_auxdata(context, 0));
    if (!compiled) {
        compiled = new Pattern(compilePattern(pattern, escape));
        sqlite3_set_auxdata(context, 0, compiled, deletePattern);
        // SQLite may have dropped it at once (out of memory): ask again.
        compiled = static_cast<Pattern *>(sqlite3_get_auxdata(context, 0));
        if (!compiled) {
            sqlite3_result_int(context, likeMatches(pattern, textOf(argv[1]), escape) ? 1 : 0);
            return;
        }
    }
    sqlite3_result_int(context, matchCompiled(*compiled, textOf(argv[1])) ? 1 : 0);
}

int nocaseCollation(void *, int length1, const void *text1, int length2, const void *text2)
{
    return compareFolded(QByteArrayView(static_cast<const char *>(text1), length1),
                         QByteArrayView(static_cast<const char *>(text2), length2));
}

QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

char32_t foldCase(char32_t c)
{
    if (c < 0x80) {
        return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
    }
    if (c == 0x130) {
        return U'i'; // İ: Turkish capital I with its dot, found by i and I
    }
    return c > 0x10FFFF ? c : QChar::toCaseFolded(c);
}

int compareFolded(QByteArrayView a, QByteArrayView b)
{
    // ASCII letters by SQLite's own rule, as long as both texts are ASCII.
    const qsizetype common = std::min(a.size(), b.size());
    qsizetype i = 0;
    for (; i < common; ++i) {
        const auto x = quint8(a[i]);
        const auto y = quint8(b[i]);
        if (x >= 0x80 || y >= 0x80) {
            break;
        }
        if (const int d = int(quint8(asciiFolded(char(x)))) - int(quint8(asciiFolded(char(y)))); d != 0) {
            return d;
        }
    }
    if (i == common) {
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }
    // From the first character beyond ASCII (a character boundary in both texts).
    qsizetype atA = i;
    qsizetype atB = i;
    while (atA < a.size() && atB < b.size()) {
        const char32_t x = foldCase(nextCharacter(a, &atA));
        const char32_t y = foldCase(nextCharacter(b, &atB));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    const bool aLeft = atA < a.size();
    const bool bLeft = atB < b.size();
    return aLeft == bLeft ? 0 : aLeft ? 1 : -1;
}

bool likeMatches(QByteArrayView pattern, QByteArrayView text, char32_t escape)
{
    return matchCompiled(compilePattern(pattern, escape), text);
}

int installLike(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int code = sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) {
        code = sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    }
    return code;
}

int installNocase(sqlite3 *db)
{
    return sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, nocaseCollation, nullptr);
}

bool nocaseIndexesHoldOnlyAscii(sqlite3 *db)
{
    const auto readRows = [db](const QByteArray &sql, int columns, const auto &row) {
        sqlite3_stmt *statement = nullptr;
        int code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
        bool go = true;
        while (code == SQLITE_OK || (code == SQLITE_ROW && go)) {
            code = sqlite3_step(statement);
            if (code == SQLITE_ROW) {
                QList<QByteArrayView> values;
                for (int i = 0; i < columns; ++i) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                    values << QByteArrayView(text, text ? sqlite3_column_bytes(statement, i) : 0);
                }
                go = row(values);
            }
        }
        sqlite3_finalize(statement);
        return code == SQLITE_DONE || (code == SQLITE_ROW && !go);
    };

    // The columns each table's NOCASE indexes sort by.
    QList<QPair<QString, QString>> indexes; // index, table
    if (!readRows("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index'", 2, [&](const auto &values) {
            indexes.append({QString::fromUtf8(values[0]), QString::fromUtf8(values[1])});
            return true;
        })) {
        return false;
    }
    QHash<QString, QStringList> columns;
    for (const auto &[index, table] : indexes) {
        // index_xinfo: seqno, cid, name, desc, coll, key.
        const QByteArray sql
            = QStringLiteral("SELECT name, coll FROM pragma_index_xinfo(%1) WHERE key AND cid >= 0")
                  .arg(QLatin1Char('\'') + QString(index).replace(QLatin1Char('\''), QLatin1String("''"))
                       + QLatin1Char('\''))
                  .toUtf8();
        if (!readRows(sql, 2, [&](const auto &values) {
                const QString column = QString::fromUtf8(values[0]);
                if (values[1].compare(QByteArrayView("NOCASE"), Qt::CaseInsensitive) == 0
                    && !columns[table].contains(column)) {
                    columns[table] << quotedName(column);
                }
                return true;
            })) {
            return false;
        }
    }
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        if (it->isEmpty()) {
            continue;
        }
        const QByteArray sql
            = QStringLiteral("SELECT %1 FROM %2").arg(it->join(QLatin1Char(',')), quotedName(it.key())).toUtf8();
        sqlite3_stmt *statement = nullptr;
        int code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
        const int count = int(it->size());
        bool ascii = true;
        while (ascii && code == SQLITE_OK) {
            code = sqlite3_step(statement);
            code = code == SQLITE_ROW ? SQLITE_OK : code;
            for (int i = 0; ascii && code == SQLITE_OK && i < count; ++i) {
                if (sqlite3_column_type(statement, i) == SQLITE_TEXT) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                    ascii = isAscii(QByteArrayView(text, sqlite3_column_bytes(statement, i)));
                }
            }
        }
        sqlite3_finalize(statement);
        if (!ascii || code != SQLITE_DONE) {
            return false;
        }
    }
    return true;
}

} // namespace TextMatching

} // namespace Db
