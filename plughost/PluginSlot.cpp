#include "plughost/PluginSlot.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace
{
// How often a loader looks whether the block that saw a withdrawn plug-in
// has ended (a block lasts at most a few milliseconds).
constexpr std::chrono::microseconds kBlockEndPoll{100};
// The buffer the racks pass for the plug-in's name (the interface's names
// are shorter; some plug-ins write past them).
constexpr size_t kNameBufferBytes = 255;

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

PluginSlot::PluginSlot(long largestBlock, bool acceptInstruments)
    : m_nLargestBlock(largestBlock), m_bAcceptInstruments(acceptInstruments),
      m_zeros(static_cast<size_t>(largestBlock), 0.0f)
{
}

PluginSlot::~PluginSlot()
{
    waitForLoads();
    if (m_loader.joinable())
        m_loader.join();
    unload();
}

// GUI thread.
void PluginSlot::requestLoad(const std::string& path)
{
    const std::lock_guard lock(m_requestMutex);
    m_pending = path;
    if (m_bLoaderBusy)
        return;
    m_bLoaderBusy = true;
    // A previous loader has already left its loop: joining it is immediate.
    if (m_loader.joinable())
        m_loader.join();
    m_loader = std::thread(&PluginSlot::loaderLoop, this);
}

bool PluginSlot::loading() const
{
    const std::lock_guard lock(m_requestMutex);
    return m_bLoaderBusy;
}

bool PluginSlot::loadPending() const
{
    const std::lock_guard lock(m_requestMutex);
    return m_pending.has_value();
}

void PluginSlot::waitForLoads()
{
    std::unique_lock lock(m_requestMutex);
    m_requestsDone.wait(lock, [this] { return !m_bLoaderBusy; });
}

// Loader thread: loads the pending path, then any path chosen meanwhile.
void PluginSlot::loaderLoop()
{
    platform::setCurrentThreadPriority(m_loaderPriority);
    for (;;)
    {
        std::string path;
        {
            const std::lock_guard lock(m_requestMutex);
            if (!m_pending)
            {
                m_bLoaderBusy = false;
                m_requestsDone.notify_all();
                return;
            }
            path = std::move(*m_pending);
            m_pending.reset();
        }
        LoadOutcome outcome;
        {
            const std::lock_guard control(m_control);
            outcome = loadNow(path);
        }
        if (m_loadFinished)
            m_loadFinished(path, outcome);
    }
}

// Loader thread, control mutex held.
PluginSlot::LoadOutcome PluginSlot::loadNow(const std::string& path)
{
    withdraw();
    m_plugin.UnloadVST();
    LoadOutcome outcome;
    m_plugin.setHostAnswers(m_fRate.load(std::memory_order_relaxed), m_nLargestBlock);
    if (!m_plugin.LoadVST(path))
    {
        m_plugin.UnloadVST();
        return outcome;
    }
    m_plugin.Open();
    std::array<char, kNameBufferBytes> name{};
    m_plugin.GetEffectName(name.data());
    outcome.name = name[0] != '\0' ? std::string(name.data()) : fileNameOf(path);
    if (m_plugin.faulted())
    {
        m_plugin.UnloadVST();
        return outcome;
    }
    if (m_plugin.isInstrument() ? !m_bAcceptInstruments : m_bInstrumentsOnly)
    {
        m_plugin.UnloadVST();
        outcome.result = LoadResult::Rejected;
        return outcome;
    }
    configure(m_fRate.load(std::memory_order_relaxed));
    if (m_plugin.faulted())
    {
        m_plugin.UnloadVST();
        return outcome;
    }
    prepareChannels();
    publish();
    outcome.result = LoadResult::Loaded;
    return outcome;
}

void PluginSlot::unload()
{
    const std::lock_guard control(m_control);
    withdraw();
    m_plugin.UnloadVST();
}

// GUI thread.
void PluginSlot::setSampleRate(float rate)
{
    if (rate <= 0.0f)
        return;
    m_fRate.store(rate, std::memory_order_relaxed);
    const std::lock_guard control(m_control);
    if (!m_plugin.isLoaded())
        return;
    const bool wasPublished = published();
    withdraw();
    configure(rate);
    if (wasPublished)
        publish();
}

// Control mutex held, nothing published: suspend, set, resume.
void PluginSlot::configure(float rate)
{
    if (m_plugin.mainsOn())
        m_plugin.MainsChanged(false);
    m_plugin.SetSampleRate(rate);
    m_plugin.SetBlockSize(m_nLargestBlock);
    m_plugin.MainsChanged(true);
}

bool PluginSlot::tryIdle(bool editorIdle)
{
    const std::unique_lock lock = tryLockControl();
    if (!lock.owns_lock())
        return false;
    if (m_plugin.isLoaded())
    {
        m_plugin.Idle();
        if (editorIdle)
            m_plugin.EditIdle();
    }
    return true;
}

// Control mutex held.
void PluginSlot::withdraw()
{
    m_pPublished.store(nullptr, std::memory_order_seq_cst);
    // Both this store and the audio thread's start mark are sequentially
    // consistent: if the block read the plug-in, its (odd) mark is visible
    // here, and the epoch moves on when that block ends.
    const uint64_t seen = m_nEpoch.load(std::memory_order_seq_cst);
    if ((seen & 1U) == 0)
        return;
    while (m_nEpoch.load(std::memory_order_acquire) == seen)
        std::this_thread::sleep_for(kBlockEndPoll);
}

void PluginSlot::publish()
{
    m_pPublished.store(&m_plugin, std::memory_order_seq_cst);
}

// Control mutex held, nothing published: arrays for the plug-in's own counts.
void PluginSlot::prepareChannels()
{
    const auto inputs = static_cast<size_t>(m_plugin.numInputs());
    const auto outputs = static_cast<size_t>(m_plugin.numOutputs());
    m_inputs.assign(inputs, nullptr);
    m_outputs.assign(outputs, nullptr);
    m_scratch.resize(outputs);
    for (std::vector<float>& scratch : m_scratch)
        scratch.assign(static_cast<size_t>(m_nLargestBlock), 0.0f);
}

// Audio thread.
bool PluginSlot::process(float* const* in, int hostIn, float* const* out, int hostOut,
                         long frames) noexcept
{
    m_nEpoch.fetch_add(1, std::memory_order_seq_cst);
    CMVST* plugin = m_pPublished.load(std::memory_order_seq_cst);
    if (plugin == nullptr)
    {
        m_nEpoch.fetch_add(1, std::memory_order_release);
        return false;
    }
    if (m_feed != nullptr)
        m_feed(m_pFeedContext, *plugin);
    const size_t inputs = m_inputs.size();
    const size_t outputs = m_outputs.size();
    const bool replacing = plugin->canReplace();
    for (long done = 0; done < frames;)
    {
        const long piece = std::min(frames - done, m_nLargestBlock);
        const auto count = static_cast<size_t>(piece);
        bool usesZeros = false;
        for (size_t channel = 0; channel < inputs; ++channel)
        {
            const bool fromHost = static_cast<int>(channel) < hostIn;
            m_inputs[channel] = fromHost ? in[channel] + done : m_zeros.data();
            usesZeros = usesZeros || !fromHost;
        }
        // A plug-in may have written into its inputs: the zeros are renewed.
        if (usesZeros)
            std::fill_n(m_zeros.begin(), count, 0.0f);
        for (size_t channel = 0; channel < outputs; ++channel)
        {
            m_outputs[channel] = static_cast<int>(channel) < hostOut ? out[channel] + done
                                                                     : m_scratch[channel].data();
            // Accumulating plug-ins add to what is there.
            if (!replacing)
                std::fill_n(m_outputs[channel], count, 0.0f);
        }
        if (replacing)
            plugin->vstprocessReplacing(m_inputs.data(), m_outputs.data(), piece);
        else
            plugin->vstprocess(m_inputs.data(), m_outputs.data(), piece);
        // Host sides the plug-in has no output for: a mono output plays on
        // both sides, no output is silence.
        for (int channel = static_cast<int>(outputs); channel < hostOut; ++channel)
        {
            if (outputs == 1)
                std::copy_n(out[0] + done, count, out[channel] + done);
            else
                std::fill_n(out[channel] + done, count, 0.0f);
        }
        done += piece;
    }
    m_nEpoch.fetch_add(1, std::memory_order_release);
    return true;
}
