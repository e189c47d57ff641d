// The database file as it may come: copies of the bundled database with one page
// damaged, read through every path the data layer offers; files another program has
// left a change beside, in a folder nobody may write; links that lead nowhere.
#include "data/Database.h"
#include "data/PageCheckMemo.h"
#include "data/SqlText.h"
#include "FixtureDatabase.h"
#include "ProgramConnection.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Db;
using Window = SqlText::Window;

namespace {

const QString RealDatabase = QStringLiteral(KVOSTREL_DB_PATH);
constexpr qint64 PageSize = 4096;

template<typename Step>
std::optional<Common::AppError> errorOf(Step step)
{
    try {
        step();
    } catch (const Common::AppError &error) {
        return error;
    }
    return std::nullopt;
}

// Every row of `sql` through the shared row set, each row's values joined.
QStringList readRows(const QString &sql)
{
    QStringList rows;
    RowSet &rowSet = openSharedQuery(sql);
    RowSetCloser closer(rowSet);
    for (; !rowSet.eof(); rowSet.moveNext()) {
        QStringList values;
        for (int i = 0; i < rowSet.fieldCount(); ++i) {
            values << fieldText(rowSet.field(i));
        }
        rows << values.join(QChar(0x1f));
    }
    return rows;
}

// A hit list as the search windows read it (through the statement cache).
QStringList readHitList(const QString &sql, const QString &listField, const QString &keyField)
{
    const SharedListRows rows = readSharedList(sql, listField, keyField);
    QStringList lines;
    for (int i = 0; i < rows->count(); ++i) {
        lines << rows->line(i) + QChar(0x1f) + QString::number(rows->key(i));
    }
    return lines;
}

// One way the program reads the file, with what it gives.
struct ReadPath
{
    QString name;
    std::function<QStringList()> read;
};

QString advancedExactly(Window window, const QString &column, const QString &text)
{
    return SqlText::advancedSearch(window, SqlText::equalsClause(column, text));
}

// Every read path the windows use: the hit lists (quick and advanced searches, the
// navigations' lists), the details of every record, the navigations' own statements and
// the export's reads. `values` are the names the navigations are asked for.
QList<ReadPath> readPaths(const QStringList &dosageForms, const QStringList &ingredients,
                          const QStringList &applications)
{
    QList<ReadPath> paths;
    const auto list = [&paths](const QString &name, const QString &sql, const QString &line, const QString &key) {
        paths.append({name, [=] { return readHitList(sql, line, key); }});
    };
    const QString id = QStringLiteral("ID");
    list(QStringLiteral("drug list"), SqlText::nameSearch(Window::Drugs, QString()), QStringLiteral("trade name"), id);
    list(QStringLiteral("ingredient list"), SqlText::nameSearch(Window::Ingredients, QString()),
         QStringLiteral("ingredient"), QString());
    list(QStringLiteral("dosage form list"), SqlText::nameSearch(Window::DosageForm, QString()), QStringLiteral("name"),
         id);
    list(QStringLiteral("route list"), SqlText::nameSearch(Window::Route, QString()), QStringLiteral("name"), id);
    list(QStringLiteral("patent list"), SqlText::nameSearch(Window::Patent, QString()), QStringLiteral("Patent Number"),
         id);
    list(QStringLiteral("exclusivity list"), SqlText::nameSearch(Window::Exclusivity, QString()),
         QStringLiteral("Exclusivity"), id);
    list(QStringLiteral("advanced search"),
         SqlText::advancedSearch(Window::Drugs,
                                 SqlText::likeClause(QStringLiteral("Applicant Full Name"), QStringLiteral("%"),
                                                     QStringLiteral("LAB"), QStringLiteral("%"))),
         QStringLiteral("trade name"), id);
    paths.append({QStringLiteral("products of every dosage form (navigation)"), [=] {
                      QStringList all;
                      for (const QString &form : dosageForms) {
                          all += readHitList(advancedExactly(Window::Drugs, QStringLiteral("Dosage Form"), form),
                                             QStringLiteral("trade name"), id);
                      }
                      return all;
                  }});
    paths.append({QStringLiteral("products of every ingredient (navigation)"), [=] {
                      QStringList all;
                      for (const QString &ingredient : ingredients) {
                          all += readRows(SqlText::productsWithIngredient(ingredient));
                      }
                      return all;
                  }});
    paths.append({QStringLiteral("patents, exclusivities and products of every application (navigation)"), [=] {
                      QStringList all;
                      for (const QString &application : applications) {
                          all += readHitList(advancedExactly(Window::Patent,
                                                             QStringLiteral("New Drug Application (NDA) Number"),
                                                             application),
                                             QStringLiteral("Patent Number"), id);
                          all += readRows(SqlText::productExclusivities(application, QStringLiteral("001")));
                          all += readRows(SqlText::exclusivityCount(application));
                          all += readRows(SqlText::productOfApplication(application, QStringLiteral("001")));
                      }
                      return all;
                  }});
    for (const Window window :
         {Window::Drugs, Window::DosageForm, Window::Route, Window::Patent, Window::Exclusivity}) {
        paths.append({QStringLiteral("export of window %1").arg(int(window)),
                      [window] { return readRows(SqlText::allRecords(window)); }});
    }
    return paths;
}

// Page `page` (from 1) of `path` overwritten with bytes no page holds (from `from` on).
bool damagePage(const QString &path, qint64 page, qint64 from = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek((page - 1) * PageSize + from)) {
        return false;
    }
    const QByteArray garbage(PageSize - from, '\xff');
    return file.write(garbage) == garbage.size() && file.flush();
}

