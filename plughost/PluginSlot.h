#pragma once

// PluginSlot: one CMVST that a rack can load, configure and swap while the
// audio thread keeps processing, without the audio thread ever waiting.
//
// - Swap: the audio thread marks the start and end of each block around its
//   read of the published plug-in (an epoch counter, odd while a block
//   runs). The loader withdraws the plug-in, waits until no block that saw it
//   is still running, and only then unloads. A block that starts after the
//   withdrawal sees nothing and writes silence.
// - One thread at a time in the dispatcher: loading, rate changes, idle and
//   editor calls hold the control mutex; the audio thread never takes it.
//   Idle and editor commands only try it and skip when busy.
// - One loader per slot: a choice made while a load runs is loaded after it.
//   The loader thread is joined before the slot goes away.
// - Channels: the plug-in gets arrays sized to its own input and output
//   counts; inputs the host lacks read a zeroed buffer, outputs the host lacks
//   go to scratch, and a one-output plug-in is copied to the right side.
//
// Threads: process on the audio thread (one); requestLoad, setSampleRate and
// the editor/idle calls on the GUI thread; the loader thread inside. Never:
// process allocates, locks or waits.

#include "platform/ThreadPriority.h"
#include "plughost/CMVST.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class PluginSlot
{
public:
    enum class LoadResult
    {
        Loaded,   // published and processing
        Failed,   // no entry, bad magic, the plug-in threw: nothing loaded
        Rejected, // an instrument where only effects are wanted, or an
                  // effect where only instruments are: unloaded
    };

    struct LoadOutcome
    {
        LoadResult result = LoadResult::Failed;
        // The plug-in's name, or the file name without its folder.
        std::string name;
    };

    // Audio thread, inside a block that processes the published plug-in,
    // just before it processes: queues the block's MIDI events. Never
    // allocates, locks or waits.
    using EventFeed = void (*)(void* context, CMVST& plugin) noexcept;

    // Loader thread, once per finished load.
    using LoadFinished = std::function<void(const std::string& path, const LoadOutcome& outcome)>;

    // largestBlock: the block size the plug-ins are told and the largest
    // block passed to them at once (longer blocks are cut into pieces).
    explicit PluginSlot(long largestBlock, bool acceptInstruments);
    ~PluginSlot();
    PluginSlot(const PluginSlot&) = delete;
    PluginSlot& operator=(const PluginSlot&) = delete;

    // GUI thread, before any load: the loader thread's priority (normal
    // unless set).
    void setLoaderPriority(platform::ThreadPriority priority) { m_loaderPriority = priority; }
    // GUI thread, before any load: effects are rejected from here on.
    void setInstrumentsOnly(bool only) { m_bInstrumentsOnly = only; }
    // GUI thread, once: where finished loads are reported.
    void setLoadFinished(LoadFinished done) { m_loadFinished = std::move(done); }
    // GUI thread, once, before any block: what feeds each block its events.
    void setEventFeed(EventFeed feed, void* context)
    {
        m_feed = feed;
        m_pFeedContext = context;
    }

    // GUI thread: loads path on the slot's loader thread (after any load that
    // runs). The editor must have been closed first.
    void requestLoad(const std::string& path);
    bool loading() const;
    // Any thread: another path waits for the running load to finish.
    bool loadPending() const;
    // GUI thread: waits until no load runs or is pending.
    void waitForLoads();

    // Control thread (waits for the control mutex): withdraws and unloads.
    void unload();
    // GUI thread, device stopped or running: suspend, set rate and block
    // size, resume, for a loaded plug-in. Rates of 0 (stopped) are ignored.
    void setSampleRate(float rate);
    float sampleRate() const { return m_fRate.load(std::memory_order_relaxed); }

    // GUI thread: effIdle (and effEditIdle with editorIdle) when the control
    // mutex is free; false when skipped.
    bool tryIdle(bool editorIdle);

    // The control mutex for editor calls (GUI thread): try, or wait for it.
    std::unique_lock<std::mutex> tryLockControl() { return {m_control, std::try_to_lock}; }
    std::unique_lock<std::mutex> lockControl() { return std::unique_lock{m_control}; }
    // Only under the control mutex.
    CMVST& plugin() { return m_plugin; }

    // Whether the audio thread would process a plug-in now.
    bool published() const { return m_pPublished.load(std::memory_order_acquire) != nullptr; }

    // Audio thread: one block through the published plug-in, hostIn input
    // and hostOut output channels. false (and the outputs untouched) when
    // nothing is published.
    bool process(float* const* in, int hostIn, float* const* out, int hostOut,
                 long frames) noexcept;

private:
    void loaderLoop();
    LoadOutcome loadNow(const std::string& path);
    // Control mutex held: the audio thread stops seeing the plug-in and no
    // block that saw it is still running when this returns.
    void withdraw();
    void publish();
    void configure(float rate);
    void prepareChannels();

    CMVST m_plugin;
    const long m_nLargestBlock;
    const bool m_bAcceptInstruments;
    bool m_bInstrumentsOnly = false;
    platform::ThreadPriority m_loaderPriority = platform::ThreadPriority::Normal;
    std::atomic<float> m_fRate{44100.0f};

    std::mutex m_control;
    std::atomic<CMVST*> m_pPublished{nullptr};
    // Odd while the audio thread is inside a block.
    std::atomic<uint64_t> m_nEpoch{0};

    // Channel arrays, rebuilt only while nothing is published.
    std::vector<float*> m_inputs;
    std::vector<float*> m_outputs;
    std::vector<float> m_zeros;
    std::vector<std::vector<float>> m_scratch;
    bool m_bInputsNeedZeros = false;

    // Loader thread and its queue of one pending path.
    mutable std::mutex m_requestMutex;
    std::condition_variable m_requestsDone;
    std::optional<std::string> m_pending;
    bool m_bLoaderBusy = false;
    std::thread m_loader;
    LoadFinished m_loadFinished;
    EventFeed m_feed = nullptr;
    void* m_pFeedContext = nullptr;
};
