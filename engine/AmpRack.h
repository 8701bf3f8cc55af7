#pragma once

// CAmpRack: the amplifier, top of the rack. Owns the audio device: its power
// switch loads the chosen driver at the chosen rate, tells the chain the rate
// and starts streaming; every device block then passes through
// EngineCallback (chain, tick, clipping, meters). Shows four VU meters,
// channel lamps, the latency and the program's CPU load.
//
// Threads: EngineCallback runs on the audio thread; everything else on the
// GUI thread. Power on and off happen only on the GUI thread, and the chain's
// rate and run flags change only while the device is stopped.

#include "app/PanelControls.h"
#include "app/RackUnit.h"
#include "audiodev/MASIO.h"
#include "engine/AmpLayout.h"
#include "engine/AmpSettings.h"
#include "engine/EngineBlock.h"
#include "skinkit/CLED.h"
#include "skinkit/CLEDLight.h"
#include "skinkit/CMCombo.h"
#include "skinkit/CMyButton.h"
#include "skinkit/CVUMeter.h"
#include "skinkit/CommandReceiver.h"
#include "utilkit/CpuUsage.h"
#include "utilkit/Ini.h"

#include <QTimer>

#include <array>
#include <atomic>

class CAmpRack : public CommandReceiver<CRackUnit>
{
    Q_OBJECT

public:
    static constexpr int ID_POWER = amp_layout::kPowerCommand;
    static constexpr int ID_DEVICE = amp_layout::kDeviceCommand;
    static constexpr int ID_RATE = amp_layout::kRateCommand;

    explicit CAmpRack(QWidget* parent = nullptr);
    ~CAmpRack() override;

    void CreateControls() override;
    // The amplifier is never a source.
    void Process(float**, float**, long, long, long) override {}

    // GUI thread, once, after every unit's controls exist.
    void SetChain(RackProcessor* chainRoot, RackProcessor* postProcessor);

    // GUI thread: what the power switch does (also used at exit).
    void PowerOn();
    void PowerOff();

    // Audio thread: the device's block callback; userData is the amplifier.
    static long EngineCallback(float** in, float** out, long numIn, long numOut, long frames,
                               long samplePosition, unsigned long userData);

    // For the view and tests.
    CMyButton& powerSwitch() { return m_power; }
    CMyButton& tickSwitch() { return m_tick; }
    CMCombo& deviceSelector() { return m_device; }
    CMCombo& rateSelector() { return m_rate; }
    CLED& latencyDisplay() { return m_latency; }
    CLED& cpuDisplay() { return m_cpu; }
    CLEDLight& lamp(int channel) { return m_lamps[static_cast<size_t>(channel)]; }
    CVUMeter& vuMeter(int channel) { return m_vuMeters[static_cast<size_t>(channel)]; }
    CMASIO& device() { return m_asio; }
    const EngineBlock& engine() const { return m_engine; }

    // The controls in the layout table's row order.
    std::array<PanelControlRef, amp_layout::ControlCount> controlRefs();

    static float rateForIndex(int rateIndex);
    // The selector item of a rate, -1 for a rate it does not list.
    static int indexForRate(float rate);

    // Why the last power on sprang back ("" when it worked).
    const QString& powerFailure() const { return m_strPowerFailure; }
    // Whether a failed power on also shows its reason in a message box
    // (tests read powerFailure instead).
    void setTellUser(bool tell) { m_bTellUser = tell; }

protected:
    void OnCommand(int commandId, QWidget* notifyHandle) override;

private:
    void updateCpuDisplay();
    void showRate(int rateIndex);
    void tellPowerFailure(const QString& reason);

    std::array<CVUMeter, 4> m_vuMeters;
    std::array<CLEDLight, 4> m_lamps;
    CMyButton m_power{true};
    CMyButton m_tick{true};
    CMCombo m_device;
    CMCombo m_rate;
    CLED m_latency;
    CLED m_cpu;
    CMASIO m_asio;
    CIni m_settings;
    CCpuUsage m_cpuUsage;
    QTimer m_cpuTimer;
    EngineBlock m_engine;
    QString m_strPowerFailure;
    bool m_bTellUser = true;
    bool m_bShowingDeviceRate = false;
    bool m_bRestoring = false;
    // The device and rate the user chose, as stored.
    AmpSettings m_chosen;
};
