// Access (Jet) files opened through the real data layer: the sample file built from the
// FDA data against the database the importer builds from the same data, patched and
// damaged copies of it, the reader process's limits, and kvostrel-import --from-mdb.
#include "data/Database.h"
#include "data/JetCache.h"
#include "layout/Schema.h"
#include "data/SqlText.h"

#include "jet/JetFile.h"
#include "jet/JetStream.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include "ProgramConnection.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <optional>

using namespace Db;

namespace {

const QString RealDatabase = QStringLiteral(KVOSTREL_DB_PATH);
const QString Sample = QStringLiteral(JET_SAMPLE_PATH);
const QString FullFile = QStringLiteral(JET_FULL_PATH); // a larger real file, where the machine has it
constexpr int SampleStep = 114; // the sample's product n is the FDA list's product 114 (n - 1) + 1
constexpr qsizetype Page = 4096;

using Rows = QList<QStringList>;

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// Every row of `table` through the shared row set, ordered by ID: the columns the
// windows read, each value as text and Null marked, so that Null and "" differ.
Rows rowsOf(QLatin1StringView table, std::span<const QLatin1StringView> columns, const QString &where = {})
{
    QStringList names;
    for (const QLatin1StringView column : columns) {
        names << QStringLiteral("[%1]").arg(column);
    }
    RowSet &rows = openSharedQuery(
        QStringLiteral("SELECT %1 FROM [%2] %3 ORDER BY ID").arg(names.join(QStringLiteral(", ")), table, where));
    RowSetCloser closer(rows);
    Rows result;
    for (; !rows.eof(); rows.moveNext()) {
        QStringList row;
        for (int i = 0; i < int(columns.size()); ++i) {
            const QVariant value = rows.field(i);
            row << (value.isNull() ? QStringLiteral("<Null>") : value.toString());
        }
        result << row;
    }
    return result;
}

// The same rows without their first column (ID), sorted. `asImported`: each value as
// kvostrel-import reads an FDA field (the Jet files hold some fields as the FDA file
// spells them: in double quotes, or with a tab at the end).
Rows withoutIds(Rows rows, bool sort, bool asImported = false)
{
    for (QStringList &row : rows) {
        row.removeFirst();
        for (QString &value : row) {
            if (!asImported) {
                break;
            }
            while (value.endsWith(QLatin1Char('\t'))) {
                value.chop(1);
            }
            if (value.size() > 1 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
                value = value.mid(1, value.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
            }
        }
    }
    if (sort) {
        std::sort(rows.begin(), rows.end());
    }
    return rows;
}

std::optional<Common::AppError> openError(const QString &path)
{
    try {
        Connection::shared().open(path);
    } catch (const Common::AppError &error) {
        return error;
    }
    return std::nullopt;
}

// The first memo of the "dosage form" table (AEROSOL's definition) made `text` long:
// its row's memo field points at a chain of new long-value pages at the file's end.
bool makeLongMemo(QByteArray &file, const QString &text)
{
    const qsizetype value = file.indexOf(QByteArray("\xff\xfe"
                                                    "Contents packaged under pressure"));
    const qsizetype page = value / Page;
    if (value < 0 || file.mid(page * Page + 4, 4) != "LVAL") {
        return false;
    }
    const auto u16 = [&file](qsizetype at) { return quint8(file[at]) | quint8(file[at + 1]) << 8; };
    int row = 0;
    while (row < u16(page * Page + 0x0c) && (u16(page * Page + 0x0e + 2 * row) & 0x1fff) != value % Page) {
        ++row;
    }
    const auto put32 = [](QByteArray &bytes, qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = char(v >> (8 * i));
        }
    };
    QByteArray pointer(4, '\0');
    put32(pointer, 0, quint32(page << 8 | row));
    // The field: three bytes of length, the flags (0x40: on one long-value page), the pointer.
    qsizetype header = -1;
    for (qsizetype at = file.indexOf(pointer); at >= 4 && header < 0; at = file.indexOf(pointer, at + 1)) {
        header = quint8(file[at - 1]) == 0x40 ? at - 4 : -1;
    }
    if (header < 0) {
        return false;
    }
    const QByteArray raw = utf16(text);
    const qsizetype chunk = Page - 0x10 - 4;
    const auto first = quint32(file.size() / Page);
    for (qsizetype at = 0, n = 0; at < raw.size(); at += chunk, ++n) {
        QByteArray lval(Page, '\0');
        const QByteArray part = raw.mid(at, chunk);
        const qsizetype start = Page - 4 - part.size();
        lval[0] = lval[1] = '\1';
        lval.replace(4, 4, "LVAL");
        lval[0x0c] = '\1';
        lval[0x0e] = char(start & 0xff);
        lval[0x0f] = char(start >> 8);
        put32(lval, start, at + chunk < raw.size() ? quint32(first + n + 1) << 8 : 0);
        lval.replace(start + 4, part.size(), part);
        file += lval;
    }
    put32(file, header, quint32(raw.size())); // flags 0: a chain of pages
    put32(file, header + 4, first << 8);
    return true;
}

// Collects nothing: for runs of the reader whose end is what counts.
struct NoSink : Jet::StreamSink
{
    void beginTable(const std::string &, const std::vector<Jet::Column> &) override {}
    void row(const std::vector<std::optional<std::string_view>> &) override {}
    void endTable(std::uint64_t) override {}
};

} // namespace

