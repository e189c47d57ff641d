#include "app/DataUpdate.h"

#include "app/DatabaseChoice.h"
#include "common/UserSettings.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <QtEndian>

#include <functional>

namespace App {

const QStringList DataUpdate::FdaFileNames{QStringLiteral("products.txt"), QStringLiteral("patent.txt"),
                                           QStringLiteral("exclusivity.txt")};
const QString DataUpdate::AddressSetting = QStringLiteral("update/address");

namespace {

// Byte by byte: every caller has checked the range, and the compiler can see that no
// read leaves the array (an unaligned load through a pointer it cannot follow).
quint16 le16(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes.at(at)) | quint8(bytes.at(at + 1)) << 8);
}

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    return quint32(le16(bytes, at)) | quint32(le16(bytes, at + 2)) << 16;
}

QString megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

QString DataUpdate::checkFdaZip(const QString &zipPath)
{
    const QString shown = QDir::toNativeSeparators(zipPath);
    QFile file(zipPath);
    if (!QFileInfo(zipPath).isFile()) {
        return QStringLiteral("%1 is no file.").arg(shown);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("%1 cannot be read: %2.").arg(shown, file.errorString());
    }
    const qint64 size = file.size();
    if (size > MaxDownloadBytes) {
        return QStringLiteral("%1 is larger (%2) than any FDA release could be.").arg(shown, megabytes(size));
    }
    // The end-of-directory record lies in the last 22 bytes, before a comment of at
    // most 65,535 bytes; it says where the list of the archive's files is.
    const qint64 tail = qMin<qint64>(size, 22 + 65535);
    if (!file.seek(size - tail)) {
        return QStringLiteral("%1 cannot be read: %2.").arg(shown, file.errorString());
    }
    const QByteArray end = file.read(tail);
    qsizetype record = -1;
    for (qsizetype at = end.size() - 22; at >= 0; --at) {
        if (le32(end, at) == 0x06054b50) {
            record = at;
            break;
        }
    }
    const QString notZip = QStringLiteral("%1 is not a zip archive (or it is cut short), so it is not the FDA's "
                                          "data-file zip.")
                               .arg(shown);
    if (end.size() != tail || record < 0) {
        return notZip;
    }
    const quint16 entries = le16(end, record + 10);
    const quint32 directorySize = le32(end, record + 12);
    const quint32 directoryOffset = le32(end, record + 16);
    if (qint64(directoryOffset) + directorySize > size - tail + record || !file.seek(directoryOffset)) {
        return notZip;
    }
    const QByteArray directory = file.read(directorySize);
    if (directory.size() != qsizetype(directorySize)) {
        return notZip;
    }
    QStringList held;
    qsizetype at = 0;
    for (quint16 i = 0; i < entries; ++i) {
        if (at + 46 > directory.size() || le32(directory, at) != 0x02014b50) {
            return notZip;
        }
        const quint16 nameLength = le16(directory, at + 28);
        const qsizetype next = at + 46 + nameLength + le16(directory, at + 30) + le16(directory, at + 32);
        if (next > directory.size()) {
            return notZip;
        }
        const QString name = QString::fromUtf8(directory.mid(at + 46, nameLength));
        held << name.section(QLatin1Char('/'), -1).toLower();
        at = next;
    }
    QStringList missing;
    for (const QString &name : FdaFileNames) {
        if (!held.contains(name)) {
            missing << name;
        }
    }
    if (!missing.isEmpty()) {
        return QStringLiteral("%1 is not the FDA's data-file zip: it holds no %2.")
            .arg(shown, missing.join(QStringLiteral(", no ")));
    }
    return {};
}

// The link to the data-file zip on the FDA's "Orange Book Data Files" page, the same
// address for every monthly release.
const QString DataUpdate::PublishedAddress = QStringLiteral("https://www.fda.gov/media/76860/download?attachment");

QUrl DataUpdate::configuredAddress()
{
    // The user's own address when one was given (a mirror, a proxy), else the FDA's.
    return QUrl(Common::userSettings()->value(AddressSetting, PublishedAddress).toString());
}

