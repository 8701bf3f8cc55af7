#include "players/CDPlayerEngine.h"

#include "utilkit/MeterReading.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace
{

// A chunk that fails this many reads in a row stops playback.
constexpr int readAttempts = 3;
// A device within 1 Hz of the disc's rate plays the chunks as read.
constexpr double rateTolerance = 1.0;
// Room beyond the chunk's converted length for the linear converter's
// rounding and the frame it carries from one chunk to the next.
constexpr size_t convertedMarginFrames = 64;
// Rates every device offers: the halves are sized for the highest at the
// lowest pitch from the start, and grow in prepare() for a faster device.
constexpr double highestUsualDeviceRate = 96000.0;

// The largest ratio a chunk is converted at on a device of this rate: the
// lowest pitch plays at two thirds of the speed (factor 2 - 50/100).
size_t convertedFramesFor(double deviceRate)
{
    const double slowest = 2.0 - CDPlayerEngine::kLowestPitch / 100.0;
    return static_cast<size_t>(std::ceil(static_cast<double>(CDPlayerEngine::kChunkFrames) *
                                         deviceRate * slowest / CDPlayerEngine::kDiscRate)) +
           convertedMarginFrames;
}

int blockAddress(const TOCTRACK& entry)
{
    return static_cast<int>((uint32_t{entry.address[0]} << 24) |
                            (uint32_t{entry.address[1]} << 16) | (uint32_t{entry.address[2]} << 8) |
                            uint32_t{entry.address[3]});
}

} // namespace

CDPlayerEngine::CDPlayerEngine(const RackProcessor& unit)
    : m_unit(unit), m_store(kChunkFrames, convertedFramesFor(highestUsualDeviceRate)),
      m_worker("cd worker", [this] { runNextJob(); })
{
    for (std::unique_ptr<TRACKBUF>& buffer : m_trackBuffers)
    {
        buffer.reset(new (std::nothrow) TRACKBUF{});
        m_bBufferError = m_bBufferError || buffer == nullptr;
    }
    CDLIST drives{};
    if (GetCDList(&drives) == 1 && drives.count > 0)
    {
        GETCDHAND request{};
        request.size = sizeof(GETCDHAND);
        request.version = 1;
        request.hostAdapter = drives.drives[0].hostAdapter;
        request.target = drives.drives[0].target;
        request.lun = drives.drives[0].lun;
        m_hDrive = GetCDHandle(&request);
    }
}

CDPlayerEngine::~CDPlayerEngine()
{
    setListener(nullptr);
    m_bShuttingDown.store(true);
    {
        std::lock_guard transport(m_transportMutex);
        stopLocked();
    }
    // The worker is joined before the buffers and the drive go.
    m_worker.shutdown();
    if (m_hDrive != 0)
        CloseCDHandle(m_hDrive);
}

// GUI thread.
void CDPlayerEngine::setListener(CDPlayerListener* listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_listener = listener;
}

// GUI thread, device stopped.
void CDPlayerEngine::prepare(double sampleRate)
{
    if (sampleRate <= 0.0)
        return;
    m_fDeviceRate.store(sampleRate);
    // The reader is stopped; a fill in progress finishes first.
    std::lock_guard fill(m_fillMutex);
    m_store.reserveConverted(convertedFramesFor(sampleRate));
}

