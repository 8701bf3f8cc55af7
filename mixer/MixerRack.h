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
// Meters: the engine posts each block's readings straight to the CLevel
// meters (CLevel::setdb only stores atomics and is safe on the audio
// thread), so a meter rises in the block that carried the peak, with no
// extra GUI timer between them; the meter driver makes them fall.
//
// Threads: Process runs on the audio thread; the remote setters may run on
// the MIDI input thread and hand the control change to the GUI thread;
// everything else runs on the GUI thread. Never touches a widget off the GUI
// thread, and Process never allocates, locks, waits or does I/O.

#include "app/RackUnit.h"
#include "mixer/MixerEngine.h"
#include "mixer/MixerMeterSink.h"
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

class CMixerRack : public CommandReceiver<CRackUnit>
{
    Q_OBJECT

public:
    // Child ids the design gives names to; every other control has id 0.
    static constexpr int ID_GAIN = 160;
    static constexpr int ID_PRE_SEND_1 = 170;
    static constexpr int ID_POST_SEND_1 = 171;
    static constexpr int ID_PAN_1 = 180;
    static constexpr int ID_FADER_1 = 190;
    static constexpr int ID_FIRST_SOURCE = 1150; // channel 1; channel 7 is 1156
    static constexpr int ID_FIRST_STEREO_SOURCE = 1152;

    static constexpr int kChannelCount = MixerControlState::kChannelCount;
    static constexpr int kMasterCount = MixerControlState::kMasterCount;
    static constexpr int kReturnCount = MixerControlState::kReturnCount;

    explicit CMixerRack(QWidget* parent = nullptr);
    // Writes every key of section "Mixer" from the controls.
    ~CMixerRack() override;

    // GUI thread, once: builds the panel, restores section "Mixer", computes
    // the equaliser and sets up the compressor.
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

    // Remote setters, any thread (the MIDI input thread in the rack): only
    // v's low 8 bits count; the value goes to the control's setvalue on the
    // GUI thread (at once when called there), so it moves, repaints and
    // notifies like a user's move. Indexes out of range are ignored.
    void SetChannelFaderRemote(int channelIndex, int midiValue); // "Channel n Level"
    void SetMasterLevelRemote(int masterIndex, int midiValue);   // "Bus n Master Level"
    void SetPanRemote(int channelIndex, int midiValue);          // "Channel n Pan"
    void SetGainRemote(int channelIndex, int midiValue);         // "Channel n Gain"
    // sendIndex 0..13: channel 1 pre, channel 1 post, channel 2 pre, ..
    void SetSendRemote(int sendIndex, int midiValue);
    void SetReturnLevelRemote(int returnIndex, int midiValue); // "Pre/Post AUX Return Level"
    void SetRecordLevelRemote(int midiValue);                  // "Rec Out Level"

    // Keyboard steps, GUI thread: the slider moves 5 up (true) or down,
    // within its range.
    void StepChannelFader(int channelIndex, bool up);
    void StepMasterLevel(int masterIndex, bool up);

    // The controls, for the view and tests. channelIndex 0..6.
    CMCombo& sourceSelector(int channelIndex) { return strip(channelIndex).source; }
    CKnob& gainKnob(int channelIndex) { return strip(channelIndex).gain; }
    CMyButton& compressorSwitch(int monoChannelIndex) { return strip(monoChannelIndex).compressor; }
    // band 0 high, 1 mid, 2 low.
    CKnob& equaliserKnob(int channelIndex, int band);
    CKnob& preFaderSendKnob(int channelIndex) { return strip(channelIndex).preFaderSend; }
    CKnob& postFaderSendKnob(int channelIndex) { return strip(channelIndex).postFaderSend; }
    CKnob& panKnob(int channelIndex) { return strip(channelIndex).pan; }
    CMSlider& channelFader(int channelIndex) { return strip(channelIndex).fader; }
    CMyButton& pairOneButton(int channelIndex) { return strip(channelIndex).toPairOne; }
    CMyButton& pairTwoButton(int channelIndex) { return strip(channelIndex).toPairTwo; }
    CLevel& channelMeter(int channelIndex) { return strip(channelIndex).meter; }
    CKnob& returnKnob(int returnIndex);
    CMyButton& returnPairButton(int returnIndex, int pair);
    CKnob& recordKnob() { return m_record; }
    CMyButton& recordPairButton(int pair);
    CMSlider& masterSlider(int masterIndex);
    CLevel& outputMeter(int output);
    CLevelDriver& meterDriver() { return m_levelDriver; }

