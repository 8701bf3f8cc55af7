#pragma once

// MP3PlayerEngine: everything of the MP3 player but its panel. It keeps the
// playlist, runs the transport (stopped / playing / paused, the lamps), loads
// files on a load thread, decodes them into the two-half store (converting to
// the device rate when the file's rate differs by more than 1 Hz), refills
// each half on a waiting refill worker when the audio thread has played it,
// advances through the list in play-all mode, and keeps what the panel shows:
// title text, elapsed/remaining time, meter peaks.
//
// The panel (CMP3Rack) owns the engine and constructs it with itself: the
// engine obeys the unit's run state and routing, which the amplifier and the
// mixer set on the unit; the unit's SetSampleRate forwards to prepare() and
// its CRackUnit::Process to process(). The panel wires its buttons to play(),
// pause(), stop(), addFiles(), removeSelected(), selectEntry(), setPlayAll()
// and setShowRemaining(); it learns of changes through MP3PlayerListener and
// reads the time and meters on its timers.
//
// Threads:
// - audio thread: process() only; never allocates, locks or waits. At a half
//   switch it marks the half Consumed and releases a semaphore (a futex wake).
// - GUI or MIDI thread: transport and playlist operations, settings.
// - load thread (normal priority: a user waits for it): reads the tag and
//   stream information, checks that the file decodes, opens it, starts
//   playback with the first two fills.
// - refill worker (normal priority): fills played-out halves; once the reader
//   has played the half that ends the file it stops playback and, in play-all
//   mode, asks for the next entry.
// A transport mutex orders the transport operations, a decoder mutex the
// decoder and store filling; the audio thread takes neither.

