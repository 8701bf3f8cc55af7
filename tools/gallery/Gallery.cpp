// The control gallery.
//
//   corvane_gallery                 shows the window
//   corvane_gallery --png out.png   writes a picture of it and exits
//   --rack                          the rack of unit backgrounds instead
//                                   (works with QT_QPA_PLATFORM=offscreen)
//   --crop x,y,w,h --zoom n        a part of it, enlarged, to review details

#include "GalleryWindow.h"
#include "RackPreview.h"

#include <QApplication>
#include <QImage>
#include <QScrollArea>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    GalleryWindow window;
    RackPreview rack;
    const qsizetype pngOption = arguments.indexOf(QStringLiteral("--png"));
    if (pngOption >= 0)
    {
        if (pngOption + 1 >= arguments.size())
        {
            std::fprintf(stderr, "usage: %s [--png <file>]\n", argv[0]);
            return 2;
        }
        window.showStillLevels();
        QWidget& shown =
            arguments.contains(QStringLiteral("--rack")) ? static_cast<QWidget&>(rack) : window;
        shown.show();
        QApplication::processEvents();
        QImage picture = shown.grab().toImage();
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
    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("Corvane control gallery"));
    tabs.addTab(&window, QStringLiteral("Controls"));
    auto* rackArea = new QScrollArea;
    rackArea->setWidget(&rack);
    tabs.addTab(rackArea, QStringLiteral("Rack"));
    tabs.resize(window.width() + 40, window.height() + 60);
    tabs.show();
    const int result = application.exec();
    // The window and rack outlive the tabs' own deletion of their pages.
    tabs.removeTab(1);
    tabs.removeTab(0);
    rackArea->takeWidget();
    delete rackArea;
    window.setParent(nullptr);
    return result;
}
