// The drivers that exercise CMASIO's loading rules.
#pragma once

inline const TestDriverSpec kLoadingRuleSpecs[] = {
    {"Test 48000 Hz", 48000.0, 2, 2, 64, audiodev::SampleFloat32LSB, false, false},
    {"Test 0 Hz", 0.0, 2, 2, 64, audiodev::SampleFloat32LSB, false, false},
    {"Test 192000 Hz", 192000.0, 2, 2, 64, audiodev::SampleFloat32LSB, false, false},
    {"Test driver whose name is forty chars 40", 44100.0, 1, 1, 32, audiodev::SampleFloat32LSB,
     false, false},
    {"Test Deferred", 48000.0, 2, 2, 64, audiodev::SampleFloat32LSB, true, false},
    {"Test Wide", 48000.0, 40, 40, 16, audiodev::SampleFloat32LSB, false, false},
    {"Test Failing Init", 48000.0, 2, 2, 64, audiodev::SampleFloat32LSB, false, true},
    {"Test Int16", 48000.0, 1, 1, 8, audiodev::SampleInt16LSB, false, false},
    {"Test Int24", 48000.0, 1, 1, 8, audiodev::SampleInt24LSB, false, false},
    {"Test Int32", 48000.0, 1, 1, 8, audiodev::SampleInt32LSB, false, false},
    {"Test Float64", 48000.0, 1, 1, 8, audiodev::SampleFloat64LSB, false, false},
};

inline unsigned testDriverCount()
{
    return sizeof(kLoadingRuleSpecs) / sizeof(kLoadingRuleSpecs[0]);
}
inline const TestDriverSpec& testDriverSpec(unsigned index)
{
    return kLoadingRuleSpecs[index];
}
