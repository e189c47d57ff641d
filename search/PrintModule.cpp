// The print module: printing needs Qt's print support, a library that no start of the
// program should pay to load, so it lives in this module of its own, which the program
// loads from the folder "modules" beside itself on the first print
// (search/RecordPrinting.h).

#include "search/WholeFile.h"

#include <QDir>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QWidget>

// Prints `html` on `printer` as it is set up. Printed into a PDF file, the pages go
// through a QPdfWriter into a file that appears only when complete (Qt's own PDF output
// writes the file in place and tells nothing of a failed write). True when printed;
// else `failure` says why, in a sentence for the user.
extern "C" Q_DECL_EXPORT bool torvanelquist_print_html_on(QPrinter *printer, const QString &html, QString *failure)
{
    QTextDocument document;
    document.setHtml(html);
    const QString path = printer->outputFileName();
    if (printer->outputFormat() != QPrinter::PdfFormat || path.isEmpty()) {
        document.print(printer);
        if (printer->printerState() == QPrinter::Error) {
            *failure = QStringLiteral("The printer %1 reported an error; the record was not printed.")
                           .arg(printer->printerName());
            return false;
        }
        return true;
    }
    const QString why = Search::writeWholeFile(path, [&](QSaveFile &file) {
        QPdfWriter writer(&file);
        writer.setPdfVersion(printer->pdfVersion());
        writer.setResolution(printer->resolution());
        writer.setPageLayout(printer->pageLayout());
        writer.setPageRanges(printer->pageRanges());
        writer.setTitle(printer->docName());
        writer.setCreator(printer->creator());
        document.print(&writer);
        return QString(); // the file keeps a failed write, which its finishing reports
    });
    if (!why.isEmpty()) {
        *failure = QStringLiteral("The record could not be written to %1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    return true;
}

// Shows the print dialog over `parent` with the title `title` and prints `html` on the
// printer (or into the file) chosen. False when the user cancelled or it could not print;
// in the second case `failure` says why.
extern "C" Q_DECL_EXPORT bool torvanelquist_print_html(QWidget *parent, const QString &title, const QString &html,
                                                       QString *failure)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return torvanelquist_print_html_on(&printer, html, failure);
}
