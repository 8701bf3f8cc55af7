#pragma once

// The change notification of every skinned control.
//
// A control reports a change to the widget that is its parent by a synchronous
// call: skinkit::sendCommand builds a CommandEvent (the control's child id and
// the notify handle its owner gave to setparentwnd) and delivers it with
// QCoreApplication::sendEvent, so the owner's handler has run when the call
// returns. Owners receive it by deriving from CommandReceiver<Base> (see
// CommandReceiver.h) and overriding OnCommand(id, handle); a plain QWidget can
// also watch for event type skinkit::commandEventType itself.
//
// Threads: GUI thread only (it runs the owner's handler in place).

#include <QEvent>

class QObject;
class QWidget;

namespace skinkit
{

// The command message's own number (0x111) above QEvent::User; the rack's
// posted messages use QEvent::User + 0x14B .. 0x150, so the two never meet.
constexpr int commandEventOffset = 0x111;
inline const QEvent::Type commandEventType =
    static_cast<QEvent::Type>(QEvent::User + commandEventOffset);

class CommandEvent : public QEvent
{
public:
    CommandEvent(int commandId, QWidget* notifyHandle)
        : QEvent(commandEventType), m_commandId(commandId), m_notifyHandle(notifyHandle)
    {
    }

    // The sender's child id (a control created with id 0 sends 0).
    int commandId() const { return m_commandId; }
    // The handle given to the sender's setparentwnd (or the sender itself where
    // its control says so); null when none was set.
    QWidget* notifyHandle() const { return m_notifyHandle; }

private:
    int m_commandId;
    QWidget* m_notifyHandle;
};

// GUI thread. Sends the command synchronously to target; does nothing when
// target is null (a control that has no parent yet).
void sendCommand(QObject* target, int commandId, QWidget* notifyHandle);

} // namespace skinkit
