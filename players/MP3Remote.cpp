#include "players/MP3Remote.h"

#include "players/MP3Rack.h"

namespace
{
constexpr RackRemoteOperation<CMP3Rack> kOperations[] = {
    {"MP3 Rack 1 Play", 1, [](CMP3Rack& player, int, int) { player.Play(); }},
    {"MP3 Rack 1 Stop", 1, [](CMP3Rack& player, int, int) { player.Stop(); }},
    {"MP3 Rack 1 Pause", 1, [](CMP3Rack& player, int, int) { player.Pause(); }},
};
} // namespace

RackRemoteTable<CMP3Rack> mp3RemoteOperations()
{
    return kOperations;
}