// The page numbers of one b-tree's pages of one kind ("leaf", "internal", "overflow"),
// in the tree's order.
QList<qint64> pagesOf(const QString &tree, const QString &kind)
{
    const ProgramRows rows
        = queryProgramConnection(QStringLiteral("SELECT pageno, path FROM dbstat WHERE name = '%1' AND pagetype = '%2' "
                                                "ORDER BY path")
                                     .arg(SqlText::quoteSqlText(tree), kind));
    QList<qint64> pages;
    for (int i = 0; i < rows.rows.size(); ++i) {
        // An overflow chain's first page ends its path with +000000.
        if (kind != QLatin1String("overflow")
            || rows.value(i, QStringLiteral("path")).toString().endsWith(QStringLiteral("+000000"))) {
            pages << rows.value(i, QStringLiteral("pageno")).toLongLong();
        }
    }
    return pages;
}

QStringList column(const QString &sql)
{
    QStringList values;
    for (const QString &row : readRows(sql)) {
        values << row.section(QChar(0x1f), 0, 0);
    }
    return values;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Makes `folder` writable by nobody (a user other than root cannot add a file to it).
void makeReadOnly(const QString &folder, bool readOnly)
{
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), readOnly ? 0555 : 0755) == 0);
}

} // namespace

class DataFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { Connection::releaseShared(); }

    void damagedPageGivesAnErrorOrTheWholeResult_data();
    void damagedPageGivesAnErrorOrTheWholeResult();
    void fileAnotherProgramLeftOpenIsNamedAndNothingIsWrittenBesideIt_data();
    void fileAnotherProgramLeftOpenIsNamedAndNothingIsWrittenBesideIt();
    void linksThatLeadToNoFileAreNamed();
    void fileFoundWholeIsReadAgainOnlyOnceChanged_data();
    void fileFoundWholeIsReadAgainOnlyOnceChanged();

private:
    // The bundled database with one definition long enough for overflow pages, and what
    // every read path gives on it.
    QTemporaryDir m_dir;
    QString m_whole;
    QList<ReadPath> m_paths;
    QList<QStringList> m_expected;
    QStringList m_productIds;
    QHash<qint32, QStringList> m_expectedDetails;
    QTemporaryDir m_cacheHome; // the memos of files found whole
};

