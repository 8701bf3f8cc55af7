#include "players/MP3StreamDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{
// 16-bit full scale.
constexpr float sampleScale = 1.0f / 32768.0f;

// Calls of madx_read that one decode or drain may make before the stream is
// taken as broken; every real call either reads the file or yields samples,
// so this is only reached by a decoder that makes no progress.
constexpr int maximumCallsWithoutProgress = 1000;

inline float sampleAt(const unsigned char* bytes)
{
    return static_cast<float>(static_cast<int16_t>(bytes[0] | (bytes[1] << 8))) * sampleScale;
}
} // namespace

MP3StreamDecoder::MP3StreamDecoder()
    : m_input(MADX_INPUT_BUFFER_BYTES), m_output(MADX_OUTPUT_BUFFER_BYTES)
{
    std::memset(&m_working, 0, sizeof m_working);
    std::memset(&m_status, 0, sizeof m_status);
}

MP3StreamDecoder::~MP3StreamDecoder()
{
    if (m_bDecoding)
        madx_deinit(&m_working);
    closeFile();
}

void MP3StreamDecoder::adoptFile(std::FILE* file)
{
    closeFile();
    m_file = file;
}

void MP3StreamDecoder::closeFile()
{
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
}

void MP3StreamDecoder::begin()
{
    if (m_bDecoding)
        madx_deinit(&m_working);
    m_working.initialised = 0;
    std::memset(&m_status, 0, sizeof m_status);
    madx_init(m_output.data(), &m_working);
    m_bDecoding = true;
    m_carriedOffset = 0;
    m_carriedBytes = 0;
}

void MP3StreamDecoder::provideInput()
{
    size_t got = 0;
    if (m_file != nullptr && m_status.read_address != nullptr)
        got = std::fread(m_status.read_address, 1, m_status.read_bytes, m_file);
    // A short read means the end of the file (or a read error, which ends it too).
    if (got < m_status.read_bytes)
        m_status.end_of_file = 1;
    m_status.read_bytes = got;
}

size_t MP3StreamDecoder::takeCarriedSamples(float* destination, size_t floatsWanted)
{
    const size_t floats = std::min(floatsWanted, m_carriedBytes / 2);
    const unsigned char* bytes = m_output.data() + m_carriedOffset;
    for (size_t index = 0; index < floats; ++index)
        destination[index] = sampleAt(bytes + index * 2);
    m_carriedOffset += floats * 2;
    m_carriedBytes -= floats * 2;
    return floats;
}

MP3StreamDecoder::Result MP3StreamDecoder::decode(float* destination, size_t floatsWanted)
{
    Result result;
    result.floatsWritten = takeCarriedSamples(destination, floatsWanted);
    if (!m_bDecoding)
    {
        result.outcome = Outcome::Error;
        return result;
    }
    int callsWithoutProgress = 0;
    while (result.floatsWritten < floatsWanted)
    {
        if (++callsWithoutProgress > maximumCallsWithoutProgress)
        {
            result.outcome = Outcome::Error;
            return result;
        }
        const madx_result status =
            madx_read(m_input.data(), m_output.data(), &m_working, &m_status);
        switch (status)
        {
        case MADX_MORE_INPUT:
            provideInput();
            callsWithoutProgress = 0;
            break;
        case MADX_OUTPUT:
        case MADX_END:
            m_carriedOffset = 0;
            m_carriedBytes = m_status.output_bytes & ~size_t{1};
            if (m_carriedBytes > 0)
                callsWithoutProgress = 0;
            result.floatsWritten += takeCarriedSamples(destination + result.floatsWritten,
                                                       floatsWanted - result.floatsWritten);
            if (status == MADX_END)
            {
                // Samples that did not fit are still handed out by the next call.
                result.outcome = m_carriedBytes > 0 ? Outcome::Filled : Outcome::StreamEnded;
                return result;
            }
            break;
        case MADX_ERROR:
        default:
            result.outcome = Outcome::Error;
            return result;
        }
    }
    return result;
}

void MP3StreamDecoder::drain()
{
    if (!m_bDecoding)
        return;
    if (m_file != nullptr)
        std::fseek(m_file, 0, SEEK_END);
    for (int call = 0; call < maximumCallsWithoutProgress; ++call)
    {
        const madx_result status =
            madx_read(m_input.data(), m_output.data(), &m_working, &m_status);
        if (status == MADX_MORE_INPUT)
            provideInput();
        else if (status == MADX_END || status == MADX_ERROR)
            break;
    }
    madx_deinit(&m_working);
    m_bDecoding = false;
    m_status.end_of_file = 0;
    m_carriedOffset = 0;
    m_carriedBytes = 0;
    if (m_file != nullptr)
        std::fseek(m_file, 0, SEEK_SET);
}

bool MP3StreamDecoder::decodesAudio(const std::string& path)
{
    MP3StreamDecoder probe;
    probe.adoptFile(std::fopen(path.c_str(), "rb"));
    if (!probe.hasFile())
        return false;
    probe.begin();
    // One stereo frame is proof enough: the decoder gives nothing before its
    // first valid frame.
    float firstFrame[2];
    return probe.decode(firstFrame, 2).floatsWritten > 0;
}
