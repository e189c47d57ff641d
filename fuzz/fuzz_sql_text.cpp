// The SQL texts the program builds from what the user types, over arbitrary text.
// Whatever the text, the quoted form between single quotes is one SQL string literal
// that reads back as the text, and every statement built with it compiles in a
// database with the program's tables to the same program as with a plain word: the
// text can change the literal, never the statement's shape.
//
// Input: byte 0 picks the text's encoding (UTF-8, Latin-1, raw UTF-16), the advanced
// search's matching and joining options; bytes 1 and 2 say which of the 15 parameter
// rows are ticked; the rest is the text, its U+001F characters separating the rows'
// texts. U+0000 is taken out of the text: a NUL cuts an SQL text short in SQLite,
// which the search windows keep out of the statements themselves.

#include "layout/ImportLayout.h"
#include "layout/Schema.h"
#include "data/SqlText.h"
#include "search/AdvancedSearch.h"

#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// The modules' short namespaces, whichever of these names live in them.
namespace Db {
}
namespace Search {
}
using namespace Db;
using namespace Search;

namespace {

void check(bool condition, const char *what, const QString &sql = QString())
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_sql_text: %s\n%s\n", what, sql.toUtf8().constData());
        std::abort();
    }
}

sqlite3 *schemaDatabase()
{
    static sqlite3 *const db = [] {
        sqlite3 *opened = nullptr;
        check(sqlite3_open(":memory:", &opened) == SQLITE_OK, "cannot open an in-memory database");
        for (const std::string &create : createTableStatements()) {
            check(sqlite3_exec(opened, create.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK,
                  "the schema does not build", QString::fromStdString(create));
        }
        return opened;
    }();
    return db;
}

// The program SQLite compiles the statement to: each step's opcode and first three
// operands (the fourth holds the literals' text). Fails unless `sql` is exactly one
// statement that compiles, reads only and takes no parameters.
std::vector<std::string> compiledProgram(const QString &sql)
{
    const QByteArray utf8 = QByteArrayLiteral("EXPLAIN ") + sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    const char *tail = nullptr;
    const int prepared = sqlite3_prepare_v2(schemaDatabase(), utf8.constData(), int(utf8.size()), &statement, &tail);
    check(prepared == SQLITE_OK, sqlite3_errmsg(schemaDatabase()), sql);
    check(statement != nullptr, "no statement", sql);
    check(QByteArray(tail).trimmed().isEmpty(), "more than one statement", sql);
    check(sqlite3_bind_parameter_count(statement) == 0, "the text made a parameter", sql);
    std::vector<std::string> program;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::string step = reinterpret_cast<const char *>(sqlite3_column_text(statement, 1));
        for (int operand = 2; operand <= 4; ++operand) {
            step += ' ' + std::to_string(sqlite3_column_int64(statement, operand));
        }
        program.push_back(step);
    }
    sqlite3_finalize(statement);
    return program;
}

void checkSameShape(const QString &built, const QString &plain)
{
    // The plain statements repeat from input to input: each is compiled once.
    static std::map<QString, std::vector<std::string>> plainPrograms;
    auto known = plainPrograms.find(plain);
    if (known == plainPrograms.end()) {
        if (plainPrograms.size() >= 4096) {
            plainPrograms.clear(); // the advanced search has more plain statements than are worth keeping
        }
        known = plainPrograms.emplace(plain, compiledProgram(plain)).first;
    }
    check(compiledProgram(built) == known->second, "the text changed the statement", built);
}

// quoteSqlText doubles every quote, and SQLite reads the literal back as the text.
void checkQuoting(const QString &text)
{
    const QString quoted = SqlText::quoteSqlText(text);
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (quoted.at(i) == QLatin1Char('\'')) {
            check(i + 1 < quoted.size() && quoted.at(i + 1) == QLatin1Char('\''), "a lone quote", quoted);
            ++i;
        }
    }
    const QByteArray select = "SELECT '" + quoted.toUtf8() + "'";
    sqlite3_stmt *statement = nullptr;
    check(sqlite3_prepare_v2(schemaDatabase(), select.constData(), int(select.size()), &statement, nullptr)
              == SQLITE_OK,
          "the literal does not compile", quoted);
    check(sqlite3_step(statement) == SQLITE_ROW, "the literal gives no row", quoted);
    const QByteArray value(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)),
                           sqlite3_column_bytes(statement, 0));
    sqlite3_finalize(statement);
    check(value == text.toUtf8(), "the literal reads back as another text", quoted);
}

