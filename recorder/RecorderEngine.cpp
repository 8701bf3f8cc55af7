#include "recorder/RecorderEngine.h"

#include "utilkit/MeterReading.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <vector>

namespace
{

std::string errorText(int error)
{
    return std::strerror(error);
}

// Clamped as the 16-bit conversion needs; NaN (a broken plug-in) as silence.
inline float clampSample(float sample) noexcept
{
    if (std::isnan(sample))
        return 0.0f;
    return std::clamp(sample, -RecorderEngine::kClampLevel, RecorderEngine::kClampLevel);
}

// Truncation toward zero: ±0.9999 becomes ±32764.
inline short truncateToSixteenBits(float clamped) noexcept
{
    return static_cast<short>(clamped * RecorderEngine::kSixteenBitScale);
}
} // namespace

short RecorderEngine::toSixteenBits(float sample) noexcept
{
    return truncateToSixteenBits(clampSample(sample));
}

RecorderEngine::RecorderEngine(RecorderListener* listener, const std::string& libraryName)
    : m_encoder(libraryName), m_listener(listener),
      m_chunks(std::make_unique<short[]>(static_cast<size_t>(2 * kChunkFrames * kChunkCount)))
{
    for (int32_t index = 0; index < kChunkCount; ++index)
        m_freeChunks.push(index);
    std::error_code error;
    m_folder = std::filesystem::current_path(error);
}

RecorderEngine::~RecorderEngine()
{
    setListener(nullptr);
    stop();
}

void RecorderEngine::prepare(double sampleRate)
{
    if (sampleRate <= 0.0)
        return;
    const bool rateChanged = static_cast<int>(sampleRate) != recordingRate();
    m_deviceRate = sampleRate;
    if (state() != RecorderState::Stopped && rateChanged)
    {
        stop();
        if (RecorderListener* listener = m_listener.load(std::memory_order_acquire))
            listener->recorderStateChanged();
    }
}

void RecorderEngine::reset()
{
    m_leftPeakDb.store(kSilenceDb, std::memory_order_relaxed);
    m_rightPeakDb.store(kSilenceDb, std::memory_order_relaxed);
}

void RecorderEngine::process(float** in, float**, long numIn, long, long frames) noexcept
{
    if (frames <= 0 || in == nullptr || numIn < 2 || in[0] == nullptr || in[1] == nullptr)
        return;
    float* left = in[0];
    float* right = in[1];

    // The meters show the feed as it came; the feed is then clamped in place.
    float leftPeak = meter::kSmallestPeak;
    float rightPeak = meter::kSmallestPeak;
    for (long frame = 0; frame < frames; ++frame)
    {
        leftPeak = std::max(leftPeak, std::abs(left[frame]));
        rightPeak = std::max(rightPeak, std::abs(right[frame]));
        left[frame] = clampSample(left[frame]);
        right[frame] = clampSample(right[frame]);
    }
    m_leftPeakDb.store(meter::decibels(leftPeak), std::memory_order_relaxed);
    m_rightPeakDb.store(meter::decibels(rightPeak), std::memory_order_relaxed);

    // The capture side for this block, or nothing: the audio thread never
    // waits for Pause or Stop.
    int open = CaptureOpen;
    if (!m_capture.compare_exchange_strong(open, CaptureBusy, std::memory_order_acquire,
                                           std::memory_order_relaxed))
        return;
    capture(left, right, frames);
    m_capture.store(CaptureOpen, std::memory_order_release);
}

void RecorderEngine::capture(const float* left, const float* right, long frames) noexcept
{
    long offset = 0;
    while (offset < frames)
    {
        if (m_nFillChunk < 0)
        {
            const std::optional<int32_t> free = m_freeChunks.pop();
            if (!free)
            {
                // The worker is behind by the whole ring: drop, never overwrite.
                m_droppedFrames.fetch_add(static_cast<uint64_t>(frames - offset),
                                          std::memory_order_relaxed);
                return;
            }
            m_nFillChunk = *free;
            m_nFillFrames = 0;
        }
        const long count = std::min<long>(frames - offset, kChunkFrames - m_nFillFrames);
        short* target = chunk(m_nFillChunk) + 2 * m_nFillFrames;
        for (long frame = 0; frame < count; ++frame)
        {
            target[2 * frame] = truncateToSixteenBits(left[offset + frame]);
            target[2 * frame + 1] = truncateToSixteenBits(right[offset + frame]);
        }
        m_nFillFrames += static_cast<int32_t>(count);
        offset += count;
        m_capturedFrames.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
        if (m_nFillFrames == kChunkFrames)
        {
            // Cannot fail: the queue holds every chunk there is.
            m_filledChunks.push({m_nFillChunk, m_nFillFrames});
            m_nFillChunk = -1;
            m_nFillFrames = 0;
            m_wake.signal();
        }
    }
}

void RecorderEngine::takeCaptureSide() noexcept
{
    int expected = CaptureOpen;
    while (!m_capture.compare_exchange_weak(expected, CaptureOff, std::memory_order_acq_rel,
                                            std::memory_order_acquire))
    {
        if (expected == CaptureOff)
            return;
        // The audio thread is inside one block.
        expected = CaptureOpen;
        std::this_thread::yield();
    }
}

