// The listed-protection row's figures for a product (read from the importer's table when
// the database has it) against the exclusivity row's lookup of the same product, and the
// figures computed from the rows, in turn over the same products. Then the report: its
// reading of every product from the importer's table against a floor (the same statement
// read with the C API into plain values), taking turns, with the computation from the rows
// it replaced beside them; and the report window opened and listing, timed to the paint of
// its list, on the database and on a copy without the table (the window then computes
// every product, as it did before it read the table).
// Usage: bench_protection [DATABASE] [ROUNDS]
#include "BenchSupport.h"
#include "data/Database.h"
#include "data/Protection.h"
#include "data/SqlText.h"
#include "search/frmProtectionReport.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Product
{
    qint64 id;
    QString application;
    QString number;
};

qint64 percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[size_t(double(values.size() - 1) * p)];
}

// What the drug window's exclusivity row reads.
int exclusivityRow(const Product &p)
{
    int rows = 0;
    {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::productExclusivities(p.application, p.number));
        Db::RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            rows += rowSet.field(0).toString().size() > 0;
        }
    }
    if (rows == 0) {
        Db::RowSet &rowSet = Db::openSharedQuery(Db::SqlText::exclusivityCount(p.application));
        Db::RowSetCloser closer(rowSet);
        rows = int(rowSet.field(0).toLongLong());
    }
    return rows;
}

// The figures read from the patent and exclusivity rows and computed, as on a database
// built before the importer kept each product's figures.
int computedRow(const Product &p)
{
    const auto reading = Db::Protection::readProductRow(p.id, p.application, p.number);
    return reading ? int(Db::Protection::summaryText(reading->figures).size() + reading->generics.marketedARated) : 0;
}

// What the drug window's listed-protection row reads.
int protectionRow(const Product &p)
{
    const auto reading = Db::Protection::readProductSummary(p.id, p.application, p.number);
    return reading ? int(Db::Protection::summaryText(reading->figures).size() + reading->generics.marketedARated) : 0;
}

// The floor of the report's reading: its statement through the C API into plain values.
struct PlainProduct
{
    qint64 id = 0;
    std::string texts[17];
    qint64 counts[2] = {};
};

size_t readPlainly(const QByteArray &sql)
{
    sqlite3 *db = Db::Connection::shared().handle();
    sqlite3_stmt *statement = nullptr;
    std::vector<PlainProduct> products;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "bench_protection: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        PlainProduct &p = products.emplace_back();
        p.id = sqlite3_column_int64(statement, 0);
        int text = 0;
        for (int column = 1; column < sqlite3_column_count(statement); ++column) {
            if (column == 17 || column == 19) {
                p.counts[column == 19] = sqlite3_column_int64(statement, column);
                continue;
            }
            const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
            p.texts[text++].assign(value ? value : "", size_t(sqlite3_column_bytes(statement, column)));
        }
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) {
        std::fprintf(stderr, "bench_protection: the floor's read failed\n");
        std::exit(1);
    }
    return products.size();
}

