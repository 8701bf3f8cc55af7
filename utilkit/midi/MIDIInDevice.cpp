#include "utilkit/midi/MIDIInDevice.h"

#include "platform/SpscQueue.h"
#include "platform/ThreadPriority.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <semaphore>
#include <thread>

namespace midi
{

namespace
{

constexpr const char* kClientName = "Corvane";
constexpr const char* kJackPrefix = "JACK: ";

// Enough for a burst of controller moves between two deliveries; a message
// that finds the queue full is dropped rather than blocking the MIDI thread.
constexpr size_t kQueueCapacity = 1024;
// System exclusive data travels through the queue in pieces of this size.
constexpr size_t kEventBytes = 256;

struct PortEntry
{
    RtMidi::Api api;
    unsigned apiIndex;
    std::string name;
};

void ignoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

bool apiCompiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// Whether a JACK server accepts clients, judged from its socket so that no
// client library complains on stderr when there is none.
bool jackServerRunning()
{
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    const std::string server = name && *name ? name : "default";
    const std::string socket = "/dev/shm/jack_" + server + "_" + std::to_string(getuid()) + "_0";
    return access(socket.c_str(), F_OK) == 0;
}

std::unique_ptr<RtMidiIn> createInput(RtMidi::Api api)
{
    if (!apiCompiled(api))
        return nullptr;
    if (api == RtMidi::UNIX_JACK && !jackServerRunning())
        return nullptr;
    try
    {
        // The ALSA constructor throws where there is no sequencer (/dev/snd).
        auto input = std::make_unique<RtMidiIn>(api, kClientName, kQueueCapacity);
        input->setErrorCallback(&ignoreRtMidiError, nullptr);
        return input;
    }
    catch (const RtMidiError&)
    {
        return nullptr;
    }
}

std::vector<PortEntry> enumeratePorts()
{
    std::vector<PortEntry> ports;
    for (RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK})
    {
        auto input = createInput(api);
        if (!input)
            continue;
        try
        {
            const unsigned count = input->getPortCount();
            for (unsigned index = 0; index < count; ++index)
            {
                std::string name = input->getPortName(index);
                if (name.empty())
                    continue;
                if (api == RtMidi::UNIX_JACK)
                    name = kJackPrefix + name;
                ports.push_back({api, index, name});
            }
        }
        catch (const RtMidiError&)
        {
        }
    }
    return ports;
}

struct QueuedEvent
{
    std::uint32_t timeStamp = 0;
    std::uint16_t length = 0;
    bool systemExclusive = false;
    bool endOfMessage = true;
    std::array<unsigned char, kEventBytes> bytes{};
};

} // namespace

// One open port: the RtMidi input, the lock-free queue it fills, and the
// delivery thread that empties it into the receiver.
class CMIDIInDevice::Port
{
public:
    Port(std::unique_ptr<RtMidiIn> input, std::atomic<CMIDIReceiver*>& receiver)
        : m_input(std::move(input)), m_receiver(receiver), m_queue(kQueueCapacity)
    {
        m_delivery = std::thread([this] { deliveryLoop(); });
        m_input->ignoreTypes(false, true, true);
        m_input->setCallback(&Port::onMessage, this);
    }

    ~Port()
    {
        // Stop the MIDI thread's callbacks before the queue goes away.
        try
        {
            m_input->cancelCallback();
            m_input->closePort();
        }
        catch (const RtMidiError&)
        {
        }
        m_stopping.store(true);
        m_wake.release();
        m_delivery.join();
    }

    void startRecording()
    {
        m_startNanoseconds.store(std::chrono::steady_clock::now().time_since_epoch().count());
        m_recording.store(true);
    }
    void stopRecording() { m_recording.store(false); }
    bool recording() const { return m_recording.load(); }

    void addSysExBuffer(unsigned char* buffer, size_t size)
    {
        if (buffer == nullptr || size == 0)
            return;
        std::lock_guard lock(m_buffersMutex);
        m_sysExBuffers.push_back({buffer, size});
    }

private:
    struct SysExBuffer
    {
        unsigned char* data;
        size_t size;
    };

    // MIDI system's thread (real-time for JACK): no locks, no allocation.
    static void onMessage(double, std::vector<unsigned char>* message, void* userData)
    {
        auto* port = static_cast<Port*>(userData);
        if (message == nullptr || message->empty() || !port->m_recording.load())
            return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        const auto elapsed = (now - port->m_startNanoseconds.load()) / 1000000;
        QueuedEvent event;
        event.timeStamp = static_cast<std::uint32_t>(elapsed);
        event.systemExclusive = message->front() == 0xF0;
        size_t offset = 0;
        do
        {
            const size_t piece = std::min(kEventBytes, message->size() - offset);
            std::memcpy(event.bytes.data(), message->data() + offset, piece);
            event.length = static_cast<std::uint16_t>(piece);
            offset += piece;
            event.endOfMessage = offset == message->size();
            if (!port->m_queue.push(event))
                return;
            port->m_wake.release();
        } while (offset < message->size() && event.systemExclusive);
    }

    // Delivery thread.
    void deliveryLoop()
    {
        platform::setCurrentThreadName("corvane-midi-in");
        while (true)
        {
            m_wake.acquire();
            while (auto event = m_queue.pop())
                deliver(*event);
            if (m_stopping.load())
                return;
        }
    }

    void deliver(const QueuedEvent& event)
    {
        CMIDIReceiver* receiver = m_receiver.load();
        if (receiver == nullptr)
            return;
        if (!event.systemExclusive)
        {
            std::uint32_t packed = 0;
            for (size_t index = 0; index < std::min<size_t>(event.length, 3); ++index)
                packed |= static_cast<std::uint32_t>(event.bytes[index]) << (8 * index);
            receiver->ReceiveMsg(packed, event.timeStamp);
            return;
        }
        deliverSysEx(*receiver, event);
    }

