#include "mixer/MixerEngine.h"

#include "mixer/MixerEqualiserChain.h"
#include "mixer/MixerEqualiserPair.h"
#include "mixer/MixerEqualiserQuad.h"
#include "utilkit/MeterReading.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

// Work buffer layout. Contiguous runs go to other units as their in and out
// arrays: sends 0..3, returns 4..7, record feed 8..9.
constexpr int kSendOneLeft = 0;
constexpr int kSendOneRight = 1;
constexpr int kSendTwoLeft = 2;
constexpr int kSendTwoRight = 3;
constexpr int kReturnOneLeft = 4;
constexpr int kRecordLeft = 8;
constexpr int kRecordRight = 9;
constexpr int kFirstStereoChannelBuffer = 10; // channel 3 left, then right, .. channel 7 right
constexpr int kSharedWorkBufferCount = 20;
constexpr int kStandInOutputLeft = 20;
constexpr int kStandInOutputRight = 21;
constexpr int kSilentInput = 22;
constexpr int kFirstMonoChannelBuffer = 23; // channels 1 and 2 after their equaliser
constexpr int kBufferCount = 25;

// The mono selectors offer device inputs 1..4; the mixer drives device
// outputs 1..4 (two stereo pairs).
constexpr int kDeviceInputsUsed = 4;
constexpr int kDeviceOutputsUsed = 4;

// Peaks start here each block: silence meters at -100 dB and keeps the
// equaliser idle.
constexpr float kPeakFloor = 1e-5f;

// The channel equaliser's three peaking bands: centre frequency and Q.
struct EqualiserBand
{
    double frequency;
    double quality;
};
constexpr std::array<EqualiserBand, MixerEngine::kBandCount> kEqualiserBands{{
    {6000.0, 1.0},
    {950.0, 1.0},
    {55.0, 0.8},
}};

// The compressor's fixed set-up on the mono channels.
constexpr double kCompressorRatio = 0.0;
constexpr double kCompressorThresholdDb = -6.0;
constexpr double kCompressorAttackMs = 2.5;
constexpr double kCompressorReleaseMs = 500.0;

// 20 / ln(10): natural log to amplitude dB.
constexpr double kNaturalLogToDb = 8.685889638065037;
// ln(10) / 20: amplitude dB to natural-log units for exp().
constexpr double kDbToNaturalLog = 0.11512925464970228;

struct CompressorParameters
{
    double thresholdDb;
    double ratio;
    double attackCoefficient;
    double releaseCoefficient;
    // A level safely below the threshold (by one part in 10^9, far more than
    // the logarithm's rounding): samples under it are known to have no
    // excess without taking their logarithm.
    double quietBelow;
};

// One sample through the shared compressor. The mono sample stands for both
// sides of a stereo pair, so the gain reduction is applied twice.
inline float compressSample(float sample, const CompressorParameters& parameters,
                            double& envelopeDb) noexcept
{
    const double level = std::fabs(static_cast<double>(sample)) + SimpleComp::kDcOffset;
    double overDb = 0.0;
    if (level >= parameters.quietBelow)
    {
        overDb = std::log(level) * kNaturalLogToDb - parameters.thresholdDb;
        if (overDb < 0.0)
            overDb = 0.0;
    }
    overDb += SimpleComp::kDcOffset;
    if (overDb > envelopeDb)
        envelopeDb = overDb + parameters.attackCoefficient * (envelopeDb - overDb);
    else
        envelopeDb = overDb + parameters.releaseCoefficient * (envelopeDb - overDb);
    const double excessDb = envelopeDb - SimpleComp::kDcOffset;
    // No excess left: the gain is exactly 1.
    if (excessDb == 0.0)
        return sample;
    const double gain = std::exp(excessDb * (parameters.ratio - 1.0) * kDbToNaturalLog);
    return static_cast<float>(static_cast<double>(sample) * gain * gain);
}

// Where a channel's processed samples go: the two sends, then fader and pan
// onto the output pairs. Values for one block.
struct ChannelMix
{
    float preFaderSend;
    float postFaderSend;
    float fader;
    float panLeft;
    float panRight;
    bool toPairOne;
    bool toPairTwo;
};

struct MixTargets
{
    float* __restrict sendOneLeft;
    float* __restrict sendOneRight;
    float* __restrict sendTwoLeft;
    float* __restrict sendTwoRight;
    float* __restrict outputOneLeft;
    float* __restrict outputOneRight;
    float* __restrict outputTwoLeft;
    float* __restrict outputTwoRight;
};

