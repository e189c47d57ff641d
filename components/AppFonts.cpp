#include "components/AppFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace Components {

namespace AppFonts {

namespace {

bool s_registered = false;
bool s_tahoma = false;

// Where the Tahoma files of the fonts-wine package lie.
const char *const TahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
};

} // namespace

void registerOnce()
{
    if (s_registered) {
        return;
    }
    s_registered = true;
    for (const char *path : TahomaFiles) {
        const QString file = QString::fromLatin1(path);
        if (QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0) {
            s_tahoma = true;
        }
    }
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans")});
    if (!s_tahoma) {
        QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans")});
    }
}

bool tahomaAvailable()
{
    registerOnce();
    return s_tahoma;
}

namespace {

QFont makeFont(const QString &family, qreal pointSize, bool bold)
{
    registerOnce();
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont tahoma(qreal pointSize, bool bold)
{
    return makeFont(QStringLiteral("Tahoma"), pointSize, bold);
}

QFont timesNewRoman(qreal pointSize, bool bold)
{
    return makeFont(QStringLiteral("Times New Roman"), pointSize, bold);
}

} // namespace AppFonts

} // namespace Components
