// The Virtual Device through CMASIO: every sample type written to its WAV
// output byte for byte, a WAV input delivered to the callback exactly, its
// rates, its configuration errors, and its clocked mode keeping to real time.

#include "audiodev/MASIO.h"
#include "audiodev/SampleConverter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace audiodev;

namespace
{

constexpr long kBlock = 128;
constexpr double kToneHz = 1000.0;
constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;

// The tone the callback writes: channel c at amplitude 0.5 / (c + 1).
float toneSample(long channel, long frame)
{
    return float(0.5 / double(channel + 1) * std::sin(2.0 * kPi * kToneHz * double(frame) / kRate));
}

struct ToneState
{
    std::atomic<long> blocks{0};
    long framesWritten = 0;
    // First input samples the callback saw, channel 0.
    std::vector<float> captured;
};

long toneCallback(float** in, float** out, long numIn, long numOut, long frames, long,
                  unsigned long userData)
{
    auto* state = reinterpret_cast<ToneState*>(userData);
    for (long channel = 0; channel < numOut; ++channel)
        for (long frame = 0; frame < frames; ++frame)
            out[channel][frame] = toneSample(channel, state->framesWritten + frame);
    for (long frame = 0; frame < frames && numIn > 0; ++frame)
        if (state->captured.size() < state->captured.capacity())
            state->captured.push_back(in[0][frame]);
    state->framesWritten += frames;
    state->blocks.fetch_add(1);
    return 0;
}

int virtualDeviceIndex(CMASIO& host)
{
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (std::string(host.getDriverName(index)) == "Virtual Device")
            return int(index);
    return -1;
}

void waitForBlocks(const ToneState& state, long blocks)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (state.blocks.load() < blocks && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

class VirtualDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unsetenv("CORVANE_DRIVER_PATH");
        for (const char* name : {"CORVANE_VIRTUAL_SAMPLE_TYPE", "CORVANE_VIRTUAL_INPUT_FILE",
                                 "CORVANE_VIRTUAL_OUTPUT_FILE", "CORVANE_VIRTUAL_FAST",
                                 "CORVANE_VIRTUAL_INPUTS", "CORVANE_VIRTUAL_OUTPUTS"})
            unsetenv(name);
        setenv("CORVANE_VIRTUAL_BLOCK_SIZE", std::to_string(kBlock).c_str(), 1);
        m_folder = std::filesystem::temp_directory_path() /
                   ("corvane-virtual-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::filesystem::path m_folder;
};

} // namespace

TEST_F(VirtualDeviceTest, WritesEachSampleTypeToItsOutputFileByteForByte)
{
    struct Case
    {
        const char* name;
        SampleType type;
    };
    for (const Case& c : {Case{"Int16LSB", SampleInt16LSB}, Case{"Int24LSB", SampleInt24LSB},
                          Case{"Int32LSB", SampleInt32LSB}, Case{"Float32LSB", SampleFloat32LSB}})
    {
        const std::string path = (m_folder / (std::string(c.name) + ".wav")).string();
        setenv("CORVANE_VIRTUAL_SAMPLE_TYPE", c.name, 1);
        setenv("CORVANE_VIRTUAL_OUTPUT_FILE", path.c_str(), 1);
        setenv("CORVANE_VIRTUAL_FAST", "1", 1);
        setenv("CORVANE_VIRTUAL_OUTPUTS", "2", 1);
        ToneState state;
        long blocks = 0;
        {
            CMASIO host;
            const int index = virtualDeviceIndex(host);
            ASSERT_GE(index, 0);
            ASSERT_EQ(host.loaddriver(unsigned(index), &toneCallback,
                                      reinterpret_cast<unsigned long>(&state)),
                      1);
            EXPECT_EQ(host.getPreferBuffersize(), kBlock);
            EXPECT_EQ(host.getOutputChannels(), 2);
            EXPECT_EQ(host.getSampleType(false, 0), c.type);
            ASSERT_TRUE(host.setSampleRate(float(kRate)));
            ASSERT_TRUE(host.startaudio());
            waitForBlocks(state, 50);
            ASSERT_TRUE(host.stopaudio());
            blocks = state.blocks.load();
            EXPECT_TRUE(host.unloaddriver());
        }

        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << c.name;
        EXPECT_EQ(info.samplerate, int(kRate));
        EXPECT_EQ(info.channels, 2);
        // Every block the callback wrote, and nothing else.
        ASSERT_EQ(info.frames, blocks * kBlock) << c.name;
        const size_t samples = size_t(info.frames) * 2;
        std::vector<int> ints(samples);
        std::vector<short> shorts(samples);
        std::vector<float> floats(samples);
        if (c.type == SampleInt16LSB)
            sf_readf_short(file, shorts.data(), info.frames);
        else if (c.type == SampleFloat32LSB)
            sf_readf_float(file, floats.data(), info.frames);
        else
            sf_readf_int(file, ints.data(), info.frames);
        sf_close(file);

        const size_t bytes = SampleConverter::bytesPerSample(c.type);
        for (long frame = 0; frame < info.frames; ++frame)
        {
            for (long channel = 0; channel < 2; ++channel)
            {
                const float value = toneSample(channel, frame);
                unsigned char expected[4] = {};
                SampleConverter::fromFloat(&value, expected, 1, c.type);
                const size_t at = size_t(frame) * 2 + size_t(channel);
                unsigned char actual[4] = {};
                if (c.type == SampleInt16LSB)
                    std::memcpy(actual, &shorts[at], 2);
                else if (c.type == SampleFloat32LSB)
                    std::memcpy(actual, &floats[at], 4);
                else if (c.type == SampleInt32LSB)
                    std::memcpy(actual, &ints[at], 4);
                else
                {
                    // libsndfile hands 24-bit samples left-justified.
                    const auto word = static_cast<uint32_t>(ints[at]);
                    actual[0] = static_cast<unsigned char>(word >> 8);
                    actual[1] = static_cast<unsigned char>(word >> 16);
                    actual[2] = static_cast<unsigned char>(word >> 24);
                }
                ASSERT_EQ(std::memcmp(expected, actual, bytes), 0)
                    << c.name << " frame " << frame << " channel " << channel;
            }
        }
    }
}

TEST_F(VirtualDeviceTest, PlaysItsInputFileThenSilence)
{
    // A 16-bit stereo file of 300 frames: channel 0 counts up by 100 codes.
    const std::string path = (m_folder / "input.wav").string();
    constexpr long kFileFrames = 300;
    {
        SF_INFO info{};
        info.samplerate = int(kRate);
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        std::vector<short> frames(kFileFrames * 2);
        for (long frame = 0; frame < kFileFrames; ++frame)
        {
            frames[size_t(frame) * 2] = short(frame * 100 - 15000);
            frames[size_t(frame) * 2 + 1] = 1;
        }
        sf_writef_short(file, frames.data(), kFileFrames);
        sf_close(file);
    }
    for (const char* type : {"Int16LSB", "Int24LSB", "Int32LSB", "Float32LSB"})
    {
        setenv("CORVANE_VIRTUAL_SAMPLE_TYPE", type, 1);
        setenv("CORVANE_VIRTUAL_INPUT_FILE", path.c_str(), 1);
        setenv("CORVANE_VIRTUAL_FAST", "1", 1);
        ToneState state;
        state.captured.reserve(4 * kBlock);
        CMASIO host;
        ASSERT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback,
                                  reinterpret_cast<unsigned long>(&state)),
                  1);
        ASSERT_TRUE(host.startaudio());
        waitForBlocks(state, 4);
        ASSERT_TRUE(host.stopaudio());
        ASSERT_EQ(state.captured.size(), size_t(4 * kBlock));
        for (long frame = 0; frame < 4 * kBlock; ++frame)
        {
            // A 16-bit code c reads as exactly c / 32768 in every format.
            const float expected =
                frame < kFileFrames ? float(frame * 100 - 15000) / 32768.0f : 0.0f;
            ASSERT_EQ(state.captured[size_t(frame)], expected) << type << " frame " << frame;
        }
    }
}

