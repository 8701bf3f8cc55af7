#pragma once

// CMVST: one VST 2.x plug-in library, loaded and driven by the host. It loads
// the library (dlopen with RTLD_NOW | RTLD_LOCAL, entry "VSTPluginMain", else
// "main"), checks the effect's magic word, answers the plug-in's host
// callback (also while the entry function runs and the effect is still
// unknown), and wraps the dispatcher calls the racks use. MIDI events queued
// by one producer thread reach the plug-in through effProcessEvents at the
// start of its next block.
//
// Threads: LoadVST, UnloadVST and every configuration or editor call run on
// one control thread at a time (the caller serialises them: PluginSlot does).
// vstprocess/vstprocessReplacing run on the audio thread and never allocate,
// lock or wait. AddMidiMessages/AddSysexMessages: one producer thread (a MIDI
// thread, or the audio thread through PluginSlot's event feed). Never:
// an exception leaves this class; a failing plug-in call returns -1.

#include "platform/SpscQueue.h"
#include "plughost/VstAbi.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CMVST
{
public:
    // Called from the plug-in's editor (GUI thread) when it asks to be resized.
    using SizeWindowHandler = std::function<void(int width, int height)>;

    CMVST();
    ~CMVST();
    CMVST(const CMVST&) = delete;
    CMVST& operator=(const CMVST&) = delete;

    // Control thread. true: the library is loaded and effect() is non-null.
    bool LoadVST(const std::string& path);
    // Control thread. Closes the editor and the plug-in, unloads the library.
    void UnloadVST();

    long Open();
    long GetEffectName(char* name);
    long SetSampleRate(float rate);
    long SetBlockSize(long frames);
    long MainsChanged(bool on);
    long SetBypass(bool bypass);
    // rect: the address of a vst::EditorRect pointer.
    long EditGetRect(void* rect);
    // parent: the native window (an X11 window id) the editor draws into.
    long EditOpen(void* parent);
    long EditClose();
    long EditIdle();
    long Idle();

    // Audio thread: accumulating and replacing processing.
    void vstprocess(float** in, float** out, long frames) noexcept;
    void vstprocessReplacing(float** in, float** out, long frames) noexcept;

    // One producer thread. time: frames into the next block (0 for now).
    void AddMidiMessages(char status, char data1, char data2, float rate,
                         unsigned long time) noexcept;
    void AddSysexMessages(const char* data, unsigned long length, float rate,
                          unsigned long time) noexcept;

    // State, readable from any thread.
    vst::Effect* effect() const { return m_pEffect.load(std::memory_order_acquire); }
    bool isLoaded() const { return effect() != nullptr; }
    bool hasEditor() const { return flag(vst::flagHasEditor); }
    bool canReplace() const { return flag(vst::flagCanReplacing); }
    bool isInstrument() const { return flag(vst::flagIsSynth); }
    bool wantsMidi() const { return m_bWantsMidi.load(std::memory_order_relaxed); }
    bool editorOpen() const { return m_bEditorOpen; }
    bool mainsOn() const { return m_bMainsOn; }
    // A call into the plug-in threw since it was loaded.
    bool faulted() const { return m_bFaulted; }
    int numInputs() const { return m_nInputs; }
    int numOutputs() const { return m_nOutputs; }
    const std::string& path() const { return m_strPath; }

    // What the host callback answers for GetSampleRate and GetBlockSize; the
    // configuration calls above keep them current.
    float hostSampleRate() const { return m_fHostRate.load(std::memory_order_relaxed); }
    // Sets those answers without calling the plug-in: before a load, so a
    // plug-in that asks from its entry call or effOpen gets the unit's values.
    void setHostAnswers(float rate, long blockFrames);
    long hostBlockSize() const { return m_nHostBlock.load(std::memory_order_relaxed); }

    void setSizeWindowHandler(SizeWindowHandler handler);

    // Events delivered in one block at most; more wait for the next block.
    static constexpr int kMaxEventsPerBlock = 256;
    // System-exclusive messages delivered in one block at most.
    static constexpr int kMaxSysexPerBlock = 16;
    // Longest system-exclusive message passed on; longer ones are dropped.
    static constexpr int kMaxSysexBytes = 256;

private:
    static intptr_t hostCallback(vst::Effect* effect, int32_t opcode, int32_t index, intptr_t value,
                                 void* ptr, float option);
    intptr_t answerHost(int32_t opcode, int32_t index, intptr_t value, void* ptr);
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float option = 0.0f);
    bool flag(int32_t mask) const { return (m_nFlags.load(std::memory_order_relaxed) & mask); }
    void deliverEvents() noexcept;
    void advanceTime(long frames) noexcept;

    struct MidiMessage
    {
        char bytes[3];
        int32_t deltaFrames;
    };
    struct SysexMessage
    {
        char bytes[kMaxSysexBytes];
        int32_t length;
        int32_t deltaFrames;
    };

    void* m_hLibrary = nullptr;
    std::atomic<vst::Effect*> m_pEffect{nullptr};
    std::atomic<int32_t> m_nFlags{0};
    std::atomic<bool> m_bWantsMidi{false};
    int m_nInputs = 0;
    int m_nOutputs = 0;
    bool m_bEditorOpen = false;
    bool m_bMainsOn = false;
    bool m_bFaulted = false;
    std::string m_strPath;
    std::atomic<float> m_fHostRate{44100.0f};
    std::atomic<long> m_nHostBlock{1024};

    std::mutex m_sizeWindowMutex;
    SizeWindowHandler m_sizeWindow;

    // Host-owned transport handed to hostGetTime; written by the audio thread.
    vst::TimeInfo m_timeInfo{};

    // Event storage prepared before any block: the audio thread only fills it.
    platform::SpscQueue<MidiMessage> m_midiQueue{kMaxEventsPerBlock};
    platform::SpscQueue<SysexMessage> m_sysexQueue{kMaxSysexPerBlock};
    std::array<vst::MidiEvent, kMaxEventsPerBlock> m_midiEvents{};
    std::array<vst::SysexEvent, kMaxSysexPerBlock> m_sysexEvents{};
    std::array<SysexMessage, kMaxSysexPerBlock> m_sysexData{};
    // vst::Events with room for every event pointer.
    std::vector<intptr_t> m_eventList;
};
