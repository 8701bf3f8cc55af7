// Corvane's test plug-in, built several times from this one source with
// different shapes (see CMakeLists.txt):
//   TESTPLUG_INPUTS / TESTPLUG_OUTPUTS  channel counts
//   TESTPLUG_ENTRY          1 "VSTPluginMain", 2 "main", 0 neither
//   TESTPLUG_REPLACING      1 replacing processing, 0 accumulating only
//   TESTPLUG_INSTRUMENT     1: flagged as an instrument, writes 0.25 constant
//   TESTPLUG_SINE           1: the instrument is a sine synth instead: each
//                           held note sounds at 440·2^((n-69)/12) Hz with
//                           peak velocity/254 on every output; it ignores
//                           All Sound Off and All Notes Off, as many synths
//                           do, so only note-offs silence it
//   TESTPLUG_THROW_IN_OPEN  1: effOpen throws
//   TESTPLUG_BAD_MAGIC      1: the effect's magic word is wrong
//   TESTPLUG_OPEN_DELAY_MS  effOpen takes this long
//   TESTPLUG_NAME           the effect name ("" for none)
// Effects multiply by their gain (parameter 0, 0.5 at start): output k is
// gain × (input k mod inputs), plus input k + 2 where the plug-in has it, so
// every declared channel is read and written. The stub editor reports a
// 300×150 rectangle and asks the host to resize it to 320×160 when opened.

#include "TestPluginCounts.h"
#include "plughost/VstAbi.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <thread>

#define TESTPLUG_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{

TestPluginCounts g_counts;

constexpr float kDefaultGain = 0.5f;
constexpr float kInstrumentLevel = 0.25f;
constexpr vst::EditorRect kEditorRect{0, 0, 150, 300};
constexpr int kResizedWidth = 320;
constexpr int kResizedHeight = 160;
constexpr int kMidiChannels = 16;
constexpr int kMidiNotes = 128;
// Velocity 127 peaks at 0.5: velocity 100 is RMS 100/254/√2 = 0.2784.
constexpr float kVelocityScale = 1.0f / 254.0f;

// A rotating phasor (re, im): the sine is im. It turns by one step a frame,
// a step made once for the rate it was made at.
struct Voice
{
    bool on = false;
    float amplitude = 0.0f;
    double frequency = 0.0;
    double re = 1.0;
    double im = 0.0;
    double turnRate = 0.0;
    double turnCos = 1.0;
    double turnSin = 0.0;
};

struct Plugin
{
    vst::Effect effect{};
    vst::HostCallback host = nullptr;
    float gain = kDefaultGain;
    std::atomic<bool> mainsOn{false};
    std::atomic<bool> inBlock{false};
    std::atomic<int> inDispatcher{0};
    vst::EditorRect rect = kEditorRect;
    double sampleRate = 44100.0;
    std::array<std::array<Voice, kMidiNotes>, kMidiChannels> voices{};
    // The sounding voices as channel * 128 + note, in rising order (the
    // order voices are summed in), so a block visits only these.
    std::array<uint16_t, kMidiChannels * kMidiNotes> sounding{};
    int soundingCount = 0;
};

void startSounding(Plugin* plugin, int index)
{
    uint16_t* const begin = plugin->sounding.data();
    uint16_t* const end = begin + plugin->soundingCount;
    uint16_t* const at = std::lower_bound(begin, end, index);
    if (at != end && *at == index)
        return;
    std::copy_backward(at, end, end + 1);
    *at = static_cast<uint16_t>(index);
    plugin->soundingCount++;
}

void stopSounding(Plugin* plugin, int index)
{
    uint16_t* const begin = plugin->sounding.data();
    uint16_t* const end = begin + plugin->soundingCount;
    uint16_t* const at = std::lower_bound(begin, end, index);
    if (at == end || *at != index)
        return;
    std::copy(at + 1, end, at);
    plugin->soundingCount--;
}

