// The loop player's panel without a device: built from its layout; Load,
// select, loop and play drive the engine and the scope; the play line and
// the end of a file reach the controls; the slots persist in section "Loop".

#include "players/LoopRack.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"

#include <QSignalSpy>
#include <QTest>
#include <sndfile.h>

#include <filesystem>

namespace
{

constexpr int kRate = 48000;

class LoopRackTest : public testkit::RackTest
{
protected:
    std::unique_ptr<CLoopRack> makeRack(bool powered)
    {
        auto rack = std::make_unique<CLoopRack>();
        rack->CreateControls();
        rack->SetSampleRate(static_cast<float>(kRate));
        rack->m_bRunning = rack->m_bRouted = powered;
        rack->setFileChooser([this](QWidget*, const QString&, const QString&) { return m_answer; });
        return rack;
    }

    // One second of a constant level: which slot plays shows in any sample.
    std::string level(const std::string& name, float value, size_t frames = kRate)
    {
        const std::string path = folder.path(name);
        EXPECT_TRUE(testkit::writeSoundFile(path, {kRate, {std::vector<float>(frames, value)}},
                                            SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        return path;
    }

    void load(CLoopRack& rack, int slot, const std::string& path)
    {
        m_answer = QString::fromStdString(path);
        QTest::mouseClick(&rack.loadButton(slot), Qt::LeftButton);
    }

    static float render(CLoopRack& rack, long frames)
    {
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        for (long done = 0; done < frames; done += 512)
        {
            rack.Process(nullptr, outputs, 0, 2, 512);
            rack.engine().waitUntilIdle();
        }
        return left.back();
    }

    static void waitForScope(CLoopRack& rack)
    {
        if (!rack.scope().isIdle())
            QSignalSpy(&rack.scope(), &CWaveScope::analysisFinished).wait(5000);
    }

    testkit::TemporaryFolder folder;
    QString m_answer;
};

TEST_F(LoopRackTest, ControlsSitOnTheirRows)
{
    auto rack = makeRack(false);
    testkit::expectControlsOnTheirRows(loop_layout::skinnedControls, rack->controlRefs());
    const panel::PanelControl& scope = loop_layout::controls[loop_layout::Scope];
    EXPECT_EQ(rack->scope().geometry(), QRect(scope.footprint.x, scope.footprint.y,
                                              loop_layout::scopeWidth, loop_layout::scopeHeight));
    EXPECT_EQ(rack->selectBox(0).text(), "No File");
    EXPECT_EQ(rack->height(), 2 * panel::slotHeight);
}

TEST_F(LoopRackTest, SlotsSelectLoopAndPlayAndPersist)
{
    {
        auto rack = makeRack(true);
        load(*rack, 0, level("first.wav", 0.25f));
        const std::string gone = level("gone.wav", 0.75f);
        load(*rack, 4, gone);
        load(*rack, 2, level("third.wav", -0.5f));
        load(*rack, 3, folder.path("missing.wav"));
        EXPECT_EQ(rack->selectBox(2).text(), "third.wav");
        EXPECT_EQ(rack->selectBox(3).text(), "No File");
        // Loading does not select: no slot was current yet.
        EXPECT_FALSE(rack->selectBox(0).getchecked());
        EXPECT_EQ(rack->engine().currentSlot(), -1);

        QTest::mouseClick(&rack->selectBox(2), Qt::LeftButton);
        EXPECT_EQ(rack->engine().currentSlot(), 2);
        EXPECT_FALSE(rack->selectBox(0).getchecked());
        EXPECT_TRUE(rack->loopButton().getStatus()) << "a new file loops";
        waitForScope(*rack);
        QTest::mouseClick(&rack->loopButton(), Qt::LeftButton);
        EXPECT_FALSE(rack->scope().getLoop()) << "the flag is kept in the file's cache";

        rack->PlayToggle();
        EXPECT_TRUE(rack->playButton().getStatus());
        EXPECT_TRUE(rack->playLineRunning());
        EXPECT_EQ(render(*rack, kRate / 2), -0.5f);
        rack->updatePlayLine();
        EXPECT_NEAR(rack->scope().getPlayLine(), loop_layout::scopeWidth / 2, 4);

        // A slot whose file has gone is refused; what plays goes on.
        std::filesystem::remove(gone);
        rack->SelectSlot(4);
        EXPECT_EQ(rack->engine().currentSlot(), 2);
        EXPECT_FALSE(rack->selectBox(4).getchecked());
        EXPECT_TRUE(rack->playButton().getStatus());
        EXPECT_EQ(render(*rack, 1024), -0.5f);

        // A slot switch while playing plays the new slot from its start.
        rack->SelectSlot(0);
        EXPECT_EQ(render(*rack, 1024), 0.25f);
        rack->PlayToggle();
        EXPECT_FALSE(rack->engine().playing());
        EXPECT_FALSE(rack->playLineRunning());
        rack->SelectSlot(2);
    }
    const CIni settings(rack::kSettingsFileName);
    EXPECT_EQ(settings.GetInt("Loop", "curch", -9), 2);
    EXPECT_TRUE(settings.GetBool("Loop", "ch2ready", false));
    EXPECT_FALSE(settings.GetBool("Loop", "ch1ready", true));
    EXPECT_EQ(settings.GetString("Loop", "path", ""), folder.path("third.wav"));

    auto restored = makeRack(true);
    EXPECT_EQ(restored->engine().currentSlot(), 2);
    EXPECT_EQ(restored->selectBox(0).text(), "first.wav");
    EXPECT_EQ(restored->engine().slotPath(2), folder.path("third.wav"));
    EXPECT_TRUE(restored->selectBox(2).getchecked());
    EXPECT_FALSE(restored->loopButton().getStatus()) << "the file's loop flag came back";
    waitForScope(*restored);
}

TEST_F(LoopRackTest, PlaySwitchFollowsWhatCanPlay)
{
    auto rack = makeRack(false);
    // No file: the switch does not stay on.
    rack->PlayToggle();
    EXPECT_FALSE(rack->playButton().getStatus());
    load(*rack, 0, level("short.wav", 0.5f, 2000));
    rack->SelectSlot(0);
    // Not running: refused, the switch goes back off.
    rack->PlayToggle();
    EXPECT_FALSE(rack->playButton().getStatus());
    EXPECT_FALSE(rack->engine().playing());

    // A file that does not loop turns the switch off at its end.
    rack->m_bRunning = rack->m_bRouted = true;
    QTest::mouseClick(&rack->loopButton(), Qt::LeftButton);
    ASSERT_FALSE(rack->engine().loop());
    QTest::mouseClick(&rack->playButton(), Qt::LeftButton);
    EXPECT_TRUE(rack->engine().playing());
    render(*rack, 4096);
    EXPECT_FALSE(rack->engine().playing());
    QCoreApplication::processEvents();
    EXPECT_FALSE(rack->playButton().getStatus());
    EXPECT_FALSE(rack->playLineRunning());
    waitForScope(*rack);
}

} // namespace
