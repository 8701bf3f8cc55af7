// The control gallery.
//
//   corvane_gallery                 shows the window
//   corvane_gallery --png out.png   writes a picture of it and exits
//                                   (works with QT_QPA_PLATFORM=offscreen)
//   --crop x,y,w,h --zoom n        a part of it, enlarged, to review details

#include "GalleryWindow.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    GalleryWindow window;
    const QStringList arguments = application.arguments();
    const qsizetype pngOption = arguments.indexOf(QStringLiteral("--png"));
    if (pngOption >= 0)
    {
        if (pngOption + 1 >= arguments.size())
        {
            std::fprintf(stderr, "usage: %s [--png <file>]\n", argv[0]);
            return 2;
        }
        window.showStillLevels();
        window.show();
        QApplication::processEvents();
        QImage picture = window.grab().toImage();
        const qsizetype cropOption = arguments.indexOf(QStringLiteral("--crop"));
        if (cropOption >= 0 && cropOption + 1 < arguments.size())
        {
            const QStringList numbers = arguments.at(cropOption + 1).split(QLatin1Char(','));
            if (numbers.size() == 4)
                picture = picture.copy(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(),
                                       numbers[3].toInt());
        }
        const qsizetype zoomOption = arguments.indexOf(QStringLiteral("--zoom"));
        if (zoomOption >= 0 && zoomOption + 1 < arguments.size())
            picture =
                picture.scaled(picture.size() * std::max(1, arguments.at(zoomOption + 1).toInt()));
        if (!picture.save(arguments.at(pngOption + 1), "PNG"))
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(arguments.at(pngOption + 1)));
            return 1;
        }
        return 0;
    }
    window.show();
    return application.exec();
}
