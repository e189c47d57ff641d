#pragma once

#include <QDialog>
#include <QString>

#include <span>

class QTextBrowser;

namespace App {

// One line of the keys table: the keys and what they do (plain text).
struct KeyRow
{
    const char *keys;
    const char *what;
};

// Every key the program answers, in the order the README's keys table lists them.
std::span<const KeyRow> keyRows();

// What a child window is for and how it is searched, in a few plain sentences; empty
// for a window that has no help of its own.
QString windowHelp(const QWidget *window);

// F1: the keys table and the help of the window in front, in one dialog that Escape,
// Enter or "Close" closes.
class KeysHelp : public QDialog
{
    Q_OBJECT

public:
    KeysHelp(const QString &windowTitle, const QString &windowHelp, QWidget *parent = nullptr);

    QTextBrowser *text() const { return m_text; }

private:
    QTextBrowser *m_text = nullptr;
};

} // namespace App
