// The CD player's panel without a device: built from its layout, buttons and
// dragged displays drive the engine, the lamps and displays follow it, the
// remote rows act from another thread with their exact formulas, and after
// "BUFFER ERROR" nothing plays.

#include "players/CDRack.h"
#include "players/CDRemote.h"
#include "support/CDImages.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/RealtimeTrap.h"

#include <QMessageBox>
#include <QTest>

#include <thread>

namespace
{

class CDRackTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        RackTest::SetUp();
        m_image = testkit::writeStandardCdImage(m_folder);
        m_environment =
            std::make_unique<testkit::ScopedEnvironment>(CD_DEVICE_VARIABLE, m_image.cuePath);
        makeRack();
    }
    void makeRack()
    {
        m_rack.reset();
        m_rack = std::make_unique<CCDRack>();
        m_rack->CreateControls();
        m_rack->SetSampleRate(44100.0f);
        m_rack->m_bRunning = m_rack->m_bRouted = true;
    }
    void TearDown() override
    {
        m_rack.reset();
        // A hand-over still on its way must not reach the gone panel.
        QCoreApplication::processEvents();
    }

    // The worker finishes and the hand-overs run.
    void settle()
    {
        m_rack->engine().waitUntilIdle();
        QCoreApplication::processEvents();
    }
    void press(CMyButton& button)
    {
        QTest::mouseClick(&button, Qt::LeftButton);
        settle();
    }
    void render(long frames)
    {
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        for (long done = 0; done < frames; done += 512)
        {
            m_rack->Process(nullptr, outputs, 0, 2, 512);
            m_rack->engine().waitUntilIdle();
        }
    }
    void expectState(bool playing, bool paused, int track, int seconds)
    {
        m_rack->updateTimeDisplay();
        EXPECT_EQ(m_rack->playingLamp().getlightened(), playing);
        EXPECT_EQ(m_rack->pausedLamp().getlightened(), paused);
        EXPECT_EQ(m_rack->timeDisplayRunning(), playing || paused);
        EXPECT_EQ(m_rack->currentTrackDisplay().getvalue(), track);
        EXPECT_EQ(m_rack->minutesDisplay().getvalue() * 60 + m_rack->secondsDisplay().getvalue(),
                  seconds);
    }

    testkit::TemporaryFolder m_folder;
    testkit::CdImage m_image;
    std::unique_ptr<testkit::ScopedEnvironment> m_environment;
    std::unique_ptr<CCDRack> m_rack;
};

TEST_F(CDRackTest, ButtonsAndDisplaysDriveTheEngineAndTheLampsFollow)
{
    testkit::expectControlsOnTheirRows(cd_layout::controls, m_rack->controlRefs());
    EXPECT_EQ(m_rack->trackSelector().getvalue(), 1);
    EXPECT_EQ(m_rack->pitchDisplay().getvalue(), 100);
    EXPECT_FALSE(m_rack->trackSelector().m_bReadOnly);
    EXPECT_FALSE(m_rack->pitchDisplay().m_bReadOnly);
    EXPECT_TRUE(m_rack->currentTrackDisplay().m_bReadOnly);

    // The displays notify the panel as a drag does.
    m_rack->trackSelector().setvalue(3);
    m_rack->pitchDisplay().setvalue(150);
    EXPECT_EQ(m_rack->engine().selectedTrack(), 3);
    EXPECT_EQ(m_rack->engine().pitch(), 150);
    press(m_rack->pitchSwitch());
    EXPECT_TRUE(m_rack->engine().pitchOn());

    // Track 3 at pitch 150: half a second of output is a second of track,
    // all it has by its minute/second addresses (0:05:25 to 0:06:58).
    press(m_rack->playButton());
    expectState(true, false, 3, 0);
    render(44100 / 2);
    expectState(true, false, 3, 1);
    m_rack->remainingSwitch().SetStatus(true);
    expectState(true, false, 3, 0);
    EXPECT_LT(m_rack->leftMeter().barPosition(), m_rack->leftMeter().extent())
        << "the meter lights";
    press(m_rack->pauseButton());
    expectState(false, true, 3, 0);
    press(m_rack->playButton());
    expectState(true, false, 3, 0);
    // Destroyed while playing (in TearDown): the worker is joined first.
    press(m_rack->stopButton());
    expectState(false, false, 3, 0);
    press(m_rack->playButton());
    render(512);
}

TEST_F(CDRackTest, RemoteRowsActFromTheMidiThreadWithTheirFormulas)
{
    const RackRemoteTable<CCDRack> rows = cdRemoteOperations();
    ASSERT_EQ(rows.size(), 5u);
    const char* const names[] = {"CD Rack Track select", "CD Rack Pitch Control", "CD Rack Play",
                                 "CD Rack Stop", "CD Rack Pause"};
    for (size_t row = 0; row < rows.size(); ++row)
    {
        EXPECT_STREQ(rows[row].name, names[row]);
        EXPECT_EQ(rows[row].count, 1);
    }
    const auto apply = [&](size_t row, int value)
    {
        std::thread([&] { rows[row].apply(*m_rack, 0, value); }).join();
        settle();
    };
    // Track: trunc(20 v / 127), 0 below the first track changes nothing;
    // pitch: trunc(v / 127 × 100 + 50); only the low 8 bits count.
    const struct
    {
        size_t row;
        int value, track, pitch;
    } values[] = {{0, 64, 10, 100},    {0, 0, 10, 100},   {0, 127, 20, 100},
                  {0, 0x106, 20, 100}, // trunc(20 × 6 / 127) = 0
                  {1, 0, 20, 50},      {1, 127, 20, 150}, {1, 0x240, 20, 100}};
    for (const auto& step : values)
    {
        SCOPED_TRACE(testing::Message() << rows[step.row].name << " " << step.value);
        apply(step.row, step.value);
        EXPECT_EQ(m_rack->trackSelector().getvalue(), step.track);
        EXPECT_EQ(m_rack->pitchDisplay().getvalue(), step.pitch);
    }

    apply(0, 13); // track 2
    const struct
    {
        size_t row;
        bool playing, paused;
    } steps[] = {{2, true, false}, {4, false, true},  {2, true, false}, {4, false, true},
                 {4, true, false}, {3, false, false}, {3, false, false}};
    for (const auto& step : steps)
    {
        SCOPED_TRACE(rows[step.row].name);
        apply(step.row, 127);
        expectState(step.playing, step.paused, 2, 0);
    }
}

TEST_F(CDRackTest, AfterBufferErrorPlayStaysWithoutEffect)
{
    // The track buffers cannot be had: the rack still comes up, says so, and
    // neither the button nor the remote starts anything.
    realtime_trap::failAllocationsOfSize(sizeof(TRACKBUF));
    makeRack();
    realtime_trap::failAllocationsOfSize(0);
    ASSERT_TRUE(m_rack->engine().bufferError());
    const auto* box = m_rack->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "BUFFER ERROR");

    press(m_rack->playButton());
    std::thread([&] { cdRemoteOperations()[2].apply(*m_rack, 0, 127); }).join();
    settle();
    render(44100 / 10);
    EXPECT_EQ(m_rack->engine().transportState(), CDTransportState::Stopped);
    EXPECT_EQ(m_rack->engine().startJobCount(), 0u);
    EXPECT_FALSE(m_rack->playingLamp().getlightened());
    EXPECT_FALSE(m_rack->timeDisplayRunning());
}

} // namespace
