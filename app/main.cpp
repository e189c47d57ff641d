#include "data/Database.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvanelquist"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TORVANELQUIST_VERSION_MAJOR)
                                            .arg(TORVANELQUIST_VERSION_MINOR)
                                            .arg(TORVANELQUIST_VERSION_REVISION));
    return App::Startup::run(app, Db::Connection::defaultDatabasePath());
}
