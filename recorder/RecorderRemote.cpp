#include "recorder/RecorderRemote.h"

#include "recorder/RecorderRack.h"

namespace
{
constexpr RackRemoteOperation<CRecorderRack> kOperations[] = {
    {"Recoder Rack Rec", 1, [](CRecorderRack& recorder, int, int) { recorder.Record(); }},
    {"Recoder Rack Stop", 1, [](CRecorderRack& recorder, int, int) { recorder.Stop(); }},
    {"Recoder Rack Pause", 1, [](CRecorderRack& recorder, int, int) { recorder.Pause(); }},
};
} // namespace

RackRemoteTable<CRecorderRack> recorderRemoteOperations()
{
    return kOperations;
}
