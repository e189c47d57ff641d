#include "components/AppFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QStringList>

#include <initializer_list>

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

// The first of `families` the font database holds (the last when it holds none). A
// family that is not there costs every font made of it a search of the system's
// fonts for stand-ins, so the fonts are made of a family that is.
QString installedFamily(std::initializer_list<const char *> families)
{
    static QHash<QString, QString> chosen;
    const QString first = QString::fromLatin1(*families.begin());
    if (const auto found = chosen.constFind(first); found != chosen.constEnd()) {
        return *found;
    }
    QString family;
    for (const char *candidate : families) {
        family = QString::fromLatin1(candidate);
        if (QFontDatabase::hasFamily(family)) {
            break;
        }
    }
    chosen.insert(first, family);
    return family;
}

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
    registerOnce();
    return makeFont(installedFamily({"Tahoma", "DejaVu Sans"}), pointSize, bold);
}

QFont timesNewRoman(qreal pointSize, bool bold)
{
    return makeFont(installedFamily({"Times New Roman", "Liberation Serif", "DejaVu Serif"}), pointSize, bold);
}

QFont verdanaPixels(int pixelSize)
{
    registerOnce();
    QFont font(installedFamily({"Verdana", "DejaVu Sans"}));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace AppFonts

} // namespace Components
