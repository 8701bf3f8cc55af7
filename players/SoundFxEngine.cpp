#include "players/SoundFxEngine.h"

#include "platform/Prefetch.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace
{
// Frames read per libsndfile call while loading.
constexpr sf_count_t kReadBlock = 8192;
// Triggers that may wait for the next block: more than the voices, so a burst
// of sixteen is never lost to a full queue.
constexpr size_t kQueueCapacity = 64;

const std::array<float, soundfx::kMaxGainDb - soundfx::kMinGainDb + 1> kGainTable = []
{
    std::array<float, soundfx::kMaxGainDb - soundfx::kMinGainDb + 1> table{};
    for (size_t k = 0; k < table.size(); ++k)
        table[k] = static_cast<float>(std::pow(10.0, (static_cast<double>(k) - 12.0) * 0.05));
    return table;
}();

bool validPad(int pad)
{
    return pad >= 0 && pad < soundfx::kPadCount;
}

class SndFile
{
public:
    explicit SndFile(const std::string& path) : m_file(sf_open(path.c_str(), SFM_READ, &m_info)) {}
    ~SndFile()
    {
        if (m_file)
            sf_close(m_file);
    }
    SndFile(const SndFile&) = delete;
    SndFile& operator=(const SndFile&) = delete;
    SNDFILE* get() const { return m_file; }
    const SF_INFO& info() const { return m_info; }

private:
    SF_INFO m_info{};
    SNDFILE* m_file;
};
} // namespace

float soundfx::gainFactor(int gainDb) noexcept
{
    return kGainTable[static_cast<size_t>(std::clamp(gainDb, kMinGainDb, kMaxGainDb) - kMinGainDb)];
}

// One pad's sound: the file's frames as read (kept to convert again when the
// rate changes) and the interleaved stereo frames at the device rate.
struct SoundFxEngine::Data
{
    std::vector<float> source;
    double sourceRate = soundfx::kDefaultRate;
    std::vector<float> samples;
    double rate = soundfx::kDefaultRate;
    int64_t frames = 0;
    // Triggers queued for this data (GUI side, under the mutex) and the ones the
    // audio thread finished with; equal means nothing reads it.
    std::atomic<uint64_t> queued{0};
    std::atomic<uint64_t> consumed{0};

    int lengthMs() const { return static_cast<int>(static_cast<double>(frames) / rate * 1000.0); }
    // An end at the knob maximum means the whole sound, not the sound cut to
    // a whole millisecond.
    int64_t framesAt(int ms) const
    {
        if (ms >= std::min(lengthMs(), soundfx::kMaxMilliseconds))
            return frames;
        return std::clamp<int64_t>(static_cast<int64_t>(static_cast<double>(ms) * rate / 1000.0), 0,
                                   frames);
    }
};

namespace
{
// Brings data's source to rate with the fastest sinc converter; a rate
// within 1 Hz of the file's keeps the file's frames.
bool convert(std::vector<float>& out, int64_t& frames, const std::vector<float>& source,
             double sourceRate, double rate)
{
    const auto sourceFrames = static_cast<long>(source.size() / 2);
    if (std::abs(sourceRate - rate) <= 1.0 || sourceFrames == 0)
    {
        out = source;
        frames = sourceFrames;
        return true;
    }
    const double ratio = rate / sourceRate;
    // The sound's own length at the new rate: the converter's one frame of
    // filter tail past it would only lengthen every trim by a sample.
    const auto capacity = std::max(1L, std::lround(ratio * static_cast<double>(sourceFrames)));
    out.assign(static_cast<size_t>(capacity) * 2, 0.0f);
    SRC_DATA job{};
    job.data_in = source.data();
    job.input_frames = sourceFrames;
    job.data_out = out.data();
    job.output_frames = capacity;
    job.src_ratio = ratio;
    if (src_simple(&job, SRC_SINC_FASTEST, 2) != 0)
        return false;
    frames = job.output_frames_gen;
    out.resize(static_cast<size_t>(frames) * 2);
    return true;
}
} // namespace

