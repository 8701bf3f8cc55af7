// The sound-effect pads driven block by block as the mixer would, with the
// real-time trap armed around every block: gains, rate conversion, length
// limits, trims, voice mixing and the hand-over of sample data between
// threads. Sound files are written with the kit's WAV writer.

#include "players/SoundFxEngine.h"
#include "support/RealtimeTrap.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

namespace
{

constexpr long kBlock = 512;

// Writes frames of a mono 32-bit float WAV whose sample n is value(n).
template <typename F>
std::string writeWav(const testkit::TemporaryFolder& folder, const std::string& name, int rate,
                     sf_count_t frames, F value)
{
    testkit::Recording pad{rate, {std::vector<float>(static_cast<size_t>(frames))}};
    for (sf_count_t n = 0; n < frames; ++n)
        pad.channels[0][static_cast<size_t>(n)] = value(n);
    testkit::writeWav(folder.path(name), pad);
    return folder.path(name);
}

std::string writeConstant(const testkit::TemporaryFolder& folder, const std::string& name, int rate,
                          sf_count_t frames, float value)
{
    return writeWav(folder, name, rate, frames, [value](sf_count_t) { return value; });
}

class SoundFxEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        realtime_trap::resetCounts();
        unit.m_bRunning = unit.m_bRouted = true;
    }
    // Every block of every test: no allocation, free or lock on the audio thread.
    void TearDown() override { EXPECT_EQ(realtime_trap::violations(), 0u); }

    // Renders frames of the left output, the trap armed around each block.
    std::vector<float> render(size_t frames, std::vector<float>* rightSide = nullptr)
    {
        std::vector<float> left(frames + kBlock), right(frames + kBlock);
        for (size_t at = 0; at < frames; at += kBlock)
        {
            float* out[2] = {left.data() + at, right.data() + at};
            realtime_trap::ScopedArm arm;
            engine.process(nullptr, out, 0, 2, kBlock);
        }
        left.resize(frames);
        right.resize(frames);
        if (rightSide)
            *rightSide = right;
        return left;
    }

    static size_t sounding(const std::vector<float>& samples)
    {
        return static_cast<size_t>(
            std::count_if(samples.begin(), samples.end(), [](float s) { return s != 0.0f; }));
    }

    testkit::StubRackUnit unit;
    SoundFxEngine engine{unit};
    testkit::TemporaryFolder folder;
};

TEST_F(SoundFxEngineTest, GainTableIsTenToTheDbOverTwentyClampedToTwelveDb)
{
    const std::pair<int, float> cases[] = {{6, 1.9953f},  {-12, 0.2512f}, {0, 1.0f},
                                           {12, 3.9811f}, {30, 3.9811f},  {-40, 0.2512f}};
    for (const auto& [db, factor] : cases)
        EXPECT_NEAR(soundfx::gainFactor(db), factor, 5e-5f) << db << " dB";
}

// Pads restored before power-on are at 44.1 kHz and must follow the device
// rate, or a 48 kHz device plays them 8.8 % sharp.
TEST_F(SoundFxEngineTest, PadsConvertToTheDeviceRateAndKeepTheirPitch)
{
    const std::string tone = writeWav(
        folder, "tone.wav", 44100, 88200,
        [](sf_count_t n)
        { return static_cast<float>(0.5 * std::sin(2.0 * M_PI * 1000.0 * double(n) / 44100.0)); });
    ASSERT_TRUE(engine.restorePad(2, {tone, "tone", 0, 9999, 0}));
    EXPECT_EQ(engine.padFrames(2), 88200);
    EXPECT_EQ(engine.padKnobMaximum(2), 2000);
    EXPECT_EQ(engine.padSettings(2).endMs, 2000);

    engine.prepare(48000.0);
    EXPECT_EQ(engine.padFrames(2), 96000);
    EXPECT_EQ(engine.padKnobMaximum(2), 2000);
    engine.prepare(0.0); // stopped: the pads stay at the last rate
    EXPECT_EQ(engine.padFrames(2), 96000);

    ASSERT_TRUE(engine.trigger(2));
    std::vector<float> right;
    const std::vector<float> left = render(96000, &right);
    for (const std::vector<float>* side : {&left, static_cast<const std::vector<float>*>(&right)})
        EXPECT_EQ(testkit::toneFaults(side->data() + 2000, 90000, 1, 48000.0, 1000.0, 0.5, 5.0),
                  "");
    EXPECT_EQ(engine.retiredCount(), 0u); // the 44.1 kHz data went when nothing read it

    engine.prepare(96000.0);
    EXPECT_EQ(engine.padFrames(2), 192000);
}

