#include "recorder/CLameEncoder.h"

#include <dlfcn.h>

namespace
{
// Every recording is stereo at 192 kbit/s, bit-exact the same whatever the rate.
constexpr int kChannels = 2;
constexpr int kBitRateKbps = 192;

template <typename Function> bool resolve(void* module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(module, name));
    return function != nullptr;
}
} // namespace

CLameEncoder::CLameEncoder(const std::string& libraryName) : m_strLibraryName(libraryName)
{
    void* module = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return;
    const bool complete = resolve(module, "lame_init", m_init) &&
                          resolve(module, "lame_set_in_samplerate", m_setInSampleRate) &&
                          resolve(module, "lame_set_num_channels", m_setNumChannels) &&
                          resolve(module, "lame_set_mode", m_setMode) &&
                          resolve(module, "lame_set_brate", m_setBitRate) &&
                          resolve(module, "lame_set_bWriteVbrTag", m_setWriteVbrTag) &&
                          resolve(module, "lame_set_original", m_setOriginal) &&
                          resolve(module, "lame_init_params", m_initParams) &&
                          resolve(module, "lame_get_out_samplerate", m_getOutSampleRate) &&
                          resolve(module, "lame_encode_buffer_interleaved", m_encodeInterleaved) &&
                          resolve(module, "lame_encode_flush", m_flush) &&
                          resolve(module, "lame_get_lametag_frame", m_getLameTagFrame) &&
                          resolve(module, "lame_close", m_close);
    if (!complete)
    {
        dlclose(module);
        return;
    }
    m_hModule = module;
}

CLameEncoder::~CLameEncoder()
{
    if (m_hModule != nullptr)
        dlclose(m_hModule);
}

lame_global_flags* CLameEncoder::openStream(int inputRate) const
{
    if (!loaded())
        return nullptr;
    lame_global_flags* stream = m_init();
    if (stream == nullptr)
        return nullptr;
    m_setInSampleRate(stream, inputRate);
    m_setNumChannels(stream, kChannels);
    m_setMode(stream, STEREO);
    m_setBitRate(stream, kBitRateKbps);
    m_setWriteVbrTag(stream, 1);
    // LAME marks streams "original" unless told otherwise.
    m_setOriginal(stream, 0);
    if (m_initParams(stream) < 0)
    {
        m_close(stream);
        return nullptr;
    }
    return stream;
}

int CLameEncoder::outputRate(lame_global_flags* stream) const
{
    return m_getOutSampleRate(stream);
}

int CLameEncoder::encode(lame_global_flags* stream, const short* interleaved, int frames,
                         unsigned char* output, int capacity) const
{
    // LAME's signature is not const-correct; it only reads the samples.
    return m_encodeInterleaved(stream, const_cast<short*>(interleaved), frames, output, capacity);
}

int CLameEncoder::flush(lame_global_flags* stream, unsigned char* output, int capacity) const
{
    return m_flush(stream, output, capacity);
}

size_t CLameEncoder::tagFrame(lame_global_flags* stream, unsigned char* output,
                              size_t capacity) const
{
    const size_t bytes = m_getLameTagFrame(stream, output, capacity);
    return bytes <= capacity ? bytes : 0;
}

void CLameEncoder::closeStream(lame_global_flags* stream) const
{
    if (stream != nullptr)
        m_close(stream);
}
