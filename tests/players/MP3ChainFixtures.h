#pragma once

// Shared by the MP3 panel and end-to-end tests: the Qt set-up, the Open dialog,
// the mixer chain with the player on channel 3, the check of recorded tracks.

#include "MP3TestFixtures.h"
#include "engine/AmpRack.h"
#include "mixer/MixerEngine.h"
#include "players/MP3Rack.h"
#include "support/RealtimeTrap.h"
#include "support/UnitChain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace mp3test
{

class PanelTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argumentCount = 1;
        static char argumentZero[] = "mp3-panel-test";
        static char* arguments[] = {argumentZero, nullptr};
        if (!QApplication::instance())
            new QApplication(argumentCount, arguments);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    // Presses Open with the dialog answering `paths` (none: Cancel).
    void openFiles(CMP3Rack& rack, const std::vector<std::string>& paths)
    {
        QStringList chosen;
        for (const std::string& path : paths)
            chosen << QString::fromStdString(path);
        rack.setFileChooser(
            [this, chosen](QWidget*, const QString& startFolder, const QString& filter)
            {
                m_dialogFolders << startFolder;
                m_dialogFilter = filter;
                return chosen;
            });
        QTest::mouseClick(&rack.openButton(), Qt::LeftButton);
        rack.engine().waitUntilIdle();
        QCoreApplication::processEvents();
    }

    // leadIn: seconds of silence before the tone, which keep the tracks of
    // a playlist apart in a recording (play-all leaves no gap of its own).
    std::string encodeFile(const std::string& name, double seconds, double leftHz, double rightHz,
                           const Bytes& tag = {}, double leadIn = 0.0)
    {
        return m_files.write(
            name, {encodeTone(seconds, leftHz, rightHz, {.leadInSeconds = leadIn}).bytes, tag});
    }

    QTemporaryDir m_config;
    TemporaryFolder m_files;
    QStringList m_dialogFolders;
    QString m_dialogFilter;
};

// The player on mixer channel 3 through the amplifier (the shared chain).
// pace: after each block wait for the player's workers, so a device far
// faster than real time gives them what a real one would.
class MixerChain : public testkit::UnitChain
{
public:
    MixerChain(CMP3Rack& player, bool pace)
        : testkit::UnitChain(player, MixerSourceTable::Mp3Player), m_player(player)
    {
        if (pace)
            m_pace = [this] { m_player.engine().waitUntilIdle(); };
    }

    void Process(float** in, float** out, long numIn, long numOut, long frames) override
    {
        testkit::UnitChain::Process(in, out, numIn, numOut, frames);
        if (m_pace)
            m_pace();
    }

    // A decoded tone's level at outputs 1 and 2.
    double outputLevel() const { return decodedLevel * outputGain(); }

private:
    CMP3Rack& m_player;
    std::function<void()> m_pace;
};

struct Track
{
    double frequency;
    double seconds; // 0: not checked
};

using testkit::soundingStretches;

// The sounding stretches of a 48000 Hz recording begin with `tracks`, and
// hold nothing more unless `more`. Each keeps pitch and level with no gap or
// jump over its first two seconds, its whole and its last two seconds (50 ms
// codec edges left out), and lasts its seconds within 100 frames.
inline void expectTracks(const std::vector<float>& samples, const std::vector<Track>& tracks,
                         double level, bool more = false)
{
    constexpr size_t edge = 2400, twoSeconds = 96000;
    const std::vector<std::pair<size_t, size_t>> stretches = soundingStretches(samples);
    ASSERT_EQ(more ? tracks.size() : stretches.size(), tracks.size());
    ASSERT_GE(stretches.size(), tracks.size());
    for (size_t track = 0; track < tracks.size(); ++track)
    {
        const auto [begin, end] = stretches[track];
        const Track expected = tracks[track];
        SCOPED_TRACE(testing::Message() << "track " << track + 1 << " at " << begin);
        EXPECT_NEAR(static_cast<double>(end - begin),
                    expected.seconds > 0 ? expected.seconds * 48000 : end - begin, 100.0);
        const std::pair<size_t, size_t> windows[] = {
            {begin + edge, std::min(begin + twoSeconds, end - edge)},
            {begin + edge, end - edge},
            {std::max(end, begin + edge + twoSeconds) - twoSeconds, end - edge}};
        for (const auto& [from, to] : windows)
            EXPECT_EQ(
                toneFaults(samples.data() + from, to - from, 1, 48000, expected.frequency, level),
                "");
    }
}

} // namespace mp3test
