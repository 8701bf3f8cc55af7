#pragma once

// MP3HalfStore: the players' two-half playback store. Each half holds
// decoded stereo frames (the MP3 player's 115200, about 2.6 s at 44100 Hz;
// the CD player's 54 blocks) and, when the source rate differs from the
// device rate, their conversion. The audio thread reads one half while a
// worker refills the other.
//
// Ownership of a half passes by its atomic state: Ready halves belong to the
// reader, Consumed and Filling halves to the filler, so the two never touch
// the same samples. A half the reader needs that is not Ready yet is a late
// refill: it is counted and the reader plays silence until the half arrives,
// never stale or half-written samples.
//
// The half that holds the end of a stream is published as its last: it ends
// at its last decoded frame, and once the reader has played it the reader
// hands it back at once (so the filler learns the stream is over) and plays
// silence, not the other half, until the store is rewound.
//
// Threads: read() runs on the audio thread and never allocates, locks or
// waits. The fill side runs on the thread that holds the player's decoder
// lock. rewind() only while the reader is stopped.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class MP3HalfStore
{
public:
    // 115200 frames: 2.6 s at 44100 Hz, long enough for any refill to finish.
    static constexpr size_t halfFrames = 115200;
    static constexpr size_t halfFloats = halfFrames * 2;
    // Three times a raw half: room for every conversion ratio up to 3.
    static constexpr size_t convertedFrames = 3 * halfFrames;

    enum class HalfState : int
    {
        Ready,    // filled; the reader may play it
        Consumed, // played out; waiting for the refill worker
        Filling,  // being filled
    };

    // The MP3 player's sizes.
    MP3HalfStore();
    // Another player's sizes, in stereo frames per half.
    MP3HalfStore(size_t rawFrames, size_t convertedFrames);
    // While the reader is stopped and no fill runs: room for at least
    // `frames` converted frames per half (kept as they are).
    void reserveConverted(size_t frames);
    size_t convertedCapacity() const { return m_halves[0].converted.size() / 2; }

    // Filler side.
    float* rawHalf(int half) { return m_halves[half].raw.data(); }
    float* convertedHalf(int half) { return m_halves[half].converted.data(); }
    // Takes a Consumed half for refilling; false when it is not Consumed.
    bool claimForRefill(int half);
    // Hands a filled half to the reader, which plays endIndex floats of it
    // from the converted buffer when converted is set, else from the raw one.
    // lastOfStream: nothing follows it; endIndex may then be 0.
    void publish(int half, bool converted, size_t endIndex, bool lastOfStream = false);
    HalfState state(int half) const { return m_halves[half].state.load(std::memory_order_acquire); }

    // While the reader is stopped: both halves go to the filler and the reader
    // starts again at the beginning of half A.
    void rewind();

    struct ReadResult
    {
        size_t framesPlayed = 0;
        int halvesFinished = 0;
    };
    // Audio thread. Writes frames samples to each output; what cannot be
    // played (a late half, the time after the last half) is silence.
    ReadResult read(float* left, float* right, size_t frames) noexcept;

    // Times the reader reached a half that was not refilled yet.
    uint64_t lateRefills() const { return m_lateRefills.load(std::memory_order_relaxed); }
    int readingHalf() const { return m_nReadingHalf; }

private:
    struct Half
    {
        std::vector<float> raw;
        std::vector<float> converted;
        std::atomic<HalfState> state{HalfState::Filling};
        bool m_bConverted = false;
        bool m_bLastOfStream = false;
        size_t endIndex = 0;
    };

    Half m_halves[2];
    // Reader position: owned by the audio thread while playing.
    int m_nReadingHalf = 0;
    size_t m_nReadIndex = 0;
    bool m_bWaitingForLateHalf = false;
    bool m_bStreamFinished = false;
    std::atomic<uint64_t> m_lateRefills{0};
};
