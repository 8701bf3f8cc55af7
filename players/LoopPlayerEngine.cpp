#include "players/LoopPlayerEngine.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <thread>

namespace
{
// Frames per libsndfile read: large enough that reading costs little more
// than the decoding itself, small enough for a read buffer of any channel count.
constexpr long kReadBlockFrames = 8192;
// Rates closer than this play as they are.
constexpr double kRateTolerance = 0.01;

bool conversionNeeded(double fileRate, double deviceRate)
{
    return fileRate > 0.0 && deviceRate > 0.0 && std::abs(fileRate - deviceRate) > kRateTolerance;
}

bool hasMp3Extension(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char character) { return std::tolower(character); });
    return extension == ".mp3";
}
} // namespace

LoopPlayerEngine::LoopPlayerEngine(const RackProcessor& unit)
    : m_unit(unit), m_refillWorker("loop refill", [this] { refillPlayedHalves(); })
{
}

LoopPlayerEngine::~LoopPlayerEngine()
{
    setListener(nullptr);
    m_bShuttingDown.store(true);
    {
        std::lock_guard transport(m_transportMutex);
        stopLocked();
    }
    m_refillWorker.shutdown();
    std::lock_guard reader(m_readerMutex);
    closeFileLocked();
}

// GUI thread.
void LoopPlayerEngine::setListener(LoopPlayerListener* listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_listener = listener;
}

// GUI thread, device stopped.
void LoopPlayerEngine::prepare(double sampleRate)
{
    if (sampleRate > 0.0)
        m_fDeviceRate.store(sampleRate);
}

// GUI thread, device stopped. The transport is the user's: a device started
// again plays on.
void LoopPlayerEngine::reset() {}

// Any thread but audio.
bool LoopPlayerEngine::acceptsFile(const std::string& path)
{
    // libsndfile may take an MP3 file but reports wrong lengths for many.
    if (hasMp3Extension(path))
        return false;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return false;
    sf_close(file);
    return info.frames > 0 && info.channels > 0 &&
           (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG;
}

// ---------------------------------------------------------------------------
// Slots: GUI thread.

bool LoopPlayerEngine::loadSlot(int slot, const std::string& path)
{
    if (slot < 0 || slot >= kSlotCount || !acceptsFile(path))
        return false;
    std::lock_guard lock(m_slotMutex);
    m_strPaths[static_cast<size_t>(slot)] = path;
    m_bReady[static_cast<size_t>(slot)] = true;
    return true;
}

void LoopPlayerEngine::restoreSlot(int slot, const std::string& path, bool ready)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    std::lock_guard lock(m_slotMutex);
    m_strPaths[static_cast<size_t>(slot)] = path;
    m_bReady[static_cast<size_t>(slot)] = ready && !path.empty();
}

void LoopPlayerEngine::clearReady(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    std::lock_guard lock(m_slotMutex);
    m_bReady[static_cast<size_t>(slot)] = false;
}

std::string LoopPlayerEngine::slotPath(int slot) const
{
    if (slot < 0 || slot >= kSlotCount)
        return {};
    std::lock_guard lock(m_slotMutex);
    return m_strPaths[static_cast<size_t>(slot)];
}

bool LoopPlayerEngine::slotReady(int slot) const
{
    if (slot < 0 || slot >= kSlotCount)
        return false;
    std::lock_guard lock(m_slotMutex);
    return m_bReady[static_cast<size_t>(slot)];
}

void LoopPlayerEngine::setCurrentSlot(int slot)
{
    m_nCurrentSlot.store(slot >= 0 && slot < kSlotCount ? slot : -1);
}

// ---------------------------------------------------------------------------
// Transport

// GUI thread.
bool LoopPlayerEngine::start()
{
    std::lock_guard transport(m_transportMutex);
    return startLocked();
}

// GUI thread.
void LoopPlayerEngine::stop()
{
    std::lock_guard transport(m_transportMutex);
    stopLocked();
}

