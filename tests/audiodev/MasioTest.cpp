// CMASIO with the test driver modules: the driver list and its limits, the
// loading rules, the block path in every sample type under a real-time trap,
// the host callbacks, and deferred blocks on a fresh worker each load.

#include "audiodev/DriverCalls.h"
#include "audiodev/DriverList.h"
#include "support/RealtimeTrap.h"

#include "HostHelpers.h"
#include "TestDriver.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace audiodev;

namespace
{

// The driver object the host created last, reached through the module the
// host loaded.
TestDriver* currentTestDriver()
{
    void* handle =
        dlopen(AUDIODEV_TEST_DRIVER_DIR "/test_loading_rules.so", RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    auto current = reinterpret_cast<TestDriver* (*)()>(dlsym(handle, "corvaneTestDriverCurrent"));
    TestDriver* driver = current != nullptr ? current() : nullptr;
    dlclose(handle);
    return driver;
}

// What the user callback saw, recorded on the audio thread.
struct CallbackLog
{
    std::vector<long> positions;
    long numIn = -1;
    long numOut = -1;
    long frames = -1;
    float firstInput = 0.0f;
    float outputValue = 0.5f;
    bool armTrap = false;
};

long recordingCallback(float** in, float** out, long numIn, long numOut, long frames, long position,
                       unsigned long userData)
{
    auto* log = reinterpret_cast<CallbackLog*>(userData);
    if (log->armTrap)
        realtime_trap::armCurrentThread();
    if (log->positions.size() < log->positions.capacity())
        log->positions.push_back(position);
    log->numIn = numIn;
    log->numOut = numOut;
    log->frames = frames;
    log->firstInput = numIn > 0 ? in[0][0] : 0.0f;
    for (long channel = 0; channel < numOut; ++channel)
        for (long frame = 0; frame < frames; ++frame)
            out[channel][frame] = log->outputValue;
    return 0;
}

class MasioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("CORVANE_DRIVER_PATH", AUDIODEV_TEST_DRIVER_DIR, 1);
        m_log.positions.reserve(64);
    }

    // Loads a test driver by name with the recording callback; its object.
    TestDriver* load(CMASIO& host, const char* name)
    {
        const int loaded = loadByName(host, name, &recordingCallback, &m_log);
        EXPECT_EQ(loaded, 1) << name;
        return loaded == 1 ? currentTestDriver() : nullptr;
    }

    CallbackLog m_log;
};

} // namespace

