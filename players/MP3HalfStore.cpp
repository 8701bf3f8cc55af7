#include "players/MP3HalfStore.h"

#include "platform/Prefetch.h"

#include <algorithm>

MP3HalfStore::MP3HalfStore() : MP3HalfStore(halfFrames, convertedFrames) {}

MP3HalfStore::MP3HalfStore(size_t rawFrames, size_t convertedFrames)
{
    for (Half& half : m_halves)
    {
        half.raw.assign(rawFrames * 2, 0.0f);
        half.converted.assign(convertedFrames * 2, 0.0f);
    }
}

void MP3HalfStore::reserveConverted(size_t frames)
{
    for (Half& half : m_halves)
        if (half.converted.size() < frames * 2)
            half.converted.resize(frames * 2, 0.0f);
}

bool MP3HalfStore::claimForRefill(int half)
{
    HalfState expected = HalfState::Consumed;
    return m_halves[half].state.compare_exchange_strong(expected, HalfState::Filling,
                                                        std::memory_order_acquire);
}

void MP3HalfStore::publish(int half, bool converted, size_t endIndex, bool lastOfStream)
{
    Half& target = m_halves[half];
    target.m_bConverted = converted;
    target.m_bLastOfStream = lastOfStream;
    target.endIndex = std::min(endIndex, converted ? target.converted.size() : target.raw.size());
    target.state.store(HalfState::Ready, std::memory_order_release);
}

void MP3HalfStore::rewind()
{
    for (Half& half : m_halves)
        half.state.store(HalfState::Filling, std::memory_order_relaxed);
    m_nReadingHalf = 0;
    m_nReadIndex = 0;
    m_bWaitingForLateHalf = false;
    m_bStreamFinished = false;
}

MP3HalfStore::ReadResult MP3HalfStore::read(float* left, float* right, size_t frames) noexcept
{
    ReadResult result;
    size_t written = 0;
    // At most two switches per block matter: after both halves the reader
    // necessarily meets a half that is not Ready.
    while (written < frames)
    {
        Half& half = m_halves[m_nReadingHalf];
        if (m_bStreamFinished)
        {
            std::fill(left + written, left + frames, 0.0f);
            std::fill(right + written, right + frames, 0.0f);
            break;
        }
        if (half.state.load(std::memory_order_acquire) != HalfState::Ready)
        {
            if (!m_bWaitingForLateHalf)
            {
                m_bWaitingForLateHalf = true;
                m_lateRefills.fetch_add(1, std::memory_order_relaxed);
            }
            std::fill(left + written, left + frames, 0.0f);
            std::fill(right + written, right + frames, 0.0f);
            break;
        }
        m_bWaitingForLateHalf = false;

        const float* source =
            (half.m_bConverted ? half.converted.data() : half.raw.data()) + m_nReadIndex;
        const size_t available = (half.endIndex - std::min(m_nReadIndex, half.endIndex)) / 2;
        const size_t count = std::min(available, frames - written);
        for (size_t frame = 0; frame < count; ++frame)
        {
            left[written + frame] = source[frame * 2];
            right[written + frame] = source[frame * 2 + 1];
        }
        written += count;
        result.framesPlayed += count;
        m_nReadIndex += count * 2;

        if (m_nReadIndex + 1 >= half.endIndex)
        {
            // This half is played out: hand it back and go on in the other,
            // unless it ended the stream.
            m_bStreamFinished = half.m_bLastOfStream;
            half.state.store(HalfState::Consumed, std::memory_order_release);
            ++result.halvesFinished;
            m_nReadingHalf ^= 1;
            m_nReadIndex = 0;
        }
    }
    // The next block's samples, where the half being read has them: the
    // refill worker wrote them on another core.
    const Half& next = m_halves[m_nReadingHalf];
    if (!m_bStreamFinished && next.state.load(std::memory_order_acquire) == HalfState::Ready &&
        m_nReadIndex < next.endIndex)
    {
        const float* const samples = next.m_bConverted ? next.converted.data() : next.raw.data();
        const size_t count = std::min(frames * 2, next.endIndex - m_nReadIndex);
        platform::prefetchForRead(samples + m_nReadIndex, count * sizeof(float));
    }
    return result;
}
