#pragma once

// RecorderEngine: the recorder without its panel. The audio thread converts
// the mixer's record feed to 16-bit stereo and fills a ring of fixed-size
// chunks; one encoder worker per recording, woken by a semaphore, encodes the
// filled chunks with LAME and appends them to the file, then returns them to
// the free queue. Nothing the audio thread wrote is ever overwritten: when no
// chunk is free the frames are dropped and counted.
//
// Hand-overs:
// - The capture side (the chunk being filled) belongs to whoever holds the
//   capture flag. The audio thread takes it for one block with a
//   compare-exchange and never waits; Pause and Stop take it over the same
//   way (waiting at most for the block in progress).
// - Chunks move through two single-producer single-consumer queues: filled
//   (capture side → worker) and free (worker → capture side).
//
// Threads: rec, pause, stop, prepare, reset and the folder on the GUI thread;
// process on the audio thread; the encoder worker per recording. Never:
// process allocates, locks, waits or does I/O.

#include "app/RackEngine.h"
#include "platform/SpscQueue.h"
#include "platform/WakeSignal.h"
#include "recorder/CLameEncoder.h"
#include "recorder/RecorderListener.h"
#include "recorder/RecordingFile.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

enum class RecorderState : int
{
    Stopped,
    Recording,
    Paused,
};

class RecorderEngine : public RackEngine
{
public:
    // One chunk is one MPEG-1 layer III frame of input: 1152 frames.
    static constexpr int kChunkFrames = 1152;
    // 512 chunks hold 6.1 s at 96 kHz (13.4 s at 44.1 kHz): a disk stall that
    // long loses nothing.
    static constexpr int kChunkCount = 512;
    // The conversion to 16 bits: samples beyond ±0.9999 are clamped there,
    // so the extremes record as ±32764.
    static constexpr float kClampLevel = 0.9999f;
    static constexpr float kSixteenBitScale = 32768.0f;
    static constexpr float kSilenceDb = -120.0f;

    explicit RecorderEngine(RecorderListener* listener = nullptr,
                            const std::string& libraryName = CLameEncoder::kLibraryName);
    // Finishes a recording still open.
    ~RecorderEngine() override;

    // GUI thread, device stopped. A new device rate finishes a recording
    // made at the old one (its file would play at the wrong pitch); 0.0 (the
    // device stopped) keeps it open.
    void prepare(double sampleRate) override;
    // GUI thread, device stopped: the meters fall to silence.
    void reset() override;
    // Audio thread: in[0], in[1] are the record feed (clamped in place).
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread. From Stopped: opens a new file in the folder and starts
    // capturing at the device's rate. Returns false (and leaves the recorder
    // stopped, the reason in failure()) when the encoder library is missing or
    // the folder or file cannot be made. Does nothing in another state.
    bool rec();
    // GUI thread. Recording → Paused (the file stays open, the chunk being
    // filled keeps its frames); Paused → Recording, continuing seamlessly.
    void pause();
    // GUI thread. Recording or Paused → Stopped: encodes every captured frame
    // (the last chunk partly filled), finishes the stream, writes the tag
    // frame and closes the file. Returns after the worker has ended.
    void stop();

    // Any thread.
    RecorderState state() const { return m_state.load(std::memory_order_acquire); }
    bool encoderAvailable() const { return m_encoder.loaded(); }
    const std::string& encoderLibraryName() const { return m_encoder.libraryName(); }
    // Any thread: one sample as recorded. NaN records as 0; beyond ±0.9999
    // is clamped there, so the extremes are ±32764.
    static short toSixteenBits(float sample) noexcept;
    // Frames captured into the current or last recording (the counter shows
    // them) and frames lost because no chunk was free.
    uint64_t capturedFrames() const { return m_capturedFrames.load(std::memory_order_relaxed); }
    uint64_t droppedFrames() const { return m_droppedFrames.load(std::memory_order_relaxed); }
    // The device rate of the current or last recording.
    int recordingRate() const { return m_nRecordingRate.load(std::memory_order_relaxed); }
    // The file's own rate (LAME halves 96 kHz).
    int fileRate() const { return m_nFileRate.load(std::memory_order_relaxed); }
    float leftPeakDb() const { return m_leftPeakDb.load(std::memory_order_relaxed); }
    float rightPeakDb() const { return m_rightPeakDb.load(std::memory_order_relaxed); }

    // Any thread: why the last recording failed or lost frames ("" when it
    // did not). Cleared by rec.
    std::string failure() const;
    // The encoder worker ran into an error; stop() will end the recording.
    bool failed() const { return m_bFailed.load(std::memory_order_acquire); }

    // GUI thread. Name (without folder) and path of the current or last
    // recording; empty before the first one.
    std::string fileName() const;
    std::string filePath() const;
    // GUI thread. The destination folder: the current directory at start;
    // created (with its parents) at each Rec.
    const std::filesystem::path& folder() const { return m_folder; }
    void setFolder(const std::filesystem::path& folder) { m_folder = folder; }

    void setListener(RecorderListener* listener)
    {
        m_listener.store(listener, std::memory_order_release);
    }
    // GUI thread, while stopped. Tests: runs on the worker before each chunk
    // is encoded (a stand-in for a stalling disk).
    void setBeforeEachChunk(std::function<void()> hook) { m_beforeEachChunk = std::move(hook); }

private:
    struct FilledChunk
    {
        int32_t index = 0;
        int32_t frames = 0;
    };
    enum Capture : int
    {
        CaptureOff,  // nobody may capture (stopped, paused, taken over)
        CaptureOpen, // the audio thread may take the capture side
        CaptureBusy, // the audio thread is inside a block
    };

    short* chunk(int index) noexcept { return m_chunks.get() + 2 * kChunkFrames * index; }
    // Audio thread, holding the capture side.
    void capture(const float* left, const float* right, long frames) noexcept;
    // GUI thread: takes the capture side from the audio thread.
    void takeCaptureSide() noexcept;
    // Encoder worker.
    void encodeLoop(lame_global_flags* stream);
    void fail(const std::string& message);
    void notifyFailure();

    CLameEncoder m_encoder;
    std::atomic<RecorderListener*> m_listener;
    std::unique_ptr<short[]> m_chunks;
    platform::SpscQueue<int32_t> m_freeChunks{kChunkCount};
    platform::SpscQueue<FilledChunk> m_filledChunks{kChunkCount};
    platform::WakeSignal m_wake;

    // The capture side: valid only to whoever holds it.
    int32_t m_nFillChunk = -1;
    int32_t m_nFillFrames = 0;
    std::atomic<int> m_capture{CaptureOff};

    std::atomic<RecorderState> m_state{RecorderState::Stopped};
    std::atomic<uint64_t> m_capturedFrames{0};
    std::atomic<uint64_t> m_droppedFrames{0};
    std::atomic<int> m_nRecordingRate{0};
    std::atomic<int> m_nFileRate{0};
    std::atomic<float> m_leftPeakDb{kSilenceDb};
    std::atomic<float> m_rightPeakDb{kSilenceDb};
    double m_deviceRate = 44100.0;

    // The recording: the file and the worker that writes it.
    RecordingFile m_file;
    std::thread m_worker;
    std::atomic<bool> m_bFinishing{false};
    std::atomic<bool> m_bFailed{false};
    mutable std::mutex m_failureMutex;
    std::string m_strFailure;
    std::filesystem::path m_folder;
    std::function<void()> m_beforeEachChunk;
};
