// Not a test: every kind of statement the windows send, with SQLite's plan for it
// (EXPLAIN QUERY PLAN) and its time read through the C API to the last row (median),
// on the database given. The indexes kvostrel-import builds are chosen from this
// table: run it on databases with and without an index to see what the index buys.
//
//   bench_statements [database file] [runs]

#include "BenchSupport.h"
#include "data/SqlText.h"
#include "search/AdvancedSearch.h"

#include <QCoreApplication>
#include <QTextStream>

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
    for (const auto &[column, text] : drugColumns) {
        add(QStringLiteral("drugs includes [%1] '%2'").arg(QLatin1String(column), QLatin1String(text)),
            advanced(Window::Drugs, QLatin1String(column), QLatin1String(text), M::Includes));
    }
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
    add(QStringLiteral("patents includes [NDA] '210563' (navigation)"),
        advanced(Window::Patent, QStringLiteral("New Drug Application (NDA) Number"), QStringLiteral("210563"),
                 M::Includes));
    add(QStringLiteral("patents exactly [NDA] '210563'"),
        advanced(Window::Patent, QStringLiteral("New Drug Application (NDA) Number"), QStringLiteral("210563"),
                 M::Exactly));
    add(QStringLiteral("patents exactly [Patent Number] '5952309'"),
        advanced(Window::Patent, QStringLiteral("Patent Number"), QStringLiteral("5952309"), M::Exactly));
    add(QStringLiteral("dosage forms exactly [NAME] 'TABLET'"),
        advanced(Window::DosageForm, QStringLiteral("NAME"), QStringLiteral("TABLET"), M::Exactly));
    add(QStringLiteral("drug details by ID"), SqlText::details(Window::Drugs, 20000));
    add(QStringLiteral("patent details by ID"), SqlText::details(Window::Patent, 2000));
    return list;
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
    out << QStringLiteral("%1 %2 %3  %4\n")
               .arg(QStringLiteral("statement"), -58)
               .arg(QStringLiteral("rows"), 7)
               .arg(QStringLiteral("ms"), 8)
               .arg(QStringLiteral("plan"));
    double total = 0;
    for (const Statement &statement : statements()) {
        int rows = 0;
        Bench::readFloor(statement.sql, &rows); // warm
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            times.push_back(Bench::readFloor(statement.sql, &rows));
        }
        const double ms = Bench::median(times);
        total += ms;
        out << QStringLiteral("%1 %2 %3  %4\n")
                   .arg(statement.label.left(58), -58)
                   .arg(rows, 7)
                   .arg(ms, 8, 'f', 2)
                   .arg(Bench::queryPlan(statement.sql));
    }
    out << QStringLiteral("%1 %2 %3\n").arg(QStringLiteral("all of them"), -58).arg(QString(), 7).arg(total, 8, 'f', 2);
    Connection::releaseShared();
    return 0;
}
