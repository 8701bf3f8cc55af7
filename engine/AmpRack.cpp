#include "engine/AmpRack.h"

#include "app/PanelControls.h"
#include "app/RackUnitTable.h"
#include "engine/AmpLayout.h"
#include "engine/AmpSettings.h"
#include "platform/Denormals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace
{
// Refresh of the CPU display.
constexpr int kCpuPeriodMs = 1000;
// Latency figures are shown in hundreds of frames.
constexpr long kLatencyDivisor = 100;
} // namespace

CAmpRack::CAmpRack(QWidget* parent) : CommandReceiver<CRackUnit>(rack::Amplifier, parent)
{
    m_settings.SetPathName(rack::kSettingsFileName);
    connect(&m_cpuTimer, &QTimer::timeout, this, &CAmpRack::updateCpuDisplay);
}

CAmpRack::~CAmpRack()
{
    // The device must stop before the chain it calls into is destroyed.
    m_cpuTimer.stop();
    m_asio.stopaudio();
    m_asio.unloaddriver();
}

float CAmpRack::rateForIndex(int rateIndex)
{
    if (rateIndex == 1)
        return 48000.0f;
    if (rateIndex == 2)
        return 96000.0f;
    return 44100.0f;
}

std::array<PanelControlRef, amp_layout::ControlCount> CAmpRack::controlRefs()
{
    return {&m_vuMeters[0], &m_vuMeters[1], &m_vuMeters[2], &m_vuMeters[3], &m_lamps[0],
            &m_lamps[1],    &m_lamps[2],    &m_lamps[3],    &m_power,       &m_tick,
            &m_device,      &m_rate,        &m_latency,     &m_cpu};
}

void CAmpRack::CreateControls()
{
    panel_controls::createControls(*this, amp_layout::controls, controlRefs());

    QStringList drivers{QStringLiteral("None")};
    for (unsigned index = 0; index < m_asio.getDriverNum(); ++index)
        drivers << QString::fromUtf8(m_asio.getDriverName(index));
    m_device.setitems(drivers);
    m_rate.setitems(QStringList{QStringLiteral("44100HZ"), QStringLiteral("48000HZ"),
                                QStringLiteral("96000HZ")});
    m_latency.setnumblank(3);
    m_latency.setmaxvalue(999);
    m_latency.setvalue(0);
    m_cpu.setnumblank(2);
    m_cpu.setmaxvalue(99);
    m_cpu.setvalue(0);

    m_cpuTimer.start(kCpuPeriodMs);

    // An index outside the selector's items is ignored by the selector.
    m_chosen = RestoreAmpSettings(m_settings);
    m_bRestoring = true;
    m_device.setitemindex(m_chosen.deviceIndex);
    m_rate.setitemindex(m_chosen.rateIndex);
    m_bRestoring = false;
    update();
}

void CAmpRack::SetChain(RackProcessor* chainRoot, RackProcessor* postProcessor)
{
    m_engine.setChain(chainRoot, postProcessor);
}

void CAmpRack::OnCommand(int commandId, QWidget*)
{
    switch (commandId)
    {
    case ID_POWER:
        if (m_power.getStatus())
            PowerOn();
        else
            PowerOff();
        break;
    case ID_DEVICE:
    case ID_RATE:
        // A rate shown because the device runs at it is not the user's choice.
        if (m_bRestoring || m_bShowingDeviceRate)
            break;
        m_chosen = {m_device.getitemindex(), m_rate.getitemindex()};
        SaveAmpSettings(m_settings, m_chosen);
        update();
        break;
    default:
        break;
    }
}

