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

#include <array>
#include <cstdlib>
#include <vector>

using namespace audiodev;

namespace
{

// The driver object the host created last, reached through the module the
// host loaded (so only after a successful load).
TestDriver* currentTestDriver()
{
    void* module =
        dlopen(AUDIODEV_TEST_DRIVER_DIR "/test_loading_rules.so", RTLD_NOW | RTLD_NOLOAD);
    auto current = reinterpret_cast<TestDriver* (*)()>(dlsym(module, "corvaneTestDriverCurrent"));
    dlclose(module);
    return current();
}

// What the user callback saw, recorded on the audio thread.
struct CallbackLog
{
    std::vector<long> positions;
    std::array<long, 3> shape{}; // inputs, outputs, frames
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
    log->shape = {numIn, numOut, frames};
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
        // Corvane's own drivers (beside the library) come first; the module's
        // follow without gaps: the garbage file, the module without the entry
        // point and the one of another interface version left no entries.
        EXPECT_GE(indexOf(host, "Virtual Device"), 0);
        EXPECT_GE(indexOf(host, "JACK"), 0);
        std::string names;
        for (unsigned index = unsigned(first); index < host.getDriverNum(); ++index)
            names += host.getDriverName(index) + std::string("|");
        EXPECT_EQ(names, "Test 48000 Hz|Test 0 Hz|Test 192000 Hz|Test driver whose name is fo...|"
                         "Test Deferred|Test Wide|Test Failing Init|");
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
    ASSERT_EQ(list.count(), 7u);
    AudioDriver* driver = nullptr;
    EXPECT_EQ(list.openDriver(0, nullptr), DriverList::NullArgument);
    EXPECT_EQ(list.openDriver(7, &driver), DriverList::NoSuchEntry);
    EXPECT_EQ(list.openDriver(0, &driver), DriverOk);
    EXPECT_EQ(list.openDriver(0, &driver), DriverList::EntryAlreadyOpen);
    EXPECT_EQ(list.closeDriver(0), DriverOk);
    EXPECT_EQ(list.closeDriver(7), DriverList::NoSuchEntry);
    // Loading makes an entry current; a failed load keeps the current one.
    EXPECT_TRUE(list.loadDriver(2));
    EXPECT_FALSE(list.loadDriver(7));
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
    for (const auto& [name, rate] :
         {std::pair{"Test 48000 Hz", 48000.0f}, std::pair{"Test 0 Hz", 44100.0f},
          std::pair{"Test 192000 Hz", 44100.0f}})
    {
        TestDriver* driver = load(host, name);
        ASSERT_NE(driver, nullptr);
        EXPECT_EQ(host.getSampleRate(), rate) << name;
        EXPECT_EQ(driver->m_spec.rate, rate) << name;
    }
    EXPECT_STREQ(host.getErrorMessage(), "No ASIO Driver Error");

    // A driver whose init fails: its own error text, and nothing starts.
    EXPECT_EQ(loadByName(host, "Test Failing Init", &recordingCallback, &m_log), 0);
    EXPECT_STREQ(host.getErrorMessage(), "Test driver refused to start");
    EXPECT_FALSE(host.startaudio());

    // getInfo reads the sizes, channels and latencies, then unloads again.
    host.getInfo(unsigned(indexOf(host, "Test 48000 Hz")));
    EXPECT_EQ((std::vector<long>{host.getMinBuffersize(), host.getMaxBuffersize(),
                                 host.getPreferBuffersize(), host.getInputChannels(),
                                 host.getOutputChannels(), host.getInputLatency(),
                                 host.getOutputLatency()}),
              (std::vector<long>{32, 128, 64, 2, 2, 64 + 11, 64 + 22}));
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
    EXPECT_EQ(m_log.shape, (std::array<long, 3>{32, 32, 16}));
}

TEST_F(MasioTest, BlocksAndHostCallbacksFromLoadToUnload)
{
    CMASIO host;
    TestDriver* driver = load(host, "Test 48000 Hz");
    ASSERT_NE(driver, nullptr);
    // One output-ready at load, before any block.
    EXPECT_EQ(driver->m_outputReadyCalls.load(), 1);
    EXPECT_EQ(host.getSampleType(true, 1), SampleInt24LSB);
    ASSERT_TRUE(host.startaudio());
    EXPECT_TRUE(driver->m_started);

    // From the driver's buffer switch through the conversions to the user
    // callback and back: no heap use and no lock (the block lock is only
    // tried). Input: 0.25 in half 0, 0.5 in half 1.
    driver->half(true, 0, 0)[2] = 0x20;
    driver->half(true, 0, 1)[2] = 0x40;
    realtime_trap::resetCounts();
    {
        realtime_trap::ScopedArm arm;
        driver->runBlocks(3);
    }
    EXPECT_EQ(realtime_trap::violations(), 0u);
    EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64}));
    EXPECT_EQ(m_log.shape, (std::array<long, 3>{2, 2, 64}));
    // The third block used half 0 again.
    EXPECT_EQ(m_log.firstInput, 0.25f);
    const unsigned char* output = driver->half(false, 1, driver->lastIndex) + 63 * 3;
    EXPECT_EQ(std::vector<unsigned char>(output, output + 3),
              (std::vector<unsigned char>{0xFF, 0xFF, 0x3F}));
    EXPECT_EQ(driver->m_outputReadyCalls.load(), 4);

    // The time-info form of the buffer switch runs a block the same way and
    // hands no time info back.
    TimeInfo timeInfo{};
    EXPECT_EQ(driver->callbacks()->bufferSwitchTimeInfo(&timeInfo, 1, true), nullptr);
    EXPECT_EQ(m_log.positions.back(), 128);

    // Host messages: whether each selector is supported, and its answer.
    auto message = driver->callbacks()->hostMessage;
    const long kSupported = MessageSelectorSupported;
    const long cases[][3] = {{MessageEngineVersion, 1, 2},    {MessageResyncRequest, 1, 1},
                             {MessageLatenciesChanged, 1, 1}, {MessageSupportsTimeInfo, 1, 1},
                             {MessageBufferSizeChange, 0, 0}, {1234, 0, 0}};
    for (const auto& [selector, supported, answer] : cases)
    {
        EXPECT_EQ(message(kSupported, selector, nullptr, nullptr), supported) << selector;
        EXPECT_EQ(message(selector, 0, nullptr, nullptr), answer) << selector;
    }
    // A reset request stops the driver; a rate change waits for the next load.
    EXPECT_EQ(message(kSupported, MessageResetRequest, nullptr, nullptr), 1);
    EXPECT_EQ(message(MessageResetRequest, 0, nullptr, nullptr), 1);
    EXPECT_FALSE(driver->m_started);
    driver->callbacks()->sampleRateDidChange(96000.0);
    EXPECT_EQ(host.getSampleRate(), 48000.0f);

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
        EXPECT_EQ(realtime_trap::violations(), 0u);
        EXPECT_EQ(m_log.positions, (std::vector<long>{-64, 0, 64, 128})) << load;
        EXPECT_EQ(reinterpret_cast<const float*>(driver->half(false, 0, driver->lastIndex))[0],
                  m_log.outputValue);
        if (load == 0)
        {
            EXPECT_TRUE(host.unloaddriver());
        }
    }
}
