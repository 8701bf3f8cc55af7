// The MP3 player's panel without a device: its buttons drive the engine, the
// lamps, title, selector, play-all switch and time display follow what the
// engine reports (also when the news comes from its own threads or a remote
// operation on another thread), and the playlist survives a re-created unit.

#include "players/MP3Rack.h"
#include "MP3TestFixtures.h"
#include "app/RackUnitTable.h"
#include "players/MP3Layout.h"
#include "utilkit/Ini.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

namespace
{

int argumentCount = 1;
char argumentZero[] = "mp3-rack-test";
char* arguments[] = {argumentZero, nullptr};

constexpr long kBlockFrames = 512;
// Long enough for any hand-over to the GUI thread on a busy machine.
constexpr int kGuiWaitMs = 10000;

class MP3RackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance())
            new QApplication(argumentCount, arguments);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    std::unique_ptr<CMP3Rack> makeRack()
    {
        auto rack = std::make_unique<CMP3Rack>();
        rack->setFileChooser(
            [this](QWidget*, const QString& startFolder, const QString& filter)
            {
                m_dialogFolders << startFolder;
                m_dialogFilter = filter;
                return m_nextChoice;
            });
        rack->CreateControls();
        rack->show();
        return rack;
    }

    // A tone file of `seconds` with an ID3v1 tag when `title` is not empty.
    std::string encodeFile(const std::string& name, double seconds, const std::string& title = {},
                           const std::string& artist = {})
    {
        mp3test::EncodeOptions options;
        const auto encoded = mp3test::encodeMp3(
            mp3test::makeStereoTone(44100, static_cast<size_t>(44100 * seconds), 440.0, 660.0, 0.5),
            options);
        std::vector<unsigned char> tag;
        if (!title.empty())
            tag = mp3test::makeId3v1Tag(title, artist, "", "2026", "", 1, 0);
        const std::string path = m_files.path(name);
        mp3test::writeFile(path, mp3test::concatenate({encoded.bytes, tag}));
        return path;
    }

    // Presses Open with the dialog answering `paths`.
    void openFiles(CMP3Rack& rack, const std::vector<std::string>& paths)
    {
        m_nextChoice.clear();
        for (const std::string& path : paths)
            m_nextChoice << QString::fromStdString(path);
        click(rack.openButton());
    }

    static void click(CMyButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }

    static void powerOn(CMP3Rack& rack)
    {
        rack.SetSampleRate(44100.0f);
        rack.m_bRunning = true;
        rack.m_bRouted = true;
    }

    // Blocks as the mixer would pull them; the workers finish after each.
    static std::vector<float> render(CMP3Rack& rack, long frames)
    {
        std::vector<float> left(kBlockFrames), right(kBlockFrames), all;
        float* outputs[2] = {left.data(), right.data()};
        for (long done = 0; done < frames; done += kBlockFrames)
        {
            rack.Process(nullptr, outputs, 0, 2, kBlockFrames);
            all.insert(all.end(), left.begin(), left.end());
            rack.engine().waitUntilIdle();
        }
        return all;
    }

    static QStringList selectorItems(CMP3Rack& rack)
    {
        QStringList items;
        for (int item = 0; item < rack.playlistSelector().getcount(); ++item)
            items << rack.playlistSelector().itemText(item);
        return items;
    }

    // Lets the engine's hand-overs to the GUI thread run.
    static void settle(CMP3Rack& rack)
    {
        rack.engine().waitUntilIdle();
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_config;
    mp3test::TemporaryFolder m_files;
    QStringList m_nextChoice;
    QStringList m_dialogFolders;
    QString m_dialogFilter;
};