// A mono channel reaches both sides of each send equally: its send is added
// on the left and the left copied to the right, before the stereo channels
// add their own right sides.
void mixMonoChannel(const float* __restrict samples, const ChannelMix& mix,
                    const MixTargets& targets, long frames) noexcept
{
    const float preFaderSend = mix.preFaderSend;
    const float postFaderSend = mix.postFaderSend;
    const float fader = mix.fader;
    const float panLeft = mix.panLeft;
    const float panRight = mix.panRight;
    for (long frame = 0; frame < frames; ++frame)
    {
        const float sample = samples[frame];
        targets.sendOneLeft[frame] += preFaderSend * sample;
        targets.sendOneRight[frame] = targets.sendOneLeft[frame];
        const float faded = sample * fader;
        targets.sendTwoLeft[frame] += postFaderSend * faded;
        targets.sendTwoRight[frame] = targets.sendTwoLeft[frame];
        if (mix.toPairOne)
        {
            targets.outputOneLeft[frame] += panLeft * faded;
            targets.outputOneRight[frame] += panRight * faded;
        }
        if (mix.toPairTwo)
        {
            targets.outputTwoLeft[frame] += panLeft * faded;
            targets.outputTwoRight[frame] += panRight * faded;
        }
    }
}

void mixStereoChannel(const float* __restrict left, const float* __restrict right,
                      const ChannelMix& mix, const MixTargets& targets, long frames) noexcept
{
    const float preFaderSend = mix.preFaderSend;
    const float postFaderSend = mix.postFaderSend;
    const float fader = mix.fader;
    const float panLeft = mix.panLeft;
    const float panRight = mix.panRight;
    for (long frame = 0; frame < frames; ++frame)
    {
        targets.sendOneLeft[frame] += preFaderSend * left[frame];
        targets.sendOneRight[frame] += preFaderSend * right[frame];
        const float fadedLeft = left[frame] * fader;
        const float fadedRight = right[frame] * fader;
        targets.sendTwoLeft[frame] += postFaderSend * fadedLeft;
        targets.sendTwoRight[frame] += postFaderSend * fadedRight;
        if (mix.toPairOne)
        {
            targets.outputOneLeft[frame] += panLeft * fadedLeft;
            targets.outputOneRight[frame] += panRight * fadedRight;
        }
        if (mix.toPairTwo)
        {
            targets.outputTwoLeft[frame] += panLeft * fadedLeft;
            targets.outputTwoRight[frame] += panRight * fadedRight;
        }
    }
}

void addScaled(float* __restrict target, const float* __restrict source, float gain,
               long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
        target[frame] += gain * source[frame];
}

void copyScaled(float* __restrict target, const float* __restrict source, float gain,
                long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
        target[frame] = gain * source[frame];
}

// Scales in place and returns the peak of the result (or `peak`, if higher).
float scaleWithPeak(float* __restrict samples, float gain, float peak, long frames) noexcept
{
    for (long frame = 0; frame < frames; ++frame)
    {
        samples[frame] *= gain;
        peak = std::max(peak, std::fabs(samples[frame]));
    }
    return peak;
}

} // namespace

// One channel's control values, read once per block.
struct MixerEngine::ChannelSettings
{
    bool running = false;
    bool compressorOn = false;
    int sourceItem = 0;
    float trim = 1.0f;
    ChannelMix mix{};
    const float* monoInput = nullptr;
};

// Everything one piece of a block needs, read from the controls once so the
// whole piece sees one consistent set of values.
struct MixerEngine::BlockSetup
{
    std::array<ChannelSettings, MixerControlState::kChannelCount> channels;
    std::array<float*, kDeviceOutputsUsed> outputs{};
    MixTargets targets{};
    bool hasSecondPair = false;
    std::array<float, MixerControlState::kReturnCount> returnGain{};
    std::array<bool, MixerControlState::kReturnCount> returnToPairOne{};
    std::array<bool, MixerControlState::kReturnCount> returnToPairTwo{};
    float recordGain = 0.0f;
    bool recordFromPairOne = false;
    bool recordFromPairTwo = false;
    std::array<float, MixerControlState::kMasterCount> masterGain{};
    std::array<float, kDeviceOutputsUsed> outputPeaks{};
    CompressorParameters compressor{};
};