// GUI thread, device stopped.
void CDPlayerEngine::reset()
{
    m_leftPeakDb.store(-120.0f, std::memory_order_relaxed);
    m_rightPeakDb.store(-120.0f, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Transport

// GUI or MIDI thread.
void CDPlayerEngine::play()
{
    std::lock_guard transport(m_transportMutex);
    const CDTransportState state = m_transport.load();
    if (m_bBufferError || m_bShuttingDown.load() || !m_unit.m_bRunning.load() ||
        !m_unit.m_bRouted.load())
        return;
    if (state == CDTransportState::Paused)
    {
        setTransport(CDTransportState::Playing);
        return;
    }
    // Playing, or a start job already on its way: a second Play is nothing.
    if (state != CDTransportState::Stopped)
        return;
    m_nStartSession.store(m_nSession.fetch_add(1) + 1);
    setTransport(CDTransportState::Starting);
    m_bStartRequested.store(true);
    m_worker.request();
}

// GUI or MIDI thread.
void CDPlayerEngine::stop()
{
    std::lock_guard transport(m_transportMutex);
    stopLocked();
}

// GUI or MIDI thread.
void CDPlayerEngine::pause()
{
    const CDTransportState state = m_transport.load();
    if (state == CDTransportState::Paused)
    {
        play();
        return;
    }
    std::lock_guard transport(m_transportMutex);
    if (m_transport.load() == CDTransportState::Playing)
        setTransport(CDTransportState::Paused);
}

// Any thread but audio, holding m_transportMutex.
void CDPlayerEngine::stopLocked()
{
    if (m_transport.load() == CDTransportState::Stopped)
        return;
    // A start job or fill still running belongs to the old session and
    // leaves the transport alone.
    m_nSession.fetch_add(1);
    m_transport.store(CDTransportState::Stopped);
    // From here on the audio thread leaves the store alone.
    waitForAudioBlockToEnd();
    m_fElapsedSeconds.store(0.0);
    notifyTransport(CDTransportState::Stopped);
}

// Any thread but audio, holding m_transportMutex.
void CDPlayerEngine::setTransport(CDTransportState state)
{
    m_transport.store(state);
    notifyTransport(state);
}

// The audio thread marks each block it works in; once the transport has left
// Playing, the first moment it is outside a block it no longer reads the store.
void CDPlayerEngine::waitForAudioBlockToEnd() const
{
    while (m_bAudioInsideBlock.load())
        std::this_thread::yield();
}

// GUI or MIDI thread.
void CDPlayerEngine::selectTrack(int track)
{
    if (track < kFirstSelectableTrack || track > kLastSelectableTrack ||
        m_nSelectedTrack.exchange(track) == track)
        return;
    notifySelection();
}

// GUI or MIDI thread.
void CDPlayerEngine::setPitch(int pitch)
{
    if (pitch < kLowestPitch || pitch > kHighestPitch || m_nPitch.exchange(pitch) == pitch)
        return;
    notifySelection();
}

// GUI thread.
void CDPlayerEngine::setPitchOn(bool on)
{
    m_bPitchOn.store(on);
}

// GUI thread.
void CDPlayerEngine::setShowRemaining(bool showRemaining)
{
    m_bShowRemaining.store(showRemaining);
}

// ---------------------------------------------------------------------------
// Worker

// Worker: one request, a start's or a played-out half's.
void CDPlayerEngine::runNextJob()
{
    if (m_bStartRequested.exchange(false))
        runStartJob();
    else
        refillPlayedHalves();
}

// Worker: the table of contents, the track's place, the first two chunks.
void CDPlayerEngine::runStartJob()
{
    m_nStartJobs.fetch_add(1);
    const uint64_t session = m_nStartSession.load();
    const int track = m_nSelectedTrack.load();
    bool started = false;
    if (session == m_nSession.load())
    {
        std::lock_guard fill(m_fillMutex);
        started = openTrackLocked(track) && fillHalfLocked(0) == FillOutcome::Continue &&
                  fillHalfLocked(1) != FillOutcome::Failed;
    }
    std::lock_guard transport(m_transportMutex);
    // A Stop (or a Stop and a new Play) came meanwhile: that one wins.
    if (session != m_nSession.load() || m_transport.load() != CDTransportState::Starting)
        return;
    if (!started)
    {
        stopLocked();
        return;
    }
    m_nCurrentTrack.store(track);
    m_fElapsedSeconds.store(0.0);
    setTransport(CDTransportState::Playing);
}

// Worker, holding m_fillMutex. False when there is no disc, no such track
// or the track holds data.
bool CDPlayerEngine::openTrackLocked(int track)
{
    if (m_hDrive == 0 || m_bBufferError)
        return false;
    TOC toc{};
    if (ModifyCDParms(m_hDrive, CDP_MSF, 0) != 1 || ReadTOC(m_hDrive, &toc) != 1 ||
        track < toc.firstTrack || track > toc.lastTrack)
        return false;
    const int entry = track - toc.firstTrack;
    if ((toc.tracks[entry].adrControl & TOC_DATA_TRACK) != 0)
        return false;
    const int start = blockAddress(toc.tracks[entry]);
    const int end = blockAddress(toc.tracks[entry + 1]);
    if (end <= start)
        return false;

    TOC msf{};
    if (ModifyCDParms(m_hDrive, CDP_MSF, 1) == 1 && ReadTOC(m_hDrive, &msf) == 1)
        m_nTrackSeconds.store(secondsBetween(msf.tracks[entry], msf.tracks[entry + 1]));
    ModifyCDParms(m_hDrive, CDP_MSF, 0);

    m_nNextBlock = start;
    m_nBlocksLeft = end - start;
    m_bTrackRead = false;
    m_bEndReached = false;
    m_converter.reset();
    m_store.rewind();
    return true;
}

// Worker.
void CDPlayerEngine::refillPlayedHalves()
{
    for (int half = 0; half < 2; ++half)
    {
        FillOutcome outcome = FillOutcome::Continue;
        uint64_t session = 0;
        {
            std::lock_guard fill(m_fillMutex);
            const CDTransportState state = m_transport.load();
            // A stopped player's halves are filled anew by the next start.
            if (state != CDTransportState::Playing && state != CDTransportState::Paused)
                return;
            session = m_nSession.load();
            if (!m_store.claimForRefill(half))
                continue;
            outcome = fillHalfLocked(half);
        }
        if (outcome != FillOutcome::Continue)
        {
            stopAfterFill(session);
            return;
        }
    }
}

// Worker: the end of the track, or a chunk that could not be read.
void CDPlayerEngine::stopAfterFill(uint64_t session)
{
    std::lock_guard transport(m_transportMutex);
    // Only the playback that met its end stops, not one started since.
    if (session == m_nSession.load())
        stopLocked();
}

// Worker, holding m_fillMutex. Reads a chunk into `buffer`; a failed read is
// asked again for the same blocks, and the position moves only once a read
// succeeded.
bool CDPlayerEngine::readChunkLocked(TRACKBUF& buffer, int blocks)
{
    for (int attempt = 0; attempt < readAttempts; ++attempt)
    {
        buffer.startBlock = m_nNextBlock;
        buffer.blockCount = blocks;
        buffer.capacityBytes = CD_CHUNK_BYTES;
        buffer.lengthBytes = 0;
        buffer.startOffset = 0;
        int injected = m_nInjectedReadFailures.load();
        while (injected > 0 &&
               !m_nInjectedReadFailures.compare_exchange_weak(injected, injected - 1))
        {
        }
        if (injected > 0)
            continue;
        if (ReadCDAudioLBA(m_hDrive, &buffer) == 1)
            return true;
    }
    return false;
}

// Worker (start job or refill), holding m_fillMutex.
CDPlayerEngine::FillOutcome CDPlayerEngine::fillHalfLocked(int half)
{
    // The track's last chunk is in the other half: this one follows it and
    // is never played; once the reader has played that last chunk and hands
    // this half back, playback is over.
    if (m_bTrackRead)
    {
        m_store.publish(half, false, 0, true);
        if (m_bEndReached)
            return FillOutcome::EndOfTrack;
        m_bEndReached = true;
        return FillOutcome::Continue;
    }

    // Never a read of 0 blocks: libcdio calls it success and nothing is written.
    const int blocks = std::min(CD_CHUNK_BLOCKS, m_nBlocksLeft);
    TRACKBUF& buffer = *m_trackBuffers[half];
    if (blocks < 1 || !readChunkLocked(buffer, blocks))
        return FillOutcome::Failed;
    m_nNextBlock += blocks;
    m_nBlocksLeft -= blocks;
    const bool lastChunk = m_nBlocksLeft == 0;
    m_bTrackRead = lastChunk;

    // 16-bit little-endian stereo as stored on the disc, to floats; a short
    // chunk fills only its own part of the half.
    const size_t frames = static_cast<size_t>(blocks) * CD_BLOCK_FRAMES;
    float* raw = m_store.rawHalf(half);
    decodeDiscSamples(buffer.audio, frames * 2, raw);

    // The device's rate and the pitch as they are now.
    const double deviceRate = m_fDeviceRate.load();
    const bool pitchOn = m_bPitchOn.load();
    const double speedFactor = pitchOn ? 2.0 - m_nPitch.load() / 100.0 : 1.0;
    if (!pitchOn && std::abs(deviceRate - kDiscRate) <= rateTolerance)
    {
        // The next converted chunk starts a fresh stream, not from a frame
        // played long ago.
        m_converter.reset();
        m_fHalfFramesPerTrackSecond[half].store(kDiscRate);
        m_store.publish(half, false, frames * 2, lastChunk);
        return FillOutcome::Continue;
    }
    const double ratio = deviceRate * speedFactor / kDiscRate;
    const size_t droppedBefore = m_converter.droppedInputFrames();
    const long generated =
        m_converter.convert(raw, static_cast<long>(frames), m_store.convertedHalf(half),
                            static_cast<long>(m_store.convertedCapacity()), ratio, lastChunk);
    if (generated <= 0 || m_converter.droppedInputFrames() != droppedBefore)
        return FillOutcome::Failed;
    m_fHalfFramesPerTrackSecond[half].store(kDiscRate * ratio);
    m_store.publish(half, true, static_cast<size_t>(generated) * 2, lastChunk);
    return FillOutcome::Continue;
}

// Any thread.
int CDPlayerEngine::secondsBetween(const TOCTRACK& start, const TOCTRACK& end)
{
    int minutes = end.address[1] - start.address[1];
    int seconds = end.address[2] - start.address[2];
    if (seconds < 0)
    {
        seconds += 60;
        minutes -= 1;
    }
    return std::max(0, minutes * 60 + seconds);
}

// Worker, or any thread.
void CDPlayerEngine::decodeDiscSamples(const uint8_t* bytes, size_t samples, float* out) noexcept
{
    for (size_t sample = 0; sample < samples; ++sample)
    {
        const auto value = static_cast<int16_t>(bytes[2 * sample] | (bytes[2 * sample + 1] << 8));
        out[sample] = static_cast<float>(value) * (1.0f / 32768.0f);
    }
}

// ---------------------------------------------------------------------------
// Audio thread

void CDPlayerEngine::process(float**, float** out, long, long numOut, long frames) noexcept
{
    if (out == nullptr || numOut < 2 || out[0] == nullptr || out[1] == nullptr || frames < 1)
        return;
    float* left = out[0];
    float* right = out[1];
    m_bAudioInsideBlock.store(true);
    if (m_transport.load() == CDTransportState::Playing)
    {
        const double framesPerSecond =
            m_fHalfFramesPerTrackSecond[m_store.readingHalf()].load(std::memory_order_relaxed);
        const MP3HalfStore::ReadResult result =
            m_store.read(left, right, static_cast<size_t>(frames));
        if (result.halvesFinished > 0)
            m_worker.request(result.halvesFinished);
        m_fElapsedSeconds.store(m_fElapsedSeconds.load(std::memory_order_relaxed) +
                                    static_cast<double>(result.framesPlayed) / framesPerSecond,
                                std::memory_order_relaxed);
    }
    else
    {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    }
    m_bAudioInsideBlock.store(false);
    m_leftPeakDb.store(meter::blockDecibels(left, frames), std::memory_order_relaxed);
    m_rightPeakDb.store(meter::blockDecibels(right, frames), std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Panel state

int CDPlayerEngine::elapsedSeconds() const
{
    if (transportState() == CDTransportState::Stopped ||
        transportState() == CDTransportState::Starting)
        return 0;
    return static_cast<int>(m_fElapsedSeconds.load(std::memory_order_relaxed));
}

int CDPlayerEngine::remainingSeconds() const
{
    if (transportState() == CDTransportState::Stopped ||
        transportState() == CDTransportState::Starting)
        return 0;
    return std::max(0, m_nTrackSeconds.load() - elapsedSeconds());
}

int CDPlayerEngine::displayedSeconds() const
{
    return m_bShowRemaining.load() ? remainingSeconds() : elapsedSeconds();
}

// ---------------------------------------------------------------------------
// Notifications: on the thread that made the change, never the audio thread.

void CDPlayerEngine::notifyTransport(CDTransportState state)
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->transportChanged(state);
}

void CDPlayerEngine::notifySelection()
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->selectionChanged();
}
