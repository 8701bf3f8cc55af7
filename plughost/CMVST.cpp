#include "plughost/CMVST.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace
{
// The wrapper whose library's entry function is running on this thread: the
// plug-in may call the host before the host knows its effect (most ask for
// the host's version from inside the entry call).
thread_local CMVST* t_loading = nullptr;
// Set while this thread is inside a block of some plug-in.
thread_local bool t_inBlock = false;

// Reported tempo and metre: the rack has no transport of its own.
constexpr double kDefaultTempo = 120.0;
constexpr int32_t kBeatsPerBar = 4;
constexpr double kSecondsPerMinute = 60.0;

const char* const kHostName = "Corvane";
constexpr intptr_t kHostVendorVersion = 1;
// What a plug-in may ask the host for with hostCanDo and get "yes".
const char* const kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                  "sizeWindow", "supplyIdle"};
} // namespace

CMVST::CMVST()
{
    // Header (count and reserved word) plus one pointer per event.
    m_eventList.assign(2 + kMaxEventsPerBlock + m_sysexEvents.size(), 0);
    m_timeInfo.sampleRate = m_fHostRate.load();
    m_timeInfo.tempo = kDefaultTempo;
    m_timeInfo.timeSigNumerator = kBeatsPerBar;
    m_timeInfo.timeSigDenominator = kBeatsPerBar;
    m_timeInfo.flags = vst::timeTempoValid | vst::timeSigValid | vst::timePpqPosValid;
}

CMVST::~CMVST()
{
    UnloadVST();
}

bool CMVST::LoadVST(const std::string& path)
{
    UnloadVST();
    m_bFaulted = false;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return false;
    m_hLibrary = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_hLibrary == nullptr)
        return false;
    void* symbol = dlsym(m_hLibrary, "VSTPluginMain");
    if (symbol == nullptr)
        symbol = dlsym(m_hLibrary, "main");
    vst::Effect* loaded = nullptr;
    if (symbol != nullptr)
    {
        auto entry = reinterpret_cast<vst::EntryProc>(symbol);
        t_loading = this;
        try
        {
            loaded = entry(&CMVST::hostCallback);
        }
        catch (...)
        {
            loaded = nullptr;
        }
        t_loading = nullptr;
    }
    // A wrong magic word means the structure cannot be trusted, not even to
    // close it: the library stays mapped rather than risk a jump into it.
    if (loaded != nullptr && loaded->magic != vst::kEffectMagic)
    {
        m_hLibrary = nullptr;
        return false;
    }
    if (loaded == nullptr)
    {
        dlclose(m_hLibrary);
        m_hLibrary = nullptr;
        return false;
    }
    loaded->hostReserved = reinterpret_cast<intptr_t>(this);
    m_strPath = absolute.string();
    m_nInputs = std::max(0, loaded->numInputs);
    m_nOutputs = std::max(0, loaded->numOutputs);
    m_nFlags.store(loaded->flags, std::memory_order_relaxed);
    m_timeInfo.samplePos = 0.0;
    m_pEffect.store(loaded, std::memory_order_release);
    return true;
}

void CMVST::UnloadVST()
{
    if (isLoaded())
    {
        if (m_bEditorOpen)
            EditClose();
        if (m_bMainsOn)
            MainsChanged(false);
        dispatch(vst::effClose);
        m_pEffect.store(nullptr, std::memory_order_release);
    }
    if (m_hLibrary != nullptr)
        dlclose(m_hLibrary);
    m_hLibrary = nullptr;
    m_nFlags.store(0, std::memory_order_relaxed);
    m_bWantsMidi.store(false, std::memory_order_relaxed);
    m_nInputs = 0;
    m_nOutputs = 0;
    m_bEditorOpen = false;
    m_bMainsOn = false;
    m_strPath.clear();
    while (m_midiQueue.pop())
    {
    }
    while (m_sysexQueue.pop())
    {
    }
}

intptr_t CMVST::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option)
{
    vst::Effect* loaded = effect();
    if (loaded == nullptr || loaded->dispatcher == nullptr)
        return -1;
    try
    {
        return loaded->dispatcher(loaded, opcode, index, value, ptr, option);
    }
    catch (...)
    {
        m_bFaulted = true;
        return -1;
    }
}

