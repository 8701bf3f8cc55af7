#include "app/CorvaneApp.h"

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"

#include <QApplication>

#include <sys/resource.h>

std::unique_ptr<CMainFrame> createCorvaneWindow()
{
    auto frame = std::make_unique<CMainFrame>();
    frame->view()->OnInitialUpdate();
    return frame;
}

int runCorvane(int argc, char** argv)
{
    // Plug-in editors embed into X11 windows only: in a Wayland session the
    // program runs through XWayland, unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));

    SingleInstance instance;
    if (!instance.acquireOrTellUser())
        return 1;

    const std::unique_ptr<CMainFrame> frame = createCorvaneWindow();
    // Live audio wants the CPU first; refused silently without the permission.
    setpriority(PRIO_PROCESS, 0, -10);
    frame->show();
    return QApplication::exec();
}