// Audio thread: what the sine synth does with one event.
void receiveMidi(Plugin* plugin, const vst::Event* event)
{
    if (event->type == vst::eventSysex)
    {
        g_counts.sysexEvents++;
        return;
    }
    const auto* midi = reinterpret_cast<const vst::MidiEvent*>(event);
    const int command = static_cast<unsigned char>(midi->midiData[0]) & 0xF0;
    const int channel = midi->midiData[0] & 0x0F;
    const int data1 = midi->midiData[1] & 0x7F;
    const int data2 = midi->midiData[2] & 0x7F;
    Voice& voice = plugin->voices[static_cast<size_t>(channel)][static_cast<size_t>(data1)];
    if (command == 0x90 && data2 > 0)
    {
        g_counts.noteOns++;
        g_counts.lastNote = data1;
        voice = {};
        voice.on = true;
        voice.amplitude = static_cast<float>(data2) * kVelocityScale;
        voice.frequency = 440.0 * std::pow(2.0, (data1 - 69) / 12.0);
        startSounding(plugin, channel * kMidiNotes + data1);
    }
    else if (command == 0x80 || command == 0x90)
    {
        g_counts.noteOffs++;
        voice.on = false;
        stopSounding(plugin, channel * kMidiNotes + data1);
    }
    else if (command == 0xB0)
    {
        g_counts.controlChanges++;
        if (data1 == 0)
            g_counts.lastBankMsb = data2;
        if (data1 == 32)
            g_counts.lastBankLsb = data2;
    }
    else if (command == 0xC0)
    {
        g_counts.lastProgram = data1;
        g_counts.lastProgramChannel = channel;
    }
}

Plugin* self(vst::Effect* effect)
{
    return static_cast<Plugin*>(effect->object);
}

bool isConfiguration(int32_t opcode)
{
    return opcode == vst::effOpen || opcode == vst::effClose || opcode == vst::effSetSampleRate ||
           opcode == vst::effSetBlockSize || opcode == vst::effMainsChanged;
}

intptr_t dispatcher(vst::Effect* effect, int32_t opcode, int32_t, intptr_t value, void* ptr,
                    float option)
{
    Plugin* plugin = self(effect);
    // Events arrive on the audio thread inside its block; everything else
    // must come one call at a time.
    const bool counted = opcode != vst::effProcessEvents;
    if (counted && plugin->inDispatcher.fetch_add(1) != 0)
        g_counts.overlappingCalls++;
    if (isConfiguration(opcode) && plugin->inBlock.load())
        g_counts.configurationInBlock++;
    intptr_t result = 0;
    switch (opcode)
    {
    case vst::effOpen:
        g_counts.opens++;
        if (TESTPLUG_OPEN_DELAY_MS > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(TESTPLUG_OPEN_DELAY_MS));
        if (TESTPLUG_THROW_IN_OPEN)
        {
            plugin->inDispatcher--;
            throw std::runtime_error("test plug-in refuses to open");
        }
        break;
    case vst::effClose:
        g_counts.closes++;
        g_counts.instances--;
        delete plugin;
        return 0;
    case vst::effSetSampleRate:
        g_counts.lastSampleRate = option;
        plugin->sampleRate = option;
        break;
    case vst::effSetBlockSize:
        g_counts.lastBlockSize = static_cast<int>(value);
        break;
    case vst::effMainsChanged:
        plugin->mainsOn = value != 0;
        break;
    case vst::effGetEffectName:
        std::strcpy(static_cast<char*>(ptr), TESTPLUG_NAME);
        result = 1;
        break;
    case vst::effEditGetRect:
        *static_cast<vst::EditorRect**>(ptr) = &plugin->rect;
        result = 1;
        break;
    case vst::effEditOpen:
        g_counts.editorOpens++;
        g_counts.editorParent = reinterpret_cast<intptr_t>(ptr);
        plugin->host(effect, vst::hostSizeWindow, kResizedWidth, kResizedHeight, nullptr, 0.0f);
        result = 1;
        break;
    case vst::effEditClose:
        g_counts.editorCloses++;
        break;
    case vst::effEditIdle:
        g_counts.editorIdles++;
        break;
    case vst::effIdle:
        g_counts.idles++;
        break;
    case vst::effProcessEvents:
    {
        const auto* events = static_cast<vst::Events*>(ptr);
        g_counts.midiEvents += events->numEvents;
        if (TESTPLUG_SINE)
            for (int32_t index = 0; index < events->numEvents; ++index)
                receiveMidi(plugin, events->events[index]);
        result = 1;
    }
    break;
    case vst::effGetVstVersion:
        result = vst::kHostVersion;
        break;
    default:
        break;
    }
    if (counted)
        plugin->inDispatcher--;
    return result;
}

