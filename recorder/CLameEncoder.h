#pragma once

// CLameEncoder: the LAME MP3 encoder, found at run time. The program runs
// without it (the recorder then says which library it could not find), so
// nothing links against it: the entry points are looked up by name and each
// recording drives one encoder stream through them.
//
// Threads: the library is loaded on the GUI thread at construction; a stream
// is opened on the GUI thread and then used by one thread at a time (the
// recording's encoder worker).

#include <lame/lame.h>

#include <cstddef>
#include <string>

class CLameEncoder
{
public:
    // The encoder library as the system's loader names it.
    static constexpr const char* kLibraryName = "libmp3lame.so.0";
    // Bytes one call may produce for `frames` frames: LAME's own worst case,
    // 1.25 × samples + 7200.
    static constexpr int outputCapacity(int frames) { return frames + frames / 4 + 7200; }

    explicit CLameEncoder(const std::string& libraryName = kLibraryName);
    ~CLameEncoder();
    CLameEncoder(const CLameEncoder&) = delete;
    CLameEncoder& operator=(const CLameEncoder&) = delete;

    // The library and every entry point the recorder calls were found.
    bool loaded() const { return m_hModule != nullptr; }
    const std::string& libraryName() const { return m_strLibraryName; }

    // A stereo CBR 192 kbit/s stream taking `inputRate` Hz, with the LAME tag
    // frame reserved at its start; nullptr when LAME refuses the settings.
    lame_global_flags* openStream(int inputRate) const;
    // The rate LAME writes (it halves 96 kHz input to 48 kHz at 192 kbit/s).
    int outputRate(lame_global_flags* stream) const;
    // Interleaved 16-bit frames in; MP3 bytes out (their count, < 0 on error).
    int encode(lame_global_flags* stream, const short* interleaved, int frames,
               unsigned char* output, int capacity) const;
    // The last MP3 frames (their byte count, < 0 on error).
    int flush(lame_global_flags* stream, unsigned char* output, int capacity) const;
    // The finished tag frame that replaces the reserved first frame; 0 when
    // there is none or it does not fit.
    size_t tagFrame(lame_global_flags* stream, unsigned char* output, size_t capacity) const;
    void closeStream(lame_global_flags* stream) const;

private:
    std::string m_strLibraryName;
    void* m_hModule = nullptr;
    lame_global_flags* (*m_init)() = nullptr;
    int (*m_setInSampleRate)(lame_global_flags*, int) = nullptr;
    int (*m_setNumChannels)(lame_global_flags*, int) = nullptr;
    int (*m_setMode)(lame_global_flags*, MPEG_mode) = nullptr;
    int (*m_setBitRate)(lame_global_flags*, int) = nullptr;
    int (*m_setWriteVbrTag)(lame_global_flags*, int) = nullptr;
    int (*m_setOriginal)(lame_global_flags*, int) = nullptr;
    int (*m_initParams)(lame_global_flags*) = nullptr;
    int (*m_getOutSampleRate)(const lame_global_flags*) = nullptr;
    int (*m_encodeInterleaved)(lame_global_flags*, short int*, int, unsigned char*, int) = nullptr;
    int (*m_flush)(lame_global_flags*, unsigned char*, int) = nullptr;
    size_t (*m_getLameTagFrame)(const lame_global_flags*, unsigned char*, size_t) = nullptr;
    int (*m_close)(lame_global_flags*) = nullptr;
};