MixerEngine::MixerEngine()
    : m_bufferStorage(std::make_unique<float[]>(static_cast<size_t>(kBufferCount) * kMaxFrames))
{
    for (int index = 0; index < kBufferCount; ++index)
        m_workBuffers[index] = m_bufferStorage.get() + static_cast<size_t>(index) * kMaxFrames;
    m_useFourLanes = mixer_equaliser_quad::available();
    m_gateStorage = std::make_unique<unsigned char[]>(
        static_cast<size_t>(MixerControlState::kChannelCount) * kMaxFrames);
    for (int channelIndex = 0; channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        for (int band = 0; band < kBandCount; ++band)
            recomputeEqualiser(channelIndex, band);
    }
    configureCompressor();
}

MixerEngine::~MixerEngine() = default;

void MixerEngine::prepare(double sampleRate)
{
    m_sources.propagateSampleRate(static_cast<float>(sampleRate));
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        return;
    // Keep the equaliser bands and the compressor times right at the new
    // rate; a stopped engine (0.0) keeps the last running rate for them.
    m_filterSampleRate.store(sampleRate);
    for (int channelIndex = 0; channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        for (int band = 0; band < kBandCount; ++band)
            recomputeEqualiser(channelIndex, band);
    }
    m_compressor.setSampleRate(m_filterSampleRate.load());
}

void MixerEngine::SetSources(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                             RackProcessor* effect, RackProcessor* recorder, RackProcessor* loop,
                             RackProcessor* pads)
{
    m_sources.setEntries(mp3, cd, vsti, effect, recorder, loop, pads);
    UpdateRouting();
}

void MixerEngine::UpdateRouting()
{
    std::array<int, MixerSourceTable::kSelectableSourceCount> stereoSelectorItems{};
    for (int stereo = 0; stereo < MixerSourceTable::kSelectableSourceCount; ++stereo)
        stereoSelectorItems[stereo] =
            m_controls.channels[MixerControlState::kMonoChannelCount + stereo].source.load();
    m_sources.updateRouting(stereoSelectorItems);
}

void MixerEngine::setEqualiserGain(int channelIndex, int band, int gainDb)
{
    if (channelIndex < 0 || channelIndex >= MixerControlState::kChannelCount || band < 0 ||
        band >= kBandCount)
        return;
    gainDb = std::clamp(gainDb, mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum);
    m_controls.channels[channelIndex].equaliserGainDb[band].store(gainDb);
    recomputeEqualiser(channelIndex, band);
}

void MixerEngine::recomputeEqualiser(int channelIndex, int band)
{
    const int gainDb = m_controls.channels[channelIndex].equaliserGainDb[band].load();
    m_equaliserFilters[channelIndex * kBandCount + band].calc_filter_coeffs(
        CFxRbjFilter::PeakingEqualiser, kEqualiserBands[band].frequency, m_filterSampleRate.load(),
        kEqualiserBands[band].quality, gainDb, false);
}

void MixerEngine::configureCompressor()
{
    m_compressor.setRatio(kCompressorRatio);
    m_compressor.setThreshold(kCompressorThresholdDb);
    m_compressor.setAttack(kCompressorAttackMs);
    m_compressor.setRelease(kCompressorReleaseMs);
    m_compressor.setSampleRate(m_filterSampleRate.load());
    m_compressor.initRuntime();
}

void MixerEngine::reset() noexcept
{
    for (CFxRbjFilter& filter : m_equaliserFilters)
        filter.reset();
    m_rightEqualiserMemory = {};
    m_compressor.initRuntime();
    std::memset(m_bufferStorage.get(), 0, sizeof(float) * kBufferCount * kMaxFrames);
    m_channelPeaks.fill(kPeakFloor);
}

