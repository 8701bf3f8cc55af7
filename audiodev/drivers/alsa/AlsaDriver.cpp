#include "AlsaDriver.h"

#include "audiodev/SampleConverter.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace audiodev
{

namespace
{
// A block of 256 frames: about 5 ms at 48000 Hz.
constexpr snd_pcm_uframes_t kPreferredPeriod = 256;
// Three periods of buffer, two of them filled before the stream starts.
constexpr snd_pcm_uframes_t kPeriodsPerBuffer = 3;
constexpr long kPrefillPeriods = 2;
// The host's channel tables hold this many.
constexpr long kMostChannels = 32;
// Plug-in devices offer thousands of channels; a stereo pair is what they
// usually stand for.
constexpr long kPlugChannels = 2;

struct FormatChoice
{
    snd_pcm_format_t format;
    SampleType sampleType;
    const char* name;
};

// In order of preference: integer formats are what sound cards do natively.
constexpr FormatChoice kFormats[] = {
    {SND_PCM_FORMAT_S32_LE, SampleInt32LSB, "Int32LSB"},
    {SND_PCM_FORMAT_S24_3LE, SampleInt24LSB, "Int24LSB"},
    {SND_PCM_FORMAT_S16_LE, SampleInt16LSB, "Int16LSB"},
    {SND_PCM_FORMAT_FLOAT_LE, SampleFloat32LSB, "Float32LSB"},
};

// The rates Corvane prefers, in order.
constexpr unsigned kRates[] = {48000, 44100, 96000};
} // namespace

AlsaDriver::AlsaDriver(std::string pcmName, std::string listedName)
    : DriverBase(std::move(listedName)), m_pcmName(std::move(pcmName))
{
}

AlsaDriver::~AlsaDriver()
{
    stop();
    closeDevices();
}

void AlsaDriver::closeDevices()
{
    if (m_playback != nullptr)
        snd_pcm_close(m_playback);
    if (m_capture != nullptr)
        snd_pcm_close(m_capture);
    m_playback = m_capture = nullptr;
}

bool AlsaDriver::chooseFormat()
{
    const char* wanted = std::getenv("CORVANE_ALSA_SAMPLE_TYPE");
    for (const auto& choice : kFormats)
    {
        if (wanted != nullptr && *wanted != '\0' && std::strcmp(wanted, choice.name) != 0)
            continue;
        bool supported = true;
        for (snd_pcm_t* pcm : {m_playback, m_capture})
        {
            if (pcm == nullptr)
                continue;
            snd_pcm_hw_params_t* hardware = nullptr;
            snd_pcm_hw_params_alloca(&hardware);
            snd_pcm_hw_params_any(pcm, hardware);
            supported =
                supported && snd_pcm_hw_params_test_format(pcm, hardware, choice.format) == 0;
        }
        if (supported)
        {
            m_format = choice.format;
            m_sampleType = choice.sampleType;
            return true;
        }
    }
    return false;
}

long AlsaDriver::chooseChannels(snd_pcm_t* pcm)
{
    snd_pcm_hw_params_t* hardware = nullptr;
    snd_pcm_hw_params_alloca(&hardware);
    snd_pcm_hw_params_any(pcm, hardware);
    unsigned minimum = 0;
    unsigned maximum = 0;
    snd_pcm_hw_params_get_channels_min(hardware, &minimum);
    snd_pcm_hw_params_get_channels_max(hardware, &maximum);
    if (maximum <= unsigned(kMostChannels))
        return long(maximum);
    return std::clamp(kPlugChannels, long(minimum), kMostChannels);
}

bool AlsaDriver::init(void*)
{
    if (m_playback != nullptr || m_capture != nullptr)
        return true;
    // Opened without blocking, so a card another program holds is reported
    // at once instead of freezing the power switch; streaming then blocks.
    const int playbackError =
        snd_pcm_open(&m_playback, m_pcmName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    const int captureError =
        snd_pcm_open(&m_capture, m_pcmName.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (playbackError < 0)
        m_playback = nullptr;
    if (captureError < 0)
        m_capture = nullptr;
    for (snd_pcm_t* pcm : {m_playback, m_capture})
        if (pcm != nullptr)
            snd_pcm_nonblock(pcm, 0);
    if (m_playback == nullptr && m_capture == nullptr)
    {
        setErrorText("Cannot open ALSA device " + m_pcmName + ": " + snd_strerror(playbackError));
        return false;
    }
    if (!chooseFormat())
    {
        setErrorText("ALSA device " + m_pcmName + " offers no sample format Corvane converts");
        closeDevices();
        return false;
    }
    m_numOutputs = m_playback != nullptr ? chooseChannels(m_playback) : 0;
    m_numInputs = m_capture != nullptr ? chooseChannels(m_capture) : 0;
    for (unsigned rate : kRates)
    {
        if (canSampleRate(rate) == DriverOk && configureAll(rate))
            return true;
    }
    setErrorText("ALSA device " + m_pcmName + " runs at none of 44100, 48000, 96000 Hz");
    closeDevices();
    return false;
}

bool AlsaDriver::configure(snd_pcm_t* pcm, long channels, unsigned rate, bool isPlayback)
{
    snd_pcm_hw_params_t* hardware = nullptr;
    snd_pcm_hw_params_alloca(&hardware);
    if (snd_pcm_hw_params_any(pcm, hardware) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hardware, m_format) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hardware, unsigned(channels)) < 0 ||
        snd_pcm_hw_params_set_rate_resample(pcm, hardware, 0) < 0 ||
        snd_pcm_hw_params_set_rate(pcm, hardware, rate, 0) < 0)
        return false;
    // The first stream configured chooses the block size; the other stream
    // and later rate changes must keep it, since the host's buffers have it.
    snd_pcm_uframes_t period = m_sampleRate == 0 && pcm == (m_playback ? m_playback : m_capture)
                                   ? kPreferredPeriod
                                   : snd_pcm_uframes_t(m_blockSize);
    int direction = 0;
    if (period == kPreferredPeriod && m_sampleRate == 0)
    {
        if (snd_pcm_hw_params_set_period_size_near(pcm, hardware, &period, &direction) < 0)
            return false;
    }
    else if (snd_pcm_hw_params_set_period_size(pcm, hardware, period, 0) < 0)
        return false;
    snd_pcm_uframes_t bufferFrames = period * kPeriodsPerBuffer;
    if (snd_pcm_hw_params_set_buffer_size_near(pcm, hardware, &bufferFrames) < 0 ||
        snd_pcm_hw_params(pcm, hardware) < 0)
        return false;
    snd_pcm_hw_params_get_period_size(hardware, &period, &direction);
    m_blockSize = long(period);
    if (isPlayback)
        m_playbackBufferFrames = bufferFrames;

    snd_pcm_sw_params_t* software = nullptr;
    snd_pcm_sw_params_alloca(&software);
    snd_pcm_sw_params_current(pcm, software);
    snd_pcm_sw_params_set_avail_min(pcm, software, period);
    // Playback starts once the prefilled periods are in.
    snd_pcm_sw_params_set_start_threshold(pcm, software, isPlayback ? period * kPrefillPeriods : 1);
    return snd_pcm_sw_params(pcm, software) >= 0;
}

bool AlsaDriver::configureAll(unsigned rate)
{
    const unsigned previousRate = m_sampleRate;
    bool configured = true;
    if (m_playback != nullptr)
        configured = configure(m_playback, m_numOutputs, rate, true);
    // The capture side follows the block size the playback side chose.
    if (configured && m_playback != nullptr)
        m_sampleRate = rate;
    if (configured && m_capture != nullptr)
        configured = configure(m_capture, m_numInputs, rate, false);
    m_sampleRate = configured ? rate : previousRate;
    return configured;
}

long AlsaDriver::getLatencies(long* inputLatency, long* outputLatency)
{
    *inputLatency = m_capture != nullptr ? m_blockSize : 0;
    *outputLatency = m_playback != nullptr ? long(m_playbackBufferFrames) : 0;
    return DriverOk;
}

long AlsaDriver::canSampleRate(double sampleRate)
{
    if (m_playback == nullptr && m_capture == nullptr)
        return DriverNotPresent;
    if (sampleRate <= 0.0 || sampleRate != double(unsigned(sampleRate)))
        return DriverNoClock;
    for (snd_pcm_t* pcm : {m_playback, m_capture})
    {
        if (pcm == nullptr)
            continue;
        snd_pcm_hw_params_t* hardware = nullptr;
        snd_pcm_hw_params_alloca(&hardware);
        snd_pcm_hw_params_any(pcm, hardware);
        snd_pcm_hw_params_set_rate_resample(pcm, hardware, 0);
        if (snd_pcm_hw_params_test_rate(pcm, hardware, unsigned(sampleRate), 0) < 0)
            return DriverNoClock;
    }
    return DriverOk;
}

long AlsaDriver::getSampleRate(double* sampleRate)
{
    if (m_sampleRate == 0)
        return DriverNotPresent;
    *sampleRate = m_sampleRate;
    return DriverOk;
}

long AlsaDriver::setSampleRate(double sampleRate)
{
    if (canSampleRate(sampleRate) != DriverOk)
        return DriverNoClock;
    if (unsigned(sampleRate) == m_sampleRate)
        return DriverOk;
    if (isRunning())
        return DriverInvalidMode;
    const unsigned previous = m_sampleRate;
    if (!configureAll(unsigned(sampleRate)))
    {
        configureAll(previous);
        return DriverHardwareMalfunction;
    }
    return DriverOk;
}

bool AlsaDriver::buffersCreated()
{
    const size_t bytes = SampleConverter::bytesPerSample(m_sampleType) * size_t(m_blockSize);
    m_captureFrames.assign(bytes * size_t(m_numInputs), 0);
    m_playbackFrames.assign(bytes * size_t(m_numOutputs), 0);
    m_silence.assign(bytes * size_t(m_numOutputs), 0);
    return true;
}

long AlsaDriver::start()
{
    if (isRunning())
        return DriverOk;
    if (m_callbacks == nullptr)
        return DriverInvalidMode;
    for (snd_pcm_t* pcm : {m_playback, m_capture})
    {
        if (pcm != nullptr && snd_pcm_prepare(pcm) < 0)
            return DriverHardwareMalfunction;
    }
    resetPosition();
    // The null device accepts and delivers frames without ever waiting.
    snd_pcm_t* any = m_playback != nullptr ? m_playback : m_capture;
    m_paceWithClock = snd_pcm_type(any) == SND_PCM_TYPE_NULL;
    writeSilence(kPrefillPeriods);
    if (m_capture != nullptr)
        snd_pcm_start(m_capture);
    m_running.store(true);
    m_thread = std::thread([this] { run(); });
    return DriverOk;
}

long AlsaDriver::stop()
{
    if (!isRunning())
        return DriverOk;
    m_running.store(false);
    m_thread.join();
    for (snd_pcm_t* pcm : {m_playback, m_capture})
    {
        if (pcm != nullptr)
            snd_pcm_drop(pcm);
    }
    return DriverOk;
}

// Audio thread.
void AlsaDriver::run()
{
    platform::setCurrentThreadName("corvane-alsa");
    platform::setCurrentThreadPriority(platform::ThreadPriority::Highest);
    m_clock.start(m_sampleRate, m_blockSize);
    long index = 0;
    while (m_running.load(std::memory_order_acquire))
    {
        if (m_capture != nullptr && !readCapture(index))
            break;
        runBlock(index);
        if (m_playback != nullptr && !writePlayback(index))
            break;
        index ^= 1;
        if (m_paceWithClock)
            m_clock.waitForNextBlock();
    }
}

// Audio thread: one period from the device into the input halves. False when
// the device failed beyond recovery (unplugged).
bool AlsaDriver::readCapture(long index) noexcept
{
    const size_t sampleBytes = SampleConverter::bytesPerSample(m_sampleType);
    const size_t frameBytes = sampleBytes * size_t(m_numInputs);
    snd_pcm_uframes_t done = 0;
    while (done < snd_pcm_uframes_t(m_blockSize) && m_running.load(std::memory_order_relaxed))
    {
        const snd_pcm_sframes_t result =
            snd_pcm_readi(m_capture, m_captureFrames.data() + done * frameBytes,
                          snd_pcm_uframes_t(m_blockSize) - done);
        if (result == -EAGAIN)
            continue;
        if (result < 0)
        {
            // Overrun or suspend: prepare again and carry on.
            if (snd_pcm_recover(m_capture, int(result), 1) < 0)
                return false;
            snd_pcm_start(m_capture);
            continue;
        }
        done += snd_pcm_uframes_t(result);
    }
    for (long channel = 0; channel < m_numInputs; ++channel)
    {
        unsigned char* half = inputBuffer(channel, index);
        if (half == nullptr)
            continue;
        const unsigned char* source = m_captureFrames.data() + size_t(channel) * sampleBytes;
        for (long frame = 0; frame < m_blockSize; ++frame)
            std::memcpy(half + size_t(frame) * sampleBytes, source + size_t(frame) * frameBytes,
                        sampleBytes);
    }
    return true;
}

// Audio thread: the output halves to the device as one period. False when
// the device failed beyond recovery (unplugged).
bool AlsaDriver::writePlayback(long index) noexcept
{
    const size_t sampleBytes = SampleConverter::bytesPerSample(m_sampleType);
    const size_t frameBytes = sampleBytes * size_t(m_numOutputs);
    for (long channel = 0; channel < m_numOutputs; ++channel)
    {
        const unsigned char* half = outputBuffer(channel, index);
        unsigned char* destination = m_playbackFrames.data() + size_t(channel) * sampleBytes;
        for (long frame = 0; frame < m_blockSize; ++frame)
        {
            if (half != nullptr)
                std::memcpy(destination + size_t(frame) * frameBytes,
                            half + size_t(frame) * sampleBytes, sampleBytes);
            else
                std::memset(destination + size_t(frame) * frameBytes, 0, sampleBytes);
        }
    }
    snd_pcm_uframes_t done = 0;
    while (done < snd_pcm_uframes_t(m_blockSize) && m_running.load(std::memory_order_relaxed))
    {
        const snd_pcm_sframes_t result =
            snd_pcm_writei(m_playback, m_playbackFrames.data() + done * frameBytes,
                           snd_pcm_uframes_t(m_blockSize) - done);
        if (result == -EAGAIN)
            continue;
        if (result < 0)
        {
            // Underrun or suspend: prepare again, refill a period so the
            // stream restarts with this block, and carry on.
            if (snd_pcm_recover(m_playback, int(result), 1) < 0)
                return false;
            writeSilence(kPrefillPeriods - 1);
            continue;
        }
        done += snd_pcm_uframes_t(result);
    }
    return true;
}

// Control or audio thread (the stream is not running on another).
void AlsaDriver::writeSilence(long periods) noexcept
{
    if (m_playback == nullptr)
        return;
    for (long period = 0; period < periods; ++period)
        snd_pcm_writei(m_playback, m_silence.data(), snd_pcm_uframes_t(m_blockSize));
}

} // namespace audiodev
