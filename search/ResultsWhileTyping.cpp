#include "search/ResultsWhileTyping.h"

#include "common/UserSettings.h"

namespace Search {

namespace {

const QString SettingKey = QStringLiteral("Search/resultsWhileTyping");

} // namespace

ResultsWhileTyping &ResultsWhileTyping::shared()
{
    static ResultsWhileTyping option;
    return option;
}

ResultsWhileTyping::ResultsWhileTyping()
    : m_on(Common::userSettings()->value(SettingKey, false).toBool())
{
}

void ResultsWhileTyping::setOn(bool on)
{
    if (on == m_on) {
        return;
    }
    m_on = on;
    Common::userSettings()->setValue(SettingKey, on);
    emit changed(on);
}

} // namespace Search
