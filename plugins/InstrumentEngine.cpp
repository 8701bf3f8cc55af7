#include "plugins/InstrumentEngine.h"

#include "utilkit/midi/ShortMsg.h"

#include <algorithm>
#include <cstring>

namespace
{
const char* const kNoSynthText = "No synth";
const char* const kLoadingText = "Loading...";
const char* const kFailedText = "Failed";
const char* const kNotASynthText = "Not a synth";

// MIDI status nibbles and controllers.
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPolyPressure = 0xA0;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kBankSelectMsb = 0;
constexpr uint8_t kBankSelectLsb = 32;
constexpr uint8_t kAllSoundOff = 120;
constexpr uint8_t kAllNotesOff = 123;

// A panic walks every note of every channel, then each channel's two
// controllers, and may take several blocks when the plug-in's event list is
// full.
constexpr int kPanicNoteSteps = InstrumentEngine::kChannelCount * InstrumentEngine::kNoteCount;
constexpr int kPanicSteps = kPanicNoteSteps + InstrumentEngine::kChannelCount;
} // namespace

InstrumentEngine::InstrumentEngine() : m_strText(kNoSynthText)
{
    for (auto& channel : m_sentNote)
        channel.fill(kNothingSent);
    m_slot.setInstrumentsOnly(true);
    // Below the GUI thread, which keeps its own priority; not the lowest,
    // which starves behind any busy process while a player waits.
    m_slot.setLoaderPriority(platform::ThreadPriority::BelowNormal);
    m_slot.setEventFeed(&InstrumentEngine::feedBlock, this);
    m_slot.setLoadFinished(
        [this](const std::string& path, const PluginSlot::LoadOutcome& outcome)
        {
            {
                const std::lock_guard lock(m_stateMutex);
                m_strPlayingPath = outcome.result == PluginSlot::LoadResult::Loaded ? path : "";
            }
            loadFinished(outcome);
        });
    m_midiIn.SetReceiver(*this);
}

InstrumentEngine::~InstrumentEngine()
{
    m_listener.store(nullptr);
    // The delivery thread is joined before the queues and the slot go.
    closePort();
}

void InstrumentEngine::prepare(double sampleRate)
{
    // Notes played while the device is off would all sound at power-on.
    m_bDeviceRunning.store(sampleRate > 0.0);
    // Keys released while it is off send nothing: what was held at power-off
    // is released at the next power-on, before anything else.
    if (sampleRate <= 0.0)
        panic();
    m_slot.setSampleRate(static_cast<float>(sampleRate));
}

// Audio thread.
void InstrumentEngine::process(float** in, float** out, long numIn, long numOut,
                               long frames) noexcept
{
    const int inputs = static_cast<int>(std::max(numIn, 0L));
    const int outputs = static_cast<int>(std::max(numOut, 0L));
    if (m_slot.process(in, inputs, out, outputs, frames))
        return;
    for (int channel = 0; channel < outputs; ++channel)
        std::fill_n(out[channel], std::max(frames, 0L), 0.0f);
    discardQueued();
}

void InstrumentEngine::loadPlugin(const std::string& path)
{
    m_bEditorIdle.store(false);
    setState(State::Loading, kLoadingText);
    m_slot.requestLoad(path);
}

// Loader thread.
void InstrumentEngine::loadFinished(const PluginSlot::LoadOutcome& outcome)
{
    // An instrument chosen while this one loaded comes next.
    if (m_slot.loadPending())
        return;
    switch (outcome.result)
    {
    case PluginSlot::LoadResult::Loaded:
        setState(State::Playing, outcome.name);
        break;
    case PluginSlot::LoadResult::Rejected:
        setState(State::NotASynth, kNotASynthText);
        break;
    case PluginSlot::LoadResult::Failed:
        setState(State::Failed, kFailedText);
        break;
    }
}

void InstrumentEngine::setState(State state, const std::string& text)
{
    {
        const std::lock_guard lock(m_stateMutex);
        m_state = state;
        m_strText = text;
    }
    if (InstrumentListener* listener = m_listener.load())
        listener->instrumentChanged();
}

InstrumentEngine::State InstrumentEngine::state() const
{
    const std::lock_guard lock(m_stateMutex);
    return m_state;
}

std::string InstrumentEngine::displayText() const
{
    const std::lock_guard lock(m_stateMutex);
    return m_strText;
}

std::string InstrumentEngine::playingPath() const
{
    const std::lock_guard lock(m_stateMutex);
    return m_state == State::Playing ? m_strPlayingPath : std::string();
}

