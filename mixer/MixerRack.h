#pragma once

// CMixerRack: the mixer's panel, the chain root of the rack. Seven channel
// strips (source selector, gain, compressor switch on channels 1 and 2,
// three-band equaliser, pre and post aux sends, pan, fader, output-pair
// buttons, meter) and the master section (two aux returns with their pair
// buttons, record level and record pair buttons, four master sliders, four
// output meters). The signal path itself is MixerEngine; this class owns one
// and forwards Process, SetSampleRate and SetSources to it.
//
// One source of truth: the controls. Settings are restored through the
// controls' own setvalue/SetStatus/setitemindex, saved from what the
// controls show, and the remote setters and keyboard steps move the
// controls. Every control notifies the panel of a change; many share id 0,
// so each notification re-reads every control into the engine's
// MixerControlState (a few dozen atomic stores), which is what the audio
// thread reads. Equaliser knobs (300..320) also recompute their filter,
// stereo selectors (1152..1156) the routed flags.
//
// Meters: the panel is the engine's listener and puts each block's readings
// straight on the CLevel meters (CLevel::setdb only stores atomics and is
// safe on the audio thread), so a meter rises in the block that carried the
// peak; the meter driver makes them fall.
//
// Threads: Process runs on the audio thread; the remote setters may run on
// the MIDI input thread and hand the control change to the GUI thread;
// everything else runs on the GUI thread. Never touches a widget off the GUI
// thread, and Process never allocates, locks, waits or does I/O.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "mixer/MixerEngine.h"
#include "mixer/MixerLayout.h"
#include "mixer/MixerListener.h"
#include "skinkit/CKnob.h"
#include "skinkit/CLevel.h"
#include "skinkit/CLevelDriver.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMSlider.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/Ini.h"

#include <array>
#include <functional>

class CMixerRack : public CommandReceiver<CRackUnit>, private MixerListener
{
    Q_OBJECT

public:
    static constexpr int kChannelCount = MixerControlState::kChannelCount;
    static constexpr int kMasterCount = MixerControlState::kMasterCount;
    static constexpr int kReturnCount = MixerControlState::kReturnCount;

    explicit CMixerRack(QWidget* parent = nullptr);
    // Writes every key of the mixer's section from the controls.
    ~CMixerRack() override;

    // GUI thread, once: builds the panel, restores the mixer's section,
    // computes the equaliser and sets up the compressor.
    void CreateControls() override;

    // Audio thread: one block, through the engine.
    void Process(float** in, float** out, long numIn, long numOut, long frames) override;

    // GUI thread, device stopped: the rate (0.0 = stopped) to the engine and
    // its units, then the mixer's own.
    void SetSampleRate(float rate) override;

    // GUI thread, once after every unit exists: the source table in the
    // view's argument order, then the routed flags.
    void SetSources(RackProcessor* mp3, RackProcessor* cd, RackProcessor* vsti,
                    RackProcessor* effect, RackProcessor* recorder, RackProcessor* loop,
                    RackProcessor* pads);
    // GUI thread: refreshes the sources' routed flags from the stereo selectors.
    void UpdateRouting();

    // Remote setters (mixer_remote's rows), any thread (the GUI thread in
    // the rack, where the remote's dispatcher applies them): the value of
    // mixer_remote's laws goes to the control's setvalue on the GUI thread
    // (at once when called there), so it moves, repaints and notifies like a
    // user's move. Indexes out of range are ignored.
    void SetChannelFaderRemote(int channelIndex, int midiValue);
    void SetMasterLevelRemote(int masterIndex, int midiValue);
    void SetPanRemote(int channelIndex, int midiValue);
    void SetGainRemote(int channelIndex, int midiValue);
    // sendIndex 0..13: channel 1 pre, channel 1 post, channel 2 pre, ..
    void SetSendRemote(int sendIndex, int midiValue);
    void SetReturnLevelRemote(int returnIndex, int midiValue);
    void SetRecordLevelRemote(int midiValue);

    // Keyboard steps, GUI thread: the slider moves 5 up (true) or down,
    // within its range.
    void StepChannelFader(int channelIndex, bool up);
    void StepMasterLevel(int masterIndex, bool up);

