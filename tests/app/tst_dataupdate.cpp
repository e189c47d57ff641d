// The update of the user's data from an FDA release, and the start-up's choice between
// the user's database and the program's.

#include "SmallFileSystem.h"
#include "FixtureDatabase.h"

#include "app/DataUpdate.h"
#include "app/DatabaseChoice.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

using App::DataUpdate;
namespace Choice = App::DatabaseChoice;

namespace {

const QString fdaZip = QStringLiteral(FDA_DATA_DIR "/fda-approved-drug-products-2024-11.zip");

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A zip holding the named entries, each with a line of text.
void writeZip(const QString &path, const QStringList &names)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive);
    for (const QString &name : names) {
        static const char text[] = "a~b\r\n";
        zip_source_t *source = zip_source_buffer(archive, text, sizeof text - 1, 0);
        QVERIFY(zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

// A database that says which FDA release it holds (none: no release table).
void writeReleaseDatabase(const QString &path, const QString &release)
{
    QStringList statements = referenceTables();
    if (!release.isNull()) {
        statements << QStringLiteral("CREATE TABLE [release] (ID INTEGER PRIMARY KEY, [Release Date] TEXT)")
                   << QStringLiteral("INSERT INTO [release] VALUES (1, '%1')").arg(release);
    }
    createDatabase(path, statements);
}

// Serves one file over HTTP/1.1 to every request: whole, cut off after half its bytes
// (with the whole length announced), or not at all (404).
class FileServer : public QObject
{
public:
    enum class Mode {
        Whole,
        CutOff,
        Missing
    };
    FileServer(QByteArray body, Mode mode)
        : m_body(std::move(body)),
          m_mode(mode)
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/data.zip").arg(m_server.serverPort())); }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        if (m_mode == Mode::Missing) {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        } else {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(m_body.size()) + "\r\n\r\n");
            socket->write(m_mode == Mode::CutOff ? m_body.left(m_body.size() / 2) : m_body);
        }
        socket->disconnectFromHost(); // after what was written has gone out
    }

    QTcpServer m_server;
    QByteArray m_body;
    Mode m_mode;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

struct Outcome
{
    bool succeeded = false;
    QString message;
    QString databasePath;
    QList<double> fractions; // of the import's steps, as reported
};

// Runs an update to its end; `act` starts it, `onProgress` may cancel it.
Outcome runUpdate(DataUpdate &update, const std::function<void()> &act,
                  const std::function<void(double)> &onProgress = {})
{
    Outcome outcome;
    QObject::connect(&update, &DataUpdate::progress, &update, [&](const QString &step, double fraction) {
        if (step.startsWith(QLatin1String("Reading "))) {
            outcome.fractions << fraction;
        }
        if (onProgress) {
            onProgress(fraction);
        }
    });
    QSignalSpy done(&update, &DataUpdate::finished);
    act();
    if (done.isEmpty()) {
        done.wait(180000);
    }
    if (done.size() == 1) {
        outcome.succeeded = done.first().at(0).toBool();
        outcome.message = done.first().at(1).toString();
        outcome.databasePath = done.first().at(2).toString();
    } else {
        outcome.message = QStringLiteral("finished %1 times").arg(done.size());
    }
    return outcome;
}

DataUpdate::Setup setupIn(const QString &folder)
{
    DataUpdate::Setup setup;
    setup.importerPath = QStringLiteral(KVOSTREL_IMPORT_PATH);
    setup.userDatabasePath = QDir(folder).filePath(QStringLiteral("torvanelquist/kvostrel.mdb"));
    return setup;
}

// The files the update left in the user's folder, hidden ones included.
QStringList userFiles(const DataUpdate::Setup &setup)
{
    return QFileInfo(setup.userDatabasePath).dir().entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class DataUpdateTest : public QObject
{
    Q_OBJECT

private slots:
    void releaseDatesAreReadAsTheFdaWritesThem();
    void startUpOpensTheNewerDatabase_data();
    void startUpOpensTheNewerDatabase();
    void zipIsCheckedToBeTheFdas_data();
    void zipIsCheckedToBeTheFdas();
    void updateFromZipReportsProgressAndReplacesTheFileWhole();
    void cancelledOrFailedUpdateLeavesTheDatabaseAsItWas_data();
    void cancelledOrFailedUpdateLeavesTheDatabaseAsItWas();
    void updateFromTheWebServerImportsTheDownload();
    void faultyDownloadLeavesNothing_data();
    void faultyDownloadLeavesNothing();
    void downloadOntoAFullDiskSaysSo();
    void downloadAddressIsTheFdasUntilTheUserGivesOne();
};

void DataUpdateTest::releaseDatesAreReadAsTheFdaWritesThem()
{
    QCOMPARE(Choice::parseReleaseDate(QStringLiteral("Nov 8, 2024")), QDate(2024, 11, 8));
    QCOMPARE(Choice::parseReleaseDate(QStringLiteral("Dec 08, 2026")), QDate(2026, 12, 8));
    QVERIFY(!Choice::parseReleaseDate(QStringLiteral("2024-11-08")).isValid());
    QVERIFY(!Choice::parseReleaseDate(QString()).isValid());
    // The bundled database says which release it is.
    QCOMPARE(Choice::readRelease(QStringLiteral(KVOSTREL_DB_PATH)).date, QDate(2024, 11, 8));
}

void DataUpdateTest::startUpOpensTheNewerDatabase_data()
{
    QTest::addColumn<QString>("userRelease"); // null: no release table; "-": no user file; "damaged"
    QTest::addColumn<bool>("userFirst");
    QTest::addColumn<QString>("note"); // what the user is told; empty: nothing

    QTest::newRow("user file newer") << QStringLiteral("Dec 8, 2026") << true << QString();
    QTest::newRow("user file older") << QStringLiteral("Oct 1, 2024") << false << QStringLiteral("is not newer");
    QTest::newRow("same release") << QStringLiteral("Nov 08, 2024") << false << QStringLiteral("is not newer");
    QTest::newRow("user file without release") << QString() << false << QStringLiteral("unknown date");
    QTest::newRow("user file damaged") << QStringLiteral("damaged") << false << QStringLiteral("cannot be read");
    QTest::newRow("no user file") << QStringLiteral("-") << false << QString();
}

void DataUpdateTest::startUpOpensTheNewerDatabase()
{
    QFETCH(QString, userRelease);
    QFETCH(bool, userFirst);
    QFETCH(QString, note);
    QTemporaryDir tmp;
    const QString program = QDir(tmp.path()).filePath(QStringLiteral("program.mdb"));
    const QString user = QDir(tmp.path()).filePath(QStringLiteral("user.mdb"));
    writeReleaseDatabase(program, QStringLiteral("Nov 8, 2024"));
    if (userRelease == QLatin1String("damaged")) {
        // An SQLite header, then nothing a reader can use.
        writeFile(user, QByteArray("SQLite format 3", 16) + QByteArray(4080, '\xff'));
    } else if (userRelease != QLatin1String("-")) {
        writeReleaseDatabase(user, userRelease);
    }

    const Choice::Choice choice = Choice::choose(program, user);
    QCOMPARE(choice.candidates.value(0), userFirst ? user : program);
    // The program's own file is always there to fall back on.
    QVERIFY(choice.candidates.contains(program));
    if (note.isEmpty()) {
        QVERIFY2(choice.note.isEmpty(), qPrintable(choice.note));
    } else {
        QVERIFY2(choice.note.contains(note) && choice.note.contains(user), qPrintable(choice.note));
    }
}

void DataUpdateTest::zipIsCheckedToBeTheFdas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // empty: accepted

    QTest::newRow("the FDA's zip") << QStringLiteral("fda") << QString();
    QTest::newRow("three files in a folder, other case") << QStringLiteral("folder") << QString();
    QTest::newRow("no exclusivity.txt") << QStringLiteral("two") << QStringLiteral("holds no exclusivity.txt.");
    QTest::newRow("another zip") << QStringLiteral("other")
                                 << QStringLiteral("holds no products.txt, no patent.txt, no exclusivity.txt");
    QTest::newRow("not a zip") << QStringLiteral("text") << QStringLiteral("is not a zip archive");
    QTest::newRow("zip cut in half") << QStringLiteral("cut") << QStringLiteral("is not a zip archive");
    QTest::newRow("empty file") << QStringLiteral("empty") << QStringLiteral("is not a zip archive");
    QTest::newRow("no file") << QStringLiteral("none") << QStringLiteral("is no file");
}

void DataUpdateTest::zipIsCheckedToBeTheFdas()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir tmp;
    QString zip = QDir(tmp.path()).filePath(QStringLiteral("data.zip"));
    if (kind == QLatin1String("fda")) {
        zip = fdaZip;
    } else if (kind == QLatin1String("folder")) {
        writeZip(zip,
                 {QStringLiteral("EOB/Products.TXT"), QStringLiteral("EOB/patent.txt"),
                  QStringLiteral("EOB/exclusivity.txt")});
    } else if (kind == QLatin1String("two")) {
        writeZip(zip, {QStringLiteral("products.txt"), QStringLiteral("patent.txt")});
    } else if (kind == QLatin1String("other")) {
        writeZip(zip, {QStringLiteral("readme.txt"), QStringLiteral("products.csv")});
    } else if (kind == QLatin1String("text")) {
        writeFile(zip, "products.txt patent.txt exclusivity.txt\n");
    } else if (kind == QLatin1String("cut")) {
        const QByteArray whole = fileContent(fdaZip);
        writeFile(zip, whole.left(whole.size() / 2));
    } else if (kind == QLatin1String("empty")) {
        writeFile(zip, QByteArray());
    }
    const QString found = DataUpdate::checkFdaZip(zip);
    if (problem.isEmpty()) {
        QVERIFY2(found.isEmpty(), qPrintable(found));
    } else {
        QVERIFY2(found.contains(problem) && found.contains(zip), qPrintable(found));
    }
}

