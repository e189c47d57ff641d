#include "app/DatabaseChoice.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The command line first: --help, --version and a wrong option are answered
    // without a window and without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const App::Startup::Options options = App::Startup::parseCommandLine(arguments);
    if (options.action != App::Startup::Options::Action::Run) {
        return App::Startup::answerWithoutWindow(options);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvanelquist"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TORVANELQUIST_VERSION_MAJOR)
                                            .arg(TORVANELQUIST_VERSION_MINOR)
                                            .arg(TORVANELQUIST_VERSION_REVISION));
    // The newer of the user's updated data and the program's own.
    const App::DatabaseChoice::Choice choice = App::DatabaseChoice::choose(App::DatabaseChoice::programDatabasePath(),
                                                                           App::DatabaseChoice::userDatabasePath());
    return App::Startup::run(app, choice.candidates, choice.note, options, App::Startup::showErrorBox,
                             App::Startup::showNoteBox);
}
