#include "support/JackCapture.h"

namespace testkit
{

JackCapture::JackCapture(size_t frames) : m_samples(frames)
{
    m_client = jack_client_open("corvane-test-capture", JackNoStartServer, nullptr);
    if (m_client == nullptr)
        return;
    m_port = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(m_client, &JackCapture::process, this);
    jack_activate(m_client);
}

JackCapture::~JackCapture()
{
    if (m_client != nullptr)
        jack_client_close(m_client);
}

bool JackCapture::connectFrom(const char* pattern)
{
    if (m_port == nullptr)
        return false;
    const char** ports = jack_get_ports(m_client, pattern, JACK_DEFAULT_AUDIO_TYPE, 0);
    const bool connected = ports != nullptr && ports[0] != nullptr &&
                           jack_connect(m_client, ports[0], jack_port_name(m_port)) == 0;
    jack_free(ports);
    return connected;
}

int JackCapture::process(jack_nframes_t frames, void* self)
{
    auto* capture = static_cast<JackCapture*>(self);
    const auto* input = static_cast<const float*>(jack_port_get_buffer(capture->m_port, frames));
    size_t written = capture->m_written.load(std::memory_order_relaxed);
    const jack_nframes_t cycle = jack_last_frame_time(capture->m_client);
    if (written > 0 && written < capture->m_samples.size() && cycle != capture->m_nextCycle)
        capture->m_missedCycles.fetch_add(1, std::memory_order_relaxed);
    capture->m_nextCycle = cycle + frames;
    for (jack_nframes_t frame = 0; frame < frames && written < capture->m_samples.size(); ++frame)
    {
        if (written == 0 && input[frame] == 0.0f)
            continue;
        capture->m_samples[written++] = input[frame];
    }
    capture->m_written.store(written, std::memory_order_release);
    return 0;
}

} // namespace testkit