class JetTest : public QObject
{
    Q_OBJECT

private slots:
    // The converted copies go to a cache folder of the test's own, emptied before each
    // test: every test but the cache's own converts the file itself.
    void initTestCase() { qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cacheHome.path())); }
    void init() { QDir(JetCache::folder()).removeRecursively(); }
    void cleanup() { Connection::releaseShared(); }

    void jetFileReadsAsTheDatabaseBuiltFromTheSameData_data();
    void jetFileReadsAsTheDatabaseBuiltFromTheSameData();
    void patchedCopiesOpenOrSayWhy_data();
    void patchedCopiesOpenOrSayWhy();
    void mutatedCopiesNeverTakeTheProgramDown();
    void damagedHeaderIsNoPassword();
    void lettersBeyondAsciiAreFoundInEitherCase();
    void readerThatFailsOrHangsIsStopped_data();
    void readerThatFailsOrHangsIsStopped();
    void headerTellsTheFileKind();
    void datesReadAsTheFdaWritesThem_data();
    void datesReadAsTheFdaWritesThem();
    void streamArrivesInAnyPiecesAndBrokenStreamsAreRefused();
    void importerConvertsAJetFileToTheProgramsForm();
    void convertedCopyIsTakenOnlyWhenWholeAndOfThisFile_data();
    void convertedCopyIsTakenOnlyWhenWholeAndOfThisFile();
    void withoutACacheFolderTheFileIsConvertedInMemory();

private:
    QTemporaryDir m_cacheHome;
};

void JetTest::jetFileReadsAsTheDatabaseBuiltFromTheSameData_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("step");
    QTest::newRow("sample") << Sample << SampleStep;
    QTest::newRow("full") << FullFile << 1;
}

