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
}

bool tahomaAvailable()
{
    registerOnce();
    return s_tahoma;
}

namespace {

// A font of the first of `families` the font database holds (the last when it holds
// none): a family, then its stand-ins. A family that is not there would cost every
// font made of it a search of the system's fonts for fallbacks.
QFont fontOf(std::initializer_list<const char *> families)
{
    registerOnce(); // Tahoma joins the font database before it is first looked into
    static QHash<QString, QString> chosen;
    const QString first = QString::fromLatin1(*families.begin());
    if (const auto found = chosen.constFind(first); found != chosen.constEnd()) {
        return QFont(*found);
    }
    // The candidates are looked up among the installed families: asking the database
    // whether it has a family first runs the name through the system's alias rules,
    // which costs more than listing every family.
    const QStringList installed = QFontDatabase::families();
    QString family;
    for (const char *candidate : families) {
        family = QString::fromLatin1(candidate);
        if (installed.contains(family, Qt::CaseInsensitive)) {
            break;
        }
    }
    chosen.insert(first, family);
    return QFont(family);
}

QFont pointFont(QFont font, qreal pointSize, bool bold)
{
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont tahoma(qreal pointSize, bool bold)
{
    return pointFont(fontOf({"Tahoma", "DejaVu Sans"}), pointSize, bold);
}

QFont timesNewRoman(qreal pointSize, bool bold)
{
    return pointFont(fontOf({"Times New Roman", "Liberation Serif", "DejaVu Serif"}), pointSize, bold);
}

QFont verdanaPixels(int pixelSize)
{
    QFont font = fontOf({"Verdana", "DejaVu Sans"});
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace AppFonts

} // namespace Components