bool RecorderEngine::rec()
{
    if (state() != RecorderState::Stopped)
        return true;
    {
        const std::lock_guard lock(m_failureMutex);
        m_strFailure.clear();
    }
    m_bFailed.store(false, std::memory_order_release);
    auto refuse = [this](const std::string& message)
    {
        const std::lock_guard lock(m_failureMutex);
        m_strFailure = message;
        return false;
    };
    if (!m_encoder.loaded())
        return refuse("Can not find " + m_encoder.libraryName());

    std::error_code folderError;
    std::filesystem::create_directories(m_folder, folderError);
    if (folderError)
        return refuse("Can not create the folder " + m_folder.string() + ": " +
                      folderError.message());

    const int rate = static_cast<int>(m_deviceRate);
    lame_global_flags* stream = m_encoder.openStream(rate);
    if (stream == nullptr)
        return refuse("The MP3 encoder does not take " + std::to_string(rate) + " Hz.");
    if (const int error = m_file.create(m_folder, std::time(nullptr)))
    {
        m_encoder.closeStream(stream);
        return refuse("Can not create " + m_file.path() + ": " + errorText(error));
    }

    m_capturedFrames.store(0, std::memory_order_relaxed);
    m_droppedFrames.store(0, std::memory_order_relaxed);
    m_nRecordingRate.store(rate, std::memory_order_relaxed);
    m_nFileRate.store(m_encoder.outputRate(stream), std::memory_order_relaxed);
    m_nFillFrames = 0;
    m_bFinishing.store(false, std::memory_order_relaxed);
    m_wake.clear();
    m_worker = std::thread([this, stream] { encodeLoop(stream); });

    m_state.store(RecorderState::Recording, std::memory_order_release);
    m_capture.store(CaptureOpen, std::memory_order_release);
    return true;
}

void RecorderEngine::pause()
{
    if (state() == RecorderState::Recording)
    {
        takeCaptureSide();
        m_state.store(RecorderState::Paused, std::memory_order_release);
    }
    else if (state() == RecorderState::Paused)
    {
        // The chunk being filled still holds the frames before the pause.
        m_state.store(RecorderState::Recording, std::memory_order_release);
        m_capture.store(CaptureOpen, std::memory_order_release);
    }
}

void RecorderEngine::stop()
{
    if (state() == RecorderState::Stopped)
        return;
    takeCaptureSide();
    // The last chunk goes to the worker however few frames it holds.
    if (m_nFillChunk >= 0 && m_nFillFrames > 0)
    {
        m_filledChunks.push({m_nFillChunk, m_nFillFrames});
        m_nFillChunk = -1;
        m_nFillFrames = 0;
    }
    m_bFinishing.store(true, std::memory_order_release);
    m_wake.signal();
    if (m_worker.joinable())
        m_worker.join();
    m_state.store(RecorderState::Stopped, std::memory_order_release);

    const uint64_t dropped = droppedFrames();
    const std::lock_guard lock(m_failureMutex);
    if (dropped > 0 && m_strFailure.empty())
    {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f",
                      static_cast<double>(dropped) / std::max(1, recordingRate()));
        m_strFailure = std::to_string(dropped) + " frames (" + seconds + " s) of " + m_file.path() +
                       " were lost: the disk did not keep up.";
    }
}

void RecorderEngine::encodeLoop(lame_global_flags* stream)
{
    // A file that grows past the process's size limit must fail its write,
    // not end the program.
    sigset_t fileSizeSignal;
    sigemptyset(&fileSizeSignal);
    sigaddset(&fileSizeSignal, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &fileSizeSignal, nullptr);

    const int capacity = CLameEncoder::outputCapacity(kChunkFrames);
    std::vector<unsigned char> output(static_cast<size_t>(capacity));
    bool writing = true;
    auto write = [&](int bytes, const char* what)
    {
        if (bytes < 0)
        {
            fail("The MP3 encoder failed (error " + std::to_string(bytes) + ") while " + what +
                 " " + m_file.path() + ".");
            writing = false;
        }
        else if (const int error = m_file.append(output.data(), static_cast<size_t>(bytes)))
        {
            fail("Can not write " + m_file.path() + ": " + errorText(error));
            writing = false;
        }
    };

    for (;;)
    {
        m_wake.wait();
        while (const std::optional<FilledChunk> filled = m_filledChunks.pop())
        {
            // After a failure the chunks only go back; the recording is ending.
            if (writing)
            {
                if (m_beforeEachChunk)
                    m_beforeEachChunk();
                write(m_encoder.encode(stream, chunk(filled->index), filled->frames, output.data(),
                                       capacity),
                      "recording");
            }
            m_freeChunks.push(filled->index);
        }
        if (m_bFinishing.load(std::memory_order_acquire) && m_filledChunks.empty())
            break;
    }

    // The last frames, then the tag frame over the reserved first frame (it
    // gives players the exact length). A file cut short by an error keeps
    // its placeholder, which plays as one frame of silence.
    if (writing)
        write(m_encoder.flush(stream, output.data(), capacity), "finishing");
    if (writing)
    {
        const size_t tagBytes = m_encoder.tagFrame(stream, output.data(), output.size());
        if (tagBytes > 0)
            if (const int error = m_file.writeAtStart(output.data(), tagBytes))
                fail("Can not write " + m_file.path() + ": " + errorText(error));
    }
    m_encoder.closeStream(stream);
    if (const int error = m_file.finish(); error != 0 && writing)
        fail("Can not finish " + m_file.path() + ": " + errorText(error));
}

void RecorderEngine::fail(const std::string& message)
{
    {
        const std::lock_guard lock(m_failureMutex);
        if (m_strFailure.empty())
            m_strFailure = message;
    }
    m_bFailed.store(true, std::memory_order_release);
    notifyFailure();
}

void RecorderEngine::notifyFailure()
{
    if (RecorderListener* listener = m_listener.load(std::memory_order_acquire))
        listener->recorderFailed();
}

std::string RecorderEngine::failure() const
{
    const std::lock_guard lock(m_failureMutex);
    return m_strFailure;
}

std::string RecorderEngine::fileName() const
{
    return m_file.path().empty() ? std::string() : m_file.name();
}

std::string RecorderEngine::filePath() const
{
    return m_file.path();
}
