// The mixer's signal path without a window: gain, pan and meter laws,
// channel and source rules, sends, returns, record feed, equaliser and
// compressor, the rate reaching the units, and the real-time rules.

#include "mixer/MixerEngine.h"
#include "mixer/MixerEqualiserChain.h"
#include "mixer/MixerTestUnits.h"

#include "platform/Denormals.h"
#include "support/RealtimeTrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{

constexpr long kBlockFrames = 256;

class MixerEngineTest : public ::testing::Test
{
protected:
    MixerEngineTest()
    {
        std::mt19937 generator(11);
        std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
        for (auto& input : inputs)
        {
            input.resize(kLongest);
            for (float& sample : input)
                sample = noise(generator);
        }
        for (auto& output : outputs)
            output.assign(kLongest, 99.0f);
        engine.setListener(&meters);
        engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
    }

    // One block from a device with `numIn` inputs and `numOut` outputs.
    void runBlock(long frames = kBlockFrames, long numOut = 4, long numIn = 4)
    {
        std::array<float*, 4> in{inputs[0].data(), inputs[1].data(), inputs[2].data(),
                                 inputs[3].data()};
        std::array<float*, 4> out{outputs[0].data(), outputs[1].data(), outputs[2].data(),
                                  outputs[3].data()};
        engine.process(in.data(), out.data(), numIn, numOut, frames);
    }

    MixerChannelControls& channel(int number) { return engine.controls().channels[number - 1]; }
    MixerControlState& controls() { return engine.controls(); }

    // Channel 1 on input 1 at unity to outputs 1 and 2.
    void unityMonoChannelOne()
    {
        channel(1).source = 1;
        channel(1).fader = 100;
        controls().masterLevel[0] = 100;
        controls().masterLevel[1] = 100;
    }

    void select(int number, int item)
    {
        channel(number).source = item;
        engine.UpdateRouting();
    }

    void fillInput(int index, float value)
    {
        std::fill(inputs[index].begin(), inputs[index].end(), value);
    }

    static constexpr long kLongest = 6000;
    platform::ScopedNoDenormals noDenormals;
    std::array<std::vector<float>, 4> inputs;
    std::array<std::vector<float>, 4> outputs;
    ConstantSource mp3{0.5f, -0.25f};
    ConstantSource cd{0.3f, 0.1f};
    ConstantSource vsti{0.2f, 0.2f};
    ConstantSource loop{-0.4f, 0.4f};
    ConstantSource pads{0.125f, 0.0625f};
    ScalingEffect effect{0.5f};
    CapturingRecorder recorder;
    MeterLog meters;
    MixerEngine engine;
};

TEST_F(MixerEngineTest, DefaultControlsGiveExactSilenceWhateverTheSourcesPlay)
{
    // Every channel selected, everything else at its first-start default.
    channel(1).source = 1;
    channel(2).source = 2;
    for (int number = 3; number <= 7; ++number)
        channel(number).source = number - 2;
    controls().returnToOutputPairTwo[0] = true;
    runBlock();
    for (int output = 0; output < 4; ++output)
        for (long frame = 0; frame < kBlockFrames; ++frame)
            ASSERT_EQ(outputs[output][frame], 0.0f) << "output " << output + 1;
    for (long frame = 0; frame < kBlockFrames; ++frame)
        ASSERT_EQ(recorder.left[frame], 0.0f);
    EXPECT_EQ(mp3.processCalls, 1);
}

