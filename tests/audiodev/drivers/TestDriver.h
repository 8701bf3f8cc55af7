#pragma once

// A driver the tests control completely: its rate, channel layout, sample
// type and block size come from a spec, and the test runs its blocks by hand
// (runBlocks) on the test's own thread, filling inputs and reading outputs
// directly in the half-buffers the host was given. Built into the test
// driver modules and included by the tests, which reach the object the host
// created through corvaneTestDriverCurrent().

#include "audiodev/AudioDriver.h"
#include "audiodev/SampleConverter.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

struct TestDriverSpec
{
    const char* name;
    double rate;
    long inputs;
    long outputs;
    long blockSize;
    audiodev::SampleType sampleType;
    // Buffer switches arrive with "process now" false, as from a driver
    // thread that must not run the block itself.
    bool deferBlocks;
    bool failInit;
};

class TestDriver : public audiodev::AudioDriver
{
public:
    explicit TestDriver(const TestDriverSpec& spec) : m_spec(spec), m_rate(spec.rate) {}

    bool init(void*) override { return !m_spec.failInit; }
    void getDriverName(char* name) override
    {
        std::strncpy(name, m_spec.name, audiodev::kDriverNameLength - 1);
        name[audiodev::kDriverNameLength - 1] = '\0';
    }
    long getDriverVersion() override { return 7; }
    void getErrorMessage(char* text) override
    {
        std::strncpy(text, "Test driver refused to start", audiodev::kDriverErrorLength - 1);
    }
    long start() override
    {
        m_started = true;
        // Like a server that runs its first cycle before start returns.
        if (m_blockDuringStart)
            m_callbacks->bufferSwitch(0, true);
        return audiodev::DriverOk;
    }
    long stop() override
    {
        m_started = false;
        ++m_stopCalls;
        return audiodev::DriverOk;
    }
    long getChannels(long* inputs, long* outputs) override
    {
        *inputs = m_spec.inputs;
        *outputs = m_spec.outputs;
        return audiodev::DriverOk;
    }
    long getLatencies(long* input, long* output) override
    {
        *input = m_spec.blockSize + 11;
        *output = m_spec.blockSize + 22;
        return audiodev::DriverOk;
    }
    long getBufferSize(long* minimum, long* maximum, long* preferred, long* granularity) override
    {
        *minimum = m_spec.blockSize / 2;
        *maximum = m_spec.blockSize * 2;
        *preferred = m_spec.blockSize;
        *granularity = -1;
        return audiodev::DriverOk;
    }
    long canSampleRate(double rate) override
    {
        return rate == 44100.0 || rate == 48000.0 || rate == 96000.0 ? audiodev::DriverOk
                                                                     : audiodev::DriverNoClock;
    }
    long getSampleRate(double* rate) override
    {
        *rate = m_rate;
        return audiodev::DriverOk;
    }
    long setSampleRate(double rate) override
    {
        m_rate = rate;
        ++m_setRateCalls;
        return audiodev::DriverOk;
    }
    long getClockSources(audiodev::ClockSource*, long* count) override
    {
        *count = 0;
        return audiodev::DriverOk;
    }
    long setClockSource(long) override { return audiodev::DriverOk; }
    long getSamplePosition(int64_t* position, int64_t* time) override
    {
        *position = m_position;
        *time = 0;
        return audiodev::DriverOk;
    }
    long getChannelInfo(audiodev::ChannelInfo* info) override
    {
        info->type = m_spec.sampleType;
        info->isActive = true;
        return audiodev::DriverOk;
    }
    long createBuffers(audiodev::BufferInfo* infos, long channels, long size,
                       const audiodev::DriverCallbacks* callbacks) override
    {
        if (size != m_spec.blockSize)
            return audiodev::DriverInvalidParameter;
        m_createdChannels = channels;
        const size_t bytes =
            audiodev::SampleConverter::bytesPerSample(m_spec.sampleType) * size_t(size);
        m_storage.assign(size_t(channels) * 2 * bytes, 0);
        m_infos.assign(infos, infos + channels);
        for (long slot = 0; slot < channels; ++slot)
        {
            for (int half = 0; half < 2; ++half)
            {
                infos[slot].buffers[half] = m_storage.data() + (size_t(slot) * 2 + half) * bytes;
                m_infos[size_t(slot)].buffers[half] = infos[slot].buffers[half];
            }
        }
        m_callbacks = callbacks;
        return audiodev::DriverOk;
    }
    long disposeBuffers() override
    {
        ++m_disposeCalls;
        m_storage.clear();
        m_infos.clear();
        return audiodev::DriverOk;
    }
    long controlPanel() override
    {
        ++m_controlPanelCalls;
        return audiodev::DriverOk;
    }
    long future(long, void*) override { return audiodev::DriverInvalidParameter; }
    long outputReady() override
    {
        m_outputReadyCalls.fetch_add(1);
        return audiodev::DriverOk;
    }

    // --- Test controls (test thread) ---

    // The half-buffer of a channel as the host was given it.
    unsigned char* half(bool isInput, long channel, long index)
    {
        for (auto& info : m_infos)
            if (info.isInput == isInput && info.channelNum == channel)
                return static_cast<unsigned char*>(info.buffers[index]);
        return nullptr;
    }

    // Runs `count` blocks on the calling thread, alternating halves; before
    // each, `fill` may write the inputs of the half about to be switched. A
    // deferring driver waits until the host has played each block.
    template <typename Fill> void runBlocks(int count, Fill&& fill)
    {
        for (int block = 0; block < count; ++block)
        {
            fill(m_index);
            const int before = m_outputReadyCalls.load();
            m_callbacks->bufferSwitch(m_index, !m_spec.deferBlocks);
            if (m_spec.deferBlocks)
            {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (m_outputReadyCalls.load() == before &&
                       std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            lastIndex = m_index;
            m_index ^= 1;
            m_position += m_spec.blockSize;
        }
    }
    void runBlocks(int count)
    {
        runBlocks(count, [](long) {});
    }

    const audiodev::DriverCallbacks* callbacks() const { return m_callbacks; }

    TestDriverSpec m_spec;
    double m_rate;
    bool m_started = false;
    bool m_blockDuringStart = false;
    int m_stopCalls = 0;
    int m_setRateCalls = 0;
    int m_disposeCalls = 0;
    int m_controlPanelCalls = 0;
    long m_createdChannels = 0;
    long lastIndex = 0;
    std::atomic<int> m_outputReadyCalls{0};

private:
    const audiodev::DriverCallbacks* m_callbacks = nullptr;
    std::vector<unsigned char> m_storage;
    std::vector<audiodev::BufferInfo> m_infos;
    long m_index = 0;
    int64_t m_position = 0;
};

// Exported by every test driver module: the driver object last created.
extern "C" TestDriver* corvaneTestDriverCurrent();
