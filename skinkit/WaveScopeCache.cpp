#include "skinkit/WaveScopeCache.h"

#include "platform/ThreadPriority.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace wavescope
{

namespace
{
constexpr unsigned char kMagic[4] = {'T', 'U', 'V', 'O'};
constexpr unsigned char kDataTag[4] = {'d', 'a', 't', 'a'};
constexpr size_t kChannelsOffset = 6;
constexpr size_t kBitsOffset = 18;
constexpr size_t kDataTagOffset = 23;
constexpr size_t kDataSizeOffset = 27;
// The cache always holds 16-bit samples.
constexpr uint16_t kBitsPerSample = 16;
// A record holds a 16-bit maximum and minimum per channel.
constexpr size_t kBytesPerChannelRecord = 4;

void putLittle16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>(value >> 8);
}
void putLittle32(unsigned char* at, uint32_t value)
{
    for (int byte = 0; byte < 4; ++byte)
        at[byte] = static_cast<unsigned char>((value >> (8 * byte)) & 0xFF);
}
uint16_t little16(const unsigned char* at)
{
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}
uint32_t little32(const unsigned char* at)
{
    uint32_t value = 0;
    for (int byte = 3; byte >= 0; --byte)
        value = (value << 8) | at[byte];
    return value;
}
int16_t recordSample(const unsigned char* record)
{
    // Records sit at odd offsets: copy the bytes out instead of casting.
    uint16_t raw = 0;
    std::memcpy(&raw, record, sizeof raw);
    if constexpr (std::endian::native == std::endian::big)
        raw = static_cast<uint16_t>((raw >> 8) | (raw << 8));
    return static_cast<int16_t>(raw);
}

// A normalised float sample as the cache's 16-bit value: libsndfile scales
// 16-bit files by 1/32768 when reading floats, so this gives their samples back exactly.
int16_t toSixteenBit(float sample)
{
    const long scaled = std::lrint(static_cast<double>(sample) * 32768.0);
    return static_cast<int16_t>(std::clamp(scaled, -32768L, 32767L));
}

bool readHeader(const std::string& path, std::array<unsigned char, kHeaderSize>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    return read && std::memcmp(bytes.data(), kMagic, sizeof kMagic) == 0;
}

bool notOlder(const struct stat& cache, const struct stat& sound)
{
    if (cache.st_mtim.tv_sec != sound.st_mtim.tv_sec)
        return cache.st_mtim.tv_sec > sound.st_mtim.tv_sec;
    return cache.st_mtim.tv_nsec >= sound.st_mtim.tv_nsec;
}
} // namespace

Geometry geometryFor(int64_t frames, int fileChannels, int width)
{
    Geometry geometry;
    geometry.frames = std::max<int64_t>(frames, 0);
    geometry.channels = std::clamp(fileChannels, 1, 2);
    // Below ten frames per column a point is one frame: never zero frames per point.
    geometry.framesPerPoint =
        std::max<int64_t>(1, geometry.frames / (std::max(width, 1) * kPointsPerColumn));
    geometry.points = geometry.frames / geometry.framesPerPoint + 1;
    geometry.dataSize = static_cast<uint32_t>(geometry.channels * geometry.points *
                                              static_cast<int64_t>(kBytesPerChannelRecord));
    return geometry;
}

std::string besidePath(const std::string& soundPath)
{
    return soundPath + ".tuv";
}

std::string mirrorPath(const std::string& soundPath)
{
    std::string base;
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    if (cacheHome != nullptr && cacheHome[0] == '/')
    {
        base = cacheHome;
    }
    else
    {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.cache";
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(soundPath, error);
    return base + "/corvane/wavescope" + (error ? soundPath : absolute.string()) + ".tuv";
}

std::array<unsigned char, kHeaderSize> header(const Geometry& geometry, bool loop)
{
    std::array<unsigned char, kHeaderSize> bytes{};
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    putLittle16(bytes.data() + kChannelsOffset, static_cast<uint16_t>(geometry.channels));
    putLittle16(bytes.data() + kBitsOffset, kBitsPerSample);
    bytes[kLoopFlagOffset] = loop ? 1 : 0;
    std::memcpy(bytes.data() + kDataTagOffset, kDataTag, sizeof kDataTag);
    putLittle32(bytes.data() + kDataSizeOffset, geometry.dataSize);
    return bytes;
}

} // namespace wavescope