TEST_F(MixerEngineTest, MonoAndStereoChannelsFollowThePanFaderAndTrimLaws)
{
    unityMonoChannelOne();
    runBlock();
    for (long frame = 0; frame < kBlockFrames; ++frame)
    {
        ASSERT_EQ(outputs[0][frame], inputs[0][frame]) << frame;
        ASSERT_EQ(outputs[1][frame], inputs[0][frame]) << frame;
        ASSERT_EQ(outputs[2][frame], 0.0f) << "pair 2 is not assigned, only cleared";
    }

    fillInput(0, 0.8f);
    for (const auto& [pan, left, right] :
         {std::tuple{0, 0.8f, 0.0f}, {100, 0.0f, 0.8f}, {25, 0.8f, 0.4f}, {50, 0.8f, 0.8f}})
    {
        channel(1).pan = pan;
        runBlock();
        EXPECT_FLOAT_EQ(outputs[0][10], left) << "pan " << pan;
        EXPECT_FLOAT_EQ(outputs[1][10], right) << "pan " << pan;
    }

    // Fader law: +2.5 dB at 110, and the jump between 29 (10^(-4/3) × 29/30
    // = 0.04486869) and 30 (-23.33 dB); trim law: +6 dB is 10^(6/20).
    fillInput(0, 0.5f);
    for (const auto& [fader, gainDb, expected] : {std::tuple{110, 0, std::pow(10.0, 2.5 / 20.0)},
                                                  {29, 0, 0.04486869},
                                                  {30, 0, 0.0681292},
                                                  {100, 6, std::pow(10.0, 0.3)}})
    {
        channel(1).fader = fader;
        channel(1).gainDb = gainDb;
        runBlock();
        EXPECT_NEAR(outputs[0][5] / 0.5, expected, 1e-6 * expected) << fader << " " << gainDb;
    }
    // Out-of-range values read the nearest end, never past a table.
    const MixerGainLaws& laws = engine.gainLaws();
    EXPECT_EQ(laws.fader(500), laws.fader(110));
    EXPECT_EQ(laws.fader(-3), 0.0f);
    EXPECT_EQ(laws.trim(99), laws.trim(30));
    EXPECT_EQ(laws.panRight(-20), 0.0f);

    // A stereo channel pans each side by itself (pan 75: left at 0.5).
    channel(1).source = 0;
    channel(3).source = MixerSourceTable::Mp3Player; // 0.5 left, -0.25 right
    channel(3).fader = 100;
    channel(3).pan = 75;
    channel(3).toOutputPairTwo = true;
    for (auto& master : controls().masterLevel)
        master = 100;
    runBlock();
    EXPECT_FLOAT_EQ(outputs[0][7], 0.25f);
    EXPECT_FLOAT_EQ(outputs[1][7], -0.25f);
    EXPECT_FLOAT_EQ(outputs[2][7], 0.25f);
    EXPECT_FLOAT_EQ(outputs[3][7], -0.25f);
    // Peak rule of a stereo channel: the mean of both sides' magnitudes.
    EXPECT_NEAR(meters.latest[2], 20.0 * std::log10(0.375), 1e-4);
}

// Channel 2 never takes channel 1's input; channels 6 and 7 step aside for
// their left neighbour's source, and only for it; a mono channel on an input
// the device lacks is silent. A channel that does not run gets no reading.
TEST_F(MixerEngineTest, ChannelsStepAsideForTheirNeighboursInputOrSource)
{
    unityMonoChannelOne();
    channel(2).source = 1;
    channel(2).fader = 100;
    for (int number = 5; number <= 7; ++number)
    {
        channel(number).source = MixerSourceTable::CdPlayer;
        channel(number).fader = 100;
        channel(number).toOutputPairOne = false;
        channel(number).toOutputPairTwo = true;
    }
    controls().masterLevel[2] = 100;
    runBlock();
    EXPECT_EQ(outputs[0][3], inputs[0][3]) << "input 1 once, not doubled";
    EXPECT_FLOAT_EQ(outputs[2][0], 0.3f) << "the CD player once, through channel 5";
    EXPECT_EQ(meters.count, (std::array<unsigned, 11>{1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1}));

    // Channel 7 is compared only with channel 6: with 6 on the loop player
    // it runs, on channel 5's pull.
    channel(2).source = 2;
    channel(6).source = MixerSourceTable::LoopPlayer;
    runBlock();
    EXPECT_FLOAT_EQ(outputs[0][3], inputs[0][3] + inputs[1][3]);
    EXPECT_FLOAT_EQ(outputs[2][0], 0.3f - 0.4f + 0.3f);
    EXPECT_EQ(cd.processCalls, 2);
    EXPECT_EQ(meters.count, (std::array<unsigned, 11>{2, 1, 0, 0, 2, 1, 1, 2, 2, 2, 2}));

    channel(2).source = 0;
    channel(1).source = 3;
    runBlock(kBlockFrames, 4, 2);
    EXPECT_EQ(outputs[0][3], 0.0f);
    EXPECT_EQ(meters.count[0], 2u);
}

