#pragma once

// Helpers the CMASIO tests share: finding and loading a driver by its listed
// name, waiting for what the audio thread does, and a user callback that
// plays a tone and records its input.

#include "audiodev/MASIO.h"
#include "support/RealtimeTrap.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

inline int indexOf(CMASIO& host, const std::string& name)
{
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (name == host.getDriverName(index))
            return int(index);
    return -1;
}

// loaddriver's result; 0 when no driver of that name is listed.
template <typename Data>
int loadByName(CMASIO& host, const std::string& name, MASIOCallback callback, Data* data)
{
    return host.loaddriver(unsigned(indexOf(host, name)), callback,
                           reinterpret_cast<unsigned long>(data));
}

template <typename Condition> bool waitFor(Condition condition, double seconds = 10.0)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The tone: 1 kHz at 48000 Hz, output channel c at amplitude 0.5 / (c + 1).
inline float toneSample(long channel, long frame)
{
    return float(0.5 / double(channel + 1) *
                 std::sin(2.0 * M_PI * 1000.0 * double(frame) / 48000.0));
}

struct ToneState
{
    std::atomic<long> blocks{0};
    std::atomic<long> frames{0};
    // The first 512 frames of input channel 0.
    std::vector<float> captured = std::vector<float>(512, 99.0f);
    // Arms the real-time trap on the audio thread from its first block on.
    bool armTrap = false;
};

inline long toneCallback(float** in, float** out, long numIn, long numOut, long frames, long,
                         unsigned long userData)
{
    auto* state = reinterpret_cast<ToneState*>(userData);
    if (state->armTrap)
        realtime_trap::armCurrentThread();
    const long first = state->frames.load();
    for (long channel = 0; channel < numOut; ++channel)
        for (long frame = 0; frame < frames; ++frame)
            out[channel][frame] = toneSample(channel, first + frame);
    for (long frame = 0; numIn > 0 && frame < frames; ++frame)
        if (size_t(first + frame) < state->captured.size())
            state->captured[size_t(first + frame)] = in[0][frame];
    state->frames += frames;
    ++state->blocks;
    return 0;
}
