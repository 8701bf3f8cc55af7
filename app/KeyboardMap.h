#pragma once

// Which rack action a key press on the view stands for. Every key press on
// the view is consumed; only these keys also act.

#include <Qt>

namespace rack
{

enum class KeyActionKind
{
    None,
    LoopPlay,     // Space: the loop player's play switch
    Pad,          // 1-8: sound-effect pad index 0-7
    Fader,        // Q/A … U/J: mixer channel fader index 0-6, up or down
    BusFaderPair, // I/K: bus faders 1 and 2, O/L: bus faders 3 and 4 (index 0 or 1)
    LoopSlot,     // Z X C V B N: loop player slot index 0-5
};

struct KeyAction
{
    KeyActionKind kind = KeyActionKind::None;
    int index = 0;
    int step = 0; // +5 or -5 for faders
};

// key: Qt::Key; keypad: whether the key came from the numeric keypad (the
// keypad's digits are consumed without action).
KeyAction keyActionFor(int key, bool keypad);

} // namespace rack