// A source plays at its own speed however many channels select it: it is
// pulled once per block, and every channel on it carries that very block.
TEST_F(MixerEngineTest, ASourceOnSeveralChannelsIsPulledOncePerBlockAndRunsOnUnbroken)
{
    // A ramp that runs on from block to block: a second pull in one block
    // would show as a jump.
    std::vector<float> up(3 * kBlockFrames), down(3 * kBlockFrames);
    for (size_t frame = 0; frame < up.size(); ++frame)
        down[frame] = -(up[frame] = static_cast<float>(frame + 1));
    SequenceSource ramp(up, down);
    engine.SetSources(&ramp, &cd, nullptr, nullptr, nullptr, nullptr, nullptr);
    // Channel 3 on pair 1, channels 4 and 5 on pair 2; another source plays
    // on channel 7.
    for (int number = 3; number <= 5; ++number)
    {
        channel(number).source = MixerSourceTable::Mp3Player;
        channel(number).fader = 100;
        channel(number).toOutputPairOne = number == 3;
        channel(number).toOutputPairTwo = number != 3;
    }
    channel(7).source = MixerSourceTable::CdPlayer;
    channel(7).toOutputPairOne = false;
    for (auto& master : controls().masterLevel)
        master = 100;
    for (int block = 0; block < 3; ++block)
    {
        runBlock(kBlockFrames, 4, 0);
        EXPECT_EQ(ramp.processCalls, block + 1);
        for (long frame = 0; frame < kBlockFrames; ++frame)
        {
            const float expected = static_cast<float>(block * kBlockFrames + frame + 1);
            ASSERT_NEAR(outputs[0][frame], expected, 1e-3f) << block << " " << frame;
            ASSERT_NEAR(outputs[1][frame], -expected, 1e-3f) << block << " " << frame;
            ASSERT_EQ(outputs[2][frame], 2.0f * outputs[0][frame]) << block << " " << frame;
            ASSERT_EQ(outputs[3][frame], 2.0f * outputs[1][frame]) << block << " " << frame;
        }
    }
}

TEST_F(MixerEngineTest, SelectorsMarkUnitsRoutedAndUnrouted)
{
    effect.m_bRouted = true;
    recorder.m_bRouted = true;
    select(3, MixerSourceTable::Mp3Player);
    EXPECT_TRUE(mp3.m_bRouted);
    EXPECT_FALSE(cd.m_bRouted);
    // The effect rack, which no selector offers, ends unrouted; the
    // recorder's flag is not the mixer's to touch.
    EXPECT_FALSE(effect.m_bRouted);
    EXPECT_TRUE(recorder.m_bRouted);

    // Still routed while another stereo channel selects it.
    select(7, MixerSourceTable::Mp3Player);
    select(3, MixerSourceTable::None);
    EXPECT_TRUE(mp3.m_bRouted);
    select(7, MixerSourceTable::SoundEffects);
    EXPECT_FALSE(mp3.m_bRouted);
    EXPECT_TRUE(pads.m_bRouted);

    // Mono selectors name device inputs, not units; an item outside the
    // selector's list routes nothing.
    select(1, 1);
    EXPECT_FALSE(mp3.m_bRouted);
    select(4, 6);
    EXPECT_FALSE(effect.m_bRouted);

    // A unit that stays selected is never seen unrouted while another
    // selector changes (a Play checking the flag then would never start).
    select(3, MixerSourceTable::Mp3Player);
    std::atomic<bool> done{false};
    std::atomic<int> unroutedSeen{0};
    std::thread player(
        [&]
        {
            while (!done.load())
                if (!mp3.m_bRouted.load())
                    unroutedSeen.fetch_add(1);
        });
    for (int change = 0; change < 300000; ++change)
        select(5, change % 2 ? MixerSourceTable::CdPlayer : MixerSourceTable::None);
    done.store(true);
    player.join();
    EXPECT_EQ(unroutedSeen.load(), 0);
}

