#include "madxlib/madx.h"

#include <mpg123.h>

#include <bit>
#include <cstdint>
#include <mutex>

namespace
{

// Older libmpg123 versions need one global set-up before the first handle.
void initialiseLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

// A decoder that reports success without producing output is not trusted to
// stay that way: after this many empty answers in one call it counts as stuck.
constexpr int maximumEmptyAnswersPerCall = 64;

void swapToLittleEndian(unsigned char* output, size_t bytes)
{
    if constexpr (std::endian::native == std::endian::big)
    {
        for (size_t index = 0; index + 1 < bytes; index += 2)
        {
            const unsigned char high = output[index];
            output[index] = output[index + 1];
            output[index + 1] = high;
        }
    }
    else
    {
        (void)output;
        (void)bytes;
    }
}

void noteFormat(madx_house* working, madx_stat* status)
{
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(working->decoder, &rate, &channels, &encoding) == MPG123_OK)
    {
        working->sample_rate = rate;
        // The output is forced to stereo; what the stream carries is asked separately.
        mpg123_frameinfo frame{};
        if (mpg123_info(working->decoder, &frame) == MPG123_OK)
            working->stream_channels = frame.mode == MPG123_M_MONO ? 1 : 2;
    }
    status->sample_rate = working->sample_rate;
    status->stream_channels = working->stream_channels;
}

madx_result deliver(madx_result result, size_t bytes, unsigned char* output, madx_stat* status)
{
    swapToLittleEndian(output, bytes);
    status->output_bytes = bytes;
    return result;
}

} // namespace

bool madx_init(unsigned char* output, madx_house* working)
{
    (void)output;
    initialiseLibraryOnce();
    *working = madx_house{};
    int error = MPG123_OK;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    if (decoder == nullptr)
    {
        working->failed = true;
        return false;
    }
    // Add to the default flags: replacing them would turn gapless decoding off.
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0);
    // 16-bit stereo at whatever rate the file has; no resampling in the decoder.
    mpg123_format_none(decoder);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t index = 0; index < rateCount; ++index)
        mpg123_format(decoder, rates[index], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(decoder) != MPG123_OK)
    {
        mpg123_delete(decoder);
        working->failed = true;
        return false;
    }
    working->decoder = decoder;
    working->initialised = 1;
    return true;
}

madx_result madx_read(unsigned char* input, unsigned char* output, madx_house* working,
                      madx_stat* status)
{
    status->output_bytes = 0;
    if (working->ended)
        return MADX_END;
    if (working->failed || working->decoder == nullptr)
        return MADX_ERROR;

    if (working->waiting_for_input)
    {
        working->waiting_for_input = false;
        if (status->read_bytes > 0 && status->read_address != nullptr &&
            mpg123_feed(working->decoder, status->read_address, status->read_bytes) != MPG123_OK)
        {
            working->failed = true;
            return MADX_ERROR;
        }
        if (status->end_of_file)
            working->input_finished = true;
    }

    for (int emptyAnswers = 0; emptyAnswers < maximumEmptyAnswersPerCall; ++emptyAnswers)
    {
        size_t done = 0;
        const int result = mpg123_read(working->decoder, output, MADX_OUTPUT_BUFFER_BYTES, &done);
        switch (result)
        {
        case MPG123_NEW_FORMAT:
            noteFormat(working, status);
            if (done > 0)
                return deliver(MADX_OUTPUT, done, output, status);
            break;
        case MPG123_OK:
            if (done > 0)
                return deliver(MADX_OUTPUT, done, output, status);
            break;
        case MPG123_NEED_MORE:
            if (done > 0)
                return deliver(MADX_OUTPUT, done, output, status);
            if (working->input_finished)
            {
                working->ended = true;
                return MADX_END;
            }
            working->waiting_for_input = true;
            status->read_address = input;
            // The whole buffer but its spare bytes.
            status->read_bytes = MADX_INPUT_BUFFER_BYTES - 8;
            return MADX_MORE_INPUT;
        case MPG123_DONE:
            working->ended = true;
            return deliver(MADX_END, done, output, status);
        default:
            working->failed = true;
            return MADX_ERROR;
        }
    }
    working->failed = true;
    return MADX_ERROR;
}

void madx_deinit(madx_house* working)
{
    if (working->decoder != nullptr)
    {
        mpg123_close(working->decoder);
        mpg123_delete(working->decoder);
    }
    *working = madx_house{};
}
