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

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
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
constexpr int kChannels = 4;
constexpr int kBand1kHz = 17;

// One second of tones of 0.1 / count each on input 1, at the device's rate.
bool writeTonesOnInputOne(const std::string& path, int rate, const std::vector<double>& tones)
{
    testkit::Recording input{rate, std::vector<std::vector<float>>(
                                       kChannels, std::vector<float>(static_cast<size_t>(rate)))};
    for (size_t frame = 0; frame < static_cast<size_t>(rate); ++frame)
        for (double frequency : tones)
            input.channels[0][frame] += static_cast<float>(
                0.1 / tones.size() * std::sin(2.0 * std::numbers::pi * frequency * frame / rate));
    return testkit::writeWav(path, input);
}

void drag(QWidget& widget, QPoint from, QPoint to)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, widget.mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QMouseEvent move(QEvent::MouseMove, to, widget.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, widget.mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

TEST_F(GraphicEqJourney, EqualiserSliderLiftsTheToneAtTheDeviceOutput)
{
    ASSERT_TRUE(writeTonesOnInputOne(mediaPath("input.wav"), kRate, {1000.0}));
    setenv("CORVANE_VIRTUAL_INPUT_FILE", mediaPath("input.wav").c_str(), 1);
    CGraphicEqRack* eq = startWithInputOneThroughTheEqualiser();
    ASSERT_NE(eq, nullptr);

    auto playOutputOne = [&]
    {
        EXPECT_TRUE(powerOn("Virtual Device", "48000HZ"))
            << amplifier().powerFailure().toStdString();
        waitMs(1600);
        powerOff();
        const wholerack::Recording played = wholerack::readWav(deviceOutput());
        return played.channels.empty() ? 0.0
                                       : testkit::toneLevel(played.channels[0], kRate, 1000.0);
    };
    const double flat = playOutputOne();
    ASSERT_GT(flat, 0.01);

    CMSlider& slider = eq->slider(kBand1kHz);
    const QPoint thumb(slider.width() / 2, slider.thumbY() + 7);
    drag(slider, thumb, thumb - QPoint(0, 30));
    const int value = slider.getvalue();
    ASSERT_GT(value, 200);
    const double lifted = playOutputOne();
    EXPECT_NEAR(20.0 * std::log10(lifted / flat), GraphicEqEngine::gainDb(value), 0.1);
    unsetenv("CORVANE_VIRTUAL_INPUT_FILE");
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
        ASSERT_TRUE(writeTonesOnInputOne(mediaPath("input.wav"), rate, centres));
        setenv("CORVANE_VIRTUAL_INPUT_FILE", mediaPath("input.wav").c_str(), 1);
        auto levels = [&]
        {
            EXPECT_TRUE(powerOn("Virtual Device", item));
            waitMs(900);
            powerOff();
            const wholerack::Recording played = wholerack::readWav(deviceOutput());
            std::vector<double> measured;
            for (double centre : centres)
                measured.push_back(played.channels.empty()
                                       ? 0.0
                                       : testkit::toneLevel(played.channels[0], rate, centre));
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
    unsetenv("CORVANE_VIRTUAL_INPUT_FILE");
}

} // namespace
