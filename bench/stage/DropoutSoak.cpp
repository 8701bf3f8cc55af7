// corvane-soak: the full show (every source playing, both effects, the
// recorder recording, the graphic equaliser on) through a real driver for a
// number of minutes, then the dropouts a sound engineer would hear or lose:
// JACK xruns, blocks that took longer than their period, halves the players
// played before they were refilled, frames the recorder lost and MIDI events
// the instrument's queue dropped, with the longest block, minute by minute
// and in all. Exits 1 when sound or data was lost (a late refill: silence;
// recorder frames; MIDI), 3 when only blocks ran longer than their period,
// 2 when the show could not start. Xruns are reported but do not fail the
// run: a busy shared machine makes JACK's dummy server miss its own
// deadlines, and on a virtual machine even an empty rack's block is now and
// then descheduled for milliseconds, which is why late blocks have their own
// exit status.
//
//   corvane-soak [minutes (10)] [device ("JACK")]
//
// With "JACK" it joins the running server (JACK_DEFAULT_SERVER names it) and
// counts the server's xruns with a client of its own; any other device name
// from the amplifier's list ("Virtual Device") runs without that count.

#include "app/CorvaneView.h"
#include "bench/stage/StageRack.h"
#include "engine/AmpRack.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <time.h>

namespace
{

// How often what ran out is started again (and the chord struck afresh).
constexpr int kKeepPlayingMs = 500;
constexpr int kProgressMs = 60 * 1000;

// The amplifier's chain with a stopwatch: the mixer, then the equaliser, as
// the engine block runs them, timed on the wall clock, since a block that is
// preempted is as late for the device as one that computes too long.
// Threads: Process on the audio thread (atomics only); SetSampleRate on the
// GUI thread while the device is stopped.
class TimedChain : public RackProcessor
{
public:
    TimedChain(RackProcessor& mixer, RackProcessor& equaliser)
        : m_mixer(mixer), m_equaliser(equaliser)
    {
    }

    // The amplifier sets the rate and the run flag of its chain root: pass
    // both on to the mixer, the rate to the equaliser.
    void SetSampleRate(float rate) override
    {
        m_mixer.SetSampleRate(rate);
        m_mixer.m_bRunning = rate != 0.0f;
        m_equaliser.SetSampleRate(rate);
        RackProcessor::SetSampleRate(rate);
    }

    void Process(float** in, float** out, long numIn, long numOut, long frames) override
    {
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t cpuStart = threadCpuNs();
        m_mixer.Process(in, out, numIn, numOut, frames);
        m_equaliser.Process(in, out, numIn, numOut, frames);
        const std::int64_t cpuSpent = threadCpuNs() - cpuStart;
        const auto spent = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        const double periodNs = 1e9 * static_cast<double>(frames) / GetSampleRate();
        m_nBlocks.fetch_add(1, std::memory_order_relaxed);
        if (static_cast<double>(spent) > periodNs)
            m_nLateBlocks.fetch_add(1, std::memory_order_relaxed);
        if (spent > m_nLongestNs.load(std::memory_order_relaxed))
        {
            m_nLongestNs.store(spent, std::memory_order_relaxed);
            m_nLongestCpuNs.store(cpuSpent, std::memory_order_relaxed);
        }
        if (spent > m_nMinuteLongestNs.load(std::memory_order_relaxed))
            m_nMinuteLongestNs.store(spent, std::memory_order_relaxed);
        m_nLastFrames.store(frames, std::memory_order_relaxed);
    }