void DataFilesTest::initTestCase()
{
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cacheHome.path()));
    QVERIFY2(QFile::exists(RealDatabase), "the build makes kvostrel.mdb beside the program");
    m_whole = m_dir.filePath(QStringLiteral("whole.mdb"));
    QVERIFY(QFile::copy(RealDatabase, m_whole));
    QFile::setPermissions(m_whole, QFile::ReadOwner | QFile::WriteOwner);
    createDatabase(m_whole,
                   {QStringLiteral("UPDATE [dosage form] SET DEFINITION = '%1' WHERE ID = 3")
                        .arg(QStringLiteral("A definition longer than one page. ").repeated(400))});

    Connection::shared().open(m_whole);
    const QStringList forms = column(QStringLiteral("SELECT name FROM [dosage form]"));
    QStringList ingredients = column(SqlText::nameSearch(Window::Ingredients, QString()));
    QStringList applications
        = column(QStringLiteral("SELECT DISTINCT [New Drug Application (NDA) Number] FROM patent"));
    // Every 4th keeps the run short; the damaged pages' rows are read by the lists anyway.
    for (QStringList *values : {&ingredients, &applications}) {
        QStringList some;
        for (int i = 0; i < values->size(); i += 4) {
            some << values->at(i);
        }
        *values = some;
    }
    m_paths = readPaths(forms, ingredients, applications);
    for (const ReadPath &path : std::as_const(m_paths)) {
        m_expected << path.read();
        QVERIFY2(!m_expected.last().isEmpty(), qPrintable(path.name));
    }
    // A product's details are its row of the export's read (the same columns).
    for (int i = 0; i < m_paths.size(); ++i) {
        if (m_paths.at(i).name == QLatin1String("export of window 0")) {
            for (const QString &row : m_expected.at(i)) {
                m_productIds << row.section(QChar(0x1f), 0, 0);
                m_expectedDetails.insert(m_productIds.last().toInt(), {row});
            }
        }
    }
    QCOMPARE(m_productIds.size(), 45752);
    Connection::releaseShared();
}

void DataFilesTest::damagedPageGivesAnErrorOrTheWholeResult_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("failingPath"); // a path that must meet the damage once the file is open
    QTest::newRow("table leaf") << "products"
                                << "leaf"
                                << "export of window 0";
    QTest::newRow("index leaf") << "products by trade name"
                                << "leaf"
                                << "drug list";
    QTest::newRow("interior") << "products by ingredient"
                              << "internal"
                              << "ingredient list";
    QTest::newRow("overflow") << "dosage form"
                              << "overflow"
                              << "export of window 2";
    QTest::newRow("schema page") << "sqlite_schema"
                                 << "leaf" << QString(); // refused at start
}

