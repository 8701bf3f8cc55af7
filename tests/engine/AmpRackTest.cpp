// The amplifier on the Virtual Device: power on and off, the chain told the
// rate, lamps, latency, the tick written to a WAV file (which proves the
// device writes what the engine block makes; clipping and meters are the
// block's own test), and the selections kept in the settings file.

#include "engine/AmpRack.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

// Stands in for the mixer: writes a constant into every output and counts blocks.
class ChainRoot : public RackProcessor
{
public:
    explicit ChainRoot(float value = 0.0f) : m_value(value) {}
    void Process(float**, float** out, long, long numOut, long frames) override
    {
        const bool armed = m_armTrap.load();
        if (armed)
            realtime_trap::armCurrentThread();
        for (long channel = 0; channel < numOut; ++channel)
            for (long frame = 0; frame < frames; ++frame)
                out[channel][frame] = m_value;
        m_blocks.fetch_add(1);
        if (armed)
            realtime_trap::disarmCurrentThread();
    }
    void SetSampleRate(float rate) override
    {
        rates.push_back(rate);
        RackProcessor::SetSampleRate(rate);
    }
    bool waitForBlocks(int count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_blocks.load() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return m_blocks.load() >= count;
    }
    int blocks() const { return m_blocks.load(); }
    std::vector<float> rates;
    std::atomic<bool> m_armTrap{false};

private:
    float m_value;
    std::atomic<int> m_blocks{0};
};

class AmpRackTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        testkit::RackTest::SetUp();
        setenv("CORVANE_VIRTUAL_FAST", "1", 1);
        setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "256", 1);
        unsetenv("CORVANE_VIRTUAL_OUTPUTS");
        unsetenv("CORVANE_VIRTUAL_OUTPUT_FILE");
    }

    // Selects the Virtual Device and the rate, then presses power.
    static bool powerOnVirtualDevice(CAmpRack& amp, int rateIndex)
    {
        int virtualIndex = -1;
        for (int item = 0; item < amp.deviceSelector().getcount(); ++item)
            if (amp.deviceSelector().itemText(item) == "Virtual Device")
                virtualIndex = item;
        if (virtualIndex < 0)
            return false;
        amp.deviceSelector().setitemindex(virtualIndex);
        amp.rateSelector().setitemindex(rateIndex);
        amp.powerSwitch().SetStatus(true);
        amp.PowerOn();
        return amp.powerSwitch().getStatus();
    }

    QTemporaryDir m_folder;
};

TEST_F(AmpRackTest, PowerOnThatFailsSpringsBackAndSaysWhy)
{
    // No server of this name runs, so JACK cannot be opened.
    const QByteArray server = qgetenv("JACK_DEFAULT_SERVER");
    qputenv("JACK_DEFAULT_SERVER", "corvane-no-such-server");
    CAmpRack amp;
    amp.CreateControls();
    ChainRoot root;
    amp.SetChain(&root, nullptr);
    EXPECT_EQ(amp.deviceSelector().itemText(0), "None");
    EXPECT_EQ(amp.rateSelector().getcount(), 3);
    int jack = -1;
    for (int item = 0; item < amp.deviceSelector().getcount(); ++item)
        if (amp.deviceSelector().itemText(item) == "JACK")
            jack = item;
    ASSERT_GT(jack, 0);

    const std::pair<int, QString> cases[] = {
        {0, "Choose an audio device, then press POWER."},
        {jack, "JACK could not be opened: No JACK server is running."}};
    for (const auto& [device, reason] : cases)
    {
        amp.deviceSelector().setitemindex(device);
        amp.powerSwitch().SetStatus(true);
        amp.PowerOn();
        EXPECT_FALSE(amp.powerSwitch().getStatus());
        EXPECT_FALSE(amp.m_bRunning);
        EXPECT_TRUE(root.rates.empty());
        EXPECT_EQ(amp.powerFailure(), reason);
        // The user reads it in a box that does not block the rack.
        auto boxes = amp.findChildren<QMessageBox*>();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back()->text(), reason);
        EXPECT_FALSE(boxes.back()->isModal());
        boxes.back()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qputenv("JACK_DEFAULT_SERVER", server);
}