// Sends go through the effect and come back as returns; the record feed
// takes a pair with its returns, before the master levels.
TEST_F(MixerEngineTest, SendsReturnsAndTheRecordFeed)
{
    unityMonoChannelOne();
    fillInput(0, 0.4f);
    channel(1).preFaderSend = 100;
    channel(1).fader = 0; // post-fader send and direct signal silent
    channel(1).postFaderSend = 100;
    controls().returnLevel[0] = 100;
    runBlock();
    // Return 1 = pre send (0.4, copied to both sides) × 0.5 from the effect.
    EXPECT_FLOAT_EQ(outputs[0][9], 0.2f);
    EXPECT_FLOAT_EQ(outputs[1][9], 0.2f);

    // The post-fader send follows the fader; the channel and return 2 go to
    // pair 2 only, which is recorded as mixed and then halved by master 3.
    channel(1).preFaderSend = 0;
    channel(1).fader = 100;
    channel(1).toOutputPairOne = false;
    channel(1).toOutputPairTwo = true;
    controls().returnLevel[0] = 0;
    controls().returnLevel[1] = 100;
    controls().returnToOutputPairOne[1] = false;
    controls().returnToOutputPairTwo[1] = true;
    controls().masterLevel[2] = 50;
    controls().masterLevel[3] = 100;
    controls().recordLevel = 100;
    controls().recordFromOutputPairTwo = true;
    runBlock();
    EXPECT_EQ(outputs[0][9], 0.0f);
    EXPECT_FLOAT_EQ(outputs[3][9], 0.4f + 0.2f);
    EXPECT_NEAR(outputs[2][9], 0.6f * engine.gainLaws().fader(50), 1e-7);
    EXPECT_EQ(recorder.processCalls, 2);
    EXPECT_FALSE(recorder.receivedOutputArray);
    EXPECT_FLOAT_EQ(recorder.left[9], 0.6f);
    EXPECT_FLOAT_EQ(recorder.right[9], 0.6f);

    // Both record buttons off: silence.
    controls().recordFromOutputPairTwo = false;
    runBlock();
    EXPECT_EQ(recorder.left[9], 0.0f);
    EXPECT_EQ(recorder.right[9], 0.0f);
}

TEST_F(MixerEngineTest, TwoOutputDeviceIgnoresEverythingOnPairTwo)
{
    unityMonoChannelOne();
    fillInput(0, 0.6f);
    channel(1).toOutputPairTwo = true;
    controls().recordLevel = 100;
    controls().recordFromOutputPairTwo = true;
    controls().masterLevel[2] = 100;
    controls().masterLevel[3] = 100;
    for (long numOut : {2L, 3L})
    {
        std::fill(outputs[2].begin(), outputs[2].end(), 99.0f);
        std::fill(outputs[3].begin(), outputs[3].end(), 99.0f);
        runBlock(kBlockFrames, numOut);
        EXPECT_FLOAT_EQ(outputs[0][0], 0.6f);
        // Output 4 is not the mixer's; output 3 of a three-output device is
        // cleared, never mixed.
        EXPECT_EQ(outputs[3][0], 99.0f);
        EXPECT_EQ(outputs[2][0], numOut == 3 ? 0.0f : 99.0f);
        EXPECT_EQ(recorder.left[0], 0.0f);
        EXPECT_NEAR(meters.latest[MixerListener::firstOutputMeter() + 2], -100.0f, 1e-3);
        EXPECT_NEAR(meters.latest[MixerListener::firstOutputMeter() + 3], -100.0f, 1e-3);
    }
    // No outputs at all, or no device: the record feed still runs.
    controls().recordFromOutputPairOne = true;
    std::array<float*, 1> in{inputs[0].data()};
    engine.process(in.data(), nullptr, 1, 0, kBlockFrames);
    EXPECT_FLOAT_EQ(recorder.left[0], 0.6f);
    engine.process(nullptr, nullptr, 0, 0, kBlockFrames);
    EXPECT_EQ(recorder.left[0], 0.0f);
}