void DataFilesTest::damagedPageGivesAnErrorOrTheWholeResult()
{
    QFETCH(QString, tree);
    QFETCH(QString, kind);
    QFETCH(QString, failingPath);
    QTemporaryDir dir;
    const QString whole = m_whole;
    const QList<ReadPath> &paths = m_paths;
    const QList<QStringList> &expected = m_expected;
    Connection::shared().open(whole);
    const QList<qint64> pages = pagesOf(tree, kind);
    QVERIFY2(!pages.isEmpty(), qPrintable(tree));
    const qint64 page = pages.at(pages.size() / 2);
    Connection::releaseShared();

    // Damaged before the program starts: named at once.
    const QString damaged = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QVERIFY(QFile::copy(whole, damaged));
    QFile::setPermissions(damaged, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(damagePage(damaged, page, page == 1 ? 100 : 0));
    const auto atStart = errorOf([&] { Connection::shared().open(damaged); });
    QVERIFY2(atStart, "a damaged file must be named when it is opened");
    QCOMPARE(atStart->number(), DbErrorNumber::Damaged);
    QVERIFY2(
        atStart->description().contains(QStringLiteral("\"%1\" is damaged").arg(QDir::toNativeSeparators(damaged))),
        qPrintable(atStart->description()));
    QVERIFY(!Connection::shared().isOpen());

    // Damaged while the program runs (another program, a failing disk): every read is
    // an error or the whole result, never a shorter one, and a failed list is not kept.
    QVERIFY(QFile::remove(damaged) && QFile::copy(whole, damaged));
    QFile::setPermissions(damaged, QFile::ReadOwner | QFile::WriteOwner);
    Connection::shared().open(damaged);
    QVERIFY(damagePage(damaged, page, page == 1 ? 100 : 0));
    QVERIFY(queryProgramConnection(QStringLiteral("PRAGMA shrink_memory")).ok); // no page read before stays cached
    QStringList failed;
    for (int i = 0; i < paths.size(); ++i) {
        const quint64 failuresBefore = Connection::shared().readFailureCount();
        QStringList got;
        const auto error = errorOf([&] { got = paths.at(i).read(); });
        if (!error) {
            QVERIFY2(got == expected.at(i),
                     qPrintable(QStringLiteral("%1: %2 of %3 rows, and no error")
                                    .arg(paths.at(i).name)
                                    .arg(got.size())
                                    .arg(expected.at(i).size())));
            QCOMPARE(Connection::shared().readFailureCount(), failuresBefore);
            continue;
        }
        failed << paths.at(i).name;
        QCOMPARE(error->number(), DbErrorNumber::Damaged);
        QVERIFY2(
            error->description().contains(QStringLiteral("\"%1\" is damaged").arg(QDir::toNativeSeparators(damaged))),
            qPrintable(error->description()));
        QVERIFY(Connection::shared().readFailureCount() > failuresBefore);
        QCOMPARE(Connection::shared().lastReadFailure(), error->description());
        QVERIFY(!RowSet::shared().isOpen());
        // Asked again, the path reads again (nothing of the failed read was kept).
        const auto again = errorOf([&] { got = paths.at(i).read(); });
        QVERIFY2(again, qPrintable(paths.at(i).name + QStringLiteral(": a failed list came back from the cache")));
    }
    // A record's details touch only its table's own pages.
    int detailErrors = 0;
    for (const QString &id : tree == QLatin1String("products") ? m_productIds : QStringList()) {
        QStringList got;
        if (errorOf([&] { got = readRows(SqlText::details(Window::Drugs, id.toInt())); })) {
            ++detailErrors;
        } else {
            QCOMPARE(got, m_expectedDetails.value(id.toInt()));
        }
    }
    if (!failingPath.isEmpty()) {
        QVERIFY2(failed.contains(failingPath), qPrintable(failed.join(QStringLiteral(", "))));
    }
    if (failed.contains(QStringLiteral("drug list"))) {
        // The window lets go of its old list only for a whole new one.
        bool released = false;
        QVERIFY(errorOf([&] {
            readSharedList(SqlText::nameSearch(Window::Drugs, QString()), QStringLiteral("trade name"),
                           QStringLiteral("ID"), [&released] { released = true; });
        }));
        QVERIFY2(!released, "a failed search must leave the window its old list");
    }
    if (tree == QLatin1String("products") && kind == QLatin1String("leaf")) {
        QVERIFY(detailErrors > 0); // the records on the damaged page
        QVERIFY(detailErrors < 100);
    }
}

void DataFilesTest::fileAnotherProgramLeftOpenIsNamedAndNothingIsWrittenBesideIt_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("number"); // 0: opens and reads
    QTest::newRow("write-ahead log mode, closed") << "wal" << 0;
    QTest::newRow("write-ahead log holding changes") << "wal open" << DbErrorNumber::LeftOpen;
    QTest::newRow("hot journal") << "journal" << DbErrorNumber::LeftOpen;
    QTest::newRow("journal finished with (zeroed header)") << "zeroed journal" << 0;
}

