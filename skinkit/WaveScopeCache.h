#pragma once

// WaveScopeCache: everything of the wave scope but its window. It analyses a
// sound file once into a peak cache "<sound file>.tuv" (per point the largest
// and smallest 16-bit sample of each of up to two channels), keeps the one
// per-file setting the cache carries (the loop flag), and turns the cache
// into one (maximum, minimum) pair per pixel column.
//
// Cache file, little-endian: "TUVO"; an 18-byte format block, zero but for
// the channel count (16 bits at offset 6) and the sample size 16 (offset
// 18); the loop flag (one byte at 22); "data"; the data size in bytes
// (32 bits at 27); from offset 31 the point records. The records start at an
// odd offset, so they are read with memcpy, never through a cast pointer.
//
// A cache is trusted only when magic, channel count, data size, its own size
// and its time (not older than the sound file) prove it belongs to this file
// at this width; otherwise it is rebuilt, keeping the loop flag. Caches are
// written to a temporary file and renamed, so a crash never leaves half a
// cache. Where the sound file's folder cannot be written the cache goes to a
// mirror of the sound file's absolute path under
// $XDG_CACHE_HOME/corvane/wavescope/ and is looked up there next time.
//
// Threads: open(), setLoop(), loop(), columns() and cancel() on the owner's
// thread (the GUI thread for the scope). Analyses run one at a time on a
// single worker at the lowest priority (nobody waits for it), started at the
// first open(). It reads the file in blocks of 65536 frames and checks for
// cancellation after each. A new file cancels the running analysis without
// waiting for it (a starved low-priority read must not hold up the GUI): the
// worker drops it at its next block, publishes and writes nothing of it, and
// only then takes the newest file asked for. So two analyses never overlap
// and never both write a cache. A mutex guards the loop flag and the results;
// a flag set during the analysis is stored once the cache is in place. The
// worker reports through the finished callback. Never used on the audio
// thread.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wavescope
{

inline constexpr size_t kHeaderSize = 31;
inline constexpr size_t kLoopFlagOffset = 22;
// About ten points per pixel column, so a column's peaks come from several points.
inline constexpr int64_t kPointsPerColumn = 10;
// Frames read per call: one-frame reads made a 5-minute file take seconds.
inline constexpr int64_t kReadBlockFrames = 65536;

// How a file of `frames` frames is cut into points for a scope `width` pixels wide.
struct Geometry
{
    int64_t frames = 0;
    int channels = 0; // in the cache: 1 or 2 (the first two of a larger file)
    int64_t framesPerPoint = 0;
    int64_t points = 0;
    uint32_t dataSize = 0; // channels × points × 4 bytes
};
// Frames per point is frames / (width × 10), at least 1; points = frames /
// framesPerPoint + 1.
Geometry geometryFor(int64_t frames, int fileChannels, int width);

// One point or one column of one channel.
struct Peaks
{
    int32_t maximum = 0;
    int32_t minimum = 0;
};

// Where a sound file's cache lives: beside it, or under the cache mirror.
std::string besidePath(const std::string& soundPath);
std::string mirrorPath(const std::string& soundPath);

// The cache header for a geometry and loop flag.
std::array<unsigned char, kHeaderSize> header(const Geometry& geometry, bool loop);

} // namespace wavescope

class WaveScopeCache
{
public:
    WaveScopeCache() = default;
    // Cancels a running analysis and joins its worker.
    ~WaveScopeCache();
    WaveScopeCache(const WaveScopeCache&) = delete;
    WaveScopeCache& operator=(const WaveScopeCache&) = delete;

    // Worker thread, when an analysis has finished (cache written or found,
    // columns ready) or failed; not called for a cancelled analysis. Set
    // before the first open().
    std::function<void()> finished;

    // Opens the sound file and starts analysing it for a scope `width`
    // pixels wide (a running analysis is cancelled first). False, with
    // nothing changed, when libsndfile cannot open it or it has no frames.
    bool open(const std::string& soundPath, int width);
    // Stops a running analysis and ends the worker; returns once it has
    // ended (within one block read). A later open() starts it again.
    void cancel();
    bool busy() const { return m_bBusy.load(); }

    // The loop flag stored in the cache. While an analysis runs, the flag the
    // cache will get; otherwise read from the cache file (true when there is
    // none, as for a new cache).
    bool loop() const;
    // Stores the loop flag; during an analysis it goes into the cache being
    // written. Nothing is stored when there is no file.
    void setLoop(bool loop);

    // The file's analysis, valid once the analysis has finished.
    wavescope::Geometry geometry() const;
    bool stereo() const { return geometry().channels == 2; }
    std::string soundPath() const;
    // The cache in use ("" when none could be found or written).
    std::string cachePath() const;

    // Column peaks of channel 0 and 1 for the points [viewStart, viewEnd),
    // `width` columns, as loaded by the last analysis or reloadColumns.
    std::array<std::vector<wavescope::Peaks>, 2> columns() const;
    // Owner's thread, while idle: loads the columns again from the cache,
    // for another view range (viewEnd 0: all points). False without a cache.
    bool reloadColumns(int64_t viewStart, int64_t viewEnd, int width);

    // Widget-free helpers the analysis is made of (tests and the benchmark use them).
    // Reads the cache file if it is valid for the sound file and geometry.
    static bool cacheIsValid(const std::string& cachePath, const std::string& soundPath,
                             const wavescope::Geometry& geometry);
    // The loop flag of the sound file's cache: the valid one, else whatever
    // cache exists; none without a cache.
    static std::optional<bool> storedLoopFlag(const std::string& soundPath,
                                              const wavescope::Geometry& geometry);
    static std::optional<bool> readLoopFlag(const std::string& cachePath);
    // The point records (channels × 4 bytes each, little-endian); false when
    // cancelled or the file could not be read.
    static bool analyse(const std::string& soundPath, const wavescope::Geometry& geometry,
                        std::vector<unsigned char>& records, const std::atomic<bool>& cancelled);
    // Column peaks of a cache file's records.
    static bool loadColumns(const std::string& cachePath, int channels, int64_t viewStart,
                            int64_t viewEnd, int width,
                            std::array<std::vector<wavescope::Peaks>, 2>& columns);

private:
    // One analysis asked for by open().
    struct Request
    {
        std::string soundPath;
        wavescope::Geometry geometry;
        int width = 0;
        bool loopAtStart = true;
    };

    void workerMain();
    void analysisMain(const Request& request);
    // Writes the cache beside the sound file, else under the mirror; returns
    // the path written, "" when neither could be written.
    std::string writeCache(const std::string& soundPath, const wavescope::Geometry& geometry,
                           const std::vector<unsigned char>& records, bool loop);

    mutable std::mutex m_mutex;
    std::string m_strSoundPath;
    std::string m_strCachePath;
    wavescope::Geometry m_geometry;
    bool m_bLoop = true;
    std::array<std::vector<wavescope::Peaks>, 2> m_columns;

    std::atomic<bool> m_bBusy{false};

    // The worker's queue of one: a newer file replaces one not yet taken.
    // Lock order: m_requestMutex before m_mutex.
    std::mutex m_requestMutex;
    std::condition_variable m_requestWake;
    std::optional<Request> m_pendingRequest;
    bool m_bQuit = false;
    // Set for the analysis running when another is asked for or the owner
    // cancels; cleared as the worker takes the next request.
    std::atomic<bool> m_bCancelled{false};
    std::thread m_worker;
};