// Every row of every table, compared through the data layer with the database that
// kvostrel-import builds from the FDA files: the Jet file's products are every step-th
// product, its patents those of their applications, its vocabularies the terms alone.
void JetTest::jetFileReadsAsTheDatabaseBuiltFromTheSameData()
{
    QFETCH(QString, path);
    QFETCH(int, step);
    if (!QFile::exists(path)) {
        QSKIP("this machine has no copy of the file");
    }
    const QByteArray before = contentOf(path);
    QDir folder = QFileInfo(path).dir();
    const QStringList filesBefore = folder.entryList(QDir::Files);

    QVERIFY(!openError(path));
    const Rows products = rowsOf(Schema::Products::Table, Schema::ProductColumns);
    const Rows patents = rowsOf(Schema::Patent::Table, Schema::PatentColumns);
    const Rows forms = rowsOf(Schema::Vocabulary::DosageFormTable, Schema::DosageFormColumns);
    const Rows routes = rowsOf(Schema::Vocabulary::RouteTable, Schema::DosageFormColumns);
    // The file was made before the FDA's newer fields were kept: it opens, and their
    // columns are there and empty.
    namespace P = Schema::Products;
    namespace Pt = Schema::Patent;
    const QLatin1StringView idOnly[] = {P::ID};
    QCOMPARE(rowsOf(P::Table, idOnly,
                    QStringLiteral("WHERE [%1] IS NOT NULL OR [%2] IS NOT NULL OR [%3] IS NOT NULL OR [%4] IS NOT NULL")
                        .arg(P::ApplicationType, P::ApplicantShortName, P::RS, P::StrengthNote))
                 .size(),
             0);
    QCOMPARE(rowsOf(Pt::Table, idOnly,
                    QStringLiteral("WHERE [%1] IS NOT NULL OR [%2] IS NOT NULL OR [%3] IS NOT NULL")
                        .arg(Pt::ApplicationType, Pt::DelistFlag, Pt::SubmissionDate))
                 .size(),
             0);
    // Nothing can be written through the connection, and the file stays as it was.
    QVERIFY(!queryProgramConnection(QStringLiteral("DELETE FROM products")).ok);
    QCOMPARE(rowsOf(Schema::Products::Table, Schema::ProductColumns).size(), products.size());
    Connection::releaseShared();
    QCOMPARE(contentOf(path), before);
    QCOMPARE(folder.entryList(QDir::Files), filesBefore);

    QVERIFY(!openError(RealDatabase));
    const Rows realProducts = rowsOf(Schema::Products::Table, Schema::ProductColumns,
                                     QStringLiteral("WHERE (ID - 1) % %1 = 0 AND ID <= %2")
                                         .arg(step)
                                         .arg(qsizetype(step) * (products.size() - 1) + 1));
    QStringList applications;
    for (const QStringList &product : products) {
        applications << product.at(10); // New Drug Application (NDA) Number
    }
    Rows realPatents;
    for (const QStringList &patent : rowsOf(Schema::Patent::Table, Schema::PatentColumns)) {
        if (applications.contains(patent.at(3))) {
            realPatents << patent;
        }
    }
    const auto vocabulary = [&](QLatin1StringView table, qsizetype terms) {
        return rowsOf(table, Schema::DosageFormColumns, QStringLiteral("WHERE ID <= %1").arg(terms));
    };
    QCOMPARE(products.size(), step == 1 ? 45752 : 400);
    // The file's strengths still carry the FDA's notes after "**", which the importer
    // keeps apart now: the strength alone is compared.
    Rows jetProducts = products;
    for (QStringList &product : jetProducts) {
        product[3] = product[3].section(QStringLiteral("**"), 0, 0).trimmed();
        if (product[3].isEmpty()) {
            product[3] = QStringLiteral("<Null>"); // a note and no strength
        }
    }
    QCOMPARE(withoutIds(jetProducts, false, true), withoutIds(realProducts, false));
    QCOMPARE(withoutIds(patents, true, true), withoutIds(realPatents, true));
    QCOMPARE(forms, vocabulary(Schema::Vocabulary::DosageFormTable, 157));
    QCOMPARE(routes, vocabulary(Schema::Vocabulary::RouteTable, 112));
}

void JetTest::patchedCopiesOpenOrSayWhy_data()
{
    QTest::addColumn<QString>("patch");
    QTest::addColumn<int>("number"); // 0: opens
    QTest::addColumn<QString>("words");
    QTest::newRow("names in other letter case") << "case" << 0 << QString();
    QTest::newRow("memo over 16 KB") << "memo" << 0 << QString();
    QTest::newRow("missing table and column")
        << "missing" << DbErrorNumber::TableMissing
        << QStringLiteral("lacks the table \"patent\"; the column \"Strength\" in the table \"products\". "
                          "Rebuild it with kvostrel-import.");
    QTest::newRow("password") << "password" << DbErrorNumber::Protected << QStringLiteral("is protected by a password");
    QTest::newRow("cut inside a page") << "cut" << DbErrorNumber::Damaged
                                       << QStringLiteral("not a whole number of its 4096-byte pages");
    QTest::newRow("cut at a page") << "cut page" << DbErrorNumber::Damaged << QStringLiteral("is damaged (");
    QTest::newRow("header alone") << "header" << DbErrorNumber::Damaged
                                  << QStringLiteral("is damaged (its list of tables cannot be read)");
    QTest::newRow("pages of zeros") << "zeros" << DbErrorNumber::Damaged << QStringLiteral("is damaged (");
}

