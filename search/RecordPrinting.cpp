#include "search/RecordPrinting.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace Search {

namespace {

using PrintHtml = bool (*)(QWidget *parent, const QString &title, const QString &html);

PrintHtml printFunction(QString *why)
{
    static QLibrary module(printModulePath());
    static const auto print = reinterpret_cast<PrintHtml>(module.resolve("torvanelquist_print_html"));
    if (!print && why) {
        *why = QStringLiteral("Printing is not available: its module %1 cannot be loaded (%2). Install this "
                              "program again.")
                   .arg(QDir::toNativeSeparators(printModulePath()), module.errorString());
    }
    return print;
}

} // namespace

QString printModulePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("modules/torvanelquist-print.so"));
}

bool printingAvailable(QString *why)
{
    return printFunction(why) != nullptr;
}

QString printHtml(QWidget *parent, const QString &title, const QString &html)
{
    QString why;
    if (const PrintHtml print = printFunction(&why)) {
        print(parent, title, html);
        return {};
    }
    return why;
}

} // namespace Search
