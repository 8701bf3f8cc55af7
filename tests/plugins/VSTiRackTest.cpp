// The instrument rack's panel: built from its rows; presets stored, recalled
// and renamed with their buttons, kept beside the plug-in or in the mirror
// of a read-only folder; EDIT opens the editor; section "VSTi" round trip;
// MIDI from another thread lights the lamp for 200 ms.

#include "plugins/VSTiRack.h"
#include "TestPlugins.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"
#include "utilkit/midi/ShortMsg.h"

#include <QTest>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

namespace
{

class VSTiRackTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        RackTest::SetUp();
        ASSERT_EQ(testplugins::allRuleBreaks(), 0);
        // A copy of the synth in a folder of the test's own: its preset file
        // is written beside it.
        synthPath = folder.path("synth.so");
        std::filesystem::copy_file(testplugins::path(testplugins::kSynth), synthPath);
    }
    void TearDown() override
    {
        InstrumentPresets::setWritableCheck(nullptr);
        EXPECT_EQ(testplugins::allRuleBreaks(), 0);
        EXPECT_EQ(copyCounts().ruleBreaks(), 0);
    }

    // The copy is a library of its own, with counts of its own; the handle
    // kept here keeps them.
    TestPluginCounts& copyCounts()
    {
        void* library = dlopen(synthPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto counts =
            reinterpret_cast<TestPluginCountsProc>(dlsym(library, "corvaneTestPluginCounts"));
        return *counts();
    }
    static bool plays(CVSTiRack& rack)
    {
        return testkit::waitFor([&] { return rack.nameDisplay().text() == "Test Sine"; }) &&
               testkit::waitFor([&] { return rack.presetIndex() >= 0; });
    }
    static std::array<int, 4> shown(CVSTiRack& rack)
    {
        return {rack.channelDisplay().getvalue(), rack.bankMsbDisplay().getvalue(),
                rack.bankLsbDisplay().getvalue(), rack.programDisplay().getvalue()};
    }
    static std::array<int, 4> stored(const std::string& file, int preset)
    {
        const CIni presets(file);
        const std::string section = "p" + std::to_string(preset);
        return {presets.GetInt(section, "ch", -1), presets.GetInt(section, "MSB", -1),
                presets.GetInt(section, "LSB", -1), presets.GetInt(section, "patch", -1)};
    }

    testkit::TemporaryFolder folder;
    std::string synthPath;
};

TEST_F(VSTiRackTest, FirstStartIsEmptyAndBuiltFromItsRows)
{
    CVSTiRack rack;
    rack.CreateControls();
    testkit::expectControlsOnTheirRows(instrument_layout::skinnedControls, rack.controlRefs());
    EXPECT_EQ(rack.nameDisplay().text(), "No synth");
    EXPECT_EQ(rack.presetNameDisplay().text(), "preset");
    EXPECT_EQ(rack.presetButton(0).text(), "Preset 1");
    EXPECT_EQ(rack.presetButton(15).text(), "Preset 16");
    EXPECT_EQ(rack.portSelector().itemText(0), "None");
    EXPECT_EQ(rack.portSelector().getcount(),
              static_cast<int>(midi::CMIDIInDevice::DeviceNames().size()) + 1);
    EXPECT_EQ(rack.portSelector().getitemindex(), 0);
    EXPECT_EQ(rack.presetIndex(), -1);
}

TEST_F(VSTiRackTest, PresetsAreStoredAndRecalledAsTheButtonsSwitch)
{
    const std::string presetFile = synthPath + ".ini";
    {
        CVSTiRack rack;
        rack.CreateControls();
        rack.loadInstrument(QString::fromStdString(synthPath));
        ASSERT_TRUE(plays(rack));
        // A new instrument: preset 1 with the defaults, "last" written.
        EXPECT_EQ(rack.presetIndex(), 0);
        EXPECT_TRUE(rack.presetButton(0).getchecked());
        EXPECT_EQ(shown(rack), (std::array<int, 4>{1, 0, 0, 0}));
        EXPECT_EQ(CIni(presetFile).GetInt("info", "last", -1), 0);

        // EDIT opens the editor in "VSTi Editor", idled while open.
        PluginEditor::setEmbedEverywhere(true);
        TestPluginCounts& synth = copyCounts();
        const int idles = synth.editorIdles.load();
        QTest::mouseClick(&rack.editorButton(), Qt::LeftButton);
        EXPECT_TRUE(rack.editor().window().isVisible());
        EXPECT_EQ(rack.editor().window().windowTitle(), "VSTi Editor");
        EXPECT_TRUE(testkit::waitFor([&] { return synth.editorIdles.load() > idles; }));
        rack.editor().close();
        PluginEditor::setEmbedEverywhere(false);

        // Preset 3 gets new values; pressing preset 5 stores them under p2
        // before p4's are shown.
        QTest::mouseClick(&rack.presetButton(2), Qt::LeftButton);
        rack.channelDisplay().setvalue(2);
        rack.bankMsbDisplay().setvalue(1);
        rack.bankLsbDisplay().setvalue(2);
        rack.programDisplay().setvalue(7);
        QTest::mouseClick(&rack.presetButton(4), Qt::LeftButton);
        EXPECT_EQ(stored(presetFile, 2), (std::array<int, 4>{2, 1, 2, 7}));
        EXPECT_EQ(shown(rack), (std::array<int, 4>{1, 0, 0, 0}));
        EXPECT_EQ(rack.presetNameDisplay().text(), "preset 5");
        EXPECT_FALSE(rack.presetButton(2).getchecked());
        EXPECT_TRUE(rack.presetButton(4).getchecked());
        QTest::mouseClick(&rack.presetButton(2), Qt::LeftButton);
        EXPECT_EQ(shown(rack), (std::array<int, 4>{2, 1, 2, 7}));

        // Renaming: the prompt shows the current name; cancelling keeps it.
        QString asked;
        rack.setNamePrompt(
            [&](const QString& current)
            {
                asked = current;
                return std::optional<QString>("Strings");
            });
        QTest::mouseClick(&rack.renameButton(), Qt::LeftButton);
        EXPECT_EQ(asked, "preset 3");
        rack.setNamePrompt([](const QString&) { return std::nullopt; });
        QTest::mouseClick(&rack.renameButton(), Qt::LeftButton);
        EXPECT_EQ(rack.presetButton(2).text(), "Strings");
        EXPECT_EQ(rack.presetNameDisplay().text(), "Strings");
        EXPECT_EQ(CIni(presetFile).GetString("p2", "name", ""), "Strings");
    }
    // The next start loads the instrument again, with preset 3 as last.
    EXPECT_EQ(CIni(settingsPath()).GetString("VSTi", "filename", ""), synthPath);
    {
        CVSTiRack rack;
        rack.CreateControls();
        ASSERT_TRUE(plays(rack));
        EXPECT_EQ(rack.presetIndex(), 2);
        EXPECT_EQ(rack.presetButton(2).text(), "Strings");
        EXPECT_EQ(shown(rack), (std::array<int, 4>{2, 1, 2, 7}));
    }
    // A "last" that names no preset selects preset 1.
    CIni(presetFile).WriteInt("info", "last", 99);
    CVSTiRack rack;
    rack.CreateControls();
    ASSERT_TRUE(plays(rack));
    EXPECT_EQ(rack.presetIndex(), 0);
}

