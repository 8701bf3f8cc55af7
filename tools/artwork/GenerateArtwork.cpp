// Build-time generator of Corvane's pictures.
//
//   corvane_artwork_generator <skinkit|corvane> <output folder> <id>...
//   corvane_artwork_generator icon <output file> <size>
//
// Draws every requested picture of the module as <output folder>/<id>.png.
// Fails when an id is unknown, or when the module has a picture the build did
// not ask for, so the build's id lists and the catalog cannot drift apart.

#include "AppIcon.h"
#include "ArtworkCatalog.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QSet>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3)
    {
        std::fprintf(stderr, "usage: %s <skinkit|corvane> <output folder> <id>...\n", argv[0]);
        return 2;
    }
    if (arguments.at(1) == QLatin1String("icon") && arguments.size() == 4)
        return AppIcon::draw(arguments.at(3).toInt()).save(arguments.at(2), "PNG") ? 0 : 1;
    ArtworkEntry::Module module;
    if (arguments.at(1) == QLatin1String("skinkit"))
        module = ArtworkEntry::Module::Skinkit;
    else if (arguments.at(1) == QLatin1String("corvane"))
        module = ArtworkEntry::Module::Corvane;
    else
    {
        std::fprintf(stderr, "unknown module %s\n", qPrintable(arguments.at(1)));
        return 2;
    }
    const QDir output(arguments.at(2));
    if (!QDir().mkpath(output.path()))
    {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(output.path()));
        return 1;
    }

    QSet<int> requested;
    for (qsizetype index = 3; index < arguments.size(); ++index)
        requested.insert(arguments.at(index).toInt());

    QSet<int> drawn;
    for (const ArtworkEntry& entry : ArtworkCatalog::entries())
    {
        if (entry.module != module)
            continue;
        if (!requested.contains(entry.id))
        {
            std::fprintf(stderr, "picture %d is drawn but not listed in the build\n", entry.id);
            return 1;
        }
        const QImage image = entry.draw();
        const QString path = output.filePath(QString::number(entry.id) + QStringLiteral(".png"));
        if (image.isNull() || !image.save(path, "PNG"))
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        drawn.insert(entry.id);
    }
    for (int id : requested)
        if (!drawn.contains(id))
        {
            std::fprintf(stderr, "no artwork for picture %d\n", id);
            return 1;
        }
    return 0;
}