using wavescope::Geometry;
using wavescope::Peaks;

namespace
{
using Columns = std::array<std::vector<Peaks>, 2>;

bool readRecords(const std::string& cachePath, const Geometry& geometry,
                 std::vector<unsigned char>& records)
{
    std::FILE* file = std::fopen(cachePath.c_str(), "rb");
    if (file == nullptr)
        return false;
    records.resize(geometry.dataSize);
    const bool read = std::fseek(file, wavescope::kHeaderSize, SEEK_SET) == 0 &&
                      std::fread(records.data(), 1, records.size(), file) == records.size();
    std::fclose(file);
    return read;
}

// Column j takes the next point and then further points until the nearest
// integer to (j + 1) × points-per-column have been taken, keeping the largest
// maximum and the smallest minimum.
Columns columnsFromRecords(const std::vector<unsigned char>& records, int channels,
                           int64_t viewStart, int64_t viewEnd, int width)
{
    Columns columns;
    const size_t columnCount = static_cast<size_t>(std::max(width, 0));
    columns[0].assign(columnCount, Peaks{});
    columns[1].assign(columnCount, Peaks{});
    const size_t recordSize = static_cast<size_t>(channels) * 4;
    const int64_t points = static_cast<int64_t>(records.size() / std::max<size_t>(recordSize, 1));
    viewStart = std::clamp<int64_t>(viewStart, 0, points);
    viewEnd = std::clamp<int64_t>(viewEnd <= 0 ? points : viewEnd, viewStart, points);
    if (width <= 0 || recordSize == 0)
        return columns;
    const double pointsPerColumn = static_cast<double>(viewEnd - viewStart) / width;
    int64_t next = viewStart;
    for (size_t column = 0; column < columnCount && next < viewEnd; ++column)
    {
        const int64_t until = std::max<int64_t>(
            next + 1, viewStart + std::llround(static_cast<double>(column + 1) * pointsPerColumn));
        for (int channel = 0; channel < channels; ++channel)
        {
            Peaks& peaks = columns[static_cast<size_t>(channel)][column];
            for (int64_t point = next; point < std::min(until, viewEnd); ++point)
            {
                const unsigned char* record = records.data() +
                                              static_cast<size_t>(point) * recordSize +
                                              static_cast<size_t>(channel) * 4;
                const int32_t maximum = wavescope::recordSample(record);
                const int32_t minimum = wavescope::recordSample(record + 2);
                peaks.maximum = point == next ? maximum : std::max(peaks.maximum, maximum);
                peaks.minimum = point == next ? minimum : std::min(peaks.minimum, minimum);
            }
        }
        next = std::min(until, viewEnd);
    }
    return columns;
}

bool writeWhole(int descriptor, const unsigned char* bytes, size_t size)
{
    while (size > 0)
    {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool writeLoopByte(const std::string& cachePath, bool loop)
{
    std::FILE* file = std::fopen(cachePath.c_str(), "r+b");
    if (file == nullptr)
        return false;
    const bool written = std::fseek(file, wavescope::kLoopFlagOffset, SEEK_SET) == 0 &&
                         std::fputc(loop ? 1 : 0, file) != EOF;
    return std::fclose(file) == 0 && written;
}
} // namespace

WaveScopeCache::~WaveScopeCache()
{
    cancel();
}

bool WaveScopeCache::cacheIsValid(const std::string& cachePath, const std::string& soundPath,
                                  const Geometry& geometry)
{
    struct stat cacheStat
    {
    };
    struct stat soundStat
    {
    };
    if (::stat(cachePath.c_str(), &cacheStat) != 0 || ::stat(soundPath.c_str(), &soundStat) != 0)
        return false;
    if (static_cast<uint64_t>(cacheStat.st_size) != wavescope::kHeaderSize + geometry.dataSize ||
        !wavescope::notOlder(cacheStat, soundStat))
        return false;
    std::array<unsigned char, wavescope::kHeaderSize> bytes{};
    if (!wavescope::readHeader(cachePath, bytes))
        return false;
    return wavescope::little16(bytes.data() + wavescope::kChannelsOffset) == geometry.channels &&
           wavescope::little16(bytes.data() + wavescope::kBitsOffset) ==
               wavescope::kBitsPerSample &&
           std::memcmp(bytes.data() + wavescope::kDataTagOffset, wavescope::kDataTag, 4) == 0 &&
           wavescope::little32(bytes.data() + wavescope::kDataSizeOffset) == geometry.dataSize;
}

std::optional<bool> WaveScopeCache::storedLoopFlag(const std::string& soundPath,
                                                   const Geometry& geometry)
{
    const std::string candidates[] = {wavescope::besidePath(soundPath),
                                      wavescope::mirrorPath(soundPath)};
    // The cache that belongs to the file wins over a stale one (a stale cache
    // beside a file in a read-only folder, a fresh one in the mirror).
    for (const std::string& path : candidates)
        if (cacheIsValid(path, soundPath, geometry))
            return readLoopFlag(path);
    for (const std::string& path : candidates)
        if (const std::optional<bool> flag = readLoopFlag(path))
            return flag;
    return std::nullopt;
}

std::optional<bool> WaveScopeCache::readLoopFlag(const std::string& cachePath)
{
    std::array<unsigned char, wavescope::kHeaderSize> bytes{};
    if (!wavescope::readHeader(cachePath, bytes))
        return std::nullopt;
    return bytes[wavescope::kLoopFlagOffset] != 0;
}

bool WaveScopeCache::analyse(const std::string& soundPath, const Geometry& geometry,
                             std::vector<unsigned char>& records,
                             const std::atomic<bool>& cancelled)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(soundPath.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return false;
    const int fileChannels = std::max(info.channels, 1);
    const int channels = geometry.channels;
    const size_t recordSize = static_cast<size_t>(channels) * 4;
    records.assign(static_cast<size_t>(geometry.points) * recordSize, 0);
    std::vector<float> block(static_cast<size_t>(wavescope::kReadBlockFrames * fileChannels));

    // Peaks are kept as floats while a point fills and converted once per point.
    float maximum[2] = {0.0f, 0.0f};
    float minimum[2] = {0.0f, 0.0f};
    int64_t point = 0;
    int64_t inPoint = 0;
    auto emit = [&]
    {
        unsigned char* record = records.data() + static_cast<size_t>(point) * recordSize;
        for (int channel = 0; channel < channels; ++channel)
        {
            wavescope::putLittle16(
                record + channel * 4,
                static_cast<uint16_t>(wavescope::toSixteenBit(maximum[channel])));
            wavescope::putLittle16(
                record + channel * 4 + 2,
                static_cast<uint16_t>(wavescope::toSixteenBit(minimum[channel])));
        }
        ++point;
        inPoint = 0;
    };

    bool ok = true;
    while (point < geometry.points)
    {
        if (cancelled.load(std::memory_order_relaxed))
        {
            ok = false;
            break;
        }
        const sf_count_t got = sf_readf_float(file, block.data(), wavescope::kReadBlockFrames);
        if (got <= 0)
            break;
        // The block in runs that end at point boundaries: each run is one
        // tight max/min loop per channel.
        for (sf_count_t frame = 0; frame < got && point < geometry.points;)
        {
            const sf_count_t run =
                std::min<sf_count_t>(got - frame, geometry.framesPerPoint - inPoint);
            for (int channel = 0; channel < channels; ++channel)
            {
                const float* samples = block.data() + frame * fileChannels + channel;
                float runMaximum = inPoint == 0 ? samples[0] : maximum[channel];
                float runMinimum = inPoint == 0 ? samples[0] : minimum[channel];
                for (sf_count_t index = 0; index < run; ++index)
                {
                    const float sample = samples[index * fileChannels];
                    runMaximum = std::max(runMaximum, sample);
                    runMinimum = std::min(runMinimum, sample);
                }
                maximum[channel] = runMaximum;
                minimum[channel] = runMinimum;
            }
            frame += run;
            inPoint += run;
            if (inPoint == geometry.framesPerPoint)
                emit();
        }
    }
    // A point the file ended in keeps what it got; points after the end stay 0.
    if (ok && inPoint > 0 && point < geometry.points)
        emit();
    sf_close(file);
    return ok;
}

bool WaveScopeCache::loadColumns(const std::string& cachePath, int channels, int64_t viewStart,
                                 int64_t viewEnd, int width, Columns& columns)
{
    struct stat cacheStat
    {
    };
    if (::stat(cachePath.c_str(), &cacheStat) != 0 ||
        static_cast<uint64_t>(cacheStat.st_size) < wavescope::kHeaderSize)
        return false;
    Geometry geometry;
    geometry.channels = channels;
    geometry.dataSize = static_cast<uint32_t>(cacheStat.st_size) - wavescope::kHeaderSize;
    std::vector<unsigned char> records;
    if (!readRecords(cachePath, geometry, records))
        return false;
    columns = columnsFromRecords(records, channels, viewStart, viewEnd, width);
    return true;
}

bool WaveScopeCache::open(const std::string& soundPath, int width)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(soundPath.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return false;
    sf_close(file);
    // A file without frames has nothing to draw (and nothing to divide by).
    if (info.frames <= 0 || info.channels <= 0)
        return false;

    Request request;
    request.soundPath = soundPath;
    request.geometry = wavescope::geometryFor(info.frames, info.channels, width);
    request.width = width;
    std::lock_guard requestLock(m_requestMutex);
    // The running analysis is dropped at its next block, not waited for: a
    // slot switch must never wait for a low-priority read. It stays
    // cancelled until the worker takes this request, so nothing of it is
    // published over the state set here.
    m_bCancelled.store(true);
    {
        std::lock_guard lock(m_mutex);
        m_strSoundPath = soundPath;
        m_strCachePath.clear();
        m_geometry = request.geometry;
        m_bLoop = storedLoopFlag(soundPath, request.geometry).value_or(true);
        m_columns = {};
        request.loopAtStart = m_bLoop;
        m_bBusy.store(true);
    }
    m_pendingRequest = std::move(request);
    if (!m_worker.joinable())
        m_worker = std::thread([this] { workerMain(); });
    m_requestWake.notify_one();
    return true;
}

void WaveScopeCache::cancel()
{
    {
        std::lock_guard requestLock(m_requestMutex);
        m_bQuit = true;
        m_bCancelled.store(true);
        m_pendingRequest.reset();
    }
    m_requestWake.notify_one();
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard requestLock(m_requestMutex);
    m_bQuit = false;
    m_bBusy.store(false);
}

// Analysis worker: one analysis at a time, always the newest asked for.
void WaveScopeCache::workerMain()
{
    platform::setCurrentThreadName("wavescope");
    // Nobody waits for a waveform: it may take whatever time is left over.
    platform::setCurrentThreadPriority(platform::ThreadPriority::Lowest);
    for (;;)
    {
        Request request;
        {
            std::unique_lock requestLock(m_requestMutex);
            m_requestWake.wait(requestLock, [this] { return m_bQuit || m_pendingRequest; });
            if (m_bQuit)
                return;
            request = std::move(*m_pendingRequest);
            m_pendingRequest.reset();
            m_bCancelled.store(false);
        }
        analysisMain(request);
    }
}

// Analysis worker. Once its analysis is cancelled it touches nothing of the
// owner's but the lock, and writes no cache.
void WaveScopeCache::analysisMain(const Request& request)
{
    const std::string& soundPath = request.soundPath;
    const Geometry& geometry = request.geometry;

    // A cache already there is read first: beside the file, then the mirror.
    std::string cache;
    for (const std::string& candidate :
         {wavescope::besidePath(soundPath), wavescope::mirrorPath(soundPath)})
        if (cache.empty() && cacheIsValid(candidate, soundPath, geometry))
            cache = candidate;

    std::vector<unsigned char> records;
    if (cache.empty())
    {
        const bool analysed = analyse(soundPath, geometry, records, m_bCancelled);
        if (m_bCancelled.load())
            return;
        if (!analysed)
        {
            // Unreadable after all: nothing to draw.
            records.clear();
        }
        else
        {
            bool loop = request.loopAtStart;
            {
                std::lock_guard lock(m_mutex);
                if (!m_bCancelled.load())
                    loop = m_bLoop;
            }
            cache = writeCache(soundPath, geometry, records, loop);
        }
    }
    else if (!readRecords(cache, geometry, records))
    {
        records.assign(geometry.dataSize, 0);
    }

    Columns columns =
        columnsFromRecords(records, geometry.channels, 0, geometry.points, request.width);
    {
        std::lock_guard lock(m_mutex);
        if (m_bCancelled.load())
            return;
        // The flag the user set while the cache was being found.
        if (!cache.empty() && readLoopFlag(cache) != m_bLoop)
            writeLoopByte(cache, m_bLoop);
        m_strCachePath = cache;
        m_columns = std::move(columns);
        m_bBusy.store(false);
    }
    if (finished)
        finished();
}

// Analysis worker. A loop flag set while the cache is written is stored
// afterwards, in place (one byte: never a half cache).
std::string WaveScopeCache::writeCache(const std::string& soundPath, const Geometry& geometry,
                                       const std::vector<unsigned char>& records, bool loop)
{
    const auto bytes = wavescope::header(geometry, loop);
    for (const std::string& target :
         {wavescope::besidePath(soundPath), wavescope::mirrorPath(soundPath)})
    {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(target).parent_path(), error);
        std::string temporary = target + ".XXXXXX";
        const int descriptor = ::mkstemp(temporary.data());
        if (descriptor < 0)
            continue;
        // Written whole under a temporary name, then renamed over the old one.
        bool ok =
            ::fchmod(descriptor, 0644) == 0 && writeWhole(descriptor, bytes.data(), bytes.size()) &&
            writeWhole(descriptor, records.data(), records.size()) && ::fdatasync(descriptor) == 0;
        ok = ::close(descriptor) == 0 && ok;
        if (ok && std::rename(temporary.c_str(), target.c_str()) == 0)
            return target;
        ::unlink(temporary.c_str());
    }
    return {};
}

bool WaveScopeCache::loop() const
{
    std::lock_guard lock(m_mutex);
    if (m_bBusy.load())
        return m_bLoop;
    std::array<unsigned char, wavescope::kHeaderSize> bytes{};
    if (m_strCachePath.empty() || !wavescope::readHeader(m_strCachePath, bytes))
        return true;
    return bytes[wavescope::kLoopFlagOffset] != 0;
}

void WaveScopeCache::setLoop(bool loop)
{
    std::lock_guard lock(m_mutex);
    if (m_strSoundPath.empty())
        return;
    m_bLoop = loop;
    if (!m_bBusy.load() && !m_strCachePath.empty())
        writeLoopByte(m_strCachePath, loop);
}

Geometry WaveScopeCache::geometry() const
{
    std::lock_guard lock(m_mutex);
    return m_geometry;
}

std::string WaveScopeCache::soundPath() const
{
    std::lock_guard lock(m_mutex);
    return m_strSoundPath;
}

std::string WaveScopeCache::cachePath() const
{
    std::lock_guard lock(m_mutex);
    return m_strCachePath;
}

Columns WaveScopeCache::columns() const
{
    std::lock_guard lock(m_mutex);
    return m_columns;
}

bool WaveScopeCache::reloadColumns(int64_t viewStart, int64_t viewEnd, int width)
{
    if (m_bBusy.load())
        return false;
    std::lock_guard lock(m_mutex);
    std::vector<unsigned char> records;
    if (m_strCachePath.empty() || !readRecords(m_strCachePath, m_geometry, records))
        return false;
    m_columns = columnsFromRecords(records, m_geometry.channels, viewStart, viewEnd, width);
    return true;
}
