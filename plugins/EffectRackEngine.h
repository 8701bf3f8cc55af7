#pragma once

// EffectRackEngine: the dual effect rack without its panel. Two plug-in
// slots sit in the mixer's aux loops: slot 1 turns aux send 1 (in[0], in[1])
// into aux return 1 (out[0], out[1]), slot 2 turns send 2 (in[2], in[3]) into
// return 2 (out[2], out[3]). A slot that is off, empty or loading returns
// silence (the dry send is not passed through). Four peak meters: each
// slot's left send and its return pair.
//
// Threads:
// - GUI thread: loads, on switches, rate (prepare), idle calls, editors.
// - loader threads (one per slot, inside PluginSlot): load and configure;
//   they report through the listener.
// - audio thread: process. Never allocates, locks or waits.

#include "app/RackEngine.h"
#include "plughost/PluginSlot.h"
#include "plugins/EffectRackListener.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class EffectRackEngine : public RackEngine
{
public:
    static constexpr int kSlotCount = 2;
    // The block size the plug-ins are configured for (the mixer's blocks
    // are at most 2048 frames; plug-ins were always told this much).
    static constexpr long kPluginBlockSize = 11025;
    // Meters start from this peak every block: silence reads -120 dB.
    static constexpr float kPeakFloor = 1e-6f;

    enum class SlotState
    {
        Empty,
        Loading,
        Loaded,
        Failed,
        Unsupported,
    };

    EffectRackEngine();
    // Joins the loaders and unloads both plug-ins.
    ~EffectRackEngine() override;
    EffectRackEngine(const EffectRackEngine&) = delete;
    EffectRackEngine& operator=(const EffectRackEngine&) = delete;

    // GUI thread, once (null to stop hearing).
    void setListener(EffectRackListener* listener);

    // GUI thread, device stopped: suspend, set the rate and block size,
    // resume, for each loaded plug-in; plug-ins loaded later get the rate.
    // 0.0 (stopped) keeps the rate.
    void prepare(double sampleRate) override;
    void reset() override {}
    // Audio thread. in: the four sends, out: the four returns.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread: the slot shows "Loading..." and loads path (after any load
    // of that slot that still runs). The slot's editor must be closed.
    void loadPlugin(int slot, const std::string& path);
    // GUI thread: waits for every load of both slots to finish.
    void waitForLoads();

    // Any thread.
    void setSlotOn(int slot, bool on);
    bool slotOn(int slot) const;
    SlotState slotState(int slot) const;
    std::string slotText(int slot) const;

    // Audio thread writes, any thread reads: the last block's meters in dB.
    float inputPeakDb(int slot) const;
    float outputPeakDb(int slot) const;

    // GUI thread: the 100 ms idle tick: effIdle for loaded plug-ins, and
    // effEditIdle for slots whose editor is open. Busy slots are skipped.
    void idle();
    void setEditorIdle(int slot, bool on);

    PluginSlot& pluginSlot(int slot) { return *m_slots[static_cast<size_t>(slot)].plugin; }

private:
    struct Slot
    {
        std::unique_ptr<PluginSlot> plugin;
        std::atomic<bool> on{false};
        std::atomic<bool> editorIdle{false};
        std::atomic<float> inputDb{-120.0f};
        std::atomic<float> outputDb{-120.0f};
        mutable std::mutex textMutex;
        SlotState state = SlotState::Empty;
        std::string text;
    };

    void setText(int slot, SlotState state, const std::string& text);
    void loadFinished(int slot, const PluginSlot::LoadOutcome& outcome);

    std::array<Slot, kSlotCount> m_slots;
    std::atomic<EffectRackListener*> m_listener{nullptr};
};
