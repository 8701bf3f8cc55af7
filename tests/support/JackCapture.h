#pragma once

// A second JACK client that records one of Corvane's output ports, as a
// person's recorder or a mixing desk on the same server would hear it. It
// records from the first non-zero sample into a buffer sized up front; its
// process callback only copies.
//
// Threads: made and read on the test's thread; process runs on JACK's.

#include <jack/jack.h>

#include <atomic>
#include <vector>

namespace testkit
{

class JackCapture
{
public:
    // Whether what JACK heard can be held to the tone checks. Under the
    // sanitizers the client's first blocks touch fresh shadow memory and can
    // miss a JACK cycle on a busy machine; the sanitized run still drives the
    // whole path for memory faults, the optimised run checks the sound.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr bool kSoundIsTimed = false;
#else
    static constexpr bool kSoundIsTimed = true;
#endif

    explicit JackCapture(size_t frames);
    ~JackCapture();
    JackCapture(const JackCapture&) = delete;
    JackCapture& operator=(const JackCapture&) = delete;

    // Connects the first port whose name matches `pattern` (a JACK regular
    // expression, e.g. "^Corvane[^:]*:out_1$") to the capture.
    bool connectFrom(const char* pattern);
    bool full() const
    {
        return m_written.load() >= m_samples.size();
    }
    // What was recorded so far (zeros after that).
    const std::vector<float>& samples() const
    {
        return m_samples;
    }
    // Whether the recording can be held to the tone checks: the build is
    // timed, and the capture ran every cycle while recording. A real-time
    // server (PipeWire's timer-driven graph) moves on without a client that
    // is late on a loaded machine, and the hole that leaves is the capture's,
    // not Corvane's.
    bool soundIsWhole() const
    {
        return kSoundIsTimed && m_missedCycles.load() == 0;
    }
    size_t missedCycles() const
    {
        return m_missedCycles.load();
    }

private:
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::vector<float> m_samples;
    std::atomic<size_t> m_written{0};
    std::atomic<size_t> m_missedCycles{0};
    jack_nframes_t m_nextCycle = 0; // process thread only
};

} // namespace testkit