TEST_F(MP3RackTest, StartsEmptyWithItsControlsWired)
{
    auto rack = makeRack();
    EXPECT_EQ(rack->m_strName, "MP3 Player");
    EXPECT_EQ(rack->m_nHeight, 1);
    EXPECT_EQ(rack->backgroundId(), rack::kRackUnits[rack::MP3Player].backgroundId);
    EXPECT_EQ(rack->pauseButton().childId(), 600);
    EXPECT_EQ(rack->openButton().childId(), 601);
    EXPECT_EQ(rack->playButton().childId(), 602);
    EXPECT_EQ(rack->stopButton().childId(), 603);
    EXPECT_EQ(rack->removeButton().childId(), 604);
    EXPECT_EQ(rack->playlistSelector().childId(), 605);
    EXPECT_EQ(rack->playAllSwitch().childId(), 606);
    EXPECT_TRUE(rack->playAllSwitch().isToggle());
    EXPECT_TRUE(rack->remainingSwitch().isToggle());
    EXPECT_EQ(rack->remainingSwitch().childId(), 0);

    EXPECT_EQ(selectorItems(*rack), QStringList{"None"});
    EXPECT_EQ(rack->titleDisplay().text(), "No File");
    EXPECT_EQ(rack->titleDisplay().textColor(), skinkit::rgb(0x08, 0xCE, 0xDE));
    EXPECT_FALSE(rack->playingLamp().getlightened());
    EXPECT_FALSE(rack->pausedLamp().getlightened());
    EXPECT_EQ(rack->minutesDisplay().getnumblank(), 3);
    EXPECT_EQ(rack->secondsDisplay().getnumblank(), 2);
    EXPECT_EQ(rack->leftMeter().getmindb(), -15);

    // Play on an empty list only says so.
    click(rack->playButton());
    settle(*rack);
    EXPECT_EQ(rack->titleDisplay().text(), "No File");
    EXPECT_FALSE(rack->playingLamp().getlightened());
}

TEST_F(MP3RackTest, ControlsSitOnTheFootprintsPrintedOnThePanel)
{
    auto rack = makeRack();
    const QRect panelArea(panel::rackEarWidth, 0, panel::rackWidth - 2 * panel::rackEarWidth,
                          panel::slotHeight);
    const auto& footprints = mp3_layout::footprints;
    for (size_t first = 0; first < footprints.size(); ++first)
    {
        const QRect area(footprints[first].x, footprints[first].y, footprints[first].width,
                         footprints[first].height);
        EXPECT_TRUE(panelArea.contains(area)) << "footprint " << first;
        for (size_t second = first + 1; second < footprints.size(); ++second)
            EXPECT_FALSE(
                area.intersects(QRect(footprints[second].x, footprints[second].y,
                                      footprints[second].width, footprints[second].height)))
                << "footprints " << first << " and " << second;
    }
    // Every control covers exactly the footprint printed for it.
    const std::vector<std::pair<QWidget*, size_t>> controls = {
        {&rack->titleDisplay(), 0},     {&rack->playlistSelector(), 1},
        {&rack->openButton(), 2},       {&rack->removeButton(), 3},
        {&rack->playAllSwitch(), 4},    {&rack->playButton(), 5},
        {&rack->pauseButton(), 6},      {&rack->stopButton(), 7},
        {&rack->playingLamp(), 8},      {&rack->pausedLamp(), 9},
        {&rack->minutesDisplay(), 10},  {&rack->secondsDisplay(), 11},
        {&rack->remainingSwitch(), 12}, {&rack->leftMeter(), 13},
        {&rack->rightMeter(), 14},
    };
    ASSERT_EQ(controls.size(), footprints.size());
    QCoreApplication::processEvents();
    for (const auto& [control, index] : controls)
        EXPECT_EQ(control->geometry(), QRect(footprints[index].x, footprints[index].y,
                                             footprints[index].width, footprints[index].height))
            << "footprint " << index;
}

TEST_F(MP3RackTest, OpenAddsTheChosenFilesAndTheNextDialogStartsInTheirFolder)
{
    auto rack = makeRack();
    const std::string first = m_files.path("first.mp3");
    const std::string second = m_files.path("second.mp3");
    openFiles(*rack, {first, second});
    settle(*rack);
    EXPECT_EQ(m_dialogFilter, "MP3 Audio(*.mp3)");
    EXPECT_EQ(selectorItems(*rack), (QStringList{"All", "first.mp3", "second.mp3"}));
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 2) << "the last added file is selected";
    EXPECT_EQ(rack->engine().selectedIndex(), 2);

    // Cancel changes nothing; the dialog opened in the added files' folder.
    openFiles(*rack, {});
    settle(*rack);
    ASSERT_EQ(m_dialogFolders.size(), 2);
    EXPECT_EQ(m_dialogFolders[1], QString::fromStdString(m_files.folder()));
    EXPECT_EQ(rack->playlistSelector().getcount(), 3);

    // The user's choice in the selector becomes the engine's selection.
    rack->playlistSelector().setitemindex(1);
    EXPECT_EQ(rack->engine().selectedIndex(), 1);
    EXPECT_TRUE(rack->engine().selectionPending());
}