void MixerEngine::process(float** in, float** out, long numIn, long numOut, long frames) noexcept
{
    if (frames <= 0)
        return;
    if (in == nullptr || numIn < 0)
        numIn = 0;
    if (out == nullptr || numOut < 0)
        numOut = 0;
    const long usableInputs = std::min<long>(numIn, kDeviceInputsUsed);
    const long usableOutputs = std::min<long>(numOut, kDeviceOutputsUsed);

    // A block longer than the work buffers runs as several pieces; a device
    // with fewer than two outputs mixes pair 1 into stand-in buffers, so the
    // sources, sends and record feed still run.
    for (long offset = 0; offset < frames; offset += kMaxFrames)
    {
        const long pieceFrames = std::min(kMaxFrames, frames - offset);
        std::array<float*, kDeviceInputsUsed> pieceInputs{};
        for (long channel = 0; channel < kDeviceInputsUsed; ++channel)
            pieceInputs[channel] =
                channel < usableInputs ? in[channel] + offset : m_workBuffers[kSilentInput];
        std::array<float*, kDeviceOutputsUsed> pieceOutputs{};
        for (long channel = 0; channel < kDeviceOutputsUsed; ++channel)
        {
            if (channel < usableOutputs)
                pieceOutputs[channel] = out[channel] + offset;
            else if (channel < 2)
                pieceOutputs[channel] = m_workBuffers[kStandInOutputLeft + channel];
        }
        processPiece(pieceInputs.data(), numIn, pieceOutputs.data(), numOut, pieceFrames);
    }
}

