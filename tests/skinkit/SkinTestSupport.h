#pragma once

// Shared helpers of the control tests: a parent that records every command it
// receives, and synthetic mouse and wheel events. The test kit's header makes
// the application before any fixture.

#include "skinkit/CommandReceiver.h"
#include "support/RackTest.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

struct RecordedCommand
{
    int commandId;
    QWidget* notifyHandle;
    // What the parent's handler read from the control while it ran.
    int valueSeen;
};

class CommandRecorder : public CommandReceiver<QWidget>
{
public:
    CommandRecorder() { resize(400, 300); }

    // Called inside each command, so a test can read the control's state as
    // the owner's handler sees it.
    std::function<int()> readValue = [] { return 0; };
    std::vector<RecordedCommand> commands;

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override
    {
        commands.push_back({commandId, notifyHandle, readValue()});
    }
};

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
                      Qt::MouseButtons heldButtons)
{
    const QPointF local(position);
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, heldButtons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void pressLeft(QWidget* widget, QPoint position)
{
    sendMouse(widget, QEvent::MouseButtonPress, position, Qt::LeftButton, Qt::LeftButton);
}

inline void releaseLeft(QWidget* widget, QPoint position)
{
    sendMouse(widget, QEvent::MouseButtonRelease, position, Qt::LeftButton, Qt::NoButton);
}

inline void dragLeft(QWidget* widget, QPoint position)
{
    sendMouse(widget, QEvent::MouseMove, position, Qt::NoButton, Qt::LeftButton);
}

inline void doubleClickLeft(QWidget* widget, QPoint position)
{
    sendMouse(widget, QEvent::MouseButtonDblClick, position, Qt::LeftButton, Qt::LeftButton);
}

using testkit::turnWheel;