void DataUpdate::setConfiguredAddress(const QUrl &address)
{
    Common::userSettings()->setValue(AddressSetting, address.toString());
}

DataUpdate::DataUpdate(Setup setup, QObject *parent)
    : QObject(parent),
      m_setup(std::move(setup))
{
}

DataUpdate::~DataUpdate()
{
    if (m_reply) {
        m_reply->abort();
    }
    if (m_import) {
        // The importer removes its unfinished file when it is ended.
        m_import->disconnect(this);
        m_import->terminate();
        m_import->waitForFinished(10000);
    }
}

void DataUpdate::startFromZip(const QString &zipPath)
{
    m_running = true;
    m_cancelled = false;
    runImport(zipPath);
}

void DataUpdate::startDownload(const QUrl &address)
{
    m_running = true;
    m_cancelled = false;
    if (!address.isValid() || address.isRelative()
        || !QStringList{QStringLiteral("http"), QStringLiteral("https")}.contains(address.scheme())) {
        finish(false,
               QStringLiteral("\"%1\" is no web address to download from (http or https).").arg(address.toString()));
        return;
    }
    const QString folder = QFileInfo(m_setup.userDatabasePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        finish(false, QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder)));
        return;
    }
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".download-XXXXXX.zip")));
    if (!file->open()) {
        finish(false,
               QStringLiteral("No file can be written in %1: %2.")
                   .arg(QDir::toNativeSeparators(folder), file->errorString()));
        return;
    }
    m_download = std::move(file);
    m_downloaded = 0;
    m_downloadProblem.clear();
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
    }
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(60000);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &DataUpdate::downloadData);
    connect(m_reply, &QNetworkReply::finished, this, &DataUpdate::downloadDone);
    emit progress(QStringLiteral("Downloading %1").arg(address.toDisplayString()), -1);
}

void DataUpdate::downloadData()
{
    const QByteArray bytes = m_reply->readAll();
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() > m_setup.sizeLimit) {
        m_downloadProblem = QStringLiteral("The download is larger (%1) than any FDA release could be (at most %2).")
                                .arg(megabytes(announced.toLongLong()), megabytes(m_setup.sizeLimit));
        m_reply->abort();
        return;
    }
    if (m_downloaded + bytes.size() > m_setup.sizeLimit) {
        m_downloadProblem = QStringLiteral("The download grew larger than any FDA release could be (%1), so it "
                                           "was stopped.")
                                .arg(megabytes(m_setup.sizeLimit));
        m_reply->abort();
        return;
    }
    if (m_download->write(bytes) != bytes.size()) {
        m_downloadProblem = QStringLiteral("The download cannot be written to %1: %2.")
                                .arg(QDir::toNativeSeparators(m_download->fileName()), m_download->errorString());
        m_reply->abort();
        return;
    }
    m_downloaded += bytes.size();
    emit progress(
        QStringLiteral("Downloading"),
        announced.isValid() && announced.toLongLong() > 0 ? double(m_downloaded) / double(announced.toLongLong()) : -1);
}

void DataUpdate::downloadDone()
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    if (m_downloadProblem.isEmpty() && !m_cancelled && reply->error() == QNetworkReply::NoError) {
        downloadData(); // what is left
    }
    m_reply = nullptr;
    if (m_cancelled) {
        finish(false, QStringLiteral("The update was cancelled; the data in use is unchanged."));
        return;
    }
    if (!m_downloadProblem.isEmpty()) {
        finish(false, m_downloadProblem);
        return;
    }
    // A connection closed early may or may not be reported as an error; the length the
    // server announced tells either way.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    if (answered && announced.isValid() && announced.toLongLong() != m_downloaded) {
        finish(false,
               QStringLiteral("The download was cut off after %1 of %2 bytes.")
                   .arg(m_downloaded)
                   .arg(announced.toLongLong()));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        finish(false, QStringLiteral("The download failed: %1.").arg(reply->errorString()));
        return;
    }
    if (!m_download->flush()) {
        finish(false,
               QStringLiteral("The download cannot be written to %1: %2.")
                   .arg(QDir::toNativeSeparators(m_download->fileName()), m_download->errorString()));
        return;
    }
    runImport(m_download->fileName());
}

