#pragma once

// CCorvaneView: the rack. Owns the ten units, stacks them 69 pixels per
// slot in the order the settings file remembers, scrolls them, re-orders them
// on their Move Up / Move Down requests and writes every position after each
// relayout. It sees every key press aimed at itself or its units, consumes
// it, and runs the rack's keyboard actions.
//
// Threads: GUI thread only. The remote's dispatcher receives on the MIDI
// port's delivery thread and applies the functions here, on the GUI thread.

#include "app/KeyboardMap.h"
#include "app/RackLayout.h"
#include "app/RackUnitTable.h"
#include "midiremote/RemoteDispatcher.h"
#include "utilkit/Ini.h"
#include "utilkit/midi/MIDIInDevice.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class CAmpRack;
class CMP3Rack;
class CMixerRack;
class CRackUnit;
class CSoundFxRack;
class QScrollBar;

class CCorvaneView : public QWidget
{
    Q_OBJECT

public:
    explicit CCorvaneView(QWidget* parent = nullptr);
    ~CCorvaneView() override;

    // Reads the positions, lays the units out, creates their controls and
    // wires the processing chain. Called once, after construction.
    void OnInitialUpdate();

    // Asks the user; on Yes closes MIDI and stops the engine (so no unit is
    // destroyed while the device streams) and returns true.
    bool confirmExit();
    // Stops and unloads the audio device and joins the units' threads.
    void shutdownEngine();

    CRackUnit* unit(std::size_t index) const { return m_units[index]; }
    CAmpRack* amplifier() const;
    CMixerRack* mixer() const;
    CMP3Rack* mp3Player() const;
    CSoundFxRack* soundFx() const;
    const RackLayout& layout() const { return m_layout; }
    int scrollOffset() const { return m_nScrollOffset; }
    void scrollTo(int offset);
    QScrollBar* scrollBar() const { return m_pScrollBar; }

    // The layout routine: place every unit and write every position.
    void relayout();
    void moveUnit(CRackUnit* unit, bool up);

    // MIDI remote control. GUI thread. Opens the port the settings name
    // (closing the open one first) and takes the instrument-sharing decision.
    void openRemotePort();
    // The port the remote has open, as an index into the device list; -1 none.
    int remotePort() const { return m_nRemotePort; }
    // "MIDI Controller Setup ...": the modal setup dialog; bindings are read
    // again when it closes.
    void runMidiSetup();
    remote::RemoteDispatcher& remoteDispatcher() { return m_remote; }
    // Runs remote function 0-52 with a MIDI value (GUI thread).
    void applyRemote(int function, int midiValue);

    // Runs the keyboard action for a key (exposed for the key filter and tests).
    void runKeyAction(const rack::KeyAction& action);

    // Replaces the confirmation question (tests answer it without a dialog).
    std::function<bool()> m_askExit;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    rack::KeyRepeatFilter m_keyRepeats;
    void createUnits();
    void updateScrollRange();
    std::size_t indexOf(const CRackUnit* unit) const;
    bool isOwnWidget(QObject* object) const;

    void buildRemoteTargets();
    void takeSharingDecision(int remotePort, const std::vector<std::string>& deviceNames);

    // Before the device: the device's delivery thread calls into it.
    remote::RemoteDispatcher m_remote{*this, [this](int function, int value)
                                      { applyRemote(function, value); }};
    std::vector<std::function<void(int)>> m_remoteTargets;
    int m_nRemotePort = -1;
    std::array<unsigned char, remote::RemoteDispatcher::kSysExBufferSize> m_sysExBuffer{};
    midi::CMIDIInDevice m_midiIn;
    // Destroyed in reverse of the registry's construction order.
    std::array<std::unique_ptr<CRackUnit>, rack::RackUnitCount> m_ownedUnits;
    std::array<CRackUnit*, rack::RackUnitCount> m_units{};
    CIni m_settings;
    RackLayout m_layout;
    QPixmap m_background;
    QScrollBar* m_pScrollBar = nullptr;
    int m_nScrollOffset = 0;
    bool m_bEngineShutDown = false;
};
