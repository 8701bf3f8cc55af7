#pragma once

// Small rack units for the mixer tests: a source that writes a known signal,
// an effect that turns sends into scaled returns, and a recorder that keeps
// the record feed. None of them allocates in Process.

#include "app/RackProcessor.h"

#include <algorithm>
#include <array>
#include <vector>

// Writes `left` and `right` to every frame of its two outputs and counts its
// calls.
class ConstantSource : public RackProcessor
{
public:
    ConstantSource(float left = 0.5f, float right = -0.25f) : m_left(left), m_right(right) {}
    void Process(float**, float** out, long, long numOut, long frames) override
    {
        ++processCalls;
        longestBlock = std::max(longestBlock, frames);
        if (numOut < 2)
            return;
        std::fill(out[0], out[0] + frames, m_left);
        std::fill(out[1], out[1] + frames, m_right);
    }
    int processCalls = 0;
    long longestBlock = 0;

private:
    float m_left;
    float m_right;
};

// Plays two given sample sequences (left, right) block after block.
class SequenceSource : public RackProcessor
{
public:
    SequenceSource(std::vector<float> left, std::vector<float> right)
        : m_left(std::move(left)), m_right(std::move(right))
    {
    }
    void Process(float**, float** out, long, long, long frames) override
    {
        for (long frame = 0; frame < frames; ++frame, ++m_position)
        {
            out[0][frame] = m_position < m_left.size() ? m_left[m_position] : 0.0f;
            out[1][frame] = m_position < m_right.size() ? m_right[m_position] : 0.0f;
        }
    }

private:
    std::vector<float> m_left;
    std::vector<float> m_right;
    size_t m_position = 0;
};

// Return k = send k x gain, on both sides.
class ScalingEffect : public RackProcessor
{
public:
    explicit ScalingEffect(float gain = 0.5f) : m_gain(gain) {}
    void Process(float** in, float** out, long, long, long frames) override
    {
        for (int buffer = 0; buffer < 4; ++buffer)
        {
            for (long frame = 0; frame < frames; ++frame)
                out[buffer][frame] = in[buffer][frame] * m_gain;
        }
    }

private:
    float m_gain;
};

// Keeps the record feed of the last block (up to its capacity).
class CapturingRecorder : public RackProcessor
{
public:
    static constexpr long kCapacity = 8192;
    CapturingRecorder() : left(kCapacity), right(kCapacity) {}
    void Process(float** in, float** out, long numIn, long numOut, long frames) override
    {
        ++processCalls;
        receivedOutputArray = out != nullptr || numOut != 0 || numIn != 2;
        frames = std::min(frames, kCapacity);
        std::copy(in[0], in[0] + frames, left.begin());
        std::copy(in[1], in[1] + frames, right.begin());
        lastFrames = frames;
    }
    std::vector<float> left;
    std::vector<float> right;
    long lastFrames = 0;
    int processCalls = 0;
    bool receivedOutputArray = false;
};
