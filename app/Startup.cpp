#include "app/Startup.h"

#include "common/AppError.h"
#include "app/SingleInstance.h"
#include "app/StartupProbe.h"
#include "app/frmMainForm.h"
#include "components/ComponentStyle.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>

namespace App {

namespace Startup {

void showErrorBox(const QString &description)
{
    std::fprintf(stderr, "torvanelquist: %s\n", qPrintable(description));
    QMessageBox::critical(nullptr, QStringLiteral("Torvanelquist"), description);
}

int run(QApplication &app, const QString &databasePath, const ErrorReporter &reportError)
{
    SingleInstance instance;
    if (instance.anotherCopyRunning()) {
        // No window of this copy, and the database is left alone. The running copy is
        // asked to come forward through its socket; a window titled as the first copies
        // were is brought forward too, should one exist.
        SingleInstance::requestActivation();
        ActivatePreviousInstance(instance.anotherCopyRunning(), long(FindWindowByTitle(PreviousInstanceTitle)));
        return 0;
    }

    Components::ComponentStyle::install(); // before the first window
    auto form = std::make_unique<frmMainForm>();
    try {
        form->Form_Load(databasePath);
    } catch (const Common::AppError &error) {
        reportError(error.description());
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, form.get(),
                     [window = form.get()] { window->comeForward(); });
    form->show();
    StartupProbe::watch(form.get()); // only for the start-up benchmark
    return app.exec();
}

} // namespace Startup

} // namespace App
