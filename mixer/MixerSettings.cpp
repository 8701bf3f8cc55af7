#include "mixer/MixerSettings.h"

#include "app/RackUnitTable.h"

#include <string>

namespace mixer_settings
{

namespace
{

const char* const kSection = rack::kRackUnits[rack::Mixer].section;

// Key of channel index c (0-based): the channel number follows the name,
// e.g. "fader3"; send and bus keys add a second digit, e.g. "aux31".
std::string channelKey(const char* name, int channelIndex)
{
    return name + std::to_string(channelIndex + 1);
}
std::string channelKey(const char* name, int channelIndex, int second)
{
    return name + std::to_string(channelIndex + 1) + std::to_string(second);
}

void restoreKnob(const CIni& settings, const std::string& key, std::atomic<int>& knob,
                 MixerControlRange range)
{
    SetKnobValue(knob, settings.GetInt(kSection, key, knob.load()), range);
}

void restoreSlider(const CIni& settings, const std::string& key, std::atomic<int>& slider,
                   MixerControlRange range)
{
    SetSliderValue(slider, settings.GetInt(kSection, key, slider.load()), range);
}

void restoreButton(const CIni& settings, const std::string& key, std::atomic<bool>& button)
{
    button.store(settings.GetBool(kSection, key, button.load()));
}

} // namespace

void RestoreMixerSettings(const CIni& settings, MixerControlState& state)
{
    for (int channel = 0; channel < MixerControlState::kChannelCount; ++channel)
    {
        MixerChannelControls& controls = state.channels[channel];
        // A selector ignores an item it does not have, like a knob.
        restoreKnob(settings, channelKey("source", channel), controls.source,
                    MixerControlState::isMonoChannel(channel) ? mixer_ranges::kMonoSource
                                                              : mixer_ranges::kStereoSource);
        restoreSlider(settings, channelKey("fader", channel), controls.fader,
                      mixer_ranges::kChannelFader);
        restoreKnob(settings, channelKey("gain", channel), controls.gainDb, mixer_ranges::kGain);
        restoreKnob(settings, channelKey("pan", channel), controls.pan, mixer_ranges::kPan);
        restoreButton(settings, channelKey("bus", channel, 1), controls.toOutputPairOne);
        restoreButton(settings, channelKey("bus", channel, 2), controls.toOutputPairTwo);
        restoreKnob(settings, channelKey("aux", channel, 1), controls.preFaderSend,
                    mixer_ranges::kSend);
        restoreKnob(settings, channelKey("aux", channel, 2), controls.postFaderSend,
                    mixer_ranges::kSend);
    }
    for (int master = 0; master < MixerControlState::kMasterCount; ++master)
        restoreSlider(settings, channelKey("bus", master), state.masterLevel[master],
                      mixer_ranges::kMasterLevel);
    for (int returnIndex = 0; returnIndex < MixerControlState::kReturnCount; ++returnIndex)
    {
        restoreKnob(settings, channelKey("auxreturn", returnIndex), state.returnLevel[returnIndex],
                    mixer_ranges::kReturnLevel);
        restoreButton(settings, channelKey("auxbus", returnIndex, 1),
                      state.returnToOutputPairOne[returnIndex]);
        restoreButton(settings, channelKey("auxbus", returnIndex, 2),
                      state.returnToOutputPairTwo[returnIndex]);
    }
    restoreKnob(settings, "recout", state.recordLevel, mixer_ranges::kRecordLevel);
    restoreButton(settings, "recbus1", state.recordFromOutputPairOne);
    restoreButton(settings, "recbus2", state.recordFromOutputPairTwo);
}

bool SaveMixerSettings(CIni& settings, const MixerControlState& state)
{
    bool allWritten = true;
    auto writeInt = [&](const std::string& key, int value)
    { allWritten = settings.WriteInt(kSection, key, value) && allWritten; };
    auto writeBool = [&](const std::string& key, bool value)
    { allWritten = settings.WriteBool(kSection, key, value) && allWritten; };
    constexpr int channels = MixerControlState::kChannelCount;

    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("source", channel), state.channels[channel].source.load());
    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("fader", channel), state.channels[channel].fader.load());
    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("gain", channel), state.channels[channel].gainDb.load());
    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("pan", channel), state.channels[channel].pan.load());
    for (int master = 0; master < MixerControlState::kMasterCount; ++master)
        writeInt(channelKey("bus", master), state.masterLevel[master].load());
    for (int channel = 0; channel < channels; ++channel)
        writeBool(channelKey("bus", channel, 1), state.channels[channel].toOutputPairOne.load());
    for (int channel = 0; channel < channels; ++channel)
        writeBool(channelKey("bus", channel, 2), state.channels[channel].toOutputPairTwo.load());
    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("aux", channel, 1), state.channels[channel].preFaderSend.load());
    for (int channel = 0; channel < channels; ++channel)
        writeInt(channelKey("aux", channel, 2), state.channels[channel].postFaderSend.load());
    writeInt("auxreturn1", state.returnLevel[0].load());
    writeInt("auxreturn2", state.returnLevel[1].load());
    writeBool("auxbus11", state.returnToOutputPairOne[0].load());
    writeBool("auxbus21", state.returnToOutputPairOne[1].load());
    writeBool("auxbus12", state.returnToOutputPairTwo[0].load());
    writeBool("auxbus22", state.returnToOutputPairTwo[1].load());
    writeInt("recout", state.recordLevel.load());
    writeBool("recbus1", state.recordFromOutputPairOne.load());
    writeBool("recbus2", state.recordFromOutputPairTwo.load());
    return allWritten;
}

} // namespace mixer_settings
