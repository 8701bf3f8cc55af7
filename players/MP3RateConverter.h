#pragma once

// MP3RateConverter: brings a player's audio (interleaved stereo) to the
// device rate with libsamplerate: the fastest sinc converter for MP3 files,
// linear interpolation for CD audio. The converter keeps
// its state from one half of the playback store to the next, so the halves
// join without a seam; reset() starts a new stream.
//
// Threads: whichever thread holds the player's decoder lock. Never the audio
// thread.

#include <cstddef>

typedef struct SRC_STATE_tag SRC_STATE;

class MP3RateConverter
{
public:
    enum class Quality
    {
        SincFastest,
        Linear,
    };
    explicit MP3RateConverter(Quality quality = Quality::SincFastest);
    ~MP3RateConverter();
    MP3RateConverter(const MP3RateConverter&) = delete;
    MP3RateConverter& operator=(const MP3RateConverter&) = delete;

    void reset();

    // Converts inputFrames stereo frames at ratio = device rate / file rate
    // into output, at most outputCapacityFrames; returns the frames written.
    // Input that does not fit is dropped and counted. endOfInput: this is the
    // stream's last input, so the frames the converter holds back for its
    // look-ahead come out too; reset() before the next stream.
    long convert(const float* input, long inputFrames, float* output, long outputCapacityFrames,
                 double ratio, bool endOfInput = false);

    size_t droppedInputFrames() const { return m_droppedInputFrames; }

    // A file rate of 0 (unknown) or within 1 Hz of the device rate plays as it is.
    static bool conversionNeeded(double fileRate, double deviceRate);

    // How many input frames (at most halfFrames) can be converted at ratio
    // without the output passing outputCapacityFrames, converter look-ahead
    // included.
    static long inputFramesThatFit(double ratio, long halfFrames, long outputCapacityFrames);

private:
    SRC_STATE* m_state = nullptr;
    size_t m_droppedInputFrames = 0;
};
