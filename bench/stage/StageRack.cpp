#include "bench/stage/StageRack.h"

#include "MP3TestFixtures.h"
#include "TestPlugins.h"
#include "akrip32/akrip32.h"
#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "equaliser/GraphicEqRack.h"
#include "mixer/MixerRack.h"
#include "players/CDRack.h"
#include "players/LoopRack.h"
#include "players/MP3Rack.h"
#include "players/SoundFxRack.h"
#include "plugins/EffectRack.h"
#include "plugins/VSTiRack.h"
#include "recorder/RecorderRack.h"
#include "support/CDImages.h"
#include "support/Tones.h"
#include "utilkit/midi/ShortMsg.h"

#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <vector>

namespace stage
{

namespace
{

constexpr int kMediaRate = 44100;
constexpr double kMediaSeconds = 30.0;
constexpr unsigned char kChord[] = {48, 55, 60, 64, 67, 72, 76, 79};
// 0 dB on the mixer's fader law (faders, masters, record level).
constexpr int kUnityPosition = 100;

// A 16-bit stereo WAV of two sines at about -12 dB, as a DJ's files would be.
void writeStereoWav(const std::string& path, double seconds, double leftHz, double rightHz)
{
    constexpr double kLevel = 8000.0 / 32768.0;
    const auto frames = static_cast<size_t>(seconds * kMediaRate);
    testkit::writeSoundFile(path,
                            {kMediaRate,
                             {testkit::makeSine(kMediaRate, frames, leftHz, kLevel),
                              testkit::makeSine(kMediaRate, frames, rightHz, kLevel)}},
                            SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

template <typename Unit> Unit& unitOf(CCorvaneView& view, rack::RackUnitIndex index)
{
    return *dynamic_cast<Unit*>(view.unit(index));
}

} // namespace

StageRack::StageRack()
{
    qputenv("XDG_CONFIG_HOME", m_folder.path("config").c_str());
    // 40 s of tones on track 1.
    const testkit::CdImage disc =
        testkit::writeCdImage(m_folder, "disc", {{75 * 40, 440.0, 660.0}});
    m_disc = std::make_unique<testkit::ScopedEnvironment>(CD_DEVICE_VARIABLE, disc.cuePath);

    m_frame = std::make_unique<CMainFrame>();
    m_frame->view()->OnInitialUpdate();
    CCorvaneView& rackView = view();

    const std::string mp3 = m_folder.path("tone.mp3");
    {
        const auto encoded = mp3test::encodeTone(kMediaSeconds, 330.0, 550.0);
        std::ofstream(mp3, std::ios::binary)
            .write(reinterpret_cast<const char*>(encoded.bytes.data()),
                   static_cast<std::streamsize>(encoded.bytes.size()));
    }
    unitOf<CMP3Rack>(rackView, rack::MP3Player).engine().addFiles({mp3});

    const std::string loop = m_folder.path("loop.wav");
    writeStereoWav(loop, kMediaSeconds, 220.0, 275.0);
    auto& loopEngine = unitOf<CLoopRack>(rackView, rack::LoopPlayer).engine();
    loopEngine.loadSlot(0, loop);
    loopEngine.setCurrentSlot(0);
    loopEngine.setLoop(true);

    SoundFxSettings pads;
    for (int pad = 0; pad < soundfx::kPadCount; ++pad)
    {
        const std::string path = m_folder.path("pad" + std::to_string(pad) + ".wav");
        writeStereoWav(path, 9.9, 200.0 + 100.0 * pad, 150.0 + 100.0 * pad);
        pads.pads[static_cast<size_t>(pad)] = {path, "pad" + std::to_string(pad), 0, 9999, -6};
    }
    unitOf<CSoundFxRack>(rackView, rack::SoundFX).engine().restoreSettings(pads);

    auto& synth = unitOf<CVSTiRack>(rackView, rack::Instrument).engine();
    synth.loadPlugin(testplugins::path(testplugins::kSynth));
    synth.waitForLoads();
    auto& effects = unitOf<CEffectRack>(rackView, rack::DualEffect).engine();
    for (int slot = 0; slot < EffectRackEngine::kSlotCount; ++slot)
        effects.loadPlugin(slot, testplugins::path(testplugins::kGain));
    effects.waitForLoads();

    unitOf<CRecorderRack>(rackView, rack::Recorder).engine().setFolder(m_folder.path("recordings"));

    GraphicEqEngine::Values bands{};
    for (int band = 0; band < GraphicEqEngine::kBandCount; ++band)
        bands[static_cast<size_t>(band)] = band % 2 == 0 ? 210 : 90; // +6 / -6 dB
    auto& eq = unitOf<CGraphicEqRack>(rackView, rack::GraphicEQ).engine();
    eq.setValues(bands);

    // Every channel at 0 dB to both output pairs (so both sides of the
    // equaliser work), the sends feeding the effects and their returns
    // back in, the masters at 0 dB and pair 1 feeding the recorder. A new
    // mixer starts with everything down, which would leave the show silent.
    CMixerRack& mixer = *rackView.mixer();
    for (int channel = 0; channel < MixerControlState::kChannelCount; ++channel)
    {
        mixer.channelFader(channel).setvalue(kUnityPosition);
        mixer.pairOneButton(channel).SetStatus(true);
        mixer.pairTwoButton(channel).SetStatus(true);
        mixer.preFaderSendKnob(channel).setvalue(40);
        mixer.postFaderSendKnob(channel).setvalue(60);
    }
    for (int returnIndex = 0; returnIndex < MixerControlState::kReturnCount; ++returnIndex)
    {
        mixer.returnKnob(returnIndex).setvalue(50);
        mixer.returnPairButton(returnIndex, 0).SetStatus(true);
        mixer.returnPairButton(returnIndex, 1).SetStatus(true);
    }
    for (int master = 0; master < MixerControlState::kMasterCount; ++master)
        mixer.masterSlider(master).setvalue(kUnityPosition);
    mixer.recordKnob().setvalue(kUnityPosition);
    mixer.recordPairButton(0).SetStatus(true);
}

StageRack::~StageRack()
{
    stop();
    view().m_askExit = [] { return true; };
    m_frame->close();
    m_frame.reset();
}

CCorvaneView& StageRack::view()
{
    return *m_frame->view();
}

void StageRack::start(unsigned parts)
{
    m_parts = parts;
    CCorvaneView& rackView = view();
    CMixerRack& mixer = *rackView.mixer();
    // The equaliser skips silent sides: the inputs keep it (and the effects
    // and the recorder) busy in every case.
    for (int channel = 0; channel < MixerControlState::kMonoChannelCount; ++channel)
        mixer.sourceSelector(channel).setitemindex(channel + 1);
    // Stereo channels 3..7 take sources 1..5 (MP3, CD, VSTi, loop, pads).
    const unsigned sourceParts[] = {Mp3, Cd, Synth, Loop, Pads};
    for (int source = 1; source <= 5; ++source)
        mixer.sourceSelector(MixerControlState::kMonoChannelCount + source - 1)
            .setitemindex((parts & sourceParts[source - 1]) != 0 ? source : 0);
    mixer.UpdateRouting();

    if ((parts & Mp3) != 0)
    {
        auto& mp3 = unitOf<CMP3Rack>(rackView, rack::MP3Player).engine();
        mp3.selectEntry(0);
        mp3.play();
    }
    if ((parts & Cd) != 0)
    {
        auto& cd = unitOf<CCDRack>(rackView, rack::CDPlayer).engine();
        cd.selectTrack(1);
        cd.play();
    }
    if ((parts & Loop) != 0)
        unitOf<CLoopRack>(rackView, rack::LoopPlayer).engine().start();
    if ((parts & Pads) != 0)
        for (int voice = 0; voice < soundfx::kVoiceCount; ++voice)
            unitOf<CSoundFxRack>(rackView, rack::SoundFX)
                .engine()
                .trigger(voice % soundfx::kPadCount);
    if ((parts & Synth) != 0)
        for (const unsigned char note : kChord)
            unitOf<CVSTiRack>(rackView, rack::Instrument)
                .engine()
                .receiver()
                .ReceiveMsg(midi::CShortMsg::Pack(0x90, note, 90), 0);
    // The panel's ON switches pass to the engine every block.
    auto& effects = unitOf<CEffectRack>(rackView, rack::DualEffect);
    for (int slot = 0; slot < EffectRackEngine::kSlotCount; ++slot)
        effects.onSwitch(slot).SetStatus((parts & Effects) != 0);
    if ((parts & Recording) != 0)
        m_recording = unitOf<CRecorderRack>(rackView, rack::Recorder).engine().rec();
    auto& eq = unitOf<CGraphicEqRack>(rackView, rack::GraphicEQ).engine();
    eq.setPairEnabled(0, (parts & Equaliser) != 0);
    eq.setPairEnabled(1, (parts & Equaliser) != 0);
}

void StageRack::keepPlaying()
{
    CCorvaneView& rackView = view();
    if ((m_parts & Mp3) != 0)
    {
        auto& mp3 = unitOf<CMP3Rack>(rackView, rack::MP3Player).engine();
        if (!mp3.playingLampLit())
        {
            mp3.selectEntry(0);
            mp3.play();
        }
    }
    if ((m_parts & Cd) != 0)
    {
        auto& cd = unitOf<CCDRack>(rackView, rack::CDPlayer).engine();
        if (!cd.playingLampLit())
        {
            cd.selectTrack(1);
            cd.play();
        }
    }
    if ((m_parts & Pads) != 0)
    {
        auto& pads = unitOf<CSoundFxRack>(rackView, rack::SoundFX).engine();
        for (int voice = pads.activeVoices(); voice < soundfx::kVoiceCount; ++voice)
            pads.trigger(voice % soundfx::kPadCount);
    }
    if ((m_parts & Synth) != 0)
    {
        midi::CMIDIReceiver& synth =
            unitOf<CVSTiRack>(rackView, rack::Instrument).engine().receiver();
        for (const unsigned char note : kChord)
            synth.ReceiveMsg(midi::CShortMsg::Pack(0x80, note, 0), 0);
        for (const unsigned char note : kChord)
            synth.ReceiveMsg(midi::CShortMsg::Pack(0x90, note, 90), 0);
    }
}

void StageRack::stop()
{
    CCorvaneView& rackView = view();
    unitOf<CMP3Rack>(rackView, rack::MP3Player).engine().stop();
    unitOf<CCDRack>(rackView, rack::CDPlayer).engine().stop();
    unitOf<CLoopRack>(rackView, rack::LoopPlayer).engine().stop();
    for (const unsigned char note : kChord)
        unitOf<CVSTiRack>(rackView, rack::Instrument)
            .engine()
            .receiver()
            .ReceiveMsg(midi::CShortMsg::Pack(0x80, note, 0), 0);
    if (m_recording)
        unitOf<CRecorderRack>(rackView, rack::Recorder).engine().stop();
    m_recording = false;
}

std::uint64_t StageRack::lateRefills()
{
    CCorvaneView& rackView = view();
    return unitOf<CMP3Rack>(rackView, rack::MP3Player).engine().lateRefillCount() +
           unitOf<CCDRack>(rackView, rack::CDPlayer).engine().lateHalfCount() +
           unitOf<CLoopRack>(rackView, rack::LoopPlayer).engine().lateRefillCount();
}

std::uint64_t StageRack::recordedFrames()
{
    return unitOf<CRecorderRack>(view(), rack::Recorder).engine().capturedFrames();
}

std::uint64_t StageRack::droppedRecorderFrames()
{
    return unitOf<CRecorderRack>(view(), rack::Recorder).engine().droppedFrames();
}

std::uint64_t StageRack::droppedMidiEvents()
{
    return unitOf<CVSTiRack>(view(), rack::Instrument).engine().droppedEvents();
}

} // namespace stage
