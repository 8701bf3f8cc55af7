// CMASIO with test driver modules: the driver list and its limits, the
// loading rules, the block path (conversion, user callback, positions), the
// host callbacks, deferred blocks on the worker, reload, and a real-time
// trap on the block path.

#include "audiodev/MASIO.h"
#include "audiodev/DriverCalls.h"
#include "audiodev/DriverList.h"
#include "support/RealtimeTrap.h"

#include "TestDriver.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace audiodev;

namespace
{

constexpr const char* kTestModule = AUDIODEV_TEST_DRIVER_DIR "/test_loading_rules.so";

// The driver object the host created last, reached through the module the
// host loaded.
TestDriver* currentTestDriver()
{
    void* handle = dlopen(kTestModule, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    auto current = reinterpret_cast<TestDriver* (*)()>(dlsym(handle, "corvaneTestDriverCurrent"));
    TestDriver* driver = current != nullptr ? current() : nullptr;
    dlclose(handle);
    return driver;
}

int indexOf(CMASIO& host, const std::string& name)
{
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (name == host.getDriverName(index))
            return int(index);
    return -1;
}

// What the user callback saw, recorded on the audio thread.
struct CallbackLog
{
    std::vector<long> positions;
    long numIn = -1;
    long numOut = -1;
    long frames = -1;
    unsigned long userData = 0;
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
    log->userData = userData;
    log->firstInput = numIn > 0 ? in[0][0] : 0.0f;
    for (long channel = 0; channel < numOut; ++channel)
        for (long frame = 0; frame < frames; ++frame)
            out[channel][frame] = log->outputValue;
    return 0;
}

class MasioTest : public ::testing::Test
{
protected:
    void SetUp() override { setenv("CORVANE_DRIVER_PATH", AUDIODEV_TEST_DRIVER_DIR, 1); }

    // Loads a test driver by name with the recording callback.
    TestDriver* load(CMASIO& host, const char* name)
    {
        const int index = indexOf(host, name);
        EXPECT_GE(index, 0) << name;
        if (index < 0)
            return nullptr;
        m_log.positions.reserve(64);
        EXPECT_EQ(host.loaddriver(unsigned(index), &recordingCallback,
                                  reinterpret_cast<unsigned long>(&m_log)),
                  1)
            << name;
        return currentTestDriver();
    }

    CallbackLog m_log;
};

} // namespace

TEST_F(MasioTest, ListsModulesInOrderSkippingBrokenOnesAndCutsLongNames)
{
    CMASIO host;
    const int first = indexOf(host, "Test 48000 Hz");
    ASSERT_GE(first, 0);
    // The module's drivers follow each other without gaps; garbage.so and a
    // module without the entry point and one of another interface version left
    // no holes or entries.
    const std::vector<std::string> expected{
        "Test 48000 Hz", "Test 0 Hz",  "Test 192000 Hz",    "Test driver whose name is fo...",
        "Test Deferred", "Test Wide",  "Test Failing Init", "Test Int16",
        "Test Int24",    "Test Int32", "Test Float64"};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(host.getDriverName(unsigned(first) + unsigned(i)), expected[i]);
    EXPECT_EQ(std::strlen(host.getDriverName(unsigned(first) + 3)), 28u + 3u);
    // Corvane's own drivers are listed too (from the folder beside the
    // library), and the test modules come after them.
    EXPECT_GE(indexOf(host, "Virtual Device"), 0);
    EXPECT_GE(indexOf(host, "JACK"), 0);
    EXPECT_EQ(host.getDriverNum(), unsigned(first) + expected.size());
    // The cut name is only what the list shows: the driver still loads.
    EXPECT_EQ(host.loaddriver(unsigned(first) + 3, &recordingCallback, 0), 1);
    EXPECT_STREQ(host.getDriverName(host.getDriverNum()), "No ASIO Drivers");
    EXPECT_STREQ(host.getDriverName(1000), "No ASIO Drivers");
}

TEST_F(MasioTest, MoreThanThirtyTwoDriversAreCutAtTheTable)
{
    setenv("CORVANE_DRIVER_PATH", AUDIODEV_MANY_DRIVER_DIR, 1);
    CMASIO host;
    EXPECT_EQ(host.getDriverNum(), 32u);
    EXPECT_STRNE(host.getDriverName(31), "No ASIO Drivers");
    EXPECT_STREQ(host.getDriverName(32), "No ASIO Drivers");
    // The last listed one loads.
    EXPECT_EQ(host.loaddriver(31, &recordingCallback, reinterpret_cast<unsigned long>(&m_log)), 1);
}

TEST_F(MasioTest, DriverListReportsItsErrors)
{
    DriverList list({AUDIODEV_TEST_DRIVER_DIR});
    ASSERT_EQ(list.count(), 11u);
    AudioDriver* driver = nullptr;
    EXPECT_EQ(list.openDriver(0, nullptr), DriverList::NullArgument);
    EXPECT_EQ(list.openDriver(11, &driver), DriverList::NoSuchEntry);
    EXPECT_EQ(list.openDriver(0, &driver), DriverOk);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(list.openDriver(0, &driver), DriverList::EntryAlreadyOpen);
    EXPECT_EQ(list.closeDriver(0), DriverOk);
    EXPECT_EQ(list.closeDriver(11), DriverList::NoSuchEntry);
    EXPECT_EQ(list.openDriver(0, &driver), DriverOk);

    // Loading makes an entry current and releases the previous one.
    list.closeAllDrivers();
    EXPECT_TRUE(list.loadDriver(1));
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_TRUE(list.loadDriver(2));
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_FALSE(list.loadDriver(11));
    EXPECT_EQ(list.currentIndex(), 2);
}

TEST_F(MasioTest, WrappersWithoutADriverReportNotPresent)
{
    DriverCalls calls;
    DriverInfo info;
    long a = 1, b = 1, c = 1, d = 1;
    double rate = 0.0;
    int64_t position = 0, time = 0;
    ChannelInfo channel;
    BufferInfo buffer;
    ClockSource clock;
    EXPECT_EQ(calls.init(&info), DriverNotPresent);
    EXPECT_EQ(calls.start(), DriverNotPresent);
    EXPECT_EQ(calls.stop(), DriverNotPresent);
    EXPECT_EQ(calls.getChannels(&a, &b), DriverNotPresent);
    EXPECT_EQ(calls.getLatencies(&a, &b), DriverNotPresent);
    EXPECT_EQ(calls.getBufferSize(&a, &b, &c, &d), DriverNotPresent);
    EXPECT_EQ(calls.canSampleRate(48000.0), DriverNotPresent);
    EXPECT_EQ(calls.getSampleRate(&rate), DriverNotPresent);
    EXPECT_EQ(calls.setSampleRate(48000.0), DriverNotPresent);
    EXPECT_EQ(calls.getClockSources(&clock, &a), DriverNotPresent);
    EXPECT_EQ(calls.setClockSource(0), DriverNotPresent);
    EXPECT_EQ(calls.getSamplePosition(&position, &time), DriverNotPresent);
    EXPECT_EQ(calls.getChannelInfo(&channel), DriverNotPresent);
    EXPECT_EQ(calls.createBuffers(&buffer, 1, 64, nullptr), DriverNotPresent);
    EXPECT_EQ(calls.disposeBuffers(), DriverNotPresent);
    EXPECT_EQ(calls.controlPanel(), DriverNotPresent);
    EXPECT_EQ(calls.future(1, nullptr), DriverNotPresent);
    EXPECT_EQ(calls.outputReady(), DriverNotPresent);

    // A host with nothing loaded fails quietly.
    CMASIO host;
    EXPECT_FALSE(host.startaudio());
    EXPECT_FALSE(host.stopaudio());
    EXPECT_FALSE(host.unloaddriver());
    EXPECT_FALSE(host.setSampleRate(48000.0f));
    host.showControlPannel();
    EXPECT_EQ(host.loaddriver(host.getDriverNum(), &recordingCallback, 0), 0);
}

TEST_F(MasioTest, RatesOutsideTheRangeAreSetTo44100AtLoad)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getSampleRate(), 48000.0f);
    EXPECT_EQ(driver->m_setRateCalls, 0);

    driver = load(host, "Test 0 Hz");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getSampleRate(), 44100.0f);
    EXPECT_EQ(driver->m_rate, 44100.0);

    driver = load(host, "Test 192000 Hz");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getSampleRate(), 44100.0f);
    EXPECT_EQ(driver->m_setRateCalls, 1);

    // Later rate changes: accepted rates are read back, others refused.
    EXPECT_TRUE(host.setSampleRate(96000.0f));
    EXPECT_EQ(host.getSampleRate(), 96000.0f);
    EXPECT_FALSE(host.setSampleRate(22050.0f));
    EXPECT_EQ(host.getSampleRate(), 96000.0f);
}