    // The controls, for the view and tests. channelIndex 0..6.
    CMCombo& sourceSelector(int channelIndex) { return strip(channelIndex).source; }
    CKnob& gainKnob(int channelIndex) { return strip(channelIndex).gain; }
    CMyButton& compressorSwitch(int monoChannelIndex)
    {
        return m_compressors[static_cast<size_t>(monoChannelIndex)];
    }
    // band 0 high, 1 mid, 2 low.
    CKnob& equaliserKnob(int channelIndex, int band)
    {
        return strip(channelIndex).bands[static_cast<size_t>(band)];
    }
    CKnob& preFaderSendKnob(int channelIndex) { return strip(channelIndex).preFaderSend; }
    CKnob& postFaderSendKnob(int channelIndex) { return strip(channelIndex).postFaderSend; }
    CKnob& panKnob(int channelIndex) { return strip(channelIndex).pan; }
    CMSlider& channelFader(int channelIndex) { return strip(channelIndex).fader; }
    CMyButton& pairOneButton(int channelIndex) { return strip(channelIndex).toPairOne; }
    CMyButton& pairTwoButton(int channelIndex) { return strip(channelIndex).toPairTwo; }
    CLevel& channelMeter(int channelIndex) { return strip(channelIndex).meter; }
    CKnob& returnKnob(int returnIndex) { return m_returns[static_cast<size_t>(returnIndex)]; }
    // pair 0: outputs 1-2, 1: outputs 3-4.
    CMyButton& returnPairButton(int returnIndex, int pair)
    {
        return m_returnPairs[static_cast<size_t>(2 * returnIndex + pair)];
    }
    CKnob& recordKnob() { return m_record; }
    CMyButton& recordPairButton(int pair) { return m_recordPairs[static_cast<size_t>(pair)]; }
    CMSlider& masterSlider(int masterIndex) { return m_masters[static_cast<size_t>(masterIndex)]; }
    CLevel& outputMeter(int output) { return m_outputMeters[static_cast<size_t>(output)]; }
    CLevelDriver& meterDriver() { return m_levelDriver; }

    // The controls in the layout table's row order.
    std::array<PanelControlRef, mixer_layout::ControlCount> controlRefs();

    MixerEngine& engine() { return m_engine; }

protected:
    // GUI thread: every control's change notification.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    struct ChannelStrip
    {
        CMCombo source;
        CKnob gain{mixer_ranges::kGain.minimum, mixer_ranges::kGain.maximum};
        CKnob preFaderSend{mixer_ranges::kSend.minimum, mixer_ranges::kSend.maximum};
        CKnob postFaderSend{mixer_ranges::kSend.minimum, mixer_ranges::kSend.maximum};
        std::array<CKnob, MixerEngine::kBandCount> bands{
            {{mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum},
             {mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum},
             {mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum}}};
        CKnob pan{mixer_ranges::kPan.minimum, mixer_ranges::kPan.maximum};
        CMSlider fader{mixer_ranges::kChannelFader.maximum, mixer_ranges::kChannelFader.minimum};
        CMyButton toPairOne{true};
        CMyButton toPairTwo{true};
        CLevel meter;
    };

    ChannelStrip& strip(int channelIndex) { return m_strips[static_cast<size_t>(channelIndex)]; }

    // Audio thread: the engine's meter readings onto the eleven meters.
    void postMeterReading(int meterIndex, float decibels) noexcept override;

    // GUI thread: sets every saved control to the state (the restore), and
    // copies what every control shows into a state.
    void showState(const MixerControlState& state);
    void readControlsInto(MixerControlState& state) const;
    // Runs a control change on the GUI thread: now when called there, else
    // posted (dropped if the panel is gone first).
    void onGuiThread(std::function<void()> change);

    MixerEngine m_engine;
    std::array<ChannelStrip, kChannelCount> m_strips;
    std::array<CMyButton, MixerControlState::kMonoChannelCount> m_compressors{
        {CMyButton{true}, CMyButton{true}}};
    std::array<CKnob, kReturnCount> m_returns{
        {{mixer_ranges::kReturnLevel.minimum, mixer_ranges::kReturnLevel.maximum},
         {mixer_ranges::kReturnLevel.minimum, mixer_ranges::kReturnLevel.maximum}}};
    // Return 1 to pair 1, to pair 2, return 2 to pair 1, to pair 2.
    std::array<CMyButton, 2 * kReturnCount> m_returnPairs{
        {CMyButton{true}, CMyButton{true}, CMyButton{true}, CMyButton{true}}};
    CKnob m_record{mixer_ranges::kRecordLevel.minimum, mixer_ranges::kRecordLevel.maximum};
    std::array<CMyButton, 2> m_recordPairs{{CMyButton{true}, CMyButton{true}}};
    std::array<CMSlider, kMasterCount> m_masters{
        {{mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum}}};
    std::array<CLevel, kMasterCount> m_outputMeters;
    CLevelDriver m_levelDriver;
    CIni m_settings;
    // Notifications that arrive while the panel is being built are not
    // copied one by one; the built panel is copied once at the end.
    bool m_bControlsBuilt = false;
};