void DataFilesTest::fileAnotherProgramLeftOpenIsNamedAndNothingIsWrittenBesideIt()
{
    QFETCH(QString, state);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString writerFolder = dir.filePath(QStringLiteral("writer"));
    const QString folder = dir.filePath(QStringLiteral("read-only"));
    QVERIFY(QDir().mkpath(writerFolder) && QDir().mkpath(folder));
    const QString written = writerFolder + QStringLiteral("/kvostrel.mdb");
    const QString path = folder + QStringLiteral("/kvostrel.mdb");
    QStringList statements = referenceTables();
    statements << QStringLiteral("INSERT INTO products (ID, [trade name]) VALUES (1, 'LIPITOR'), (2, 'ZOCOR')");
    if (state.startsWith(QLatin1String("wal"))) {
        statements.prepend(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    createDatabase(written, statements);

    // A writer that is still at work: its change lies beside the file, copied as the
    // machine would find it after the writer's crash.
    const QString name = QStringLiteral("writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(written);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous = OFF"))); // the journal's header is written at once
        if (state == QLatin1String("wal open")) {
            QVERIFY(q.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0")));
            QVERIFY(q.exec(QStringLiteral("UPDATE products SET [trade name] = 'CHANGED'")));
        }
        QVERIFY(db.transaction());
        QVERIFY(q.exec(QStringLiteral("UPDATE products SET [trade name] = 'HALF DONE'")));
        QVERIFY(QFile::copy(written, path));
        if (state == QLatin1String("wal open")) {
            QVERIFY(QFile::copy(written + QStringLiteral("-wal"), path + QStringLiteral("-wal")));
        } else if (state.endsWith(QLatin1String("journal"))) {
            QVERIFY(QFile::copy(written + QStringLiteral("-journal"), path + QStringLiteral("-journal")));
        }
        QVERIFY(db.rollback());
    }
    QSqlDatabase::removeDatabase(name);
    if (state == QLatin1String("zeroed journal")) {
        QFile journal(path + QStringLiteral("-journal"));
        QVERIFY(journal.open(QIODevice::ReadWrite));
        QVERIFY(journal.write(QByteArray(28, '\0')) == 28);
    }
    QCOMPARE(QFile::exists(path + QStringLiteral("-journal")), state.endsWith(QLatin1String("journal")));
    QCOMPARE(QFile::exists(path + QStringLiteral("-wal")), state == QLatin1String("wal open"));

    const QStringList before = filesIn(folder);
    makeReadOnly(folder, true);
    const auto error = errorOf([&] { Connection::shared().open(path); });
    QStringList names;
    if (!error) {
        names = column(SqlText::nameSearch(Window::Drugs, QString()));
    }
    Connection::releaseShared();
    makeReadOnly(folder, false);
    QCOMPARE(filesIn(folder), before);
    if (number == 0) {
        QVERIFY2(!error, qPrintable(error ? error->description() : QString()));
        QCOMPARE(names, (QStringList{QStringLiteral("LIPITOR"), QStringLiteral("ZOCOR")}));
        return;
    }
    QVERIFY2(error, "opening must fail");
    QCOMPARE(error->number(), number);
    QVERIFY2(
        error->description().contains(
            QStringLiteral("\"%1\" was left open by a program that writes it").arg(QDir::toNativeSeparators(path))),
        qPrintable(error->description()));
}

void DataFilesTest::linksThatLeadToNoFileAreNamed()
{
    QTemporaryDir dir;
    const QString loop = dir.filePath(QStringLiteral("kvostrel.mdb"));
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    QVERIFY(QFile::link(other, loop) && QFile::link(loop, other));
    const auto looping = errorOf([&] { Connection::shared().open(loop); });
    QVERIFY(looping);
    QCOMPARE(looping->number(), DbErrorNumber::FileUnreadable);
    QVERIFY2(looping->description().contains(QStringLiteral("leads round in a loop")),
             qPrintable(looping->description()));

    const QString dangling = dir.filePath(QStringLiteral("dangling.mdb"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.mdb")), dangling));
    const auto nowhere = errorOf([&] { Connection::shared().open(dangling); });
    QVERIFY(nowhere);
    QCOMPARE(nowhere->number(), DbErrorNumber::FileMissing);
    QVERIFY2(
        nowhere->description().contains(QStringLiteral("is a symbolic link to \"%1\", which was not found")
                                            .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("gone.mdb"))))),
        qPrintable(nowhere->description()));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("gone.mdb"))));
}

