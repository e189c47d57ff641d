// The print module: printing needs Qt's print support, a library that no start of the
// program should pay to load, so it lives in this module of its own, which the program
// loads from the folder "modules" beside itself on the first print
// (search/RecordPrinting.h).

#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QWidget>

// Shows the print dialog over `parent` with the title `title` and prints `html` on the
// printer (or into the file) chosen. False when the user cancelled.
extern "C" Q_DECL_EXPORT bool torvanelquist_print_html(QWidget *parent, const QString &title, const QString &html)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    QTextDocument document;
    document.setHtml(html);
    document.print(&printer);
    return true;
}
