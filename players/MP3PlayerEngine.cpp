#include "players/MP3PlayerEngine.h"

#include "platform/ThreadPriority.h"
#include "utilkit/MeterReading.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace
{

const char* const loadingText = "Loading...";
const char* const failedText = "Failed";
const char* const noFileText = "No File";

// The lowest rate an MP3 stream can have (MPEG 2.5): until a file's rate is
// known, a half is sized as if the file had it, so its conversion always fits.
constexpr double lowestMp3SampleRate = 8000.0;

// ID3v1 text is Latin-1; the title display takes UTF-8.
std::string latin1ToUtf8(const std::string& latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char character : latin1)
    {
        const auto code = static_cast<unsigned char>(character);
        if (code < 0x80)
        {
            utf8.push_back(character);
        }
        else
        {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

// "artist-title" from the ID3v2 tag if it names a title, else from the
// ID3v1 tag, else the entry's name.
std::string titleFor(const CMP3Info& info, const std::string& entryName)
{
    if (!info.GetId3v2Title().empty())
        return info.GetId3v2Artist() + "-" + info.GetId3v2Title();
    if (info.GetTitle().empty())
        return entryName;
    return latin1ToUtf8(info.GetArtist()) + "-" + latin1ToUtf8(info.GetTitle());
}

} // namespace

MP3PlayerEngine::MP3PlayerEngine(const RackProcessor& unit)
    : m_unit(unit), m_refillWorker("mp3 refill", [this] { refillConsumedHalves(); })
{
    setTitle(noFileText);
    m_playlist.setLastOpenPath(MP3Settings{}.lastOpenPath);
    m_loadThread = std::thread([this] { loadThreadMain(); });
}

MP3PlayerEngine::~MP3PlayerEngine()
{
    setListener(nullptr);
    m_bShuttingDown.store(true);
    {
        std::lock_guard transport(m_transportMutex);
        m_bUserStop.store(true);
        stopLocked(StopReason::User);
    }
    {
        std::lock_guard load(m_loadMutex);
    }
    m_loadWake.notify_all();
    m_loadThread.join();
    m_refillWorker.shutdown();
}

// GUI thread.
void MP3PlayerEngine::setListener(MP3PlayerListener* listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_listener = listener;
}

// GUI thread, device stopped.
void MP3PlayerEngine::prepare(double sampleRate)
{
    if (sampleRate > 0.0)
        m_fDeviceRate.store(sampleRate);
}

// GUI thread, device stopped.
void MP3PlayerEngine::reset()
{
    m_leftPeakDb.store(-120.0f, std::memory_order_relaxed);
    m_rightPeakDb.store(-120.0f, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Transport

// GUI or MIDI thread; the refill worker reaches playLocked for play-all.
void MP3PlayerEngine::play()
{
    std::lock_guard transport(m_transportMutex);
    m_nFailedLoadsInARow = 0;
    playLocked();
}

// GUI or MIDI thread (Play), refill worker or load thread (play-all advance
// inside a stop); the caller holds m_transportMutex.
void MP3PlayerEngine::playLocked()
{
    m_bUserStop.store(false);
    if (!m_bSelectionPending.load())
    {
        if (m_transport.load() == MP3TransportState::Paused)
            setTransport(MP3TransportState::Playing);
        return;
    }
    if (m_playlist.selectedIndex() == 0 && m_playlist.lastIndex() > 0)
    {
        // "All": start at the first entry and play the whole list.
        m_playlist.setSelectedIndex(1);
        m_bPlayAll.store(true);
        notifyPlaylist();
        notifyPlayAll(true);
    }
    m_bFileOpen = false;
    stopLocked(StopReason::Replace);
    {
        std::lock_guard decoder(m_decoderMutex);
        m_decoder.closeFile();
    }
    setTitle(loadingText);
    m_playlist.setCurrentIndex(m_playlist.selectedIndex());
    postLoadRequest(m_playlist.currentIndex());
}

// GUI or MIDI thread.
void MP3PlayerEngine::pause()
{
    std::lock_guard transport(m_transportMutex);
    const MP3TransportState state = m_transport.load();
    if (state == MP3TransportState::Playing)
        setTransport(MP3TransportState::Paused);
    else if (state == MP3TransportState::Paused)
        setTransport(MP3TransportState::Playing);
}

// GUI or MIDI thread.
void MP3PlayerEngine::stop()
{
    std::lock_guard transport(m_transportMutex);
    if (m_transport.load() == MP3TransportState::Stopped)
        return;
    m_bUserStop.store(true);
    stopLocked(StopReason::User);
}

// GUI or MIDI thread (Stop, Play), load thread (before a start), refill
// worker (end of a track), destructor; the caller holds m_transportMutex.
void MP3PlayerEngine::stopLocked(StopReason reason)
{
    if (m_transport.load() == MP3TransportState::Stopped)
        return;
    m_transport.store(MP3TransportState::Stopped);
    // From here on the audio thread leaves the store alone.
    waitForAudioBlockToEnd();
    m_bSelectionPending.store(true);
    m_fElapsedSeconds.store(0.0);
    {
        std::lock_guard decoder(m_decoderMutex);
        m_decoder.drain();
        m_bEndReached = false;
        m_bDecoderEndOfFile = false;
    }
    notifyTransport(MP3TransportState::Stopped);

    // A track that ended by itself leads to the next one in play-all mode;
    // a stop for any other reason never advances.
    if (reason != StopReason::EndOfTrack || !m_bPlayAll.load() || m_bUserStop.load() ||
        m_bShuttingDown.load())
        return;
    if (m_playlist.lastIndex() == 0)
    {
        setTitle(noFileText);
        return;
    }
    m_playlist.advanceCurrent();
    notifyPlaylist();
    playLocked();
}

// Load thread; the caller holds m_transportMutex.
void MP3PlayerEngine::startLocked()
{
    const MP3TransportState state = m_transport.load();
    if (!m_bFileOpen || state != MP3TransportState::Stopped || !m_unit.m_bRunning.load() ||
        !m_unit.m_bRouted.load() || m_bShuttingDown.load())
    {
        if (state == MP3TransportState::Paused)
            setTransport(MP3TransportState::Playing);
        return;
    }
    m_bSelectionPending.store(false);
    {
        std::lock_guard decoder(m_decoderMutex);
        m_decoder.begin();
        m_converter.reset();
        m_bEndReached = false;
        m_bDecoderEndOfFile = false;
        ++m_nSession;
        m_store.rewind();
        // A stream that ends here (a short file, a decoding error) ends at
        // its last decoded frame, and the refill after it stops playback.
        fillHalfLocked(0);
        fillHalfLocked(1);
        m_nDurationSeconds.store(m_info.GetDuration());
    }
    m_fElapsedSeconds.store(0.0);
    setTransport(MP3TransportState::Playing);
}

// Any thread holding m_transportMutex (GUI, MIDI, load thread, refill worker).
void MP3PlayerEngine::setTransport(MP3TransportState state)
{
    m_transport.store(state);
    notifyTransport(state);
}

// The audio thread marks each block it works in; once the transport has left
// Playing, the first moment it is outside a block it can no longer be reading
// the store (it reads the transport after marking the block).
// Any thread stopping playback; never the audio thread.
void MP3PlayerEngine::waitForAudioBlockToEnd() const
{
    while (m_bAudioInsideBlock.load())
        std::this_thread::yield();
}

// ---------------------------------------------------------------------------
// Filling the halves

// Load thread or refill worker, holding m_decoderMutex.
double MP3PlayerEngine::fileSampleRateLocked() const
{
    const long streamRate = m_decoder.streamSampleRate();
    return streamRate > 0 ? static_cast<double>(streamRate) : m_info.GetSampleRate();
}

// Load thread (the first two fills) or refill worker, holding m_decoderMutex.
MP3PlayerEngine::FillOutcome MP3PlayerEngine::fillHalfLocked(int half)
{
    // The reader has played the stream's last half: the file is over.
    if (m_bEndReached)
    {
        m_store.publish(half, false, 0, true);
        return FillOutcome::StopPlayback;
    }
    // The stream ended in the fill before: this half would follow the last
    // one, and the reader never gets to it.
    if (m_bDecoderEndOfFile)
    {
        m_bEndReached = true;
        m_store.publish(half, false, 0, true);
        return FillOutcome::Continue;
    }

    const double deviceRate = m_fDeviceRate.load();

    // Decode as much as converts into one converted half.
    const long halfFrames = static_cast<long>(MP3HalfStore::halfFrames);
    const long convertedCapacity = static_cast<long>(MP3HalfStore::convertedFrames);
    const double knownRate = fileSampleRateLocked();
    const double sizingRate = knownRate > 0.0 ? knownRate : lowestMp3SampleRate;
    const long framesToDecode = MP3RateConverter::conversionNeeded(sizingRate, deviceRate)
                                    ? MP3RateConverter::inputFramesThatFit(
                                          deviceRate / sizingRate, halfFrames, convertedCapacity)
                                    : halfFrames;

    float* raw = m_store.rawHalf(half);
    const MP3StreamDecoder::Result decoded =
        m_decoder.decode(raw, static_cast<size_t>(framesToDecode) * 2);
    // A decoder that cannot go on ends the stream where its output ends, as
    // the end of the file does.
    const bool streamEnded = decoded.outcome != MP3StreamDecoder::Outcome::Filled;
    if (streamEnded)
        m_bDecoderEndOfFile = true;
    const long decodedFrames = static_cast<long>(decoded.floatsWritten / 2);

    // The half ends at its last decoded frame: at the end of the stream no
    // silence is added, so the next entry of play-all follows at once.
    const double fileRate = fileSampleRateLocked();
    if (MP3RateConverter::conversionNeeded(fileRate, deviceRate))
    {
        const double ratio = deviceRate / fileRate;
        const long inputFrames =
            std::min(decodedFrames,
                     MP3RateConverter::inputFramesThatFit(ratio, halfFrames, convertedCapacity));
        const long generated = m_converter.convert(raw, inputFrames, m_store.convertedHalf(half),
                                                   convertedCapacity, ratio, streamEnded);
        m_store.publish(half, true, static_cast<size_t>(generated) * 2, streamEnded);
    }
    else
    {
        m_store.publish(half, false, static_cast<size_t>(decodedFrames) * 2, streamEnded);
    }
    return FillOutcome::Continue;
}

// ---------------------------------------------------------------------------
// Load thread

// Any thread running Play (GUI, MIDI, refill worker, load thread).
void MP3PlayerEngine::postLoadRequest(int index)
{
    {
        std::lock_guard load(m_loadMutex);
        m_pendingLoad = LoadRequest{m_nLoadGeneration.fetch_add(1) + 1, index};
    }
    m_loadWake.notify_one();
}

// Load thread.
void MP3PlayerEngine::loadThreadMain()
{
    platform::setCurrentThreadName("mp3 loader");
    // Someone waits for every load: at a lower priority it starves behind any
    // busy process, and Play takes seconds to sound.
    platform::setCurrentThreadPriority(platform::ThreadPriority::Normal);
    while (true)
    {
        LoadRequest request;
        {
            std::unique_lock load(m_loadMutex);
            m_loadWake.wait(load,
                            [this] { return m_pendingLoad.has_value() || m_bShuttingDown.load(); });
            if (m_bShuttingDown.load())
                return;
            request = *m_pendingLoad;
            m_pendingLoad.reset();
            m_bLoadRunning = true;
        }
        performLoad(request);
        std::lock_guard load(m_loadMutex);
        m_bLoadRunning = false;
    }
}

// Load thread.
void MP3PlayerEngine::performLoad(const LoadRequest& request)
{
    std::string name, path;
    if (!m_playlist.entry(request.index, name, path))
    {
        if (request.generation == m_nLoadGeneration.load())
            setTitle(noFileText);
        return;
    }
    CMP3Info info;
    const bool readable = info.Read(path) && MP3StreamDecoder::decodesAudio(path);
    std::FILE* file = readable ? std::fopen(path.c_str(), "rb") : nullptr;

    std::lock_guard transport(m_transportMutex);
    // A later Play asked for another file meanwhile: that one wins.
    if (request.generation != m_nLoadGeneration.load() || m_bShuttingDown.load())
    {
        if (file != nullptr)
            std::fclose(file);
        return;
    }
    if (file == nullptr)
    {
        // Missing, empty or not MP3: nothing can play.
        setTitle(failedText);
        skipFailedEntryLocked();
        return;
    }
    m_nFailedLoadsInARow = 0;
    stopLocked(StopReason::Replace);
    {
        std::lock_guard decoder(m_decoderMutex);
        m_decoder.adoptFile(file);
        m_info = info;
    }
    setTitle(titleFor(info, name));
    m_bFileOpen = true;
    startLocked();
}

// Load thread, holding m_transportMutex. Play-all keeps the music going past
// an entry that cannot play, but goes round the list at most once.
void MP3PlayerEngine::skipFailedEntryLocked()
{
    if (!m_bPlayAll.load() || m_bUserStop.load() || m_bShuttingDown.load() ||
        ++m_nFailedLoadsInARow >= m_playlist.lastIndex())
        return;
    m_playlist.advanceCurrent();
    notifyPlaylist();
    m_bSelectionPending.store(true);
    playLocked();
}

// ---------------------------------------------------------------------------
// Refill worker

// Refill worker.
void MP3PlayerEngine::refillConsumedHalves()
{
    for (int half = 0; half < 2; ++half)
    {
        FillOutcome outcome = FillOutcome::Continue;
        uint64_t session = 0;
        {
            std::lock_guard decoder(m_decoderMutex);
            // A stopped player's halves are filled anew by the next start.
            if (m_transport.load() == MP3TransportState::Stopped)
                return;
            if (!m_store.claimForRefill(half))
                continue;
            outcome = fillHalfLocked(half);
            session = m_nSession;
        }
        if (outcome == FillOutcome::StopPlayback)
        {
            stopAtEndOfTrack(session);
            return;
        }
    }
}

// Refill worker.
void MP3PlayerEngine::stopAtEndOfTrack(uint64_t session)
{
    std::lock_guard transport(m_transportMutex);
    {
        // Only the playback that met its end stops, not one started since.
        std::lock_guard decoder(m_decoderMutex);
        if (session != m_nSession)
            return;
    }
    stopLocked(StopReason::EndOfTrack);
}

// ---------------------------------------------------------------------------
// Audio thread

// Audio thread.
void MP3PlayerEngine::process(float**, float** out, long, long numOut, long frames) noexcept
{
    if (out == nullptr || numOut < 2 || out[0] == nullptr || out[1] == nullptr || frames <= 0)
        return;
    float* left = out[0];
    float* right = out[1];
    m_bAudioInsideBlock.store(true);
    if (m_transport.load() == MP3TransportState::Playing)
    {
        const MP3HalfStore::ReadResult result =
            m_store.read(left, right, static_cast<size_t>(frames));
        if (result.halvesFinished > 0)
            m_refillWorker.request(result.halvesFinished);
        m_fElapsedSeconds.store(m_fElapsedSeconds.load(std::memory_order_relaxed) +
                                    static_cast<double>(result.framesPlayed) /
                                        m_fDeviceRate.load(std::memory_order_relaxed),
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
// Playlist

// GUI thread.
int MP3PlayerEngine::addFiles(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return 0;
    const int added = m_playlist.addFiles(paths);
    m_bSelectionPending.store(true);
    notifyPlaylist();
    return added;
}

// GUI thread.
void MP3PlayerEngine::removeSelected()
{
    const MP3Playlist::RemoveOutcome outcome = m_playlist.removeSelected();
    if (outcome == MP3Playlist::RemoveOutcome::Nothing)
        return;
    if (outcome == MP3Playlist::RemoveOutcome::RemovedSelected)
        m_bSelectionPending.store(true);
    notifyPlaylist();
}

// GUI thread.
void MP3PlayerEngine::selectEntry(int index)
{
    if (index == m_playlist.selectedIndex() || index < 0 || index > m_playlist.lastIndex())
        return;
    m_playlist.setSelectedIndex(index);
    m_bSelectionPending.store(true);
}

// GUI thread.
void MP3PlayerEngine::setPlayAll(bool playAll)
{
    m_bPlayAll.store(playAll);
}

// GUI thread.
void MP3PlayerEngine::setShowRemaining(bool showRemaining)
{
    m_bShowRemaining.store(showRemaining);
}

// ---------------------------------------------------------------------------
// Panel state

// Any thread but audio.
std::string MP3PlayerEngine::title() const
{
    std::lock_guard lock(m_titleMutex);
    return m_strTitle;
}

// Any thread (GUI timer, tests).
int MP3PlayerEngine::elapsedSeconds() const
{
    if (transportState() == MP3TransportState::Stopped)
        return 0;
    return static_cast<int>(m_fElapsedSeconds.load(std::memory_order_relaxed));
}

int MP3PlayerEngine::remainingSeconds() const
{
    if (transportState() == MP3TransportState::Stopped)
        return 0;
    return std::max(0, m_nDurationSeconds.load() - elapsedSeconds());
}

int MP3PlayerEngine::displayedSeconds() const
{
    return m_bShowRemaining.load() ? remainingSeconds() : elapsedSeconds();
}

// Test or tool thread driving Process itself.
void MP3PlayerEngine::waitUntilIdle() const
{
    while (true)
    {
        bool busy = !m_refillWorker.idle();
        {
            std::lock_guard load(m_loadMutex);
            busy = busy || m_pendingLoad.has_value() || m_bLoadRunning;
        }
        if (!busy)
            return;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// ---------------------------------------------------------------------------
// Notifications: on the thread that made the change (GUI, MIDI, load thread,
// refill worker), never the audio thread.

void MP3PlayerEngine::setTitle(const std::string& title)
{
    {
        std::lock_guard lock(m_titleMutex);
        m_strTitle = title;
    }
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->titleChanged(title);
}

void MP3PlayerEngine::notifyTransport(MP3TransportState state)
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->transportChanged(state);
}

void MP3PlayerEngine::notifyPlaylist()
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->playlistChanged();
}

void MP3PlayerEngine::notifyPlayAll(bool playAll)
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener != nullptr)
        m_listener->playAllChanged(playAll);
}

// ---------------------------------------------------------------------------
// Settings

// GUI thread, at control creation.
void MP3PlayerEngine::restoreSettings(const MP3Settings& settings)
{
    m_playlist.setLastOpenPath(settings.lastOpenPath);
    m_playlist.restore(settings.lastIndex, settings.lastPlayed, settings.names, settings.paths);
    if (settings.lastIndex != 0)
        m_bSelectionPending.store(true);
    notifyPlaylist();
}

// GUI thread: when the playlist changes, and at exit.
MP3Settings MP3PlayerEngine::settings() const
{
    MP3Settings settings;
    settings.lastOpenPath = m_playlist.lastOpenPath();
    settings.names = m_playlist.names();
    settings.paths = m_playlist.paths();
    settings.lastIndex = static_cast<int>(settings.names.size()) - 1;
    settings.lastPlayed = m_playlist.currentIndex();
    return settings;
}
