#pragma once

// MixerEngine: the signal path of Corvane's seven-channel mixer, without any
// widget. Per block it pulls each selected source once, runs two mono channels
// (device inputs) and five stereo channels (source units) through trim,
// compressor (mono only), three-band equaliser, sends, fader and pan onto two
// output pairs, drives the dual effect rack with the sends, mixes the
// returns, forms the record feed, applies the master levels, feeds the
// recorder and gives its listener eleven meter readings. The panel
// (CMixerRack) copies its controls' values into controls(), forwards its
// Process and SetSampleRate to process and prepare, and listens for the
// meter readings.
//
// Threads: process runs on the audio thread. Everything else runs on the GUI
// thread; control values reach the audio thread through atomics, equaliser
// coefficients through each filter's lock-free hand-over (adopted once per
// block, so a block never mixes old and new coefficients of one filter).
//
// Never: process allocates, frees, locks, waits or does I/O. All buffers are
// allocated by the constructor.

#include "app/RackEngine.h"
#include "app/RackProcessor.h"
#include "mixer/MixerControlState.h"
#include "mixer/MixerEqualiserChain.h"
#include "mixer/MixerGainLaws.h"
#include "mixer/MixerListener.h"
#include "mixer/MixerSourceTable.h"
#include "utilkit/FxRbjFilter.h"
#include "utilkit/SimpleComp.h"

#include <array>
#include <atomic>
#include <memory>

class MixerEngine final : public RackEngine
{
public:
    // Longest piece the work buffers hold (MIXER_MAX_FRAMES); longer blocks
    // are processed in pieces of this size.
    static constexpr long kMaxFrames = 2048;
    static constexpr int kBandCount = 3; // high, mid, low

    MixerEngine();
    ~MixerEngine() override;
    MixerEngine(const MixerEngine&) = delete;
    MixerEngine& operator=(const MixerEngine&) = delete;

    // Any thread: the control values the panel writes and the audio thread
    // reads.
    MixerControlState& controls() noexcept { return m_controls; }
    const MixerControlState& controls() const noexcept { return m_controls; }

    // Audio thread. One block from the device: in/out hold numIn/numOut
    // channel buffers of `frames` samples. Output entries 0..3 are device
    // outputs 1..4. Any frame count, and any output count, is handled.
    void process(float** in, float** out, long numIn, long numOut, long frames) noexcept override;

    // GUI thread, device stopped. Passes a running rate to the seven table
    // units and sets their running flags, or (0.0) clears the flags. A
    // running rate also becomes the rate of the equaliser and compressor.
    void prepare(double sampleRate) override;

    // GUI thread, device stopped: clears the equaliser memories (both sides
    // of every stereo channel), the compressor envelope and the work
    // buffers. (The running mixer never resets itself; its state carries
    // across blocks and restarts.)
    void reset() noexcept override;

    // GUI thread. Fills the source table (argument order of the view's call)
    // and refreshes the routed flags. (SetSources and UpdateRouting keep the
    // panel's names: they are the same operations.)
    void SetSources(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                    RackProcessor* effect, RackProcessor* recorder, RackProcessor* loop,
                    RackProcessor* pads);
    // GUI thread. Call after writing a changed stereo selector into
    // controls().
    void UpdateRouting();
    MixerSourceTable& sourceTable() noexcept { return m_sources; }

    // GUI thread. Stores a band's gain (clamped to -15..+15 dB) and
    // recomputes its peaking filter; takes effect from the next block.
    // band 0 high, 1 mid, 2 low.
    void setEqualiserGain(int channelIndex, int band, int gainDb);

    // GUI thread, device stopped. The compressor's set-up: ratio 0, threshold
    // -6 dB, attack 2.5 ms, release 500 ms, the current rate, envelope reset.
    void configureCompressor();

    // GUI thread. Who hears the meter readings (nullptr: no one).
    void setListener(MixerListener* listener) noexcept
    {
        m_listener.store(listener, std::memory_order_release);
    }

    // The rate the equaliser and compressor are computed for: the last
    // running rate, 44100 Hz before the first.
    double filterSampleRate() const { return m_filterSampleRate.load(); }
    const MixerGainLaws& gainLaws() const noexcept { return m_gainLaws; }
    // Audio thread (or tests while no block runs). The band's coefficients,
    // and the memory of a mono channel or a stereo channel's left side.
    const CFxRbjFilter& equaliserFilter(int channelIndex, int band) const
    {
        return m_equaliserFilters[channelIndex * kBandCount + band];
    }
    const SimpleComp& compressor() const noexcept { return m_compressor; }

private:
    struct BlockSetup;
    struct ChannelSettings;

    void processPiece(float* const* inputs, long numIn, float* const* outputs, long numOut,
                      long frames) noexcept;
    void pullSources(const BlockSetup& block, float* const* inputs, long frames) noexcept;
    void prepareMonoChannels(const BlockSetup& block, long frames) noexcept;
    void prepareStereoChannel(const BlockSetup& block, int channelIndex, long frames) noexcept;
    void equaliseChannels(const BlockSetup& block, long frames) noexcept;
    // A channel's samples between the stages (side 0 left or mono, 1 right).
    float* channelSamples(int channelIndex, int side) const noexcept;
    unsigned char* gateFlags(int channelIndex) const noexcept
    {
        return m_gateStorage.get() + static_cast<size_t>(channelIndex) * kMaxFrames;
    }
    void mixReturnsRecordAndMasters(BlockSetup& block, long frames) noexcept;
    void recomputeEqualiser(int channelIndex, int band);

    MixerControlState m_controls;
    MixerGainLaws m_gainLaws;
    MixerSourceTable m_sources;
    std::array<CFxRbjFilter, MixerControlState::kChannelCount * kBandCount> m_equaliserFilters;
    static constexpr int kStereoChannelCount =
        MixerControlState::kChannelCount - MixerControlState::kMonoChannelCount;
    // The stereo channels' right sides filter with their channel's
    // coefficients but keep their own memory here (audio thread), so a side
    // never carries the other side's signal into its filters.
    std::array<MixerEqualiserChain::Memory, kStereoChannelCount> m_rightEqualiserMemory{};
    // One compressor for both mono channels: they share one envelope.
    SimpleComp m_compressor;
    // The threshold as a level, remade only when the threshold moves: a pow
    // a block would cost more than the two mono strips' trim.
    double m_quietBelowFor = 0.0;
    double m_quietBelow = 1.0 - 1e-9;
    std::atomic<MixerListener*> m_listener{nullptr};
    // The rate a device runs at when none has been told yet.
    std::atomic<double> m_filterSampleRate{44100.0};

    // One allocation holds the 20 work buffers (sends, returns, record feed,
    // the stereo channels' sides), two stand-in outputs for devices with
    // fewer than two outputs, one silent stand-in input and the two mono
    // channels' samples between the strip's stages.
    std::unique_ptr<float[]> m_bufferStorage;
    std::array<float*, 25> m_workBuffers{};
    // Per channel and frame: whether the equaliser runs (the block peak is
    // above the floor).
    std::unique_ptr<unsigned char[]> m_gateStorage;
    // The processor runs four equaliser chains in one instruction stream.
    bool m_useFourLanes = false;
    // Per-channel block peaks (audio thread).
    std::array<float, MixerControlState::kChannelCount> m_channelPeaks{};
};