TEST_F(MasioTest, ListsModulesInOrderSkippingBrokenOnesCutsLongNamesAndStopsAt32)
{
    {
        CMASIO host;
        const int first = indexOf(host, "Test 48000 Hz");
        ASSERT_GE(first, 0);
        // Corvane's own drivers (from the folder beside the library) come
        // first; the module's drivers follow each other without gaps: the
        // garbage file, the module without the entry point and the one of
        // another interface version left no holes or entries.
        EXPECT_GE(indexOf(host, "Virtual Device"), 0);
        EXPECT_GE(indexOf(host, "JACK"), 0);
        const std::vector<std::string> expected{
            "Test 48000 Hz", "Test 0 Hz",  "Test 192000 Hz",    "Test driver whose name is fo...",
            "Test Deferred", "Test Wide",  "Test Failing Init", "Test Int16",
            "Test Int24",    "Test Int32", "Test Float64"};
        ASSERT_EQ(host.getDriverNum(), unsigned(first) + expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(host.getDriverName(unsigned(first) + unsigned(i)), expected[i]);
        // The cut name is only what the list shows: the driver still loads.
        EXPECT_EQ(host.loaddriver(unsigned(first) + 3, &recordingCallback, 0), 1);
        EXPECT_STREQ(host.getDriverName(host.getDriverNum()), "No ASIO Drivers");
        EXPECT_STREQ(host.getDriverName(1000), "No ASIO Drivers");
    }
    // Forty drivers: the table keeps 32, and the last of them loads.
    setenv("CORVANE_DRIVER_PATH", AUDIODEV_MANY_DRIVER_DIR, 1);
    CMASIO host;
    EXPECT_EQ(host.getDriverNum(), 32u);
    EXPECT_STREQ(host.getDriverName(31), "Many");
    EXPECT_STREQ(host.getDriverName(32), "No ASIO Drivers");
    EXPECT_EQ(host.loaddriver(31, &recordingCallback, reinterpret_cast<unsigned long>(&m_log)), 1);
}

TEST_F(MasioTest, ListAndWrappersReportTheirErrors)
{
    DriverList list({AUDIODEV_TEST_DRIVER_DIR});
    ASSERT_EQ(list.count(), 11u);
    AudioDriver* driver = nullptr;
    EXPECT_EQ(list.openDriver(0, nullptr), DriverList::NullArgument);
    EXPECT_EQ(list.openDriver(11, &driver), DriverList::NoSuchEntry);
    EXPECT_EQ(list.openDriver(0, &driver), DriverOk);
    EXPECT_EQ(list.openDriver(0, &driver), DriverList::EntryAlreadyOpen);
    EXPECT_EQ(list.closeDriver(0), DriverOk);
    EXPECT_EQ(list.closeDriver(11), DriverList::NoSuchEntry);
    // Loading makes an entry current and releases the previous one.
    EXPECT_TRUE(list.loadDriver(1));
    EXPECT_TRUE(list.loadDriver(2));
    EXPECT_FALSE(list.loadDriver(11));
    EXPECT_EQ(list.currentIndex(), 2);

    // Without a driver every wrapper reports "not present".
    DriverCalls calls;
    DriverInfo info;
    long n = 1;
    double rate = 0.0;
    int64_t time = 0;
    ChannelInfo channel;
    BufferInfo buffer;
    ClockSource clock;
    for (long result :
         {calls.init(&info), calls.start(), calls.stop(), calls.getChannels(&n, &n),
          calls.getLatencies(&n, &n), calls.getBufferSize(&n, &n, &n, &n),
          calls.canSampleRate(48000.0), calls.getSampleRate(&rate), calls.setSampleRate(48000.0),
          calls.getClockSources(&clock, &n), calls.setClockSource(0),
          calls.getSamplePosition(&time, &time), calls.getChannelInfo(&channel),
          calls.createBuffers(&buffer, 1, 64, nullptr), calls.disposeBuffers(),
          calls.controlPanel(), calls.future(1, nullptr), calls.outputReady()})
        EXPECT_EQ(result, DriverNotPresent);

    // A host with nothing loaded fails quietly.
    CMASIO host;
    EXPECT_STREQ(host.getErrorMessage(), "No ASIO Driver");
    EXPECT_FALSE(host.startaudio());
    EXPECT_FALSE(host.stopaudio());
    EXPECT_FALSE(host.unloaddriver());
    EXPECT_FALSE(host.setSampleRate(48000.0f));
    host.showControlPannel();
    EXPECT_EQ(host.loaddriver(host.getDriverNum(), &recordingCallback, 0), 0);
}

TEST_F(MasioTest, LoadingRules)
{
    CMASIO host;
    // A rate of 0 or above 96000 Hz is set to 44100 Hz; 48000 stays.
    for (const auto& [name, rate] : {std::pair{"Test 48000 Hz", 48000.0f},
                                     {"Test 0 Hz", 44100.0f},
                                     {"Test 192000 Hz", 44100.0f}})
    {
        TestDriver* driver = load(host, name);
        ASSERT_NE(driver, nullptr);
        EXPECT_EQ(host.getSampleRate(), rate) << name;
        EXPECT_EQ(driver->m_spec.rate, rate) << name;
    }
    EXPECT_STREQ(host.getErrorMessage(), "No ASIO Driver Error");
    // Later changes: accepted rates are read back, others refused.
    EXPECT_TRUE(host.setSampleRate(96000.0f));
    EXPECT_EQ(host.getSampleRate(), 96000.0f);
    EXPECT_FALSE(host.setSampleRate(22050.0f));
    EXPECT_EQ(host.getSampleRate(), 96000.0f);

    // A driver whose init fails: its own error text, and nothing starts.
    EXPECT_EQ(loadByName(host, "Test Failing Init", &recordingCallback, &m_log), 0);
    EXPECT_STREQ(host.getErrorMessage(), "Test driver refused to start");
    EXPECT_FALSE(host.startaudio());

    // getInfo reads the sizes, channels and latencies, then unloads again.
    host.getInfo(unsigned(indexOf(host, "Test 48000 Hz")));
    EXPECT_EQ(host.getMinBuffersize(), 32);
    EXPECT_EQ(host.getMaxBuffersize(), 128);
    EXPECT_EQ(host.getPreferBuffersize(), 64);
    EXPECT_EQ(host.getInputChannels(), 2);
    EXPECT_EQ(host.getOutputChannels(), 2);
    EXPECT_EQ(host.getInputLatency(), 64 + 11);
    EXPECT_EQ(host.getOutputLatency(), 64 + 22);
    EXPECT_FALSE(host.startaudio());

    // Channels beyond the tables of 32 are neither created nor used.
    TestDriver* driver = load(host, "Test Wide");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getInputChannels(), 32);
    EXPECT_EQ(host.getOutputChannels(), 32);
    EXPECT_NE(driver->half(false, 31, 0), nullptr);
    EXPECT_EQ(driver->half(true, 32, 0), nullptr);
    EXPECT_EQ(driver->half(false, 32, 0), nullptr);
    EXPECT_EQ(host.getSampleType(false, 31), SampleFloat32LSB);
    EXPECT_EQ(host.getSampleType(false, 32), -1);
    ASSERT_TRUE(host.startaudio());
    driver->runBlocks(2);
    EXPECT_EQ(m_log.numIn, 32);
    EXPECT_EQ(m_log.numOut, 32);
}