bool InstrumentEngine::openPort(int deviceIndex)
{
    closePort();
    if (deviceIndex < 0)
        return false;
    try
    {
        m_midiIn.Open(static_cast<unsigned>(deviceIndex));
        m_midiIn.AddSysExBuffer(m_sysexBuffer.data(), m_sysexBuffer.size());
        m_midiIn.StartRecording();
        return true;
    }
    catch (const midi::CMIDIInException&)
    {
        m_midiIn.Close();
        return false;
    }
}

void InstrumentEngine::closePort()
{
    if (m_midiIn.IsRecording())
        m_midiIn.StopRecording();
    m_midiIn.Close();
}

// MIDI delivery thread.
void InstrumentEngine::ReceiveMsg(std::uint32_t packedMessage, std::uint32_t timeStamp)
{
    const midi::CShortMsg message(packedMessage, timeStamp);
    const uint8_t command = message.GetCommand();
    if (command == kControlChange)
        return;
    if (InstrumentListener* listener = m_listener.load())
        listener->midiActivity();
    if (!playing() || !m_bDeviceRunning.load())
        return;
    Event event;
    event.bytes[0] = message.GetStatus();
    event.bytes[1] = message.GetData1();
    event.bytes[2] = message.GetData2();
    const bool carriesNote = command == kNoteOff || command == kNoteOn || command == kPolyPressure;
    if (carriesNote && message.GetChannel() != kDrumChannel)
    {
        int8_t& sent = m_sentNote[message.GetChannel()][message.GetData1()];
        const bool noteOn = command == kNoteOn && message.GetData2() > 0;
        const bool noteOff = command == kNoteOff || (command == kNoteOn && !noteOn);
        int target = message.GetData1() + transpose();
        if (noteOn)
        {
            // A key struck again before its note-off, after the transpose
            // moved: the note it sent first ends, or nothing would end it.
            if (sent >= 0 && sent != target)
            {
                Event release = event;
                release.bytes[0] = static_cast<uint8_t>(kNoteOff | message.GetChannel());
                release.bytes[1] = static_cast<uint8_t>(sent);
                release.bytes[2] = 0;
                pushFromMidi(release);
            }
            const bool inRange = target >= 0 && target < kNoteCount;
            sent = inRange ? static_cast<int8_t>(target) : kDropped;
            if (!inRange)
                return;
        }
        else
        {
            // A note-off or pressure follows its note-on wherever it went.
            if (sent == kDropped)
            {
                if (noteOff)
                    sent = kNothingSent;
                return;
            }
            if (sent != kNothingSent)
                target = sent;
            if (noteOff)
                sent = kNothingSent;
            if (target < 0 || target >= kNoteCount)
                return;
        }
        event.bytes[1] = static_cast<uint8_t>(target);
    }
    pushFromMidi(event);
}

// MIDI delivery thread.
void InstrumentEngine::ReceiveMsg(unsigned char* buffer, std::size_t bytesRecorded, std::uint32_t)
{
    if (playing() && m_bDeviceRunning.load() && bytesRecorded > 0 && bytesRecorded <= kSysexBytes)
    {
        Event event;
        event.kind = Event::Sysex;
        event.sysexLength = static_cast<uint8_t>(bytesRecorded);
        std::memcpy(event.sysex, buffer, bytesRecorded);
        pushFromMidi(event);
    }
    // The own port's buffer goes back to it; the remote port's is its own.
    if (buffer == m_sysexBuffer.data())
        m_midiIn.AddSysExBuffer(m_sysexBuffer.data(), m_sysexBuffer.size());
    if (InstrumentListener* listener = m_listener.load())
        listener->midiActivity();
}

void InstrumentEngine::pushFromMidi(const Event& event)
{
    if (!m_midiEvents.push(event))
        m_nDropped.fetch_add(1, std::memory_order_relaxed);
}

void InstrumentEngine::pushFromGui(const Event& event)
{
    if (!m_guiEvents.push(event))
        m_nDropped.fetch_add(1, std::memory_order_relaxed);
}

void InstrumentEngine::sendPreset(int channel, int bankMsb, int bankLsb, int program)
{
    const auto status = static_cast<uint8_t>(std::clamp(channel, 1, kChannelCount) - 1);
    auto data = [](int value) { return static_cast<uint8_t>(std::clamp(value, 0, 127)); };
    Event event;
    event.bytes[0] = kControlChange | status;
    event.bytes[1] = kBankSelectMsb;
    event.bytes[2] = data(bankMsb);
    pushFromGui(event);
    event.bytes[1] = kBankSelectLsb;
    event.bytes[2] = data(bankLsb);
    pushFromGui(event);
    event.bytes[0] = kProgramChange | status;
    event.bytes[1] = data(program);
    event.bytes[2] = 0;
    pushFromGui(event);
}

