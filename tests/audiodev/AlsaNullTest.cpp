// The ALSA driver on ALSA's "null" device (no sound card is needed): listed
// next to "default", loads in each native sample type, runs blocks paced to
// real time (the null device never blocks) and stops cleanly.

#include "audiodev/MASIO.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using namespace audiodev;

namespace
{

constexpr double kRate = 48000.0;

struct BlockCount
{
    std::atomic<long> blocks{0};
    std::atomic<long> frames{0};
};

long countingCallback(float**, float** out, long, long numOut, long frames, long,
                      unsigned long userData)
{
    auto* count = reinterpret_cast<BlockCount*>(userData);
    for (long channel = 0; channel < numOut; ++channel)
        for (long frame = 0; frame < frames; ++frame)
            out[channel][frame] = 0.25f;
    count->frames.store(frames);
    count->blocks.fetch_add(1);
    return 0;
}

int indexOf(CMASIO& host, const std::string& name)
{
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (name == host.getDriverName(index))
            return int(index);
    return -1;
}

class AlsaNullTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unsetenv("CORVANE_DRIVER_PATH");
        unsetenv("CORVANE_ALSA_SAMPLE_TYPE");
        setenv("CORVANE_ALSA_DEVICES", "null", 1);
    }
};

} // namespace

TEST_F(AlsaNullTest, ListsDefaultAndExtraDevicesWithOrWithoutCards)
{
    CMASIO host;
    const int defaultIndex = indexOf(host, "ALSA default");
    const int nullIndex = indexOf(host, "ALSA null");
    ASSERT_GE(defaultIndex, 0);
    ASSERT_GE(nullIndex, 0);
    EXPECT_EQ(nullIndex, defaultIndex + 1);
    // "default" may or may not open here; either way nothing breaks.
    BlockCount count;
    if (host.loaddriver(unsigned(defaultIndex), &countingCallback,
                        reinterpret_cast<unsigned long>(&count)) == 0)
    {
        EXPECT_STRNE(host.getErrorMessage(), "");
    }
    host.unloaddriver();
}

TEST_F(AlsaNullTest, StreamsInEachNativeSampleType)
{
    struct Case
    {
        const char* name;
        SampleType type;
    };
    for (const Case& c : {Case{"Int16LSB", SampleInt16LSB}, Case{"Int24LSB", SampleInt24LSB},
                          Case{"Int32LSB", SampleInt32LSB}, Case{"Float32LSB", SampleFloat32LSB}})
    {
        setenv("CORVANE_ALSA_SAMPLE_TYPE", c.name, 1);
        CMASIO host;
        BlockCount count;
        const int index = indexOf(host, "ALSA null");
        ASSERT_GE(index, 0);
        if (host.loaddriver(unsigned(index), &countingCallback,
                            reinterpret_cast<unsigned long>(&count)) != 1)
            GTEST_SKIP() << "ALSA null device does not open here: " << host.getErrorMessage();
        EXPECT_EQ(host.getSampleType(false, 0), c.type) << c.name;
        EXPECT_EQ(host.getSampleType(true, 0), c.type) << c.name;
        EXPECT_GT(host.getOutputChannels(), 0);
        EXPECT_GT(host.getInputChannels(), 0);
        EXPECT_EQ(host.getPreferBuffersize(), 256);
        ASSERT_TRUE(host.setSampleRate(float(kRate)));
        EXPECT_EQ(host.getSampleRate(), float(kRate));

        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.startaudio());
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ASSERT_TRUE(host.stopaudio());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_GT(count.blocks.load(), 0) << c.name;
        EXPECT_EQ(count.frames.load(), 256);
        // Paced, not spinning: a loose bound of twice real time.
        EXPECT_LE(double(count.blocks.load()), 2.0 * seconds * kRate / 256.0 + 2.0) << c.name;

        // Stopped means stopped; and the driver starts again.
        const long blocks = count.blocks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(count.blocks.load(), blocks);
        ASSERT_TRUE(host.startaudio());
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(host.unloaddriver());
        EXPECT_GT(count.blocks.load(), blocks);
    }
}