void MixerEngine::processPiece(float* const* inputs, long numIn, float* const* outputs, long numOut,
                               long frames) noexcept
{
    const size_t byteCount = static_cast<size_t>(frames) * sizeof(float);
    BlockSetup block;
    block.hasSecondPair = numOut >= 4;

    // Clear the outputs this mixer owns and every work buffer.
    for (int channel = 0; channel < kDeviceOutputsUsed; ++channel)
    {
        block.outputs[channel] = outputs[channel];
        if (outputs[channel] != nullptr)
            std::memset(outputs[channel], 0, byteCount);
    }
    for (int index = 0; index < kSharedWorkBufferCount; ++index)
        std::memset(m_workBuffers[index], 0, byteCount);
    block.targets = {m_workBuffers[kSendOneLeft],
                     m_workBuffers[kSendOneRight],
                     m_workBuffers[kSendTwoLeft],
                     m_workBuffers[kSendTwoRight],
                     outputs[0],
                     outputs[1],
                     outputs[2],
                     outputs[3]};
    if (numIn < 2)
        std::memset(m_workBuffers[kSilentInput], 0, byteCount);

    // Read the controls once and decide which channels run.
    const long monoInputLimit = std::min<long>(numIn, kDeviceInputsUsed);
    for (int channelIndex = 0; channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        const MixerChannelControls& controls = m_controls.channels[channelIndex];
        ChannelSettings& settings = block.channels[channelIndex];
        settings.sourceItem = controls.source.load(std::memory_order_relaxed);
        settings.trim = m_gainLaws.trim(controls.gainDb.load(std::memory_order_relaxed));
        settings.compressorOn = MixerControlState::isMonoChannel(channelIndex) &&
                                controls.compressorOn.load(std::memory_order_relaxed);
        const int pan = controls.pan.load(std::memory_order_relaxed);
        settings.mix = {m_gainLaws.fader(controls.preFaderSend.load(std::memory_order_relaxed)),
                        m_gainLaws.fader(controls.postFaderSend.load(std::memory_order_relaxed)),
                        m_gainLaws.fader(controls.fader.load(std::memory_order_relaxed)),
                        m_gainLaws.panLeft(pan),
                        m_gainLaws.panRight(pan),
                        controls.toOutputPairOne.load(std::memory_order_relaxed),
                        block.hasSecondPair &&
                            controls.toOutputPairTwo.load(std::memory_order_relaxed)};
    }
    // Mono channels: an input the device has; channel 2 never takes channel
    // 1's input.
    for (int channelIndex = 0; channelIndex < MixerControlState::kMonoChannelCount; ++channelIndex)
    {
        ChannelSettings& settings = block.channels[channelIndex];
        settings.running = settings.sourceItem >= 1 && settings.sourceItem <= monoInputLimit;
        if (channelIndex == 1 && settings.sourceItem == block.channels[0].sourceItem)
            settings.running = false;
        if (settings.running)
            settings.monoInput = inputs[settings.sourceItem - 1];
    }
    // Stereo channels: a selected source; channels 6 and 7 step aside for
    // their left neighbour when it selects the same source.
    for (int channelIndex = MixerControlState::kMonoChannelCount;
         channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        ChannelSettings& settings = block.channels[channelIndex];
        settings.running = settings.sourceItem >= 1 &&
                           settings.sourceItem <= MixerSourceTable::kSelectableSourceCount;
        if (channelIndex >= 5 && settings.sourceItem == block.channels[channelIndex - 1].sourceItem)
            settings.running = false;
    }

    for (int send = 0; send < MixerControlState::kReturnCount; ++send)
    {
        block.returnGain[send] =
            m_gainLaws.fader(m_controls.returnLevel[send].load(std::memory_order_relaxed));
        block.returnToPairOne[send] =
            m_controls.returnToOutputPairOne[send].load(std::memory_order_relaxed);
        block.returnToPairTwo[send] =
            m_controls.returnToOutputPairTwo[send].load(std::memory_order_relaxed);
    }
    block.recordGain = m_gainLaws.fader(m_controls.recordLevel.load(std::memory_order_relaxed));
    block.recordFromPairOne = m_controls.recordFromOutputPairOne.load(std::memory_order_relaxed);
    block.recordFromPairTwo = m_controls.recordFromOutputPairTwo.load(std::memory_order_relaxed);
    for (int master = 0; master < MixerControlState::kMasterCount; ++master)
        block.masterGain[master] =
            m_gainLaws.fader(m_controls.masterLevel[master].load(std::memory_order_relaxed));
    const double thresholdDb = m_compressor.getThreshold();
    if (thresholdDb != m_quietBelowFor)
    {
        m_quietBelowFor = thresholdDb;
        m_quietBelow = std::pow(10.0, thresholdDb / 20.0) * (1.0 - 1e-9);
    }
    block.compressor = {thresholdDb, m_compressor.getRatio(), m_compressor.getAttackCoefficient(),
                        m_compressor.getReleaseCoefficient(), m_quietBelow};

    pullSources(block, inputs, frames);

    // The channel strips.
    m_channelPeaks.fill(kPeakFloor);
    block.outputPeaks.fill(kPeakFloor);
    prepareMonoChannels(block, frames);
    for (int channelIndex = MixerControlState::kMonoChannelCount;
         channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        if (block.channels[channelIndex].running)
            prepareStereoChannel(block, channelIndex, frames);
    }
    equaliseChannels(block, frames);
    // Sends, fader and pan, in channel order (1 and 2 reach the sends' right
    // sides before the stereo channels add theirs).
    for (int channelIndex = 0; channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        const ChannelSettings& settings = block.channels[channelIndex];
        if (!settings.running)
            continue;
        if (MixerControlState::isMonoChannel(channelIndex))
            mixMonoChannel(channelSamples(channelIndex, 0), settings.mix, block.targets, frames);
        else
            mixStereoChannel(channelSamples(channelIndex, 0), channelSamples(channelIndex, 1),
                             settings.mix, block.targets, frames);
    }

    // The effects turn send 1 into return 1 and send 2 into return 2.
    if (RackProcessor* effect = m_sources.entry(MixerSourceTable::DualEffect))
    {
        std::array<float*, 4> sendBuffers{};
        std::array<float*, 4> returnBuffers{};
        for (int index = 0; index < 4; ++index)
        {
            sendBuffers[index] = m_workBuffers[kSendOneLeft + index];
            returnBuffers[index] = m_workBuffers[kReturnOneLeft + index];
        }
        effect->Process(sendBuffers.data(), returnBuffers.data(), 2, 2, frames);
    }

    mixReturnsRecordAndMasters(block, frames);

    if (RackProcessor* recorder = m_sources.entry(MixerSourceTable::Recorder))
    {
        std::array<float*, 2> recordBuffers{m_workBuffers[kRecordLeft],
                                            m_workBuffers[kRecordRight]};
        recorder->Process(recordBuffers.data(), nullptr, 2, 0, frames);
    }

    // Meters: channels that ran, then the four outputs always.
    if (MixerListener* listener = m_listener.load(std::memory_order_acquire))
    {
        for (int channelIndex = 0; channelIndex < MixerControlState::kChannelCount; ++channelIndex)
        {
            if (block.channels[channelIndex].running)
                listener->postMeterReading(channelIndex,
                                           meter::decibels(m_channelPeaks[channelIndex]));
        }
        for (int output = 0; output < kDeviceOutputsUsed; ++output)
            listener->postMeterReading(MixerListener::firstOutputMeter() + output,
                                       meter::decibels(block.outputPeaks[output]));
    }
}