    std::uint64_t blocks() const { return m_nBlocks.load(); }
    std::uint64_t lateBlocks() const { return m_nLateBlocks.load(); }
    double longestUs() const { return static_cast<double>(m_nLongestNs.load()) / 1000.0; }
    // The longest block since the last call (a block running meanwhile may
    // land in either minute).
    double takeMinuteLongestUs()
    {
        return static_cast<double>(m_nMinuteLongestNs.exchange(0)) / 1000.0;
    }
    // The CPU time of that block: far less than its wall time when the thread
    // waited or was descheduled rather than computed.
    double longestCpuUs() const { return static_cast<double>(m_nLongestCpuNs.load()) / 1000.0; }
    // While the device runs.
    double periodUs() const
    {
        return 1e6 * static_cast<double>(m_nLastFrames.load()) / GetSampleRate();
    }

private:
    static std::int64_t threadCpuNs() noexcept
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    RackProcessor& m_mixer;
    RackProcessor& m_equaliser;
    std::atomic<std::uint64_t> m_nBlocks{0};
    std::atomic<std::uint64_t> m_nLateBlocks{0};
    std::atomic<std::int64_t> m_nLongestNs{0};
    std::atomic<std::int64_t> m_nLongestCpuNs{0};
    std::atomic<std::int64_t> m_nMinuteLongestNs{0};
    std::atomic<long> m_nLastFrames{0};
};

// A JACK client of its own that only listens for the server's xruns (the
// server reports them to every client). Threads: JACK's notification thread
// counts; the main thread reads.
class XrunCounter
{
public:
    XrunCounter()
    {
        m_client = jack_client_open("corvane-soak", JackNoStartServer, nullptr);
        if (m_client == nullptr)
            return;
        jack_set_xrun_callback(m_client, &XrunCounter::onXrun, this);
        jack_activate(m_client);
    }
    ~XrunCounter()
    {
        if (m_client == nullptr)
            return;
        jack_deactivate(m_client);
        jack_client_close(m_client);
    }
    XrunCounter(const XrunCounter&) = delete;
    XrunCounter& operator=(const XrunCounter&) = delete;

    bool listening() const { return m_client != nullptr; }
    std::uint64_t count() const { return m_nXruns.load(); }

private:
    static int onXrun(void* self)
    {
        static_cast<XrunCounter*>(self)->m_nXruns.fetch_add(1);
        return 0;
    }