SoundFxEngine::SoundFxEngine(const RackProcessor& unit) : m_unit(unit), m_triggers(kQueueCapacity)
{
    for (auto& gain : m_gain)
        gain.store(1.0f);
}

SoundFxEngine::~SoundFxEngine() = default;

void SoundFxEngine::prepare(double sampleRate)
{
    if (sampleRate <= 0.0)
        return;
    std::lock_guard lock(m_mutex);
    if (sampleRate == m_rate)
        return;
    m_rate = sampleRate;
    for (auto& pad : m_pads)
    {
        if (!pad.data)
            continue;
        auto data = std::make_unique<Data>();
        data->source = pad.data->source;
        data->sourceRate = pad.data->sourceRate;
        data->rate = m_rate;
        if (!convert(data->samples, data->frames, data->source, data->sourceRate, m_rate))
            continue; // keeps the sound at the old rate rather than none
        retire(std::move(pad.data));
        pad.data = std::move(data);
        clampTrims(pad);
    }
}

void SoundFxEngine::reset()
{
    for (int v = 0; v < m_nVoices; ++v)
        finish(m_voices[static_cast<size_t>(v)].data);
    m_nVoices = 0;
    m_activeVoices.store(0);
    while (const auto trigger = m_triggers.pop())
        finish(trigger->data);
    releaseFinished();
}

void SoundFxEngine::finish(Data* data) noexcept
{
    data->consumed.fetch_add(1, std::memory_order_release);
}

void SoundFxEngine::process(float**, float** out, long, long numOut, long frames) noexcept
{
    while (const auto trigger = m_triggers.pop())
    {
        if (m_nVoices == soundfx::kVoiceCount)
        {
            finish(trigger->data);
            continue;
        }
        m_voices[static_cast<size_t>(m_nVoices++)] =
            Voice{trigger->pad, trigger->data, trigger->start, trigger->end};
    }
    if (numOut < 2 || frames <= 0)
    {
        m_activeVoices.store(m_nVoices, std::memory_order_relaxed);
        return;
    }
    float* left = out[0];
    float* right = out[1];
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);

    for (int v = 0; v < m_nVoices;)
    {
        Voice& voice = m_voices[static_cast<size_t>(v)];
        const float gain = m_gain[static_cast<size_t>(voice.pad)].load(std::memory_order_relaxed);
        const float* samples = voice.data->samples.data();
        const long count = static_cast<long>(std::min<int64_t>(frames, voice.end - voice.position));
        const float* from = samples + voice.position * 2;
        for (long i = 0; i < count; ++i)
        {
            left[i] += from[2 * i] * gain;
            right[i] += from[2 * i + 1] * gain;
        }
        voice.position += count;
        if (voice.position >= voice.end)
        {
            finish(voice.data);
            voice = m_voices[static_cast<size_t>(--m_nVoices)];
        }
        else
        {
            const long next =
                static_cast<long>(std::min<int64_t>(frames, voice.end - voice.position));
            platform::prefetchForRead(samples + voice.position * 2,
                                      static_cast<size_t>(next) * 2 * sizeof(float));
            ++v;
        }
    }
    m_activeVoices.store(m_nVoices, std::memory_order_relaxed);
}

bool SoundFxEngine::loadFile(int pad, const std::string& path, const std::string& fileName)
{
    SoundFxPadSettings settings = padSettings(pad);
    settings.path = path;
    settings.fileName = fileName;
    return load(pad, settings, true);
}

bool SoundFxEngine::restorePad(int pad, const SoundFxPadSettings& settings)
{
    return load(pad, settings, false);
}

void SoundFxEngine::restoreSettings(const SoundFxSettings& settings)
{
    for (int i = 0; i < soundfx::kPadCount; ++i)
    {
        const SoundFxPadSettings& pad = settings.pads[static_cast<size_t>(i)];
        if (!pad.path.empty() && !pad.fileName.empty())
            restorePad(i, pad);
    }
}