void DataUpdateTest::updateFromZipReportsProgressAndReplacesTheFileWhole()
{
    QTemporaryDir tmp;
    const DataUpdate::Setup setup = setupIn(tmp.path());
    DataUpdate update(setup);
    const Outcome outcome = runUpdate(update, [&] { update.startFromZip(fdaZip); });
    QVERIFY2(outcome.succeeded, qPrintable(outcome.message));
    QCOMPARE(outcome.databasePath, setup.userDatabasePath);
    QVERIFY2(outcome.message.contains(QStringLiteral("release of Nov 8, 2024")), qPrintable(outcome.message));
    QCOMPARE(userFiles(setup), QStringList{QStringLiteral("kvostrel.mdb")});
    // Progress went forward and ended at the whole.
    QVERIFY(outcome.fractions.size() >= 3);
    QCOMPARE(outcome.fractions.last(), 1.0);
    QVERIFY(
        std::all_of(outcome.fractions.begin(), outcome.fractions.end(), [](double f) { return f >= 0.0 && f <= 1.0; }));
    // The user's database is complete: the start-up now prefers it over an older one.
    QTemporaryDir other;
    const QString older = QDir(other.path()).filePath(QStringLiteral("older.mdb"));
    writeReleaseDatabase(older, QStringLiteral("Nov 8, 2023"));
    QCOMPARE(Choice::choose(older, setup.userDatabasePath).candidates.value(0), setup.userDatabasePath);
}

