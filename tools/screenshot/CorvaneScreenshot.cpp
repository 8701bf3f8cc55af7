// Shows Corvane's main window exactly as the program builds it (with the
// user's settings), lets it settle, and writes a PNG of the whole window.
//
//   xvfb-run -a -s "-screen 0 1024x800x24" build/bin/corvane-screenshot shot.png
//   corvane-screenshot shot.png 1500 JACK 48000HZ   (powers that device on, tick on)
//
// Also works without a display: QT_QPA_PLATFORM=offscreen.

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s OUTPUT.png [milliseconds to wait [DEVICE [RATE]]]\n",
                     argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    CMainFrame frame;
    frame.view()->OnInitialUpdate();
    frame.view()->m_askExit = [] { return true; };
    frame.show();
    if (argc > 3)
    {
        // As a user would: pick the device, switch the tick on, press power.
        CAmpRack* amp = frame.view()->amplifier();
        for (int item = 0; item < amp->deviceSelector().getcount(); ++item)
            if (amp->deviceSelector().itemText(item) == QString::fromLocal8Bit(argv[3]))
                amp->deviceSelector().setitemindex(item);
        for (int item = 0; argc > 4 && item < amp->rateSelector().getcount(); ++item)
            if (amp->rateSelector().itemText(item) == QString::fromLocal8Bit(argv[4]))
                amp->rateSelector().setitemindex(item);
        amp->tickSwitch().SetStatus(true);
        amp->powerSwitch().SetStatus(true);
        amp->PowerOn();
        if (!amp->m_bRunning)
            std::fprintf(stderr, "%s did not start\n", argv[3]);
    }
    const int waitMs = argc > 2 ? std::atoi(argv[2]) : 1500;
    const QString output = QString::fromLocal8Bit(argv[1]);
    int result = 1;
    QTimer::singleShot(waitMs,
                       [&]
                       {
                           result = frame.grab().save(output) ? 0 : 1;
                           if (result != 0)
                               std::fprintf(stderr, "cannot write %s\n", argv[1]);
                           frame.close();
                       });
    application.exec();
    return result;
}
