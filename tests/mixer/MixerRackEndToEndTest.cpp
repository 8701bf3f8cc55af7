// End to end: a tone on device input 1 of the Virtual Device, through the
// amplifier's engine callback and the mixer panel's channel 1 ("In 1",
// fader 100, masters 100), comes out on device outputs 1 and 2 at its own
// level and pitch, and nowhere else.

#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mixer-rack-end-to-end-test";
char* arguments[] = {argumentZero, nullptr};

constexpr int kRate = 48000;
constexpr int kDeviceChannels = 4;
constexpr double kToneHz = 1000.0;
constexpr float kToneAmplitude = 0.25f;
constexpr long kToneFrames = kRate; // one second

// Stands in for the recorder: the mixer calls it once per block, which lets
// the test count the blocks the device ran.
class BlockCounter : public RackProcessor
{
public:
    void Process(float**, float**, long, long, long) override { m_blocks.fetch_add(1); }
    bool waitForBlocks(long count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_blocks.load() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return m_blocks.load() >= count;
    }

private:
    std::atomic<long> m_blocks{0};
};

float tone(long frame)
{
    return kToneAmplitude *
           static_cast<float>(std::sin(2.0 * std::numbers::pi * kToneHz * frame / kRate));
}

bool writeToneOnInputOne(const std::string& path)
{
    SF_INFO info{kToneFrames, kRate, kDeviceChannels, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    std::vector<float> frames(static_cast<size_t>(kToneFrames * kDeviceChannels), 0.0f);
    for (long frame = 0; frame < kToneFrames; ++frame)
        frames[static_cast<size_t>(frame * kDeviceChannels)] = tone(frame);
    const bool written = sf_writef_float(file, frames.data(), kToneFrames) == kToneFrames;
    sf_close(file);
    return written;
}

TEST(MixerRackEndToEndTest, DeviceInputOneReachesOutputsOneAndTwoThroughChannelOne)
{
    if (!QApplication::instance())
        new QApplication(argumentCount, arguments);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    const std::string inputPath = (folder.path() + "/input.wav").toStdString();
    const std::string outputPath = (folder.path() + "/output.wav").toStdString();
    ASSERT_TRUE(writeToneOnInputOne(inputPath));
    setenv("CORVANE_VIRTUAL_FAST", "1", 1);
    setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
    setenv("CORVANE_VIRTUAL_INPUT_FILE", inputPath.c_str(), 1);
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", outputPath.c_str(), 1);

    {
        CMixerRack mixer;
        mixer.CreateControls();
        BlockCounter recorder;
        mixer.SetSources(nullptr, nullptr, nullptr, nullptr, &recorder, nullptr, nullptr);
        mixer.sourceSelector(0).setitemindex(1); // "In 1"
        mixer.channelFader(0).setvalue(100);
        mixer.masterSlider(0).setvalue(100);
        mixer.masterSlider(1).setvalue(100);
        // Pair 2 would carry it too if assigned; its masters are up to prove
        // that it is not.
        mixer.masterSlider(2).setvalue(100);
        mixer.masterSlider(3).setvalue(100);

        CAmpRack amp;
        amp.CreateControls();
        amp.SetChain(&mixer, nullptr);
        int virtualDevice = -1;
        for (int item = 0; item < amp.deviceSelector().getcount(); ++item)
            if (amp.deviceSelector().itemText(item) == "Virtual Device")
                virtualDevice = item;
        ASSERT_GE(virtualDevice, 0);
        amp.deviceSelector().setitemindex(virtualDevice);
        amp.rateSelector().setitemindex(1); // 48000 Hz
        amp.powerSwitch().SetStatus(true);
        amp.PowerOn();
        ASSERT_TRUE(amp.powerSwitch().getStatus());
        EXPECT_EQ(mixer.GetSampleRate(), 48000.0f);
        EXPECT_TRUE(recorder.m_bRunning);
        // The whole tone and some silence after it.
        ASSERT_TRUE(recorder.waitForBlocks(kToneFrames / 256 + 40));
        amp.PowerOff();
        EXPECT_EQ(mixer.GetSampleRate(), 0.0f);
        EXPECT_FALSE(recorder.m_bRunning);
    }

    SF_INFO info{};
    SNDFILE* file = sf_open(outputPath.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(info.channels, kDeviceChannels);
    EXPECT_EQ(info.samplerate, kRate);
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    for (size_t output = 0; output < kDeviceChannels; ++output)
    {
        SCOPED_TRACE(output + 1);
        std::vector<float> samples;
        for (size_t index = output; index < interleaved.size(); index += kDeviceChannels)
            samples.push_back(interleaved[index]);
        if (output >= 2)
        {
            EXPECT_EQ(samples, std::vector<float>(samples.size(), 0.0f));
            continue;
        }
        // Unity path, after the device's latency: every sample is the tone's
        // (its first is sin(0) = 0, just before the first non-zero one), then
        // silence.
        const auto firstSound = std::ranges::find_if(samples, [](float s) { return s != 0.0f; });
        ASSERT_NE(firstSound, samples.begin());
        const size_t start = static_cast<size_t>(firstSound - samples.begin()) - 1;
        ASSERT_LE(start + kToneFrames, samples.size());
        for (long frame = 0; frame < kToneFrames; ++frame)
            ASSERT_NEAR(samples[start + frame], tone(frame), 1e-6f) << frame;
        for (size_t index = start + kToneFrames; index < samples.size(); ++index)
            ASSERT_NEAR(samples[index], 0.0f, 1e-6f) << "after the tone, frame " << index;
    }
}

} // namespace
