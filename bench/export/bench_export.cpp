// Not a test: prints how long exporting the whole drug list takes, from the records
// read to the CSV file complete on disk, beside its floor, and the lines' details read
// for a screenful.
//
//   bench_export [database file] [runs]
//
// The floor: the same statement read with SQLite's C API on the same connection, the
// same columns written as CSV (the same quoting) with stdio to a file beside the target,
// synced and renamed onto it, as the program saves a file whole or not at all. The
// program and the floor take turns (A B, then B A, ...).

#include "BenchSupport.h"
#include "app/frmMainForm.h"
#include "data/SqlText.h"
#include "layout/Schema.h"
#include "search/HitList.h"
#include "search/RecordExport.h"
#include "search/SearchWindow.h"
#include "search/frmDrugs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace Bench;

namespace {

void floorField(std::string &out, const char *text, size_t size)
{
    const bool formula = size > 0 && std::memchr("=+-@\t\r", text[0], 6) != nullptr;
    bool quoted = false;
    for (size_t i = 0; i < size && !quoted; ++i) {
        quoted = text[i] == ',' || text[i] == '"' || text[i] == '\r' || text[i] == '\n';
    }
    if (quoted) {
        out += '"';
    }
    if (formula) {
        out += '\'';
    }
    if (quoted) {
        for (size_t i = 0; i < size; ++i) {
            if (text[i] == '"') {
                out += '"';
            }
            out += text[i];
        }
        out += '"';
    } else {
        out.append(text, size);
    }
}

// The floor: `sql`'s columns named in `fields` (case ignored) written as CSV to `path`,
// in milliseconds; `rows` gets the rows written, `sync` the milliseconds the file took to
// reach the disk.
double floorExport(const QString &sql, const QStringList &fields, const QString &path, int *rows, double *sync)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = Connection::shared().handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    int count = 0;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray written = target + ".new";
    FILE *file = std::fopen(written.constData(), "wb");
    if (db && file && sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) == SQLITE_OK) {
        std::vector<int> columns;
        std::string line;
        for (const QString &field : fields) {
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                if (field.compare(QString::fromUtf8(sqlite3_column_name(statement, c)), Qt::CaseInsensitive) == 0) {
                    columns.push_back(c);
                    if (!line.empty()) {
                        line += ',';
                    }
                    floorField(line, field.toUtf8().constData(), size_t(field.toUtf8().size()));
                    break;
                }
            }
        }
        line += "\r\n";
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (size_t i = 0; i < columns.size(); ++i) {
                if (i > 0) {
                    line += ',';
                }
                const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(statement, columns[i]));
                floorField(line, value ? value : "", size_t(sqlite3_column_bytes(statement, columns[i])));
            }
            line += "\r\n";
            ++count;
            if (line.size() > 256 * 1024) {
                std::fwrite(line.data(), 1, line.size(), file);
                line.clear();
            }
        }
        std::fwrite(line.data(), 1, line.size(), file);
    }
    sqlite3_finalize(statement);
    if (file) {
        const double synced = timer.nsecsElapsed() / 1e6;
        if (std::fflush(file) != 0 || ::fsync(fileno(file)) != 0) {
            count = -1;
        }
        *sync = timer.nsecsElapsed() / 1e6 - synced;
        std::fclose(file);
        if (std::rename(written.constData(), target.constData()) != 0) {
            count = -1;
        }
    }
    *rows = count;
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    drawOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = app.arguments();
    const auto [database, runs] = databaseAndRuns(arguments, 15, out);
    if (database.isEmpty()) {
        return 1;
    }
    App::frmMainForm main;
    main.setProcessEnd([] {});
    main.Form_Load(database);
    Search::frmDrugs *drugs = main.drugsWindow();
    drugs->txtSearch()->clear();
    drugs->cmdSearch()->click(); // every product
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.csv"));
    const QString floorPath = dir.filePath(QStringLiteral("floor.csv"));
    QStringList fields;
    for (const Search::DetailRowDesign &row : drugs->design().rows) {
        fields << row.field;
    }
    // The fields the export keeps beside the grid's.
    fields << QString(Schema::Products::ApplicationType) << QString(Schema::Products::ApplicantShortName);
    const QString sql = Db::SqlText::allRecords(drugs->design().sqlWindow);

    std::vector<double> reading, writing, floorSyncs;
    int rows = 0;
    int floorRows = 0;
    const auto program = [&] {
        QElapsedTimer timer;
        timer.start();
        const Search::ExportTable table = Search::exportTable(*drugs);
        const double read = timer.nsecsElapsed() / 1e6;
        reading.push_back(read);
        const QString failure = Search::writeCsv(path, table, [](int) { return true; });
        const double total = timer.nsecsElapsed() / 1e6;
        writing.push_back(total - read);
        if (!failure.isEmpty()) {
            out << "export failed: " << failure << "\n";
            std::exit(1);
        }
        rows = int(table.rows.size());
        return total;
    };
    std::vector<double> exportCpu, floorCpu;
    const auto [exports, floors] = alternating(runs, withCpuTime(exportCpu, program), withCpuTime(floorCpu, [&] {
                                                   double sync = 0;
                                                   const double ms
                                                       = floorExport(sql, fields, floorPath, &floorRows, &sync);
                                                   floorSyncs.push_back(sync);
                                                   return ms;
                                               }));

    reading.erase(reading.begin()); // the warm-up run
    writing.erase(writing.begin());
    floorSyncs.erase(floorSyncs.begin());
    exportCpu.erase(exportCpu.begin());
    floorCpu.erase(floorCpu.begin());

    // The details of a screenful of lines, read the first time they are drawn.
    std::vector<double> details;
    Search::HitList *list = drugs->lstSearch();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        const int first = (run + 1) * 1000 % std::max(1, list->count() - 50);
        timer.start();
        for (int line = first; line < first + 50; ++line) {
            list->detail(line);
        }
        details.push_back(timer.nsecsElapsed() / 1e6);
    }

    out << "database: " << database << "\n";
    out << "whole drug list exported, " << runs << " runs each, program and floor in turn (" << rows << " records, "
        << QFile(path).size() / 1000 << " kB; floor " << floorRows << " rows, " << QFile(floorPath).size() / 1000
        << " kB):\n";
    out << "  floor: C API to stdio CSV     " << p50p99(floors) << "  (of which the sync " << p50p99(floorSyncs)
        << ")\n";
    out << "  records read                  " << p50p99(reading) << "\n";
    out << "  CSV written                   " << p50p99(writing) << "\n";
    out << "  export, records to file       " << p50p99(exports) << "  = " << ratioVerdict(exports, floors, 1.5)
        << "\n";
    out << "  CPU time of this thread: floor " << p50p99(floorCpu) << "\n";
    out << "                          export " << p50p99(exportCpu) << "  = " << ratioVerdict(exportCpu, floorCpu, 1.5)
        << "\n";
    out << "  details of 50 lines           " << p50p99(details) << "  (read when a screenful is first drawn)\n";
    return 0;
}
