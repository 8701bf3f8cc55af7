#pragma once

// MP3StreamDecoder: one open MP3 file and the madxlib decoder reading it,
// turning the decoder's 16-bit stereo flushes into float samples on demand.
// Samples of a flush that do not fit the caller's buffer are kept for the
// next call, so consecutive calls continue the stream sample for sample.
//
// Threads: whichever thread holds the player's decoder lock (load thread,
// refill worker, or a thread stopping playback). Never the audio thread: it
// reads the file and the decoder allocates.

#include "madxlib/madx.h"

#include <cstdio>
#include <string>
#include <vector>

class MP3StreamDecoder
{
public:
    MP3StreamDecoder();
    ~MP3StreamDecoder();
    MP3StreamDecoder(const MP3StreamDecoder&) = delete;
    MP3StreamDecoder& operator=(const MP3StreamDecoder&) = delete;

    // Takes ownership of an open file (closing any earlier one).
    void adoptFile(std::FILE* file);
    void closeFile();
    bool hasFile() const { return m_file != nullptr; }

    // Starts decoding the file from its current position.
    void begin();

    enum class Outcome
    {
        Filled,      // the buffer is full; the stream goes on
        StreamEnded, // the decoder reported the end of the stream
        Error,       // the decoder cannot go on
    };
    struct Result
    {
        size_t floatsWritten = 0;
        Outcome outcome = Outcome::Filled;
    };
    // Writes up to floatsWanted interleaved stereo samples (full scale ±1).
    Result decode(float* destination, size_t floatsWanted);

    // Empties the decoder: feeds it the end of the file, discards what it
    // still gives, ends it, and moves the file back to its start.
    void drain();

    // Whether the decoder finds audio in the file at path: false for a file
    // it cannot open, an empty one, or one of another kind (no frame decodes).
    static bool decodesAudio(const std::string& path);

    // The stream's rate once the decoder has seen a frame, else 0.
    long streamSampleRate() const { return m_status.sample_rate; }

private:
    void provideInput();
    size_t takeCarriedSamples(float* destination, size_t floatsWanted);

    std::FILE* m_file = nullptr;
    std::vector<unsigned char> m_input;
    std::vector<unsigned char> m_output;
    madx_house m_working;
    madx_stat m_status;
    bool m_bDecoding = false;
    // Bytes of the last flush not yet handed out, and where they start.
    size_t m_carriedOffset = 0;
    size_t m_carriedBytes = 0;
};
