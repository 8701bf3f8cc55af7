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

bool writeToneOnInputOne(const std::string& path)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = kDeviceChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    std::vector<float> frames(static_cast<size_t>(kToneFrames * kDeviceChannels), 0.0f);
    for (long frame = 0; frame < kToneFrames; ++frame)
        frames[static_cast<size_t>(frame * kDeviceChannels)] =
            kToneAmplitude *
            static_cast<float>(std::sin(2.0 * std::numbers::pi * kToneHz * frame / kRate));
    const bool written = sf_writef_float(file, frames.data(), kToneFrames) == kToneFrames;
    sf_close(file);
    return written;
}

std::vector<std::vector<float>> readChannels(const std::string& path, int& rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    rate = info.samplerate;
    std::vector<std::vector<float>> channels(static_cast<size_t>(info.channels));
    for (sf_count_t frame = 0; frame < info.frames; ++frame)
        for (int channel = 0; channel < info.channels; ++channel)
            channels[static_cast<size_t>(channel)].push_back(
                interleaved[static_cast<size_t>(frame * info.channels + channel)]);
    return channels;
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

    int rate = 0;
    const auto channels = readChannels(outputPath, rate);
    ASSERT_EQ(channels.size(), 4u);
    EXPECT_EQ(rate, kRate);
    for (int output = 0; output < 2; ++output)
    {
        SCOPED_TRACE(output + 1);
        const std::vector<float>& samples = channels[static_cast<size_t>(output)];
        // Where the tone starts (after the device's latency): its first
        // sample is sin(0) = 0, the one before the first non-zero sample.
        size_t start = 0;
        while (start < samples.size() && samples[start] == 0.0f)
            ++start;
        ASSERT_GT(start, 0u);
        --start;
        ASSERT_LT(start + kToneFrames, samples.size() + 1);
        // Unity path: every sample is the input's, so the level and the
        // zero crossings are the tone's.
        double sumOfSquares = 0.0;
        int upwardCrossings = 0;
        for (size_t index = start; index < start + kToneFrames; ++index)
        {
            sumOfSquares += double(samples[index]) * samples[index];
            if (index > start && samples[index - 1] < 0.0f && samples[index] >= 0.0f)
                ++upwardCrossings;
        }
        const double rms = std::sqrt(sumOfSquares / kToneFrames);
        EXPECT_NEAR(rms, kToneAmplitude / std::numbers::sqrt2, 1e-4);
        // One second of 1000 Hz: 1000 upward crossings (the first at the start).
        EXPECT_NEAR(upwardCrossings, 1000, 1);
        for (size_t index = start + kToneFrames; index < samples.size(); ++index)
            ASSERT_NEAR(samples[index], 0.0f, 1e-6f) << "after the tone, frame " << index;
    }
    for (int output = 2; output < 4; ++output)
        for (float sample : channels[static_cast<size_t>(output)])
            ASSERT_EQ(sample, 0.0f) << "output " << output + 1;
}

} // namespace
