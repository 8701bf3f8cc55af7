#pragma once

// The MP3 player's front panel: where each control sits and what is printed
// around it. Both CMP3Rack's control building and the artwork generator read
// this table, so labels and controls cannot drift apart.

#include "skinkit/panel/PanelLayout.h"

#include <array>

namespace mp3_layout
{

struct Point
{
    int x;
    int y;
};

// Picture sizes the positions are planned around: transport buttons 28×18,
// toggle switches 22×14, lamps 12×12, 12×20 LED cells, horizontal meters
// 80×7, the selector's 14-pixel arrow plus its 2-pixel border.
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 18;
constexpr int toggleWidth = 22;
constexpr int toggleHeight = 14;
constexpr int lampSize = 12;
constexpr int ledCellWidth = 12;
constexpr int ledHeight = 20;
constexpr int minutesPlaces = 3;
constexpr int secondsPlaces = 2;
constexpr int meterWidth = 80;
constexpr int meterHeight = 7;
constexpr int titleWidth = 250;
constexpr int titleHeight = 16;
constexpr int selectorWidth = 250;
constexpr int selectorHeight = 16;

// Track title and playlist, under the unit's name.
constexpr Point titleDisplay{32, 26};
constexpr Point playlistSelector{32, 48};
// Playlist buttons, then the transport with its lamps under Play and Pause.
constexpr Point openButton{298, 28};
constexpr Point removeButton{334, 28};
constexpr Point playAllSwitch{301, 50};
constexpr Point playButton{392, 28};
constexpr Point pauseButton{428, 28};
constexpr Point stopButton{464, 28};
constexpr Point playingLamp{400, 51};
constexpr Point pausedLamp{436, 51};
// Minutes:seconds and the switch choosing elapsed or remaining time.
constexpr Point minutesDisplay{512, 26};
constexpr Point secondsDisplay{556, 26};
constexpr Point remainingSwitch{515, 50};
// Left and right peak meters.
constexpr Point leftMeter{626, 30};
constexpr Point rightMeter{626, 42};

inline constexpr std::array<panel::PanelLabel, 13> labels = {{
    {panel::rackWidth - panel::rackEarWidth - 10, panel::slotHeight - 14, "CORVANE", 9,
     panel::LabelAlignment::Right},
    {312, 16, "OPEN", 7, panel::LabelAlignment::Centre},
    {348, 16, "REMOVE", 7, panel::LabelAlignment::Centre},
    {327, 52, "ALL", 7, panel::LabelAlignment::Left},
    {406, 16, "PLAY", 7, panel::LabelAlignment::Centre},
    {442, 16, "PAUSE", 7, panel::LabelAlignment::Centre},
    {478, 16, "STOP", 7, panel::LabelAlignment::Centre},
    {550, 14, "TIME", 7, panel::LabelAlignment::Centre},
    {551, 29, ":", 12, panel::LabelAlignment::Centre},
    {541, 52, "REMAIN", 7, panel::LabelAlignment::Left},
    {666, 16, "LEVEL", 7, panel::LabelAlignment::Centre},
    {618, 28, "L", 7, panel::LabelAlignment::Right},
    {618, 40, "R", 7, panel::LabelAlignment::Right},
}};

inline constexpr std::array<panel::PanelFootprint, 15> footprints = {{
    {titleDisplay.x, titleDisplay.y, titleWidth, titleHeight, panel::FootprintKind::Display},
    {playlistSelector.x, playlistSelector.y, selectorWidth, selectorHeight,
     panel::FootprintKind::Selector},
    {openButton.x, openButton.y, buttonWidth, buttonHeight, panel::FootprintKind::Button},
    {removeButton.x, removeButton.y, buttonWidth, buttonHeight, panel::FootprintKind::Button},
    {playAllSwitch.x, playAllSwitch.y, toggleWidth, toggleHeight, panel::FootprintKind::Button},
    {playButton.x, playButton.y, buttonWidth, buttonHeight, panel::FootprintKind::Button},
    {pauseButton.x, pauseButton.y, buttonWidth, buttonHeight, panel::FootprintKind::Button},
    {stopButton.x, stopButton.y, buttonWidth, buttonHeight, panel::FootprintKind::Button},
    {playingLamp.x, playingLamp.y, lampSize, lampSize, panel::FootprintKind::Lamp},
    {pausedLamp.x, pausedLamp.y, lampSize, lampSize, panel::FootprintKind::Lamp},
    {minutesDisplay.x, minutesDisplay.y, minutesPlaces* ledCellWidth, ledHeight,
     panel::FootprintKind::Display},
    {secondsDisplay.x, secondsDisplay.y, secondsPlaces* ledCellWidth, ledHeight,
     panel::FootprintKind::Display},
    {remainingSwitch.x, remainingSwitch.y, toggleWidth, toggleHeight, panel::FootprintKind::Button},
    {leftMeter.x, leftMeter.y, meterWidth, meterHeight, panel::FootprintKind::Meter},
    {rightMeter.x, rightMeter.y, meterWidth, meterHeight, panel::FootprintKind::Meter},
}};

inline constexpr panel::PanelLayout panelLayout{panel::rackWidth, panel::slotHeight, "MP3 PLAYER",
                                                labels, footprints};

} // namespace mp3_layout
