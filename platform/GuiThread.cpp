#include "platform/GuiThread.h"

#include <QCoreApplication>
#include <QThread>

namespace platform
{

bool isGuiThread()
{
    auto* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void postToGui(std::function<void()> work)
{
    postToGui(QCoreApplication::instance(), std::move(work));
}

void postToGui(QObject* context, std::function<void()> work)
{
    if (context == nullptr)
        return;
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

void runOnGuiBlocking(QObject* context, const std::function<void()>& work)
{
    if (context == nullptr)
        return;
    if (isGuiThread())
    {
        work();
        return;
    }
    QMetaObject::invokeMethod(context, work, Qt::BlockingQueuedConnection);
}

} // namespace platform
