#pragma once

// The one QApplication a benchmark that builds widgets needs, on Qt's
// offscreen platform unless QT_QPA_PLATFORM already names one.
//
// Threads: the benchmark's own (the GUI thread).

#include <QApplication>

namespace benchkit
{

inline QApplication& offscreenApplication()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

} // namespace benchkit
