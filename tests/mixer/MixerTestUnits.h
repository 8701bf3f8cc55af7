#pragma once

// Small rack units for the mixer tests: sources that write known signals,
// an effect that turns sends into scaled returns, a recorder that keeps the
// record feed, and a listener that keeps the meter readings. None of them
// allocates in Process.

#include "app/RackProcessor.h"
#include "mixer/MixerListener.h"

#include <array>

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

// Plays two sample sequences (left, right) block after block, then silence.
struct SequenceSource : RackProcessor
{
    SequenceSource(const std::vector<float>& leftSamples, const std::vector<float>& rightSamples)
        : left(leftSamples), right(rightSamples)
    {
    }
    void Process(float**, float** out, long, long, long frames) override
    {
        ++processCalls;
        for (long frame = 0; frame < frames; ++frame, ++position)
        {
            const bool playing = position < left.size();
            out[0][frame] = playing ? left[position] : 0.0f;
            out[1][frame] = playing ? right[position] : 0.0f;
        }
    }
    const std::vector<float>& left;
    const std::vector<float>& right;
    size_t position = 0;
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

// The latest reading of each meter, and how many it got.
struct MeterLog : MixerListener
{
    void postMeterReading(int meterIndex, float decibels) noexcept override
    {
        latest[meterIndex] = decibels;
        ++count[meterIndex];
    }
    std::array<float, kMeterCount> latest{};
    std::array<unsigned, kMeterCount> count{};
};
