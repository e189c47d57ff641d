#pragma once

#include <QObject>

namespace Search {

// The quick search's option "Results while typing": off, the list changes only on
// Enter or Search; on, it follows each key. One option for every window, kept in the
// user's settings; every window's check box follows a change made in any of them.
class ResultsWhileTyping : public QObject
{
    Q_OBJECT

public:
    static ResultsWhileTyping &shared();

    bool isOn() const { return m_on; }
    // Keeps the choice in the user's settings and tells every window.
    void setOn(bool on);

signals:
    void changed(bool on);

private:
    ResultsWhileTyping();
    bool m_on = false;
};

} // namespace Search
