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
#include <sndfile.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace
{

using wholerack::WholeRackTest;

constexpr int kRate = 48000;
constexpr int kChannels = 4;
constexpr int kBand1kHz = 17;

bool writeToneOnInputOne(const std::string& path)
{
    std::vector<float> interleaved(static_cast<size_t>(kRate) * kChannels, 0.0f);
    for (size_t frame = 0; frame < static_cast<size_t>(kRate); ++frame)
        interleaved[frame * kChannels] =
            static_cast<float>(0.1 * std::sin(2.0 * std::numbers::pi * 1000.0 * frame / kRate));
    SF_INFO info{0, kRate, kChannels, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const bool written =
        file != nullptr && sf_writef_float(file, interleaved.data(), kRate) == kRate;
    sf_close(file);
    return written;
}

// The 1 kHz amplitude over 0.1 s in the middle of the sounding part.
double toneLevel(const std::vector<float>& samples)
{
    size_t first = 0;
    while (first < samples.size() && std::fabs(samples[first]) < 1e-3f)
        ++first;
    first += kRate / 2;
    if (first + kRate / 10 > samples.size())
        return 0.0;
    std::complex<double> sum;
    for (size_t frame = first; frame < first + kRate / 10; ++frame)
        sum += static_cast<double>(samples[frame]) *
               std::polar(1.0, -2.0 * std::numbers::pi * 1000.0 * frame / kRate);
    return 2.0 * std::abs(sum) / (kRate / 10);
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

TEST_F(WholeRackTest, EqualiserSliderLiftsTheToneAtTheDeviceOutput)
{
    ASSERT_TRUE(writeToneOnInputOne(mediaPath("input.wav")));
    setenv("CORVANE_VIRTUAL_INPUT_FILE", mediaPath("input.wav").c_str(), 1);
    start();
    auto* eq = dynamic_cast<CGraphicEqRack*>(view().unit(rack::GraphicEQ));
    ASSERT_NE(eq, nullptr);

    ASSERT_TRUE(choose(mixer().sourceSelector(0), "In 1"));
    typeToMainWindow(QString(20, 'q') + QString(20, 'i'));
    click(eq->pairSwitch(0));
    ASSERT_TRUE(eq->lamp().getlightened());

    auto playOutputOne = [&]
    {
        EXPECT_TRUE(powerOn("Virtual Device", "48000HZ"))
            << amplifier().powerFailure().toStdString();
        waitMs(1600);
        powerOff();
        const wholerack::Recording played = wholerack::readWav(deviceOutput());
        return played.channels.empty() ? 0.0 : toneLevel(played.channels[0]);
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

} // namespace
