#pragma once

// A full show in one process: Corvane's real window built offscreen with
// every source loaded through the units' own engines (an MP3 on the MP3
// player, a disc image in the CD player, a WAV in the loop player's slot 1,
// eight pads, the test sine synth as the instrument, the test gain plug-in
// in both effect slots, the recorder aimed at a temporary folder and the
// graphic equaliser with every band 6 dB up or down), ready to be started
// part by part. The full-rack benchmark runs its blocks itself; the soak
// tool powers the amplifier on instead.
//
// Threads: GUI thread (the caller's own). A QApplication must exist.

#include "support/Tones.h"

#include <cstdint>
#include <memory>

class CCorvaneView;
class CMainFrame;
namespace testkit
{
class ScopedEnvironment;
}

namespace stage
{

enum Part : unsigned
{
    Mp3 = 1u << 0,
    Cd = 1u << 1,
    Synth = 1u << 2,
    Loop = 1u << 3,
    Pads = 1u << 4,
    Effects = 1u << 5,
    Recording = 1u << 6,
    Equaliser = 1u << 7,
    Everything = 0xffu,
};

class StageRack
{
public:
    StageRack();
    ~StageRack();
    StageRack(const StageRack&) = delete;
    StageRack& operator=(const StageRack&) = delete;

    CMainFrame& frame() { return *m_frame; }
    CCorvaneView& view();

    // Routes and starts the parts; every other source is unrouted, the
    // effect slots off unless asked for. The mono channels always take the
    // device's inputs 1 and 2.
    void start(unsigned parts);
    // Stops the players, releases the synth's notes, ends the recording.
    void stop();
    // Starts again what has run out (the MP3 and the CD track end, pad voices
    // end) and strikes the synth's chord afresh (sixteen events through its
    // MIDI queue); call now and then while a long run plays.
    void keepPlaying();

    // Halves the MP3, CD and loop players played before they were refilled.
    std::uint64_t lateRefills();
    // Frames the recorder captured and lost for want of a free chunk.
    std::uint64_t recordedFrames();
    std::uint64_t droppedRecorderFrames();
    // MIDI events the instrument dropped because its queue was full.
    std::uint64_t droppedMidiEvents();

private:
    testkit::TemporaryFolder m_folder;
    std::unique_ptr<testkit::ScopedEnvironment> m_disc;
    std::unique_ptr<CMainFrame> m_frame;
    unsigned m_parts = 0;
    bool m_recording = false;
};

} // namespace stage
