#include "app/KeyboardMap.h"

namespace rack
{

namespace
{
// Faders move by 5 steps per key press.
constexpr int kFaderKeyStep = 5;
} // namespace

KeyAction keyActionFor(int key, bool keypad)
{
    if (key == Qt::Key_Space)
        return {KeyActionKind::LoopPlay, 0, 0};
    if (key >= Qt::Key_1 && key <= Qt::Key_8)
        return keypad ? KeyAction{} : KeyAction{KeyActionKind::Pad, key - Qt::Key_1, 0};

    static constexpr int upKeys[] = {Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_R,
                                     Qt::Key_T, Qt::Key_Y, Qt::Key_U};
    static constexpr int downKeys[] = {Qt::Key_A, Qt::Key_S, Qt::Key_D, Qt::Key_F,
                                       Qt::Key_G, Qt::Key_H, Qt::Key_J};
    for (int channel = 0; channel < 7; ++channel)
    {
        if (key == upKeys[channel])
            return {KeyActionKind::Fader, channel, kFaderKeyStep};
        if (key == downKeys[channel])
            return {KeyActionKind::Fader, channel, -kFaderKeyStep};
    }
    if (key == Qt::Key_I || key == Qt::Key_K)
        return {KeyActionKind::BusFaderPair, 0, key == Qt::Key_I ? kFaderKeyStep : -kFaderKeyStep};
    if (key == Qt::Key_O || key == Qt::Key_L)
        return {KeyActionKind::BusFaderPair, 1, key == Qt::Key_O ? kFaderKeyStep : -kFaderKeyStep};

    static constexpr int slotKeys[] = {Qt::Key_Z, Qt::Key_X, Qt::Key_C,
                                       Qt::Key_V, Qt::Key_B, Qt::Key_N};
    for (int slot = 0; slot < 6; ++slot)
        if (key == slotKeys[slot])
            return {KeyActionKind::LoopSlot, slot, 0};
    return {};
}

} // namespace rack
