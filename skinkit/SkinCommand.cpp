#include "skinkit/SkinCommand.h"

#include <QCoreApplication>

namespace skinkit
{

void sendCommand(QObject* target, int commandId, QWidget* notifyHandle)
{
    if (target == nullptr)
        return;
    CommandEvent event(commandId, notifyHandle);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace skinkit