TEST_F(MasioTest, BlocksRunTheCallbackWithPositionsUntilStoppedAndUnloaded)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    // One output-ready at load, before any block.
    EXPECT_EQ(driver->m_outputReadyCalls.load(), 1);
    ASSERT_TRUE(host.startaudio());
    EXPECT_TRUE(driver->m_started);

    // From the driver's buffer switch to the user callback and back: no heap
    // use and no lock but the per-block one, once per block.
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        driver->runBlocks(
            3, [&](long index)
            { reinterpret_cast<float*>(driver->half(true, 0, index))[0] = 0.25f + index; });
    }
    EXPECT_EQ(realtime_trap::allocations(), 0u);
    EXPECT_EQ(realtime_trap::deallocations(), 0u);
    EXPECT_EQ(realtime_trap::blockingLocks(), 3u);
    EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64}));
    EXPECT_EQ(m_log.numIn, 2);
    EXPECT_EQ(m_log.numOut, 2);
    EXPECT_EQ(m_log.frames, 64);
    // The third block used half 0 again.
    EXPECT_EQ(m_log.firstInput, 0.25f);
    const auto* output = reinterpret_cast<const float*>(driver->half(false, 1, driver->lastIndex));
    EXPECT_EQ(output[63], 0.5f);
    EXPECT_EQ(driver->m_outputReadyCalls.load(), 4);

    // The time-info form of the buffer switch runs a block the same way and
    // hands no time info back.
    TimeInfo timeInfo{};
    EXPECT_EQ(driver->callbacks()->bufferSwitchTimeInfo(&timeInfo, 1, true), nullptr);
    EXPECT_EQ(m_log.positions.back(), 128);

    // Stopped: blocks are not processed.
    ASSERT_TRUE(host.stopaudio());
    driver->runBlocks(2);
    EXPECT_EQ(m_log.positions.size(), 4u);

    // A restart counts from minus one block again, even for a block the
    // driver delivers before its start returns.
    driver->m_blockDuringStart = true;
    ASSERT_TRUE(host.startaudio());
    EXPECT_EQ(m_log.positions.size(), 5u);
    EXPECT_EQ(m_log.positions.back(), -64);

    host.showControlPannel();
    EXPECT_EQ(driver->m_controlPanelCalls, 1);
    // Unload stops the driver and gives its buffers back at once: the four
    // float buffers (2 in, 2 out) and the driver's own.
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm countFrees;
        EXPECT_TRUE(host.unloaddriver());
    }
    EXPECT_EQ(realtime_trap::deallocations(), 4u + 1u);
    EXPECT_FALSE(driver->m_started);
    EXPECT_EQ(driver->half(false, 0, 0), nullptr);
}

