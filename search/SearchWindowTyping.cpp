// A search window's results while typing: with the option on, the hit list follows
// each key typed into the search box, found in memory among the lines the empty quick
// search lists (read once), in steps a key typed meanwhile cuts short.

#include "search/SearchWindow.h"

#include "common/AppError.h"
#include "components/AppFonts.h"
#include "search/NaturalOrder.h"
#include "search/ResultsWhileTyping.h"
#include "search/TypingSearch.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace Search {

void SearchWindow::createTypingOption()
{
    m_chkTyping = new QCheckBox(QStringLiteral("Results while typing"), m_txtSearch->parentWidget());
    m_chkTyping->setObjectName(QStringLiteral("chkTyping"));
    m_chkTyping->setToolTip(QStringLiteral("The list follows each key typed into the search box; "
                                           "off, it changes on Enter or Search"));
    m_chkTyping->setFont(Components::AppFonts::tahoma(8.25));
    QPalette colours = m_chkTyping->palette();
    colours.setColor(QPalette::WindowText, QColor(224, 224, 224));
    m_chkTyping->setPalette(colours);
    m_chkTyping->setChecked(ResultsWhileTyping::shared().isOn());
    connect(m_chkTyping, &QCheckBox::toggled, this, [this](bool on) {
        ResultsWhileTyping::shared().setOn(on);
        if (!on) {
            // The lines kept for finding go with the option.
            m_typing->setIndex(nullptr);
        }
    });
    connect(&ResultsWhileTyping::shared(), &ResultsWhileTyping::changed, m_chkTyping, &QCheckBox::setChecked);

    m_typing = new TypingSearch(this);
    connect(m_typing, &TypingSearch::aboutToList, this, [this](int lines) {
        if (lines >= LongList) {
            showWait(true); // showHits hides it once the list is laid out
        }
    });
    connect(m_typing, &TypingSearch::found, this, [this](const QString &text, const Db::SharedListRows &hits) {
        if (text == m_txtSearch->text()) {
            // A key that leaves the lines as they were ("hydrochlo" to "hydrochlor") does
            // not make the list lay them out again.
            showHits(hits, true);
            m_lastSearchFailed = false;
        }
        showWait(false);
    });
}

bool SearchWindow::searchesItsLines() const
{
    return m_design.sqlWindow != Db::SqlText::Window::Exclusivity;
}

void SearchWindow::showWait(bool shown)
{
    if (shown) {
        m_lblWait->show();
        m_lblWait->raise();
        // Drawn now: what follows keeps the event loop from drawing it.
        m_lblWait->repaint();
    } else {
        m_lblWait->hide();
    }
}

bool SearchWindow::ensureNameIndex()
{
    if (m_typing->index()) {
        return true;
    }
    QString failure;
    showWait(true);
    try {
        // The lines and the order of the empty quick search: any text's hits are some of
        // them, in the same order.
        const Db::SharedListRows rows = inNaturalOrder(Db::readSharedList(
            Db::SqlText::nameSearch(m_design.sqlWindow, QString()), m_design.listField, m_design.keyField));
        m_typing->setIndex(std::make_shared<const NameIndex>(rows));
    } catch (const Common::AppError &error) {
        failure = error.description();
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    showWait(false);
    if (!failure.isEmpty()) {
        m_lblSearch->setText(QStringLiteral("Search failed: ") + failure);
        m_lblSearch->setToolTip(failure);
        m_lastSearchFailed = true;
        return false;
    }
    return true;
}

void SearchWindow::txtSearch_TextEdited(const QString &text)
{
    if (!ResultsWhileTyping::shared().isOn() || m_searching) {
        return;
    }
    // A text too long to search for, and the exclusivity list (a few thousand lines,
    // whose lines are not what is searched), take the quick search itself.
    if (text.size() > MaxSearchText || !searchesItsLines()) {
        m_typing->cancel();
        quickSearch();
        return;
    }
    if (ensureNameIndex()) {
        m_typing->start(text);
    }
}

} // namespace Search
