#pragma once

// The 53 functions a MIDI controller can drive, as the setup dialog names
// them, and the texts it shows for a binding. A binding is a controller
// number 0-127 (control change), 4096 + a program number (program change),
// or -1 (none); the channel never counts.
//
// Threads: any (constant tables and pure functions).

#include <string>

namespace remote
{

inline constexpr int kFunctionCount = 53;
inline constexpr int kUnbound = -1;
inline constexpr int kProgramChangeBase = 4096;

// The first function of each family.
inline constexpr int kChannelLevel = 0;
inline constexpr int kCdTrackSelect = 42;
inline constexpr int kCdPitch = 43;
inline constexpr int kCdPlay = 44;
inline constexpr int kRecorderRec = 47;
inline constexpr int kMp3Play = 50;

// "Channel 1 Level" … "MP3 Rack 1 Pause"; "Not defined" outside 0-52.
std::string functionName(int function);

// Buttons (CD, recorder and MP3 transports, 44-52) act on a press only: a
// controller value of 64 or more, or a program change.
constexpr bool isTransport(int function)
{
    return function >= kCdPlay && function < kFunctionCount;
}

// What a stored binding may be; anything else reads as unbound.
constexpr bool isValidBinding(int value)
{
    return value == kUnbound || (value >= 0 && value <= 127) ||
           (value >= kProgramChangeBase && value < kProgramChangeBase + 128);
}

// The MIDI 1.0 name of a controller number ("Volume", "Pan position", …);
// "Not Assigned" for -1, "Unknown" for numbers without a name.
std::string controllerName(int controller);

// The "MIDI Message" column: "Not Assigned", "programe change to 12", or the
// controller's name.
std::string bindingText(int binding);

} // namespace remote