TEST_F(AmpRackTest, StreamsThroughTheChainAtTheChosenRate)
{
    CAmpRack amp;
    amp.CreateControls();
    ChainRoot root;
    amp.SetChain(&root, nullptr);
    ASSERT_TRUE(powerOnVirtualDevice(amp, 1)) << "the Virtual Device must be listed and start";
    EXPECT_TRUE(amp.m_bRunning);
    EXPECT_TRUE(root.m_bRunning);
    ASSERT_EQ(root.rates, std::vector<float>{48000.0f});
    EXPECT_FLOAT_EQ(amp.device().getSampleRate(), 48000.0f);
    EXPECT_EQ(amp.latencyDisplay().getvalue(),
              (amp.device().getInputLatency() + amp.device().getOutputLatency()) / 100);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_TRUE(amp.lamp(channel).getlightened());

    // The chain runs on the device's thread without allocating or blocking.
    ASSERT_TRUE(root.waitForBlocks(50));
    realtime_trap::resetCounts();
    root.m_armTrap = true;
    const int armedFrom = root.blocks();
    ASSERT_TRUE(root.waitForBlocks(armedFrom + 200));
    root.m_armTrap = false;
    amp.powerSwitch().SetStatus(false);
    amp.PowerOff();
    EXPECT_EQ(realtime_trap::violations(), 0u);

    EXPECT_FALSE(amp.m_bRunning);
    EXPECT_FALSE(root.m_bRunning);
    EXPECT_EQ(root.rates.back(), 0.0f);
    EXPECT_EQ(amp.latencyDisplay().getvalue(), 0);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_FALSE(amp.lamp(channel).getlightened());
    const int stoppedAt = root.blocks();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(root.blocks(), stoppedAt) << "no block after power off";
}

TEST_F(AmpRackTest, StereoDeviceLightsTwoLamps)
{
    setenv("CORVANE_VIRTUAL_OUTPUTS", "2", 1);
    CAmpRack amp;
    amp.CreateControls();
    ChainRoot root;
    amp.SetChain(&root, nullptr);
    ASSERT_TRUE(powerOnVirtualDevice(amp, 0));
    EXPECT_TRUE(amp.lamp(0).getlightened());
    EXPECT_TRUE(amp.lamp(1).getlightened());
    EXPECT_FALSE(amp.lamp(2).getlightened());
    EXPECT_FALSE(amp.lamp(3).getlightened());
    amp.PowerOff();
}

TEST_F(AmpRackTest, TickIsAnImpulseEveryRateOverFramesBlocksInTheDeviceOutput)
{
    const std::string wav = (m_folder.path() + "/tick.wav").toStdString();
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", wav.c_str(), 1);
    {
        CAmpRack amp;
        amp.CreateControls();
        ChainRoot silentChain;
        amp.SetChain(&silentChain, nullptr);
        amp.tickSwitch().SetStatus(true);
        ASSERT_TRUE(powerOnVirtualDevice(amp, 1));
        ASSERT_TRUE(silentChain.waitForBlocks(600));
        amp.PowerOff();
    }
    const testkit::Recording recording = testkit::readWav(wav);
    ASSERT_EQ(recording.channels.size(), 4u);
    const std::vector<float>& samples = recording.channels[0];
    // 48000 / 256 = 187.5: a full-scale impulse every 187 blocks.
    constexpr size_t kFrames = 256, kPeriod = 187;
    ASSERT_GE(samples.size(), 3 * kPeriod * kFrames);
    std::vector<size_t> impulseBlocks;
    for (size_t frame = 0; frame < samples.size(); ++frame)
    {
        if (frame % kFrames != 0)
        {
            ASSERT_EQ(samples[frame], 0.0f) << "frame " << frame;
            continue;
        }
        if (samples[frame] > 0.99f)
            impulseBlocks.push_back(frame / kFrames);
        else
            ASSERT_EQ(samples[frame], 0.0f) << "first sample of block " << frame / kFrames;
    }
    ASSERT_GE(impulseBlocks.size(), 3u);
    for (size_t index = 1; index < impulseBlocks.size(); ++index)
        EXPECT_EQ(impulseBlocks[index] - impulseBlocks[index - 1], kPeriod);
}

TEST_F(AmpRackTest, PanelIsBuiltFromItsLayoutAndKeepsItsSelections)
{
    {
        CAmpRack amp;
        amp.CreateControls();
        testkit::expectControlsOnTheirRows(amp_layout::controls, amp.controlRefs());
        amp.deviceSelector().setitemindex(amp.deviceSelector().getcount() - 1);
        amp.rateSelector().setitemindex(2);
    }
    CIni settings(CIni::ConfigFolder() + "/rackdata5.ini");
    CAmpRack restored;
    restored.CreateControls();
    EXPECT_EQ(restored.deviceSelector().getitemindex(), restored.deviceSelector().getcount() - 1);
    EXPECT_EQ(restored.rateSelector().getitemindex(), 2);

    // An index outside the items is ignored: nothing is selected, and power
    // on then springs back as with "None".
    settings.WriteInt("amp", "samplerate", 7);
    settings.WriteInt("amp", "asiodevice", -3);
    CAmpRack outOfRange;
    outOfRange.CreateControls();
    EXPECT_EQ(outOfRange.rateSelector().getitemindex(), -1);
    EXPECT_EQ(outOfRange.deviceSelector().getitemindex(), -1);
    outOfRange.powerSwitch().SetStatus(true);
    outOfRange.PowerOn();
    EXPECT_FALSE(outOfRange.powerSwitch().getStatus());
}

} // namespace