void DataUpdateTest::cancelledOrFailedUpdateLeavesTheDatabaseAsItWas_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::newRow("cancelled while importing") << QStringLiteral("cancel") << QStringLiteral("cancelled");
    QTest::newRow("zip that is not the FDA's") << QStringLiteral("other") << QStringLiteral("not the FDA's");
    QTest::newRow("importer missing") << QStringLiteral("no importer") << QStringLiteral("cannot be started");
    QTest::newRow("import refused") << QStringLiteral("refused") << QStringLiteral("The import failed");
}

void DataUpdateTest::cancelledOrFailedUpdateLeavesTheDatabaseAsItWas()
{
    QFETCH(QString, how);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    DataUpdate::Setup setup = setupIn(tmp.path());
    // The user's earlier update.
    QVERIFY(QDir().mkpath(QFileInfo(setup.userDatabasePath).absolutePath()));
    writeReleaseDatabase(setup.userDatabasePath, QStringLiteral("Oct 1, 2024"));
    const QByteArray before = fileContent(setup.userDatabasePath);
    QString zip = fdaZip;
    if (how == QLatin1String("other")) {
        zip = QDir(tmp.path()).filePath(QStringLiteral("other.zip"));
        writeZip(zip, {QStringLiteral("readme.txt")});
    } else if (how == QLatin1String("no importer")) {
        setup.importerPath = QDir(tmp.path()).filePath(QStringLiteral("no-such-importer"));
    } else if (how == QLatin1String("refused")) {
        // The FDA's three names, holding no FDA data.
        zip = QDir(tmp.path()).filePath(QStringLiteral("fake.zip"));
        writeZip(zip, DataUpdate::FdaFileNames);
    }
    DataUpdate update(setup);
    bool cancelled = false;
    const Outcome outcome = runUpdate(
        update, [&] { update.startFromZip(zip); },
        [&](double fraction) {
            if (how == QLatin1String("cancel") && fraction > 0 && !cancelled) {
                cancelled = true;
                update.cancel();
            }
        });
    QVERIFY(!outcome.succeeded);
    QVERIFY2(outcome.message.contains(message), qPrintable(outcome.message));
    QVERIFY(outcome.databasePath.isEmpty());
    QVERIFY(fileContent(setup.userDatabasePath) == before);
    QCOMPARE(userFiles(setup), QStringList{QStringLiteral("kvostrel.mdb")});
    QCOMPARE(cancelled, how == QLatin1String("cancel"));
}