void JetTest::patchedCopiesOpenOrSayWhy()
{
    QFETCH(QString, patch);
    QFETCH(int, number);
    QFETCH(QString, words);
    QByteArray file = contentOf(Sample);
    const QString memo = QStringLiteral("Contents packaged under pressure, \u00e9 and \u20ac. ").repeated(600);
    const auto rename = [&file](const QString &from, const QString &to) {
        const QByteArray name = utf16(from);
        const qsizetype at = file.indexOf(name);
        return at >= 0 && file.indexOf(name, at + 1) < 0 && (file.replace(at, name.size(), utf16(to)), true);
    };
    if (patch == QLatin1String("case")) {
        QVERIFY(rename(QStringLiteral("products"), QStringLiteral("PRODUCTS")));
        QVERIFY(rename(QStringLiteral("route of administration"), QStringLiteral("Route Of Administration")));
        QVERIFY(rename(QStringLiteral("Strength"), QStringLiteral("STRENGTH")));
        QVERIFY(rename(QStringLiteral("trade name"), QStringLiteral("Trade Name")));
    } else if (patch == QLatin1String("memo")) {
        QVERIFY(utf16(memo).size() > 3 * 16384);
        QVERIFY(makeLongMemo(file, memo));
    } else if (patch == QLatin1String("missing")) {
        QVERIFY(rename(QStringLiteral("patent"), QStringLiteral("patenz")));
        QVERIFY(rename(QStringLiteral("Strength"), QStringLiteral("Strengtz")));
    } else if (patch == QLatin1String("password")) {
        // The password field lies scrambled with a fixed key stream: XOR puts text in it.
        const QByteArray password = utf16(QStringLiteral("secret"));
        for (qsizetype i = 0; i < password.size(); ++i) {
            file[0x42 + i] = char(file[0x42 + i] ^ password[i]);
        }
    } else if (patch == QLatin1String("cut")) {
        file.truncate(200000);
    } else if (patch == QLatin1String("cut page")) {
        file.truncate(60 * Page);
    } else if (patch == QLatin1String("header")) {
        file.truncate(Page);
    } else if (patch == QLatin1String("zeros")) {
        file = file.left(Page) + QByteArray(20 * Page, '\0');
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QVERIFY(write(path, file));

    const std::optional<Common::AppError> error = openError(path);
    QCOMPARE(contentOf(path), file);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kvostrel.mdb")});
    if (number != 0) {
        QVERIFY2(error, "opening must fail");
        QCOMPARE(error->number(), number);
        QVERIFY2(error->description().contains(words), qPrintable(error->description()));
        QVERIFY(error->description().contains(QDir::toNativeSeparators(path)));
        QVERIFY(!Connection::shared().isOpen());
        return;
    }
    QVERIFY2(!error, qPrintable(error ? error->description() : QString()));
    const Rows products = rowsOf(Schema::Products::Table, Schema::ProductColumns);
    QCOMPARE(products.size(), 400);
    QCOMPARE(products.first().mid(1, 4),
             (QStringList{QStringLiteral("BUDESONIDE"), QStringLiteral("BUDESONIDE"), QStringLiteral("2MG/ACTUATION"),
                          QStringLiteral("AEROSOL, FOAM")}));
    const Rows forms = rowsOf(Schema::Vocabulary::DosageFormTable, Schema::DosageFormColumns);
    QCOMPARE(forms.size(), 157);
    QCOMPARE(forms.first().at(2),
             patch == QLatin1String("memo") ? memo
                                            : QStringLiteral("Contents packaged under pressure "
                                                             "that are released upon activation "
                                                             "of an appropriate valve system."));
    QCOMPARE(rowsOf(Schema::Vocabulary::RouteTable, Schema::RouteColumns).size(), 112);
}

// Copies of the sample with bytes changed at random, mostly in its pages of rows and
// table layouts: each opens or is refused with a reason; none crashes or hangs the program.
void JetTest::mutatedCopiesNeverTakeTheProgramDown()
{
    const QByteArray sample = contentOf(Sample);
    QRandomGenerator random(20241108);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    int opened = 0;
    for (int copy = 0; copy < 60; ++copy) {
        QByteArray file = sample;
        const int changes = 1 + int(random.bounded(40));
        for (int i = 0; i < changes; ++i) {
            file[qsizetype(random.bounded(quint32(file.size())))] = char(random.bounded(256));
        }
        QVERIFY(write(path, file));
        const std::optional<Common::AppError> error = openError(path);
        if (!error) {
            ++opened;
            QVERIFY(Connection::shared().isOpen());
            continue;
        }
        const int number = error->number();
        QVERIFY2(number == DbErrorNumber::Damaged || number == DbErrorNumber::TableMissing
                     || number == DbErrorNumber::ColumnMissing || number == DbErrorNumber::Protected,
                 qPrintable(error->description()));
        QVERIFY(!Connection::shared().isOpen());
    }
    QVERIFY(opened > 0); // changes in unused bytes leave a readable file
}

// The header's scrambled bytes changed anywhere but in the password field: the file
// opens or is damaged, never protected by a password (a changed creation date unmasks
// the empty field into text).
void JetTest::damagedHeaderIsNoPassword()
{
    const QByteArray sample = contentOf(Sample);
    QRandomGenerator random(29);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    int damaged = 0;
    for (int copy = 0; copy < 60; ++copy) {
        QByteArray file = sample;
        for (int changes = 1 + int(random.bounded(4)); changes > 0; --changes) {
            qsizetype at = 0x18 + qsizetype(random.bounded(0x98 - 0x18 - 0x28));
            at += at >= 0x42 ? 0x28 : 0; // past the password field (0x42 to 0x69)
            file[at] = char(file[at] ^ char(1 + random.bounded(255)));
        }
        // Every third copy has its creation date's high bytes changed.
        if (copy % 3 == 0) {
            file[0x72 + 5 + qsizetype(random.bounded(3))] ^= char(1 + random.bounded(255));
        }
        QVERIFY(write(path, file));
        const std::optional<Common::AppError> error = openError(path);
        QVERIFY2(!error || error->number() != DbErrorNumber::Protected,
                 qPrintable(error ? error->description() : QString()));
        damaged += error && error->number() == DbErrorNumber::Damaged
            && error->description().contains(QStringLiteral("its header is damaged"));
    }
    QVERIFY(damaged > 0);
}

void JetTest::lettersBeyondAsciiAreFoundInEitherCase()
{
    // Jet's compressed text holds a character in a byte: 0xC9 is \u00c9.
    QByteArray file = contentOf(Sample);
    const QByteArray plain("\xff\xfe"
                           "BUDESONIDE");
    const qsizetype patched = file.count(plain);
    QVERIFY(patched > 0);
    file.replace(plain,
                 QByteArray("\xff\xfe"
                            "BUD\xc9SONIDE"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QVERIFY(write(path, file));

    const auto count = [](const QString &sql) { return queryProgramConnection(sql).rows.size(); };
    Connection::shared().open(Sample);
    const qsizetype named = count(SqlText::nameSearch(SqlText::Window::Drugs, QStringLiteral("BUDESONIDE")));
    const qsizetype holding = count(SqlText::productsWithIngredient(QStringLiteral("BUDESONIDE")));
    QVERIFY(named > 0 && holding > 0);
    Connection::shared().open(path);
    for (const QString &text : {QStringLiteral("bud\u00e9sonide"), QStringLiteral("BUD\u00c9SONIDE")}) {
        QCOMPARE(count(SqlText::nameSearch(SqlText::Window::Drugs, text)), named);
        QCOMPARE(count(SqlText::productsWithIngredient(text)), holding);
    }
    QCOMPARE(count(SqlText::nameSearch(SqlText::Window::Drugs, QStringLiteral("BUDESONIDE"))), 0);
}

void JetTest::readerThatFailsOrHangsIsStopped_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("words");
    const int damaged = int(Jet::ReadError::Kind::Damaged);
    QTest::newRow("hangs") << "exec sleep 60" << damaged << "took longer than 1 s";
    QTest::newRow("hangs after the stream") << "printf 'KVJET1\\nZ'; exec sleep 60" << damaged << "took longer";
    QTest::newRow("crashes") << "kill -SEGV $$" << damaged << "failed";
    QTest::newRow("says nothing") << "exit 0" << damaged << "cannot be read";
    QTest::newRow("writes text") << "echo 'Warning: page 7 is odd'" << damaged << "cannot be read";
    QTest::newRow("stops mid-stream") << "printf 'KVJET1\\nT'" << damaged << "cannot be read";
    QTest::newRow("rows without end") << "printf 'KVJET1\\nT\\1\\0\\0\\0t\\1\\0\\0\\0\\1\\0\\0\\0c\\2'; "
                                         "yes R | tr '\\n' '\\0'"
                                      << damaged << "far more than a file of its size";
    QTest::newRow("says why") << "printf 'KVJET1\\nF\\4\\0\\0\\0why!'; exit 1" << damaged << "why!";
    QTest::newRow("is missing") << "" << int(Jet::ReadError::Kind::ReaderMissing) << "cannot be started";
}

// The child process is held to its limits whatever it does, and never outlives the read.
void JetTest::readerThatFailsOrHangsIsStopped()
{
    QFETCH(QString, script);
    QFETCH(int, kind);
    QFETCH(QString, words);
    QTemporaryDir dir;
    const QString reader = dir.filePath(QStringLiteral("reader.sh"));
    if (!script.isEmpty()) {
        QVERIFY(write(reader, "#!/bin/sh\n" + script.toUtf8() + '\n'));
        QVERIFY(QFile::setPermissions(reader, QFile::ReadOwner | QFile::ExeOwner));
    }
    NoSink sink;
    Jet::ReadLimits limits;
    limits.time = std::chrono::milliseconds(1000);
    limits.streamPerFileByte = 0;
    limits.streamExtra = 1 << 20;
    try {
        Jet::readFile(reader.toStdString(), Sample.toStdString(), {"products"}, sink, limits);
        QFAIL("the read must fail");
    } catch (const Jet::ReadError &error) {
        QCOMPARE(int(error.kind), kind);
        QVERIFY2(QString::fromStdString(error.what()).contains(words), error.what());
    }
}

void JetTest::headerTellsTheFileKind()
{
    const auto kindOf = [](QByteArray head) { return Jet::fileKind(std::string_view(head.data(), head.size())); };
    QByteArray jet = contentOf(Sample).left(Page);
    QCOMPARE(kindOf(jet), Jet::FileKind::Jet4);
    QVERIFY(!Jet::hasPassword(std::string_view(jet.data(), jet.size()), Jet::FileKind::Jet4));
    jet[0x14] = '\0';
    QCOMPARE(kindOf(jet), Jet::FileKind::Jet3);
    jet[0x14] = '\3';
    QCOMPARE(kindOf(jet), Jet::FileKind::Ace);
    QCOMPARE(kindOf(jet.replace(4, 15, "Standard ACE DB")), Jet::FileKind::Ace);
    QCOMPARE(kindOf(contentOf(RealDatabase).left(100)), Jet::FileKind::Sqlite);
    QCOMPARE(kindOf(QByteArray("\0\1\0\0Standard Jet", 16)), Jet::FileKind::Other);
    QCOMPARE(kindOf(QByteArray("\0\1\0\0Standard Jet Db", 19) + QByteArray(100, '\0')), Jet::FileKind::Other);
    QCOMPARE(kindOf(QByteArray(100, 'x')), Jet::FileKind::Other);
}

void JetTest::datesReadAsTheFdaWritesThem_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text"); // empty: out of range
    QTest::newRow("the FDA's example") << 31110.0 << "Mar 4, 1985";
    QTest::newRow("with a time of day") << 45658.75 << "Jan 1, 2025";
    QTest::newRow("day zero") << 0.0 << "Dec 30, 1899";
    QTest::newRow("before day zero, at 6 am") << -1.25 << "Dec 29, 1899";
    QTest::newRow("1900 had no Feb 29") << 61.0 << "Mar 1, 1900";
    QTest::newRow("leap day 2000") << 36585.0 << "Feb 29, 2000";
    QTest::newRow("first Jet day") << -657434.0 << "Jan 1, 100";
    QTest::newRow("last Jet day") << 2958465.99 << "Dec 31, 9999";
    QTest::newRow("after the last") << 2958466.0 << "";
    QTest::newRow("before the first") << -657435.0 << "";
    QTest::newRow("not a number") << std::nan("") << "";
}

void JetTest::datesReadAsTheFdaWritesThem()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const std::optional<std::string> date = Jet::dateText(value);
    QCOMPARE(date ? QString::fromStdString(*date) : QString(), text);
}