TEST_F(SoundFxEngineTest, LengthLimitAndRefusedFilesKeepThePad)
{
    const std::string fits = writeConstant(folder, "fits.wav", 44100, 440956, 0.25f); // 9999 ms
    const std::string tooLong = writeConstant(folder, "long.wav", 44100, 441000, 0.25f);
    const std::string empty = writeConstant(folder, "empty.wav", 44100, 0, 0.0f);
    testkit::writeFile(folder.path("junk.wav"), {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});

    // A two-hour 16-bit stereo WAV as a canonical 44-byte header over a sparse file:
    // refused from its header alone.
    const std::string hours = folder.path("hours.wav");
    {
        const uint32_t dataBytes = 2u * 3600u * 44100u * 4u;
        const auto le = [](uint32_t v, int bytes)
        {
            testkit::Bytes out;
            for (int i = 0; i < bytes; ++i)
                out.push_back(static_cast<unsigned char>(v >> (8 * i)));
            return out;
        };
        const auto text = [](const char* t) { return testkit::Bytes(t, t + 4); };
        folder.write("hours.wav", {text("RIFF"), le(36 + dataBytes, 4), text("WAVE"), text("fmt "),
                                   le(16, 4), le(1, 2), le(2, 2), le(44100, 4), le(44100 * 4, 4),
                                   le(4, 2), le(16, 2), text("data"), le(dataBytes, 4)});
        std::filesystem::resize_file(hours, 44 + dataBytes);
    }
    EXPECT_FALSE(engine.loadFile(0, hours, "hours"));
    EXPECT_EQ(engine.padText(0), soundfx::kTooLong);

    ASSERT_TRUE(engine.loadFile(0, fits, "fits"));
    EXPECT_EQ(engine.padText(0), "fits");
    EXPECT_EQ(engine.padKnobMaximum(0), 9999);

    const std::pair<std::string, const char*> refused[] = {
        {tooLong, soundfx::kTooLong},
        {empty, soundfx::kUnsupported},
        {folder.path("junk.wav"), soundfx::kUnsupported},
        {folder.path("missing.wav"), soundfx::kUnsupported}};
    for (const auto& [path, text] : refused)
    {
        EXPECT_FALSE(engine.loadFile(0, path, "x")) << path;
        EXPECT_EQ(engine.padText(0), text) << path;
        EXPECT_EQ(engine.padFrames(0), 440956) << "a refused file keeps the former sound";
        EXPECT_EQ(engine.padSettings(0).path, fits);
    }

    // A stored pad whose file has gone keeps its path and settings to write back.
    const SoundFxPadSettings stored{folder.path("gone.wav"), "gone", 120, 800, 30};
    EXPECT_FALSE(engine.restorePad(5, stored));
    const SoundFxPadSettings kept = engine.padSettings(5);
    EXPECT_EQ(kept.path, stored.path);
    EXPECT_EQ(kept.fileName, "gone");
    EXPECT_EQ(kept.startMs, 120);
    EXPECT_EQ(kept.endMs, 800);
    EXPECT_EQ(kept.gainDb, 12); // clamped to the knob's range
    EXPECT_FALSE(engine.trigger(5));
}

// A stored end past a now-shorter file must not read beyond its data; start
// at or past end plays nothing.
TEST_F(SoundFxEngineTest, TrimsAreClampedToTheSound)
{
    const std::string halfSecond = writeConstant(folder, "half.wav", 44100, 22050, 0.5f);
    ASSERT_TRUE(engine.restorePad(0, {halfSecond, "half", 0, 9999, 0}));
    EXPECT_EQ(engine.padSettings(0).endMs, 500);
    ASSERT_TRUE(engine.trigger(0));
    EXPECT_EQ(sounding(render(44100)), 22050u);

    const std::string twoSeconds = writeConstant(folder, "two.wav", 44100, 88200, 0.5f);
    ASSERT_TRUE(engine.restorePad(1, {twoSeconds, "two", 500, 1500, 0}));
    ASSERT_TRUE(engine.trigger(1));
    EXPECT_EQ(sounding(render(88200)), 44100u) << "the middle second";

    engine.setStart(1, 1500);
    EXPECT_FALSE(engine.trigger(1));
    engine.setStart(1, 1800);
    EXPECT_FALSE(engine.trigger(1));
    EXPECT_EQ(sounding(render(4096)), 0u);
}

TEST_F(SoundFxEngineTest, SixteenVoicesSumExactlyAndTheSeventeenthIsDropped)
{
    // 1/32 is exact in binary, so sixteen voices add to exactly 0.5, and at
    // +6 dB on one pad each of its voices is 1/32 × 10^0.3.
    const std::string sound = writeConstant(folder, "dc.wav", 44100, 1000, 1.0f / 32.0f);
    ASSERT_TRUE(engine.loadFile(0, sound, "dc"));
    ASSERT_TRUE(engine.loadFile(1, sound, "dc"));
    for (int i = 0; i < 17; ++i)
        ASSERT_TRUE(engine.trigger(0));
    {
        realtime_trap::ScopedArm arm;
        engine.process(nullptr, nullptr, 0, 0, 0); // takes the triggers, plays nothing
    }
    EXPECT_EQ(engine.activeVoices(), 16);
    std::vector<float> right;
    const std::vector<float> left = render(2048, &right);
    EXPECT_EQ(engine.activeVoices(), 0);
    for (size_t n = 0; n < 1000; ++n)
        ASSERT_EQ(left[n], 0.5f) << n;
    EXPECT_EQ(left, right);
    EXPECT_EQ(sounding(left), 1000u) << "the dropped voice never plays later";

    engine.setGain(1, 6);
    ASSERT_TRUE(engine.trigger(0));
    ASSERT_TRUE(engine.trigger(1));
    const std::vector<float> mixed = render(1024);
    EXPECT_FLOAT_EQ(mixed[10], 1.0f / 32.0f * (1.0f + soundfx::gainFactor(6)));

    unit.m_bRouted = false; // a unit no mixer channel selects starts nothing
    EXPECT_FALSE(engine.trigger(0));
}