    jack_client_t* m_client = nullptr;
    std::atomic<std::uint64_t> m_nXruns{0};
};

bool choose(CMCombo& selector, const QString& text)
{
    for (int item = 0; item < selector.getcount(); ++item)
        if (selector.itemText(item) == text)
        {
            selector.setitemindex(item);
            return true;
        }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const QString device = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("JACK");
    if (minutes <= 0.0)
    {
        std::fprintf(stderr, "usage: corvane-soak [minutes] [device]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("Building the show...\n");
    stage::StageRack show;
    CAmpRack& amp = *show.view().amplifier();
    RackProcessor& mixer = *amp.engine().chainRoot();
    RackProcessor& equaliser = *amp.engine().postProcessor();
    TimedChain chain(mixer, equaliser);
    amp.SetChain(&chain, nullptr);
    amp.setTellUser(false);
    if (!choose(amp.deviceSelector(), device))
    {
        std::fprintf(stderr, "No device \"%s\" in the amplifier's list.\n", qPrintable(device));
        amp.SetChain(&mixer, &equaliser);
        return 2;
    }
    // The second rate item is 48000 Hz; a JACK server runs at its own.
    amp.rateSelector().setitemindex(1);
    amp.powerSwitch().SetStatus(true);
    amp.PowerOn();
    if (!amp.m_bRunning)
    {
        std::fprintf(stderr, "POWER sprang back: %s\n", qPrintable(amp.powerFailure()));
        amp.SetChain(&mixer, &equaliser);
        return 2;
    }
    std::unique_ptr<XrunCounter> xruns;
    if (device == QStringLiteral("JACK"))
        xruns = std::make_unique<XrunCounter>();

    // CORVANE_SOAK_PARTS (a stage::Part mask) plays only some units, to find
    // which one a dropout comes from.
    bool partsGiven = false;
    const unsigned parts =
        static_cast<unsigned>(qEnvironmentVariableIntValue("CORVANE_SOAK_PARTS", &partsGiven));
    show.start(partsGiven ? parts : stage::Everything);
    std::printf("Playing the full rack on %s at %.0f Hz for %.1f minutes.\n", qPrintable(device),
                static_cast<double>(chain.GetSampleRate()), minutes);
    std::fflush(stdout);

    QElapsedTimer elapsed;
    elapsed.start();
    const auto runMs = static_cast<qint64>(minutes * 60.0 * 1000.0);
    qint64 nextProgressMs = kProgressMs;
    std::uint64_t xrunsBefore = 0, refillsBefore = 0, lateBefore = 0;
    QTimer keepPlaying;
    QObject::connect(&keepPlaying, &QTimer::timeout,
                     [&]
                     {
                         show.keepPlaying();
                         if (elapsed.elapsed() >= nextProgressMs)
                         {
                             nextProgressMs += kProgressMs;
                             const std::uint64_t xrunCount = xruns ? xruns->count() : 0;
                             const std::uint64_t refills = show.lateRefills();
                             const std::uint64_t late = chain.lateBlocks();
                             std::printf(
                                 "  minute %lld: %llu xruns, %llu late refills, %llu late blocks, "
                                 "longest block %.0f us\n",
                                 elapsed.elapsed() / kProgressMs,
                                 static_cast<unsigned long long>(xrunCount - xrunsBefore),
                                 static_cast<unsigned long long>(refills - refillsBefore),
                                 static_cast<unsigned long long>(late - lateBefore),
                                 chain.takeMinuteLongestUs());
                             std::fflush(stdout);
                             xrunsBefore = xrunCount;
                             refillsBefore = refills;
                             lateBefore = late;
                         }
                         if (elapsed.elapsed() >= runMs)
                             app.quit();
                     });
    keepPlaying.start(kKeepPlayingMs);
    app.exec();

    // Read before stopping: a new recording would clear the recorder's count.
    const bool countingXruns = xruns != nullptr && xruns->listening();
    const std::uint64_t xrunCount = countingXruns ? xruns->count() : 0;
    const std::uint64_t lateRefills = show.lateRefills();
    const std::uint64_t recordedFrames = show.recordedFrames();
    const std::uint64_t droppedFrames = show.droppedRecorderFrames();
    const std::uint64_t droppedMidi = show.droppedMidiEvents();
    const double periodUs = chain.periodUs();
    const double sampleRate = chain.GetSampleRate();
    show.stop();
    xruns.reset();
    amp.PowerOff();
    amp.SetChain(&mixer, &equaliser);

    std::printf("\nAfter %.1f minutes, %llu blocks of %.0f us:\n", elapsed.elapsed() / 60000.0,
                static_cast<unsigned long long>(chain.blocks()), periodUs);
    if (countingXruns)
        std::printf("  JACK xruns                      %llu\n",
                    static_cast<unsigned long long>(xrunCount));
    else if (device == QStringLiteral("JACK"))
        std::printf("  JACK xruns                      not counted (no client of its own)\n");
    std::printf("  blocks longer than their period %llu\n",
                static_cast<unsigned long long>(chain.lateBlocks()));
    std::printf(
        "  longest block                   %.0f us (%.0f %% of the period), %.0f us on the CPU\n",
        chain.longestUs(), 100.0 * chain.longestUs() / periodUs, chain.longestCpuUs());
    std::printf("  players' late refills           %llu\n",
                static_cast<unsigned long long>(lateRefills));
    std::printf("  recorder's dropped frames       %llu (of %.1f s recorded)\n",
                static_cast<unsigned long long>(droppedFrames),
                static_cast<double>(recordedFrames) / sampleRate);
    std::printf("  instrument's dropped MIDI       %llu\n",
                static_cast<unsigned long long>(droppedMidi));
    if (lateRefills + droppedFrames + droppedMidi > 0)
    {
        std::printf("DROPOUTS: sound or data lost.\n");
        return 1;
    }
    if (chain.lateBlocks() > 0)
    {
        std::printf("LATE BLOCKS: nothing lost by the players, the recorder or the instrument.\n");
        return 3;
    }
    std::printf("%s\n", xrunCount > 0 ? "No dropouts of Corvane's own." : "No dropouts.");
    return 0;
}