void MixerEngine::pullSources(const BlockSetup& block, float* const* inputs, long frames) noexcept
{
    // Each source plays one block per block: pulling it again for a second
    // channel would play it on (twice as fast with two channels). So a source
    // is pulled once, into the first running channel that selects it, in
    // channel order; every later channel on it gets a copy of those samples.
    // All pulls and copies happen before any strip processes its buffers in
    // place, so the first channel's buffers still hold the source's own block.
    struct Pull
    {
        const RackProcessor* source;
        int channelIndex;
    };
    std::array<Pull, kStereoChannelCount> pulls{};
    int pullCount = 0;
    const size_t byteCount = static_cast<size_t>(frames) * sizeof(float);
    for (int channelIndex = MixerControlState::kMonoChannelCount;
         channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        const ChannelSettings& settings = block.channels[channelIndex];
        if (!settings.running)
            continue;
        RackProcessor* source = m_sources.entry(settings.sourceItem);
        if (source == nullptr)
            continue;
        float* const left = channelSamples(channelIndex, 0);
        float* const right = channelSamples(channelIndex, 1);
        const Pull* earlier =
            std::find_if(pulls.data(), pulls.data() + pullCount,
                         [source](const Pull& pull) { return pull.source == source; });
        if (earlier != pulls.data() + pullCount)
        {
            std::memcpy(left, channelSamples(earlier->channelIndex, 0), byteCount);
            std::memcpy(right, channelSamples(earlier->channelIndex, 1), byteCount);
            continue;
        }
        pulls[pullCount++] = {source, channelIndex};
        // The callee gets its own copies of the pointer arrays.
        std::array<float*, 2> sourceInputs{inputs[0], inputs[1]};
        std::array<float*, 2> channelBuffers{left, right};
        source->Process(sourceInputs.data(), channelBuffers.data(), 2, 2, frames);
    }
}

float* MixerEngine::channelSamples(int channelIndex, int side) const noexcept
{
    if (MixerControlState::isMonoChannel(channelIndex))
        return m_workBuffers[kFirstMonoChannelBuffer + channelIndex];
    return m_workBuffers[kFirstStereoChannelBuffer +
                         2 * (channelIndex - MixerControlState::kMonoChannelCount) + side];
}

void MixerEngine::prepareMonoChannels(const BlockSetup& block, long frames) noexcept
{
    const ChannelSettings& first = block.channels[0];
    const ChannelSettings& second = block.channels[1];
    if (!first.running && !second.running)
        return;

    // Trim, compressor and peak, frame by frame with both channels inside,
    // so channel 1's compressor step runs before channel 2's on the shared
    // envelope. The equaliser gate of each frame is kept for the next stage.
    const CompressorParameters compressor = block.compressor;
    double envelopeDb = m_compressor.getEnvelopeDb();
    auto runStrip =
        [&](float sample, const ChannelSettings& settings, float& peak, unsigned char& gateOpen)
    {
        sample *= settings.trim;
        if (settings.compressorOn)
            sample = compressSample(sample, compressor, envelopeDb);
        peak = std::max(peak, std::fabs(sample));
        gateOpen = peak > kPeakFloor;
        return sample;
    };
    float* const firstSamples = channelSamples(0, 0);
    float* const secondSamples = channelSamples(1, 0);
    unsigned char* const firstGates = gateFlags(0);
    unsigned char* const secondGates = gateFlags(1);
    for (long frame = 0; frame < frames; ++frame)
    {
        if (first.running)
            firstSamples[frame] =
                runStrip(first.monoInput[frame], first, m_channelPeaks[0], firstGates[frame]);
        if (second.running)
            secondSamples[frame] =
                runStrip(second.monoInput[frame], second, m_channelPeaks[1], secondGates[frame]);
    }
    m_compressor.setEnvelopeDb(envelopeDb);
}

void MixerEngine::prepareStereoChannel(const BlockSetup& block, int channelIndex,
                                       long frames) noexcept
{
    // Trim and peak, in place in the channel's buffers; the equaliser gate of
    // each frame is kept for the next stage.
    const ChannelSettings& settings = block.channels[channelIndex];
    float* const left = channelSamples(channelIndex, 0);
    float* const right = channelSamples(channelIndex, 1);
    unsigned char* const gates = gateFlags(channelIndex);
    const float trim = settings.trim;
    float peak = m_channelPeaks[channelIndex];
    for (long frame = 0; frame < frames; ++frame)
    {
        const float trimmedLeft = left[frame] * trim;
        const float trimmedRight = right[frame] * trim;
        left[frame] = trimmedLeft;
        right[frame] = trimmedRight;
        const float leftMagnitude = std::fabs(trimmedLeft);
        const float rightMagnitude = std::fabs(trimmedRight);
        if (leftMagnitude > peak || rightMagnitude > peak)
            peak = (leftMagnitude + rightMagnitude) / 2.0f;
        gates[frame] = peak > kPeakFloor;
    }
    m_channelPeaks[channelIndex] = peak;
}