TEST_F(MP3RackTest, PlaylistHoldsFortyNineFiles)
{
    auto rack = makeRack();
    std::vector<std::string> paths;
    for (int file = 1; file <= 60; ++file)
        paths.push_back(m_files.path("track" + std::to_string(file) + ".mp3"));
    openFiles(*rack, paths);
    settle(*rack);
    const QStringList items = selectorItems(*rack);
    ASSERT_EQ(items.size(), 50);
    EXPECT_EQ(items.front(), "All");
    EXPECT_EQ(items.back(), "track49.mp3");
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 49);
    // A further Open adds nothing.
    openFiles(*rack, {m_files.path("more.mp3")});
    settle(*rack);
    EXPECT_EQ(rack->playlistSelector().getcount(), 50);
}

TEST_F(MP3RackTest, RemoveRefillsTheSelector)
{
    auto rack = makeRack();
    openFiles(*rack, {m_files.path("a.mp3"), m_files.path("b.mp3"), m_files.path("c.mp3")});
    settle(*rack);
    // The selected last entry goes; the selection moves to the new last one.
    click(rack->removeButton());
    settle(*rack);
    EXPECT_EQ(selectorItems(*rack), (QStringList{"All", "a.mp3", "b.mp3"}));
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 2);
    // A middle entry goes; the ones after it move up.
    rack->playlistSelector().setitemindex(1);
    click(rack->removeButton());
    settle(*rack);
    EXPECT_EQ(selectorItems(*rack), (QStringList{"All", "b.mp3"}));
    // "All" selected clears the whole list.
    rack->playlistSelector().setitemindex(0);
    click(rack->removeButton());
    settle(*rack);
    EXPECT_EQ(selectorItems(*rack), QStringList{"None"});
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 0);
}

TEST_F(MP3RackTest, TransportButtonsLightTheLampsAndTheDisplaysFollowPlayback)
{
    auto rack = makeRack();
    powerOn(*rack);
    openFiles(*rack, {encodeFile("tagged.mp3", 5.0, "Night Drive", "Kessa")});
    settle(*rack);

    click(rack->playButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rack->playingLamp().getlightened(); }, kGuiWaitMs));
    settle(*rack);
    EXPECT_FALSE(rack->pausedLamp().getlightened());
    EXPECT_EQ(rack->titleDisplay().text(), "Kessa-Night Drive");
    EXPECT_TRUE(rack->timeDisplayRunning());

    // Two and a half seconds of audio: 0:02 elapsed, 0:02 of 0:05 remaining.
    const std::vector<float> played = render(*rack, 44100 * 5 / 2);
    rack->updateTimeDisplay();
    EXPECT_EQ(rack->minutesDisplay().getvalue(), 0);
    EXPECT_EQ(rack->secondsDisplay().getvalue(), 2);
    rack->remainingSwitch().SetStatus(true);
    rack->updateTimeDisplay();
    EXPECT_EQ(rack->secondsDisplay().getvalue(), 5 - 2);
    rack->remainingSwitch().SetStatus(false);
    // The meters took the block peaks: a tone of 0.475 lights the ladder.
    EXPECT_NEAR(rack->engine().leftPeakDb(), 20.0 * std::log10(0.5 * mp3test::lameLevelFactor),
                0.3);
    EXPECT_LT(rack->leftMeter().barPosition(), rack->leftMeter().extent());
    EXPECT_NEAR(mp3test::measureFrequency(played.data() + 4410, 44100, 1, 44100), 440.0, 0.05);

    // Pause: the lamps swap, the output is silent and the time stands.
    click(rack->pauseButton());
    settle(*rack);
    EXPECT_FALSE(rack->playingLamp().getlightened());
    EXPECT_TRUE(rack->pausedLamp().getlightened());
    const std::vector<float> paused = render(*rack, 44100);
    EXPECT_TRUE(std::all_of(paused.begin(), paused.end(), [](float x) { return x == 0.0f; }));
    rack->updateTimeDisplay();
    EXPECT_EQ(rack->secondsDisplay().getvalue(), 2);
    EXPECT_EQ(rack->engine().leftPeakDb(), -120.0f);

    // Play resumes; Stop puts both lamps out and clears the time.
    click(rack->playButton());
    settle(*rack);
    EXPECT_TRUE(rack->playingLamp().getlightened());
    EXPECT_FALSE(rack->pausedLamp().getlightened());
    click(rack->stopButton());
    settle(*rack);
    EXPECT_FALSE(rack->playingLamp().getlightened());
    EXPECT_FALSE(rack->pausedLamp().getlightened());
    EXPECT_FALSE(rack->timeDisplayRunning());
    EXPECT_EQ(rack->minutesDisplay().getvalue(), 0);
    EXPECT_EQ(rack->secondsDisplay().getvalue(), 0);
}