TEST_F(MixerEngineTest, LongBlocksRunInPiecesWithTheSameResult)
{
    // Every stage that keeps state across frames is active.
    MixerEngine reference;
    reference.SetSources(&mp3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (MixerEngine* mixer : {&engine, &reference})
    {
        auto& state = mixer->controls();
        state.channels[0].source = 1;
        state.channels[0].fader = 100;
        state.channels[0].compressorOn = true;
        state.channels[2].source = MixerSourceTable::Mp3Player;
        state.channels[2].fader = 90;
        state.masterLevel[0] = 100;
        state.masterLevel[1] = 100;
        mixer->setEqualiserGain(0, 1, 9);
        mixer->setEqualiserGain(2, 2, -6);
    }
    const long frames = 5000;
    runBlock(frames);
    EXPECT_LE(mp3.longestBlock, MixerEngine::kMaxFrames);
    const std::vector<float> whole(outputs[0].begin(), outputs[0].begin() + frames);
    std::vector<float> pieced(frames), scratch(frames);
    for (long offset = 0; offset < frames; offset += MixerEngine::kMaxFrames)
    {
        const long length = std::min(MixerEngine::kMaxFrames, frames - offset);
        std::array<float*, 1> in{inputs[0].data() + offset};
        std::array<float*, 2> out{pieced.data() + offset, scratch.data() + offset};
        reference.process(in.data(), out.data(), 1, 2, length);
    }
    EXPECT_EQ(whole, pieced);
}

TEST_F(MixerEngineTest, SilentBlockKeepsAndResetForgetsTheFilterMemory)
{
    // Two engines with the same boosted band; one sees a silent block in
    // between. If the filters ran on the silence their memory would decay
    // and the next block would differ.
    MixerEngine undisturbed;
    for (MixerEngine* mixer : {&engine, &undisturbed})
    {
        auto& state = mixer->controls();
        state.channels[0].source = 1;
        state.channels[0].fader = 100;
        state.masterLevel[0] = 100;
        mixer->setEqualiserGain(0, 0, 12);
    }
    std::vector<float> loud(inputs[0].begin(), inputs[0].begin() + kBlockFrames);
    loud[0] = 0.5f; // the filters run from the block's first sample
    std::vector<float> silent(kBlockFrames, 0.0f);
    std::vector<float> left(kBlockFrames), right(kBlockFrames);
    auto run = [&](MixerEngine& mixer, std::vector<float>& input)
    {
        std::array<float*, 1> in{input.data()};
        std::array<float*, 2> out{left.data(), right.data()};
        mixer.process(in.data(), out.data(), 1, 2, kBlockFrames);
        return left;
    };
    const std::vector<float> fromRest = run(engine, loud);
    run(undisturbed, loud);
    EXPECT_EQ(run(engine, silent), silent);
    EXPECT_EQ(run(engine, loud), run(undisturbed, loud));

    // reset forgets the filter memory and the compressor's envelope.
    std::vector<float> hot(kBlockFrames, 0.9f);
    controls().channels[0].compressorOn = true;
    run(engine, hot);
    EXPECT_GT(engine.compressor().getEnvelopeDb(), 1.0);
    engine.reset();
    EXPECT_EQ(engine.compressor().getEnvelopeDb(), SimpleComp::kDcOffset);
    controls().channels[0].compressorOn = false;
    EXPECT_EQ(run(engine, loud), fromRest);
}

TEST_F(MixerEngineTest, CompressorLeavesQuietInputAndTakesTheExcessOffTwice)
{
    unityMonoChannelOne();
    channel(1).compressorOn = true;
    // -12 dBFS steady input: below the -6 dB threshold, untouched once settled.
    fillInput(0, 0.25f);
    for (int block = 0; block < 20; ++block)
        runBlock();
    EXPECT_EQ(outputs[0][kBlockFrames - 1], 0.25f);

    // 0 dBFS: 6 dB over; ratio 0 takes the smoothed excess off twice.
    fillInput(0, 1.0f);
    for (int block = 0; block < 20; ++block)
        runBlock();
    EXPECT_NEAR(20.0 * std::log10(outputs[0][kBlockFrames - 1]), -12.0, 1e-4);
    EXPECT_NEAR(engine.compressor().getEnvelopeDb(), 6.0, 1e-4);

    // Channel 2 shares the envelope: quiet itself, it is pulled down too
    // while channel 1 is loud.
    channel(2).source = 2;
    channel(2).fader = 100;
    channel(2).compressorOn = true;
    channel(1).toOutputPairOne = false;
    fillInput(1, 0.25f);
    runBlock();
    EXPECT_LT(outputs[0][kBlockFrames - 1], 0.25f * 0.5f);
}

TEST_F(MixerEngineTest, EqualiserBandMeasuresItsKnobAndFollowsTheRunningRate)
{
    engine.prepare(48000.0);
    unityMonoChannelOne();
    const CFxRbjFilter::Coefficients otherBefore =
        engine.equaliserFilter(1, 0).activeCoefficients();
    engine.setEqualiserGain(0, 0, 12);
    EXPECT_EQ(channel(1).equaliserGainDb[0].load(), 12);

    // 6000 Hz at 48 kHz (8 samples a cycle, starting on a crest so the gate
    // is open) comes out 12 dB louder: a peaking filter does not shift the
    // phase at its centre, so the settled samples still hit the crests.
    const long frames = 2 * MixerEngine::kMaxFrames;
    for (long frame = 0; frame < frames; ++frame)
        inputs[0][frame] = 0.1f * static_cast<float>(std::cos(std::numbers::pi * frame / 4.0));
    runBlock(frames);
    const float peak =
        *std::max_element(outputs[0].begin() + frames / 2, outputs[0].begin() + frames);
    EXPECT_NEAR(20.0 * std::log10(peak / 0.1), 12.0, 0.01);
    EXPECT_EQ(engine.equaliserFilter(1, 0).activeCoefficients().b0, otherBefore.b0);

    // Equaliser and compressor follow a new running rate and survive a stop.
    engine.prepare(96000.0);
    EXPECT_EQ(engine.filterSampleRate(), 96000.0);
    EXPECT_DOUBLE_EQ(engine.compressor().getAttackCoefficient(), std::exp(-1.0 / 240.0));

    // A knob moved while the engine is stopped computes for the last rate,
    // never for 0 Hz.
    engine.prepare(0.0);
    engine.setEqualiserGain(3, 1, 6);
    CFxRbjFilter expected;
    expected.calc_filter_coeffs(6, 950.0, 96000.0, 1.0, 6.0, false);
    expected.acquireCoefficients();
    runBlock(); // adopts the new coefficients
    const auto& active = engine.equaliserFilter(3, 1).activeCoefficients();
    EXPECT_EQ(active.b0, expected.activeCoefficients().b0);
    EXPECT_EQ(active.a2, expected.activeCoefficients().a2);
}

// Channels share the processor's lanes (two mono channels in one pair, a
// stereo channel's two sides in one pair, four stereo channels in four lanes
// per side) and must come out bit for bit as the plain path makes them: one
// chain per side with its own memory (a stereo side never carries the other
// side's signal), including frames where one channel's gate is closed, and
// again from rest after a reset.
TEST_F(MixerEngineTest, EqualiserLanesMatchThePlainChainsBitForBit)
{
    const long frames = 4 * kBlockFrames;
    std::mt19937 generator(5);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    // Channel index c, side s: mono channels 1 and 2, then the stereo
    // channels' left and right. Channels 1 and 3 start silent (their gates
    // closed), the others at once.
    std::array<std::array<std::vector<float>, 2>, 7> sides;
    for (int index = 0; index < 7; ++index)
        for (auto& side : sides[index])
        {
            side.assign(frames, 0.0f);
            const long firstSound = index == 0 ? 70 : index == 2 ? 40 : 0;
            for (long frame = firstSound; frame < frames; ++frame)
                side[frame] = noise(generator);
        }
    // Each channel boosts one band, cuts another and leaves the third flat.
    auto bandGain = [](int channelIndex, int band)
    {
        const int shift = channelIndex + 1;
        return band == shift % 3         ? 12 - 4 * channelIndex
               : band == (shift + 1) % 3 ? -9 + 2 * channelIndex
                                         : 0;
    };
    constexpr std::array<std::array<double, 2>, 3> kBands{
        {{6000.0, 1.0}, {950.0, 1.0}, {55.0, 0.8}}};

    for (int stereoCount = 1; stereoCount <= 5; ++stereoCount)
    {
        SCOPED_TRACE(stereoCount);
        SequenceSource third(sides[2][0], sides[2][1]), fourth(sides[3][0], sides[3][1]),
            fifth(sides[4][0], sides[4][1]), sixth(sides[5][0], sides[5][1]),
            seventh(sides[6][0], sides[6][1]);
        MixerEngine mixer;
        // Selector items 1..5 name MP3, CD, instrument, loop and pads.
        mixer.SetSources(&third, &fourth, &fifth, nullptr, nullptr, &sixth, &seventh);
        auto& state = mixer.controls();
        const int channelCount = 2 + stereoCount;
        for (int index = 0; index < channelCount; ++index)
        {
            state.channels[index].source = index < 2 ? index + 1 : index - 1;
            state.channels[index].fader = 100;
            for (int band = 0; band < 3; ++band)
                mixer.setEqualiserGain(index, band, bandGain(index, band));
        }
        state.masterLevel[0] = state.masterLevel[1] = 100;
        std::vector<float> left(frames), right(frames);
        auto render = [&]
        {
            for (SequenceSource* source : {&third, &fourth, &fifth, &sixth, &seventh})
                source->position = 0;
            for (long offset = 0; offset < frames; offset += kBlockFrames)
            {
                std::array<float*, 2> in{sides[0][0].data() + offset, sides[1][0].data() + offset};
                std::array<float*, 2> out{left.data() + offset, right.data() + offset};
                mixer.process(in.data(), out.data(), 2, 2, kBlockFrames);
            }
        };
        render();

        // The plain path: one chain per side, on filters of its own, frame by
        // frame; the sum in channel order, as the mixer adds.
        std::vector<float> expectedLeft(frames, 0.0f), expectedRight(frames, 0.0f);
        for (int index = 0; index < channelCount; ++index)
            for (int side = 0; side < (index < 2 ? 1 : 2); ++side)
            {
                std::array<CFxRbjFilter, 3> filters;
                for (int band = 0; band < 3; ++band)
                    filters[band].calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser,
                                                     kBands[band][0], mixer.filterSampleRate(),
                                                     kBands[band][1], bandGain(index, band), false);
                MixerEqualiserChain chain(filters.data());
                for (long frame = 0; frame < frames; ++frame)
                {
                    const float filtered = chain.filter(sides[index][side][frame]);
                    if (index < 2 || side == 0)
                        expectedLeft[frame] += filtered;
                    if (index < 2 || side == 1)
                        expectedRight[frame] += filtered;
                }
            }
        EXPECT_EQ(left, expectedLeft);
        EXPECT_EQ(right, expectedRight);
        mixer.reset();
        render();
        EXPECT_EQ(left, expectedLeft) << "after reset";
        EXPECT_EQ(right, expectedRight) << "after reset";
    }
}

