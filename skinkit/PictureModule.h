#pragma once

// The "module" argument of every LoadPicture: where a picture id is looked up.
// Pictures are PNG files in Qt resources named <prefix><id>.png; skinkit's own
// defaults live under ":/skinkit/", the program's artwork under ":/corvane/".
//
//   m_knob.LoadPicture(PictureModule::corvane(), 134, 66);
//
// Threads: load() creates a QPixmap and so runs on the GUI thread only.

#include <QPixmap>
#include <QString>

class PictureModule
{
public:
    explicit PictureModule(QString resourcePrefix);

    // The library's own default pictures (9001 ...).
    static PictureModule skinkit();
    // The program's pictures (130 ...), linked in from corvane_artwork.
    static PictureModule corvane();

    const QString& resourcePrefix() const { return m_resourcePrefix; }
    QString pathFor(int pictureId) const;

    // GUI thread. A null pixmap when the module has no such picture.
    QPixmap load(int pictureId) const;

private:
    QString m_resourcePrefix;
};
