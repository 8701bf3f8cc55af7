#pragma once

// What the end-to-end MP3 tests share: the mixer engine standing in for the
// mixer unit at the root of the amplifier's chain, with the MP3 player on its
// channel 3 at unity, and the search for the stretches of a recorded output
// where a tone sounds.

#include "mixer/MixerEngine.h"
#include "players/MP3Rack.h"
#include "support/RealtimeTrap.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <functional>
#include <vector>

namespace mp3test
{

// The mixer as the chain root: the amplifier calls Process on the audio
// thread and SetSampleRate at power on and off. Each block runs with the
// real-time trap armed, so a test can assert the mixer and the MP3 player
// neither allocated nor locked.
class MixerChain : public RackProcessor
{
public:
    static constexpr int kMp3Channel = 2; // channel 3, the first stereo channel

    explicit MixerChain(CMP3Rack& player) : m_player(player)
    {
        mixer.SetSources(&player, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        MixerControlState& controls = mixer.controls();
        controls.channels[kMp3Channel].source = MixerSourceTable::Mp3Player;
        controls.channels[kMp3Channel].fader = 100;
        controls.masterLevel[0] = 100;
        controls.masterLevel[1] = 100;
        mixer.UpdateRouting();
    }

    // Audio thread.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override
    {
        realtime_trap::armCurrentThread();
        mixer.Process(in, out, numIn, numOut, frames);
        realtime_trap::disarmCurrentThread();
        // A fast device runs blocks far quicker than real time; waiting here
        // for the player's load and refill threads keeps the run what a real
        // device gives them (seconds per half), and deterministic.
        if (m_bPaceToWorkers)
            m_player.engine().waitUntilIdle();
        m_blocks.fetch_add(1);
        if (m_afterBlock)
            m_afterBlock();
    }

    void SetSampleRate(float rate) override
    {
        mixer.SetSampleRate(rate);
        RackProcessor::SetSampleRate(rate);
    }

    // The gain from the player's output to device outputs 1 and 2: trim 0 dB,
    // channel fader, centre pan, master.
    float unityPathGain() const
    {
        const MixerGainLaws& laws = mixer.gainLaws();
        return laws.trim(0) * laws.fader(100) * laws.panLeft(50) * laws.fader(100);
    }

    long blocks() const { return m_blocks.load(); }

    MixerEngine mixer;
    // Set before power on.
    bool m_bPaceToWorkers = false;
    // Runs on the device's thread after each block, outside the trap: a test
    // acts here at an exact point of playback, which a fast device would
    // otherwise run past while the test thread looks.
    std::function<void()> m_afterBlock;

private:
    CMP3Rack& m_player;
    std::atomic<long> m_blocks{0};
};

// A stretch [begin, end) of samples where a tone sounds.
struct SoundingStretch
{
    size_t begin;
    size_t end;
    size_t length() const { return end - begin; }
};

// Stretches where |x| exceeds threshold, split wherever it stays below the
// threshold for at least minimumGap samples (a sine crosses zero every half
// period, so the gap must be longer than that).
inline std::vector<SoundingStretch> findSoundingStretches(const std::vector<float>& samples,
                                                          float threshold, size_t minimumGap)
{
    std::vector<SoundingStretch> stretches;
    bool inside = false;
    size_t lastLoud = 0;
    for (size_t index = 0; index < samples.size(); ++index)
    {
        if (std::abs(samples[index]) <= threshold)
            continue;
        if (inside && index - lastLoud >= minimumGap)
        {
            stretches.back().end = lastLoud + 1;
            inside = false;
        }
        if (!inside)
        {
            stretches.push_back({index, index + 1});
            inside = true;
        }
        lastLoud = index;
    }
    if (inside)
        stretches.back().end = lastLoud + 1;
    return stretches;
}

} // namespace mp3test
