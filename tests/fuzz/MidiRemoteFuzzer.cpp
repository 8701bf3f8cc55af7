// MIDI from any controller: bindings read from the settings (any integers)
// and any stream of messages through the remote dispatcher. Every function
// it runs must be one of the 53, with a MIDI value; the texts the setup
// dialog shows must come out for any stored binding.

#include "midiremote/RemoteDispatcher.h"
#include "utilkit/midi/ShortMsg.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

namespace
{
QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    application();
    QObject context;
    remote::RemoteDispatcher dispatcher(
        context,
        [](int function, int value)
        {
            if (function < 0 || function >= remote::kFunctionCount || value < 0 || value > 127)
                std::abort();
        });
    remote::Bindings bindings{};
    for (std::size_t function = 0; function < bindings.size(); ++function)
    {
        std::int16_t stored = -1;
        if (size >= 2)
        {
            std::memcpy(&stored, data, 2);
            data += 2;
            size -= 2;
        }
        (void)remote::bindingText(stored);
        bindings[function] = remote::isValidBinding(stored) ? stored : remote::kUnbound;
    }
    dispatcher.setBindings(bindings);
    for (; size >= 3; data += 3, size -= 3)
        dispatcher.ReceiveMsg(midi::CShortMsg::Pack(data[0], data[1], data[2]), 0);
    QCoreApplication::processEvents();
    dispatcher.drain();
    return 0;
}
