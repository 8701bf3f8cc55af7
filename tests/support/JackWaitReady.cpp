// Waits (up to the number of seconds given, default 10) until a JACK server
// accepts clients; exits 0 when it does. Used by the test fixture that starts
// the dummy-backend server.

#include <jack/jack.h>

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline)
    {
        jack_status_t status{};
        if (jack_client_t* client = jack_client_open("corvane-wait", JackNoStartServer, &status))
        {
            jack_client_close(client);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 1;
}
