#include "skinkit/SkinControl.h"

#include "skinkit/PictureModule.h"

#include "skinkit/SkinCommand.h"

SkinControl::SkinControl(QWidget* parent) : QWidget(parent)
{
    // Keys belong to the rack view's shortcuts, never to a control.
    setFocusPolicy(Qt::NoFocus);
}

SkinControl::~SkinControl() = default;

void SkinControl::create(QWidget* parent, const QRect& rect, int childId)
{
    setParent(parent);
    setGeometry(rect);
    m_nChildId = childId;
    m_bCreated = true;
    applyPendingResize();
    show();
}

void SkinControl::notifyParent(QWidget* notifyHandle)
{
    skinkit::sendCommand(parentWidget(), m_nChildId, notifyHandle);
}

void SkinControl::requestResize()
{
    m_bResizePending = true;
    if (m_bCreated)
        applyPendingResize();
}

bool SkinControl::replacePicture(QPixmap& picture, const PictureModule& module, int pictureId)
{
    QPixmap loaded = module.load(pictureId);
    if (loaded.isNull())
        return false;
    picture = loaded;
    requestResize();
    update();
    return true;
}

void SkinControl::applyPendingResize()
{
    if (!m_bResizePending)
        return;
    m_bResizePending = false;
    resize(sizeForPicture());
}

void SkinControl::showEvent(QShowEvent* event)
{
    applyPendingResize();
    QWidget::showEvent(event);
}