TEST_F(MasioTest, ErrorTextsFollowInit)
{
    CMASIO host;
    EXPECT_STREQ(host.getErrorMessage(), "No ASIO Driver");
    ASSERT_NE(load(host, "Test 48000 Hz"), nullptr);
    EXPECT_STREQ(host.getErrorMessage(), "No ASIO Driver Error");

    const int failing = indexOf(host, "Test Failing Init");
    EXPECT_EQ(host.loaddriver(unsigned(failing), &recordingCallback, 0), 0);
    EXPECT_STREQ(host.getErrorMessage(), "Test driver refused to start");
    EXPECT_FALSE(host.startaudio());
    host.unloaddriver();
}

TEST_F(MasioTest, ReadsSizesChannelsAndLatencies)
{
    CMASIO host;
    const int index = indexOf(host, "Test 48000 Hz");
    host.getInfo(unsigned(index));
    EXPECT_EQ(host.getMinBuffersize(), 32);
    EXPECT_EQ(host.getMaxBuffersize(), 128);
    EXPECT_EQ(host.getPreferBuffersize(), 64);
    EXPECT_EQ(host.getInputChannels(), 2);
    EXPECT_EQ(host.getOutputChannels(), 2);
    EXPECT_EQ(host.getInputLatency(), 64 + 11);
    EXPECT_EQ(host.getOutputLatency(), 64 + 22);
    // getInfo unloaded again: nothing can start.
    EXPECT_FALSE(host.startaudio());
}

