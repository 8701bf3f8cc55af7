#pragma once

// A JACK client of the test with one MIDI output port ("<name>:out"): the
// messages given to send() go out in its next process cycle. Needs the test
// JACK server (client is null without one).
//
// Threads: send() on one test thread; process on JACK's.

#include "utilkit/midi/MIDIInDevice.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace testkit
{

class JackMidiSender
{
public:
    explicit JackMidiSender(const std::string& name) : m_name(name)
    {
        client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (client == nullptr)
            return;
        port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client, &JackMidiSender::process, this);
        jack_activate(client);
    }
    ~JackMidiSender()
    {
        if (client)
            jack_client_close(client);
    }
    JackMidiSender(const JackMidiSender&) = delete;
    JackMidiSender& operator=(const JackMidiSender&) = delete;

    // Returns false while the previous batch has not gone out yet.
    bool send(std::vector<std::vector<unsigned char>> messages)
    {
        if (m_ready.load(std::memory_order_acquire))
            return false;
        m_pending = std::move(messages);
        m_ready.store(true, std::memory_order_release);
        return true;
    }

    // The name MIDI input lists the port under, and its index there (-1: not listed).
    std::string portName() const { return "JACK: " + m_name + ":out"; }
    int deviceIndex() const
    {
        const std::vector<std::string> names = midi::CMIDIInDevice::DeviceNames();
        const auto found = std::ranges::find(names, portName());
        return found == names.end() ? -1 : static_cast<int>(found - names.begin());
    }

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;

private:
    static int process(jack_nframes_t frames, void* argument)
    {
        auto* self = static_cast<JackMidiSender*>(argument);
        void* buffer = jack_port_get_buffer(self->port, frames);
        jack_midi_clear_buffer(buffer);
        if (!self->m_ready.load(std::memory_order_acquire))
            return 0;
        jack_nframes_t time = 0;
        for (const auto& message : self->m_pending)
            jack_midi_event_write(buffer, time++, message.data(), message.size());
        self->m_ready.store(false, std::memory_order_release);
        return 0;
    }

    std::string m_name;
    std::atomic<bool> m_ready{false};
    std::vector<std::vector<unsigned char>> m_pending;
};

} // namespace testkit