void JetTest::streamArrivesInAnyPiecesAndBrokenStreamsAreRefused()
{
    struct Collect : Jet::StreamSink
    {
        QStringList seen;
        void beginTable(const std::string &name, const std::vector<Jet::Column> &columns) override
        {
            seen << QString::fromStdString(name) + QString::number(columns.size());
        }
        void row(const std::vector<std::optional<std::string_view>> &values) override
        {
            for (const auto &value : values) {
                seen << (value ? QString::fromUtf8(value->data(), qsizetype(value->size())) : QStringLiteral("<Null>"));
            }
        }
        void endTable(std::uint64_t rows) override { seen << QString::number(rows); }
    };
    std::string stream;
    Jet::StreamWriter writer(stream);
    writer.begin();
    writer.beginTable("t", {{"ID", Jet::ValueKind::Integer}, {"name", Jet::ValueKind::Text}});
    writer.beginRow();
    writer.value("1");
    writer.null();
    writer.beginRow();
    writer.value("2");
    writer.value("");
    writer.endTable(2);
    writer.end();
    const QStringList expected{"t2", "1", "<Null>", "2", "", "2"};
    for (std::size_t piece : {stream.size(), std::size_t(1), std::size_t(5)}) {
        Collect sink;
        Jet::StreamParser parser(sink);
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            parser.feed(std::string_view(stream).substr(at, piece));
        }
        parser.finish();
        QCOMPARE(sink.seen, expected);
    }
    const auto refused = [](std::string broken) {
        Collect sink;
        Jet::StreamParser parser(sink);
        try {
            parser.feed(broken);
            parser.finish();
        } catch (const Jet::StreamError &) {
            return true;
        }
        return false;
    };
    QVERIFY(refused(stream.substr(0, stream.size() - 1))); // no end
    QVERIFY(refused(stream + "Z")); // more after the end
    std::string miscounted = stream;
    miscounted[miscounted.size() - 9] = '\3'; // the row count says 3
    QVERIFY(refused(miscounted));
    QVERIFY(refused("SQLite format 3"));
    QVERIFY(refused(std::string(Jet::Magic) + "R")); // a row outside a table
}

