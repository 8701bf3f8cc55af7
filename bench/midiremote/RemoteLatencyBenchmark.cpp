// A controller knob swept at 1000 messages per second, fed to the remote
// dispatcher from another thread as the MIDI device's delivery thread feeds
// it, bound to channel 1's fader of the real mixer in the real window: how
// long until the fader shows a message's value (median and 99th percentile),
// and how often the fader repaints per message.

#include "app/CorvaneView.h"
#include "app/MainFrame.h"
#include "bench/OffscreenApplication.h"
#include "midiremote/RemoteDispatcher.h"
#include "mixer/MixerRack.h"
#include "mixer/MixerRemote.h"
#include "utilkit/Ini.h"
#include "utilkit/midi/ShortMsg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

constexpr int kMessages = 3000;
constexpr auto kMessagePeriod = std::chrono::microseconds(1000);

QApplication& application()
{
    return benchkit::offscreenApplication();
}

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

void BM_ControllerToFader(benchmark::State& state)
{
    application();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    CIni(rack::kSettingsFileName).WriteInt("MIDIC", "0", 7);

    for (auto _ : state)
    {
        CMainFrame frame;
        frame.view()->OnInitialUpdate();
        frame.show();
        CMSlider& fader = frame.view()->mixer()->channelFader(0);
        PaintCounter counter;
        fader.installEventFilter(&counter);
        QApplication::processEvents();
        counter.paints = 0;

        // Message n carries value n % 128; its send time in ms since start.
        std::vector<double> sentAt(kMessages);
        std::atomic<int> sent{0};
        QElapsedTimer clock;
        clock.start();
        std::thread sender(
            [&]
            {
                auto next = std::chrono::steady_clock::now();
                for (int n = 0; n < kMessages; ++n)
                {
                    std::this_thread::sleep_until(next);
                    next += kMessagePeriod;
                    sentAt[static_cast<size_t>(n)] =
                        static_cast<double>(clock.nsecsElapsed()) / 1e6;
                    sent.store(n + 1, std::memory_order_release);
                    frame.view()->remoteDispatcher().ReceiveMsg(
                        midi::CShortMsg::Pack(0xB0, 7, static_cast<unsigned char>(n % 128)), 0);
                }
            });

        // The GUI thread looks at the fader every millisecond; a new value is
        // the answer to the latest message sent that carries it, and to every
        // message before that one.
        std::vector<std::pair<double, int>> answers;
        int shown = fader.getvalue();
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&poll, &QTimer::timeout,
                         [&]
                         {
                             const int value = fader.getvalue();
                             if (value == shown)
                                 return;
                             shown = value;
                             const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                             for (int n = sent.load(std::memory_order_acquire) - 1; n >= 0; --n)
                                 if (mixer_remote::faderValue(n % 128) == value)
                                 {
                                     answers.push_back({now, n});
                                     break;
                                 }
                         });
        poll.start(1);
        while (sent.load() < kMessages)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        sender.join();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 50)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        poll.stop();

        // Each message's latency: until the first answer to it or a later one.
        std::vector<double> latencies;
        size_t answer = 0;
        for (int n = 0; n < kMessages; ++n)
        {
            while (answer < answers.size() && answers[answer].second < n)
                ++answer;
            if (answer < answers.size())
                latencies.push_back(answers[answer].first - sentAt[static_cast<size_t>(n)]);
        }
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) {
            return latencies.empty() ? 0.0
                                     : latencies[static_cast<size_t>(q * (latencies.size() - 1))];
        };
        state.counters["latency_median_ms"] = at(0.5);
        state.counters["latency_p99_ms"] = at(0.99);
        state.counters["paints_per_message"] = static_cast<double>(counter.paints) / kMessages;
        state.counters["fader_updates"] = static_cast<double>(answers.size());
        frame.view()->m_askExit = [] { return true; };
        frame.close();
    }
}
BENCHMARK(BM_ControllerToFader)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
