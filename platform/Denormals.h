#pragma once

// Flush-to-zero and denormals-are-zero for the audio thread, so filters that
// decay towards silence never cost a spike. Restores the previous mode when
// the scope ends.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace platform
{

class ScopedNoDenormals
{
public:
    ScopedNoDenormals() noexcept
    {
#if defined(__SSE__) || defined(__x86_64__)
        m_previous = _mm_getcsr();
        // Bit 15 is flush-to-zero, bit 6 denormals-are-zero.
        _mm_setcsr(m_previous | 0x8040);
#endif
    }
    ~ScopedNoDenormals()
    {
#if defined(__SSE__) || defined(__x86_64__)
        _mm_setcsr(m_previous);
#endif
    }
    ScopedNoDenormals(const ScopedNoDenormals&) = delete;
    ScopedNoDenormals& operator=(const ScopedNoDenormals&) = delete;

private:
    unsigned int m_previous = 0;
};

} // namespace platform