void DataUpdate::runImport(const QString &zipPath)
{
    if (const QString problem = checkFdaZip(zipPath); !problem.isEmpty()) {
        finish(false, problem);
        return;
    }
    const QString folder = QFileInfo(m_setup.userDatabasePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        finish(false, QStringLiteral("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder)));
        return;
    }
    m_importOutput.clear();
    m_import = new QProcess(this);
    m_import->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_import, &QProcess::readyReadStandardOutput, this, &DataUpdate::importOutput);
    connect(m_import, &QProcess::finished, this, &DataUpdate::importDone);
    connect(m_import, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(false,
                   QStringLiteral("The importer %1 cannot be started: %2.")
                       .arg(QDir::toNativeSeparators(m_setup.importerPath), m_import->errorString()));
        }
    });
    m_import->start(m_setup.importerPath,
                    {QStringLiteral("--fda"), zipPath, QStringLiteral("--output"), m_setup.userDatabasePath,
                     QStringLiteral("--progress")});
    if (m_import) {
        emit progress(QStringLiteral("Reading the FDA's files"), 0);
    }
}

void DataUpdate::importOutput()
{
    m_importOutput += m_import->readAllStandardOutput();
    // "progress FRACTION FILE" lines, as they come.
    qsizetype end;
    while ((end = m_importOutput.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_importOutput.left(end));
        m_importOutput.remove(0, end + 1);
        if (line.startsWith(QLatin1String("progress "))) {
            const QString fraction = line.section(QLatin1Char(' '), 1, 1);
            emit progress(QStringLiteral("Reading %1").arg(QFileInfo(line.section(QLatin1Char(' '), 2)).fileName()),
                          fraction.toDouble());
        }
    }
}

void DataUpdate::importDone(int exitCode, QProcess::ExitStatus status)
{
    const QString errors = QString::fromUtf8(m_import->readAllStandardError()).trimmed();
    m_import->deleteLater();
    m_import = nullptr;
    if (m_cancelled) {
        finish(false, QStringLiteral("The update was cancelled; the data in use is unchanged."));
        return;
    }
    if (status != QProcess::NormalExit || exitCode != 0) {
        // The importer's own lines name the file and what is wrong with it.
        QStringList lines;
        for (const QString &line : errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (!line.contains(QLatin1String("warning:"))) {
                lines << QString(line).remove(QStringLiteral("kvostrel-import: "));
            }
        }
        finish(false,
               QStringLiteral("The import failed; the data in use is unchanged.\n%1")
                   .arg(lines.isEmpty() ? QStringLiteral("The importer ended without saying why.")
                                        : lines.join(QLatin1Char('\n'))));
        return;
    }
    const DatabaseChoice::Release release = DatabaseChoice::readRelease(m_setup.userDatabasePath);
    finish(true,
           release.text.isEmpty() ? QStringLiteral("The data is updated.")
                                  : QStringLiteral("The data is now the FDA's release of %1.").arg(release.text));
}

void DataUpdate::cancel()
{
    if (!m_running) {
        return;
    }
    m_cancelled = true;
    if (m_reply) {
        m_reply->abort(); // downloadDone reports the cancel
    } else if (m_import) {
        m_import->terminate(); // importDone reports it
    }
}

void DataUpdate::finish(bool succeeded, const QString &message)
{
    if (!m_running) {
        return;
    }
    m_running = false;
    m_download.reset(); // a downloaded zip is not kept
    emit finished(succeeded, message, succeeded ? m_setup.userDatabasePath : QString());
}