// A new report window listing the year from the release date, from the press of List to
// the paint of its list, in milliseconds; the window is closed after.
double reportOpened(const QDate &release)
{
    Search::frmProtectionReport report(nullptr);
    report.resize(900, 600);
    report.show();
    QApplication::processEvents();
    report.dtpFrom()->setDate(release);
    report.dtpTo()->setDate(release.addYears(1));
    Bench::PaintCounter paints(report.lstEnding()->viewport());
    QElapsedTimer timer;
    timer.start();
    report.cmdList()->click();
    while (paints.count() == 0 && timer.elapsed() < 10000) {
        QApplication::processEvents();
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (report.lstEnding()->topLevelItemCount() == 0) {
        std::fprintf(stderr, "bench_protection: the report listed nothing\n");
        std::exit(1);
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    Bench::drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KVOSTREL_DB_PATH);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    Db::Connection::shared().open(path);

    // Every 40th product, and every product with an exclusivity row.
    std::vector<Product> products;
    {
        Db::RowSet &rowSet = Db::openSharedQuery(QStringLiteral(
            "SELECT ID,[New Drug Application (NDA) Number],[Product Number] FROM products p WHERE ID % 40 = 0 OR "
            "EXISTS (SELECT 1 FROM exclusivity e WHERE e.[New Drug Application (NDA) Number] = "
            "p.[New Drug Application (NDA) Number] AND e.[Product Number] = p.[Product Number]) ORDER BY ID;"));
        Db::RowSetCloser closer(rowSet);
        for (; !rowSet.eof(); rowSet.moveNext()) {
            products.push_back({rowSet.field(0).toLongLong(), rowSet.field(1).toString(), rowSet.field(2).toString()});
        }
    }
    std::vector<qint64> exclusivityTimes;
    std::vector<qint64> protectionTimes;
    std::vector<qint64> computedTimes;
    long sink = 0;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        for (const Product &p : products) {
            sink += exclusivityRow(p);
        }
        exclusivityTimes.push_back(timer.nsecsElapsed() / qint64(products.size()));
        timer.start();
        for (const Product &p : products) {
            sink += protectionRow(p);
        }
        protectionTimes.push_back(timer.nsecsElapsed() / qint64(products.size()));
        timer.start();
        for (const Product &p : products) {
            sink += computedRow(p);
        }
        computedTimes.push_back(timer.nsecsElapsed() / qint64(products.size()));
    }
    const qint64 e50 = percentile(exclusivityTimes, 0.5);
    const qint64 p50 = percentile(protectionTimes, 0.5);
    std::printf("%zu products, %d rounds, the three in turn (per product)\n", products.size(), rounds);
    std::printf("exclusivity row     p50 %8.1f us  p99 %8.1f us\n", double(e50) / 1000,
                double(percentile(exclusivityTimes, 0.99)) / 1000);
    std::printf("listed protection   p50 %8.1f us  p99 %8.1f us  (%.2fx the exclusivity row)\n", double(p50) / 1000,
                double(percentile(protectionTimes, 0.99)) / 1000, double(p50) / double(std::max<qint64>(1, e50)));
    const qint64 c50 = percentile(computedTimes, 0.5);
    std::printf("computed from rows  p50 %8.1f us  p99 %8.1f us  (%.2fx; a database without the table)\n",
                double(c50) / 1000, double(percentile(computedTimes, 0.99)) / 1000,
                double(c50) / double(std::max<qint64>(1, e50)));

    // The report's reading of every product: the importer's table (the program) against
    // the floor, taking turns; the computation from the rows beside them.
    const QDate release = Db::Protection::readReleaseDate();
    const QByteArray reportSql = Db::SqlText::allProductProtectionRows(true).toUtf8();
    size_t readRows = 0;
    const auto [tableTimes, floorTimes] = Bench::alternating(
        rounds,
        [&] {
            QElapsedTimer t;
            t.start();
            readRows = Db::Protection::readAllProductSummaries(release).size();
            return double(t.nsecsElapsed()) / 1e6;
        },
        [&] {
            QElapsedTimer t;
            t.start();
            sink += long(readPlainly(reportSql));
            return double(t.nsecsElapsed()) / 1e6;
        });
    std::vector<double> reportComputed;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        sink += long(Db::Protection::readAllProducts(release).size());
        reportComputed.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("report, every product (%zu):\n", readRows);
    std::printf("  read from the table   %s, %s\n", qPrintable(Bench::p50p99(tableTimes)),
                qPrintable(Bench::ratioVerdict(tableTimes, floorTimes, 1.5)));
    std::printf("  floor (C API, plain)  %s\n", qPrintable(Bench::p50p99(floorTimes)));
    std::printf("  computed from rows    %s  (how the report read them before)\n",
                qPrintable(Bench::p50p99(reportComputed)));

    // The window: List pressed on a new report, to the paint of its list; on a copy
    // without the table it computes every product, as it did before.
    QTemporaryDir dir;
    const QString without = dir.filePath(QStringLiteral("without table.mdb"));
    if (!QFile::copy(path, without)) {
        std::fprintf(stderr, "bench_protection: cannot copy %s\n", qPrintable(path));
        return 1;
    }
    QFile::setPermissions(without, QFile::ReadOwner | QFile::WriteOwner);
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(without).constData(), &db);
        const int dropped = sqlite3_exec(db, "DROP TABLE [product protection];", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        if (dropped != SQLITE_OK) {
            std::fprintf(stderr, "bench_protection: cannot make a copy without the table\n");
            return 1;
        }
    }
    std::vector<double> windowTable, windowComputed;
    for (int round = 0; round < rounds + 1; ++round) {
        for (const bool table : {round % 2 == 0, round % 2 != 0}) {
            Db::Connection::shared().open(table ? path : without);
            const double ms = reportOpened(release);
            if (round > 0) { // the first round warms both up
                (table ? windowTable : windowComputed).push_back(ms);
            }
        }
    }
    std::printf("report window, List on a new window to its list painted:\n");
    std::printf("  reading the table             %s\n", qPrintable(Bench::p50p99(windowTable)));
    std::printf("  computing (no table, before)  %s\n", qPrintable(Bench::p50p99(windowComputed)));
    return sink == 0 ? 1 : 0;
}