    MixerEngine& engine() { return m_engine; }

protected:
    // GUI thread: every control's change notification.
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    struct ChannelStrip
    {
        CMCombo source;
        CKnob gain{mixer_ranges::kGain.minimum, mixer_ranges::kGain.maximum};
        CMyButton compressor; // channels 1 and 2 only
        CKnob preFaderSend{mixer_ranges::kSend.minimum, mixer_ranges::kSend.maximum};
        CKnob postFaderSend{mixer_ranges::kSend.minimum, mixer_ranges::kSend.maximum};
        CKnob high{mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum};
        CKnob mid{mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum};
        CKnob low{mixer_ranges::kEqualiser.minimum, mixer_ranges::kEqualiser.maximum};
        CKnob pan{mixer_ranges::kPan.minimum, mixer_ranges::kPan.maximum};
        CMSlider fader{mixer_ranges::kChannelFader.maximum, mixer_ranges::kChannelFader.minimum};
        CMyButton toPairOne;
        CMyButton toPairTwo;
        CLevel meter;
    };

    // Forwards the engine's readings to the eleven meters (audio thread).
    class MeterForwarder : public MixerMeterSink
    {
    public:
        void postMeterReading(int meterIndex, float decibels) noexcept override;
        std::array<CLevel*, kMeterCount> meters{};
    };

    ChannelStrip& strip(int channelIndex) { return m_strips[static_cast<size_t>(channelIndex)]; }

    // CreateControls' stages.
    void createSelectors(const MixerControlState& saved);
    void createChannelKnobs(const MixerControlState& saved);
    void createSlidersAndButtons();
    void createMeters();
    void createMasterKnobs(const MixerControlState& saved);
    void restoreSlidersButtonsAndGains(const MixerControlState& saved);

    // GUI thread: copies what every control shows into the engine's state.
    void readControlsInto(MixerControlState& state) const;
    // Runs a control change on the GUI thread: now when called there, else
    // posted (dropped if the panel is gone first).
    void onGuiThread(std::function<void()> change);

    MixerEngine m_engine;
    std::array<ChannelStrip, kChannelCount> m_strips;
    std::array<CKnob, kReturnCount> m_returns{
        {{mixer_ranges::kReturnLevel.minimum, mixer_ranges::kReturnLevel.maximum},
         {mixer_ranges::kReturnLevel.minimum, mixer_ranges::kReturnLevel.maximum}}};
    std::array<CMyButton, kReturnCount> m_returnToPairOne;
    std::array<CMyButton, kReturnCount> m_returnToPairTwo;
    CKnob m_record{mixer_ranges::kRecordLevel.minimum, mixer_ranges::kRecordLevel.maximum};
    CMyButton m_recordFromPairOne;
    CMyButton m_recordFromPairTwo;
    std::array<CMSlider, kMasterCount> m_masters{
        {{mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum},
         {mixer_ranges::kMasterLevel.maximum, mixer_ranges::kMasterLevel.minimum}}};
    std::array<CLevel, kMasterCount> m_outputMeters;
    CLevelDriver m_levelDriver;
    MeterForwarder m_meterForwarder;
    CIni m_settings;
    // Notifications that arrive while the panel is being built are not
    // copied one by one; the built panel is copied once at the end.
    bool m_bControlsBuilt = false;
};