// Every stage of the block runs (all channels, compressor, equaliser, sends,
// returns, record feed, meters, long blocks in pieces, a device with too few
// outputs) while the GUI thread keeps recomputing equaliser coefficients: the
// audio thread must not allocate, free or block on a lock, and every block
// sees a whole set of coefficients, never a half-written one.
TEST_F(MixerEngineTest, ProcessNeverAllocatesLocksOrTearsCoefficients)
{
    engine.prepare(48000.0);
    for (int number = 1; number <= MixerControlState::kChannelCount; ++number)
    {
        // Channel 7 shares channel 3's source.
        channel(number).source = number <= 2 ? number : number == 7 ? 1 : number - 2;
        channel(number).fader = 90;
        channel(number).preFaderSend = channel(number).postFaderSend = 50;
        channel(number).toOutputPairTwo = channel(number).compressorOn = true;
    }
    controls().returnLevel[0] = controls().returnLevel[1] = 80;
    controls().recordLevel = 100;
    controls().recordFromOutputPairOne = controls().recordFromOutputPairTwo = true;
    for (auto& master : controls().masterLevel)
        master = 100;

    // Channel 1's high band swings between -12 and +12 dB.
    auto wholeSet = [](int gainDb)
    {
        CFxRbjFilter filter;
        filter.calc_filter_coeffs(CFxRbjFilter::PeakingEqualiser, 6000.0, 48000.0, 1.0, gainDb,
                                  false);
        filter.acquireCoefficients();
        return filter.activeCoefficients();
    };
    const std::array<CFxRbjFilter::Coefficients, 4> wholeSets{
        CFxRbjFilter::Coefficients{}, wholeSet(0), wholeSet(-12), wholeSet(12)};
    auto isWhole = [&](const CFxRbjFilter::Coefficients& active)
    {
        return std::ranges::any_of(wholeSets, [&](const auto& set)
                                   { return std::memcmp(&set, &active, sizeof set) == 0; });
    };
    std::atomic<bool> stop{false};
    std::thread gui(
        [&]
        {
            for (int step = 0; !stop.load(); ++step)
            {
                engine.setEqualiserGain(0, 0, step % 2 == 0 ? 12 : -12);
                engine.setEqualiserGain(step % 7, 1 + step % 2, step % 31 - 15);
            }
        });

    int tornBlocks = 0;
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        for (int block = 0; block < 200; ++block)
        {
            runBlock(block % 10 == 9 ? 5000 : kBlockFrames, block % 7 == 6 ? 1 : 4);
            tornBlocks += isWhole(engine.equaliserFilter(0, 0).activeCoefficients()) ? 0 : 1;
        }
    }
    stop.store(true);
    gui.join();
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_EQ(tornBlocks, 0);
    EXPECT_GT(meters.count[0], 0u);
    EXPECT_GT(recorder.processCalls, 0);
}

