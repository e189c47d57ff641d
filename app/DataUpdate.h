#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

namespace App {

// Moves the user to a newer FDA release: from a data-file zip the user picks, or one
// downloaded from the address the FDA publishes. The zip is checked to hold the FDA's
// three files, then kvostrel-import, started as a child process, builds the user's own
// database beside where it lies and renames it into place only once it is complete;
// the database in use changes only then. A failure or a cancel leaves it as it was.
class DataUpdate : public QObject
{
    Q_OBJECT

public:
    struct Setup
    {
        QString importerPath; // kvostrel-import
        QString userDatabasePath; // the file the import writes ($XDG_DATA_HOME/torvanelquist/kvostrel.mdb)
        qint64 sizeLimit = MaxDownloadBytes; // a download larger than this is stopped
    };
    // The importer refuses inputs larger than any FDA release could be; so does the download.
    static constexpr qint64 MaxDownloadBytes = 256LL * 1024 * 1024;
    // The names the FDA's zip holds.
    static const QStringList FdaFileNames;
    // The settings key of the download address (torvanelquist.ini, section [update]).
    static const QString AddressSetting;

    // Empty when `zipPath` is a zip archive holding products.txt, patent.txt and
    // exclusivity.txt (in any folder, any letter case); else why not, in the
    // program's words.
    static QString checkFdaZip(const QString &zipPath);
    // The address the FDA publishes its data-file zip at.
    static const QString PublishedAddress;
    // The download address: the setting, else the FDA's.
    static QUrl configuredAddress();
    static void setConfiguredAddress(const QUrl &address);

    explicit DataUpdate(Setup setup, QObject *parent = nullptr);
    ~DataUpdate() override;

    bool isRunning() const { return m_running; }
    // Starts an update from a zip on disk, or from the address. finished() tells the end.
    void startFromZip(const QString &zipPath);
    void startDownload(const QUrl &address);
    // Stops the download or the import; finished() follows with a cancel message.
    void cancel();

signals:
    // What is being done ("Downloading", "Reading products.txt") and how far (0..1; -1
    // when it cannot be told).
    void progress(const QString &step, double fraction);
    // `databasePath`: the new database, when it succeeded. `message`: what happened.
    void finished(bool succeeded, const QString &message, const QString &databasePath);

private:
    void downloadData();
    void downloadDone();
    void runImport(const QString &zipPath);
    void importOutput();
    void importDone(int exitCode, QProcess::ExitStatus status);
    void finish(bool succeeded, const QString &message);

    Setup m_setup;
    bool m_running = false;
    bool m_cancelled = false;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_download; // the zip being downloaded, removed at the end
    qint64 m_downloaded = 0;
    QString m_downloadProblem;
    QPointer<QProcess> m_import;
    QByteArray m_importOutput;
};

// The "Update data" command: asks for a zip or the download, shows the progress with a
// Cancel button, and calls `reopen` with the new database once it is complete.
void runDataUpdateDialog(QWidget *parent, const std::function<void(const QString &databasePath)> &reopen);

} // namespace App
