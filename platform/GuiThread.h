#pragma once

// Handing work to the GUI thread. Widgets are touched only there; a worker
// (loader, decoder, MIDI input) that must change what a control shows posts
// the change with postToGui. runOnGuiBlocking is the blocking hand-over and
// must never be called while the GUI thread waits for the caller.

#include <QObject>

#include <functional>

namespace platform
{

bool isGuiThread();

// Queued: runs later on the GUI thread. With a context object the work is
// dropped if the context is destroyed before it runs.
void postToGui(std::function<void()> work);
void postToGui(QObject* context, std::function<void()> work);

// Blocking: returns after the work ran on the GUI thread (runs it directly
// when called on the GUI thread).
void runOnGuiBlocking(QObject* context, const std::function<void()>& work);

} // namespace platform

// Marks functions that must run on the GUI thread; checked in debug builds.
#define CORVANE_ASSERT_GUI_THREAD() Q_ASSERT(::platform::isGuiThread())