// A unit that logs each rate it is told, and whether any unit of the table
// was already running at that moment.
struct RateLoggingUnit : RackProcessor
{
    RateLoggingUnit(const char* unitName, std::vector<std::string>& rateLog,
                    const std::vector<RateLoggingUnit*>& table)
        : name(unitName), log(rateLog), everyUnit(table)
    {
    }
    void Process(float**, float**, long, long, long) override {}
    void SetSampleRate(float rate) override
    {
        RackProcessor::SetSampleRate(rate);
        const bool anyRunning = std::ranges::any_of(everyUnit, [](const RateLoggingUnit* unit)
                                                    { return unit->m_bRunning.load(); });
        log.push_back(name + (anyRunning ? " (after a running flag)" : ""));
    }
    std::string name;
    std::vector<std::string>& log;
    const std::vector<RateLoggingUnit*>& everyUnit;
};

TEST(MixerRoutingTest, RunningRateReachesTheSevenUnitsInOrderBeforeAnyRunningFlag)
{
    std::vector<std::string> log;
    std::vector<RateLoggingUnit*> everyUnit;
    RateLoggingUnit mp3{"mp3", log, everyUnit}, cd{"cd", log, everyUnit},
        vsti{"vsti", log, everyUnit}, effect{"effect", log, everyUnit},
        recorder{"recorder", log, everyUnit}, loop{"loop", log, everyUnit},
        pads{"pads", log, everyUnit};
    everyUnit = {&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads};
    MixerEngine engine;
    engine.SetSources(&mp3, &cd, &vsti, &effect, &recorder, &loop, &pads);
    engine.prepare(48000.0);
    EXPECT_EQ(
        log, (std::vector<std::string>{"effect", "recorder", "mp3", "cd", "vsti", "loop", "pads"}));
    for (RateLoggingUnit* unit : everyUnit)
        EXPECT_TRUE(unit->m_bRunning && unit->GetSampleRate() == 48000.0f) << unit->name;

    // Stopping only clears the flags; the units keep their rate.
    log.clear();
    engine.prepare(0.0);
    EXPECT_TRUE(log.empty());
    for (RateLoggingUnit* unit : everyUnit)
        EXPECT_TRUE(!unit->m_bRunning && unit->GetSampleRate() == 48000.0f) << unit->name;

    // Empty entries are skipped, also when a channel selects one.
    MixerEngine lonely;
    lonely.SetSources(nullptr, &cd, nullptr, nullptr, nullptr, nullptr, nullptr);
    lonely.controls().channels[2].source = MixerSourceTable::Mp3Player;
    lonely.controls().channels[2].fader = 100;
    lonely.prepare(44100.0);
    EXPECT_EQ(log, std::vector<std::string>{"cd"});
    std::vector<float> left(64, 1.0f), right(64, 1.0f);
    std::array<float*, 2> out{left.data(), right.data()};
    lonely.process(nullptr, out.data(), 0, 2, 64);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f));
}

} // namespace
