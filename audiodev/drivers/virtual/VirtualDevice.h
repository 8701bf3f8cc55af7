#pragma once

// The Virtual Device: a sound device in software, clocked by its own thread
// at 44100, 48000 or 96000 Hz. Its output is discarded or written to a WAV
// file, its input is silence or a WAV file. It lets Corvane run on a machine
// without audio hardware, and in its fast mode runs blocks as quickly as the
// host takes them, so tests can drive the whole engine faster than real time.
//
// Configured when the host initialises it, from the environment:
//   CORVANE_VIRTUAL_BLOCK_SIZE   frames per block (16 to 2048; default 256)
//   CORVANE_VIRTUAL_SAMPLE_TYPE  Int16LSB, Int24LSB, Int32LSB or Float32LSB
//                                (default Float32LSB)
//   CORVANE_VIRTUAL_INPUTS, CORVANE_VIRTUAL_OUTPUTS  channels (default 4 each)
//   CORVANE_VIRTUAL_OUTPUT_FILE  WAV file the outputs are written to
//   CORVANE_VIRTUAL_INPUT_FILE   WAV file the inputs play (then silence)
//   CORVANE_VIRTUAL_FAST=1       no clock: blocks as fast as the host takes them
//
// Threads: the host's control thread calls the operations; the device's own
// thread (highest priority) runs the blocks; the files are read and written
// by threads of their own, never by the device's thread.

#include "../common/BlockClock.h"
#include "../common/DriverBase.h"
#include "WavBlockReader.h"
#include "WavBlockWriter.h"

#include <atomic>
#include <thread>
#include <vector>

namespace audiodev
{

class VirtualDevice : public DriverBase
{
public:
    VirtualDevice();
    ~VirtualDevice() override;

    bool init(void* systemHandle) override;
    long start() override;
    long stop() override;
    long getLatencies(long* inputLatency, long* outputLatency) override;
    long canSampleRate(double sampleRate) override;
    long getSampleRate(double* sampleRate) override;
    long setSampleRate(double sampleRate) override;

protected:
    bool isRunning() const override { return m_thread.joinable(); }
    bool buffersCreated() override;

private:
    void run();

    double m_sampleRate = 44100.0;
    bool m_fastMode = false;
    std::string m_inputPath;
    std::string m_outputPath;
    // The files are read and written on threads of their own.
    WavBlockReader m_inputFile;
    WavBlockWriter m_outputFile;
    bool m_hasInputFile = false;
    // Per-block lists of the channels' half-buffers, sized with the buffers.
    std::vector<unsigned char*> m_inputPointers;
    std::vector<const unsigned char*> m_outputPointers;

    BlockClock m_clock;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

} // namespace audiodev
