// The equaliser's panel: built from its layout rows, first start flat and
// bypassed, presets kept and restored through the settings file, Reset
// writing nothing, out-of-range stored values clamped, the switches reaching
// the engine and the lamp, and the device's rate reaching the bands.

#include "equaliser/GraphicEqRack.h"
#include "equaliser/GraphicEqSettings.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "utilkit/Ini.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace
{

using GraphicEqRackTest = testkit::RackTest;

std::string fileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(GraphicEqRackTest, FirstStartIsFlatAndBypassedAndTheSwitchesAndRateReachTheBands)
{
    CGraphicEqRack eq;
    eq.CreateControls();
    testkit::expectControlsOnTheirRows(graphic_eq_layout::controls, eq.controlRefs());
    for (int band = 0; band < GraphicEqEngine::kBandCount; ++band)
        EXPECT_EQ(eq.slider(band).getvalue(), 150) << band;
    EXPECT_FALSE(eq.pairSwitch(0).getStatus());
    EXPECT_FALSE(eq.pairSwitch(1).getStatus());
    EXPECT_FALSE(eq.lamp().getlightened());
    EXPECT_TRUE(eq.presetButton(1).getStatus());

    QTest::mouseClick(&eq.pairSwitch(1), Qt::LeftButton);
    EXPECT_TRUE(eq.engine().pairEnabled(1));
    EXPECT_FALSE(eq.engine().pairEnabled(0));
    EXPECT_TRUE(eq.lamp().getlightened());
    QTest::mouseClick(&eq.pairSwitch(1), Qt::LeftButton);
    EXPECT_FALSE(eq.lamp().getlightened());

    eq.SetSampleRate(96000.0f);
    EXPECT_EQ(eq.engine().filterSampleRate(), 96000.0);
    eq.SetSampleRate(0.0f); // stopped: the bands keep the last running rate
    EXPECT_EQ(eq.engine().filterSampleRate(), 96000.0);
}

// Presets are edited live and written on a preset change; pressing the
// selected preset keeps it on; exactly one preset is on.
TEST_F(GraphicEqRackTest, PresetsRoundTripThroughTheSettingsFile)
{
    {
        CGraphicEqRack eq;
        eq.CreateControls();
        QTest::mouseClick(&eq.presetButton(3), Qt::LeftButton);
        ASSERT_EQ(eq.currentPreset(), 3);
        eq.slider(0).setvalue(10);
        eq.slider(30).setvalue(290);
        EXPECT_EQ(eq.engine().values()[30], 290);
        QTest::mouseClick(&eq.presetButton(1), Qt::LeftButton);
        EXPECT_EQ(eq.slider(0).getvalue(), 150);
        QTest::mouseClick(&eq.presetButton(1), Qt::LeftButton);
        for (int preset = 1; preset <= 4; ++preset)
            EXPECT_EQ(eq.presetButton(preset).getStatus(), preset == 1) << preset;
        QTest::mouseClick(&eq.presetButton(3), Qt::LeftButton);
        EXPECT_EQ(eq.slider(0).getvalue(), 10);
        EXPECT_EQ(eq.slider(30).getvalue(), 290);
        eq.slider(5).setvalue(200);
    } // leaving saves preset 3
    const CIni settings(settingsPath());
    const GraphicEqEngine::Values stored = RestoreGraphicEqSettings(settings, 3);
    EXPECT_EQ(stored[0], 10);
    EXPECT_EQ(stored[5], 200);
    EXPECT_EQ(stored[30], 290);
}

TEST_F(GraphicEqRackTest, ResetWritesNothingAndStoredValuesAreClamped)
{
    {
        CIni settings(settingsPath());
        settings.WriteInt("EQ1", "4", 999, 10);
        settings.WriteInt("EQ1", "5", -7, 10);
    }
    CGraphicEqRack eq;
    eq.CreateControls();
    EXPECT_EQ(eq.slider(4).getvalue(), 300);
    EXPECT_EQ(eq.slider(5).getvalue(), 0);
    const std::string before = fileText(settingsPath());
    QTest::mouseClick(&eq.resetButton(), Qt::LeftButton);
    EXPECT_EQ(eq.slider(4).getvalue(), 150);
    EXPECT_EQ(eq.engine().values()[4], 150);
    EXPECT_EQ(fileText(settingsPath()), before);
}

} // namespace
