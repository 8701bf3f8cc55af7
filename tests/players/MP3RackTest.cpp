// The MP3 player's panel without a device: built from its layout, buttons and
// remote rows drive the engine, the displays follow it, the playlist persists.

#include "players/MP3Rack.h"
#include "MP3TestFixtures.h"
#include "players/MP3Remote.h"
#include "support/PanelChecks.h"
#include "support/RackTest.h"
#include "utilkit/Ini.h"

#include <QTest>

#include <thread>

namespace
{

class MP3RackTest : public testkit::RackTest
{
protected:
    static std::unique_ptr<CMP3Rack> makeRack(bool powered)
    {
        auto rack = std::make_unique<CMP3Rack>();
        rack->CreateControls();
        rack->SetSampleRate(44100.0f);
        rack->m_bRunning = rack->m_bRouted = powered;
        return rack;
    }

    // A click, then the workers finish and the hand-overs run.
    static void press(CMP3Rack& rack, CMyButton& button)
    {
        QTest::mouseClick(&button, Qt::LeftButton);
        settle(rack);
    }
    static void settle(CMP3Rack& rack)
    {
        rack.engine().waitUntilIdle();
        QCoreApplication::processEvents();
    }

    // Presses Open with the dialog answering `paths` (none: Cancel).
    void openFiles(CMP3Rack& rack, const std::vector<std::string>& paths)
    {
        QStringList chosen;
        for (const std::string& path : paths)
            chosen << QString::fromStdString(path);
        rack.setFileChooser(
            [this, chosen](QWidget*, const QString& startFolder, const QString&)
            {
                m_dialogFolder = startFolder;
                return chosen;
            });
        press(rack, rack.openButton());
    }

    // Blocks as the mixer would pull them; the workers finish after each.
    static void render(CMP3Rack& rack, long frames)
    {
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        for (long done = 0; done < frames; done += 512)
        {
            rack.Process(nullptr, outputs, 0, 2, 512);
            rack.engine().waitUntilIdle();
        }
    }

    static QStringList items(CMP3Rack& rack)
    {
        QStringList items;
        for (int item = 0; item < rack.playlistSelector().getcount(); ++item)
            items << rack.playlistSelector().itemText(item);
        return items;
    }

    static void expectState(CMP3Rack& rack, bool playing, bool paused, int seconds)
    {
        rack.updateTimeDisplay();
        EXPECT_EQ(rack.playingLamp().getlightened(), playing);
        EXPECT_EQ(rack.pausedLamp().getlightened(), paused);
        EXPECT_EQ(rack.timeDisplayRunning(), playing || paused);
        EXPECT_EQ(rack.minutesDisplay().getvalue() * 60 + rack.secondsDisplay().getvalue(),
                  seconds);
    }