void DataUpdateTest::updateFromTheWebServerImportsTheDownload()
{
    FileServer server(fileContent(fdaZip), FileServer::Mode::Whole);
    QTemporaryDir tmp;
    const DataUpdate::Setup setup = setupIn(tmp.path());
    DataUpdate update(setup);
    const Outcome outcome = runUpdate(update, [&] { update.startDownload(server.url()); });
    QVERIFY2(outcome.succeeded, qPrintable(outcome.message));
    QCOMPARE(Choice::readRelease(setup.userDatabasePath).date, QDate(2024, 11, 8));
    // The downloaded zip is not kept.
    QCOMPARE(userFiles(setup), QStringList{QStringLiteral("kvostrel.mdb")});
}

void DataUpdateTest::faultyDownloadLeavesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");
    QTest::newRow("cut off") << QStringLiteral("cut") << QStringLiteral("cut off");
    QTest::newRow("larger than the limit") << QStringLiteral("large") << QStringLiteral("larger");
    QTest::newRow("not found") << QStringLiteral("missing") << QStringLiteral("The download failed");
    QTest::newRow("not a zip") << QStringLiteral("page") << QStringLiteral("is not a zip archive");
    QTest::newRow("nobody listening") << QStringLiteral("closed") << QStringLiteral("The download failed");
    QTest::newRow("no web address") << QStringLiteral("file") << QStringLiteral("no web address");
    QTest::newRow("cancelled") << QStringLiteral("cancel") << QStringLiteral("cancelled");
}

void DataUpdateTest::faultyDownloadLeavesNothing()
{
    QFETCH(QString, how);
    QFETCH(QString, message);
    const QByteArray zip = fileContent(fdaZip);
    FileServer server(how == QLatin1String("page") ? QByteArray("<html>Moved</html>") : zip,
                      how == QLatin1String("cut")           ? FileServer::Mode::CutOff
                          : how == QLatin1String("missing") ? FileServer::Mode::Missing
                                                            : FileServer::Mode::Whole);
    QUrl url = server.url();
    if (how == QLatin1String("closed")) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        url.setPort(probe.serverPort());
        probe.close(); // that port now refuses
    } else if (how == QLatin1String("file")) {
        url = QUrl::fromLocalFile(fdaZip);
    }
    QTemporaryDir tmp;
    DataUpdate::Setup setup = setupIn(tmp.path());
    if (how == QLatin1String("large")) {
        setup.sizeLimit = zip.size() - 1;
    }
    DataUpdate update(setup);
    const Outcome outcome = runUpdate(
        update, [&] { update.startDownload(url); },
        [&](double) {
            if (how == QLatin1String("cancel")) {
                update.cancel();
            }
        });
    QVERIFY(!outcome.succeeded);
    QVERIFY2(outcome.message.contains(message), qPrintable(outcome.message));
    QVERIFY(!QFile::exists(setup.userDatabasePath));
    QCOMPARE(userFiles(setup), QStringList());
}

void DataUpdateTest::downloadOntoAFullDiskSaysSo()
{
    SmallFileSystem small;
    if (!small.isMounted()) {
        QSKIP(qPrintable(small.why()));
    }
    FileServer server(fileContent(fdaZip), FileServer::Mode::Whole);
    DataUpdate::Setup setup;
    setup.importerPath = QStringLiteral(KVOSTREL_IMPORT_PATH);
    setup.userDatabasePath = QDir(small.path()).filePath(QStringLiteral("kvostrel.mdb"));
    DataUpdate update(setup);
    const Outcome outcome = runUpdate(update, [&] { update.startDownload(server.url()); });
    QVERIFY(!outcome.succeeded);
    QVERIFY2(outcome.message.contains(QStringLiteral("cannot be written")), qPrintable(outcome.message));
    QCOMPARE(QDir(small.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// The user's settings file of this test lives in a folder of its own, never the user's.
void DataUpdateTest::downloadAddressIsTheFdasUntilTheUserGivesOne()
{
    QTemporaryDir config;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    QCOMPARE(DataUpdate::configuredAddress(), QUrl(DataUpdate::PublishedAddress));
    QCOMPARE(DataUpdate::configuredAddress().host(), QStringLiteral("www.fda.gov"));
    const QUrl mirror(QStringLiteral("http://127.0.0.1:8000/ob.zip"));
    DataUpdate::setConfiguredAddress(mirror);
    QCOMPARE(DataUpdate::configuredAddress(), mirror);
    QVERIFY(QFileInfo::exists(config.filePath(QStringLiteral("torvanelquist/torvanelquist.ini"))));
}

QTEST_MAIN(DataUpdateTest)
#include "tst_dataupdate.moc"