TEST_F(MP3RackTest, PlayOnAllSwitchesPlayAllOnAndStopDoesNotAdvance)
{
    auto rack = makeRack();
    powerOn(*rack);
    openFiles(*rack, {encodeFile("one.mp3", 3.0), encodeFile("two.mp3", 3.0)});
    settle(*rack);
    rack->playlistSelector().setitemindex(0);

    click(rack->playButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rack->playingLamp().getlightened(); }, kGuiWaitMs));
    settle(*rack);
    EXPECT_TRUE(rack->playAllSwitch().getStatus());
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 1);
    EXPECT_EQ(rack->titleDisplay().text(), "one.mp3");

    click(rack->stopButton());
    settle(*rack);
    EXPECT_EQ(rack->engine().transportState(), MP3TransportState::Stopped);
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 1);
    EXPECT_EQ(rack->titleDisplay().text(), "one.mp3");

    // The switch turns play-all off again.
    click(rack->playAllSwitch());
    EXPECT_FALSE(rack->engine().playAll());
}

TEST_F(MP3RackTest, FailuresShowInTheTitle)
{
    auto rack = makeRack();
    powerOn(*rack);
    openFiles(*rack, {m_files.path("missing.mp3")});
    settle(*rack);
    click(rack->playButton());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rack->titleDisplay().text() == "Failed"; }, kGuiWaitMs));
    EXPECT_FALSE(rack->playingLamp().getlightened());
}

TEST_F(MP3RackTest, RemoteOperationsFromAnotherThreadReachTheLamps)
{
    auto rack = makeRack();
    powerOn(*rack);
    openFiles(*rack, {encodeFile("remote.mp3", 3.0)});
    settle(*rack);

    // The MIDI input thread calls the remote operations.
    std::thread([&] { rack->Play(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rack->playingLamp().getlightened(); }, kGuiWaitMs));
    std::thread([&] { rack->Pause(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rack->pausedLamp().getlightened(); }, kGuiWaitMs));
    EXPECT_FALSE(rack->playingLamp().getlightened());
    std::thread([&] { rack->Stop(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rack->pausedLamp().getlightened(); }, kGuiWaitMs));
    EXPECT_FALSE(rack->playingLamp().getlightened());

    // Destroyed while playing, with news still on its way: nothing is left
    // running and no hand-over reaches the gone panel.
    rack->Play();
    rack->engine().waitUntilIdle();
    render(*rack, kBlockFrames);
    rack.reset();
    QCoreApplication::processEvents();
}

TEST_F(MP3RackTest, PlaylistPersistsAcrossARecreatedUnitAndStaleEntriesGo)
{
    const std::string first = m_files.path("first.mp3");
    const std::string second = m_files.path("second.mp3");
    const std::string third = m_files.path("third.mp3");
    {
        auto rack = makeRack();
        openFiles(*rack, {first, second, third});
        settle(*rack);
        // Play while not running: the entry becomes current, nothing plays.
        rack->playlistSelector().setitemindex(2);
        click(rack->playButton());
        settle(*rack);
        EXPECT_FALSE(rack->playingLamp().getlightened());
    }
    {
        // A unit that never created its controls leaves the settings alone.
        CMP3Rack unused;
    }
    {
        auto rack = makeRack();
        EXPECT_EQ(selectorItems(*rack),
                  (QStringList{"All", "first.mp3", "second.mp3", "third.mp3"}));
        EXPECT_EQ(rack->playlistSelector().getitemindex(), 2) << "the entry played last";
        EXPECT_EQ(rack->engine().playlistPaths()[3], third);
        openFiles(*rack, {});
        ASSERT_FALSE(m_dialogFolders.isEmpty());
        EXPECT_EQ(m_dialogFolders.back(), QString::fromStdString(m_files.folder()));
        // The list shrinks to two files.
        click(rack->removeButton());
        settle(*rack);
    }
    const CIni settings("rackdata5.ini");
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 2);
    EXPECT_EQ(settings.GetString("MP3", "name2", ""), "third.mp3");
    EXPECT_EQ(settings.GetString("MP3", "list3", "gone"), "gone");
    EXPECT_EQ(settings.GetString("MP3", "name3", "gone"), "gone");
}

} // namespace
