#pragma once

// The binary interface of a VST 2.x plug-in, as a Linux plug-in library
// exposes it: the effect structure its entry function returns, the
// dispatcher and host-callback opcodes Corvane uses, the event, time and
// editor-rectangle records. Written from the interface's published layout
// (pointer-sized fields are intptr_t, every other integer 32 bits, natural
// alignment), so no outside header is needed. Only what Corvane's hosting
// uses is named here.
//
// No Qt, no threads: plain data shared by the host and Corvane's own test
// plug-ins.

#include <cstdint>

namespace vst
{

struct Effect;

// The host callback and the plug-in's dispatcher share one signature:
// (effect, opcode, index, value, pointer, float option).
using HostCallback = intptr_t (*)(Effect*, int32_t, int32_t, intptr_t, void*, float);
using DispatcherProc = intptr_t (*)(Effect*, int32_t, int32_t, intptr_t, void*, float);
using ProcessProc = void (*)(Effect*, float**, float**, int32_t);
using ProcessDoubleProc = void (*)(Effect*, double**, double**, int32_t);
using SetParameterProc = void (*)(Effect*, int32_t, float);
using GetParameterProc = float (*)(Effect*, int32_t);

// The entry function the library exports as "VSTPluginMain" (or "main").
using EntryProc = Effect* (*)(HostCallback);

// 'VstP' read as a big-endian 32-bit word.
constexpr int32_t kEffectMagic = 0x56737450;

// The version the host reports for itself (2.4).
constexpr intptr_t kHostVersion = 2400;

enum EffectFlags : int32_t
{
    flagHasEditor = 1 << 0,
    flagCanReplacing = 1 << 4,
    flagProgramChunks = 1 << 5,
    flagIsSynth = 1 << 8, // 0x100: an instrument
    flagNoSoundInStop = 1 << 9,
    flagCanDoubleReplacing = 1 << 12,
};

struct Effect
{
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process; // accumulating: adds into the outputs
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t hostReserved; // the host's own word (Corvane keeps its wrapper here)
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueId;
    int32_t version;
    ProcessProc processReplacing; // overwrites the outputs
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Opcodes the host sends through Effect::dispatcher.
enum PluginOpcode : int32_t
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effGetPlugCategory = 35,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effCanDo = 51,
    effIdle = 53,
    effGetVstVersion = 58,
    effStartProcess = 71,
    effStopProcess = 72,
};

// Opcodes a plug-in sends through the host callback.
enum HostOpcode : int32_t
{
    hostAutomate = 0,
    hostVersion = 1,
    hostCurrentId = 2,
    hostIdle = 3,
    hostWantMidi = 6,
    hostGetTime = 7,
    hostProcessEvents = 8,
    hostIOChanged = 13,
    hostSizeWindow = 15,
    hostGetSampleRate = 16,
    hostGetBlockSize = 17,
    hostGetInputLatency = 18,
    hostGetOutputLatency = 19,
    hostGetCurrentProcessLevel = 23,
    hostGetAutomationState = 24,
    hostGetVendorString = 32,
    hostGetProductString = 33,
    hostGetVendorVersion = 34,
    hostCanDo = 37,
    hostGetLanguage = 38,
    hostUpdateDisplay = 42,
    hostBeginEdit = 43,
    hostEndEdit = 44,
};

// Answers to hostGetCurrentProcessLevel.
enum ProcessLevel : intptr_t
{
    processLevelUser = 1,     // a GUI or worker thread
    processLevelRealtime = 2, // the audio thread, inside a block
};

// Lengths of the strings the interface exchanges, terminating NUL included.
constexpr int kMaxNameLength = 64;
constexpr int kMaxVendorLength = 64;

// The editor's rectangle, in pixels.
struct EditorRect
{
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

enum EventType : int32_t
{
    eventMidi = 1,
    eventSysex = 6,
};

// Header shared by every event.
struct Event
{
    int32_t type;
    int32_t byteSize; // size of the event after these two fields
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

struct MidiEvent
{
    int32_t type; // eventMidi
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct SysexEvent
{
    int32_t type; // eventSysex
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t dumpBytes;
    intptr_t reserved1;
    char* sysexDump;
    intptr_t reserved2;
};

// A block's events: a count and that many pointers (the array is declared
// with two entries and allocated longer).
struct Events
{
    int32_t numEvents;
    intptr_t reserved;
    Event* events[2];
};

// The host's transport, handed out by hostGetTime.
struct TimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

enum TimeInfoFlags : int32_t
{
    timeTransportPlaying = 1 << 1,
    timeNanosValid = 1 << 8,
    timePpqPosValid = 1 << 9,
    timeTempoValid = 1 << 10,
    timeSigValid = 1 << 13,
};

static_assert(sizeof(MidiEvent) == 32, "MIDI events are 32 bytes");
static_assert(sizeof(EditorRect) == 8, "editor rectangles are four 16-bit values");

} // namespace vst
