// corvane-devicecheck: what Corvane's audio device host sees, and a test tone
// through one driver.
//
//   corvane-devicecheck                         list the drivers
//   corvane-devicecheck DRIVER [RATE] [SECONDS]  play 1 kHz on DRIVER
//
// DRIVER is a number from the list or a driver's name. RATE defaults to the
// driver's own; SECONDS to 3. The tone plays at -12 dBFS on every output.

#include "audiodev/MASIO.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{

constexpr double kToneHz = 1000.0;
// -12 dBFS: clearly audible, well clear of clipping.
constexpr float kToneAmplitude = 0.25f;
constexpr double kDefaultSeconds = 3.0;
constexpr double kPi = 3.14159265358979323846;

std::atomic<bool> g_interrupted{false};

struct Tone
{
    double phase = 0.0;
    double step = 0.0;
    std::atomic<long> blocks{0};
};

// Audio thread.
long toneCallback(float**, float** out, long, long numOut, long frames, long,
                  unsigned long userData)
{
    auto* tone = reinterpret_cast<Tone*>(userData);
    for (long frame = 0; frame < frames; ++frame)
    {
        const float sample = kToneAmplitude * float(std::sin(tone->phase));
        tone->phase = std::fmod(tone->phase + tone->step, 2.0 * kPi);
        for (long channel = 0; channel < numOut; ++channel)
            out[channel][frame] = sample;
    }
    tone->blocks.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

const char* sampleTypeName(long type)
{
    switch (type)
    {
    case audiodev::SampleInt16LSB:
        return "Int16LSB";
    case audiodev::SampleInt24LSB:
        return "Int24LSB";
    case audiodev::SampleInt32LSB:
        return "Int32LSB";
    case audiodev::SampleFloat32LSB:
        return "Float32LSB";
    case audiodev::SampleFloat64LSB:
        return "Float64LSB (not converted: silence)";
    default:
        return "not converted: silence";
    }
}

void listDrivers(CMASIO& host)
{
    std::printf("%u audio driver(s):\n", host.getDriverNum());
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        std::printf("  %2u  %s\n", index, host.getDriverName(index));
}

int findDriver(CMASIO& host, const std::string& wanted)
{
    char* end = nullptr;
    const unsigned long number = std::strtoul(wanted.c_str(), &end, 10);
    if (!wanted.empty() && end != nullptr && *end == '\0')
        return number < host.getDriverNum() ? int(number) : -1;
    for (unsigned index = 0; index < host.getDriverNum(); ++index)
        if (wanted == host.getDriverName(index))
            return int(index);
    return -1;
}

void printChannels(CMASIO& host, bool isInput)
{
    const long count = isInput ? host.getInputChannels() : host.getOutputChannels();
    std::printf("%s channels: %ld\n", isInput ? "Input" : "Output", count);
    for (long channel = 0; channel < count; ++channel)
        std::printf("  %s %ld: %s\n", isInput ? "in" : "out", channel + 1,
                    sampleTypeName(host.getSampleType(isInput, channel)));
}

int playTone(CMASIO& host, unsigned index, double rate, double seconds)
{
    Tone tone;
    std::printf("Driver: %s\n", host.getDriverName(index));
    if (host.loaddriver(index, &toneCallback, reinterpret_cast<unsigned long>(&tone)) != 1)
    {
        std::printf("Cannot load the driver: %s\n", host.getErrorMessage());
        host.unloaddriver();
        return 1;
    }
    if (rate > 0.0 && !host.setSampleRate(float(rate)))
    {
        std::printf("The driver cannot run at %.0f Hz (it runs at %.0f Hz)\n", rate,
                    double(host.getSampleRate()));
        host.unloaddriver();
        return 1;
    }
    const double actualRate = host.getSampleRate();
    tone.step = 2.0 * kPi * kToneHz / actualRate;
    std::printf("Sample rate: %.0f Hz\n", actualRate);
    std::printf("Block size: %ld frames (min %ld, max %ld)\n", host.getPreferBuffersize(),
                host.getMinBuffersize(), host.getMaxBuffersize());
    const auto milliseconds = [&](long frames) { return 1000.0 * double(frames) / actualRate; };
    std::printf("Latency: input %ld frames (%.1f ms), output %ld frames (%.1f ms)\n",
                host.getInputLatency(), milliseconds(host.getInputLatency()),
                host.getOutputLatency(), milliseconds(host.getOutputLatency()));
    printChannels(host, true);
    printChannels(host, false);

    if (!host.startaudio())
    {
        std::printf("The driver refused to start\n");
        host.unloaddriver();
        return 1;
    }
    std::printf("Playing %.0f Hz at -12 dBFS for %.1f s...\n", kToneHz, seconds);
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end && !g_interrupted.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    host.stopaudio();
    host.unloaddriver();

    const long blocks = tone.blocks.load();
    std::printf("Blocks played: %ld (%.2f s of audio)\n", blocks,
                double(blocks) * double(host.getPreferBuffersize()) / actualRate);
    if (blocks == 0)
    {
        std::printf("No block arrived: the device did not run\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, [](int) { g_interrupted.store(true); });
    CMASIO host;
    if (argc < 2)
    {
        listDrivers(host);
        return 0;
    }
    const std::string wanted = argv[1];
    if (wanted == "-h" || wanted == "--help")
    {
        std::printf("usage: %s [DRIVER [RATE [SECONDS]]]\n"
                    "Without arguments, lists the audio drivers. With a driver (number or\n"
                    "name), plays a 1 kHz test tone on it and prints what the device reports.\n",
                    argv[0]);
        return 0;
    }
    const int index = findDriver(host, wanted);
    if (index < 0)
    {
        std::printf("No driver '%s'\n", wanted.c_str());
        listDrivers(host);
        return 1;
    }
    const double rate = argc > 2 ? std::atof(argv[2]) : 0.0;
    const double seconds = argc > 3 ? std::atof(argv[3]) : kDefaultSeconds;
    return playTone(host, unsigned(index), rate, seconds > 0.0 ? seconds : kDefaultSeconds);
}
