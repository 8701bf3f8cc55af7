#pragma once

// Four stereo channels' equaliser chains side by side in the four lanes of
// one AVX register, where the processor has AVX (checked at run time; the
// program itself is built for plain x86-64). Each lane performs exactly the
// operations of MixerEqualiserChain::filter in the same order, so the
// results are bit-identical to running the chains one after the other.
//
// Threads: audio thread only. Never allocates or locks.

#include "mixer/MixerEqualiserChain.h"

#include <array>

namespace mixer_equaliser_quad
{

// Whether this processor can run equaliseFourStereoChannels. Call once,
// outside the audio thread.
bool available() noexcept;

// Runs four channels' chains over their buffers in place: per frame the left
// samples through the left chains and the right samples through the right
// chains (two independent four-lane steps). A frame whose gate is closed in
// any of the four channels runs on the chains one by one, skipping those with
// a closed gate.
void equaliseFourStereoChannels(const std::array<MixerEqualiserChain*, 4>& leftChains,
                                const std::array<MixerEqualiserChain*, 4>& rightChains,
                                const std::array<float*, 4>& left,
                                const std::array<float*, 4>& right,
                                const std::array<const unsigned char*, 4>& gates,
                                long frames) noexcept;

} // namespace mixer_equaliser_quad
