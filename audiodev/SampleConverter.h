#pragma once

// Conversion between a driver's native channel buffers and Corvane's 32-bit
// float blocks. One pass per channel, no allocation, no state: safe on the
// audio thread.
//
// Integer formats are scaled by powers of two on the way in and truncated
// toward zero on the way out (so -1.0 in 16 bits is -32767, never -32768).
// Samples outside +-1.0 saturate at the format's limits instead of wrapping.
// Formats Corvane does not convert (big-endian, 64-bit, packed-in-32) read as
// silence and write zero bytes; unknown formats leave the driver's buffer as
// it is.

#include "audiodev/AudioDriver.h"

namespace audiodev
{

class __attribute__((visibility("default"))) SampleConverter
{
public:
    // Bytes one sample takes in the driver's buffer; 0 for an unknown type.
    static size_t bytesPerSample(long sampleType) noexcept;

    // Driver buffer (`frames` samples of sampleType) into floats.
    static void toFloat(const void* source, float* destination, long frames,
                        long sampleType) noexcept;

    // Floats into the driver's buffer.
    static void fromFloat(const float* source, void* destination, long frames,
                          long sampleType) noexcept;
};

} // namespace audiodev
