#pragma once

// The mixer's front panel: one row per control (where it sits, what is
// printed with it, its picture and child id), the silk-screen text that
// belongs to no one control, and the group frames. CMixerRack's control
// building and the artwork generator both read this table, so positions,
// pictures and labels cannot drift apart.
//
// Seven channel strips side by side, then the returns, record feed, output
// meters and masters. Each strip has two columns: trim and tone on the left
// (GAIN, HI, MID, LOW, PAN, bus buttons), the compressor, sends, channel
// meter and fader on the right. Only the selectors, meters and master
// knobs have something printed under them; the other pictures carry their
// own scale or seat.

#include "skinkit/panel/PanelLayout.h"

#include <array>
#include <cstddef>

namespace mixer_layout
{

using panel::FootprintKind;
using panel::LabelAlignment;
using panel::PanelControl;
using panel::PanelFootprint;
using panel::PanelLabel;

constexpr int channelCount = 7;
constexpr int monoChannelCount = 2; // channels 1 and 2 have a compressor switch
constexpr int bandCount = 3;        // high, mid, low
constexpr int returnCount = 2;
constexpr int masterCount = 4;

// Child ids: the panel acts on the equaliser knobs' and the stereo
// selectors'; the gain knobs and channel 1's sends, pan and fader carry ids
// nothing acts on; every other control has id 0.
constexpr int kGainCommand = 160;
constexpr int kPreFaderSendCommand = 170; // channel 1 only
constexpr int kPostFaderSendCommand = 171;
constexpr int kPanCommand = 180;
constexpr int kFaderCommand = 190;
constexpr int kFirstEqualiserCommand = 300; // channel c, band b: 300 + 3c + b
constexpr int kLastEqualiserCommand = kFirstEqualiserCommand + channelCount * bandCount - 1;
constexpr int kFirstSourceCommand = 1150; // channel 1; channel 7 is 1156
constexpr int kFirstStereoSourceCommand = kFirstSourceCommand + monoChannelCount;

constexpr int equaliserCommand(int channelIndex, int band)
{
    return kFirstEqualiserCommand + bandCount * channelIndex + band;
}

// Pictures: one knob strip (66 frames) for sends, bands, pans, returns and
// the record level, with a larger one (45 frames) for gain; the fader track
// and thumb; the channel and output meters; the pair 1 and pair 2 buttons
// and the compressor switch.
constexpr int kKnobPicture = 134;
constexpr int kKnobFrames = 66;
constexpr int kGainKnobPicture = 139;
constexpr int kGainKnobFrames = 45;
constexpr int kFaderTrackPicture = 137;
constexpr int kFaderThumbPicture = 138;
constexpr int kChannelMeterPicture = 140;
constexpr int kOutputMeterPicture = 141;
constexpr int kPairOnePicture = 149;
constexpr int kPairTwoPicture = 131;
constexpr int kCompressorPicture = 183;

// Picture sizes the positions are planned around: gain knob 28 px, other
// knobs 26 px, fader track 24×118, channel meter 8×60, output meter 10×90,
// pair and compressor buttons 20×14, selector 16 high.
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

// Master section: return 1 (pre-fader send), return 2 (post-fader send) and
// the record feed each have a knob over their two pair buttons.
constexpr int returnOneCentre = masterLeft + 30;
constexpr int returnTwoCentre = masterLeft + 90;
constexpr int recordCentre = masterLeft + 152;
constexpr int masterKnobTop = 22;
constexpr int masterButtonTop = 72;

// The rows, in the order CMixerRack lists its controls.
enum Control : std::size_t
{
    SourceSelector1,
    GainKnob1 = SourceSelector1 + channelCount,
    CompressorSwitch1 = GainKnob1 + channelCount,
    PreFaderSendKnob1 = CompressorSwitch1 + monoChannelCount,
    PostFaderSendKnob1 = PreFaderSendKnob1 + channelCount,
    // Channel c, band b at EqualiserKnob1 + 3c + b.
    EqualiserKnob1 = PostFaderSendKnob1 + channelCount,
    PanKnob1 = EqualiserKnob1 + channelCount * bandCount,
    ChannelFader1 = PanKnob1 + channelCount,
    PairOneButton1 = ChannelFader1 + channelCount,
    PairTwoButton1 = PairOneButton1 + channelCount,
    ChannelMeter1 = PairTwoButton1 + channelCount,
    ReturnKnob1 = ChannelMeter1 + channelCount,
    // Return r to pair p at ReturnPairButton1 + 2r + p.
    ReturnPairButton1 = ReturnKnob1 + returnCount,
    RecordKnob = ReturnPairButton1 + 2 * returnCount,
    RecordPairButton1,
    MasterSlider1 = RecordPairButton1 + 2,
    OutputMeter1 = MasterSlider1 + masterCount,
    ControlCount = OutputMeter1 + masterCount
};

namespace detail
{

constexpr const char* numbers[] = {"1", "2", "3", "4", "5", "6", "7"};

constexpr int stripX(int channelIndex)
{
    return stripLeft + channelIndex * stripWidth;
}

// The first channel's send, pan and fader have child ids; the others 0.
constexpr int firstChannelOnly(int channelIndex, int commandId)
{
    return channelIndex == 0 ? commandId : 0;
}

// A knob centred on a strip column, with its name printed above it.
constexpr PanelControl columnKnob(int centre, int top, int size, int picture, int frames,
                                  int command, const char* name)
{
    return {{centre - size / 2, top, size, size, FootprintKind::Bare},
            picture,
            frames,
            command,
            {centre, top - 8, name, 6, LabelAlignment::Centre}};
}

// A pair button (pair 0 → outputs 1-2, pair 1 → 3-4) with its label.
constexpr PanelControl pairButton(int x, int y, int pair, PanelLabel label)
{
    return {{x, y, buttonWidth, buttonHeight, FootprintKind::Bare},
            pair == 0 ? kPairOnePicture : kPairTwoPicture,
            0,
            0,
            label};
}

// One channel strip's controls, written into their rows.
constexpr void addStrip(std::array<PanelControl, ControlCount>& rows, int channel)
{
    const int x = stripX(channel);
    const int left = x + leftColumnCentre;
    const int right = x + rightColumnCentre;
    rows[SourceSelector1 + channel] = {
        {x + 3, selectorTop, selectorWidth, selectorHeight, FootprintKind::Selector},
        0,
        0,
        kFirstSourceCommand + channel};
    // The gain label sits as high as the compressor's, over the larger knob.
    rows[GainKnob1 + channel] = columnKnob(left, rowOneTop - 1, gainKnobSize, kGainKnobPicture,
                                           kGainKnobFrames, kGainCommand, "GAIN");
    rows[GainKnob1 + channel].label.y = rowOneTop - 10;
    if (channel < monoChannelCount)
        rows[CompressorSwitch1 + channel] = {
            {right - buttonWidth / 2, rowOneTop + 5, buttonWidth, buttonHeight,
             FootprintKind::Bare},
            kCompressorPicture,
            0,
            0,
            {right, rowOneTop - 10, "COMP", 6, LabelAlignment::Centre}};
    rows[PreFaderSendKnob1 + channel] =
        columnKnob(right, rowTwoTop, knobSize, kKnobPicture, kKnobFrames,
                   firstChannelOnly(channel, kPreFaderSendCommand), "AUX PRE");
    rows[PostFaderSendKnob1 + channel] =
        columnKnob(right, rowThreeTop, knobSize, kKnobPicture, kKnobFrames,
                   firstChannelOnly(channel, kPostFaderSendCommand), "AUX POST");
    constexpr int bandTops[bandCount] = {rowTwoTop, rowThreeTop, rowFourTop};
    constexpr const char* bandNames[bandCount] = {"HI", "MID", "LOW"};
    for (int band = 0; band < bandCount; ++band)
        rows[EqualiserKnob1 + bandCount * channel + band] =
            columnKnob(left, bandTops[band], knobSize, kKnobPicture, kKnobFrames,
                       equaliserCommand(channel, band), bandNames[band]);
    rows[PanKnob1 + channel] = columnKnob(left, rowFiveTop, knobSize, kKnobPicture, kKnobFrames,
                                          firstChannelOnly(channel, kPanCommand), "PAN");
    rows[ChannelFader1 + channel] = {
        {x + 48, faderTop, faderWidth, faderHeight, FootprintKind::Bare},
        kFaderTrackPicture,
        kFaderThumbPicture,
        firstChannelOnly(channel, kFaderCommand)};
    rows[PairOneButton1 + channel] =
        pairButton(x + 16, 226, 0, {x + 14, 229, "1-2", 6, LabelAlignment::Right});
    rows[PairTwoButton1 + channel] =
        pairButton(x + 16, 244, 1, {x + 14, 247, "3-4", 6, LabelAlignment::Right});
    rows[ChannelMeter1 + channel] = {
        {x + 38, faderTop + 4, channelMeterWidth, channelMeterHeight, FootprintKind::Meter},
        kChannelMeterPicture,
        0,
        0,
        {x + 42, 212, "dB", 5, LabelAlignment::Centre}};
}

// A master knob with its name under it and its two pair buttons below.
constexpr void addMasterKnob(std::array<PanelControl, ControlCount>& rows, std::size_t knobRow,
                             std::size_t firstButtonRow, int centre, const char* name)
{
    rows[knobRow] = {
        {centre - knobSize / 2, masterKnobTop, knobSize, knobSize, FootprintKind::Knob},
        kKnobPicture,
        kKnobFrames,
        0,
        {centre, masterKnobTop + 32, name, 6, LabelAlignment::Centre}};
    rows[firstButtonRow] =
        pairButton(centre - 23, masterButtonTop, 0,
                   {centre - 13, masterButtonTop + 17, "1-2", 6, LabelAlignment::Centre});
    rows[firstButtonRow + 1] =
        pairButton(centre + 3, masterButtonTop, 1,
                   {centre + 13, masterButtonTop + 17, "3-4", 6, LabelAlignment::Centre});
}

constexpr int outputMeterX(int output)
{
    return masterLeft + 4 + output * 13;
}
constexpr int masterSliderX(int master)
{
    return masterLeft + 64 + master * 30;
}

constexpr std::array<PanelControl, ControlCount> allControls()
{
    std::array<PanelControl, ControlCount> rows{};
    for (int channel = 0; channel < channelCount; ++channel)
        addStrip(rows, channel);
    addMasterKnob(rows, ReturnKnob1, ReturnPairButton1, returnOneCentre, "PRE");
    addMasterKnob(rows, ReturnKnob1 + 1, ReturnPairButton1 + 2, returnTwoCentre, "POST");
    addMasterKnob(rows, RecordKnob, RecordPairButton1, recordCentre, "LEVEL");
    for (int master = 0; master < masterCount; ++master)
    {
        rows[MasterSlider1 + master] = {
            {masterSliderX(master), faderTop, faderWidth, faderHeight, FootprintKind::Bare},
            kFaderTrackPicture,
            kFaderThumbPicture,
            0,
            {masterSliderX(master) + 12, 265, numbers[master], 7, LabelAlignment::Centre}};
        rows[OutputMeter1 + master] = {
            {outputMeterX(master), 162, outputMeterWidth, outputMeterHeight, FootprintKind::Meter},
            kOutputMeterPicture,
            0,
            0,
            {outputMeterX(master) + 5, 255, numbers[master], 6, LabelAlignment::Centre}};
    }
    return rows;
}

// Per strip: the channel number and BUS over the pair buttons.
constexpr int labelsPerStrip = 2;
constexpr int masterLabelCount = 6;
constexpr int labelCount = channelCount * labelsPerStrip + masterLabelCount;

constexpr std::array<PanelLabel, labelCount> allLabels()
{
    std::array<PanelLabel, labelCount> labels{};
    int next = 0;
    for (int channel = 0; channel < channelCount; ++channel)
    {
        const int x = stripX(channel);
        labels[next++] = {x + stripWidth / 2, 2, numbers[channel], 10, LabelAlignment::Centre};
        labels[next++] = {x + 26, 216, "BUS", 6, LabelAlignment::Centre};
    }
    labels[next++] = {(returnOneCentre + returnTwoCentre) / 2, 3, "AUX RETURNS", 7,
                      LabelAlignment::Centre};
    labels[next++] = {recordCentre, 3, "REC", 7, LabelAlignment::Centre};
    labels[next++] = {masterLeft + 91, 99, "MIXER", 13, LabelAlignment::Centre};
    labels[next++] = {masterLeft + 91, 116, "CORVANE", 7, LabelAlignment::Centre};
    labels[next++] = {outputMeterX(0) + 25, 146, "OUT", 7, LabelAlignment::Centre};
    labels[next++] = {masterSliderX(0) + 57, 134, "MASTER", 7, LabelAlignment::Centre};
    return labels;
}

// An engraved frame round each strip, and round the returns and the record
// feed.
constexpr int footprintCount = channelCount + 2;

constexpr std::array<PanelFootprint, footprintCount> allFootprints()
{
    std::array<PanelFootprint, footprintCount> footprints{};
    for (int channel = 0; channel < channelCount; ++channel)
        footprints[channel] = {stripX(channel) + 1, 13, stripWidth - 2, 260, FootprintKind::Group};
    footprints[channelCount] = {masterLeft, 1, 120, 95, FootprintKind::Group};
    footprints[channelCount + 1] = {masterLeft + 122, 1, 60, 95, FootprintKind::Group};
    return footprints;
}

} // namespace detail

inline constexpr std::array<PanelControl, ControlCount> controls = detail::allControls();
inline constexpr std::array<PanelLabel, detail::labelCount> labels = detail::allLabels();
inline constexpr std::array<PanelFootprint, detail::footprintCount> footprints =
    detail::allFootprints();

// No title in the top left: channel 1's strip starts there; the master
// section carries the unit's name.
inline constexpr panel::PanelLayout panelLayout{
    panel::rackWidth, 4 * panel::slotHeight, "", labels, footprints, controls};

} // namespace mixer_layout