SoundFxSettings SoundFxEngine::settings() const
{
    SoundFxSettings state;
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_pads.size(); ++i)
        state.pads[i] = m_pads[i].settings;
    return state;
}

bool SoundFxEngine::load(int padIndex, const SoundFxPadSettings& wanted, bool newFile)
{
    if (!validPad(padIndex))
        return false;
    SoundFxPadSettings settings = wanted;
    settings.startMs = std::clamp(settings.startMs, 0, soundfx::kMaxMilliseconds);
    settings.endMs = std::clamp(settings.endMs, 0, soundfx::kMaxMilliseconds);
    settings.gainDb = std::clamp(settings.gainDb, soundfx::kMinGainDb, soundfx::kMaxGainDb);

    const auto refuse = [&](const char* text)
    {
        std::lock_guard lock(m_mutex);
        Pad& pad = m_pads[static_cast<size_t>(padIndex)];
        pad.text = text;
        // A pad without sound keeps what it was given, to write it back as it was.
        if (!pad.data)
        {
            pad.settings = settings;
            m_gain[static_cast<size_t>(padIndex)].store(soundfx::gainFactor(settings.gainDb));
        }
        return false;
    };

    SndFile file(settings.path);
    const SF_INFO& info = file.info();
    if (!file.get() || info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0)
        return refuse(soundfx::kUnsupported);
    if (info.frames * 1000 / info.samplerate > soundfx::kMaxMilliseconds)
        return refuse(soundfx::kTooLong);
    {
        std::lock_guard lock(m_mutex);
        m_pads[static_cast<size_t>(padIndex)].text = soundfx::kLoading;
    }

    auto data = std::make_unique<Data>();
    data->sourceRate = info.samplerate;
    data->source.resize(static_cast<size_t>(info.frames) * 2);
    std::vector<float> block(static_cast<size_t>(kReadBlock * info.channels));
    sf_count_t done = 0;
    while (done < info.frames)
    {
        const sf_count_t got = sf_readf_float(file.get(), block.data(), kReadBlock);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got && done < info.frames; ++i, ++done)
        {
            const float* frame = block.data() + i * info.channels;
            data->source[static_cast<size_t>(done) * 2] = frame[0];
            data->source[static_cast<size_t>(done) * 2 + 1] = frame[info.channels > 1 ? 1 : 0];
        }
    }
    data->source.resize(static_cast<size_t>(done) * 2);
    if (done == 0)
        return refuse(soundfx::kUnsupported);

    const double rate = this->rate();
    data->rate = rate;
    if (!convert(data->samples, data->frames, data->source, data->sourceRate, rate) ||
        data->frames == 0)
        return refuse(soundfx::kUnsupported);

    std::lock_guard lock(m_mutex);
    if (data->rate != m_rate) // the rate changed while converting: convert again
    {
        data->rate = m_rate;
        convert(data->samples, data->frames, data->source, data->sourceRate, m_rate);
    }
    Pad& pad = m_pads[static_cast<size_t>(padIndex)];
    retire(std::move(pad.data));
    pad.data = std::move(data);
    pad.settings = settings;
    if (newFile)
    {
        pad.settings.startMs = 0;
        pad.settings.endMs = soundfx::kMaxMilliseconds;
    }
    clampTrims(pad);
    pad.text = settings.fileName;
    m_gain[static_cast<size_t>(padIndex)].store(soundfx::gainFactor(pad.settings.gainDb));
    return true;
}

// The caller holds m_mutex.
void SoundFxEngine::clampTrims(Pad& pad) const
{
    if (!pad.data)
        return;
    const int maximum = std::min(pad.data->lengthMs(), soundfx::kMaxMilliseconds);
    pad.settings.startMs = std::clamp(pad.settings.startMs, 0, maximum);
    pad.settings.endMs = std::clamp(pad.settings.endMs, 0, maximum);
}

