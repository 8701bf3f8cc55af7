#pragma once

// The ALSA driver: one PCM device, opened for playback and capture where it
// offers them. The device's native sample format (S32_LE, S24_3LE, S16_LE or
// FLOAT_LE, in that order of preference, or the one named by
// CORVANE_ALSA_SAMPLE_TYPE) is the channel sample type, so the host converts
// as for any driver. Its own audio thread, at the highest priority the system
// grants, reads a period, runs the block and writes a period; under- and
// overruns are recovered and the stream goes on. A device that never blocks
// (ALSA's "null" PCM) is paced by a clock instead of spinning a core.
//
// Threads: the host's control thread for the operations; the driver's audio
// thread for the stream.

#include "../common/BlockClock.h"
#include "../common/DriverBase.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace audiodev
{

class AlsaDriver : public DriverBase
{
public:
    // pcmName: the ALSA device ("hw:0,0", "default", "null"); listedName:
    // what the user sees.
    AlsaDriver(std::string pcmName, std::string listedName);
    ~AlsaDriver() override;

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
    bool chooseFormat();
    long chooseChannels(snd_pcm_t* pcm);
    bool configure(snd_pcm_t* pcm, long channels, unsigned rate, bool isPlayback);
    bool configureAll(unsigned rate);
    void run();
    bool readCapture(long index) noexcept;
    bool writePlayback(long index) noexcept;
    void writeSilence(long periods) noexcept;
    void closeDevices();

    std::string m_pcmName;
    snd_pcm_t* m_playback = nullptr;
    snd_pcm_t* m_capture = nullptr;
    snd_pcm_format_t m_format = SND_PCM_FORMAT_UNKNOWN;
    unsigned m_sampleRate = 0;
    snd_pcm_uframes_t m_playbackBufferFrames = 0;
    bool m_paceWithClock = false;
    // Interleaved periods on their way to and from the device.
    std::vector<unsigned char> m_captureFrames;
    std::vector<unsigned char> m_playbackFrames;
    std::vector<unsigned char> m_silence;

    BlockClock m_clock;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

} // namespace audiodev
