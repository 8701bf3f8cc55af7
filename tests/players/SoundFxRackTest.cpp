// The pads' panel without a device: built from its layout, the stored pad set
// comes back (and goes back unchanged when a file went missing), pads load
// through the file chooser, and a press selects the edited pad whose trims
// and gain the knobs then change.

#include "players/SoundFxRack.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"

#include <QTest>

#include <filesystem>

namespace
{

constexpr int kRate = 44100;

class SoundFxRackTest : public testkit::RackTest
{
protected:
    // A mono pad of `ms` milliseconds at 0.5.
    std::string writePad(const std::string& name, int ms)
    {
        testkit::Recording pad{kRate,
                               {std::vector<float>(static_cast<size_t>(kRate * ms / 1000), 0.5f)}};
        testkit::writeWav(m_media.path(name), pad);
        return m_media.path(name);
    }

    static std::unique_ptr<CSoundFxRack> makeRack()
    {
        auto rack = std::make_unique<CSoundFxRack>();
        rack->CreateControls();
        return rack;
    }

    // One block's left output.
    static std::vector<float> render(CSoundFxRack& rack, long frames)
    {
        std::vector<float> left(static_cast<size_t>(frames)), right(left.size());
        float* out[2] = {left.data(), right.data()};
        rack.Process(nullptr, out, 0, 2, frames);
        return left;
    }

