#pragma once

// Which rack action a key press on the view stands for. Every key press on
// the view is consumed; only these keys also act.

#include <Qt>

#include <map>

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

// Whether a held key must not repeat the action (faders step on; a pad or a
// play switch would retrigger or toggle).
constexpr bool actsOncePerPress(KeyActionKind kind)
{
    return kind == KeyActionKind::Pad || kind == KeyActionKind::LoopPlay ||
           kind == KeyActionKind::LoopSlot;
}

// Tells a held key's repeats from fresh presses. Qt marks a repeat only when
// X delivers the repeat's release and press together; under load they come
// apart and the press looks fresh. X gives a repeat's release and press the
// same timestamp, while a person's release and next press are apart.
class KeyRepeatFilter
{
public:
    void released(int key, unsigned long timestamp) { m_releasedAt[key] = timestamp; }
    bool isRepeat(int key, unsigned long timestamp, bool markedRepeat) const
    {
        if (markedRepeat)
            return true;
        const auto release = m_releasedAt.find(key);
        return timestamp != 0 && release != m_releasedAt.end() && release->second == timestamp;
    }

private:
    std::map<int, unsigned long> m_releasedAt;
};

} // namespace rack
