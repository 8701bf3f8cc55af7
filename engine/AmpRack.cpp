#include "engine/AmpRack.h"

#include "app/RackUnitTable.h"
#include "engine/AmpLayout.h"
#include "platform/Denormals.h"
#include "skinkit/PictureModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace
{
constexpr int kLampPicture = 133;
constexpr int kLedPicture = 135;
constexpr int kLedCells = 13;
constexpr int kPowerPicture = 145;
constexpr int kTickPicture = 151;
// Refresh of the CPU display.
constexpr int kCpuPeriodMs = 1000;
// Latency figures are shown in hundreds of frames.
constexpr long kLatencyDivisor = 100;

QRect at(amp_layout::Point point, int width = 1, int height = 1)
{
    return QRect(point.x, point.y, width, height);
}
} // namespace

CAmpRack::CAmpRack(QWidget* parent)
    : CommandReceiver<CRackUnit>(rack::kRackUnits[rack::Amplifier].backgroundId, parent)
{
    m_settings.SetPathName("rackdata5.ini");
    m_strName = QStringLiteral("Amplifier");
    m_nHeight = rack::kRackUnits[rack::Amplifier].height;
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

void CAmpRack::CreateControls()
{
    const PictureModule pictures = PictureModule::corvane();
    for (size_t channel = 0; channel < 4; ++channel)
    {
        m_vuMeters[channel].create(
            this, at(amp_layout::vuMeters[channel], amp_layout::vuWidth, amp_layout::vuHeight), 0);
        m_lamps[channel].create(this, at(amp_layout::lamps[channel]), 0);
        m_lamps[channel].LoadPicture(pictures, kLampPicture);
    }
    m_power.create(this, at(amp_layout::powerSwitch), ID_POWER);
    m_power.LoadPicture(pictures, kPowerPicture);
    m_power.setparentwnd(this);
    m_tick.create(this, at(amp_layout::tickSwitch), 0);
    m_tick.LoadPicture(pictures, kTickPicture);

    m_device.create(
        this, at(amp_layout::deviceSelector, amp_layout::selectorWidth, amp_layout::selectorHeight),
        ID_DEVICE);
    m_device.setparentwnd(this);
    QStringList drivers{QStringLiteral("None")};
    for (unsigned index = 0; index < m_asio.getDriverNum(); ++index)
        drivers << QString::fromUtf8(m_asio.getDriverName(index));
    m_device.setitems(drivers);

    m_rate.create(
        this, at(amp_layout::rateSelector, amp_layout::selectorWidth, amp_layout::selectorHeight),
        ID_RATE);
    m_rate.setparentwnd(this);
    m_rate.setitems(QStringList{QStringLiteral("44100HZ"), QStringLiteral("48000HZ"),
                                QStringLiteral("96000HZ")});

    m_latency.create(this, at(amp_layout::latencyDisplay), 0);
    m_latency.LoadPicture(pictures, kLedPicture, kLedCells);
    m_latency.setnumblank(3);
    m_latency.setmaxvalue(999);
    m_latency.setvalue(0);
    m_cpu.create(this, at(amp_layout::cpuDisplay), 0);
    m_cpu.LoadPicture(pictures, kLedPicture, kLedCells);
    m_cpu.setnumblank(2);
    m_cpu.setmaxvalue(99);
    m_cpu.setvalue(0);

    m_cpuTimer.start(kCpuPeriodMs);

    // An index outside the selector's items is ignored by the selector.
    m_device.setitemindex(m_settings.GetInt("amp", "asiodevice", 0, 10));
    m_rate.setitemindex(m_settings.GetInt("amp", "samplerate", 0, 10));
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
        m_settings.WriteInt("amp", "asiodevice", m_device.getitemindex(), 10);
        update();
        break;
    case ID_RATE:
        if (m_bShowingDeviceRate)
            break;
        m_settings.WriteInt("amp", "samplerate", m_rate.getitemindex(), 10);
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
        showRunningRate(deviceRate);
    }
    const float rate = m_asio.getSampleRate() > 0.0f ? m_asio.getSampleRate() : wanted;
    m_fDeviceRate.store(rate);
    m_latency.setvalue(
        static_cast<int>((m_asio.getOutputLatency() + m_asio.getInputLatency()) / kLatencyDivisor));
    const long outputs = m_asio.getOutputChannels();

    if (RackProcessor* root = m_engine.chainRoot())
    {
        root->SetSampleRate(rate);
        root->m_bRunning = true;
    }
    if (!m_asio.startaudio())
    {
        if (RackProcessor* root = m_engine.chainRoot())
        {
            root->SetSampleRate(0.0f);
            root->m_bRunning = false;
        }
        m_latency.setvalue(0);
        springBack(QStringLiteral("%1 did not start.").arg(deviceName));
        return;
    }
    for (size_t channel = 0; channel < 4; ++channel)
        m_lamps[channel].setlightened(outputs >= static_cast<long>(channel) + 1);
    m_bRunning = true;
}

void CAmpRack::showRunningRate(float rate)
{
    // The selector shows the rate that runs; the user's own choice stays
    // stored, so another device still gets it.
    for (int item = 0; item < m_rate.getcount(); ++item)
    {
        if (rateForIndex(item) == rate)
        {
            m_bShowingDeviceRate = true;
            m_rate.setitemindex(item);
            m_bShowingDeviceRate = false;
            return;
        }
    }
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
    m_bRunning = false;
    if (RackProcessor* root = m_engine.chainRoot())
    {
        root->SetSampleRate(0.0f);
        root->m_bRunning = false;
    }
    m_power.SetStatus(false);
}

long CAmpRack::EngineCallback(float** in, float** out, long numIn, long numOut, long frames, long,
                              unsigned long userData)
{
    auto* amp = reinterpret_cast<CAmpRack*>(userData);
    const platform::ScopedNoDenormals noDenormals;
    amp->m_engine.m_bTickOn.store(amp->m_tick.getStatus(), std::memory_order_relaxed);
    amp->m_engine.process(in, out, numIn, numOut, frames, amp->m_fDeviceRate.load());
    for (int channel = 0; channel < EngineBlock::kMeteredChannels; ++channel)
        amp->m_vuMeters[static_cast<size_t>(channel)].setdb(amp->m_engine.meterDb(channel));
    return 1;
}

void CAmpRack::updateCpuDisplay()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    m_cpu.setvalue(m_cpuUsage.GetCpuUsage(program.toStdString()));
}
