#include "midiremote/RemoteFunctions.h"

#include <array>
#include <cstdio>
#include <utility>

namespace remote
{

namespace
{

// The families in function order: name pattern ("%d" is 1 … count) and count.
constexpr std::array<std::pair<const char*, int>, 21> kFamilies = {{
    {"Channel %d Level", 7},
    {"Channel %d Gain", 7},
    {"Channel %d Pan", 7},
    {"Channel %d Pre AUX Level", 7},
    {"Channel %d Post AUX Level", 7},
    {"Bus %d Master Level", 4},
    {"Pre AUX Return Level", 1},
    {"Post AUX Return Level", 1},
    {"Rec Out Level", 1},
    {"CD Rack Track select", 1},
    {"CD Rack Pitch Control", 1},
    {"CD Rack Play", 1},
    {"CD Rack Stop", 1},
    {"CD Rack Pause", 1},
    {"Recoder Rack Rec", 1},
    {"Recoder Rack Stop", 1},
    {"Recoder Rack Pause", 1},
    {"MP3 Rack 1 Play", 1},
    {"MP3 Rack 1 Stop", 1},
    {"MP3 Rack 1 Pause", 1},
    {nullptr, 0},
}};

const char* namedController(int controller)
{
    switch (controller)
    {
    case 0:
        return "Bank Select";
    case 1:
        return "Modulation Wheel";
    case 2:
        return "Breath controller";
    case 4:
        return "Foot Pedal";
    case 5:
        return "Portamento Time";
    case 6:
        return "Data Entry";
    case 7:
        return "Volume";
    case 8:
        return "Balance";
    case 10:
        return "Pan position";
    case 11:
        return "Expression";
    case 12:
        return "Effect Control 1";
    case 13:
        return "Effect Control 2";
    case 32:
        return "Bank Select (fine)";
    case 33:
        return "Modulation Wheel (fine)";
    case 34:
        return "Breath controller (fine)";
    case 36:
        return "Foot Pedal (fine)";
    case 37:
        return "Portamento Time (fine)";
    case 38:
        return "Data Entry (fine)";
    case 39:
        return "Volume (fine)";
    case 40:
        return "Balance (fine)";
    case 42:
        return "Pan position (fine)";
    case 43:
        return "Expression (fine)";
    case 44:
        return "Effect Control 1 (fine)";
    case 45:
        return "Effect Control 2 (fine)";
    case 64:
        return "Hold Pedal (on/off)";
    case 65:
        return "Portamento (on/off)";
    case 66:
        return "Sustenuto Pedal (on/off)";
    case 67:
        return "Soft Pedal (on/off)";
    case 68:
        return "Legato Pedal (on/off)";
    case 69:
        return "Hold 2 Pedal (on/off)";
    case 70:
        return "Sound Variation";
    case 71:
        return "Sound Timbre";
    case 72:
        return "Sound Release Time";
    case 73:
        return "Sound Attack Time";
    case 74:
        return "Sound Brightness";
    case 91:
        return "Effects Level";
    case 92:
        return "Tremulo Level";
    case 93:
        return "Chorus Level";
    case 94:
        return "Celeste Level";
    case 95:
        return "Phaser Level";
    case 96:
        return "Data Button increment";
    case 97:
        return "Data Button decrement";
    case 98:
        return "Non-registered Parameter (fine)";
    case 99:
        return "Non-registered Parameter (coarse)";
    case 100:
        return "Registered Parameter (fine)";
    case 101:
        return "Registered Parameter (coarse)";
    case 120:
        return "All Sound Off";
    case 121:
        return "All Controllers Off";
    case 122:
        return "Local Keyboard (on/off)";
    case 123:
        return "All Notes Off";
    case 124:
        return "Omni Mode Off";
    case 125:
        return "Omni Mode On";
    case 126:
        return "Mono Operation";
    case 127:
        return "Poly Operation";
    default:
        return nullptr;
    }
}

std::string numbered(const char* pattern, int number)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

} // namespace

std::string functionName(int function)
{
    if (function < 0 || function >= kFunctionCount)
        return "Not defined";
    int first = 0;
    for (const auto& [pattern, count] : kFamilies)
    {
        if (function < first + count)
            return count > 1 ? numbered(pattern, function - first + 1) : pattern;
        first += count;
    }
    return "Not defined";
}

std::string controllerName(int controller)
{
    if (controller == kUnbound)
        return "Not Assigned";
    if (const char* name = namedController(controller))
        return name;
    if (controller >= 16 && controller <= 19)
        return numbered("General Purpose Slider %d", controller - 15);
    if (controller >= 75 && controller <= 79)
        return numbered("Sound Control %d", controller - 69);
    if (controller >= 80 && controller <= 83)
        return numbered("General Purpose Button %d (on/off)", controller - 79);
    return "Unknown";
}

std::string bindingText(int binding)
{
    if (binding == kUnbound)
        return "Not Assigned";
    if (binding / kProgramChangeBase == 1)
        return numbered("programe change to %d", binding - kProgramChangeBase);
    return controllerName(binding & 0xFF);
}

} // namespace remote