void CAmpRack::PowerOn()
{
    m_strPowerFailure.clear();
    auto springBack = [this](const QString& reason)
    {
        m_power.SetStatus(false);
        m_asio.unloaddriver();
        tellPowerFailure(reason);
    };
    const int deviceIndex = m_device.getitemindex();
    if (deviceIndex <= 0)
    {
        springBack(QStringLiteral("Choose an audio device, then press POWER."));
        return;
    }
    const QString deviceName = m_device.itemText(deviceIndex);
    if (!m_asio.loaddriver(static_cast<unsigned>(deviceIndex - 1), &CAmpRack::EngineCallback,
                           reinterpret_cast<unsigned long>(this)))
    {
        springBack(QStringLiteral("%1 could not be opened: %2.")
                       .arg(deviceName, QString::fromUtf8(m_asio.getErrorMessage())));
        return;
    }
    const float wanted = rateForIndex(m_rate.getitemindex());
    if (!m_asio.setSampleRate(wanted))
    {
        // A device clocked from outside (a JACK server) runs at its own rate:
        // run at that one and show it, rather than refusing to play.
        const float deviceRate = m_asio.getSampleRate();
        if (deviceRate <= 0.0f || !m_asio.setSampleRate(deviceRate))
        {
            springBack(QStringLiteral("%1 cannot run at %2 Hz.")
                           .arg(deviceName)
                           .arg(static_cast<double>(wanted)));
            return;
        }
        showRate(indexForRate(deviceRate));
    }
    const float rate = m_asio.getSampleRate() > 0.0f ? m_asio.getSampleRate() : wanted;
    m_engine.prepare(rate);
    m_engine.reset();
    m_latency.setvalue(
        static_cast<int>((m_asio.getOutputLatency() + m_asio.getInputLatency()) / kLatencyDivisor));
    const long outputs = m_asio.getOutputChannels();

    if (RackProcessor* root = m_engine.chainRoot())
    {
        root->SetSampleRate(rate);
        root->m_bRunning = true;
    }
    if (RackProcessor* post = m_engine.postProcessor())
        post->SetSampleRate(rate);
    if (!m_asio.startaudio())
    {
        if (RackProcessor* root = m_engine.chainRoot())
        {
            root->SetSampleRate(0.0f);
            root->m_bRunning = false;
        }
        if (RackProcessor* post = m_engine.postProcessor())
            post->SetSampleRate(0.0f);
        m_latency.setvalue(0);
        springBack(QStringLiteral("%1 did not start.").arg(deviceName));
        return;
    }
    for (size_t channel = 0; channel < 4; ++channel)
        m_lamps[channel].setlightened(outputs >= static_cast<long>(channel) + 1);
    m_bRunning = true;
}

int CAmpRack::indexForRate(float rate)
{
    for (int item = 0; item < 3; ++item)
        if (rateForIndex(item) == rate)
            return item;
    return -1;
}

void CAmpRack::showRate(int rateIndex)
{
    // The selector shows the rate that runs; the user's own choice stays
    // stored, and comes back at power off.
    m_bShowingDeviceRate = true;
    m_rate.setitemindex(rateIndex);
    m_bShowingDeviceRate = false;
}

void CAmpRack::tellPowerFailure(const QString& reason)
{
    m_strPowerFailure = reason;
    if (!m_bTellUser)
        return;
    // Not modal: the rack keeps running behind it, and it never blocks power off.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvane"), reason,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void CAmpRack::PowerOff()
{
    for (auto& lamp : m_lamps)
        lamp.setlightened(false);
    m_latency.setvalue(0);
    m_asio.stopaudio();
    m_asio.unloaddriver();
    m_engine.prepare(0.0);
    m_bRunning = false;
    if (RackProcessor* root = m_engine.chainRoot())
    {
        root->SetSampleRate(0.0f);
        root->m_bRunning = false;
    }
    if (RackProcessor* post = m_engine.postProcessor())
        post->SetSampleRate(0.0f);
    m_power.SetStatus(false);
    if (m_rate.getitemindex() != m_chosen.rateIndex)
        showRate(m_chosen.rateIndex);
}

long CAmpRack::EngineCallback(float** in, float** out, long numIn, long numOut, long frames, long,
                              unsigned long userData)
{
    auto* amp = reinterpret_cast<CAmpRack*>(userData);
    const platform::ScopedNoDenormals noDenormals;
    amp->m_engine.m_bTickOn.store(amp->m_tick.getStatus(), std::memory_order_relaxed);
    amp->m_engine.process(in, out, numIn, numOut, frames);
    for (int channel = 0; channel < EngineBlock::kMeteredChannels; ++channel)
        amp->m_vuMeters[static_cast<size_t>(channel)].setdb(amp->m_engine.meterDb(channel));
    return 1;
}

void CAmpRack::updateCpuDisplay()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    m_cpu.setvalue(m_cpuUsage.GetCpuUsage(program.toStdString()));
}
