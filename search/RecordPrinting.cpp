#include "search/RecordPrinting.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace Search {

namespace {

using PrintHtml = bool (*)(QWidget *parent, const QString &title, const QString &html, QString *failure);
using PrintHtmlOn = bool (*)(QPrinter *printer, const QString &html, QString *failure);

QLibrary &printModule()
{
    static QLibrary module(printModulePath());
    return module;
}

// The module's function `name`, or null with `why` saying what is wrong, in words for the user.
QFunctionPointer printFunction(const char *name, QString *why)
{
    const QFunctionPointer function = printModule().resolve(name);
    if (!function && why) {
        *why = QStringLiteral("Printing is not available: its module %1 cannot be loaded (%2). Install this "
                              "program again.")
                   .arg(QDir::toNativeSeparators(printModulePath()), printModule().errorString());
    }
    return function;
}

} // namespace

QString printModulePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("modules/torvanelquist-print.so"));
}

bool printingAvailable(QString *why)
{
    return printFunction("torvanelquist_print_html", why) != nullptr;
}

QString printHtml(QWidget *parent, const QString &title, const QString &html)
{
    QString why;
    if (const auto print = reinterpret_cast<PrintHtml>(printFunction("torvanelquist_print_html", &why))) {
        print(parent, title, html, &why);
    }
    return why;
}

QString printHtmlOn(QPrinter &printer, const QString &html)
{
    QString why;
    if (const auto print = reinterpret_cast<PrintHtmlOn>(printFunction("torvanelquist_print_html_on", &why))) {
        print(&printer, html, &why);
    }
    return why;
}

} // namespace Search
