#pragma once

#include <QSettings>

#include <memory>

// What the program keeps per user between runs (window sizes and positions, splitter
// positions): one INI file in the user's configuration folder,
// $XDG_CONFIG_HOME/torvanelquist/torvanelquist.ini. Nothing else is ever written.
namespace Common {

inline std::unique_ptr<QSettings> userSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("torvanelquist"),
                                       QStringLiteral("torvanelquist"));
}

} // namespace Common