    testkit::TemporaryFolder m_media;
};

TEST_F(SoundFxRackTest, PanelIsBuiltFromItsLayoutWithEmptyPads)
{
    auto rack = makeRack();
    testkit::expectControlsOnTheirRows(soundfx_layout::skinnedControls, rack->controlRefs());
    for (int pad = 0; pad < soundfx_layout::padCount; ++pad)
    {
        EXPECT_EQ(rack->padText(pad).text(), "No File");
        EXPECT_EQ(
            rack->padText(pad).geometry(),
            panel_controls::rectOf(
                soundfx_layout::controls[soundfx_layout::PadText1 + static_cast<size_t>(pad)]));
    }
    // No pad edited yet: knobs and displays agree on a new pad's whole sound at 0 dB.
    EXPECT_EQ(rack->editedPad(), -1);
    EXPECT_EQ(rack->endKnob().getvalue(), 9999);
    EXPECT_EQ(rack->endDisplay().getvalue(), 9999);
    EXPECT_EQ(rack->gainKnob().getvalue(), 0);
    EXPECT_EQ(rack->gainDisplay().getvalue(), 0);
    EXPECT_EQ(rack->gainKnob().getminvalue(), -12);
    EXPECT_EQ(rack->gainKnob().getmaxvalue(), 12);
}

// The stored set comes back with its trims, gain and edited pad; a pad whose
// file went missing shows it and is written back exactly as it was stored.
TEST_F(SoundFxRackTest, StoredPadsComeBackAndMissingFilesKeepTheirSettings)
{
    const std::string horn = writePad("horn.wav", 500);
    {
        CIni settings(settingsPath());
        settings.WriteString("SoundFX", "path0", horn);
        settings.WriteString("SoundFX", "file0", "horn");
        settings.WriteInt("SoundFX", "start0", 100);
        settings.WriteInt("SoundFX", "end0", 9999); // beyond the sound: clamped to it
        settings.WriteInt("SoundFX", "gain0", 6);
        settings.WriteString("SoundFX", "path2", m_media.path("gone.wav"));
        settings.WriteString("SoundFX", "file2", "gone");
        settings.WriteInt("SoundFX", "start2", 250);
        settings.WriteInt("SoundFX", "gain2", -7);
        settings.WriteInt("SoundFX", "trigger", 0);
    }
    {
        auto rack = makeRack();
        EXPECT_EQ(rack->padText(0).text(), "horn");
        EXPECT_EQ(rack->padText(2).text(), "Unsupport");
        EXPECT_EQ(rack->editedPad(), 0);
        EXPECT_EQ(rack->startKnob().getmaxvalue(), 500);
        EXPECT_EQ(rack->startKnob().getvalue(), 100);
        EXPECT_EQ(rack->endKnob().getvalue(), 500);
        EXPECT_EQ(rack->gainKnob().getvalue(), 6);
        EXPECT_EQ(rack->startDisplay().getvalue(), 100);
        EXPECT_EQ(rack->endDisplay().getvalue(), 500);
        EXPECT_EQ(rack->gainDisplay().getvalue(), 6);
    }
    const CIni settings(settingsPath());
    EXPECT_EQ(settings.GetInt("soundfx", "end0", -1), 500);
    EXPECT_EQ(settings.GetString("soundfx", "path2", ""), m_media.path("gone.wav"));
    EXPECT_EQ(settings.GetString("soundfx", "file2", ""), "gone");
    EXPECT_EQ(settings.GetInt("soundfx", "start2", -1), 250);
    EXPECT_EQ(settings.GetInt("soundfx", "gain2", 0), -7);
    EXPECT_EQ(settings.GetInt("soundfx", "trigger", -1), 0);
}

// Load opens the chooser in the last folder; the pad shows the file's title
// and is saved at once; Cancel changes nothing.
TEST_F(SoundFxRackTest, LoadButtonsLoadThroughTheChooserAndSaveAtOnce)
{
    const std::string siren = writePad("siren.wav", 300);
    auto rack = makeRack();
    QString answer = QString::fromStdString(siren);
    QString askedFolder;
    rack->setFileChooser(
        [&](QWidget*, const QString& folder, const QString& filter)
        {
            askedFolder = folder;
            EXPECT_TRUE(filter.contains("*.wav") && filter.contains("*.flac"));
            return answer;
        });
    QTest::mouseClick(&rack->loadButton(4), Qt::LeftButton);
    EXPECT_EQ(rack->padText(4).text(), "siren");
    EXPECT_TRUE(rack->engine().padReady(4));
    EXPECT_EQ(CIni(settingsPath()).GetString("soundfx", "path4", ""), siren);

    answer.clear();
    QTest::mouseClick(&rack->loadButton(5), Qt::LeftButton);
    EXPECT_EQ(askedFolder.toStdString(), std::filesystem::path(siren).parent_path().string());
    EXPECT_EQ(rack->padText(5).text(), "No File");
}

// A press makes the pad the edited one and sounds only when the unit runs and
// a channel selects it; the knobs then edit that pad, the gain in 1 dB steps
// of the gain table.
TEST_F(SoundFxRackTest, PressSelectsTheEditedPadAndKnobsEditIt)
{
    const std::string drop = writePad("drop.wav", 1000);
    auto rack = makeRack();
    rack->setFileChooser([&](QWidget*, const QString&, const QString&)
                         { return QString::fromStdString(drop); });
    QTest::mouseClick(&rack->loadButton(1), Qt::LeftButton);
    rack->SetSampleRate(kRate);

    // Knobs without an edited pad move only the displays.
    testkit::turnWheel(&rack->gainKnob(), 120, 3);
    EXPECT_NE(rack->gainDisplay().getvalue(), 0);
    EXPECT_EQ(rack->engine().padSettings(1).gainDb, 0);

    // Not running: the press selects, but no voice starts.
    QTest::mouseClick(&rack->padButton(1), Qt::LeftButton);
    EXPECT_EQ(rack->editedPad(), 1);
    EXPECT_EQ(rack->endKnob().getmaxvalue(), 1000);
    EXPECT_EQ(rack->gainDisplay().getvalue(), 0);
    EXPECT_FLOAT_EQ(render(*rack, 64)[0], 0.0f);

    testkit::turnWheel(&rack->gainKnob(), 120, 49); // to the top: +12 dB
    EXPECT_EQ(rack->engine().padSettings(1).gainDb, 12);
    EXPECT_EQ(rack->gainDisplay().getvalue(), 12);
    testkit::turnWheel(&rack->startKnob(), 120);
    const int start = rack->startKnob().getvalue();
    EXPECT_GT(start, 0);
    EXPECT_EQ(rack->engine().padSettings(1).startMs, start);
    EXPECT_EQ(rack->startDisplay().getvalue(), start);

    rack->m_bRunning = rack->m_bRouted = true;
    rack->TriggerPad(1);
    EXPECT_FLOAT_EQ(render(*rack, 64)[0], 0.5f * soundfx::gainFactor(12));
    // A pad without sound is neither selected nor played.
    rack->TriggerPad(6);
    EXPECT_EQ(rack->editedPad(), 1);
}

} // namespace
