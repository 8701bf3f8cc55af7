#include "audiodev/MASIO.h"

#include "audiodev/DriverList.h"
#include "audiodev/SampleConverter.h"
#include "platform/Denormals.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <cstring>
#include <exception>

using namespace audiodev;

namespace
{

// The driver callbacks carry no context, so they find the host here.
std::atomic<CMASIO*> g_host{nullptr};

constexpr const char* kNoDriverText = "No ASIO Driver";
constexpr const char* kNoSuchDriverName = "No ASIO Drivers";
// Rates a driver may report at load; anything else is replaced by the
// common CD rate.
constexpr double kHighestLoadRate = 96000.0;
constexpr double kFallbackRate = 44100.0;
// Listed names of this many characters or more are cut for display.
constexpr size_t kLongNameLength = 32;
constexpr size_t kCutNameLength = 28;

// Number of characters (UTF-8 code points) in `text`.
size_t characterCount(const char* text)
{
    size_t count = 0;
    for (const char* c = text; *c != '\0'; ++c)
        count += (static_cast<unsigned char>(*c) & 0xC0) != 0x80;
    return count;
}

// Byte length of the first `characters` characters of `text`.
size_t prefixBytes(const char* text, size_t characters)
{
    size_t bytes = 0;
    size_t seen = 0;
    while (text[bytes] != '\0')
    {
        if ((static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80 && seen++ == characters)
            break;
        ++bytes;
    }
    return bytes;
}

} // namespace

CMASIO::CMASIO()
{
    g_host.store(this, std::memory_order_release);
    m_callbacks.bufferSwitch = &CMASIO::bufferSwitch;
    m_callbacks.sampleRateDidChange = &CMASIO::sampleRateChanged;
    m_callbacks.hostMessage = &CMASIO::asioMessages;
    m_callbacks.bufferSwitchTimeInfo = &CMASIO::bufferSwitchTimeInfo;
    std::strncpy(m_driverInfo.errorMessage, kNoDriverText, kDriverErrorLength - 1);
    listdrivers();
}

CMASIO::~CMASIO()
{
    unloaddriver();
    m_driverCalls.detach();
    m_driverList.reset();
    for (char*& name : m_pDriverNames)
    {
        delete[] name;
        name = nullptr;
    }
    CMASIO* self = this;
    g_host.compare_exchange_strong(self, nullptr);
}

void CMASIO::listdrivers()
{
    m_driverList = std::make_unique<DriverList>();
    m_nDrivers = std::min(m_driverList->count(), kMaxDrivers);
    for (unsigned index = 0; index < m_nDrivers; ++index)
    {
        const std::string name = m_driverList->name(index);
        char* buffer = new char[kDriverNameBufferSize]();
        if (characterCount(name.c_str()) >= kLongNameLength)
        {
            const size_t bytes = prefixBytes(name.c_str(), kCutNameLength);
            std::memcpy(buffer, name.data(), bytes);
            std::memcpy(buffer + bytes, "...", 4);
        }
        else
        {
            std::strncpy(buffer, name.c_str(), kDriverNameBufferSize - 1);
        }
        m_pDriverNames[index] = buffer;
    }
}

unsigned CMASIO::getDriverNum()
{
    return m_nDrivers;
}

const char* CMASIO::getDriverName(unsigned index)
{
    return index < m_nDrivers ? m_pDriverNames[index] : kNoSuchDriverName;
}

bool CMASIO::loadDriverObject(unsigned index)
{
    // A driver still loaded is shut down completely first: releasing its
    // object while its buffers or the worker live would leave both dangling.
    unloaddriver();
    m_driverCalls.detach();
    if (!m_driverList->loadDriver(index))
    {
        m_driverCalls.attach(m_driverList->currentDriver());
        return false;
    }
    m_driverCalls.attach(m_driverList->currentDriver());
    return true;
}

int CMASIO::loaddriver(unsigned index, MASIOCallback callback, unsigned long userData)
{
    if (index >= m_nDrivers || !loadDriverObject(index))
        return 0;

    // A failing init detaches the driver, so the steps below fail.
    m_driverCalls.init(&m_driverInfo);

    m_driverCalls.getBufferSize(&m_nMinSize, &m_nMaxSize, &m_nPreferredSize, &m_nGranularity);
    m_driverCalls.getChannels(&m_nInputChannels, &m_nOutputChannels);
    // Channels beyond the tables are not used.
    m_nInputChannels = std::clamp(m_nInputChannels, 0L, kMaxChannels);
    m_nOutputChannels = std::clamp(m_nOutputChannels, 0L, kMaxChannels);

    double rate = 0.0;
    if (m_driverCalls.getSampleRate(&rate) == DriverOk)
    {
        if (rate <= 0.0 || rate > kHighestLoadRate)
        {
            if (m_driverCalls.setSampleRate(kFallbackRate) != DriverOk)
                return 0;
            if (m_driverCalls.getSampleRate(&rate) != DriverOk)
                return 0;
        }
        m_fSampleRate = rate;
    }
    m_driverCalls.outputReady();

    const long channels = m_nInputChannels + m_nOutputChannels;
    for (long channel = 0; channel < channels; ++channel)
    {
        BufferInfo& info = m_bufferInfos[channel];
        info.isInput = channel < m_nInputChannels;
        info.channelNum = info.isInput ? channel : channel - m_nInputChannels;
        info.buffers[0] = info.buffers[1] = nullptr;
    }
    // A driver offering no block size cannot be run.
    if (m_nPreferredSize <= 0)
        return 0;
    if (m_driverCalls.createBuffers(m_bufferInfos, channels, m_nPreferredSize, &m_callbacks) !=
        DriverOk)
        return 0;
    m_bBuffersCreated = true;

    for (long channel = 0; channel < channels; ++channel)
    {
        ChannelInfo& info = m_channelInfos[channel];
        info = ChannelInfo{};
        info.channel = m_bufferInfos[channel].channelNum;
        info.isInput = m_bufferInfos[channel].isInput;
        if (m_driverCalls.getChannelInfo(&info) != DriverOk)
            return 0;
    }

    if (m_driverCalls.getLatencies(&m_nInputLatency, &m_nOutputLatency) != DriverOk)
        return 0;

    // Failures end in a result, never an exception through the caller.
    try
    {
        freeFloatBuffers();
        for (long channel = 0; channel < m_nInputChannels; ++channel)
            m_pInputBuffers[channel] = new float[static_cast<size_t>(m_nPreferredSize)]();
        for (long channel = 0; channel < m_nOutputChannels; ++channel)
            m_pOutputBuffers[channel] = new float[static_cast<size_t>(m_nPreferredSize)]();

        m_pCallback = callback;
        m_nUserData = userData;
        // Each load runs a fresh worker for deferred blocks.
        m_bWorkerStop.store(false);
        m_workerWake.clear();
        m_workerThread = std::thread([this] { workerLoop(); });
    }
    catch (const std::exception&)
    {
        freeFloatBuffers();
        return 0;
    }
    return 1;
}

void CMASIO::getInfo(unsigned index)
{
    if (index >= m_nDrivers || !loadDriverObject(index))
        return;
    m_driverCalls.init(&m_driverInfo);
    m_driverCalls.getBufferSize(&m_nMinSize, &m_nMaxSize, &m_nPreferredSize, &m_nGranularity);
    m_driverCalls.getChannels(&m_nInputChannels, &m_nOutputChannels);
    m_nInputChannels = std::clamp(m_nInputChannels, 0L, kMaxChannels);
    m_nOutputChannels = std::clamp(m_nOutputChannels, 0L, kMaxChannels);
    m_driverCalls.getLatencies(&m_nInputLatency, &m_nOutputLatency);
    unloaddriver();
}

bool CMASIO::startaudio()
{
    // Only a complete load has float buffers for the blocks.
    if (!m_workerThread.joinable())
        return false;
    if (m_bStarted.load())
        return true;
    // Marked started before the driver starts: a driver may deliver its first
    // block before start returns.
    m_nSamplePosition = -m_nPreferredSize;
    m_bStarted.store(true);
    if (m_driverCalls.start() != DriverOk)
    {
        m_bStarted.store(false);
        return false;
    }
    return true;
}

bool CMASIO::stopaudio()
{
    if (m_driverCalls.stop() != DriverOk)
        return false;
    // Taking the block lock waits out a block still running.
    std::lock_guard lock(m_blockLock);
    m_bStarted.store(false);
    return true;
}

void CMASIO::stopWorker()
{
    if (!m_workerThread.joinable())
        return;
    m_bWorkerStop.store(true);
    m_workerWake.signal();
    m_workerThread.join();
}

void CMASIO::freeFloatBuffers()
{
    for (long channel = 0; channel < kMaxChannels; ++channel)
    {
        delete[] m_pInputBuffers[channel];
        m_pInputBuffers[channel] = nullptr;
        delete[] m_pOutputBuffers[channel];
        m_pOutputBuffers[channel] = nullptr;
    }
}

bool CMASIO::unloaddriver()
{
    if (m_bStarted.load())
        stopaudio();
    {
        // Even a driver that refused to stop gets no more blocks through.
        std::lock_guard lock(m_blockLock);
        m_bStarted.store(false);
    }
    stopWorker();
    const long result = m_driverCalls.disposeBuffers();
    m_bBuffersCreated = false;
    freeFloatBuffers();
    m_pCallback = nullptr;
    return result == DriverOk;
}

bool CMASIO::setSampleRate(float sampleRate)
{
    if (m_driverCalls.canSampleRate(sampleRate) != DriverOk)
        return false;
    m_driverCalls.setSampleRate(sampleRate);
    double rate = 0.0;
    if (m_driverCalls.getSampleRate(&rate) == DriverOk)
        m_fSampleRate = rate;
    return true;
}

float CMASIO::getSampleRate()
{
    return static_cast<float>(m_fSampleRate);
}
long CMASIO::getInputChannels()
{
    return m_nInputChannels;
}
long CMASIO::getOutputChannels()
{
    return m_nOutputChannels;
}
long CMASIO::getInputLatency()
{
    return m_nInputLatency;
}
long CMASIO::getOutputLatency()
{
    return m_nOutputLatency;
}
long CMASIO::getMinBuffersize()
{
    return m_nMinSize;
}
long CMASIO::getMaxBuffersize()
{
    return m_nMaxSize;
}
long CMASIO::getPreferBuffersize()
{
    return m_nPreferredSize;
}

void CMASIO::showControlPannel()
{
    m_driverCalls.controlPanel();
}

long CMASIO::getSampleType(bool isInput, long channel)
{
    if (!m_bBuffersCreated || channel < 0 ||
        channel >= (isInput ? m_nInputChannels : m_nOutputChannels))
        return -1;
    return m_channelInfos[isInput ? channel : m_nInputChannels + channel].type;
}

const char* CMASIO::getErrorMessage()
{
    return m_driverInfo.errorMessage;
}

// Driver's audio thread.
void CMASIO::bufferSwitch(long index, bool processNow)
{
    CMASIO* host = g_host.load(std::memory_order_acquire);
    if (host == nullptr)
        return;
    TimeInfo timeInfo{};
    if (host->m_driverCalls.getSamplePosition(&timeInfo.samplePosition, &timeInfo.systemTime) ==
        DriverOk)
        timeInfo.flags = TimeInfo::SystemTimeValid | TimeInfo::SamplePositionValid;
    bufferSwitchTimeInfo(&timeInfo, index, processNow);
}

// Driver's audio thread.
TimeInfo* CMASIO::bufferSwitchTimeInfo(TimeInfo*, long index, bool processNow)
{
    CMASIO* host = g_host.load(std::memory_order_acquire);
    if (host == nullptr)
        return nullptr;
    if (processNow)
    {
        host->BufferProc(index);
    }
    else
    {
        host->m_nPendingIndex.store(index, std::memory_order_release);
        host->m_workerWake.signal();
    }
    return nullptr;
}

// Driver thread. Rate changes are picked up at the next load.
void CMASIO::sampleRateChanged(double) {}

// Any driver thread; a reset request must not come from the driver's audio
// thread, since stopping the driver may wait for that thread.
long CMASIO::asioMessages(long selector, long value, void*, double*)
{
    switch (selector)
    {
    case MessageSelectorSupported:
        return value == MessageEngineVersion || value == MessageResetRequest ||
               value == MessageResyncRequest || value == MessageLatenciesChanged ||
               value == MessageSupportsTimeInfo;
    case MessageEngineVersion:
        return 2;
    case MessageResetRequest:
        if (CMASIO* host = g_host.load(std::memory_order_acquire))
            host->m_driverCalls.stop();
        return 1;
    case MessageResyncRequest:
    case MessageLatenciesChanged:
    case MessageSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}

// Worker thread: runs the blocks a driver defers.
void CMASIO::workerLoop()
{
    platform::setCurrentThreadName("corvane-blocks");
    platform::setCurrentThreadPriority(platform::ThreadPriority::Highest);
    for (;;)
    {
        m_workerWake.wait();
        if (m_bWorkerStop.load())
            break;
        BufferProc(m_nPendingIndex.load(std::memory_order_acquire));
    }
}

// Audio thread (the driver's, or the worker for deferred blocks).
void CMASIO::BufferProc(long index)
{
    if (!m_bStarted.load(std::memory_order_acquire))
        return;
    // Never waits: the lock is only ever held elsewhere by a stop or unload,
    // and a block that meets one is not wanted any more.
    std::unique_lock lock(m_blockLock, std::try_to_lock);
    // Checked again under the lock: stop and unload clear it while holding it.
    if (!lock.owns_lock() || !m_bStarted.load(std::memory_order_relaxed))
        return;
    platform::ScopedNoDenormals noDenormals;
    const size_t half = index != 0 ? 1 : 0;
    const long frames = m_nPreferredSize;

    for (long channel = 0; channel < m_nInputChannels; ++channel)
        ConvertInBuffer(m_bufferInfos[channel].buffers[half], m_pInputBuffers[channel], frames,
                        m_channelInfos[channel].type);

    // Deferred blocks call the user too: a driver that defers must not
    // play silence.
    if (m_pCallback != nullptr)
        m_pCallback(m_pInputBuffers, m_pOutputBuffers, m_nInputChannels, m_nOutputChannels, frames,
                    m_nSamplePosition, m_nUserData);
    else
        for (long channel = 0; channel < m_nOutputChannels; ++channel)
            std::fill_n(m_pOutputBuffers[channel], frames, 0.0f);

    for (long channel = 0; channel < m_nOutputChannels; ++channel)
    {
        const long slot = m_nInputChannels + channel;
        ConvertOutBuffer(m_pOutputBuffers[channel], m_bufferInfos[slot].buffers[half], frames,
                         m_channelInfos[slot].type);
    }
    m_driverCalls.outputReady();
    m_nSamplePosition += frames;
}

void CMASIO::ConvertInBuffer(const void* source, float* destination, long frames, long sampleType)
{
    if (source == nullptr)
    {
        std::fill_n(destination, frames, 0.0f);
        return;
    }
    SampleConverter::toFloat(source, destination, frames, sampleType);
}

void CMASIO::ConvertOutBuffer(const float* source, void* destination, long frames, long sampleType)
{
    if (destination != nullptr)
        SampleConverter::fromFloat(source, destination, frames, sampleType);
}
