// The listed-protection row's figures for a product (read from the importer's table when
// the database has it) against the exclusivity row's lookup of the same product, and the
// figures computed from the rows, in turn over the same products; then the report's reading
// of every product. Usage: bench_protection [DATABASE] [ROUNDS]
#include "data/Database.h"
#include "data/Protection.h"
#include "data/SqlText.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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

    std::vector<qint64> reportTimes;
    const QDate release = Db::Protection::readReleaseDate();
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        sink += long(Db::Protection::readAllProducts(release).size());
        reportTimes.push_back(timer.nsecsElapsed());
    }
    std::printf("report, every product read and computed  p50 %.1f ms  p99 %.1f ms\n",
                double(percentile(reportTimes, 0.5)) / 1e6, double(percentile(reportTimes, 0.99)) / 1e6);
    return sink == 0 ? 1 : 0;
}