void MixerEngine::equaliseChannels(const BlockSetup& block, long frames) noexcept
{
    // Every chain adopts its bands' newest coefficients, running or not. A
    // stereo channel's right side runs on its own chain: the left chain's
    // coefficients with the right side's memory.
    CFxRbjFilter* const filters = m_equaliserFilters.data();
    std::array<MixerEqualiserChain, MixerControlState::kChannelCount> chains{
        MixerEqualiserChain(filters),      MixerEqualiserChain(filters + 3),
        MixerEqualiserChain(filters + 6),  MixerEqualiserChain(filters + 9),
        MixerEqualiserChain(filters + 12), MixerEqualiserChain(filters + 15),
        MixerEqualiserChain(filters + 18)};
    std::array<MixerEqualiserChain, kStereoChannelCount> rightChains{
        MixerEqualiserChain(chains[2], m_rightEqualiserMemory[0]),
        MixerEqualiserChain(chains[3], m_rightEqualiserMemory[1]),
        MixerEqualiserChain(chains[4], m_rightEqualiserMemory[2]),
        MixerEqualiserChain(chains[5], m_rightEqualiserMemory[3]),
        MixerEqualiserChain(chains[6], m_rightEqualiserMemory[4])};
    auto rightChain = [&](int channelIndex) -> MixerEqualiserChain&
    { return rightChains[channelIndex - MixerControlState::kMonoChannelCount]; };

    // One channel alone, honouring its gate frame by frame: a closed gate
    // skips the filters and leaves their memory untouched.
    auto equaliseFrame = [&](int channelIndex, long frame)
    {
        if (!gateFlags(channelIndex)[frame])
            return;
        float* const left = channelSamples(channelIndex, 0);
        left[frame] = chains[channelIndex].filter(left[frame]);
        if (!MixerControlState::isMonoChannel(channelIndex))
        {
            float* const right = channelSamples(channelIndex, 1);
            right[frame] = rightChain(channelIndex).filter(right[frame]);
        }
    };
    auto equaliseAlone = [&](int channelIndex)
    {
        for (long frame = 0; frame < frames; ++frame)
            equaliseFrame(channelIndex, frame);
    };

    // A stereo channel's two sides share one gate, so they always run
    // together in the two lanes of a pair.
    auto equaliseStereoChannel = [&](int channelIndex)
    {
#if defined(CORVANE_HAVE_EQUALISER_PAIR)
        MixerEqualiserPair pair(chains[channelIndex], rightChain(channelIndex));
        const unsigned char* const gates = gateFlags(channelIndex);
        float* const left = channelSamples(channelIndex, 0);
        float* const right = channelSamples(channelIndex, 1);
        for (long frame = 0; frame < frames; ++frame)
        {
            if (gates[frame])
                pair.filter(left[frame], right[frame]);
        }
        pair.finish();
#else
        equaliseAlone(channelIndex);
#endif
    };

    // The two mono channels share the pair's instructions while both gates
    // are open; a frame with a closed gate runs on the chains alone.
    auto equaliseMonoChannels = [&]
    {
#if defined(CORVANE_HAVE_EQUALISER_PAIR)
        MixerEqualiserPair pair(chains[0], chains[1]);
        const unsigned char* const firstGates = gateFlags(0);
        const unsigned char* const secondGates = gateFlags(1);
        float* const first = channelSamples(0, 0);
        float* const second = channelSamples(1, 0);
        for (long frame = 0; frame < frames; ++frame)
        {
            if (firstGates[frame] && secondGates[frame])
            {
                pair.filter(first[frame], second[frame]);
                continue;
            }
            pair.finish();
            equaliseFrame(0, frame);
            equaliseFrame(1, frame);
            pair.reload();
        }
        pair.finish();
#else
        equaliseAlone(0);
        equaliseAlone(1);
#endif
    };

    // Four stereo channels share one four-lane step per side where the
    // processor has one; the rest run one channel per pair.
    std::array<int, kStereoChannelCount> stereoRunning{};
    int stereoCount = 0;
    for (int channelIndex = MixerControlState::kMonoChannelCount;
         channelIndex < MixerControlState::kChannelCount; ++channelIndex)
    {
        if (block.channels[channelIndex].running)
            stereoRunning[stereoCount++] = channelIndex;
    }
    int firstUnequalised = 0;
    if (m_useFourLanes && stereoCount >= 4)
    {
        std::array<MixerEqualiserChain*, 4> leftChains{}, quadRightChains{};
        std::array<float*, 4> left{}, right{};
        std::array<const unsigned char*, 4> gates{};
        for (int lane = 0; lane < 4; ++lane)
        {
            const int channelIndex = stereoRunning[lane];
            leftChains[lane] = &chains[channelIndex];
            quadRightChains[lane] = &rightChain(channelIndex);
            left[lane] = channelSamples(channelIndex, 0);
            right[lane] = channelSamples(channelIndex, 1);
            gates[lane] = gateFlags(channelIndex);
        }
        mixer_equaliser_quad::equaliseFourStereoChannels(leftChains, quadRightChains, left, right,
                                                         gates, frames);
        firstUnequalised = 4;
    }
    for (; firstUnequalised < stereoCount; ++firstUnequalised)
        equaliseStereoChannel(stereoRunning[firstUnequalised]);

    if (block.channels[0].running && block.channels[1].running)
        equaliseMonoChannels();
    else if (block.channels[0].running)
        equaliseAlone(0);
    else if (block.channels[1].running)
        equaliseAlone(1);

    for (MixerEqualiserChain& chain : chains)
        chain.finish();
    for (MixerEqualiserChain& chain : rightChains)
        chain.finish();
}

