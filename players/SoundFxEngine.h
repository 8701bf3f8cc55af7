#pragma once

// SoundFxEngine: the eight sound-effect pads without their panel. Each pad
// holds one short sound file (at most 9999 ms) in memory at the device rate,
// with a start and an end in milliseconds and a gain in dB; a trigger starts a
// voice that plays the pad from its start to its end, and up to sixteen
// voices sound at once, mixed into the unit's two outputs.
//
// Threads:
// - GUI thread: loading, prepare/reset, settings of the pads, releasing data.
// - GUI, key or remote handlers: trigger(). Triggers go to the audio thread
//   through a single-producer queue; a mutex on the producer side serialises
//   triggers from more than one thread (the audio thread never takes it).
// - audio thread: process() owns the sixteen voice slots, drains the queue
//   each block and drops a trigger that finds all slots busy.
// Sample data is never freed while a voice or a queued trigger may read it:
// every block of data counts the triggers queued for it and the ones the
// audio thread has finished with (voice ended or trigger dropped); data that
// a reload or a new rate replaced is kept until both counts agree and is then
// freed on the GUI thread by releaseFinished().

#include "app/RackEngine.h"
#include "app/RackProcessor.h"
#include "platform/SpscQueue.h"
#include "players/SoundFxSettings.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SoundFxEngine : public RackEngine
{
public:
    // unit: whose m_bRunning and m_bRouted decide whether a trigger sounds;
    // it outlives the engine.
    explicit SoundFxEngine(const RackProcessor& unit);
    ~SoundFxEngine() override;
    SoundFxEngine(const SoundFxEngine&) = delete;
    SoundFxEngine& operator=(const SoundFxEngine&) = delete;

    // GUI thread, device stopped: converts every loaded pad again to the new
    // rate. 0.0 (stopped) keeps the rate the pads are at.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: every voice and queued trigger ends.
    void reset() override;
    // Audio thread: writes the mix of all voices to out[0] and out[1].
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread. Loads a file into pad (a new file plays whole: start 0, end
    // its length). Returns false and shows "Unsupport" or "Too Long" when the
    // file is refused; a pad that had data keeps it.
    bool loadFile(int pad, const std::string& path, const std::string& fileName);
    // GUI thread, at start: the stored pad. A file that cannot be loaded keeps
    // its path, name, trims and gain, so they are written back unchanged.
    bool restorePad(int pad, const SoundFxPadSettings& settings);
    // GUI thread, at start: restorePad for every pad that has a path and a file name.
    void restoreSettings(const SoundFxSettings& settings);
    // The pads as they are now, to store; trigger and lastOpenPath are the panel's.
    SoundFxSettings settings() const;

    // GUI thread. Values are clamped to their ranges (start and end to the
    // pad's length once it holds a file).
    void setStart(int pad, int startMs);
    void setEnd(int pad, int endMs);
    void setGain(int pad, int gainDb);

    // Any thread but audio. Starts a voice of the pad when the unit runs and
    // is routed and the pad holds a file. Returns false when nothing was queued.
    bool trigger(int pad);

    // GUI thread: frees data that was replaced and that nothing reads any more.
    void releaseFinished();

    // Any thread but audio.
    SoundFxPadSettings padSettings(int pad) const;
    std::string padText(int pad) const;
    bool padReady(int pad) const;
    // Frames of the pad's sample data at the current rate; 0 without data.
    int padFrames(int pad) const;
    // The highest start or end the knobs offer: the length in ms, at most 9999.
    int padKnobMaximum(int pad) const;
    double rate() const;
    // Voices sounding at the end of the last block (the panel refuses a
    // trigger, and keeps its edited pad, while all sixteen are busy).
    int activeVoices() const { return m_activeVoices.load(std::memory_order_relaxed); }
    // Blocks of replaced data still waiting for their readers.
    size_t retiredCount() const;

private:
    struct Data;
    struct Trigger
    {
        int pad = 0;
        Data* data = nullptr;
        int64_t start = 0; // frames
        int64_t end = 0;
    };
    struct Voice
    {
        int pad = 0;
        Data* data = nullptr;
        int64_t position = 0;
        int64_t end = 0;
    };
    struct Pad
    {
        SoundFxPadSettings settings;
        std::string text = soundfx::kNoFile;
        std::unique_ptr<Data> data;
    };

    bool load(int pad, const SoundFxPadSettings& settings, bool newFile);
    void retire(std::unique_ptr<Data> data);
    void clampTrims(Pad& pad) const;
    static void finish(Data* data) noexcept;

    const RackProcessor& m_unit;
    mutable std::mutex m_mutex; // pads, rate, retired data, queue producer side
    std::array<Pad, soundfx::kPadCount> m_pads;
    double m_rate = soundfx::kDefaultRate;
    std::vector<std::unique_ptr<Data>> m_retired;
    platform::SpscQueue<Trigger> m_triggers;
    std::array<std::atomic<float>, soundfx::kPadCount> m_gain;
    std::atomic<int> m_activeVoices{0};

    // Audio thread only.
    std::array<Voice, soundfx::kVoiceCount> m_voices{};
    int m_nVoices = 0;
};
