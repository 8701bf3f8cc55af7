// The drivers the block-path benchmark runs: each sample type at 64 and 256
// frames, with the engine's four inputs and four outputs.
#pragma once

inline const TestDriverSpec kBenchSpecs[] = {
    {"Bench Int16LSB 64", 48000.0, 4, 4, 64, audiodev::SampleInt16LSB, false, false},
    {"Bench Int16LSB 256", 48000.0, 4, 4, 256, audiodev::SampleInt16LSB, false, false},
    {"Bench Int24LSB 64", 48000.0, 4, 4, 64, audiodev::SampleInt24LSB, false, false},
    {"Bench Int24LSB 256", 48000.0, 4, 4, 256, audiodev::SampleInt24LSB, false, false},
    {"Bench Int32LSB 64", 48000.0, 4, 4, 64, audiodev::SampleInt32LSB, false, false},
    {"Bench Int32LSB 256", 48000.0, 4, 4, 256, audiodev::SampleInt32LSB, false, false},
    {"Bench Float32LSB 64", 48000.0, 4, 4, 64, audiodev::SampleFloat32LSB, false, false},
    {"Bench Float32LSB 256", 48000.0, 4, 4, 256, audiodev::SampleFloat32LSB, false, false},
};

inline unsigned testDriverCount()
{
    return sizeof(kBenchSpecs) / sizeof(kBenchSpecs[0]);
}
inline const TestDriverSpec& testDriverSpec(unsigned index)
{
    return kBenchSpecs[index];
}