// GUI thread or refill worker (a loop switched on after the end), holding
// m_transportMutex.
bool LoopPlayerEngine::startLocked()
{
    const int slot = currentSlot();
    if (!m_unit.m_bRunning.load() || !m_unit.m_bRouted.load() || m_bShuttingDown.load() ||
        !slotReady(slot))
        return false;
    const std::string path = slotPath(slot);
    // The file is opened before anything stops, so a file that has gone
    // leaves playback as it was.
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return false;

    stopLocked();
    std::lock_guard reader(m_readerMutex);
    closeFileLocked();
    m_file = file;
    m_nFileChannels = std::max(info.channels, 1);
    m_fFileRate = static_cast<double>(info.samplerate);
    m_nTotalFrames = static_cast<int64_t>(info.frames);
    m_readBlock.assign(static_cast<size_t>(kReadBlockFrames * m_nFileChannels), 0.0f);
    m_converter.reset();
    m_bFileEnded = false;
    m_bEndReached = false;
    ++m_nSession;
    m_store.rewind();
    fillHalfLocked(0);
    fillHalfLocked(1);

    const double deviceRate = m_fDeviceRate.load();
    const double ratio = conversionNeeded(m_fFileRate, deviceRate) ? deviceRate / m_fFileRate : 1.0;
    m_fLengthInDeviceFrames.store(static_cast<double>(m_nTotalFrames) * ratio);
    m_nFramesPlayed.store(0);
    m_bPlaying.store(true);
    return true;
}

// GUI thread, refill worker or destructor, holding m_transportMutex.
void LoopPlayerEngine::stopLocked()
{
    if (!m_bPlaying.exchange(false))
        return;
    // From here on the audio thread leaves the store alone.
    waitForAudioBlockToEnd();
    m_nFramesPlayed.store(0);
}

// The audio thread marks each block it works in; once playing is cleared,
// the first moment it is outside a block it can no longer be reading the store.
void LoopPlayerEngine::waitForAudioBlockToEnd() const
{
    while (m_bAudioInsideBlock.load())
        std::this_thread::yield();
}

// Any thread (GUI timer, tests).
double LoopPlayerEngine::playFraction() const
{
    const double length = m_fLengthInDeviceFrames.load();
    if (!playing() || length <= 0.0)
        return 0.0;
    const double position = std::fmod(static_cast<double>(framesPlayed()), length);
    return position / length;
}

// ---------------------------------------------------------------------------
// Reading and filling: the caller holds m_readerMutex.

void LoopPlayerEngine::closeFileLocked()
{
    if (m_file != nullptr)
        sf_close(m_file);
    m_file = nullptr;
}

long LoopPlayerEngine::readStereoLocked(float* stereo, long frames)
{
    long got = 0;
    bool wrappedWithoutFrames = false;
    while (got < frames && m_file != nullptr)
    {
        const long want = std::min(frames - got, kReadBlockFrames);
        const sf_count_t read = sf_readf_float(m_file, m_readBlock.data(), want);
        if (read <= 0)
        {
            // The end of the file: a looping file goes on from its first
            // frame in the same half, so the seam has no gap and no repeat.
            if (!m_bLoop.load() || wrappedWithoutFrames || sf_seek(m_file, 0, SEEK_SET) != 0)
            {
                m_bFileEnded = true;
                break;
            }
            wrappedWithoutFrames = true;
            continue;
        }
        wrappedWithoutFrames = false;
        const float* source = m_readBlock.data();
        float* target = stereo + got * 2;
        if (m_nFileChannels == 1)
        {
            for (sf_count_t frame = 0; frame < read; ++frame)
                target[frame * 2] = target[frame * 2 + 1] = source[frame];
        }
        else
        {
            // Files with more channels play their first two.
            for (sf_count_t frame = 0; frame < read; ++frame)
            {
                target[frame * 2] = source[frame * m_nFileChannels];
                target[frame * 2 + 1] = source[frame * m_nFileChannels + 1];
            }
        }
        got += static_cast<long>(read);
    }
    return got;
}