TEST_F(MasioTest, BlocksRunTheCallbackWithPositionsAndConvertBothWays)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    // One output-ready at load, before any block.
    EXPECT_EQ(driver->m_outputReadyCalls.load(), 1);
    ASSERT_TRUE(host.startaudio());
    EXPECT_TRUE(driver->m_started);

    driver->runBlocks(3,
                      [&](long index)
                      {
                          auto* input = reinterpret_cast<float*>(driver->half(true, 0, index));
                          input[0] = 0.25f + float(index);
                      });
    EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64}));
    EXPECT_EQ(m_log.numIn, 2);
    EXPECT_EQ(m_log.numOut, 2);
    EXPECT_EQ(m_log.frames, 64);
    EXPECT_EQ(m_log.userData, reinterpret_cast<unsigned long>(&m_log));
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
    m_log.positions.pop_back();

    // Stopped: blocks are not processed.
    ASSERT_TRUE(host.stopaudio());
    driver->runBlocks(2);
    EXPECT_EQ(m_log.positions.size(), 3u);

    // Restart counts from minus one block again.
    ASSERT_TRUE(host.startaudio());
    driver->runBlocks(1);
    EXPECT_EQ(m_log.positions.back(), -64);

    host.showControlPannel();
    EXPECT_EQ(driver->m_controlPanelCalls, 1);
    // Unload gives the four float buffers (2 in, 2 out) back at once.
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm countFrees;
        EXPECT_TRUE(host.unloaddriver());
    }
    EXPECT_EQ(realtime_trap::deallocations(), 4u);
    EXPECT_FALSE(driver->m_started);
    EXPECT_EQ(driver->m_disposeCalls, 1);
}

TEST_F(MasioTest, ABlockDeliveredWhileStartingIsProcessed)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    driver->m_blockDuringStart = true;
    ASSERT_TRUE(host.startaudio());
    EXPECT_EQ(m_log.positions, (std::vector<long>{-64}));
}

TEST_F(MasioTest, NativeFormatsConvertOnTheBlockPath)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test Int24");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getSampleType(true, 0), SampleInt24LSB);
    ASSERT_TRUE(host.startaudio());
    m_log.outputValue = 1.0f;
    driver->runBlocks(1,
                      [&](long index)
                      {
                          unsigned char* input = driver->half(true, 0, index);
                          input[0] = 0x00;
                          input[1] = 0x00;
                          input[2] = 0x80;
                      });
    EXPECT_EQ(m_log.firstInput, -1.0f);
    const unsigned char* output = driver->half(false, 0, driver->lastIndex);
    EXPECT_EQ(std::vector<unsigned char>(output, output + 6),
              (std::vector<unsigned char>{0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x7F}));

    driver = load(host, "Test Int16");
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(host.startaudio());
    m_log.outputValue = -1.0f;
    driver->runBlocks(1);
    output = driver->half(false, 0, driver->lastIndex);
    EXPECT_EQ(std::vector<unsigned char>(output, output + 2),
              (std::vector<unsigned char>{0x01, 0x80}));

    // A 64-bit channel is not converted: its input reads as silence and its
    // output bytes are zeroed.
    driver = load(host, "Test Float64");
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(host.startaudio());
    m_log.outputValue = 0.5f;
    driver->runBlocks(1, [&](long index) { std::memset(driver->half(true, 0, index), 0x3F, 64); });
    EXPECT_EQ(m_log.firstInput, 0.0f);
    output = driver->half(false, 0, driver->lastIndex);
    EXPECT_EQ(std::vector<unsigned char>(output, output + 64), std::vector<unsigned char>(64, 0));
}