TEST_F(MasioTest, NativeSampleTypesConvertOnTheBlockPath)
{
    struct Case
    {
        const char* driver;
        SampleType type;
        std::vector<unsigned char> input;
        float inputValue;
        float outputValue;
        std::vector<unsigned char> output;
    };
    // A 64-bit channel is not converted: it reads as silence, writes zeros.
    const Case cases[] = {
        {"Test Int16", SampleInt16LSB, {0x00, 0x80}, -1.0f, -1.0f, {0x01, 0x80}},
        {"Test Int24", SampleInt24LSB, {0x00, 0x00, 0x80}, -1.0f, 1.0f, {0xFF, 0xFF, 0x7F}},
        {"Test Int32", SampleInt32LSB, {0, 0, 0, 0x40}, 0.5f, 0.25f, {0xFF, 0xFF, 0xFF, 0x1F}},
        {"Test Float64", SampleFloat64LSB, std::vector<unsigned char>(8, 0x3F), 0.0f, 0.5f,
         std::vector<unsigned char>(8, 0)}};
    CMASIO host;
    for (const Case& c : cases)
    {
        TestDriver* driver = load(host, c.driver);
        ASSERT_NE(driver, nullptr);
        EXPECT_EQ(host.getSampleType(true, 0), c.type);
        ASSERT_TRUE(host.startaudio());
        m_log.outputValue = c.outputValue;
        driver->runBlocks(
            1, [&](long index)
            { std::memcpy(driver->half(true, 0, index), c.input.data(), c.input.size()); });
        EXPECT_EQ(m_log.firstInput, c.inputValue) << c.driver;
        // Every frame of the block (8) converted.
        const unsigned char* output = driver->half(false, 0, driver->lastIndex);
        for (size_t frame = 0; frame < 8; ++frame)
            EXPECT_EQ(std::vector<unsigned char>(output + frame * c.output.size(),
                                                 output + (frame + 1) * c.output.size()),
                      c.output)
                << c.driver << " frame " << frame;
    }
}

TEST_F(MasioTest, HostCallbacksAnswerMessagesAndIgnoreRateChanges)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    auto message = driver->callbacks()->hostMessage;
    const long kSupported = MessageSelectorSupported;
    const struct
    {
        long selector;
        long value;
        long answer;
    } cases[] = {{kSupported, MessageEngineVersion, 1},
                 {kSupported, MessageResetRequest, 1},
                 {kSupported, MessageResyncRequest, 1},
                 {kSupported, MessageLatenciesChanged, 1},
                 {kSupported, MessageSupportsTimeInfo, 1},
                 {kSupported, MessageBufferSizeChange, 0},
                 {kSupported, 99, 0},
                 {MessageEngineVersion, 0, 2},
                 {MessageResyncRequest, 0, 1},
                 {MessageLatenciesChanged, 0, 1},
                 {MessageSupportsTimeInfo, 0, 1},
                 {MessageBufferSizeChange, 0, 0},
                 {1234, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(message(c.selector, c.value, nullptr, nullptr), c.answer)
            << c.selector << " " << c.value;

    // A reset request stops the driver.
    ASSERT_TRUE(host.startaudio());
    EXPECT_EQ(message(MessageResetRequest, 0, nullptr, nullptr), 1);
    EXPECT_FALSE(driver->m_started);
    // The rate-change callback is ignored until the next load.
    driver->callbacks()->sampleRateDidChange(96000.0);
    EXPECT_EQ(host.getSampleRate(), 48000.0f);
}

// A driver that defers its blocks: each reaches the user callback on the
// host's worker (not silence), and the worker (armed from inside the callback
// during the first block) neither allocates nor takes a lock but the
// per-block one, while the driver's thread only wakes it. The first load is
// unloaded, which joins the worker; the second is left running, so the third
// load must shut it down first; every load starts a fresh worker.
TEST_F(MasioTest, DeferredBlocksRunTheCallbackOnAFreshWorkerEachLoad)
{
    CMASIO host;
    for (int load = 0; load < 3; ++load)
    {
        m_log.positions.clear();
        TestDriver* driver = this->load(host, "Test Deferred");
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(host.startaudio());
        m_log.outputValue = 0.125f * float(load + 1);
        m_log.armTrap = true;
        realtime_trap::resetCounts();
        {
            realtime_trap::ScopedArm arm;
            driver->runBlocks(4);
        }
        m_log.armTrap = false;
        EXPECT_EQ(realtime_trap::allocations(), 0u);
        EXPECT_EQ(realtime_trap::deallocations(), 0u);
        EXPECT_EQ(realtime_trap::blockingLocks(), 3u);
        EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64, 128})) << load;
        const auto* output =
            reinterpret_cast<const float*>(driver->half(false, 0, driver->lastIndex));
        EXPECT_EQ(output[0], m_log.outputValue);
        if (load == 0)
        {
            EXPECT_TRUE(host.unloaddriver());
        }
    }
}
