// Draws the ribbon's theme pictures (GIF, ids 101 to 141 for each theme) and the main
// window's ribbon button pictures, and writes them with their Qt resource files:
//
//     ribbongen <resources folder>
//
// The drawing is deterministic: running it again gives the same files.
#include "GifWriter.h"
#include "IconPainter.h"
#include "ThemePainter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "ribbongen: %s\n", qPrintable(message));
    return 1;
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.error() == QFile::NoError;
}

QString resourceFile(const QString &prefix, const QStringList &files)
{
    QString text;
    QTextStream out(&text);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"" << prefix << "\">\n";
    for (const QString &file : files) {
        out << "    <file>" << file << "</file>\n";
    }
    out << "</qresource>\n</RCC>\n";
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 2) {
        return fail(QStringLiteral("usage: ribbongen <resources folder>"));
    }
    const QDir resources(arguments.at(1));

    QStringList themeFiles;
    for (const ThemeStyle &style : themeStyles()) {
        const QString folder = QStringLiteral("themes/") + style.name;
        if (!resources.mkpath(folder)) {
            return fail(QStringLiteral("cannot create %1").arg(resources.filePath(folder)));
        }
        const QMap<int, QImage> pictures = paintTheme(style);
        for (auto it = pictures.begin(); it != pictures.end(); ++it) {
            const QString name = QStringLiteral("%1/%2.gif").arg(style.name).arg(it.key());
            const QString problem
                = writeGif(it.value(), resources.filePath(QStringLiteral("themes/") + name), exactColorsOf(style));
            if (!problem.isEmpty()) {
                return fail(name + QStringLiteral(": ") + problem);
            }
            themeFiles << name;
        }
    }
    if (!writeText(resources.filePath(QStringLiteral("themes/themes.qrc")),
                   resourceFile(QStringLiteral("/themes"), themeFiles))) {
        return fail(QStringLiteral("cannot write themes.qrc"));
    }

    QStringList iconFiles;
    const QString iconFolder = QStringLiteral("icons/ribbon");
    if (!resources.mkpath(iconFolder)) {
        return fail(QStringLiteral("cannot create %1").arg(resources.filePath(iconFolder)));
    }
    for (const RibbonIcon &icon : paintRibbonIcons()) {
        const QString path = resources.filePath(iconFolder + QLatin1Char('/') + icon.fileName);
        if (!icon.image.save(path, "PNG")) {
            return fail(QStringLiteral("cannot write %1").arg(path));
        }
        iconFiles << icon.fileName;
    }
    if (!writeText(resources.filePath(iconFolder + QStringLiteral("/ribbon_icons.qrc")),
                   resourceFile(QStringLiteral("/icons/ribbon"), iconFiles))) {
        return fail(QStringLiteral("cannot write ribbon_icons.qrc"));
    }

    std::printf("ribbongen: %lld theme pictures and %lld button pictures written to %s\n",
                static_cast<long long>(themeFiles.size()), static_cast<long long>(iconFiles.size()),
                qPrintable(resources.absolutePath()));
    return 0;
}
