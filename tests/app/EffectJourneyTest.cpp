// The dual effect rack in the whole program: a tone on device input 1
// through mixer channel 1, its pre-fader send at 100 into slot 1, which
// holds the project's test gain plug-in (chosen in the real file dialog),
// return 1 at 100 onto outputs 1-2. Switching the slot on adds the
// plug-in's return (gain 0.5 × the send) to the dry tone: the device's
// output 1 rises by exactly 0.5 × the input level, in phase.

#include "TestPlugins.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "mixer/MixerRack.h"
#include "plugins/EffectRack.h"
#include "support/PanelChecks.h"
#include "support/WholeRack.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace
{

using EffectJourney = wholerack::WholeRackTest;

constexpr int kRate = 48000;
constexpr double kFrequency = 1000.0;
constexpr double kInputLevel = 0.1;

double outputOneLevel(const std::vector<float>& played)
{
    return testkit::toneLevel(played, kRate, kFrequency);
}

TEST_F(EffectJourney, GainPluginOnThePreFaderLoopRaisesTheOutputAsComputed)
{
    ASSERT_EQ(testplugins::allRuleBreaks(), 0);
    ASSERT_TRUE(tonesOnInputOne({kFrequency}, kInputLevel));
    start();
    auto* effect = dynamic_cast<CEffectRack*>(view().unit(rack::DualEffect));
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->nameDisplay(0).text(), "No VST plug-in");

    // Channel 1 from input 1, fader and masters 1-2 at 100 (twenty key
    // steps of 5); send and return at 100 (unity), return 1 onto pair 1.
    ASSERT_TRUE(choose(mixer().sourceSelector(0), "In 1"));
    typeToMainWindow(QString(20, 'q') + QString(20, 'i'));
    mixer().preFaderSendKnob(0).setvalue(100);
    mixer().returnKnob(0).setvalue(100);
    if (!mixer().returnPairButton(0, 0).getStatus())
        click(mixer().returnPairButton(0, 0));
    ASSERT_TRUE(mixer().returnPairButton(0, 0).getStatus());

    ASSERT_TRUE(typeIntoFileDialog(effect->loadButton(0),
                                   QString::fromStdString(testplugins::path(testplugins::kGain))));
    ASSERT_TRUE(testkit::waitFor([&] { return effect->nameDisplay(0).text() == "Test Gain"; }));

    const double dry = outputOneLevel(playOutputOne(1600));
    ASSERT_GT(dry, 0.01);
    click(effect->onSwitch(0));
    const double withEffect = outputOneLevel(playOutputOne(1600));
    EXPECT_NEAR(withEffect - dry, 0.5 * kInputLevel, 1e-3);
    // The plug-in ran at the device's rate.
    EXPECT_EQ(testplugins::counts(testplugins::kGain).lastSampleRate.load(), 48000.0f);
    EXPECT_EQ(testplugins::allRuleBreaks(), 0);
}

// Two real Debian effects on both loops of the whole program: the flat
// three-band equaliser on the post-fader loop returns the tone at its level
// (the dry channel is off its pair, so only the returns sound), and the
// reverb on the pre-fader loop adds to it.
TEST_F(EffectJourney, RealEffectsProcessBothLoops)
{
    const std::string equaliser = "/usr/lib/vst/3BandEQ-vst.so";
    const std::string reverb = "/usr/lib/vst/MVerb-vst.so";
    if (!std::filesystem::exists(equaliser) || !std::filesystem::exists(reverb))
        GTEST_SKIP() << "dpf-plugins-vst is not installed";
    ASSERT_TRUE(tonesOnInputOne({kFrequency}, kInputLevel));
    start();
    auto* effect = dynamic_cast<CEffectRack*>(view().unit(rack::DualEffect));
    ASSERT_NE(effect, nullptr);
    ASSERT_TRUE(choose(mixer().sourceSelector(0), "In 1"));
    typeToMainWindow(QString(20, 'q') + QString(20, 'i'));
    if (mixer().pairOneButton(0).getStatus())
        click(mixer().pairOneButton(0));
    for (int loop = 0; loop < 2; ++loop)
    {
        mixer().returnKnob(loop).setvalue(100);
        if (!mixer().returnPairButton(loop, 0).getStatus())
            click(mixer().returnPairButton(loop, 0));
    }
    mixer().preFaderSendKnob(0).setvalue(100);
    mixer().postFaderSendKnob(0).setvalue(100);
    effect->loadSlot(0, QString::fromStdString(reverb));
    effect->loadSlot(1, QString::fromStdString(equaliser));
    effect->engine().waitForLoads();
    waitMs(100);
    ASSERT_EQ(effect->engine().slotState(0), EffectRackEngine::SlotState::Loaded);
    ASSERT_EQ(effect->engine().slotState(1), EffectRackEngine::SlotState::Loaded);

    click(effect->onSwitch(1));
    const double equalised = outputOneLevel(playOutputOne(1600));
    EXPECT_NEAR(20.0 * std::log10(equalised / kInputLevel), 0.0, 0.1);
    click(effect->onSwitch(0));
    const double both = outputOneLevel(playOutputOne(1600));
    EXPECT_GT(std::fabs(both - equalised), 0.01 * kInputLevel);
    EXPECT_TRUE(std::isfinite(both));
}

} // namespace