void MixerEngine::mixReturnsRecordAndMasters(BlockSetup& block, long frames) noexcept
{
    float* const outputOneLeft = block.outputs[0];
    float* const outputOneRight = block.outputs[1];
    float* const outputTwoLeft = block.outputs[2];
    float* const outputTwoRight = block.outputs[3];
    float* const recordLeft = m_workBuffers[kRecordLeft];
    float* const recordRight = m_workBuffers[kRecordRight];
    std::array<float, kDeviceOutputsUsed>& peaks = block.outputPeaks;

    // Each step runs over the whole block, one buffer at a time, so it runs
    // in SIMD; every sample still sees the steps in the same order.
    // Returns onto their pairs.
    for (int returnIndex = 0; returnIndex < MixerControlState::kReturnCount; ++returnIndex)
    {
        const float gain = block.returnGain[returnIndex];
        const float* const left = m_workBuffers[kReturnOneLeft + 2 * returnIndex];
        const float* const right = m_workBuffers[kReturnOneLeft + 2 * returnIndex + 1];
        if (block.returnToPairOne[returnIndex])
        {
            addScaled(outputOneLeft, left, gain, frames);
            addScaled(outputOneRight, right, gain, frames);
        }
        if (block.returnToPairTwo[returnIndex] && block.hasSecondPair)
        {
            addScaled(outputTwoLeft, left, gain, frames);
            addScaled(outputTwoRight, right, gain, frames);
        }
    }
    // The record feed: the pairs with their returns, before the masters.
    if (block.recordFromPairOne)
    {
        copyScaled(recordLeft, outputOneLeft, block.recordGain, frames);
        copyScaled(recordRight, outputOneRight, block.recordGain, frames);
    }
    if (block.recordFromPairTwo && block.hasSecondPair)
    {
        addScaled(recordLeft, outputTwoLeft, block.recordGain, frames);
        addScaled(recordRight, outputTwoRight, block.recordGain, frames);
    }
    // Masters, one per device output.
    peaks[0] = scaleWithPeak(outputOneLeft, block.masterGain[0], peaks[0], frames);
    peaks[1] = scaleWithPeak(outputOneRight, block.masterGain[1], peaks[1], frames);
    if (block.hasSecondPair)
    {
        peaks[2] = scaleWithPeak(outputTwoLeft, block.masterGain[2], peaks[2], frames);
        peaks[3] = scaleWithPeak(outputTwoRight, block.masterGain[3], peaks[3], frames);
    }
}