TEST_F(MasioTest, DeferredBlocksRunTheCallbackOnTheWorkerAcrossReloads)
{
    CMASIO host;
    for (int load = 0; load < 3; ++load)
    {
        m_log.positions.clear();
        TestDriver* driver = this->load(host, "Test Deferred");
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(host.startaudio());
        m_log.outputValue = 0.125f * float(load + 1);
        driver->runBlocks(4);
        // Each deferred block reached the user: not silence.
        EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64, 128})) << load;
        const auto* output =
            reinterpret_cast<const float*>(driver->half(false, 0, driver->lastIndex));
        EXPECT_EQ(output[0], m_log.outputValue);
        // Unload ends the worker; the next load starts a fresh one.
        EXPECT_TRUE(host.unloaddriver());
    }
}

TEST_F(MasioTest, ChannelsBeyondTheTablesAreIgnored)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test Wide");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(host.getInputChannels(), 32);
    EXPECT_EQ(host.getOutputChannels(), 32);
    EXPECT_EQ(driver->m_createdChannels, 64);
    ASSERT_TRUE(host.startaudio());
    driver->runBlocks(2);
    EXPECT_EQ(m_log.numIn, 32);
    EXPECT_EQ(m_log.numOut, 32);
    EXPECT_EQ(host.getSampleType(false, 31), SampleFloat32LSB);
    EXPECT_EQ(host.getSampleType(false, 32), -1);
}

TEST_F(MasioTest, HostMessagesAnswerTheirSelectors)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    auto message = driver->callbacks()->hostMessage;
    for (long selector : {MessageEngineVersion, MessageResetRequest, MessageResyncRequest,
                          MessageLatenciesChanged, MessageSupportsTimeInfo})
        EXPECT_EQ(message(MessageSelectorSupported, selector, nullptr, nullptr), 1) << selector;
    EXPECT_EQ(message(MessageSelectorSupported, MessageBufferSizeChange, nullptr, nullptr), 0);
    EXPECT_EQ(message(MessageSelectorSupported, 99, nullptr, nullptr), 0);
    EXPECT_EQ(message(MessageEngineVersion, 0, nullptr, nullptr), 2);
    EXPECT_EQ(message(MessageResyncRequest, 0, nullptr, nullptr), 1);
    EXPECT_EQ(message(MessageLatenciesChanged, 0, nullptr, nullptr), 1);
    EXPECT_EQ(message(MessageSupportsTimeInfo, 0, nullptr, nullptr), 1);
    EXPECT_EQ(message(MessageBufferSizeChange, 0, nullptr, nullptr), 0);
    EXPECT_EQ(message(1234, 0, nullptr, nullptr), 0);

    ASSERT_TRUE(host.startaudio());
    EXPECT_EQ(message(MessageResetRequest, 0, nullptr, nullptr), 1);
    EXPECT_FALSE(driver->m_started);

    // The rate-change callback is ignored.
    driver->callbacks()->sampleRateDidChange(96000.0);
    EXPECT_EQ(host.getSampleRate(), 48000.0f);
}

TEST_F(MasioTest, LoadingAnotherDriverShutsTheRunningOneDown)
{
    CMASIO host;
    TestDriver* first = load(host, "Test Deferred");
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(host.startaudio());
    first->runBlocks(2);
    TestDriver* second = load(host, "Test 48000 Hz");
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(host.startaudio());
    m_log.positions.clear();
    second->runBlocks(2);
    EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0}));
}

// From the driver's buffer switch to the user callback and back: no heap
// use and no lock but the per-block one.
TEST_F(MasioTest, BlockPathNeitherAllocatesNorTakesOtherLocks)
{
    constexpr int kBlocks = 200;
    {
        CMASIO host;
        TestDriver* driver = load(host, "Test Int24");
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(host.startaudio());
        realtime_trap::resetCounts();
        {
            realtime_trap::ScopedArm arm;
            driver->runBlocks(kBlocks);
        }
        EXPECT_EQ(realtime_trap::allocations(), 0u);
        EXPECT_EQ(realtime_trap::deallocations(), 0u);
        // Exactly the per-block lock, once per block.
        EXPECT_EQ(realtime_trap::blockingLocks(), size_t(kBlocks));
    }
    {
        // Deferred: the driver's thread only wakes the worker; the worker
        // (armed from inside the callback during the first block) takes the
        // per-block lock once per later block.
        CMASIO host;
        TestDriver* driver = load(host, "Test Deferred");
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(host.startaudio());
        m_log.armTrap = true;
        realtime_trap::resetCounts();
        {
            realtime_trap::ScopedArm arm;
            driver->runBlocks(kBlocks);
        }
        EXPECT_EQ(realtime_trap::allocations(), 0u);
        EXPECT_EQ(realtime_trap::deallocations(), 0u);
        EXPECT_EQ(realtime_trap::blockingLocks(), size_t(kBlocks - 1));
        m_log.armTrap = false;
    }
}
