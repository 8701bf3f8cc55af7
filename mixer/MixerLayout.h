#pragma once

// The mixer's front panel: where each control sits and what is printed
// around it. CMixerRack's control building and the artwork generator both
// read this table, so labels and controls cannot drift apart.
//
// Seven channel strips side by side, then the returns, record feed, output
// meters and masters. Each strip has two columns: trim and tone on the left
// (GAIN, HI, MID, LOW, PAN, bus buttons), the compressor, sends, channel
// meter and fader on the right.

#include "skinkit/panel/PanelLayout.h"

#include <array>

namespace mixer_layout
{

struct Point
{
    int x;
    int y;
};

// Picture sizes the positions are planned around: gain knob 28 px, other
// knobs 26 px, fader track 24×118,
// channel meter 8×60, output meter 10×90, pair and compressor buttons 20×14.
constexpr int gainKnobSize = 28;
constexpr int knobSize = 26;
constexpr int faderWidth = 24;
constexpr int faderHeight = 118;
constexpr int channelMeterWidth = 8;
constexpr int channelMeterHeight = 60;
constexpr int outputMeterWidth = 10;
constexpr int outputMeterHeight = 90;
constexpr int buttonWidth = 20;
constexpr int buttonHeight = 14;
constexpr int selectorHeight = 16;

constexpr int channelCount = 7;
constexpr int stripLeft = panel::rackEarWidth + 2;
constexpr int stripWidth = 74;
constexpr int selectorWidth = stripWidth - 6;
// The master section starts after the seventh strip.
constexpr int masterLeft = stripLeft + channelCount * stripWidth + 6;

// Column centres inside a strip, and the rows' tops.
constexpr int leftColumnCentre = 18;
constexpr int rightColumnCentre = 55;
constexpr int selectorTop = 15;
constexpr int rowOneTop = 43;
constexpr int rowTwoTop = 81;
constexpr int rowThreeTop = 116;
constexpr int rowFourTop = 151;
constexpr int rowFiveTop = 186;
constexpr int faderTop = 146;

constexpr int stripX(int channelIndex)
{
    return stripLeft + channelIndex * stripWidth;
}
constexpr Point leftColumnKnob(int channelIndex, int top, int size = knobSize)
{
    return {stripX(channelIndex) + leftColumnCentre - size / 2, top};
}
constexpr Point rightColumnKnob(int channelIndex, int top)
{
    return {stripX(channelIndex) + rightColumnCentre - knobSize / 2, top};
}

constexpr Point selector(int channelIndex)
{
    return {stripX(channelIndex) + 3, selectorTop};
}
constexpr Point gainKnob(int channelIndex)
{
    return leftColumnKnob(channelIndex, rowOneTop - 1, gainKnobSize);
}
// Channels 1 and 2 only.
constexpr Point compressorSwitch(int channelIndex)
{
    return {stripX(channelIndex) + rightColumnCentre - buttonWidth / 2, rowOneTop + 5};
}
// band 0 high, 1 mid, 2 low.
constexpr Point equaliserKnob(int channelIndex, int band)
{
    return leftColumnKnob(channelIndex, band == 0   ? rowTwoTop
                                        : band == 1 ? rowThreeTop
                                                    : rowFourTop);
}
constexpr Point preFaderSendKnob(int channelIndex)
{
    return rightColumnKnob(channelIndex, rowTwoTop);
}
constexpr Point postFaderSendKnob(int channelIndex)
{
    return rightColumnKnob(channelIndex, rowThreeTop);
}
constexpr Point panKnob(int channelIndex)
{
    return leftColumnKnob(channelIndex, rowFiveTop);
}
constexpr Point pairOneButton(int channelIndex)
{
    return {stripX(channelIndex) + 16, 226};
}
constexpr Point pairTwoButton(int channelIndex)
{
    return {stripX(channelIndex) + 16, 244};
}
constexpr Point channelMeter(int channelIndex)
{
    return {stripX(channelIndex) + 38, faderTop + 4};
}
constexpr Point channelFader(int channelIndex)
{
    return {stripX(channelIndex) + 48, faderTop};
}

// Master section: return 1 (pre-fader send), return 2 (post-fader send) and
// the record feed each have a knob over their two pair buttons.
constexpr int returnOneCentre = masterLeft + 30;
constexpr int returnTwoCentre = masterLeft + 90;
constexpr int recordCentre = masterLeft + 152;
constexpr int masterKnobTop = 22;
constexpr int masterButtonTop = 72;

constexpr Point returnKnob(int returnIndex)
{
    return {(returnIndex == 0 ? returnOneCentre : returnTwoCentre) - knobSize / 2, masterKnobTop};
}
constexpr Point returnPairButton(int returnIndex, int pair)
{
    const int centre = returnIndex == 0 ? returnOneCentre : returnTwoCentre;
    return {pair == 0 ? centre - 23 : centre + 3, masterButtonTop};
}
constexpr Point recordKnob{recordCentre - knobSize / 2, masterKnobTop};
constexpr Point recordPairButton(int pair)
{
    return {pair == 0 ? recordCentre - 23 : recordCentre + 3, masterButtonTop};
}
constexpr Point outputMeter(int output)
{
    return {masterLeft + 4 + output * 13, 162};
}
constexpr Point masterSlider(int master)
{
    return {masterLeft + 64 + master * 30, faderTop};
}

// --- Silk screen ---------------------------------------------------------

using panel::LabelAlignment;
using panel::PanelFootprint;
using panel::PanelLabel;
using Kind = panel::FootprintKind;

// Labels of one strip; the compressor label only on channels 1 and 2.
constexpr int labelsPerStrip = 13;
constexpr const char* channelNumbers[channelCount] = {"1", "2", "3", "4", "5", "6", "7"};

constexpr std::array<PanelLabel, labelsPerStrip> stripLabels(int channelIndex)
{
    const int x = stripX(channelIndex);
    const int left = x + leftColumnCentre;
    const int right = x + rightColumnCentre;
    return {{
        {x + stripWidth / 2, 2, channelNumbers[channelIndex], 10, LabelAlignment::Centre},
        {left, rowOneTop - 10, "GAIN", 6, LabelAlignment::Centre},
        {right, rowOneTop - 10, channelIndex < 2 ? "COMP" : "", 6, LabelAlignment::Centre},
        {left, rowTwoTop - 8, "HI", 6, LabelAlignment::Centre},
        {left, rowThreeTop - 8, "MID", 6, LabelAlignment::Centre},
        {left, rowFourTop - 8, "LOW", 6, LabelAlignment::Centre},
        {left, rowFiveTop - 8, "PAN", 6, LabelAlignment::Centre},
        {right, rowTwoTop - 8, "AUX PRE", 6, LabelAlignment::Centre},
        {right, rowThreeTop - 8, "AUX POST", 6, LabelAlignment::Centre},
        {x + 26, 216, "BUS", 6, LabelAlignment::Centre},
        {x + 14, 229, "1-2", 6, LabelAlignment::Right},
        {x + 14, 247, "3-4", 6, LabelAlignment::Right},
        {x + 42, 212, "dB", 5, LabelAlignment::Centre},
    }};
}

constexpr int masterLabelCount = 23;
constexpr std::array<PanelLabel, masterLabelCount> masterLabels = {{
    {(returnOneCentre + returnTwoCentre) / 2, 3, "AUX RETURNS", 7, LabelAlignment::Centre},
    {recordCentre, 3, "REC", 7, LabelAlignment::Centre},
    {returnOneCentre, masterKnobTop + 32, "PRE", 6, LabelAlignment::Centre},
    {returnTwoCentre, masterKnobTop + 32, "POST", 6, LabelAlignment::Centre},
    {recordCentre, masterKnobTop + 32, "LEVEL", 6, LabelAlignment::Centre},
    {returnOneCentre - 13, masterButtonTop + 17, "1-2", 6, LabelAlignment::Centre},
    {returnOneCentre + 13, masterButtonTop + 17, "3-4", 6, LabelAlignment::Centre},
    {returnTwoCentre - 13, masterButtonTop + 17, "1-2", 6, LabelAlignment::Centre},
    {returnTwoCentre + 13, masterButtonTop + 17, "3-4", 6, LabelAlignment::Centre},
    {recordCentre - 13, masterButtonTop + 17, "1-2", 6, LabelAlignment::Centre},
    {recordCentre + 13, masterButtonTop + 17, "3-4", 6, LabelAlignment::Centre},
    {masterLeft + 91, 99, "MIXER", 13, LabelAlignment::Centre},
    {masterLeft + 91, 116, "CORVANE", 7, LabelAlignment::Centre},
    {outputMeter(0).x + 25, 146, "OUT", 7, LabelAlignment::Centre},
    {outputMeter(0).x + 5, 255, "1", 6, LabelAlignment::Centre},
    {outputMeter(1).x + 5, 255, "2", 6, LabelAlignment::Centre},
    {outputMeter(2).x + 5, 255, "3", 6, LabelAlignment::Centre},
    {outputMeter(3).x + 5, 255, "4", 6, LabelAlignment::Centre},
    {masterSlider(0).x + 57, 134, "MASTER", 7, LabelAlignment::Centre},
    {masterSlider(0).x + 12, 265, "1", 7, LabelAlignment::Centre},
    {masterSlider(1).x + 12, 265, "2", 7, LabelAlignment::Centre},
    {masterSlider(2).x + 12, 265, "3", 7, LabelAlignment::Centre},
    {masterSlider(3).x + 12, 265, "4", 7, LabelAlignment::Centre},
}};

constexpr int labelCount = channelCount * labelsPerStrip + masterLabelCount;

constexpr std::array<PanelLabel, labelCount> allLabels()
{
    std::array<PanelLabel, labelCount> labels{};
    int next = 0;
    for (int channel = 0; channel < channelCount; ++channel)
        for (const PanelLabel& label : stripLabels(channel))
            labels[next++] = label;
    for (const PanelLabel& label : masterLabels)
        labels[next++] = label;
    return labels;
}

// Per strip: an engraved frame, the selector recess and the meter window.
constexpr int footprintsPerStrip = 3;
// Master: two group frames, three knob scales, four meter windows (the
// fader track pictures carry their own scales).
constexpr int masterFootprintCount = 9;
constexpr int footprintCount = channelCount * footprintsPerStrip + masterFootprintCount;

constexpr std::array<PanelFootprint, footprintCount> allFootprints()
{
    std::array<PanelFootprint, footprintCount> footprints{};
    int next = 0;
    for (int channel = 0; channel < channelCount; ++channel)
    {
        const int x = stripX(channel);
        footprints[next++] = {x + 1, 13, stripWidth - 2, 260, Kind::Group};
        footprints[next++] = {selector(channel).x, selectorTop, selectorWidth, selectorHeight,
                              Kind::Selector};
        footprints[next++] = {channelMeter(channel).x, channelMeter(channel).y, channelMeterWidth,
                              channelMeterHeight, Kind::Meter};
    }
    footprints[next++] = {masterLeft, 1, 120, 95, Kind::Group};
    footprints[next++] = {masterLeft + 122, 1, 60, 95, Kind::Group};
    footprints[next++] = {returnKnob(0).x, returnKnob(0).y, knobSize, knobSize, Kind::Knob};
    footprints[next++] = {returnKnob(1).x, returnKnob(1).y, knobSize, knobSize, Kind::Knob};
    footprints[next++] = {recordKnob.x, recordKnob.y, knobSize, knobSize, Kind::Knob};
    for (int output = 0; output < 4; ++output)
        footprints[next++] = {outputMeter(output).x, outputMeter(output).y, outputMeterWidth,
                              outputMeterHeight, Kind::Meter};
    return footprints;
}

inline constexpr std::array<PanelLabel, labelCount> labels = allLabels();
inline constexpr std::array<PanelFootprint, footprintCount> footprints = allFootprints();

// No title in the top left: channel 1's strip starts there; the master
// section carries the unit's name.
inline constexpr panel::PanelLayout panelLayout{panel::rackWidth, 4 * panel::slotHeight, "", labels,
                                                footprints};

} // namespace mixer_layout