QString decodedText(std::uint8_t encoding, const char *bytes, std::size_t size)
{
    switch (encoding % 3) {
    case 0:
        return QString::fromUtf8(bytes, qsizetype(size));
    case 1:
        return QString::fromLatin1(bytes, qsizetype(size));
    default:
        return QString(reinterpret_cast<const QChar *>(bytes), qsizetype(size / 2)); // lone surrogates too
    }
}

struct WindowColumns
{
    SqlText::Window window;
    QStringList columns;
};

const std::vector<WindowColumns> &windows()
{
    namespace P = Schema::Products;
    namespace V = Schema::Vocabulary;
    namespace Pt = Schema::Patent;
    const auto names = [](std::initializer_list<QLatin1StringView> columns) {
        QStringList list;
        for (const QLatin1StringView c : columns) {
            list << QString(c);
        }
        return list;
    };
    const QStringList products
        = names({P::TradeName, P::Ingredient, P::Strength, P::DosageForm, P::Route, P::Type, P::Applicant, P::TECode,
                 P::ProductNumber, P::NDANumber, P::RLD, P::ApprovalDate});
    const QStringList vocabulary
        = names({V::Name, V::Definition, V::UseRestrictions, V::ShortName, V::FdaCode, V::NciConceptId});
    static const std::vector<WindowColumns> all{
        {SqlText::Window::Drugs, products},
        {SqlText::Window::Ingredients, products},
        {SqlText::Window::DosageForm, vocabulary},
        {SqlText::Window::Route, vocabulary},
        {SqlText::Window::Patent,
         names({Pt::PatentNumber, Pt::ExpireDate, Pt::NDANumber, Pt::ProductNumber, Pt::SubstanceFlag, Pt::ProductFlag,
                Pt::UseCode})},
    };
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3) {
        return 0;
    }
    const std::uint8_t options = data[0];
    const unsigned ticked = data[1] | (unsigned(data[2]) << 8);
    QString text = decodedText(options, reinterpret_cast<const char *>(data + 3), size - 3);
    text.remove(QChar(0));
    const auto match = AdvancedSearch::MatchOption(options / 3 % 3);
    const auto join = AdvancedSearch::JoinOption(options / 9 % 2);
    const QString plain = QStringLiteral("x");

    checkQuoting(text);
    checkSameShape(SqlText::productsWithIngredient(text), SqlText::productsWithIngredient(plain));
    const QStringList rowTexts = text.split(QChar(0x1F));
    for (const WindowColumns &w : windows()) {
        checkSameShape(SqlText::nameSearch(w.window, text), SqlText::nameSearch(w.window, plain));
        if (const QString details = SqlText::details(w.window, qint32(ticked) - 0x8000); !details.isEmpty()) {
            compiledProgram(details);
        }
        QVector<AdvancedSearch::Row> rows, plainRows;
        for (int i = 0; i < AdvancedSearch::RowCount; ++i) {
            const QString column = w.columns.value(i % w.columns.size());
            const bool on = (ticked >> i & 1) != 0;
            rows.append({column, rowTexts.value(i), on});
            // An empty row stays empty: whether a row has text chooses the hits' order.
            plainRows.append({column, rowTexts.value(i).isEmpty() ? QString() : plain, on});
        }
        if (AdvancedSearch::anyTicked(rows)) {
            checkSameShape(AdvancedSearch::statement(w.window, rows, match, join),
                           AdvancedSearch::statement(w.window, plainRows, match, join));
        }
    }
    return 0;
}