void DataFilesTest::fileFoundWholeIsReadAgainOnlyOnceChanged_data()
{
    QTest::addColumn<QString>("change"); // what happens to the file after a passed check
    QTest::addColumn<bool>("checkedAgain");
    QTest::newRow("nothing") << "nothing" << false;
    QTest::newRow("opened by another path") << "link" << false;
    QTest::newRow("touched") << "touch" << true;
    QTest::newRow("times put back after a write") << "write keeping times" << true;
    QTest::newRow("replaced by a copy") << "replace" << true;
    QTest::newRow("memo damaged") << "damage memo" << true;
    QTest::newRow("memo cut short") << "cut memo" << true;
    QTest::newRow("memo removed") << "remove memo" << true;
    QTest::newRow("page damaged") << "damage page" << true;
}

void DataFilesTest::fileFoundWholeIsReadAgainOnlyOnceChanged()
{
    QFETCH(QString, change);
    QFETCH(bool, checkedAgain);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QVERIFY(QFile::copy(m_whole, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QString memo = PageCheckMemo(path).memoPath();
    QVERIFY(memo.startsWith(m_cacheHome.path()));
    // Opens `file`; how many times its pages were read whole, or the error.
    const auto checksOpening = [](const QString &file) {
        const quint64 before = Connection::pageCheckCount();
        const auto error = errorOf([&] { Connection::shared().open(file); });
        Connection::releaseShared();
        return std::make_pair(Connection::pageCheckCount() - before, error);
    };

    QCOMPARE(checksOpening(path).first, 1u);
    QVERIFY(QFile::exists(memo));
    QCOMPARE(checksOpening(path).first, 0u);

    QString opened = path;
    struct stat status
    {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &status) == 0);
    if (change == QLatin1String("link")) {
        opened = dir.filePath(QStringLiteral("link.mdb"));
        QVERIFY(QFile::link(path, opened));
    } else if (change == QLatin1String("touch")) {
        const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
    } else if (change == QLatin1String("write keeping times")) {
        // The same bytes written back and the times put back: only the change time differs.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(PageSize * 3));
        const QByteArray same = file.read(16);
        QVERIFY(file.seek(PageSize * 3) && file.write(same) == same.size() && file.flush());
        file.close();
        const timespec times[2] = {status.st_atim, status.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
    } else if (change == QLatin1String("replace")) {
        const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
        QVERIFY(QFile::copy(m_whole, copy));
        QVERIFY(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) == 0);
    } else if (change == QLatin1String("damage memo") || change == QLatin1String("cut memo")) {
        QFile file(memo);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray text = file.readAll();
        QVERIFY(file.resize(0) && file.seek(0));
        QByteArray other = text;
        if (change == QLatin1String("cut memo")) {
            other.chop(2);
        } else {
            other[other.size() - 2] = other.at(other.size() - 2) == '0' ? '1' : '0';
        }
        QVERIFY(file.write(other) == other.size());
    } else if (change == QLatin1String("remove memo")) {
        QVERIFY(QFile::remove(memo));
    }

    if (change == QLatin1String("damage page")) {
        QVERIFY(damagePage(path, 5));
        // Named at start although the older state of the file was found whole, and a
        // failed check is never remembered.
        for (int i = 0; i < 2; ++i) {
            const auto [checks, error] = checksOpening(path);
            QCOMPARE(checks, 1u);
            QVERIFY2(error, "a damaged file must be named when it is opened");
            QCOMPARE(error->number(), DbErrorNumber::Damaged);
        }
        return;
    }
    const auto [checks, error] = checksOpening(opened);
    QVERIFY2(!error, error ? qPrintable(error->description()) : "");
    QCOMPARE(checks, checkedAgain ? 1u : 0u);
    // Checked again and passed: remembered anew.
    QCOMPARE(checksOpening(opened).first, 0u);
}

QTEST_GUILESS_MAIN(DataFilesTest)
#include "tst_data_files.moc"
