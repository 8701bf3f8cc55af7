#include "plugins/EffectRackEngine.h"

#include "utilkit/MeterReading.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
const char* const kNoPluginText = "No VST plug-in";
const char* const kLoadingText = "Loading...";
const char* const kFailedText = "Failed";
const char* const kUnsupportedText = "Unsupported VST";
// Each slot reads one send pair and writes one return pair.
constexpr int kChannelsPerSlot = 2;

} // namespace

EffectRackEngine::EffectRackEngine()
{
    for (int index = 0; index < kSlotCount; ++index)
    {
        Slot& slot = m_slots[static_cast<size_t>(index)];
        slot.plugin = std::make_unique<PluginSlot>(kPluginBlockSize, false);
        slot.text = kNoPluginText;
        slot.plugin->setLoadFinished(
            [this, index](const std::string&, const PluginSlot::LoadOutcome& outcome)
            { loadFinished(index, outcome); });
    }
}

EffectRackEngine::~EffectRackEngine()
{
    m_listener.store(nullptr);
    // The slots join their loaders and unload as they go.
    for (Slot& slot : m_slots)
        slot.plugin.reset();
}

void EffectRackEngine::setListener(EffectRackListener* listener)
{
    m_listener.store(listener);
}

void EffectRackEngine::prepare(double sampleRate)
{
    for (Slot& slot : m_slots)
        slot.plugin->setSampleRate(static_cast<float>(sampleRate));
}

// Audio thread.
void EffectRackEngine::process(float** in, float** out, long, long, long frames) noexcept
{
    const auto count = static_cast<size_t>(std::max(frames, 0L));
    for (size_t index = 0; index < m_slots.size(); ++index)
    {
        Slot& slot = m_slots[index];
        float* const* sends = in + kChannelsPerSlot * index;
        float* const* returns = out + kChannelsPerSlot * index;
        const bool processed =
            slot.on.load(std::memory_order_relaxed) &&
            slot.plugin->process(sends, kChannelsPerSlot, returns, kChannelsPerSlot, frames);
        if (!processed)
        {
            std::fill_n(returns[0], count, 0.0f);
            std::fill_n(returns[1], count, 0.0f);
        }
        const float outputPeak = std::max(meter::blockPeak(returns[0], count, kPeakFloor),
                                          meter::blockPeak(returns[1], count, kPeakFloor));
        slot.inputDb.store(meter::decibels(meter::blockPeak(sends[0], count, kPeakFloor)),
                           std::memory_order_relaxed);
        slot.outputDb.store(meter::decibels(outputPeak), std::memory_order_relaxed);
    }
}

void EffectRackEngine::loadPlugin(int slot, const std::string& path)
{
    setText(slot, SlotState::Loading, kLoadingText);
    Slot& target = m_slots[static_cast<size_t>(slot)];
    target.editorIdle.store(false);
    target.plugin->requestLoad(path);
}

void EffectRackEngine::waitForLoads()
{
    for (Slot& slot : m_slots)
        slot.plugin->waitForLoads();
}

// Loader thread.
void EffectRackEngine::loadFinished(int slot, const PluginSlot::LoadOutcome& outcome)
{
    // A plug-in chosen while this one loaded comes next: keep "Loading...".
    if (m_slots[static_cast<size_t>(slot)].plugin->loadPending())
        return;
    switch (outcome.result)
    {
    case PluginSlot::LoadResult::Loaded:
        setText(slot, SlotState::Loaded, outcome.name);
        break;
    case PluginSlot::LoadResult::Rejected:
        setText(slot, SlotState::Unsupported, kUnsupportedText);
        break;
    case PluginSlot::LoadResult::Failed:
        setText(slot, SlotState::Failed, kFailedText);
        break;
    }
}

void EffectRackEngine::setText(int slot, SlotState state, const std::string& text)
{
    Slot& target = m_slots[static_cast<size_t>(slot)];
    {
        const std::lock_guard lock(target.textMutex);
        target.state = state;
        target.text = text;
    }
    if (EffectRackListener* listener = m_listener.load())
        listener->slotTextChanged(slot);
}

void EffectRackEngine::setSlotOn(int slot, bool on)
{
    m_slots[static_cast<size_t>(slot)].on.store(on, std::memory_order_relaxed);
}

bool EffectRackEngine::slotOn(int slot) const
{
    return m_slots[static_cast<size_t>(slot)].on.load(std::memory_order_relaxed);
}

EffectRackEngine::SlotState EffectRackEngine::slotState(int slot) const
{
    const Slot& target = m_slots[static_cast<size_t>(slot)];
    const std::lock_guard lock(target.textMutex);
    return target.state;
}

std::string EffectRackEngine::slotText(int slot) const
{
    const Slot& target = m_slots[static_cast<size_t>(slot)];
    const std::lock_guard lock(target.textMutex);
    return target.text;
}

float EffectRackEngine::inputPeakDb(int slot) const
{
    return m_slots[static_cast<size_t>(slot)].inputDb.load(std::memory_order_relaxed);
}

float EffectRackEngine::outputPeakDb(int slot) const
{
    return m_slots[static_cast<size_t>(slot)].outputDb.load(std::memory_order_relaxed);
}

void EffectRackEngine::idle()
{
    for (Slot& slot : m_slots)
        slot.plugin->tryIdle(slot.editorIdle.load());
}

void EffectRackEngine::setEditorIdle(int slot, bool on)
{
    m_slots[static_cast<size_t>(slot)].editorIdle.store(on);
}