TEST_F(VirtualDeviceTest, RunsAtTheEngineRatesOnly)
{
    ToneState state;
    CMASIO host;
    ASSERT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback,
                              reinterpret_cast<unsigned long>(&state)),
              1);
    EXPECT_EQ(host.getSampleRate(), 44100.0f);
    EXPECT_EQ(host.getInputChannels(), 4);
    EXPECT_EQ(host.getOutputChannels(), 4);
    EXPECT_EQ(host.getOutputLatency(), kBlock);
    for (float rate : {48000.0f, 96000.0f, 44100.0f})
    {
        EXPECT_TRUE(host.setSampleRate(rate));
        EXPECT_EQ(host.getSampleRate(), rate);
    }
    EXPECT_FALSE(host.setSampleRate(22050.0f));
    EXPECT_FALSE(host.setSampleRate(192000.0f));
    EXPECT_EQ(host.getSampleRate(), 44100.0f);
}

TEST_F(VirtualDeviceTest, RefusesABadConfigurationWithItsReason)
{
    ToneState state;
    setenv("CORVANE_VIRTUAL_SAMPLE_TYPE", "Int20", 1);
    CMASIO host;
    EXPECT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback,
                              reinterpret_cast<unsigned long>(&state)),
              0);
    EXPECT_NE(std::string(host.getErrorMessage()).find("CORVANE_VIRTUAL_SAMPLE_TYPE"),
              std::string::npos);
    host.unloaddriver();

    unsetenv("CORVANE_VIRTUAL_SAMPLE_TYPE");
    setenv("CORVANE_VIRTUAL_BLOCK_SIZE", "4096", 1);
    EXPECT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback, 0), 0);
    EXPECT_NE(std::string(host.getErrorMessage()).find("CORVANE_VIRTUAL_BLOCK_SIZE"),
              std::string::npos);
}

