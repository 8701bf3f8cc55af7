// A disc image named in CORVANE_CD_DEVICE: any cue sheet with any BIN beside
// it opens or is refused; its table of contents and audio reads never run
// past what the image holds.

#include "akrip32/akrip32.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace
{
const std::string& folder()
{
    static const std::string path = []
    {
        const std::string name = "/dev/shm/corvane-fuzz-cd-" + std::to_string(getpid());
        std::filesystem::create_directories(name);
        setenv("CORVANE_CD_DEVICE", (name + "/disc.cue").c_str(), 1);
        return name;
    }();
    return path;
}

void write(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
} // namespace

// Input: the cue sheet, a zero byte, then the BIN's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* split = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t cueSize = split ? static_cast<std::size_t>(split - data) : size;
    write(folder() + "/disc.cue", data, cueSize);
    write(folder() + "/disc.bin", data + std::min(size, cueSize + 1),
          size - std::min(size, cueSize + 1));

    GETCDHAND request{};
    request.size = sizeof(GETCDHAND);
    request.version = 1;
    const HCDROM handle = GetCDHandle(&request);
    if (handle == 0)
        return 0;
    auto toc = std::make_unique<TOC>();
    if (ReadTOC(handle, toc.get()) == 1)
    {
        auto buffer = std::make_unique<TRACKBUF>();
        const int tracks = toc->lastTrack - toc->firstTrack + 1;
        for (int entry = 0; entry < std::clamp(tracks, 0, 3); ++entry)
        {
            const std::uint8_t* address = toc->tracks[entry].address;
            buffer->startBlock =
                (address[0] << 24) | (address[1] << 16) | (address[2] << 8) | address[3];
            buffer->blockCount = 2;
            buffer->capacityBytes = CD_CHUNK_BYTES;
            (void)ReadCDAudioLBA(handle, buffer.get());
        }
    }
    CloseCDHandle(handle);
    return 0;
}
