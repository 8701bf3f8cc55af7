// End to end: the Virtual Device at 48000 Hz through the amplifier's engine
// callback and the mixer. A tone on device input 1 (channel 1, "In 1", panned
// left) and a stereo source on channel 3 (panned right) come out on device
// outputs 1 and 2 at their own pitch and level with no gap, outputs 3 and 4
// stay silent, and no block allocates or locks.

#include "engine/AmpRack.h"
#include "mixer/MixerTestUnits.h"
#include "support/RackTest.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"
#include "support/UnitChain.h"

#include <QTest>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using MixerEndToEndTest = testkit::RackTest;

constexpr int kRate = 48000;
constexpr long kToneFrames = kRate; // one second
constexpr int kDeviceChannels = 4;

std::vector<float> sine(double frequency, double amplitude)
{
    std::vector<float> samples(kToneFrames);
    for (long frame = 0; frame < kToneFrames; ++frame)
        samples[frame] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * frame / kRate));
    return samples;
}

// The device's 4-channel input file: a tone on input 1, the rest silent.
bool writeInputFile(const std::string& path, const std::vector<float>& inputOne)
{
    std::vector<float> interleaved(inputOne.size() * kDeviceChannels, 0.0f);
    for (size_t frame = 0; frame < inputOne.size(); ++frame)
        interleaved[frame * kDeviceChannels] = inputOne[frame];
    SF_INFO info{0, kRate, kDeviceChannels, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const sf_count_t frames = static_cast<sf_count_t>(inputOne.size());
    const bool written =
        file != nullptr && sf_writef_float(file, interleaved.data(), frames) == frames;
    sf_close(file);
    return written;
}

// The device's output file, one vector per channel.
std::vector<std::vector<float>> readOutputFile(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<std::vector<float>> channels(static_cast<size_t>(info.channels));
    std::vector<float> frame(channels.size());
    while (file != nullptr && sf_readf_float(file, frame.data(), 1) == 1)
        for (size_t channel = 0; channel < channels.size(); ++channel)
            channels[channel].push_back(frame[channel]);
    sf_close(file);
    return channels;
}

TEST_F(MixerEndToEndTest, DeviceInputAndSourceReachTheirOutputsAtPitchAndLevel)
{
    testkit::TemporaryFolder folder;
    ASSERT_TRUE(writeInputFile(folder.path("input.wav"), sine(1000.0, 0.25)));
    setenv("CORVANE_VIRTUAL_FAST", "1", 1);
    setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
    setenv("CORVANE_VIRTUAL_INPUT_FILE", folder.path("input.wav").c_str(), 1);
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", folder.path("output.wav").c_str(), 1);

    const std::vector<float> left = sine(440.0, 0.5), right = sine(660.0, 0.5);
    SequenceSource source(left, right);
    testkit::UnitChain chain(source, MixerSourceTable::Mp3Player);
    MixerControlState& controls = chain.mixer.controls();
    controls.channels[2].pan = 100; // only the source's right side, on output 2
    controls.channels[0].source = 1;
    controls.channels[0].fader = 100;
    controls.channels[0].pan = 0; // only output 1
    // Pair 2 would carry both if assigned; its masters are up to prove it is not.
    controls.masterLevel[2] = controls.masterLevel[3] = 100;
    std::atomic<long> blocks{0};
    chain.afterBlock = [&] { blocks.fetch_add(1); };

    realtime_trap::resetCounts();
    {
        CAmpRack amp;
        ASSERT_TRUE(chain.powerOn(amp, "Virtual Device"));
        EXPECT_TRUE(source.m_bRunning);
        // The whole tone and some silence after it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return blocks.load() > kToneFrames / 256 + 40; }, 60000));
        amp.PowerOff();
        EXPECT_FALSE(source.m_bRunning);
    }
    EXPECT_EQ(realtime_trap::allocations() + realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 0u);

    const std::vector<std::vector<float>> outputs = readOutputFile(folder.path("output.wav"));
    ASSERT_EQ(outputs.size(), static_cast<size_t>(kDeviceChannels));
    for (const auto& [output, frequency, level] :
         {std::tuple{0, 1000.0, 0.25}, {1, 660.0, 0.5 * chain.outputGain()}})
    {
        SCOPED_TRACE(output + 1);
        // One stretch of sound, a second long; measured inside its edges.
        const auto stretches = testkit::soundingStretches(outputs[output]);
        ASSERT_EQ(stretches.size(), 1u);
        const auto [begin, end] = stretches.front();
        EXPECT_NEAR(static_cast<double>(end - begin), kToneFrames, 50.0);
        EXPECT_EQ(testkit::toneFaults(outputs[output].data() + begin + 50, end - begin - 100, 1,
                                      kRate, frequency, level),
                  "");
    }
    for (size_t output = 2; output < 4; ++output)
        EXPECT_EQ(outputs[output], std::vector<float>(outputs[output].size(), 0.0f)) << output + 1;
}

} // namespace
