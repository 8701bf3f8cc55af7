#pragma once

// Mixin for any widget that owns skinned controls: derive from
// CommandReceiver<QWidget> (or <QFrame>, ...) and override OnCommand to handle
// the controls' change notifications like the framework's command handlers:
//
//   class CMixerRack : public CommandReceiver<QWidget> { ...
//       void OnCommand(int commandId, QWidget* notifyHandle) override; };
//
// OnCommand runs on the GUI thread, inside the control's call that caused the
// change (the notification is synchronous).

#include "skinkit/SkinCommand.h"

#include <QEvent>

template <class WidgetBase> class CommandReceiver : public WidgetBase
{
public:
    using WidgetBase::WidgetBase;

protected:
    // GUI thread. commandId is the sender's child id, notifyHandle the handle
    // the sender was given (CLED's own notification passes the display itself).
    virtual void OnCommand(int commandId, QWidget* notifyHandle)
    {
        (void)commandId;
        (void)notifyHandle;
    }

    bool event(QEvent* event) override
    {
        if (event->type() == skinkit::commandEventType)
        {
            auto* command = static_cast<skinkit::CommandEvent*>(event);
            OnCommand(command->commandId(), command->notifyHandle());
            return true;
        }
        return WidgetBase::event(event);
    }
};
