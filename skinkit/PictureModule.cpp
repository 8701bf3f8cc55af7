#include "skinkit/PictureModule.h"

#include <utility>

PictureModule::PictureModule(QString resourcePrefix) : m_resourcePrefix(std::move(resourcePrefix))
{
}

PictureModule PictureModule::skinkit()
{
    return PictureModule(QStringLiteral(":/skinkit/"));
}

PictureModule PictureModule::corvane()
{
    return PictureModule(QStringLiteral(":/corvane/"));
}

QString PictureModule::pathFor(int pictureId) const
{
    return m_resourcePrefix + QString::number(pictureId) + QStringLiteral(".png");
}

QPixmap PictureModule::load(int pictureId) const
{
    return QPixmap(pathFor(pictureId));
}
