// The dual effect rack's panel: built from its rows, loads chosen with LOAD
// kept in section "effect" and loaded again at the next start, a missing
// library shown as "Failed" with its key kept, and the editor window: sized
// from the editor's rectangle, following its resize request, opened once,
// closed with the window and before its plug-in is unloaded, idled while
// open. (ON reaching the sound: the effect journey.)

#include "plugins/EffectRack.h"
#include "TestPlugins.h"
#include "plugins/EffectSettings.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "utilkit/Ini.h"

#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace
{

class EffectRackTest : public testkit::RackTest
{
protected:
    void SetUp() override
    {
        RackTest::SetUp();
        ASSERT_EQ(testplugins::allRuleBreaks(), 0);
        // The stub editor draws nothing, so it may be embedded offscreen.
        PluginEditor::setEmbedEverywhere(true);
    }
    void TearDown() override
    {
        PluginEditor::setEmbedEverywhere(false);
        EXPECT_EQ(testplugins::allRuleBreaks(), 0);
    }

    static bool showsText(CEffectRack& rack, int slot, const char* text)
    {
        return testkit::waitFor([&] { return rack.nameDisplay(slot).text() == text; });
    }
    // Chooses `path` for the slot with a click on its LOAD button.
    static void chooseWithLoad(CEffectRack& rack, int slot, const std::string& path,
                               QString* startFolder = nullptr)
    {
        rack.setFileChooser(
            [&](QWidget*, const QString& folder, const QString& filter)
            {
                EXPECT_EQ(filter, "VST (*.so)");
                if (startFolder != nullptr)
                    *startFolder = folder;
                return QString::fromStdString(path);
            });
        QTest::mouseClick(&rack.loadButton(slot), Qt::LeftButton);
        rack.setFileChooser(nullptr);
    }
};

TEST_F(EffectRackTest, FirstStartIsEmptyAndBuiltFromItsRows)
{
    CEffectRack rack;
    rack.CreateControls();
    testkit::expectControlsOnTheirRows(effect_layout::skinnedControls, rack.controlRefs());
    for (int slot = 0; slot < 2; ++slot)
    {
        const panel::PanelFootprint& row =
            effect_layout::controls[effect_layout::NameDisplay1 + static_cast<size_t>(slot)]
                .footprint;
        EXPECT_EQ(rack.nameDisplay(slot).geometry(), QRect(row.x, row.y, row.width, row.height));
        EXPECT_EQ(rack.nameDisplay(slot).text(), "No VST plug-in");
        EXPECT_FALSE(rack.onSwitch(slot).getStatus());
        EXPECT_FALSE(rack.engine().pluginSlot(slot).loading());
    }
    // Nothing chosen: nothing opens.
    EXPECT_FALSE(rack.openEditor(0));
    EXPECT_EQ(rack.windowTitle(), QString());
}

// A library chosen with LOAD is written at once and loaded at the next
// start; "path" is written when the rack goes away and the dialog opens in
// its folder; a stored library that is gone fails but stays stored.
TEST_F(EffectRackTest, ChosenLibrariesAreKeptAndLoadedAgain)
{
    const std::string gain = testplugins::path(testplugins::kGain);
    {
        CEffectRack rack;
        rack.CreateControls();
        chooseWithLoad(rack, 0, gain);
        EXPECT_TRUE(showsText(rack, 0, "Test Gain"));
        chooseWithLoad(rack, 1, "/nonexistent/effect.so");
        EXPECT_TRUE(showsText(rack, 1, "Failed"));
    }
    CIni settings;
    settings.SetPathName(settingsPath());
    EffectSettings stored;
    RestoreEffectSettings(settings, stored);
    EXPECT_EQ(stored.fileNames[0], gain);
    EXPECT_EQ(stored.fileNames[1], "/nonexistent/effect.so");
    EXPECT_EQ(stored.path, "/nonexistent/effect.so");

    SaveEffectPath(settings, gain);
    CEffectRack rack;
    rack.CreateControls();
    EXPECT_TRUE(showsText(rack, 0, "Test Gain"));
    EXPECT_TRUE(showsText(rack, 1, "Failed"));
    QString startFolder;
    chooseWithLoad(rack, 1, testplugins::path(testplugins::kQuad), &startFolder);
    EXPECT_EQ(startFolder, QFileInfo(QString::fromStdString(gain)).absolutePath());
    EXPECT_TRUE(showsText(rack, 1, "Test 4x2"));
}

TEST_F(EffectRackTest, EditorWindowFollowsThePluginsEditor)
{
    TestPluginCounts& counts = testplugins::counts(testplugins::kGain);
    CEffectRack rack;
    rack.CreateControls();
    rack.loadSlot(0, QString::fromStdString(testplugins::path(testplugins::kGain)));
    rack.engine().waitForLoads();
    const int opens = counts.editorOpens.load();
    const int closes = counts.editorCloses.load();

    QTest::mouseClick(&rack.editorButton(0), Qt::LeftButton);
    CDynDialogEx& window = rack.editor(0).window();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "VST Editor 1");
    EXPECT_TRUE(window.isModeless());
    EXPECT_FALSE(window.useSystemButtons());
    EXPECT_EQ(counts.editorOpens.load() - opens, 1);
    EXPECT_EQ(counts.editorParent.load(), static_cast<intptr_t>(window.editorArea().winId()));
    // 300×150 from the rectangle, then the editor's own request for 320×160.
    EXPECT_TRUE(testkit::waitFor([&] { return window.editorArea().size() == QSize(320, 160); }));
    // A second click while open does nothing; idle calls reach the editor.
    QTest::mouseClick(&rack.editorButton(0), Qt::LeftButton);
    EXPECT_EQ(counts.editorOpens.load() - opens, 1);
    const int idles = counts.editorIdles.load();
    EXPECT_TRUE(testkit::waitFor([&] { return counts.editorIdles.load() > idles; }));

    // Closing the window closes the editor; so does a new load.
    window.close();
    EXPECT_EQ(counts.editorCloses.load() - closes, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(rack.openEditor(0));
    rack.loadSlot(0, QString::fromStdString(testplugins::path(testplugins::kWide)));
    EXPECT_EQ(counts.editorCloses.load() - closes, 2);
    EXPECT_FALSE(window.isVisible());
    rack.engine().waitForLoads();
    EXPECT_EQ(counts.instances.load(), 0);
}

} // namespace
