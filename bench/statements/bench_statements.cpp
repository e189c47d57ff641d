// Not a test: every kind of statement the windows send, with SQLite's plan for it
// (EXPLAIN QUERY PLAN) and its time read through the C API to the last row (median),
// on the database given. The indexes kvostrel-import builds are chosen from this
// table: run it on databases with and without an index to see what the index buys.
//
//   bench_statements [database file] [runs]

#include "BenchSupport.h"
#include "data/SqlText.h"
#include "data/TextMatching.h"
#include "search/AdvancedSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

using namespace Db;
using namespace Search;
using Window = SqlText::Window;

namespace {

struct Statement
{
    QString label;
    QString sql;
};

// The drug window's advanced search on one parameter row, as its panel builds it.
QString advanced(Window window, const QString &column, const QString &text, AdvancedSearch::MatchOption match)
{
    QVector<AdvancedSearch::Row> rows(AdvancedSearch::RowCount);
    rows[0] = {column, text, true};
    return AdvancedSearch::statement(window, rows, match, AdvancedSearch::AllKeywords);
}

std::vector<Statement> statements()
{
    using M = AdvancedSearch::MatchOption;
    std::vector<Statement> list;
    const auto add = [&list](const QString &label, const QString &sql) { list.push_back({label, sql}); };
    const auto quick = [&](Window window, const QString &name, const QString &text) {
        add(QStringLiteral("%1 quick \"%2\"").arg(name, text), SqlText::nameSearch(window, text));
    };
    quick(Window::Drugs, QStringLiteral("drugs"), QString());
    quick(Window::Drugs, QStringLiteral("drugs"), QStringLiteral("ASP"));
    quick(Window::Drugs, QStringLiteral("drugs"), QStringLiteral("LIPITOR"));
    quick(Window::Drugs, QStringLiteral("drugs"), QStringLiteral("lipitor"));
    quick(Window::Drugs, QStringLiteral("drugs"), QStringLiteral("caf\u00e9")); // no product holds it
    quick(Window::Ingredients, QStringLiteral("ingredients"), QString());
    quick(Window::Ingredients, QStringLiteral("ingredients"), QStringLiteral("ASP"));
    quick(Window::DosageForm, QStringLiteral("dosage forms"), QString());
    quick(Window::Route, QStringLiteral("routes"), QString());
    quick(Window::Patent, QStringLiteral("patents"), QString());
    quick(Window::Patent, QStringLiteral("patents"), QStringLiteral("59"));

    // The drug window's panel, row by row, with "includes" (the default option).
    const std::pair<const char *, const char *> drugColumns[] = {
        {"Ingredient", "ASPIRIN"},
        {"Trade Name", "ASP"},
        {"Applicant Full Name", "PFIZER"},
        {"Strength", "10MG"},
        {"New Drug Application (NDA) Number", "020610"},
        {"Product Number", "004"},
        {"Therapeutic Equivalence (TE) Code", "AB"},
        {"Approval Date", "2005"},
        {"Reference Listed Drug (RLD)", "Yes"},
        {"Type", "DISCN"},
        {"Dosage Form", "TABLET"},
        {"Route of Administration", "ORAL"},
    };
    // Beside each, the same clause with the trade-name index walked for the order.
    for (const auto &[column, text] : drugColumns) {
        const QString label
            = QStringLiteral("drugs includes [%1] '%2'").arg(QLatin1String(column), QLatin1String(text));
        add(label, advanced(Window::Drugs, QLatin1String(column), QLatin1String(text), M::Includes));
        add(QStringLiteral("  the same, the trade-name index walked"),
            SqlText::advancedSearch(Window::Drugs,
                                    SqlText::likeClause(QLatin1String(column), QStringLiteral("%"), QLatin1String(text),
                                                        QStringLiteral("%"))));
    }
    add(QStringLiteral("drugs includes [Trade Name] ''"),
        advanced(Window::Drugs, QStringLiteral("Trade Name"), QString(), M::Includes));
    add(QStringLiteral("  the same, the trade-name index walked"),
        SqlText::advancedSearch(
            Window::Drugs,
            SqlText::likeClause(QStringLiteral("Trade Name"), QStringLiteral("%"), QString(), QStringLiteral("%"))));
    add(QStringLiteral("drugs starting with [Trade Name] 'ASP'"),
        advanced(Window::Drugs, QStringLiteral("Trade Name"), QStringLiteral("ASP"), M::StartingWith));
    add(QStringLiteral("drugs starting with [Ingredient] 'ASP'"),
        advanced(Window::Drugs, QStringLiteral("Ingredient"), QStringLiteral("ASP"), M::StartingWith));
    // Exactly: the navigations from a dosage form, a route and a patent.
    const std::pair<const char *, const char *> exact[] = {
        {"Dosage Form", "TABLET"},
        {"Dosage Form", "CAPSULE"},
        {"Dosage Form", "TABLET, ORALLY DISINTEGRATING"},
        {"Route of Administration", "ORAL"},
        {"Route of Administration", "OPHTHALMIC"},
        {"New Drug Application (NDA) Number", "020610"},
        {"Ingredient", "ASPIRIN"},
        {"Trade Name", "LIPITOR"},
    };
    for (const auto &[column, text] : exact) {
        add(QStringLiteral("drugs exactly [%1] '%2'").arg(QLatin1String(column), QLatin1String(text)),
            advanced(Window::Drugs, QLatin1String(column), QLatin1String(text), M::Exactly));
    }
    add(QStringLiteral("ingredients includes [Dosage Form] 'TABLET'"),
        advanced(Window::Ingredients, QStringLiteral("Dosage Form"), QStringLiteral("TABLET"), M::Includes));
    add(QStringLiteral("ingredient window's products of 'PREGABALIN'"),
        SqlText::productsWithIngredient(QStringLiteral("PREGABALIN")));
    add(QStringLiteral("ingredient window's products of 'ASPIRIN'"),
        SqlText::productsWithIngredient(QStringLiteral("ASPIRIN")));
    add(QStringLiteral("product of application 020610, product 001"),
        SqlText::productOfApplication(QStringLiteral("020610"), QStringLiteral("001")));
    add(QStringLiteral("patents includes [NDA] '210563'"),
        advanced(Window::Patent, QStringLiteral("New Drug Application (NDA) Number"), QStringLiteral("210563"),
                 M::Includes));
    add(QStringLiteral("patents exactly [NDA] '210563' (navigation)"),
        advanced(Window::Patent, QStringLiteral("New Drug Application (NDA) Number"), QStringLiteral("210563"),
                 M::Exactly));
    add(QStringLiteral("patents exactly [Patent Number] '5952309'"),
        advanced(Window::Patent, QStringLiteral("Patent Number"), QStringLiteral("5952309"), M::Exactly));
    add(QStringLiteral("dosage forms exactly [NAME] 'TABLET'"),
        advanced(Window::DosageForm, QStringLiteral("NAME"), QStringLiteral("TABLET"), M::Exactly));
    add(QStringLiteral("drug details by ID"), SqlText::details(Window::Drugs, 20000));
    // The substitutes row and its list: LIPITOR EQ 20MG BASE (AB), a levothyroxine
    // tablet coded AB1,AB2,AB3,AB4 (the largest groups), VENTOLIN HFA (BX).
    add(QStringLiteral("substitutes of LIPITOR 20MG (36391)"), SqlText::substitutes(36391));
    add(QStringLiteral("substitute count of LIPITOR 20MG (36391)"), SqlText::substituteCount(36391));
    add(QStringLiteral("substitutes of levothyroxine 0.025MG (32679)"), SqlText::substitutes(32679));
    add(QStringLiteral("substitutes of VENTOLIN HFA (124)"), SqlText::substitutes(124));
    add(QStringLiteral("TE code meanings 'AB1,AB2,AB3,AB4'"),
        SqlText::teCodeMeanings(QStringLiteral("AB1,AB2,AB3,AB4")));
    add(QStringLiteral("patent details by ID"), SqlText::details(Window::Patent, 2000));
    return list;
}

// The statement read to its last row on `db`, as Bench::readFloor reads it on the
// program's connection, in milliseconds.
double readOn(sqlite3 *db, const QString &sql, int *rows)
{
    QElapsedTimer timer;
    timer.start();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    std::vector<std::string> lines;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *line = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            lines.emplace_back(line ? line : "", size_t(sqlite3_column_bytes(statement, 0)));
        }
    }
    sqlite3_finalize(statement);
    *rows = int(lines.size());
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KVOSTREL_DB_PATH);
    const int runs = argc > 2 ? qMax(1, atoi(argv[2])) : 9;
    try {
        Connection::shared().open(database);
    } catch (const Common::AppError &error) {
        out << error.description() << "\n";
        return 1;
    }
    out << "database: " << database << "\n";
    out << "indexes:";
    {
        RowSet &indexes
            = openSharedQuery(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"));
        RowSetCloser closer(indexes);
        for (; !indexes.eof(); indexes.moveNext()) {
            out << " [" << fieldText(indexes.field(0)) << "]";
        }
    }
    out << "\n\n";
    // Beside the program's connection, a plain one to the same file: LIKE and NOCASE as
    // SQLite has them (letter case of ASCII only), what the program's own cost against.
    sqlite3 *plain = nullptr;
    sqlite3_open_v2(QFile::encodeName(database).constData(), &plain, SQLITE_OPEN_READONLY, nullptr);
    out << "ms: on the program's connection; SQLite's: on a plain connection (SQLite's own LIKE and NOCASE)\n";
    out << QStringLiteral("%1 %2 %3 %4  %5\n")
               .arg(QStringLiteral("statement"), -58)
               .arg(QStringLiteral("rows"), 7)
               .arg(QStringLiteral("ms"), 8)
               .arg(QStringLiteral("SQLite's"), 8)
               .arg(QStringLiteral("plan"));
    double total = 0;
    double plainTotal = 0;
    for (const Statement &statement : statements()) {
        int rows = 0;
        int plainRows = 0;
        Bench::readFloor(statement.sql, &rows); // warm
        readOn(plain, statement.sql, &plainRows);
        std::vector<double> times;
        std::vector<double> plainTimes;
        for (int run = 0; run < runs; ++run) {
            times.push_back(Bench::readFloor(statement.sql, &rows));
            plainTimes.push_back(readOn(plain, statement.sql, &plainRows));
        }
        const double ms = Bench::median(times);
        const double plainMs = Bench::median(plainTimes);
        total += ms;
        plainTotal += plainMs;
        out << QStringLiteral("%1 %2 %3 %4  %5%6\n")
                   .arg(statement.label.left(58), -58)
                   .arg(rows, 7)
                   .arg(ms, 8, 'f', 2)
                   .arg(plainMs, 8, 'f', 2)
                   .arg(Bench::queryPlan(statement.sql))
                   .arg(plainRows == rows ? QString() : QStringLiteral(" (SQLite's: %1 rows)").arg(plainRows));
    }
    sqlite3_close(plain);
    out << QStringLiteral("%1 %2 %3 %4\n")
               .arg(QStringLiteral("all of them"), -58)
               .arg(QString(), 7)
               .arg(total, 8, 'f', 2)
               .arg(plainTotal, 8, 'f', 2);

    // What opening the file costs, and the checks it makes: the median time, and the
    // median processor time (the time on a machine that runs nothing else).
    const auto line = [&out, runs](const QString &label, const std::function<void()> &step) {
        std::vector<double> times;
        std::vector<double> processorTimes;
        const auto processorMs = [] {
            timespec now = {};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
            return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
        };
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            const double processorStart = processorMs();
            timer.start();
            step();
            times.push_back(timer.nsecsElapsed() / 1e6);
            processorTimes.push_back(processorMs() - processorStart);
        }
        out << QStringLiteral("%1 %2 %3 ms, processor %4 ms\n")
                   .arg(label, -58)
                   .arg(QString(), 7)
                   .arg(Bench::median(times), 8, 'f', 2)
                   .arg(Bench::median(processorTimes), 0, 'f', 2);
    };
    out << "\n";
    int rows = 0;
    line(QStringLiteral("PRAGMA quick_check"), [&] { Bench::readFloor(QStringLiteral("PRAGMA quick_check"), &rows); });
    line(QStringLiteral("NOCASE indexes hold only ASCII"),
         [] { TextMatching::nocaseIndexesHoldOnlyAscii(Connection::shared().handle()); });
    line(QStringLiteral("open, with its checks"), [&database] { Connection::shared().open(database); });
    Connection::releaseShared();
    return 0;
}
