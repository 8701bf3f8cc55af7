#include "players/CDRemote.h"

#include "players/CDRack.h"

namespace
{
constexpr RackRemoteOperation<CCDRack> kOperations[] = {
    {"CD Rack Track select", 1,
     [](CCDRack& player, int, int value) { player.SetTrackFromController(value); }},
    {"CD Rack Pitch Control", 1,
     [](CCDRack& player, int, int value) { player.SetPitchFromController(value); }},
    {"CD Rack Play", 1, [](CCDRack& player, int, int) { player.Play(); }},
    {"CD Rack Stop", 1, [](CCDRack& player, int, int) { player.Stop(); }},
    {"CD Rack Pause", 1, [](CCDRack& player, int, int) { player.Pause(); }},
};
} // namespace

RackRemoteTable<CCDRack> cdRemoteOperations()
{
    return kOperations;
}
