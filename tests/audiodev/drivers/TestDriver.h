#pragma once

// A driver the tests control completely: its rate, channel layout, sample
// type and block size come from a spec, and the test runs its blocks by hand
// (runBlocks) on its own thread, writing inputs and reading outputs in the
// half-buffers the host was given. Built into the test driver modules; the
// tests reach the object the host created through corvaneTestDriverCurrent()
// and call only its inline members.

#include "audiodev/drivers/common/DriverBase.h"

#include <atomic>
#include <chrono>
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

class TestDriver : public audiodev::DriverBase
{
public:
    explicit TestDriver(const TestDriverSpec& spec) : DriverBase(spec.name), m_spec(spec)
    {
        m_numInputs = spec.inputs;
        m_numOutputs = spec.outputs;
        m_blockSize = spec.blockSize;
        m_sampleType = spec.sampleType;
        setErrorText("Test driver refused to start");
    }

    bool init(void*) override { return !m_spec.failInit; }
    long start() override
    {
        m_started = true;
        // Like a server that runs its first cycle before start returns.
        if (m_blockDuringStart)
            callbacks()->bufferSwitch(0, true);
        return audiodev::DriverOk;
    }
    long stop() override
    {
        m_started = false;
        return audiodev::DriverOk;
    }
    long getLatencies(long* input, long* output) override
    {
        *input = m_blockSize + 11;
        *output = m_blockSize + 22;
        return audiodev::DriverOk;
    }
    long getBufferSize(long* minimum, long* maximum, long* preferred, long* granularity) override
    {
        *minimum = m_blockSize / 2;
        *maximum = m_blockSize * 2;
        *preferred = m_blockSize;
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
        *rate = m_spec.rate;
        return audiodev::DriverOk;
    }
    long setSampleRate(double rate) override
    {
        m_spec.rate = rate;
        return audiodev::DriverOk;
    }
    long controlPanel() override
    {
        ++m_controlPanelCalls;
        return audiodev::DriverOk;
    }
    long outputReady() override
    {
        ++m_outputReadyCalls;
        return audiodev::DriverOk;
    }
    bool isRunning() const override { return m_started; }
    long createBuffers(audiodev::BufferInfo* infos, long channels, long size,
                       const audiodev::DriverCallbacks* callbacks) override
    {
        const long result = DriverBase::createBuffers(infos, channels, size, callbacks);
        m_infos.assign(infos, infos + (result == audiodev::DriverOk ? channels : 0));
        return result;
    }
    long disposeBuffers() override
    {
        m_infos.clear();
        return DriverBase::disposeBuffers();
    }

    // Test controls, for the test's thread. The half-buffer of a channel as the host was given it;
    // nullptr for a channel the host did not ask for or after the buffers were disposed.
    unsigned char* half(bool isInput, long channel, long index)
    {
        for (const audiodev::BufferInfo& info : m_infos)
            if (info.isInput == isInput && info.channelNum == channel)
                return static_cast<unsigned char*>(info.buffers[index]);
        return nullptr;
    }
    const audiodev::DriverCallbacks* callbacks() const { return m_callbacks.load(); }

    // Runs `count` blocks, alternating halves. A deferring driver waits
    // (up to 5 s) until the host has played each block.
    void runBlocks(int count)
    {
        for (int block = 0; block < count; ++block)
        {
            const int before = m_outputReadyCalls.load();
            callbacks()->bufferSwitch(m_index, !m_spec.deferBlocks);
            for (int wait = 0; m_spec.deferBlocks && m_outputReadyCalls == before && wait < 50000;
                 ++wait)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            lastIndex = m_index;
            m_index ^= 1;
        }
    }

    TestDriverSpec m_spec;
    bool m_started = false;
    bool m_blockDuringStart = false;
    int m_controlPanelCalls = 0;
    long lastIndex = 0;
    std::atomic<int> m_outputReadyCalls{0};

private:
    std::vector<audiodev::BufferInfo> m_infos;
    long m_index = 0;
};

// Exported by every test driver module: the driver object last created.
extern "C" TestDriver* corvaneTestDriverCurrent();