void runDataUpdateDialog(QWidget *parent, const std::function<void(const QString &databasePath)> &reopen)
{
    QDialog ask(parent);
    ask.setWindowTitle(QStringLiteral("Update data"));
    auto *layout = new QVBoxLayout(&ask);
    auto *text = new QLabel(QStringLiteral("The FDA publishes its approved drug products data files every month, as "
                                           "one zip file. Choose a zip you have downloaded, or download it here from "
                                           "the address the FDA publishes."),
                            &ask);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto *addressLabel = new QLabel(QStringLiteral("&Address of the FDA's data-file zip:"), &ask);
    auto *address = new QLineEdit(DataUpdate::configuredAddress().toString(), &ask);
    address->setAccessibleName(QStringLiteral("Address of the FDA's data-file zip"));
    address->setPlaceholderText(DataUpdate::PublishedAddress
                                + QStringLiteral(" (the zip's link on the FDA's data files page)"));
    addressLabel->setBuddy(address);
    layout->addWidget(addressLabel);
    layout->addWidget(address);
    auto *buttons = new QDialogButtonBox(&ask);
    QPushButton *choose = buttons->addButton(QStringLiteral("&Choose zip file..."), QDialogButtonBox::ActionRole);
    QPushButton *download = buttons->addButton(QStringLiteral("&Download"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    download->setEnabled(!address->text().trimmed().isEmpty());
    QObject::connect(address, &QLineEdit::textChanged, download,
                     [download](const QString &t) { download->setEnabled(!t.trimmed().isEmpty()); });
    enum {
        Choose = 1,
        Download = 2
    };
    QObject::connect(choose, &QPushButton::clicked, &ask, [&ask] { ask.done(Choose); });
    QObject::connect(download, &QPushButton::clicked, &ask, [&ask] { ask.done(Download); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
    choose->setDefault(true);
    const int answer = ask.exec();
    QString zipPath;
    QUrl url;
    if (answer == Choose) {
        zipPath = QFileDialog::getOpenFileName(parent, QStringLiteral("The FDA's data-file zip"), QDir::homePath(),
                                               QStringLiteral("Zip archives (*.zip *.ZIP);;All files (*)"));
        if (zipPath.isEmpty()) {
            return;
        }
    } else if (answer == Download) {
        url = QUrl::fromUserInput(address->text().trimmed());
        DataUpdate::setConfiguredAddress(url);
    } else {
        return;
    }

    DataUpdate::Setup setup;
    setup.importerPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvostrel-import"));
    setup.userDatabasePath = DatabaseChoice::userDatabasePath();
    auto *update = new DataUpdate(setup, parent);
    auto *progress
        = new QProgressDialog(QStringLiteral("Updating the data..."), QStringLiteral("Cancel"), 0, 1000, parent);
    progress->setWindowTitle(QStringLiteral("Update data"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    QObject::connect(progress, &QProgressDialog::canceled, update, &DataUpdate::cancel);
    QObject::connect(update, &DataUpdate::progress, progress, [progress](const QString &step, double fraction) {
        progress->setLabelText(step);
        if (fraction < 0) {
            progress->setMaximum(0); // busy, without a measure
        } else {
            progress->setMaximum(1000);
            progress->setValue(int(fraction * 1000));
        }
    });
    QObject::connect(update, &DataUpdate::finished, parent,
                     [parent, update, progress, reopen](bool succeeded, const QString &message, const QString &path) {
                         progress->close();
                         progress->deleteLater();
                         update->deleteLater();
                         if (succeeded) {
                             // As at the next start: an import of a release no newer
                             // than the program's own leaves the program's in use.
                             const DatabaseChoice::Choice choice
                                 = DatabaseChoice::choose(DatabaseChoice::programDatabasePath(), path);
                             reopen(choice.candidates.value(0));
                             QMessageBox::information(
                                 parent, QStringLiteral("Update data"),
                                 choice.note.isEmpty() ? message : message + QLatin1Char('\n') + choice.note);
                         } else {
                             QMessageBox::warning(parent, QStringLiteral("Update data"), message);
                         }
                     });
    progress->show();
    if (!zipPath.isEmpty()) {
        update->startFromZip(zipPath);
    } else {
        update->startDownload(url);
    }
}

} // namespace App