// Reloading a pad while its voices play keeps the old sound until the last
// voice ends; triggers from two threads are serialised on the producer side.
TEST_F(SoundFxEngineTest, TriggersFromTwoThreadsWithReloadsRunClean)
{
    const std::string a = writeConstant(folder, "a.wav", 44100, 3000, 0.01f);
    const std::string b = writeConstant(folder, "b.wav", 48000, 5000, 0.02f);
    ASSERT_TRUE(engine.loadFile(0, a, "a"));
    ASSERT_TRUE(engine.loadFile(1, b, "b"));

    ASSERT_TRUE(engine.trigger(0));
    render(kBlock);
    ASSERT_TRUE(engine.loadFile(0, b, "b"));
    EXPECT_EQ(engine.retiredCount(), 1u) << "a voice still reads the old sound";
    render(4096);
    engine.releaseFinished();
    EXPECT_EQ(engine.retiredCount(), 0u);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio(
        [&]
        {
            std::vector<float> left(kBlock), right(kBlock);
            float* out[2] = {left.data(), right.data()};
            realtime_trap::ScopedArm arm;
            while (!stop.load())
            {
                engine.process(nullptr, out, 0, 2, kBlock);
                blocks.fetch_add(1);
            }
        });
    const auto triggers = [&](int first)
    {
        for (int i = 0; i < 20000; ++i)
            engine.trigger((first + i) % 2);
    };
    std::thread keys(triggers, 0), panel(triggers, 1);
    for (int i = 0; i < 50; ++i)
    {
        engine.loadFile(i % 2, i % 4 < 2 ? a : b, "x");
        engine.releaseFinished();
    }
    keys.join();
    panel.join();
    const long seen = blocks.load();
    while (blocks.load() < seen + 20) // every voice has played out
        std::this_thread::yield();
    stop = true;
    audio.join();
    engine.releaseFinished();
    EXPECT_EQ(engine.retiredCount(), 0u);
}

// Stored numbers outside their ranges (a hand-edited file, another version)
// must not reach the gain table or the pad array as indexes.
TEST_F(SoundFxEngineTest, SettingsAreClampedAndRoundTrip)
{
    const std::string path = folder.path("rackdata5.ini");
    testkit::writeFile(path,
                       []
                       {
                           const std::string text =
                               "[SoundFX]\npath5=/sfx/horn.wav\nfile5=horn\nstart5=-3\n"
                               "end5=20000\ngain5=40\ngain4=-99\npath2=/sfx/siren.wav\n"
                               "gain2=7\ntrigger=5\nlastopen=/sfx/\n";
                           return testkit::Bytes(text.begin(), text.end());
                       }());
    CIni ini(path);
    SoundFxSettings state;
    RestoreSoundFxSettings(ini, state);
    EXPECT_EQ(state.pads[5], (SoundFxPadSettings{"/sfx/horn.wav", "horn", 0, 9999, 12}));
    EXPECT_EQ(state.pads[2], (SoundFxPadSettings{"/sfx/siren.wav", "", 0, 9999, 0}));
    EXPECT_EQ(state.pads[4], SoundFxPadSettings{});
    EXPECT_EQ(state.trigger, 5);
    EXPECT_EQ(state.lastOpenPath, "/sfx/");

    for (const auto& [stored, read] : {std::pair{12, -1}, {-7, -1}, {2, 2}, {4, -1}})
    {
        ini.WriteInt("SoundFX", "trigger", stored);
        SoundFxSettings again;
        RestoreSoundFxSettings(ini, again);
        EXPECT_EQ(again.trigger, read) << stored;
    }

    state.pads[7] = {"/sfx/drop.wav", "drop", 250, 1250, -6};
    state.trigger = 7;
    ASSERT_TRUE(SaveSoundFxSettings(ini, state));
    SoundFxSettings back;
    RestoreSoundFxSettings(CIni(path), back);
    EXPECT_EQ(back.pads, state.pads);
    EXPECT_EQ(back.trigger, 7);
    EXPECT_EQ(back.lastOpenPath, "/sfx/");
}

} // namespace
