// Forty drivers: more than the host's table of 32 holds.
#pragma once

#include <array>
#include <string>

inline unsigned testDriverCount()
{
    return 40;
}
inline const TestDriverSpec& testDriverSpec(unsigned index)
{
    static const auto names = []
    {
        std::array<std::string, 40> list;
        for (size_t i = 0; i < list.size(); ++i)
            list[i] = "Many " + std::to_string(i + 1);
        return list;
    }();
    static std::array<TestDriverSpec, 40> specs{};
    specs[index] = {names[index].c_str(),       48000.0, 1,    1, 16,
                    audiodev::SampleFloat32LSB, false,   false};
    return specs[index];
}