    mp3test::TemporaryFolder m_files;
    QString m_dialogFolder;
};

TEST_F(MP3RackTest, ButtonsDriveTheEngineAndTheDisplaysFollow)
{
    auto rack = makeRack(true);
    testkit::expectControlsOnTheirRows(mp3_layout::skinnedControls, rack->controlRefs());
    // The title display (a text control, built by hand) and the playlist
    // selector (whose border would widen it) fill their rows' footprints.
    EXPECT_EQ(rack->titleDisplay().geometry(),
              panel_controls::rectOf(mp3_layout::controls[mp3_layout::TitleDisplay]));
    EXPECT_EQ(rack->playlistSelector().geometry(),
              panel_controls::rectOf(mp3_layout::controls[mp3_layout::PlaylistSelector]));

    press(*rack, rack->playButton());
    EXPECT_EQ(rack->titleDisplay().text(), "No File") << "Play on an empty list only says so";

    const std::string tagged = m_files.write(
        "tagged.mp3", {mp3test::encodeTone(5.0, 440.0, 660.0).bytes,
                       mp3test::makeId3v1Tag("Night Drive", "Kessa", "", "2026", "", 1, 0)});
    openFiles(*rack, {m_files.path("other.mp3"), tagged});
    EXPECT_EQ(items(*rack), (QStringList{"All", "other.mp3", "tagged.mp3"}));
    EXPECT_EQ(rack->playlistSelector().getitemindex(), 2) << "the last added file is selected";
    openFiles(*rack, {}); // Cancel changes nothing
    EXPECT_EQ(m_dialogFolder, QString::fromStdString(m_files.folder()));
    EXPECT_EQ(rack->playlistSelector().getcount(), 3);

    press(*rack, rack->playButton());
    EXPECT_EQ(rack->titleDisplay().text(), "Kessa-Night Drive");
    render(*rack, 44100 * 5 / 2);
    expectState(*rack, true, false, 2);
    rack->remainingSwitch().SetStatus(true);
    expectState(*rack, true, false, 3); // of 5
    rack->remainingSwitch().SetStatus(false);
    EXPECT_LT(rack->leftMeter().barPosition(), rack->leftMeter().extent()) << "the meter lights";

    press(*rack, rack->pauseButton());
    render(*rack, 44100);
    expectState(*rack, false, true, 2);
    press(*rack, rack->playButton());
    expectState(*rack, true, false, 2);
    press(*rack, rack->stopButton());
    expectState(*rack, false, false, 0);

    // Remove refills the selector.
    rack->playlistSelector().setitemindex(1);
    press(*rack, rack->removeButton());
    EXPECT_EQ(items(*rack), (QStringList{"All", "tagged.mp3"}));

    // Destroyed while playing, with news still on its way: nothing is left
    // running and no hand-over reaches the gone panel.
    press(*rack, rack->playButton());
    render(*rack, 512);
    rack.reset();
    QCoreApplication::processEvents();
}

TEST_F(MP3RackTest, RemoteRowsAreThePlayStopAndPauseButtonsFromTheMidiThread)
{
    const RackRemoteTable<CMP3Rack> rows = mp3RemoteOperations();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_STREQ(rows[0].name, "MP3 Rack 1 Play");
    EXPECT_STREQ(rows[1].name, "MP3 Rack 1 Stop");
    EXPECT_STREQ(rows[2].name, "MP3 Rack 1 Pause");
    for (const auto& row : rows)
        EXPECT_EQ(row.count, 1) << row.name;

    auto rack = makeRack(true);
    openFiles(*rack, {m_files.write("tone.mp3", {mp3test::encodeTone(2.0, 440.0, 440.0).bytes})});
    // Each row applied as MIDI input would, on a thread of its own; a
    // button's row takes any controller value.
    const auto apply = [&](size_t row)
    {
        std::thread([&] { rows[row].apply(*rack, 0, 127); }).join();
        settle(*rack);
    };
    const struct
    {
        size_t row;
        bool playing, paused;
    } steps[] = {{0, true, false}, {2, false, true},  {0, true, false}, {2, false, true},
                 {2, true, false}, {1, false, false}, {1, false, false}};
    for (const auto& step : steps)
    {
        SCOPED_TRACE(rows[step.row].name);
        apply(step.row);
        expectState(*rack, step.playing, step.paused, 0);
    }
}

TEST_F(MP3RackTest, PlaylistPersistsInTheSettingsAcrossARecreatedUnit)
{
    // A longer list from an earlier run, and the rack position in the same section.
    CIni settings(settingsPath());
    settings.WriteInt("MP3", "count", 5);
    for (int index = 0; index <= 5; ++index)
        settings.WriteString("MP3", "list" + std::to_string(index), "/old.mp3");
    settings.WriteInt("MP3", "pos", 9);
    const std::vector<std::string> files = {m_files.path("first.mp3"), m_files.path("second.mp3"),
                                            m_files.path("third.mp3")};
    // What a fresh reader of the settings file finds while the unit lives on:
    // Open and Remove save the list at once, so a crash cannot lose it.
    const auto savedList = [this]
    {
        const CIni fresh(settingsPath());
        std::vector<std::string> paths;
        for (int index = 1; index <= fresh.GetInt("MP3", "count", -1); ++index)
            paths.push_back(fresh.GetString("MP3", "list" + std::to_string(index), "gone"));
        return paths;
    };
    {
        auto rack = makeRack(false);
        EXPECT_EQ(rack->playlistSelector().getcount(), 6);
        rack->playlistSelector().setitemindex(0);
        press(*rack, rack->removeButton());
        EXPECT_EQ(savedList(), std::vector<std::string>{});
        EXPECT_EQ(settings.GetString("MP3", "list5", "gone"), "gone");
        openFiles(*rack, files);
        EXPECT_EQ(savedList(), files);
        // Play while not running: the entry becomes current, nothing plays.
        rack->playlistSelector().setitemindex(2);
        press(*rack, rack->playButton());
        EXPECT_FALSE(rack->playingLamp().getlightened());
    }
    {
        CMP3Rack unused; // never created its controls: leaves the settings alone
    }
    EXPECT_EQ(settings.GetString("MP3", "list3", ""), files[2]);
    EXPECT_EQ(settings.GetString("MP3", "list4", "gone") +
                  settings.GetString("MP3", "list5", "gone"),
              "gonegone");
    EXPECT_EQ(settings.GetInt("MP3", "pos", -1), 9);
    {
        auto rack = makeRack(false);
        EXPECT_EQ(items(*rack), (QStringList{"All", "first.mp3", "second.mp3", "third.mp3"}));
        EXPECT_EQ(rack->playlistSelector().getitemindex(), 2) << "the entry played last";
        openFiles(*rack, {});
        EXPECT_EQ(m_dialogFolder, QString::fromStdString(m_files.folder()));
        rack->playlistSelector().setitemindex(1);
        press(*rack, rack->removeButton());
        EXPECT_EQ(savedList(), (std::vector<std::string>{files[1], files[2]}));
    }
    // A count beyond the capacity reads as a full list, and writing does not
    // walk a million stale keys.
    settings.WriteInt("MP3", "count", 1000000);
    settings.WriteInt("MP3", "lastplay", 70);
    makeRack(false).reset();
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 49);
}

} // namespace
