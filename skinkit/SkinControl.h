#pragma once

// Common base of the skinned controls: a child widget with an integer child id
// that draws itself entirely from pictures, sizes itself to its picture, and
// reports changes to its parent widget with skinkit::sendCommand.
//
// The owner constructs a control as a member, then calls create() with its
// own widget, a placeholder rectangle (only the position is kept where the
// picture dictates the size) and the child id.
//
// Threads: GUI thread, except the atomics each control documents.

#include <QWidget>

class PictureModule;
class QPixmap;

class SkinControl : public QWidget
{
    Q_OBJECT

public:
    explicit SkinControl(QWidget* parent = nullptr);
    ~SkinControl() override;

    // GUI thread. The window-creation step: becomes a visible child of parent
    // at rect with childId, then takes the size its picture dictates.
    void create(QWidget* parent, const QRect& rect, int childId);

    int childId() const { return m_nChildId; }
    void setChildId(int childId) { m_nChildId = childId; }

protected:
    // GUI thread. Sends the change notification (child id, handle) to the
    // parent widget; returns after the parent's handler ran.
    void notifyParent(QWidget* notifyHandle);

    // Marks the control for resizing to sizeForPicture(); applied at once once
    // the control has been created, else at create() or the next paint.
    void requestResize();
    // GUI thread. Loads a picture into `picture`, resizes and repaints; a
    // missing picture keeps the old one and returns false.
    bool replacePicture(QPixmap& picture, const PictureModule& module, int pictureId);
    void applyPendingResize();
    virtual QSize sizeForPicture() const = 0;

    void showEvent(QShowEvent* event) override;

private:
    int m_nChildId = 0;
    bool m_bCreated = false;
    bool m_bResizePending = true;
};
