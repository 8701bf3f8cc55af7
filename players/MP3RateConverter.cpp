#include "players/MP3RateConverter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int stereo = 2;
// Room left for frames the converter held back from earlier calls: its sinc
// filter's look-ahead, far below this at any ratio Corvane uses.
constexpr long outputMarginFrames = 4096;
} // namespace

MP3RateConverter::MP3RateConverter(Quality quality)
{
    int error = 0;
    m_state = src_new(quality == Quality::Linear ? SRC_LINEAR : SRC_SINC_FASTEST, stereo, &error);
}

MP3RateConverter::~MP3RateConverter()
{
    if (m_state != nullptr)
        src_delete(m_state);
}

void MP3RateConverter::reset()
{
    if (m_state != nullptr)
        src_reset(m_state);
}

long MP3RateConverter::convert(const float* input, long inputFrames, float* output,
                               long outputCapacityFrames, double ratio, bool endOfInput)
{
    if (m_state == nullptr || inputFrames < 0 || (inputFrames == 0 && !endOfInput))
        return 0;
    long generated = 0;
    long used = 0;
    // At the end of the input the converter is called until it has given
    // out everything it held back.
    while ((used < inputFrames || endOfInput) && generated < outputCapacityFrames)
    {
        SRC_DATA request{};
        request.data_in = input + used * stereo;
        request.input_frames = inputFrames - used;
        request.data_out = output + generated * stereo;
        request.output_frames = outputCapacityFrames - generated;
        request.end_of_input = endOfInput ? 1 : 0;
        request.src_ratio = ratio;
        if (src_process(m_state, &request) != 0)
            break;
        used += request.input_frames_used;
        generated += request.output_frames_gen;
        if (request.input_frames_used == 0 && request.output_frames_gen == 0)
            break;
    }
    m_droppedInputFrames += static_cast<size_t>(inputFrames - used);
    return generated;
}

bool MP3RateConverter::conversionNeeded(double fileRate, double deviceRate)
{
    return fileRate != 0.0 && deviceRate > 0.0 && std::abs(fileRate - deviceRate) > 1.0;
}

long MP3RateConverter::inputFramesThatFit(double ratio, long halfFrames, long outputCapacityFrames)
{
    if (ratio <= 0.0)
        return halfFrames;
    const long fitting =
        static_cast<long>(std::floor((outputCapacityFrames - outputMarginFrames) / ratio));
    return std::clamp(fitting, 1L, halfFrames);
}