// In real time the files are read ahead and written behind on threads of
// their own; nothing is lost or shifted.
TEST_F(VirtualDeviceTest, ClockedModeStreamsBothFilesCompletely)
{
    const std::string inputPath = (m_folder / "clocked-in.wav").string();
    const std::string outputPath = (m_folder / "clocked-out.wav").string();
    constexpr long kFileFrames = 3 * kBlock;
    {
        SF_INFO info{};
        info.samplerate = int(kRate);
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* file = sf_open(inputPath.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        std::vector<float> frames(kFileFrames);
        for (long frame = 0; frame < kFileFrames; ++frame)
            frames[size_t(frame)] = float(frame) / float(kFileFrames);
        sf_writef_float(file, frames.data(), kFileFrames);
        sf_close(file);
    }
    setenv("CORVANE_VIRTUAL_INPUT_FILE", inputPath.c_str(), 1);
    setenv("CORVANE_VIRTUAL_OUTPUT_FILE", outputPath.c_str(), 1);
    ToneState state;
    state.captured.reserve(4 * kBlock);
    long blocks = 0;
    {
        CMASIO host;
        ASSERT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback,
                                  reinterpret_cast<unsigned long>(&state)),
                  1);
        ASSERT_TRUE(host.setSampleRate(float(kRate)));
        ASSERT_TRUE(host.startaudio());
        waitForBlocks(state, 20);
        ASSERT_TRUE(host.stopaudio());
        blocks = state.blocks.load();
    }
    ASSERT_EQ(state.captured.size(), size_t(4 * kBlock));
    for (long frame = 0; frame < 4 * kBlock; ++frame)
    {
        const float expected = frame < kFileFrames ? float(frame) / float(kFileFrames) : 0.0f;
        ASSERT_EQ(state.captured[size_t(frame)], expected) << frame;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(outputPath.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.frames, blocks * kBlock);
    std::vector<float> written(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(file, written.data(), info.frames);
    sf_close(file);
    for (long frame = 0; frame < info.frames; ++frame)
        ASSERT_EQ(written[size_t(frame) * size_t(info.channels)], toneSample(0, frame)) << frame;
}

// Without the fast mode the device keeps to its clock. The bound is loose
// (twice real time): it catches a device that spins, not a slow machine.
TEST_F(VirtualDeviceTest, ClockedModeDoesNotRunAhead)
{
    ToneState state;
    CMASIO host;
    ASSERT_EQ(host.loaddriver(unsigned(virtualDeviceIndex(host)), &toneCallback,
                              reinterpret_cast<unsigned long>(&state)),
              1);
    ASSERT_TRUE(host.setSampleRate(float(kRate)));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(host.startaudio());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(host.stopaudio());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double realTimeBlocks = seconds * kRate / double(kBlock);
    EXPECT_GT(state.blocks.load(), 0);
    EXPECT_LE(double(state.blocks.load()), 2.0 * realTimeBlocks + 2.0);
}