LoopPlayerEngine::FillOutcome LoopPlayerEngine::fillHalfLocked(int half)
{
    // The reader has played the file's last half: the file is over.
    if (m_bEndReached)
    {
        m_store.publish(half, false, 0, true);
        return FillOutcome::StopPlayback;
    }
    // The file ended in the fill before: the reader never gets to this half.
    if (m_bFileEnded)
    {
        m_bEndReached = true;
        m_store.publish(half, false, 0, true);
        return FillOutcome::Continue;
    }

    const double deviceRate = m_fDeviceRate.load();
    const bool convert = conversionNeeded(m_fFileRate, deviceRate);
    const double ratio = convert ? deviceRate / m_fFileRate : 1.0;
    const long halfFrames = static_cast<long>(MP3HalfStore::halfFrames);
    const long convertedCapacity = static_cast<long>(MP3HalfStore::convertedFrames);
    // Only as much input as converts into one converted half: at high
    // ratios (22050 → 96000) nothing is dropped.
    const long inputFrames =
        convert ? MP3RateConverter::inputFramesThatFit(ratio, halfFrames, convertedCapacity)
                : halfFrames;

    float* raw = m_store.rawHalf(half);
    const long read = readStereoLocked(raw, inputFrames);
    const bool ended = m_bFileEnded;
    if (convert)
    {
        const long generated = m_converter.convert(raw, read, m_store.convertedHalf(half),
                                                   convertedCapacity, ratio, ended);
        m_store.publish(half, true, static_cast<size_t>(generated) * 2, ended);
    }
    else
    {
        m_store.publish(half, false, static_cast<size_t>(read) * 2, ended);
    }
    return FillOutcome::Continue;
}

// ---------------------------------------------------------------------------
// Refill worker

// Refill worker.
void LoopPlayerEngine::refillPlayedHalves()
{
    for (int half = 0; half < 2; ++half)
    {
        FillOutcome outcome = FillOutcome::Continue;
        uint64_t session = 0;
        {
            std::lock_guard reader(m_readerMutex);
            // A stopped player's halves are filled anew by the next start.
            if (!m_bPlaying.load())
                return;
            if (!m_store.claimForRefill(half))
                continue;
            outcome = fillHalfLocked(half);
            session = m_nSession;
        }
        if (outcome == FillOutcome::StopPlayback)
        {
            endOfFile(session);
            return;
        }
    }
}

// Refill worker: the reader has played the last frame of a file that did not loop.
void LoopPlayerEngine::endOfFile(uint64_t session)
{
    std::lock_guard transport(m_transportMutex);
    {
        // Only the playback that met its end stops, never one started since.
        std::lock_guard reader(m_readerMutex);
        if (session != m_nSession || !m_bPlaying.load())
            return;
    }
    // Looping was switched on after the end was read: play the file again
    // from its start rather than sit silent.
    if (m_bLoop.load() && startLocked())
        return;
    stopLocked();
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->playbackEnded();
}

// ---------------------------------------------------------------------------
// Audio thread

void LoopPlayerEngine::process(float**, float** out, long, long numOut, long frames) noexcept
{
    if (out == nullptr || numOut < 2 || out[0] == nullptr || out[1] == nullptr || frames <= 0)
        return;
    float* left = out[0];
    float* right = out[1];
    m_bAudioInsideBlock.store(true);
    if (m_bPlaying.load())
    {
        const MP3HalfStore::ReadResult result =
            m_store.read(left, right, static_cast<size_t>(frames));
        if (result.halvesFinished > 0)
            m_refillWorker.request(result.halvesFinished);
        m_nFramesPlayed.fetch_add(static_cast<int64_t>(result.framesPlayed),
                                  std::memory_order_relaxed);
    }
    else
    {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    }
    m_bAudioInsideBlock.store(false);
}
