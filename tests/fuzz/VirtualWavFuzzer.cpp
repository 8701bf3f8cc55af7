// The Virtual Device's input file: any bytes named as the input WAV are read
// block by block into every sample type, or refused.

#include "FuzzInput.h"
#include "audiodev/drivers/virtual/WavBlockReader.h"

#include <array>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr long kChannels = 4;
    constexpr long kFrames = 64;
    const fuzz::InputFile file(data, size);
    const audiodev::SampleType type =
        size > 0 && data[size - 1] % 2 ? audiodev::SampleInt16LSB : audiodev::SampleFloat32LSB;
    audiodev::WavBlockReader reader;
    if (!reader.open(file.path(), kChannels, type, kFrames))
        return 0;
    std::vector<std::array<unsigned char, kFrames * 4>> halves(kChannels);
    std::array<unsigned char*, kChannels> pointers{};
    for (long channel = 0; channel < kChannels; ++channel)
        pointers[static_cast<size_t>(channel)] = halves[static_cast<size_t>(channel)].data();
    for (int block = 0; block < 16; ++block)
        reader.pop(pointers.data(), true);
    reader.close();
    return 0;
}