// A plug-in folder the user cannot write: the presets shipped beside the
// plug-in are read, changes go to the mirror, and both survive a restart.
TEST_F(VSTiRackTest, PresetsOfAReadOnlyPluginSurviveARestart)
{
    // The test may run as root, who can write anywhere: the folder is
    // declared read-only as well as made so.
    std::filesystem::permissions(folder.folder(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    static std::string readOnly;
    readOnly = folder.folder();
    InstrumentPresets::setWritableCheck([](const std::string& path) { return path != readOnly; });
    const std::string shipped = synthPath + ".ini";
    std::filesystem::permissions(folder.folder(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    CIni(shipped).WriteString("p0", "name", "Shipped Piano");
    std::filesystem::permissions(folder.folder(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::string mirror = InstrumentPresets::mirrorPath(synthPath);
    EXPECT_EQ(mirror, CIni::ConfigFolder() + "/presets" + synthPath + ".ini");
    {
        CVSTiRack rack;
        rack.CreateControls();
        rack.loadInstrument(QString::fromStdString(synthPath));
        ASSERT_TRUE(plays(rack));
        EXPECT_EQ(rack.presetButton(0).text(), "Shipped Piano");
        EXPECT_EQ(rack.presets().filePath(), mirror);
        QTest::mouseClick(&rack.presetButton(1), Qt::LeftButton);
        rack.programDisplay().setvalue(9);
    }
    EXPECT_EQ(stored(mirror, 1)[3], 9);
    EXPECT_EQ(stored(shipped, 1)[3], -1);
    CVSTiRack rack;
    rack.CreateControls();
    ASSERT_TRUE(plays(rack));
    EXPECT_EQ(rack.presetIndex(), 1);
    EXPECT_EQ(rack.programDisplay().getvalue(), 9);
    EXPECT_EQ(rack.presetButton(0).text(), "Shipped Piano");
    std::filesystem::permissions(folder.folder(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

TEST_F(VSTiRackTest, SettingsRoundTrip)
{
    CIni settings(settingsPath());
    const InstrumentSettings saved{"/usr/lib/vst/synth.so", "/usr/lib/vst", {3, "JACK: keys:out"}};
    ASSERT_TRUE(SaveInstrumentSettings(settings, saved));
    EXPECT_EQ(settings.GetInt("VSTi", "midiin", -1), 4);
    InstrumentSettings restored;
    RestoreInstrumentSettings(settings, restored);
    EXPECT_EQ(restored.fileName, saved.fileName);
    EXPECT_EQ(restored.path, saved.path);
    EXPECT_EQ(restored.port.index, 3);
    EXPECT_EQ(restored.port.name, "JACK: keys:out");
    // A stored port that is not there now leaves the selector on "None" and
    // the setting alone.
    CVSTiRack rack;
    rack.CreateControls();
    EXPECT_EQ(rack.portSelector().getitemindex(), 0);
    EXPECT_EQ(CIni(settingsPath()).GetString("VSTi", "midiinname", ""), "JACK: keys:out");
}

// The MIDI delivery thread lights the lamp through the GUI thread; it goes
// out 200 ms later. Control changes do not light it.
TEST_F(VSTiRackTest, MidiFromAnotherThreadLightsTheLamp)
{
    CVSTiRack rack;
    rack.CreateControls();
    std::thread([&] { rack.midiReceiver().ReceiveMsg(midi::CShortMsg::Pack(0xB0, 7, 1), 0); })
        .join();
    QTest::qWait(20);
    EXPECT_FALSE(rack.activityLamp().getlightened());
    std::thread([&] { rack.midiReceiver().ReceiveMsg(midi::CShortMsg::Pack(0x90, 60, 1), 0); })
        .join();
    EXPECT_TRUE(testkit::waitFor([&] { return rack.activityLamp().getlightened(); }));
    EXPECT_TRUE(testkit::waitFor([&] { return !rack.activityLamp().getlightened(); }));
}

} // namespace
