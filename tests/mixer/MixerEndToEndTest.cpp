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

#include <atomic>
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
    return testkit::makeSine(kRate, kToneFrames, frequency, amplitude);
}

// The device's 4-channel input file: a tone on input 1, the rest silent.
bool writeInputFile(const std::string& path, const std::vector<float>& inputOne)
{
    testkit::Recording input{kRate, {inputOne}};
    input.channels.resize(kDeviceChannels, std::vector<float>(inputOne.size(), 0.0f));
    return testkit::writeWav(path, input);
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
    EXPECT_EQ(realtime_trap::violations(), 0u);

    const std::vector<std::vector<float>> outputs =
        testkit::readWav(folder.path("output.wav")).channels;
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