long CMVST::Open()
{
    return static_cast<long>(dispatch(vst::effOpen));
}

long CMVST::GetEffectName(char* name)
{
    // Some plug-ins write more than the interface allows: the racks pass 255
    // bytes, and the name is cut at the interface's length.
    const long result = static_cast<long>(dispatch(vst::effGetEffectName, 0, 0, name));
    name[vst::kMaxNameLength - 1] = '\0';
    return result;
}

void CMVST::setHostAnswers(float rate, long blockFrames)
{
    m_fHostRate.store(rate, std::memory_order_relaxed);
    m_nHostBlock.store(blockFrames, std::memory_order_relaxed);
    m_timeInfo.sampleRate = rate;
}

long CMVST::SetSampleRate(float rate)
{
    m_fHostRate.store(rate, std::memory_order_relaxed);
    m_timeInfo.sampleRate = rate;
    return static_cast<long>(dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate));
}

long CMVST::SetBlockSize(long frames)
{
    m_nHostBlock.store(frames, std::memory_order_relaxed);
    return static_cast<long>(dispatch(vst::effSetBlockSize, 0, frames));
}

long CMVST::MainsChanged(bool on)
{
    const long result = static_cast<long>(dispatch(vst::effMainsChanged, 0, on ? 1 : 0));
    m_bMainsOn = on && isLoaded();
    return result;
}

long CMVST::SetBypass(bool bypass)
{
    return static_cast<long>(dispatch(vst::effSetBypass, 0, bypass ? 1 : 0));
}

long CMVST::EditGetRect(void* rect)
{
    *static_cast<vst::EditorRect**>(rect) = nullptr;
    return static_cast<long>(dispatch(vst::effEditGetRect, 0, 0, rect));
}

long CMVST::EditOpen(void* parent)
{
    const long result = static_cast<long>(dispatch(vst::effEditOpen, 0, 0, parent));
    m_bEditorOpen = isLoaded();
    return result;
}

long CMVST::EditClose()
{
    if (!m_bEditorOpen)
        return 0;
    m_bEditorOpen = false;
    return static_cast<long>(dispatch(vst::effEditClose));
}

long CMVST::EditIdle()
{
    return m_bEditorOpen ? static_cast<long>(dispatch(vst::effEditIdle)) : 0;
}

long CMVST::Idle()
{
    return static_cast<long>(dispatch(vst::effIdle));
}

void CMVST::setSizeWindowHandler(SizeWindowHandler handler)
{
    const std::lock_guard lock(m_sizeWindowMutex);
    m_sizeWindow = std::move(handler);
}

// Audio thread.
void CMVST::vstprocess(float** in, float** out, long frames) noexcept
{
    vst::Effect* loaded = effect();
    if (loaded == nullptr || loaded->process == nullptr)
        return;
    t_inBlock = true;
    deliverEvents();
    try
    {
        loaded->process(loaded, in, out, static_cast<int32_t>(frames));
    }
    catch (...)
    {
    }
    advanceTime(frames);
    t_inBlock = false;
}

// Audio thread.
void CMVST::vstprocessReplacing(float** in, float** out, long frames) noexcept
{
    vst::Effect* loaded = effect();
    if (loaded == nullptr || loaded->processReplacing == nullptr)
        return;
    t_inBlock = true;
    deliverEvents();
    try
    {
        loaded->processReplacing(loaded, in, out, static_cast<int32_t>(frames));
    }
    catch (...)
    {
    }
    advanceTime(frames);
    t_inBlock = false;
}