// --from-mdb writes the program's form of the file: the importer's tables, columns and
// indexes, the Jet file's rows; a damaged file leaves the output as it was.
void JetTest::importerConvertsAJetFileToTheProgramsForm()
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QProcess import;
    import.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                 {QStringLiteral("--from-mdb"), Sample, QStringLiteral("--output"), output});
    QVERIFY(import.waitForFinished(60000));
    QCOMPARE(import.exitCode(), 0);

    const auto schemaOf = [](const QString &path) {
        QStringList statements;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema"));
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            QSqlQuery query(db.open() ? db : QSqlDatabase());
            query.exec(QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name"));
            while (query.next()) {
                statements << query.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("schema"));
        return statements;
    };
    QCOMPARE(schemaOf(output), schemaOf(RealDatabase));
    const auto everyTable = [] {
        QList<Rows> tables;
        for (const Schema::RequiredTable &table : Schema::RequiredColumns) {
            tables << rowsOf(table.table, table.columns);
        }
        return tables;
    };
    QVERIFY(!openError(Sample));
    const QList<Rows> fromJet = everyTable();
    QVERIFY(!openError(output));
    QCOMPARE(everyTable(), fromJet);
    Connection::releaseShared();

    const QByteArray written = contentOf(output);
    const QString cut = dir.filePath(QStringLiteral("cut.mdb"));
    QVERIFY(write(cut, contentOf(Sample).left(3 * Page)));
    import.start(QStringLiteral(KVOSTREL_IMPORT_PATH),
                 {QStringLiteral("--from-mdb"), cut, QStringLiteral("--output"), output});
    QVERIFY(import.waitForFinished(60000));
    QCOMPARE(import.exitCode(), 1);
    QVERIFY(import.readAllStandardError().contains("cut.mdb: is damaged ("));
    QCOMPARE(contentOf(output), written);
    import.start(
        QStringLiteral(KVOSTREL_IMPORT_PATH),
        {QStringLiteral("--from-mdb"), Sample, QStringLiteral("--fda"), cut, QStringLiteral("--output"), output});
    QVERIFY(import.waitForFinished(60000));
    QCOMPARE(import.exitCode(), 2);
    QVERIFY(import.readAllStandardError().contains("--fda does not go with --from-mdb"));
}

