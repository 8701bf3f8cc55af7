#pragma once

// LoopPlayerEngine: everything of the loop player but its panel. It keeps six
// slots of sound files (libsndfile: WAV, AIFF, AU/SND, VOC, FLAC, Ogg/Opus
// and more; never MP3, whose frame counts libsndfile gets wrong), plays the
// current slot's file once or as an endless loop, and reports where in the
// file the play position is.
//
// The audio path has the MP3 player's shape: a two-half store the audio
// thread reads while one waiting refill worker fills the half it has played,
// each half handed over by its atomic state, so a half is never played while
// it is being written. The file is read in blocks; a looping file is read on
// from its start within the same half, so a file of N frames repeats with a
// period of exactly N frames (out[n] = file[n mod N]). One rate converter
// runs across all halves (and across the loop seam); each half takes only as
// much input as its conversion has room for. Every start is a new session:
// an end-of-file reached by an older session never stops a newer one.
//
// Threads:
// - audio thread: process() only; never allocates, locks or waits.
// - GUI thread: slots, start/stop (start reads the file's first two halves),
//   loop flag, play position.
// - refill worker (normal priority: it must beat the audio thread): fills
//   played halves; at the end of a file that does not loop it stops playback
//   and tells the listener, or starts the file again if looping was switched
//   on meanwhile.
// A transport mutex orders starts and stops, a reader mutex the file and the
// halves' filling; the audio thread takes neither.

#include "app/RackEngine.h"
#include "app/RackProcessor.h"
#include "players/MP3HalfStore.h"
#include "players/MP3RateConverter.h"
#include "players/RefillWorker.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

// What the loop player's panel hears from its engine: on the refill worker,
// never the audio thread. A callback only hands the news to the GUI thread.
class LoopPlayerListener
{
public:
    virtual ~LoopPlayerListener() = default;
    // A file that does not loop has played to its end; playback has stopped.
    virtual void playbackEnded() = 0;
};

class LoopPlayerEngine : public RackEngine
{
public:
    static constexpr int kSlotCount = 6;

    // unit: its m_bRunning and m_bRouted decide whether playback may start;
    // it outlives the engine.
    explicit LoopPlayerEngine(const RackProcessor& unit);
    // Stops playback and joins the refill worker.
    ~LoopPlayerEngine() override;
    LoopPlayerEngine(const LoopPlayerEngine&) = delete;
    LoopPlayerEngine& operator=(const LoopPlayerEngine&) = delete;

    // GUI thread. nullptr before the listener goes away.
    void setListener(LoopPlayerListener* listener);

    // GUI thread, device stopped: the rate files are converted to. 0.0
    // (stopped) keeps the last one.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: nothing sounds from before (playback stops).
    void reset() override;
    // Audio thread: left to out[0], right to out[1]; silence unless playing.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // Whether a file can play here: libsndfile opens it, it has frames, and
    // it is not MP3. Any thread but audio.
    static bool acceptsFile(const std::string& path);

    // Slots: GUI thread.
    // Puts an accepted file into the slot; false (slot unchanged) otherwise.
    bool loadSlot(int slot, const std::string& path);
    // Restores a slot as saved.
    void restoreSlot(int slot, const std::string& path, bool ready);
    void clearReady(int slot);
    std::string slotPath(int slot) const;
    bool slotReady(int slot) const;
    int currentSlot() const { return m_nCurrentSlot.load(); }
    // -1 for none.
    void setCurrentSlot(int slot);

    // Transport: GUI thread. start() plays the current slot from its start
    // (also when playing: the file is switched); false when the unit is not
    // running and routed, or the file cannot be opened.
    bool start();
    void stop();
    bool playing() const { return m_bPlaying.load(); }
    // Any thread: whether the file wraps at its end; read by the filling.
    void setLoop(bool loop) { m_bLoop.store(loop); }
    bool loop() const { return m_bLoop.load(); }

    // Any thread: the play position as a share of the file (0 ≤ x < 1), 0
    // while stopped.
    double playFraction() const;
    // Device frames played since the start.
    int64_t framesPlayed() const { return m_nFramesPlayed.load(std::memory_order_relaxed); }
    // Times the audio thread reached a half its refill had not finished.
    uint64_t lateRefillCount() const { return m_store.lateRefills(); }

    // For tests and tools driving process themselves; never the audio thread.
    // Blocks until no refill is pending or running.
    void waitUntilIdle() const { m_refillWorker.waitUntilIdle(); }
    // While held, the refill worker takes no work.
    void holdRefills(bool hold) { m_refillWorker.hold(hold); }

private:
    enum class FillOutcome
    {
        Continue,
        StopPlayback,
    };

    // The caller holds m_transportMutex.
    bool startLocked();
    void stopLocked();
    void waitForAudioBlockToEnd() const;

    // The caller holds m_readerMutex.
    bool openFileLocked(const std::string& path);
    void closeFileLocked();
    FillOutcome fillHalfLocked(int half);
    // Reads up to `frames` stereo frames into `stereo`, wrapping at the end
    // while looping; sets m_bFileEnded at the end of a file that does not loop.
    long readStereoLocked(float* stereo, long frames);

    void refillPlayedHalves();
    void endOfFile(uint64_t session);

    const RackProcessor& m_unit;

    // Slots: GUI thread, read under m_slotMutex by any thread.
    mutable std::mutex m_slotMutex;
    std::array<std::string, kSlotCount> m_strPaths;
    std::array<bool, kSlotCount> m_bReady{};
    std::atomic<int> m_nCurrentSlot{-1};

    std::mutex m_listenerMutex;
    LoopPlayerListener* m_listener = nullptr;

    std::mutex m_transportMutex;

    // The open file and its reading: guarded by m_readerMutex.
    mutable std::mutex m_readerMutex;
    SNDFILE* m_file = nullptr;
    int m_nFileChannels = 0;
    double m_fFileRate = 0.0;
    int64_t m_nTotalFrames = 0;
    std::vector<float> m_readBlock;
    MP3RateConverter m_converter;
    bool m_bFileEnded = false;
    bool m_bEndReached = false;
    uint64_t m_nSession = 0;

    MP3HalfStore m_store;

    std::atomic<double> m_fDeviceRate{44100.0};
    // File length in device frames, for the play position.
    std::atomic<double> m_fLengthInDeviceFrames{0.0};
    std::atomic<bool> m_bLoop{true};

    // Audio-thread state.
    std::atomic<bool> m_bPlaying{false};
    std::atomic<bool> m_bAudioInsideBlock{false};
    std::atomic<int64_t> m_nFramesPlayed{0};

    std::atomic<bool> m_bShuttingDown{false};

    static_assert(std::atomic<double>::is_always_lock_free &&
                      std::atomic<int64_t>::is_always_lock_free,
                  "the audio thread shares its position through lock-free atomics");
    // Last: it starts after, and is joined before, everything it fills. The
    // audio thread asks for one run per played half.
    RefillWorker m_refillWorker;
};
