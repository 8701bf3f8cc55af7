// The graphic equaliser in the whole program: a tone on device input 1
// through mixer channel 1 to outputs 1-2, the equaliser's pair-1 switch on,
// the 1 kHz slider dragged up on the panel: the device's output 1 is lifted
// by that slider's gain (so the slider, the device's rate and the
// amplifier's post-processor call all reach the sound).

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "engine/AmpRack.h"
#include "equaliser/GraphicEqRack.h"
#include "mixer/MixerRack.h"
#include "support/WholeRack.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

// Device input 1 on mixer channel 1 at fader 100 to masters 1-2 at 100,
// through the equaliser's first pair; null when a step failed.
class GraphicEqJourney : public wholerack::WholeRackTest
{
protected:
    CGraphicEqRack* startWithInputOneThroughTheEqualiser()
    {
        start();
        auto* eq = dynamic_cast<CGraphicEqRack*>(view().unit(rack::GraphicEQ));
        if (eq == nullptr || !choose(mixer().sourceSelector(0), "In 1"))
            return nullptr;
        typeToMainWindow(QString(20, 'q') + QString(20, 'i'));
        click(eq->pairSwitch(0));
        return eq->lamp().getlightened() ? eq : nullptr;
    }
};

constexpr int kRate = 48000;
constexpr int kBand1kHz = 17;

TEST_F(GraphicEqJourney, EqualiserSliderLiftsTheToneAtTheDeviceOutput)
{
    ASSERT_TRUE(tonesOnInputOne({1000.0}, 0.1));
    CGraphicEqRack* eq = startWithInputOneThroughTheEqualiser();
    ASSERT_NE(eq, nullptr);
    const double flat = testkit::toneLevel(playOutputOne(1600), kRate, 1000.0);
    ASSERT_GT(flat, 0.01);

    CMSlider& slider = eq->slider(kBand1kHz);
    const QPoint thumb(slider.width() / 2, slider.thumbY() + 7);
    drag(slider, thumb, thumb - QPoint(0, 30));
    const int value = slider.getvalue();
    ASSERT_GT(value, 200);
    const double lifted = testkit::toneLevel(playOutputOne(1600), kRate, 1000.0);
    EXPECT_NEAR(20.0 * std::log10(lifted / flat), GraphicEqEngine::gainDb(value), 0.1);
}

// Each band sits at its printed frequency at every rate: three bands at
// +15 dB lift tones at exactly their printed centres by 15 dB (a band left at
// 44.1 kHz coefficients would sit 8.8 % high at 48 kHz and lift its centre
// tone by less).
TEST_F(GraphicEqJourney, BandsSitAtTheirPrintedFrequenciesAtEveryRate)
{
    const std::pair<int, QString> rates[] = {
        {44100, "44100HZ"}, {48000, "48000HZ"}, {96000, "96000HZ"}};
    const int bands[] = {7, 17, 27}; // 100 Hz, 1 kHz, 10 kHz
    std::vector<double> centres;
    for (int band : bands)
        centres.push_back(GraphicEqEngine::kCentres[static_cast<size_t>(band)]);
    CGraphicEqRack* eq = startWithInputOneThroughTheEqualiser();
    ASSERT_NE(eq, nullptr);

    for (const auto& [rate, item] : rates)
    {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(tonesOnInputOne(centres, 0.1, rate));
        auto levels = [&]
        {
            const std::vector<float> played = playOutputOne(900, item);
            std::vector<double> measured;
            for (double centre : centres)
                measured.push_back(testkit::toneLevel(played, rate, centre));
            return measured;
        };
        for (int band : bands)
            eq->slider(band).setvalue(150);
        const std::vector<double> flat = levels();
        for (int band : bands)
            eq->slider(band).setvalue(300);
        const std::vector<double> lifted = levels();
        for (size_t index = 0; index < centres.size(); ++index)
        {
            ASSERT_GT(flat[index], 0.01) << centres[index] << " Hz";
            EXPECT_NEAR(20.0 * std::log10(lifted[index] / flat[index]), 15.0, 0.15)
                << centres[index] << " Hz";
        }
    }
}

} // namespace
