#include "app/Startup.h"

#include "common/AppError.h"
#include "app/SingleInstance.h"
#include "app/frmMainForm.h"

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
        // No window of this copy, and the database is left alone.
        ActivatePreviousInstance(instance.anotherCopyRunning(), long(FindWindowByTitle(PreviousInstanceTitle)));
        return 0;
    }

    auto form = std::make_unique<frmMainForm>();
    try {
        form->Form_Load(databasePath);
    } catch (const Common::AppError &error) {
        reportError(error.description());
        return 1;
    }
    form->show();
    return app.exec();
}

} // namespace Startup

} // namespace App
