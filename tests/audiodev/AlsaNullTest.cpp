// The ALSA driver on ALSA's "null" device (no sound card is needed): listed
// next to "default", loads in each native sample type, runs blocks paced to
// real time (the null device never blocks), stops and starts again.

#include "HostHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace audiodev;

constexpr double kRate = 48000.0;

TEST(AlsaNull, StreamsInEachNativeSampleTypePacedToRealTime)
{
    unsetenv("CORVANE_DRIVER_PATH");
    setenv("CORVANE_ALSA_DEVICES", "null", 1);
    {
        // "default" may or may not open here; either way nothing breaks.
        CMASIO host;
        ASSERT_GE(indexOf(host, "ALSA default"), 0);
        EXPECT_EQ(indexOf(host, "ALSA null"), indexOf(host, "ALSA default") + 1);
        ToneState state;
        EXPECT_TRUE(loadByName(host, "ALSA default", &toneCallback, &state) == 1 ||
                    *host.getErrorMessage() != '\0');
    }
    for (const auto& [name, type] :
         {std::pair{"Int16LSB", SampleInt16LSB}, std::pair{"Int24LSB", SampleInt24LSB},
          std::pair{"Int32LSB", SampleInt32LSB}, std::pair{"Float32LSB", SampleFloat32LSB}})
    {
        SCOPED_TRACE(name);
        setenv("CORVANE_ALSA_SAMPLE_TYPE", name, 1);
        CMASIO host;
        ToneState state;
        if (loadByName(host, "ALSA null", &toneCallback, &state) != 1)
            GTEST_SKIP() << "ALSA null device does not open here: " << host.getErrorMessage();
        EXPECT_EQ(host.getSampleType(false, 0), type);
        EXPECT_EQ(host.getSampleType(true, 0), type);
        EXPECT_TRUE(host.getOutputChannels() > 0 && host.getInputChannels() > 0);
        EXPECT_EQ(host.getPreferBuffersize(), 256);
        ASSERT_TRUE(host.setSampleRate(float(kRate)));
        EXPECT_EQ(host.getSampleRate(), float(kRate));

        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.startaudio());
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ASSERT_TRUE(host.stopaudio());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        // Whole blocks, paced rather than spinning: a loose bound of twice
        // real time.
        const long played = state.blocks.load();
        EXPECT_GT(played, 0);
        EXPECT_EQ(state.frames.load(), played * 256);
        EXPECT_LE(double(played), 2.0 * seconds * kRate / 256.0 + 2.0);

        // Stopped means stopped; and the driver starts again.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(state.blocks.load(), played);
        ASSERT_TRUE(host.startaudio());
        EXPECT_TRUE(waitFor([&] { return state.blocks.load() > played; }));
        EXPECT_TRUE(host.unloaddriver());
    }
    unsetenv("CORVANE_ALSA_SAMPLE_TYPE");
}