void renderVoices(Plugin* plugin, float** out, int outputs, int32_t frames, bool add)
{
    for (int channel = 0; channel < outputs; ++channel)
        if (!add)
            std::fill_n(out[channel], frames, 0.0f);
    // Four voices turn side by side (a short batch is padded with silent
    // ones), so their phasors' multiply-add chains overlap and the compiler
    // can pack them; each frame adds them to the output in voice order.
    constexpr int kBatch = 4;
    for (int first = 0; first < plugin->soundingCount; first += kBatch)
    {
        const int count = std::min(kBatch, plugin->soundingCount - first);
        Voice* voices[kBatch] = {};
        double re[kBatch] = {1.0, 1.0, 1.0, 1.0}, im[kBatch] = {};
        double turnCos[kBatch] = {1.0, 1.0, 1.0, 1.0}, turnSin[kBatch] = {};
        double amplitude[kBatch] = {};
        for (int v = 0; v < count; ++v)
        {
            const int index = plugin->sounding[static_cast<size_t>(first + v)];
            Voice& voice = plugin->voices[static_cast<size_t>(index / kMidiNotes)]
                                         [static_cast<size_t>(index % kMidiNotes)];
            if (voice.turnRate != plugin->sampleRate)
            {
                const double step = 2.0 * std::numbers::pi * voice.frequency / plugin->sampleRate;
                voice.turnCos = std::cos(step);
                voice.turnSin = std::sin(step);
                voice.turnRate = plugin->sampleRate;
            }
            voices[v] = &voice;
            re[v] = voice.re;
            im[v] = voice.im;
            turnCos[v] = voice.turnCos;
            turnSin[v] = voice.turnSin;
            amplitude[v] = voice.amplitude;
        }
        for (int32_t frame = 0; frame < frames; ++frame)
        {
            float samples[kBatch];
            for (int v = 0; v < kBatch; ++v)
            {
                samples[v] = static_cast<float>(amplitude[v] * im[v]);
                const double nextRe = re[v] * turnCos[v] - im[v] * turnSin[v];
                im[v] = re[v] * turnSin[v] + im[v] * turnCos[v];
                re[v] = nextRe;
            }
            for (int channel = 0; channel < outputs; ++channel)
            {
                float value = out[channel][frame];
                for (int v = 0; v < count; ++v)
                    value += samples[v];
                out[channel][frame] = value;
            }
        }
        // Rounding would let a phasor's length creep; one square root a
        // block holds it at 1, so the level stays exact over a long note.
        for (int v = 0; v < count; ++v)
        {
            const double length = std::sqrt(re[v] * re[v] + im[v] * im[v]);
            voices[v]->re = re[v] / length;
            voices[v]->im = im[v] / length;
        }
    }
}

// out = value(frame), or out += value(frame) for accumulating processing.
template <typename Value> void writeChannel(float* target, int32_t frames, bool add, Value value)
{
    if (add)
        for (int32_t frame = 0; frame < frames; ++frame)
            target[frame] += value(frame);
    else
        for (int32_t frame = 0; frame < frames; ++frame)
            target[frame] = value(frame);
}

