#pragma once

// InstrumentEngine: the instrument rack without its panel. One plug-in slot
// that accepts instruments, its own MIDI input port, and the path notes take
// to the plug-in:
//
// - Each thread that makes events has its own lock-free queue: the MIDI
//   delivery thread (the own port, or the remote port's thread while the
//   port is shared; never both at once) and the GUI thread (presets, panic,
//   sound off). The audio thread drains both, just before the plug-in
//   processes, into the plug-in's event list for that block. A full queue
//   drops the event and counts it; system exclusive data (at most 100 bytes)
//   is copied into the queue entry.
// - Transpose: a 16 × 128 table remembers which note each received note-on
//   was sent as, so its note-off matches even after the transpose changed.
//   Notes moved outside 0..127 are dropped, on and off. MIDI channel 10
//   (drums) is never transposed. Control changes from the port are ignored.
// - Panic: note-offs for every note the plug-in was sent and still holds,
//   then All Sound Off and All Notes Off on all 16 channels (many synths
//   ignore both controllers; only note-offs silence them).
//
// Threads:
// - GUI thread: loads, rate (prepare), port, presets, panic, idle calls.
// - loader thread (inside PluginSlot): reports through the listener.
// - MIDI delivery thread: the receiver (ReceiveMsg).
// - audio thread: process. Never allocates, locks or waits.

#include "app/RackEngine.h"
#include "platform/SpscQueue.h"
#include "plughost/PluginSlot.h"
#include "plugins/InstrumentListener.h"
#include "utilkit/midi/MIDIInDevice.h"
#include "utilkit/midi/MIDIReceiver.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class InstrumentEngine : public RackEngine, private midi::CMIDIReceiver
{
public:
    // The mixer's blocks are at most this long; the plug-in is told so.
    static constexpr long kPluginBlockSize = 2048;
    static constexpr int kChannelCount = 16;
    static constexpr int kNoteCount = 128;
    // MIDI channel 10 (index 9) carries drums: never transposed.
    static constexpr int kDrumChannel = 9;
    // System exclusive data longer than this is not passed on.
    static constexpr size_t kSysexBytes = 100;
    // Events each producer may have waiting: ten blocks of 2048 frames at
    // 1000 notes a second is about 430 events.
    static constexpr size_t kQueueCapacity = 1024;

    enum class State
    {
        Empty,     // "No synth"
        Loading,   // "Loading..."
        Playing,   // the plug-in's name
        Failed,    // "Failed"
        NotASynth, // "Not a synth"
    };

    InstrumentEngine();
    // Closes the port, joins the loader and unloads.
    ~InstrumentEngine() override;
    InstrumentEngine(const InstrumentEngine&) = delete;
    InstrumentEngine& operator=(const InstrumentEngine&) = delete;

    // GUI thread, once (null to stop hearing).
    void setListener(InstrumentListener* listener) { m_listener.store(listener); }

    // GUI thread, device stopped: suspend, rate, resume. 0.0 keeps the rate
    // and releases every held note at the next start.
    void prepare(double sampleRate) override;
    void reset() override {}
    // Audio thread: the instrument's block into out[0], out[1].
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread: shows "Loading..." and loads the library (after any load
    // that runs).
    void loadPlugin(const std::string& path);
    void waitForLoads() { m_slot.waitForLoads(); }
    State state() const;
    std::string displayText() const;
    // The library of the instrument that plays; empty when none does.
    std::string playingPath() const;
    bool playing() const { return m_slot.published(); }

    // GUI thread: the own input port (index into the device list, -1 none).
    // Opening failures leave the port closed; false then.
    bool openPort(int deviceIndex);
    void closePort();
    bool portOpen() const { return m_midiIn.IsOpen(); }

    // The receiver the own port (and the remote port, while shared)
    // delivers to. MIDI delivery thread.
    midi::CMIDIReceiver& receiver() { return *this; }

    // Any thread: semitones added to notes, -12..12.
    void setTranspose(int semitones) { m_nTranspose.store(semitones, std::memory_order_relaxed); }
    int transpose() const { return m_nTranspose.load(std::memory_order_relaxed); }

    // GUI thread: bank select MSB, LSB and program change on the channel
    // (1..16).
    void sendPreset(int channel, int bankMsb, int bankLsb, int program);
    // GUI thread: All Sound Off on all 16 channels.
    void allSoundOff();
    // GUI thread: every held note off, then All Sound Off and All Notes Off.
    void panic();

    // Events dropped because a queue was full.
    uint64_t droppedEvents() const { return m_nDropped.load(std::memory_order_relaxed); }

    // GUI thread: the 100 ms idle tick (effEditIdle too while the editor is
    // open); skipped while the slot is busy.
    void idle() { m_slot.tryIdle(m_bEditorIdle.load()); }
    void setEditorIdle(bool on) { m_bEditorIdle.store(on); }

    PluginSlot& pluginSlot() { return m_slot; }

private:
    struct Event
    {
        enum Kind : uint8_t
        {
            Short,
            Sysex,
            Panic,
        };
        Kind kind = Short;
        uint8_t bytes[3] = {0, 0, 0};
        uint8_t sysexLength = 0;
        uint8_t sysex[kSysexBytes] = {};
    };

    // CMIDIReceiver, MIDI delivery thread.
    void ReceiveMsg(std::uint32_t packedMessage, std::uint32_t timeStamp) override;
    void ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded,
                    std::uint32_t timeStamp) override;

    void pushFromGui(const Event& event);
    void pushFromMidi(const Event& event);
    void setState(State state, const std::string& text);
    void loadFinished(const PluginSlot::LoadOutcome& outcome);

    // Audio thread.
    static void feedBlock(void* context, CMVST& plugin) noexcept;
    void feed(CMVST& plugin) noexcept;
    bool deliver(CMVST& plugin, const Event& event, int& shortRoom, int& sysexRoom) noexcept;
    bool continuePanic(CMVST& plugin, int& shortRoom) noexcept;
    void discardQueued() noexcept;

    PluginSlot m_slot{kPluginBlockSize, true};
    std::atomic<int> m_nTranspose{0};
    std::atomic<bool> m_bEditorIdle{false};
    std::atomic<bool> m_bDeviceRunning{false};
    std::atomic<uint64_t> m_nDropped{0};
    std::atomic<InstrumentListener*> m_listener{nullptr};

    mutable std::mutex m_stateMutex;
    State m_state = State::Empty;
    std::string m_strText;
    std::string m_strPlayingPath;

    platform::SpscQueue<Event> m_guiEvents{kQueueCapacity};
    platform::SpscQueue<Event> m_midiEvents{kQueueCapacity};

    // MIDI delivery thread: the note each received note-on was sent as.
    static constexpr int8_t kNothingSent = -1;
    static constexpr int8_t kDropped = -2;
    std::array<std::array<int8_t, kNoteCount>, kChannelCount> m_sentNote;

    // Audio thread: the notes the plug-in holds, and how far a panic got
    // (-1 when none runs).
    std::array<std::array<bool, kNoteCount>, kChannelCount> m_held{};
    int m_nPanicStep = -1;

    midi::CMIDIInDevice m_midiIn;
    std::array<unsigned char, kSysexBytes> m_sysexBuffer{};
};
