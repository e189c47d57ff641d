#include "data/JetDatabase.h"

#include "jet/JetLoad.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace Db {

QString jetReaderPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvostrel-mdb-reader"));
}

void loadJetDatabase(const QString &jetPath, sqlite3 *memory)
{
    Jet::loadFile(memory, QFile::encodeName(jetReaderPath()).toStdString(), QFile::encodeName(jetPath).toStdString());
}

} // namespace Db