// Audio thread: the queued events as one effProcessEvents call, from storage
// prepared beforehand.
void CMVST::deliverEvents() noexcept
{
    if (m_midiQueue.empty() && m_sysexQueue.empty())
        return;
    auto* list = reinterpret_cast<vst::Events*>(m_eventList.data());
    // The pointers follow the count and the reserved word.
    auto** slots = reinterpret_cast<vst::Event**>(m_eventList.data() + 2);
    int count = 0;
    while (count < kMaxEventsPerBlock)
    {
        const std::optional<MidiMessage> message = m_midiQueue.pop();
        if (!message)
            break;
        vst::MidiEvent& event = m_midiEvents[static_cast<size_t>(count)];
        event = {};
        event.type = vst::eventMidi;
        event.byteSize = sizeof(vst::MidiEvent);
        event.deltaFrames = message->deltaFrames;
        std::memcpy(event.midiData, message->bytes, sizeof(message->bytes));
        slots[count++] = reinterpret_cast<vst::Event*>(&event);
    }
    for (size_t sysex = 0; sysex < m_sysexEvents.size(); ++sysex)
    {
        std::optional<SysexMessage> message = m_sysexQueue.pop();
        if (!message)
            break;
        m_sysexData[sysex] = *message;
        vst::SysexEvent& event = m_sysexEvents[sysex];
        event = {};
        event.type = vst::eventSysex;
        event.byteSize = sizeof(vst::SysexEvent);
        event.deltaFrames = message->deltaFrames;
        event.dumpBytes = message->length;
        event.sysexDump = m_sysexData[sysex].bytes;
        slots[count++] = reinterpret_cast<vst::Event*>(&event);
    }
    list->numEvents = count;
    dispatch(vst::effProcessEvents, 0, 0, list);
}

void CMVST::advanceTime(long frames) noexcept
{
    m_timeInfo.samplePos += static_cast<double>(frames);
    if (m_timeInfo.sampleRate > 0.0)
        m_timeInfo.ppqPos =
            m_timeInfo.samplePos / m_timeInfo.sampleRate * m_timeInfo.tempo / kSecondsPerMinute;
}

void CMVST::AddMidiMessages(char status, char data1, char data2, float, unsigned long time) noexcept
{
    MidiMessage message{{status, data1, data2}, static_cast<int32_t>(time)};
    m_midiQueue.push(message);
}

void CMVST::AddSysexMessages(const char* data, unsigned long length, float,
                             unsigned long time) noexcept
{
    if (length == 0 || length > static_cast<unsigned long>(kMaxSysexBytes))
        return;
    SysexMessage message{};
    std::memcpy(message.bytes, data, length);
    message.length = static_cast<int32_t>(length);
    message.deltaFrames = static_cast<int32_t>(time);
    m_sysexQueue.push(message);
}

// Any thread the plug-in calls from: its entry call, the control thread, the
// audio thread (time, process level) or its editor.
intptr_t CMVST::hostCallback(vst::Effect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float)
{
    CMVST* host = effect != nullptr && effect->hostReserved != 0
                      ? reinterpret_cast<CMVST*>(effect->hostReserved)
                      : t_loading;
    if (opcode == vst::hostVersion)
        return vst::kHostVersion;
    if (host == nullptr)
        return 0;
    return host->answerHost(opcode, index, value, ptr);
}

intptr_t CMVST::answerHost(int32_t opcode, int32_t index, intptr_t value, void* ptr)
{
    switch (opcode)
    {
    case vst::hostGetSampleRate:
        return static_cast<intptr_t>(hostSampleRate());
    case vst::hostGetBlockSize:
        return static_cast<intptr_t>(hostBlockSize());
    case vst::hostGetTime:
        return reinterpret_cast<intptr_t>(&m_timeInfo);
    case vst::hostWantMidi:
        m_bWantsMidi.store(true, std::memory_order_relaxed);
        return 1;
    case vst::hostSizeWindow:
    {
        const std::lock_guard lock(m_sizeWindowMutex);
        if (!m_sizeWindow)
            return 0;
        m_sizeWindow(index, static_cast<int>(value));
        return 1;
    }
    case vst::hostGetCurrentProcessLevel:
        return t_inBlock ? vst::processLevelRealtime : vst::processLevelUser;
    case vst::hostGetVendorString:
    case vst::hostGetProductString:
        if (ptr != nullptr)
            std::strncpy(static_cast<char*>(ptr), kHostName, vst::kMaxVendorLength - 1);
        return 1;
    case vst::hostGetVendorVersion:
        return kHostVendorVersion;
    case vst::hostCanDo:
        if (ptr != nullptr)
            for (const char* can : kHostCanDo)
                if (std::strcmp(static_cast<const char*>(ptr), can) == 0)
                    return 1;
        return 0;
    default:
        // Automation, idle requests, display updates, edit gestures: nothing
        // to do for a rack without automation.
        return 0;
    }
}