void InstrumentEngine::allSoundOff()
{
    Event event;
    event.bytes[1] = kAllSoundOff;
    for (uint8_t channel = 0; channel < kChannelCount; ++channel)
    {
        event.bytes[0] = kControlChange | channel;
        pushFromGui(event);
    }
}

void InstrumentEngine::panic()
{
    Event event;
    event.kind = Event::Panic;
    pushFromGui(event);
}

// Audio thread.
void InstrumentEngine::feedBlock(void* context, CMVST& plugin) noexcept
{
    static_cast<InstrumentEngine*>(context)->feed(plugin);
}

// Audio thread: the plug-in's event list is empty at the start of each block
// and holds a fixed number of events; what does not fit waits in the queues.
void InstrumentEngine::feed(CMVST& plugin) noexcept
{
    int shortRoom = CMVST::kMaxEventsPerBlock;
    int sysexRoom = CMVST::kMaxSysexPerBlock;
    if (m_nPanicStep >= 0 && !continuePanic(plugin, shortRoom))
        return;
    for (platform::SpscQueue<Event>* queue : {&m_guiEvents, &m_midiEvents})
        while (shortRoom > 0 && sysexRoom > 0)
        {
            const std::optional<Event> event = queue->pop();
            if (!event)
                break;
            if (!deliver(plugin, *event, shortRoom, sysexRoom))
                return;
        }
}

// Audio thread. false: a panic is still running and the block is full.
bool InstrumentEngine::deliver(CMVST& plugin, const Event& event, int& shortRoom,
                               int& sysexRoom) noexcept
{
    const float rate = m_slot.sampleRate();
    switch (event.kind)
    {
    case Event::Panic:
        m_nPanicStep = 0;
        return continuePanic(plugin, shortRoom);
    case Event::Sysex:
        plugin.AddSysexMessages(reinterpret_cast<const char*>(event.sysex), event.sysexLength, rate,
                                0);
        --sysexRoom;
        return true;
    case Event::Short:
        break;
    }
    const uint8_t command = event.bytes[0] & 0xF0;
    const uint8_t channel = event.bytes[0] & 0x0F;
    if (command == kNoteOn || command == kNoteOff)
        m_held[channel][event.bytes[1] & 0x7F] = command == kNoteOn && event.bytes[2] > 0;
    plugin.AddMidiMessages(static_cast<char>(event.bytes[0]), static_cast<char>(event.bytes[1]),
                           static_cast<char>(event.bytes[2]), rate, 0);
    --shortRoom;
    return true;
}

// Audio thread. true when the panic has finished.
bool InstrumentEngine::continuePanic(CMVST& plugin, int& shortRoom) noexcept
{
    const float rate = m_slot.sampleRate();
    for (; m_nPanicStep < kPanicSteps; ++m_nPanicStep)
    {
        if (m_nPanicStep < kPanicNoteSteps)
        {
            const int channel = m_nPanicStep / kNoteCount;
            const int note = m_nPanicStep % kNoteCount;
            bool& held = m_held[static_cast<size_t>(channel)][static_cast<size_t>(note)];
            if (!held)
                continue;
            if (shortRoom == 0)
                return false;
            plugin.AddMidiMessages(static_cast<char>(kNoteOff | channel), static_cast<char>(note),
                                   0, rate, 0);
            held = false;
            --shortRoom;
            continue;
        }
        if (shortRoom < 2)
            return false;
        const auto status = static_cast<char>(kControlChange | (m_nPanicStep - kPanicNoteSteps));
        plugin.AddMidiMessages(status, static_cast<char>(kAllSoundOff), 0, rate, 0);
        plugin.AddMidiMessages(status, static_cast<char>(kAllNotesOff), 0, rate, 0);
        shortRoom -= 2;
    }
    m_nPanicStep = -1;
    return true;
}

// Audio thread, nothing published: queued events would reach the next
// instrument late and out of place, and it holds no notes.
void InstrumentEngine::discardQueued() noexcept
{
    while (m_guiEvents.pop())
    {
    }
    while (m_midiEvents.pop())
    {
    }
    for (auto& notes : m_held)
        notes.fill(false);
    m_nPanicStep = -1;
}