void render(vst::Effect* effect, float** in, float** out, int32_t frames, bool add)
{
    Plugin* plugin = self(effect);
    plugin->inBlock = true;
    g_counts.blocks++;
    if (!plugin->mainsOn.load())
        g_counts.processWhileSuspended++;
    if (auto* time = reinterpret_cast<vst::TimeInfo*>(
            plugin->host(effect, vst::hostGetTime, 0, 0, nullptr, 0.0f)))
        g_counts.lastTimePosition = time->samplePos;
    const int inputs = effect->numInputs;
    if (TESTPLUG_SINE)
    {
        renderVoices(plugin, out, effect->numOutputs, frames, add);
        plugin->inBlock = false;
        return;
    }
    // The tests of flags and channel counts sit outside the frame loops, so
    // the loops stay simple enough to run in SIMD.
    const float gain = plugin->gain;
    for (int channel = 0; channel < effect->numOutputs; ++channel)
    {
        float* const target = out[channel];
        const float* const first = inputs > 0 ? in[channel % inputs] : nullptr;
        const float* const second = channel + 2 < inputs ? in[channel + 2] : nullptr;
        if (first == nullptr)
            writeChannel(target, frames, add, [](int32_t) { return kInstrumentLevel; });
        else if (second == nullptr)
            writeChannel(target, frames, add,
                         [first, gain](int32_t frame) { return first[frame] * gain; });
        else
            writeChannel(target, frames, add,
                         [first, second, gain](int32_t frame)
                         { return (first[frame] + second[frame]) * gain; });
    }
    plugin->inBlock = false;
}

void processReplacing(vst::Effect* effect, float** in, float** out, int32_t frames)
{
    render(effect, in, out, frames, false);
}

void processAccumulating(vst::Effect* effect, float** in, float** out, int32_t frames)
{
    render(effect, in, out, frames, true);
}

void setParameter(vst::Effect* effect, int32_t index, float value)
{
    if (index == 0)
        self(effect)->gain = value;
}

float getParameter(vst::Effect* effect, int32_t index)
{
    return index == 0 ? self(effect)->gain : 0.0f;
}

[[maybe_unused]] vst::Effect* createEffect(vst::HostCallback host)
{
    // Every plug-in tried asks for the host's version here, before the host
    // has its effect.
    g_counts.hostVersionAtEntry = host(nullptr, vst::hostVersion, 0, 0, nullptr, 0.0f);
    g_counts.hostRateAtEntry = host(nullptr, vst::hostGetSampleRate, 0, 0, nullptr, 0.0f);
    auto* plugin = new Plugin;
    plugin->host = host;
    vst::Effect& effect = plugin->effect;
    effect.magic = TESTPLUG_BAD_MAGIC ? 0 : vst::kEffectMagic;
    effect.dispatcher = &dispatcher;
    effect.process = &processAccumulating;
    effect.processReplacing = TESTPLUG_REPLACING ? &processReplacing : nullptr;
    effect.setParameter = &setParameter;
    effect.getParameter = &getParameter;
    effect.numPrograms = 1;
    effect.numParams = 1;
    effect.numInputs = TESTPLUG_INPUTS;
    effect.numOutputs = TESTPLUG_OUTPUTS;
    effect.flags = vst::flagHasEditor | (TESTPLUG_REPLACING ? vst::flagCanReplacing : 0) |
                   (TESTPLUG_INSTRUMENT ? vst::flagIsSynth : 0);
    effect.object = plugin;
    effect.uniqueId = 0x43727674; // four letters, as plug-in ids are
    effect.version = 1;
    g_counts.instances++;
    return &effect;
}

} // namespace

TESTPLUG_EXPORT TestPluginCounts* corvaneTestPluginCounts()
{
    return &g_counts;
}

#if TESTPLUG_ENTRY == 1
TESTPLUG_EXPORT vst::Effect* VSTPluginMain(vst::HostCallback host)
{
    return createEffect(host);
}
#elif TESTPLUG_ENTRY == 2
// Some libraries export the entry only under the old name "main".
TESTPLUG_EXPORT vst::Effect* oldStyleEntry(vst::HostCallback host) __asm__("main");
TESTPLUG_EXPORT vst::Effect* oldStyleEntry(vst::HostCallback host)
{
    return createEffect(host);
}
#endif
