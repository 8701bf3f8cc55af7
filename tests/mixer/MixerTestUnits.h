#pragma once

// Small rack units for the mixer tests: sources that write known signals,
// an effect that turns sends into scaled returns, and a recorder that keeps
// the record feed. None of them allocates in Process.

#include "app/RackProcessor.h"

#include <algorithm>
#include <vector>

// Writes `left` and `right` to every frame of its two outputs and counts its
// calls.
struct ConstantSource : RackProcessor
{
    ConstantSource(float leftLevel = 0.5f, float rightLevel = -0.25f)
        : left(leftLevel), right(rightLevel)
    {
    }
    void Process(float**, float** out, long, long numOut, long frames) override
    {
        ++processCalls;
        longestBlock = std::max(longestBlock, frames);
        if (numOut < 2)
            return;
        std::fill(out[0], out[0] + frames, left);
        std::fill(out[1], out[1] + frames, right);
    }
    float left, right;
    int processCalls = 0;
    long longestBlock = 0;
};

// Plays two sample sequences (left, right) block after block.
struct SequenceSource : RackProcessor
{
    SequenceSource(const std::vector<float>& leftSamples, const std::vector<float>& rightSamples)
        : left(leftSamples), right(rightSamples)
    {
    }
    void Process(float**, float** out, long, long, long frames) override
    {
        std::copy_n(left.begin() + position, frames, out[0]);
        std::copy_n(right.begin() + position, frames, out[1]);
        position += frames;
    }
    const std::vector<float>& left;
    const std::vector<float>& right;
    long position = 0;
};

// Plays a ramp that runs on from block to block (1, 2, 3, .. on the left, the
// same negated on the right) and counts its pulls: a second pull in one block
// shows as a jump in the ramp.
struct RampSource : RackProcessor
{
    void Process(float**, float** out, long, long, long frames) override
    {
        ++processCalls;
        for (long frame = 0; frame < frames; ++frame)
        {
            ++position;
            out[0][frame] = static_cast<float>(position);
            out[1][frame] = -static_cast<float>(position);
        }
    }
    long position = 0;
    int processCalls = 0;
};

// Return k = send k x gain, on both sides.
struct ScalingEffect : RackProcessor
{
    explicit ScalingEffect(float factor = 0.5f) : gain(factor) {}
    void Process(float** in, float** out, long, long, long frames) override
    {
        for (int buffer = 0; buffer < 4; ++buffer)
            std::transform(in[buffer], in[buffer] + frames, out[buffer],
                           [this](float sample) { return sample * gain; });
    }
    float gain;
};

// Keeps the record feed of the last block (up to its capacity).
struct CapturingRecorder : RackProcessor
{
    static constexpr long kCapacity = 8192;
    void Process(float** in, float** out, long numIn, long numOut, long frames) override
    {
        ++processCalls;
        receivedOutputArray = out != nullptr || numOut != 0 || numIn != 2;
        std::copy_n(in[0], std::min(frames, kCapacity), left.begin());
        std::copy_n(in[1], std::min(frames, kCapacity), right.begin());
    }
    std::vector<float> left = std::vector<float>(kCapacity);
    std::vector<float> right = std::vector<float>(kCapacity);
    int processCalls = 0;
    bool receivedOutputArray = false;
};
