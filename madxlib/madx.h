#pragma once

// madxlib: MP3 decoding through three calls, driven by the caller's own file
// reads. The caller owns every buffer and both records:
//
//   1. zero the first word of the working record and of the status record,
//      then madx_init(output, &working) once per start of a file;
//   2. call madx_read(input, output, &working, &status) repeatedly:
//        MADX_ERROR       the stream cannot be decoded any further;
//        MADX_MORE_INPUT  read status.read_bytes bytes of the file to
//                         status.read_address (inside `input`), store the
//                         number actually read in status.read_bytes and, when
//                         the file is exhausted, set status.end_of_file; call
//                         again;
//        MADX_OUTPUT      status.output_bytes bytes of 16-bit little-endian
//                         interleaved stereo are in `output`;
//        MADX_END         the stream has ended; status.output_bytes bytes of
//                         its last samples are in `output`. Every later call
//                         answers MADX_END again with no bytes, never an error.
//   3. madx_deinit(&working) when playback of the file stops; the caller then
//      clears status.end_of_file.
//
// Output is always stereo at the file's own sample rate (mono files come out
// on both sides), never more than MADX_OUTPUT_BUFFER_BYTES per call. Encoder
// delay and padding are trimmed when the file says how much there is.
//
// Threads: one decoding thread per working record at a time; the library
// touches nothing global after its one-time set-up. Never call it on the audio
// thread: it allocates while decoding.

#include <cstddef>

// One flush of decoded samples: two MPEG-1 Layer III frames of 1152 stereo
// 16-bit frames each.
constexpr size_t MADX_OUTPUT_BUFFER_BYTES = 9216;
// The input buffer holds five flushes' worth of file bytes plus 8 spare bytes.
constexpr size_t MADX_INPUT_BUFFER_BYTES = 5 * MADX_OUTPUT_BUFFER_BYTES + 8;

enum madx_result : int
{
    MADX_ERROR = 0,
    MADX_MORE_INPUT = 1,
    MADX_OUTPUT = 2,
    MADX_END = 3,
};

struct mpg123_handle_struct;

// The decoder's private state. The caller allocates it and zeroes
// `initialised` before madx_init.
struct madx_house
{
    int initialised;
    mpg123_handle_struct* decoder;
    bool waiting_for_input;
    bool input_finished;
    bool ended;
    bool failed;
    long sample_rate;
    int stream_channels;
};

// What the caller and the decoder tell each other between calls.
struct madx_stat
{
    size_t output_bytes;         // bytes ready in the output buffer (MADX_OUTPUT, MADX_END)
    int end_of_file;             // set by the caller once the file has no more bytes
    size_t read_bytes;           // bytes wanted (MADX_MORE_INPUT); bytes read (caller)
    unsigned char* read_address; // where to put them, inside the input buffer
    long sample_rate;            // the stream's rate once a frame was decoded, else 0
    int stream_channels;         // 1 or 2 once a frame was decoded, else 0
};

// Returns false when the decoder cannot be created.
bool madx_init(unsigned char* output, madx_house* working);
madx_result madx_read(unsigned char* input, unsigned char* output, madx_house* working,
                      madx_stat* status);
void madx_deinit(madx_house* working);
