// MIDI-in to audio-out latency of the instrument rack on JACK (dummy
// backend, 48000 Hz, 64-frame blocks), in frames: a keyboard client sends a
// note; the rack's engine hears it on its own MIDI port (RtMidi's JACK client,
// the port's delivery thread, the engine's queue) and plays the sine synth in
// a JACK client's process callback, as the mixer would call it. Beside it, a
// bare JACK client reads the same note straight from its MIDI port and hands
// it to the same synth in the same cycle. Latency = the frame where the
// synth's output first sounds minus the frame the note was sent at, for
// each of 1000 notes: median and 99th percentile of both.
//
// The benchmark starts its own JACK server (named corvanebench-<pid>) and
// stops it at the end.

#include "TestPlugins.h"
#include "plughost/CMVST.h"
#include "plugins/InstrumentEngine.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

constexpr int kNotes = 1000;
constexpr jack_nframes_t kBlock = 64;
constexpr float kSounding = 1e-4f;
constexpr int kChannels = 2;

// A JACK server with the dummy backend, for the benchmark's run.
class JackServer
{
public:
    JackServer()
    {
        m_name = "corvanebench-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
        const std::string period = std::to_string(kBlock);
        std::vector<std::string> words{"jackd", "-n",    m_name, "-d",  "dummy",
                                       "-r",    "48000", "-p",   period};
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&m_pid, "jackd", nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
    }
    ~JackServer()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    // A client opened once the server accepts them (up to 5 s).
    jack_client_t* openClient(const char* name) const
    {
        for (int attempt = 0; attempt < 50 && m_pid > 0; ++attempt)
        {
            if (jack_client_t* client = jack_client_open(name, JackNoStartServer, nullptr))
                return client;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return nullptr;
    }

private:
    std::string m_name;
    pid_t m_pid = 0;
};

// The frame of the first sounding sample of a block, or -1.
int64_t firstSounding(const float* samples, jack_nframes_t frames, jack_nframes_t blockStart)
{
    for (jack_nframes_t frame = 0; frame < frames; ++frame)
        if (std::fabs(samples[frame]) > kSounding)
            return static_cast<int64_t>(blockStart) + frame;
    return -1;
}

// Sends a note-on or note-off in its next cycle, at offset 0, and notes the frame.
struct Keyboard
{
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::atomic<int> pending{-1}; // velocity to send, -1 none
    std::atomic<int64_t> sentFrame{-1};

    static int process(jack_nframes_t frames, void* argument)
    {
        auto* self = static_cast<Keyboard*>(argument);
        void* buffer = jack_port_get_buffer(self->port, frames);
        jack_midi_clear_buffer(buffer);
        const int velocity = self->pending.exchange(-1);
        if (velocity < 0)
            return 0;
        const unsigned char message[3] = {static_cast<unsigned char>(velocity > 0 ? 0x90 : 0x80),
                                          69, static_cast<unsigned char>(velocity)};
        jack_midi_event_write(buffer, 0, message, sizeof(message));
        if (velocity > 0)
            self->sentFrame.store(jack_last_frame_time(self->client));
        return 0;
    }
};

// The rack's engine, called from a JACK process callback.
struct RackHost
{
    jack_client_t* client = nullptr;
    InstrumentEngine* engine = nullptr;
    std::array<std::vector<float>, kChannels> buffers;
    std::atomic<int64_t> onsetFrame{-1};

    static int process(jack_nframes_t frames, void* argument)
    {
        auto* self = static_cast<RackHost*>(argument);
        std::array<float*, kChannels> out{self->buffers[0].data(), self->buffers[1].data()};
        self->engine->process(nullptr, out.data(), 0, kChannels, frames);
        const int64_t onset = firstSounding(out[0], frames, jack_last_frame_time(self->client));
        if (onset >= 0 && self->onsetFrame.load() < 0)
            self->onsetFrame.store(onset);
        return 0;
    }
};

// The same synth driven by a bare JACK client with its own MIDI input.
struct BareHost
{
    jack_client_t* client = nullptr;
    jack_port_t* midiIn = nullptr;
    CMVST* plugin = nullptr;
    std::array<std::vector<float>, kChannels> buffers;
    std::atomic<int64_t> onsetFrame{-1};

