#include "data/JetDatabase.h"

#include "JetLoad.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <stdexcept>

namespace Db {

QString jetReaderPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvostrel-mdb-reader"));
}

void loadJetDatabase(const QString &jetPath, const QSqlDatabase &memory)
{
    const QVariant handle = memory.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw std::runtime_error("the SQLite driver gives no handle");
    }
    Jet::loadFile(*static_cast<sqlite3 *const *>(handle.constData()), QFile::encodeName(jetReaderPath()).toStdString(),
                  QFile::encodeName(jetPath).toStdString());
}

} // namespace Db