    // Copies a piece of system exclusive data into the receiver's buffers,
    // handing each buffer over when it is full or the message ends.
    void deliverSysEx(CMIDIReceiver& receiver, const QueuedEvent& event)
    {
        size_t offset = 0;
        while (offset < event.length)
        {
            if (m_current.data == nullptr && !takeBuffer())
            {
                m_droppedBytes.fill(0);
                const size_t dropped = std::min<size_t>(event.length - offset, kEventBytes);
                std::memcpy(m_droppedBytes.data(), event.bytes.data() + offset, dropped);
                receiver.OnError(m_droppedBytes.data(), dropped, event.timeStamp);
                return;
            }
            const size_t piece = std::min(event.length - offset, m_current.size - m_currentFill);
            std::memcpy(m_current.data + m_currentFill, event.bytes.data() + offset, piece);
            m_currentFill += piece;
            offset += piece;
            if (m_currentFill == m_current.size || (event.endOfMessage && offset == event.length))
                handOver(receiver, event.timeStamp);
        }
    }

    bool takeBuffer()
    {
        std::lock_guard lock(m_buffersMutex);
        if (m_sysExBuffers.empty())
            return false;
        m_current = m_sysExBuffers.front();
        m_sysExBuffers.pop_front();
        m_currentFill = 0;
        return true;
    }

    void handOver(CMIDIReceiver& receiver, std::uint32_t timeStamp)
    {
        const SysExBuffer buffer = m_current;
        const size_t filled = m_currentFill;
        m_current = {nullptr, 0};
        m_currentFill = 0;
        receiver.ReceiveMsg(buffer.data, filled, timeStamp);
    }

    std::unique_ptr<RtMidiIn> m_input;
    std::atomic<CMIDIReceiver*>& m_receiver;
    platform::SpscQueue<QueuedEvent> m_queue;
    std::counting_semaphore<> m_wake{0};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_recording{false};
    std::atomic<std::int64_t> m_startNanoseconds{0};

    std::mutex m_buffersMutex;
    std::deque<SysExBuffer> m_sysExBuffers;
    SysExBuffer m_current{nullptr, 0};
    size_t m_currentFill = 0;
    std::array<unsigned char, kEventBytes> m_droppedBytes{};

    std::thread m_delivery;
};

CMIDIInDevice::CMIDIInDevice() = default;

CMIDIInDevice::CMIDIInDevice(CMIDIReceiver& receiver) : m_pReceiver(&receiver) {}

CMIDIInDevice::~CMIDIInDevice()
{
    Close();
}

unsigned CMIDIInDevice::GetNumDevs()
{
    return static_cast<unsigned>(enumeratePorts().size());
}

bool CMIDIInDevice::GetDevCaps(unsigned deviceIndex, MIDIInCaps& capabilities)
{
    const auto ports = enumeratePorts();
    if (deviceIndex >= ports.size())
        return false;
    capabilities.name = ports[deviceIndex].name;
    return true;
}

std::vector<std::string> CMIDIInDevice::DeviceNames()
{
    std::vector<std::string> names;
    for (const auto& port : enumeratePorts())
        names.push_back(port.name);
    return names;
}

void CMIDIInDevice::Open(unsigned deviceIndex)
{
    Close();
    const auto ports = enumeratePorts();
    if (deviceIndex >= ports.size())
        throw CMIDIInException("MIDI input device " + std::to_string(deviceIndex) +
                               " does not exist");
    const PortEntry& entry = ports[deviceIndex];
    auto input = createInput(entry.api);
    if (!input)
        throw CMIDIInException("MIDI system unavailable for " + entry.name);
    try
    {
        // The port list may have changed since it was read: find it by name.
        unsigned apiIndex = entry.apiIndex;
        const std::string wanted = entry.api == RtMidi::UNIX_JACK
                                       ? entry.name.substr(std::strlen(kJackPrefix))
                                       : entry.name;
        const unsigned count = input->getPortCount();
        for (unsigned index = 0; index < count; ++index)
            if (input->getPortName(index) == wanted)
                apiIndex = index;
        if (apiIndex >= count)
            throw CMIDIInException("MIDI input device " + entry.name + " disappeared");
        input->openPort(apiIndex, "MIDI In");
        if (!input->isPortOpen())
            throw CMIDIInException("Cannot open MIDI input device " + entry.name);
    }
    catch (const RtMidiError& error)
    {
        throw CMIDIInException(error.getMessage());
    }
    m_port = std::make_unique<Port>(std::move(input), m_pReceiver);
}

void CMIDIInDevice::Close()
{
    m_port.reset();
}

bool CMIDIInDevice::IsOpen() const
{
    return m_port != nullptr;
}

void CMIDIInDevice::StartRecording()
{
    if (!m_port)
        throw CMIDIInException("MIDI input device is not open");
    m_port->startRecording();
}

void CMIDIInDevice::StopRecording()
{
    if (m_port)
        m_port->stopRecording();
}

bool CMIDIInDevice::IsRecording() const
{
    return m_port && m_port->recording();
}

void CMIDIInDevice::SetReceiver(CMIDIReceiver& receiver)
{
    m_pReceiver.store(&receiver);
}

void CMIDIInDevice::AddSysExBuffer(unsigned char* buffer, std::size_t size)
{
    if (m_port)
        m_port->addSysExBuffer(buffer, size);
}

} // namespace midi
