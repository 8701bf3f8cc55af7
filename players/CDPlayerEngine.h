#pragma once

// CDPlayerEngine: everything of the CD player but its panel. It reads one
// track of a disc (a drive or a BIN/CUE image, through akrip32) in chunks of
// 54 blocks into the players' two-half store, converts each chunk to the
// device rate and the pitch through one persistent linear converter, and
// runs the transport (stopped / starting / playing / paused).
//
// The panel (CCDRack) owns the engine and constructs it with itself: the
// engine obeys the unit's run state and routing; the unit's SetSampleRate
// forwards to prepare() and its CRackUnit::Process to process().
//
// Threads:
// - audio thread: process() only; never allocates, locks or waits. At a half
//   switch it marks the half Consumed and releases the worker's semaphore.
// - GUI or MIDI thread: transport, track, pitch.
// - worker (one, waiting; normal priority because a user waits for Play):
//   runs the start job (table of contents, the first two chunks) and the
//   refills, and stops playback once the track's last chunk has played or a
//   chunk cannot be read.
// A transport mutex orders the transport operations, a fill mutex the disc,
// the converter and the halves' filling; the audio thread takes neither. A
// session number, moved by every start and stop, keeps an old start job or
// fill from undoing a later Stop or Play.

#include "akrip32/akrip32.h"
#include "app/RackEngine.h"
#include "app/RackProcessor.h"
#include "players/CDPlayerListener.h"
#include "players/MP3HalfStore.h"
#include "players/MP3RateConverter.h"
#include "players/RefillWorker.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class CDPlayerEngine : public RackEngine
{
public:
    // The track selector's and the pitch display's ranges.
    static constexpr int kFirstSelectableTrack = 1;
    static constexpr int kLastSelectableTrack = 20;
    static constexpr int kLowestPitch = 50;
    static constexpr int kNormalPitch = 100;
    static constexpr int kHighestPitch = 150;
    // CD audio's own rate, and one chunk's stereo frames.
    static constexpr double kDiscRate = 44100.0;
    static constexpr size_t kChunkFrames = CD_CHUNK_BLOCKS * CD_BLOCK_FRAMES;

    // unit: the rack unit whose m_bRunning and m_bRouted decide when
    // playback may start; it outlives the engine. Finds the first drive.
    explicit CDPlayerEngine(const RackProcessor& unit);
    // Stops playback, joins the worker, then closes the drive.
    ~CDPlayerEngine() override;
    CDPlayerEngine(const CDPlayerEngine&) = delete;
    CDPlayerEngine& operator=(const CDPlayerEngine&) = delete;

    // GUI thread. Pass nullptr before the listener goes away.
    void setListener(CDPlayerListener* listener);

    // GUI thread, device stopped: the device's rate (0.0 keeps the last);
    // makes room for a chunk converted at that rate and the lowest pitch.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: the meters fall to silence.
    void reset() override;
    // Audio thread: writes frames samples to out[0] (left) and out[1]
    // (right), silence unless playing.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // Transport: GUI or MIDI thread.
    void play();
    void stop();
    void pause();

    // GUI or MIDI thread. A track outside 1-20 or a pitch outside 50-150 is
    // ignored. Pitch and its switch take effect from the next chunk.
    void selectTrack(int track);
    void setPitch(int pitch);
    void setPitchOn(bool on);
    void setShowRemaining(bool showRemaining);

    // Panel state: any thread.
    CDTransportState transportState() const { return m_transport.load(); }
    bool playingLampLit() const { return transportState() == CDTransportState::Playing; }
    bool pausedLampLit() const { return transportState() == CDTransportState::Paused; }
    int selectedTrack() const { return m_nSelectedTrack.load(); }
    int pitch() const { return m_nPitch.load(); }
    bool pitchOn() const { return m_bPitchOn.load(); }
    // The track last started; 0 before the first.
    int currentTrack() const { return m_nCurrentTrack.load(); }
    // Seconds of the track played (at pitch 150 twice as fast as the clock)
    // and left of its length; 0 while stopped.
    int elapsedSeconds() const;
    int remainingSeconds() const;
    int displayedSeconds() const;
    float leftPeakDb() const { return m_leftPeakDb.load(std::memory_order_relaxed); }
    float rightPeakDb() const { return m_rightPeakDb.load(std::memory_order_relaxed); }
    bool hasDrive() const { return m_hDrive != 0; }
    // The chunk buffers could not be allocated: nothing ever plays.
    bool bufferError() const { return m_bBufferError; }
    // Times the audio thread reached a half whose fill had not finished.
    uint64_t lateHalfCount() const { return m_store.lateRefills(); }
    // Start jobs run so far.
    uint64_t startJobCount() const { return m_nStartJobs.load(); }

    // A track's length in whole seconds from the minute/second addresses of
    // its start and of the next entry (frames ignored, as the display shows
    // m:ss).
    static int secondsBetween(const TOCTRACK& start, const TOCTRACK& end);

    // Samples as the disc stores them (16-bit little-endian) to floats of
    // full scale 1.0.
    static void decodeDiscSamples(const uint8_t* bytes, size_t samples, float* out) noexcept;

    // Blocks until the worker has nothing pending. For tests and tools that
    // drive process() themselves; never on the audio thread.
    void waitUntilIdle() const { m_worker.waitUntilIdle(); }
    // Test hooks: while held the worker takes no work; the next `count`
    // chunk reads fail as a scratched disc's would.
    void holdWorker(bool hold) { m_worker.hold(hold); }
    void failNextReads(int count) { m_nInjectedReadFailures.store(count); }

private:
    enum class FillOutcome
    {
        Continue,
        EndOfTrack, // the half after the last: playback is over
        Failed,     // a chunk could not be read or converted
    };

    // Transport steps; the caller holds m_transportMutex.
    void stopLocked();
    void setTransport(CDTransportState state);
    void waitForAudioBlockToEnd() const;

    // Worker.
    void runNextJob();
    void runStartJob();
    bool openTrackLocked(int track);
    void refillPlayedHalves();
    void stopAfterFill(uint64_t session);

    // Worker, holding m_fillMutex.
    FillOutcome fillHalfLocked(int half);
    bool readChunkLocked(TRACKBUF& buffer, int blocks);

    void notifyTransport(CDTransportState state);
    void notifySelection();

    const RackProcessor& m_unit;

    // The drive and the chunk buffers (one per half, as read).
    HCDROM m_hDrive = 0;
    std::unique_ptr<TRACKBUF> m_trackBuffers[2];
    bool m_bBufferError = false;

    // Panel state.
    std::atomic<CDTransportState> m_transport{CDTransportState::Stopped};
    std::atomic<int> m_nSelectedTrack{kFirstSelectableTrack};
    std::atomic<int> m_nPitch{kNormalPitch};
    std::atomic<bool> m_bPitchOn{false};
    std::atomic<bool> m_bShowRemaining{false};
    std::atomic<int> m_nCurrentTrack{0};
    std::mutex m_listenerMutex;
    CDPlayerListener* m_listener = nullptr;

    // Transport: GUI, MIDI, worker.
    std::mutex m_transportMutex;
    std::atomic<uint64_t> m_nSession{0};
    std::atomic<uint64_t> m_nStartSession{0};
    std::atomic<bool> m_bStartRequested{false};
    std::atomic<uint64_t> m_nStartJobs{0};

    // Reading and converting: guarded by m_fillMutex.
    std::mutex m_fillMutex;
    MP3RateConverter m_converter{MP3RateConverter::Quality::Linear};
    int m_nNextBlock = 0;
    int m_nBlocksLeft = 0;
    bool m_bTrackRead = false;
    bool m_bEndReached = false;
    std::atomic<int> m_nInjectedReadFailures{0};

    MP3HalfStore m_store;
    // Output frames per second of track time of each half: the device rate
    // divided by the pitch's speed.
    std::atomic<double> m_fHalfFramesPerTrackSecond[2] = {kDiscRate, kDiscRate};

    std::atomic<double> m_fDeviceRate{kDiscRate};

    // Audio-thread state shared with the panel.
    std::atomic<bool> m_bAudioInsideBlock{false};
    std::atomic<double> m_fElapsedSeconds{0.0};
    std::atomic<int> m_nTrackSeconds{0};
    std::atomic<float> m_leftPeakDb{-120.0f};
    std::atomic<float> m_rightPeakDb{-120.0f};

    std::atomic<bool> m_bShuttingDown{false};

    static_assert(std::atomic<double>::is_always_lock_free &&
                      std::atomic<float>::is_always_lock_free,
                  "the audio thread shares time and meter values through lock-free atomics");
    // Last: it starts after, and is joined before, the buffers and the drive.
    // One request per start or played-out half.
    RefillWorker m_worker;
};