#include "app/RackEngine.h"
#include "app/RackProcessor.h"
#include "players/MP3HalfStore.h"
#include "players/MP3Info.h"
#include "players/MP3PlayerListener.h"
#include "players/MP3Playlist.h"
#include "players/MP3RateConverter.h"
#include "players/MP3Settings.h"
#include "players/MP3StreamDecoder.h"
#include "players/RefillWorker.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MP3PlayerEngine : public RackEngine
{
public:
    // unit: the rack unit whose m_bRunning and m_bRouted decide when
    // playback may start; it outlives the engine.
    explicit MP3PlayerEngine(const RackProcessor& unit);
    // Stops playback and joins the load thread and the refill worker.
    ~MP3PlayerEngine() override;
    MP3PlayerEngine(const MP3PlayerEngine&) = delete;
    MP3PlayerEngine& operator=(const MP3PlayerEngine&) = delete;

    // GUI thread. Pass nullptr before the listener goes away; returns after
    // any callback in progress has finished.
    void setListener(MP3PlayerListener* listener);

    // GUI thread, device stopped: the device's rate, which files are
    // converted to. 0.0 (stopped) keeps the last one, so a file loaded while
    // the device is off is sized for the rate it last ran at.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: the meters fall to silence. The transport
    // and the play position are the user's: a device started again plays on
    // where it stopped.
    void reset() override;
    // Audio thread: writes frames samples to out[0] (left) and out[1]
    // (right), silence unless playing; the inputs are not used. Never
    // allocates, locks or waits.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // Transport: GUI thread, or the MIDI thread for the remote operations.
    void play();
    void pause();
    void stop();

    // Playlist: GUI thread.
    int addFiles(const std::vector<std::string>& paths);
    void removeSelected();
    void selectEntry(int index);
    void setPlayAll(bool playAll);
    void setShowRemaining(bool showRemaining);

    // Settings: GUI thread. restoreSettings at control creation; settings()
    // is what to store when the playlist changes and at exit.
    void restoreSettings(const MP3Settings& settings);
    MP3Settings settings() const;

    // Panel state: any thread but audio (the playlist and title take locks).
    MP3TransportState transportState() const { return m_transport.load(); }
    bool playingLampLit() const { return transportState() == MP3TransportState::Playing; }
    bool pausedLampLit() const { return transportState() == MP3TransportState::Paused; }
    std::string title() const;
    std::vector<std::string> playlistNames() const { return m_playlist.names(); }
    int selectedIndex() const { return m_playlist.selectedIndex(); }
    int currentIndex() const { return m_playlist.currentIndex(); }
    std::string lastOpenPath() const { return m_playlist.lastOpenPath(); }
    bool playAll() const { return m_bPlayAll.load(); }
    bool selectionPending() const { return m_bSelectionPending.load(); }
    // Seconds of the current file played so far, and left of its duration
    // (never below 0). Both are 0 while stopped.
    int elapsedSeconds() const;
    int remainingSeconds() const;
    // What the minutes:seconds display shows: remaining or elapsed time.
    int displayedSeconds() const;
    // The last block's peaks, 20·log10(peak), -120 dB for silence.
    float leftPeakDb() const { return m_leftPeakDb.load(std::memory_order_relaxed); }
    float rightPeakDb() const { return m_rightPeakDb.load(std::memory_order_relaxed); }
    // Times the audio thread reached a half its refill had not finished.
    uint64_t lateRefillCount() const { return m_store.lateRefills(); }

    // Blocks until no load and no refill is pending or running. For tests and
    // tools that drive Process themselves; never call it on the audio thread.
    void waitUntilIdle() const;
    // Test hook: while held, the refill worker takes no work, so a test can
    // make a refill late on purpose.
    void holdRefills(bool hold) { m_refillWorker.hold(hold); }

private:
    enum class StopReason
    {
        User,       // Stop button or remote Stop
        Replace,    // a new file is about to be loaded
        EndOfTrack, // the file ended or could not be decoded
    };
    enum class FillOutcome
    {
        Continue,
        StopPlayback,
    };
    struct LoadRequest
    {
        uint64_t generation = 0;
        int index = 0;
    };

    // Transport steps; the caller holds m_transportMutex.
    void playLocked();
    void stopLocked(StopReason reason);
    void startLocked();
    void setTransport(MP3TransportState state);
    void waitForAudioBlockToEnd() const;

    // The caller holds m_decoderMutex.
    FillOutcome fillHalfLocked(int half);
    double fileSampleRateLocked() const;

    void loadThreadMain();
    void performLoad(const LoadRequest& request);
    void skipFailedEntryLocked();
    void refillConsumedHalves();
    void stopAtEndOfTrack(uint64_t session);
    void postLoadRequest(int index);

    void setTitle(const std::string& title);
    void notifyTransport(MP3TransportState state);
    void notifyPlaylist();
    void notifyPlayAll(bool playAll);

    const RackProcessor& m_unit;

    // Playlist and panel state.
    MP3Playlist m_playlist;
    std::atomic<MP3TransportState> m_transport{MP3TransportState::Stopped};
    std::atomic<bool> m_bSelectionPending{false};
    std::atomic<bool> m_bPlayAll{false};
    std::atomic<bool> m_bUserStop{false};
    std::atomic<bool> m_bShowRemaining{false};
    mutable std::mutex m_titleMutex;
    std::string m_strTitle;
    mutable std::mutex m_listenerMutex;
    MP3PlayerListener* m_listener = nullptr;

    // Transport: load thread, refill worker, GUI and MIDI threads.
    std::mutex m_transportMutex;
    bool m_bFileOpen = false;
    // Loads that failed since the last one that played, or the last Play.
    int m_nFailedLoadsInARow = 0;

    // Decoding: guarded by m_decoderMutex.
    mutable std::mutex m_decoderMutex;
    MP3StreamDecoder m_decoder;
    MP3RateConverter m_converter;
    CMP3Info m_info;
    bool m_bEndReached = false;
    bool m_bDecoderEndOfFile = false;
    uint64_t m_nSession = 0;

    // The store: halves handed between the audio thread and the filler.
    MP3HalfStore m_store;

    // The device's rate (prepare); a unit assumes 44100 Hz until told otherwise.
    std::atomic<double> m_fDeviceRate{44100.0};

    // Audio-thread state shared with the panel.
    std::atomic<bool> m_bAudioInsideBlock{false};
    std::atomic<double> m_fElapsedSeconds{0.0};
    std::atomic<int> m_nDurationSeconds{0};
    std::atomic<float> m_leftPeakDb{-120.0f};
    std::atomic<float> m_rightPeakDb{-120.0f};

    // Load thread.
    mutable std::mutex m_loadMutex;
    std::condition_variable m_loadWake;
    std::optional<LoadRequest> m_pendingLoad;
    bool m_bLoadRunning = false;
    std::atomic<uint64_t> m_nLoadGeneration{0};

    std::atomic<bool> m_bShuttingDown{false};

    static_assert(std::atomic<double>::is_always_lock_free &&
                      std::atomic<float>::is_always_lock_free,
                  "the audio thread shares time and meter values through lock-free atomics");
    std::thread m_loadThread;
    // Last: it starts after, and is joined before, everything it fills. The
    // audio thread asks for one run per played-out half.
    RefillWorker m_refillWorker;
};
