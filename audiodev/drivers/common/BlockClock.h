#pragma once

// Paces a driver's audio thread at the block rate: waitForNextBlock sleeps
// until block n is due (start + n * frames / rate). A device that blocks on
// its own (a sound card) is always late, so the clock never sleeps for it;
// one that never blocks (a software device, ALSA's "null" PCM) is held to
// real time instead of spinning a core. After a long stall the clock starts
// over rather than rushing through the missed blocks.
//
// Threads: the driver's audio thread only.

#include <cstdint>
#include <ctime>

namespace audiodev
{

class BlockClock
{
public:
    void start(double sampleRate, long framesPerBlock) noexcept;
    void waitForNextBlock() noexcept;

private:
    timespec m_start{};
    int64_t m_blockNumber = 0;
    double m_blockNanoseconds = 0.0;
};

} // namespace audiodev