    static int process(jack_nframes_t frames, void* argument)
    {
        auto* self = static_cast<BareHost*>(argument);
        void* buffer = jack_port_get_buffer(self->midiIn, frames);
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t index = 0; index < count; ++index)
        {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, index) == 0 && event.size == 3)
                self->plugin->AddMidiMessages(
                    static_cast<char>(event.buffer[0]), static_cast<char>(event.buffer[1]),
                    static_cast<char>(event.buffer[2]), 48000.0f, event.time);
        }
        std::array<float*, kChannels> out{self->buffers[0].data(), self->buffers[1].data()};
        self->plugin->vstprocessReplacing(nullptr, out.data(), frames);
        const int64_t onset = firstSounding(out[0], frames, jack_last_frame_time(self->client));
        if (onset >= 0 && self->onsetFrame.load() < 0)
            self->onsetFrame.store(onset);
        return 0;
    }
};

double percentile(std::vector<int64_t> values, double fraction)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return static_cast<double>(values[at]);
}

template <typename Condition> bool waitFor(Condition done, int milliseconds)
{
    for (int waited = 0; waited < milliseconds * 10 && !done(); ++waited)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    return done();
}

void BM_InstrumentMidiToAudioLatency(benchmark::State& state)
{
    JackServer server;
    Keyboard keyboard;
    keyboard.client = server.openClient("bench-keyboard");
    if (keyboard.client == nullptr)
    {
        state.SkipWithError("jackd (dummy backend) did not start");
        return;
    }
    keyboard.port =
        jack_port_register(keyboard.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(keyboard.client, &Keyboard::process, &keyboard);
    jack_activate(keyboard.client);

    // The rack: the engine with the synth and its own port on the keyboard.
    InstrumentEngine engine;
    engine.loadPlugin(testplugins::path(testplugins::kSynth));
    engine.waitForLoads();
    engine.prepare(48000.0);
    const auto names = midi::CMIDIInDevice::DeviceNames();
    const auto found = std::find(names.begin(), names.end(), "JACK: bench-keyboard:out");
    if (found == names.end() || !engine.openPort(static_cast<int>(found - names.begin())))
    {
        state.SkipWithError("the keyboard's port cannot be opened");
        return;
    }
    RackHost rack;
    rack.engine = &engine;
    for (auto& buffer : rack.buffers)
        buffer.assign(4096, 0.0f);
    rack.client = server.openClient("bench-rack");
    jack_set_process_callback(rack.client, &RackHost::process, &rack);

    // The bare client with its own copy of the synth.
    CMVST plugin;
    plugin.LoadVST(testplugins::path(testplugins::kSynth));
    plugin.Open();
    plugin.SetSampleRate(48000.0f);
    plugin.SetBlockSize(static_cast<long>(kBlock));
    plugin.MainsChanged(true);
    BareHost bare;
    bare.plugin = &plugin;
    for (auto& buffer : bare.buffers)
        buffer.assign(4096, 0.0f);
    bare.client = server.openClient("bench-bare");
    bare.midiIn = jack_port_register(bare.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(bare.client, &BareHost::process, &bare);
    jack_activate(rack.client);
    jack_activate(bare.client);
    jack_connect(bare.client, "bench-keyboard:out", "bench-bare:in");

    std::vector<int64_t> rackLatency, bareLatency;
    for (auto _ : state)
    {
        for (int note = 0; note < kNotes; ++note)
        {
            rack.onsetFrame = -1;
            bare.onsetFrame = -1;
            keyboard.sentFrame = -1;
            keyboard.pending = 100;
            waitFor([&] { return rack.onsetFrame >= 0 && bare.onsetFrame >= 0; }, 200);
            if (keyboard.sentFrame >= 0 && rack.onsetFrame >= 0 && bare.onsetFrame >= 0)
            {
                rackLatency.push_back(rack.onsetFrame - keyboard.sentFrame);
                bareLatency.push_back(bare.onsetFrame - keyboard.sentFrame);
            }
            keyboard.pending = 0;
            // The note-off reaches both and the next note starts from silence.
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        }
    }
    jack_deactivate(rack.client);
    jack_deactivate(bare.client);
    jack_deactivate(keyboard.client);
    engine.closePort();
    jack_client_close(rack.client);
    jack_client_close(bare.client);
    jack_client_close(keyboard.client);

    state.counters["notes"] = static_cast<double>(rackLatency.size());
    state.counters["rack_median_frames"] = percentile(rackLatency, 0.5);
    state.counters["rack_p99_frames"] = percentile(rackLatency, 0.99);
    state.counters["bare_median_frames"] = percentile(bareLatency, 0.5);
    state.counters["bare_p99_frames"] = percentile(bareLatency, 0.99);
    state.counters["extra_blocks_median"] =
        (percentile(rackLatency, 0.5) - percentile(bareLatency, 0.5)) / kBlock;
    state.counters["dropped_events"] = static_cast<double>(engine.droppedEvents());
}
BENCHMARK(BM_InstrumentMidiToAudioLatency)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
