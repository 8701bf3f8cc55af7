#pragma once

// The fuzzers' input as a file: parsers that take a path read it from a
// file in memory (memfd), so a run never touches the disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz
{

class InputFile
{
public:
    InputFile(const std::uint8_t* data, std::size_t size)
        : m_descriptor(memfd_create("corvane-fuzz", 0))
    {
        for (std::size_t done = 0; m_descriptor >= 0 && done < size;)
        {
            const ssize_t written = ::write(m_descriptor, data + done, size - done);
            if (written <= 0)
                break;
            done += static_cast<std::size_t>(written);
        }
    }
    ~InputFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::string path() const { return "/proc/self/fd/" + std::to_string(m_descriptor); }

private:
    int m_descriptor;
};

} // namespace fuzz