// The caller holds m_mutex.
void SoundFxEngine::retire(std::unique_ptr<Data> data)
{
    if (data)
        m_retired.push_back(std::move(data));
    std::erase_if(m_retired,
                  [](const std::unique_ptr<Data>& old)
                  {
                      return old->consumed.load(std::memory_order_acquire) ==
                             old->queued.load(std::memory_order_relaxed);
                  });
}

void SoundFxEngine::releaseFinished()
{
    std::lock_guard lock(m_mutex);
    retire(nullptr);
}

void SoundFxEngine::setStart(int pad, int startMs)
{
    if (!validPad(pad))
        return;
    std::lock_guard lock(m_mutex);
    Pad& target = m_pads[static_cast<size_t>(pad)];
    target.settings.startMs = std::clamp(startMs, 0, soundfx::kMaxMilliseconds);
    clampTrims(target);
}

void SoundFxEngine::setEnd(int pad, int endMs)
{
    if (!validPad(pad))
        return;
    std::lock_guard lock(m_mutex);
    Pad& target = m_pads[static_cast<size_t>(pad)];
    target.settings.endMs = std::clamp(endMs, 0, soundfx::kMaxMilliseconds);
    clampTrims(target);
}

void SoundFxEngine::setGain(int pad, int gainDb)
{
    if (!validPad(pad))
        return;
    std::lock_guard lock(m_mutex);
    Pad& target = m_pads[static_cast<size_t>(pad)];
    target.settings.gainDb = std::clamp(gainDb, soundfx::kMinGainDb, soundfx::kMaxGainDb);
    m_gain[static_cast<size_t>(pad)].store(soundfx::gainFactor(target.settings.gainDb));
}

bool SoundFxEngine::trigger(int pad)
{
    if (!validPad(pad) || !m_unit.m_bRunning.load() || !m_unit.m_bRouted.load())
        return false;
    std::lock_guard lock(m_mutex);
    const Pad& source = m_pads[static_cast<size_t>(pad)];
    Data* data = source.data.get();
    if (!data)
        return false;
    const int64_t start = data->framesAt(source.settings.startMs);
    const int64_t end = data->framesAt(source.settings.endMs);
    if (start >= end)
        return false; // nothing between the trims to play
    data->queued.fetch_add(1, std::memory_order_relaxed);
    if (!m_triggers.push(Trigger{pad, data, start, end}))
    {
        data->queued.fetch_sub(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

SoundFxPadSettings SoundFxEngine::padSettings(int pad) const
{
    std::lock_guard lock(m_mutex);
    return validPad(pad) ? m_pads[static_cast<size_t>(pad)].settings : SoundFxPadSettings{};
}

std::string SoundFxEngine::padText(int pad) const
{
    std::lock_guard lock(m_mutex);
    return validPad(pad) ? m_pads[static_cast<size_t>(pad)].text : std::string{};
}

bool SoundFxEngine::padReady(int pad) const
{
    std::lock_guard lock(m_mutex);
    return validPad(pad) && m_pads[static_cast<size_t>(pad)].data != nullptr;
}

int SoundFxEngine::padFrames(int pad) const
{
    std::lock_guard lock(m_mutex);
    if (!validPad(pad) || !m_pads[static_cast<size_t>(pad)].data)
        return 0;
    return static_cast<int>(m_pads[static_cast<size_t>(pad)].data->frames);
}

int SoundFxEngine::padKnobMaximum(int pad) const
{
    std::lock_guard lock(m_mutex);
    if (!validPad(pad) || !m_pads[static_cast<size_t>(pad)].data)
        return soundfx::kMaxMilliseconds;
    return std::min(m_pads[static_cast<size_t>(pad)].data->lengthMs(), soundfx::kMaxMilliseconds);
}

double SoundFxEngine::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

size_t SoundFxEngine::retiredCount() const
{
    std::lock_guard lock(m_mutex);
    return m_retired.size();
}
