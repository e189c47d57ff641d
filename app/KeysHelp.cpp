#include "app/KeysHelp.h"

#include "app/frmAbout.h"
#include "search/AdvancedPanel.h"
#include "search/SearchWindow.h"
#include "search/frmChanges.h"
#include "search/frmProtectionReport.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace App {

namespace {

constexpr KeyRow KeyTable[] = {
    {"F1", "these keys and the help of the window in front"},
    {"F10, or Alt pressed alone", "to the ribbon's selected tab; Escape gives the keyboard back to the window"},
    {"Left, Right / Down, Up (in the ribbon)",
     "along the tabs or the buttons / into the tab's buttons, back to the tab"},
    {"Enter or Space (in the ribbon)", "presses the tab or button"},
    {"Ctrl+1 to Ctrl+7",
     "Show Drugs, Ingredients, Dosage Form, Route of Administration, Patents, Exclusivity, Listed protection"},
    {"Ctrl+8", "Changes: what changed since the older release the data was compared with"},
    {"Ctrl+Tab, Ctrl+Shift+Tab", "the next or previous window"},
    {"Ctrl+F", "to the search box of the window in front"},
    {"Tab, Shift+Tab",
     "search box, Search, Advanced Search, Results while typing, hit list, details grid (and the panel's rows when it "
     "is open)"},
    {"Enter (search box, a panel row)",
     "Search, FIND; typing into a panel row ticks its box. A key acts once, where it went down: the window it opens or "
     "the box the keyboard moves to never acts on its release"},
    {"Enter or Space (a button)",
     "presses it: Search, Advanced Search (the keyboard goes to the panel's first row), FIND, CANCEL"},
    {"Arrows (hit list, grid)",
     "the next line or row; a line shows its record; in a grid the keyboard keeps to the value column"},
    {"Enter (grid row)", "what a double click on the row does"},
    {"Escape (grid / anywhere while the advanced panel is open)", "no current row / CANCEL"},
    {"Ctrl+C, or the context menu", "Copy: the line as it shows, or the row's value"},
    {"Ctrl+Shift+C, or the context menu", "Copy record: every row as \"Caption: value\""},
    {"Ctrl+S, or the context menu",
     "Export list: every record of the hit list with its details, to a CSV file you choose (a cell that begins with "
     "`=`, `+`, `-`, `@`, a tab or a carriage return is written with an apostrophe first, so a spreadsheet shows it as "
     "text instead of running it as a formula)"},
    {"The context menu of a grid", "Print record (to a printer or a PDF file), and the row's double-click step"},
};

QString searchWindowHelp(const Search::SearchWindow &window)
{
    QStringList lines;
    lines << QStringLiteral("Type a part of a name into the search box and press Enter (or Search): the list "
                            "shows every record whose name holds it, and a line chosen in the list shows its "
                            "record in the grid. With \"Results while typing\" ticked (Space on it, or a click), "
                            "the list follows each key instead.");
    QStringList fields;
    for (int i = 0; i < Search::AdvancedSearch::RowCount; ++i) {
        if (!window.picAdvanced()->paramTag(i).isEmpty()) {
            fields << window.lblParam(i)->text().simplified();
        }
    }
    if (!fields.isEmpty()) {
        lines << QStringLiteral("Advanced Search searches by several fields at once: %1. Tick a field (typing "
                                "into it ticks it), then FIND.")
                     .arg(fields.join(QStringLiteral(", ")));
    }
    if (const QString hint = window.design().hint.simplified(); !hint.isEmpty()) {
        lines << hint;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

std::span<const KeyRow> keyRows()
{
    return KeyTable;
}

QString windowHelp(const QWidget *window)
{
    if (const auto *search = qobject_cast<const Search::SearchWindow *>(window)) {
        return searchWindowHelp(*search);
    }
    if (qobject_cast<const frmAbout *>(window)) {
        return QStringLiteral("The program's version and the FDA release its data comes from. A click on the "
                              "logo or the text opens the makers' web page.");
    }
    if (qobject_cast<const Search::frmProtectionReport *>(window)) {
        return QStringLiteral("Choose which protection, give a range of dates and press List: the products whose "
                              "protection ends in it, by application. Below, the RX reference products with no listed "
                              "protection left and no ANDA of the same ingredient, dosage form, route and strength. "
                              "Enter or a double click shows a product; Ctrl+S exports the list that has the "
                              "keyboard. Dates are as of the data's release; none is the date a generic can be sold.");
    }
    if (qobject_cast<const Search::frmChanges *>(window)) {
        return QStringLiteral("What changed from the older FDA release the data was compared with to its own. Choose "
                              "a kind of change in the list on the left: its changes show on the right with their "
                              "old and new values. Enter or a double click on a change shows its product, patent or "
                              "exclusivity record of the newer release; a removed record has none. Ctrl+S exports "
                              "the changes listed.");
    }
    return QString();
}

KeysHelp::KeysHelp(const QString &windowTitle, const QString &windowHelp, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Keys and help"));
    setObjectName(QStringLiteral("KeysHelp"));
    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("txtKeysHelp"));
    m_text->setAccessibleName(QStringLiteral("Keys and help"));
    m_text->setOpenLinks(false);

    QString html;
    if (!windowHelp.isEmpty()) {
        html += QStringLiteral("<h3>%1</h3>").arg(windowTitle.toHtmlEscaped());
        for (const QString &line : windowHelp.split(QLatin1Char('\n'))) {
            html += QStringLiteral("<p>%1</p>").arg(line.toHtmlEscaped());
        }
    }
    html += QStringLiteral("<h3>Keys</h3><table cellspacing=\"0\" cellpadding=\"3\">");
    for (const KeyRow &row : keyRows()) {
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(QString::fromUtf8(row.keys).toHtmlEscaped(), QString::fromUtf8(row.what).toHtmlEscaped());
    }
    html += QStringLiteral("</table>");
    m_text->setHtml(html);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Enter closes too: nothing in the dialog takes it otherwise.
    buttons->button(QDialogButtonBox::Close)->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);

    QSize size(640, 520);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    resize(size);
}

} // namespace App
