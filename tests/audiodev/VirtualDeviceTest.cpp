// The Virtual Device through CMASIO: in its fast mode every sample type
// written to the WAV output byte for byte and a WAV input delivered exactly,
// then silence; its rates and configuration errors; and in clocked mode both
// files streamed completely while keeping to real time.

#include "audiodev/SampleConverter.h"

#include "HostHelpers.h"
#include "support/Tones.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace audiodev;

namespace
{

constexpr long kBlock = 128;
constexpr double kRate = 48000.0;
constexpr long kInputFrames = 300;

// The input file's first channel: 16-bit codes counting up by 100.
float inputSample(long frame)
{
    return frame < kInputFrames ? float(frame * 100 - 15000) / 32768.0f : 0.0f;
}

class VirtualDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name :
             {"CORVANE_DRIVER_PATH", "CORVANE_VIRTUAL_SAMPLE_TYPE", "CORVANE_VIRTUAL_OUTPUT_FILE",
              "CORVANE_VIRTUAL_FAST", "CORVANE_VIRTUAL_OUTPUTS"})
            unsetenv(name);
        setenv("CORVANE_VIRTUAL_BLOCK_SIZE", std::to_string(kBlock).c_str(), 1);
        // A 16-bit stereo input file; its second channel holds code 1.
        SF_INFO info{0, int(kRate), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
        const std::string input = m_folder.path("input.wav");
        SNDFILE* file = sf_open(input.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        std::vector<short> frames;
        for (long frame = 0; frame < kInputFrames; ++frame)
            frames.insert(frames.end(), {short(frame * 100 - 15000), 1});
        sf_writef_short(file, frames.data(), kInputFrames);
        sf_close(file);
        setenv("CORVANE_VIRTUAL_INPUT_FILE", input.c_str(), 1);
    }

    // Powers the device on at 48000 Hz with the tone callback, its channels
    // in `type`; stops once `done` holds; the blocks played.
    template <typename Done> long run(ToneState& state, long type, long outputs, Done done)
    {
        CMASIO host;
        EXPECT_EQ(loadByName(host, "Virtual Device", &toneCallback, &state), 1);
        EXPECT_EQ(host.getPreferBuffersize(), kBlock);
        EXPECT_EQ(host.getOutputChannels(), outputs);
        EXPECT_EQ(host.getSampleType(false, 0), type);
        EXPECT_EQ(host.getSampleType(true, 0), type);
        EXPECT_TRUE(host.setSampleRate(float(kRate)));
        EXPECT_TRUE(host.startaudio());
        EXPECT_TRUE(waitFor(done, 20.0));
        EXPECT_TRUE(host.stopaudio());
        // The input reached the callback exactly: the file's samples, then
        // silence (its second channel stayed apart).
        long frame = 0;
        while (frame < 4 * kBlock && state.captured[size_t(frame)] == inputSample(frame))
            ++frame;
        EXPECT_EQ(frame, 4 * kBlock) << "the input differs from frame " << frame;
        return state.blocks.load();
    }

    // The output file holds every block played and nothing else, each
    // sample exactly as converted to `type`.
    static void expectOutputFile(const std::string& path, long type, long channels, long blocks)
    {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(info.samplerate, int(kRate));
        ASSERT_EQ(info.channels, channels);
        ASSERT_EQ(info.frames, blocks * kBlock);
        const size_t width = SampleConverter::bytesPerSample(type);
        std::vector<unsigned char> actual(size_t(info.frames) * size_t(channels) * width);
        std::vector<unsigned char> expected(actual.size());
        EXPECT_EQ(sf_read_raw(file, actual.data(), sf_count_t(actual.size())),
                  sf_count_t(actual.size()));
        sf_close(file);
        for (size_t sample = 0; sample < actual.size() / width; ++sample)
        {
            const float value =
                toneSample(long(sample % size_t(channels)), long(sample) / channels);
            SampleConverter::fromFloat(&value, &expected[sample * width], 1, type);
        }
        const auto wrong = std::mismatch(actual.begin(), actual.end(), expected.begin()).first;
        EXPECT_TRUE(wrong == actual.end()) << "byte " << (wrong - actual.begin()) << " of " << path;
    }

    testkit::TemporaryFolder m_folder;
};

} // namespace

TEST_F(VirtualDeviceTest, FastModeConvertsEachSampleTypeExactlyBothWays)
{
    for (const auto& [name, type] :
         {std::pair{"Int16LSB", SampleInt16LSB}, std::pair{"Int24LSB", SampleInt24LSB},
          std::pair{"Int32LSB", SampleInt32LSB}, std::pair{"Float32LSB", SampleFloat32LSB}})
    {
        SCOPED_TRACE(name);
        const std::string output = m_folder.path(std::string(name) + ".wav");
        setenv("CORVANE_VIRTUAL_SAMPLE_TYPE", name, 1);
        setenv("CORVANE_VIRTUAL_OUTPUT_FILE", output.c_str(), 1);
        setenv("CORVANE_VIRTUAL_FAST", "1", 1);
        setenv("CORVANE_VIRTUAL_OUTPUTS", "2", 1);
        ToneState state;
        const long blocks = run(state, type, 2, [&] { return state.blocks.load() >= 50; });
        expectOutputFile(output, type, 2, blocks);
    }
}

TEST_F(VirtualDeviceTest, RunsAtTheEngineRatesAndRefusesABadConfiguration)
{
    ToneState state;
    CMASIO host;
    ASSERT_EQ(loadByName(host, "Virtual Device", &toneCallback, &state), 1);
    EXPECT_EQ(host.getSampleRate(), 44100.0f);
    EXPECT_EQ(host.getInputChannels(), 4);
    EXPECT_EQ(host.getOutputChannels(), 4);
    EXPECT_EQ(host.getOutputLatency(), kBlock);
    for (const auto& [rate, accepted] :
         {std::pair{48000.0f, true}, std::pair{96000.0f, true}, std::pair{44100.0f, true},
          std::pair{22050.0f, false}, std::pair{192000.0f, false}})
    {
        EXPECT_EQ(host.setSampleRate(rate), accepted) << rate;
        EXPECT_EQ(host.getSampleRate(), accepted ? rate : 44100.0f);
    }

    // A bad setting refuses the load and names the variable.
    for (const auto& [name, value] : {std::pair{"CORVANE_VIRTUAL_SAMPLE_TYPE", "Int20"},
                                      {"CORVANE_VIRTUAL_BLOCK_SIZE", "4096"}})
    {
        setenv(name, value, 1);
        EXPECT_EQ(loadByName(host, "Virtual Device", &toneCallback, &state), 0) << name;
        EXPECT_NE(std::string(host.getErrorMessage()).find(name), std::string::npos);
        unsetenv(name);
    }
}

// In real time the files are read ahead and written behind on threads of
// their own: nothing is lost or shifted. The device keeps to its clock; the
// bound (twice real time) catches a device that spins, not a slow machine.
TEST_F(VirtualDeviceTest, ClockedModeStreamsBothFilesInRealTime)
{
    const std::string output = m_folder.path("clocked.wav");
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", output.c_str(), 1);
    ToneState state;
    const auto started = std::chrono::steady_clock::now();
    const auto elapsed = [&]
    { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
    const long blocks = run(state, SampleFloat32LSB, 4, [&] { return elapsed() > 0.2; });
    EXPECT_LE(double(blocks), 2.0 * elapsed() * kRate / double(kBlock) + 2.0);
    expectOutputFile(output, SampleFloat32LSB, 4, blocks);
}
