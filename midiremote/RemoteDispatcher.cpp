#include "midiremote/RemoteDispatcher.h"

#include "platform/GuiThread.h"
#include "utilkit/midi/ShortMsg.h"

#include <QTimer>

namespace remote
{

namespace
{
constexpr int kControlChange = 0xB0;
constexpr int kProgramChange = 0xC0;
// A controller at or above its middle is a button's press; below, its release.
constexpr int kPressThreshold = 64;
// Presses that may wait for one drain.
constexpr std::size_t kPressCapacity = 1024;
constexpr int kFullValue = 127;
} // namespace

RemoteDispatcher::RemoteDispatcher(QObject& guiContext, Apply apply)
    : m_context(guiContext), m_apply(std::move(apply)), m_presses(kPressCapacity)
{
    for (auto& binding : m_bindings)
        binding.store(kUnbound);
    m_sinceDrain.start();
}

void RemoteDispatcher::setBindings(const Bindings& bindings)
{
    for (size_t function = 0; function < bindings.size(); ++function)
        m_bindings[function].store(bindings[function], std::memory_order_relaxed);
}

int RemoteDispatcher::binding(int function) const
{
    return function >= 0 && function < kFunctionCount
               ? m_bindings[static_cast<size_t>(function)].load(std::memory_order_relaxed)
               : kUnbound;
}

void RemoteDispatcher::setLearner(Learner learner)
{
    CORVANE_ASSERT_GUI_THREAD();
    m_learner = std::move(learner);
    m_learning.store(static_cast<bool>(m_learner));
}

void RemoteDispatcher::setInstrument(midi::CMIDIReceiver* instrument)
{
    m_pInstrument.store(instrument);
}

void RemoteDispatcher::ReceiveMsg(std::uint32_t packedMessage, std::uint32_t timeStamp)
{
    const midi::CShortMsg message(packedMessage, timeStamp);
    const int command = message.GetCommand();
    if (m_learning.load())
    {
        // Posted, never waited for: the dialog may be reopening this port.
        const int status = message.GetStatus();
        const int data1 = message.GetData1();
        platform::postToGui(&m_context,
                            [this, status, data1]
                            {
                                if (m_learner)
                                    m_learner(status, data1);
                            });
    }
    if (command != kControlChange && command != kProgramChange)
    {
        if (midi::CMIDIReceiver* instrument = m_pInstrument.load())
            instrument->ReceiveMsg(packedMessage, timeStamp);
        return;
    }
    const bool programChange = command == kProgramChange;
    const int key = programChange ? kProgramChangeBase + message.GetData1() : message.GetData1();
    const int value = programChange ? kFullValue : message.GetData2();
    bool changed = false;
    for (size_t function = 0; function < m_bindings.size(); ++function)
    {
        if (m_bindings[function].load(std::memory_order_relaxed) != key)
            continue;
        if (isTransport(static_cast<int>(function)))
        {
            // A button's release does nothing.
            if (value < kPressThreshold)
                continue;
            if (!m_presses.push(static_cast<int>(function)))
            {
                m_droppedPresses.fetch_add(1);
                continue;
            }
        }
        else
        {
            m_latest[function].store(value, std::memory_order_relaxed);
            m_dirty[function].store(true, std::memory_order_release);
        }
        changed = true;
    }
    if (changed)
        requestDrain();
}

void RemoteDispatcher::ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded,
                                  std::uint32_t timeStamp)
{
    if (midi::CMIDIReceiver* instrument = m_pInstrument.load())
        instrument->ReceiveMsg(buffer, bytesRecorded, timeStamp);
    if (midi::CMIDIInDevice* device = m_pDevice.load())
        device->AddSysExBuffer(buffer, kSysExBufferSize);
}

// Delivery thread: one drain is posted at a time.
void RemoteDispatcher::requestDrain()
{
    if (!m_drainPosted.exchange(true))
        platform::postToGui(&m_context, [this] { scheduleDrain(); });
}

// GUI thread: drains now, or once 10 ms have passed since the last drain.
void RemoteDispatcher::scheduleDrain()
{
    const qint64 wait = kDrainFloorMs - m_sinceDrain.elapsed();
    if (wait <= 0)
        drain();
    else
        QTimer::singleShot(static_cast<int>(wait), &m_context, [this] { drain(); });
}

void RemoteDispatcher::drain()
{
    CORVANE_ASSERT_GUI_THREAD();
    // Cleared first: what arrives while applying posts the next drain.
    m_drainPosted.store(false);
    m_sinceDrain.restart();
    for (size_t function = 0; function < m_dirty.size(); ++function)
        if (m_dirty[function].exchange(false, std::memory_order_acquire))
            m_apply(static_cast<int>(function), m_latest[function].load(std::memory_order_relaxed));
    while (const std::optional<int> press = m_presses.pop())
        m_apply(*press, kFullValue);
}

} // namespace remote
