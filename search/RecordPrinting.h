#pragma once

#include <QString>

class QPrinter;
class QWidget;

namespace Search {

// The print module's file, in the folder "modules" beside the program.
QString printModulePath();

// Loads the print module (once; it stays loaded) and tells whether it can print;
// otherwise `why` says what is wrong, in words for the user.
bool printingAvailable(QString *why = nullptr);

// Shows the print dialog over `parent` and prints `html`. An empty text when it printed
// or the user cancelled; else why it could not print.
QString printHtml(QWidget *parent, const QString &title, const QString &html);
// Prints `html` on `printer` as it is set up, with no dialog. Into a PDF file, the file
// appears only when complete: a failed write (a full disk, a folder gone) leaves none,
// and an earlier file as it was. An empty text when it printed; else why not.
QString printHtmlOn(QPrinter &printer, const QString &html);

} // namespace Search
