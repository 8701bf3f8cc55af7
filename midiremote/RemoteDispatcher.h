#pragma once

// RemoteDispatcher: the receiver of the remote port. It turns bound control
// and program changes into function calls on the GUI thread, hands learned
// messages to the setup dialog, and passes everything else (notes, pitch
// bend, system exclusive) to the instrument rack when it shares the port.
//
// Threads: the Receive operations run on the MIDI device's delivery thread
// and never wait for the GUI. A moved control only stores its latest value
// (one atomic per function); transport presses queue in order. One drain,
// posted to the GUI thread and run at most every 10 ms, applies the latest
// values and then the presses, so a fast knob sweep repaints a control a few
// times instead of once per message. Notes for the instrument stay on the
// delivery thread (latency). Everything else runs on the GUI thread.

#include "midiremote/RemoteSettings.h"
#include "platform/SpscQueue.h"
#include "utilkit/midi/MIDIInDevice.h"
#include "utilkit/midi/MIDIReceiver.h"

#include <QElapsedTimer>
#include <QObject>

#include <array>
#include <atomic>
#include <functional>

namespace remote
{

class RemoteDispatcher : public midi::CMIDIReceiver
{
public:
    // GUI thread: runs a function with a MIDI value 0-127 (127 for presses).
    using Apply = std::function<void(int function, int midiValue)>;
    // GUI thread: a learned message's status byte and data 1.
    using Learner = std::function<void(int status, int data1)>;

    // guiContext: posted work is dropped once it is destroyed.
    RemoteDispatcher(QObject& guiContext, Apply apply);

    // GUI thread.
    void setBindings(const Bindings& bindings);
    int binding(int function) const;
    // While set, every message is also handed to the learner.
    void setLearner(Learner learner);
    // The instrument rack's receiver while it shares the port; null when not.
    void setInstrument(midi::CMIDIReceiver* instrument);
    // The device to hand system exclusive buffers back to.
    void setDevice(midi::CMIDIInDevice* device) { m_pDevice.store(device); }

    // GUI thread: applies what arrived since the last drain. Runs by itself;
    // tests and benchmarks may call it.
    void drain();

    // midi::CMIDIReceiver: the delivery thread.
    void ReceiveMsg(std::uint32_t packedMessage, std::uint32_t timeStamp) override;
    void ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded,
                    std::uint32_t timeStamp) override;

    // Presses lost to a full queue (a GUI stalled for thousands of presses).
    unsigned droppedPresses() const { return m_droppedPresses.load(); }

    static constexpr int kDrainFloorMs = 10;
    static constexpr std::size_t kSysExBufferSize = 100;

private:
    void requestDrain();
    void scheduleDrain();

    QObject& m_context;
    Apply m_apply;
    Learner m_learner;
    std::array<std::atomic<int>, kFunctionCount> m_bindings;
    std::array<std::atomic<int>, kFunctionCount> m_latest{};
    std::array<std::atomic<bool>, kFunctionCount> m_dirty{};
    platform::SpscQueue<int> m_presses;
    std::atomic<bool> m_drainPosted{false};
    std::atomic<bool> m_learning{false};
    std::atomic<midi::CMIDIReceiver*> m_pInstrument{nullptr};
    std::atomic<midi::CMIDIInDevice*> m_pDevice{nullptr};
    std::atomic<unsigned> m_droppedPresses{0};
    QElapsedTimer m_sinceDrain; // GUI thread
};

} // namespace remote