namespace {

// The file the shared connection reads: the kept copy, or "" for a database in memory.
QString fileRead()
{
    return QString::fromUtf8(sqlite3_db_filename(Connection::shared().handle(), "main"));
}

QList<Rows> everyTable()
{
    QList<Rows> tables;
    for (const Schema::RequiredTable &table : Schema::RequiredColumns) {
        tables << rowsOf(table.table, table.columns);
    }
    return tables;
}

} // namespace

void JetTest::convertedCopyIsTakenOnlyWhenWholeAndOfThisFile_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("taken");
    QTest::newRow("none") << "none" << true;
    QTest::newRow("copy cut short") << "cut" << false;
    QTest::newRow("copy with a damaged page") << "damage" << false;
    QTest::newRow("copy of another file") << "other" << false;
    QTest::newRow("copy without its identity") << "anonymous" << false;
    QTest::newRow("Jet file changed in place") << "touch" << false;
}

// A second open of a Jet file reads the copy the first kept, and finds what the first
// found; a copy that is damaged, cut short or not this file's as it is now is never read:
// the file is converted again and a new copy kept.
void JetTest::convertedCopyIsTakenOnlyWhenWholeAndOfThisFile()
{
    QFETCH(QString, change);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvostrel.mdb"));
    QVERIFY(QFile::copy(Sample, path));

    Connection::shared().open(path);
    QCOMPARE(fileRead(), QString()); // converted in memory
    const QList<Rows> converted = everyTable();
    const qsizetype named = rowsOf(Schema::Products::Table, std::array{Schema::Products::TradeName},
                                   QStringLiteral("WHERE [trade name] LIKE '%sodium%'"))
                                .size();
    Connection::releaseShared();
    const QString copy = JetCache(path).copyPath();
    QVERIFY(QFile::exists(copy));
    const QByteArray whole = contentOf(copy);
    QVERIFY(whole.size() > 16 * Page);

    QByteArray changed = whole;
    if (change == QLatin1String("cut")) {
        changed.truncate(whole.size() / 2);
    } else if (change == QLatin1String("damage")) {
        changed.replace(whole.size() / 2, Page, QByteArray(Page, '\x5a'));
    } else if (change == QLatin1String("anonymous")) {
        QVERIFY(changed.replace("JetCacheSource", "JetCacheSourcf").size() == whole.size());
    } else if (change == QLatin1String("other")) {
        // A copy another Jet file's first open kept, under this file's name.
        const QString other = dir.filePath(QStringLiteral("other.mdb"));
        QVERIFY(QFile::copy(Sample, other));
        Connection::shared().open(other);
        Connection::releaseShared();
        changed = contentOf(JetCache(other).copyPath());
    } else if (change == QLatin1String("touch")) {
        QFile jet(path);
        QVERIFY(jet.open(QIODevice::ReadWrite));
        QVERIFY(jet.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-7200), QFileDevice::FileModificationTime));
    }
    QVERIFY(write(copy, changed));

    Connection::shared().open(path);
    const QString expected = taken ? copy : QString();
    QCOMPARE(fileRead(), expected);
    QCOMPARE(everyTable(), converted);
    QCOMPARE(rowsOf(Schema::Products::Table, std::array{Schema::Products::TradeName},
                    QStringLiteral("WHERE [trade name] LIKE '%sodium%'"))
                 .size(),
             named);
    Connection::releaseShared();
    // The copy kept now is whole and is taken by the next open.
    Connection::shared().open(path);
    QCOMPARE(fileRead(), JetCache(path).copyPath());
    QCOMPARE(everyTable(), converted);
}

void JetTest::withoutACacheFolderTheFileIsConvertedInMemory()
{
    // The cache's parent is a file: no folder can be made there.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    QVERIFY(write(blocker, "x"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker));
    for (int open = 0; open < 2; ++open) {
        QVERIFY(!openError(Sample));
        QCOMPARE(fileRead(), QString());
        QVERIFY(!everyTable().value(0).isEmpty());
        Connection::releaseShared();
    }
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cacheHome.path()));
}

QTEST_GUILESS_MAIN(JetTest)
#include "tst_jet.moc"
