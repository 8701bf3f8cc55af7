// The MP3 player's playlist rules and its section "MP3" of the settings file.

#include "players/MP3Playlist.h"
#include "MP3TestFixtures.h"
#include "players/MP3PlayerEngine.h"
#include "utilkit/Ini.h"

#include <gtest/gtest.h>

namespace
{

std::vector<std::string> numberedPaths(int count, const std::string& folder = "/music")
{
    std::vector<std::string> paths;
    for (int index = 1; index <= count; ++index)
        paths.push_back(folder + "/track" + std::to_string(index) + ".mp3");
    return paths;
}

TEST(MP3PlaylistTest, AddingStopsWhenTheListIsFullAt49Files)
{
    MP3Playlist playlist;
    EXPECT_EQ(playlist.names(), std::vector<std::string>{"None"});
    EXPECT_EQ(playlist.addFiles(numberedPaths(30)), 30);
    EXPECT_EQ(playlist.addFiles(numberedPaths(30, "/more")), 19);
    EXPECT_EQ(playlist.lastIndex(), 49);
    EXPECT_EQ(playlist.selectedIndex(), 49);
    EXPECT_EQ(playlist.lastOpenPath(), "/more/track19.mp3");
    const auto names = playlist.names();
    ASSERT_EQ(names.size(), 50u);
    EXPECT_EQ(names[0], "All");
    EXPECT_EQ(names[1], "track1.mp3");
    EXPECT_EQ(names[49], "track19.mp3");
    EXPECT_EQ(playlist.addFiles({"/x.mp3"}), 0);
}

TEST(MP3PlaylistTest, RemoveInAllItsCases)
{
    MP3Playlist playlist;
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::Nothing);

    playlist.addFiles(numberedPaths(4));
    // The middle entry: the ones after it move down, the old last is emptied.
    playlist.setSelectedIndex(2);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::RemovedSelected);
    EXPECT_EQ(playlist.names(),
              (std::vector<std::string>{"All", "track1.mp3", "track3.mp3", "track4.mp3"}));
    EXPECT_EQ(playlist.selectedIndex(), 2);
    std::string name, path;
    EXPECT_FALSE(playlist.entry(4, name, path));
    ASSERT_TRUE(playlist.entry(3, name, path));
    EXPECT_EQ(path, "/music/track4.mp3");

    // The selected last entry: the selection moves to the new last one.
    playlist.setSelectedIndex(3);
    playlist.removeSelected();
    EXPECT_EQ(playlist.selectedIndex(), 2);
    EXPECT_EQ(playlist.lastIndex(), 2);

    // Entry 0 selected: the whole list goes.
    playlist.setSelectedIndex(0);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::ClearedAll);
    EXPECT_EQ(playlist.names(), std::vector<std::string>{"None"});

    // The only entry: "None" again.
    playlist.addFiles({"/only.mp3"});
    playlist.removeSelected();
    EXPECT_EQ(playlist.names(), std::vector<std::string>{"None"});
    EXPECT_EQ(playlist.selectedIndex(), 0);
}

TEST(MP3PlaylistTest, AdvanceWrapsPastTheLastEntry)
{
    MP3Playlist playlist;
    EXPECT_EQ(playlist.advanceCurrent(), 0);
    playlist.addFiles(numberedPaths(3));
    playlist.setCurrentIndex(2);
    EXPECT_EQ(playlist.advanceCurrent(), 3);
    EXPECT_EQ(playlist.advanceCurrent(), 1);
    EXPECT_EQ(playlist.selectedIndex(), 1);
}

TEST(MP3PlaylistTest, EngineMarksANewSelectionOnlyWhereItChanges)
{
    mp3test::StubRackUnit unit;
    MP3PlayerEngine engine(unit);
    EXPECT_FALSE(engine.selectionPending());
    engine.addFiles(numberedPaths(3));
    EXPECT_TRUE(engine.selectionPending());
    EXPECT_EQ(engine.selectedIndex(), 3);
    engine.selectEntry(7); // not in the list
    EXPECT_EQ(engine.selectedIndex(), 3);
    engine.selectEntry(1);
    EXPECT_EQ(engine.selectedIndex(), 1);
    engine.removeSelected();
    EXPECT_EQ(engine.lastIndex(), 2);
}

class MP3SettingsTest : public ::testing::Test
{
protected:
    mp3test::TemporaryFolder folder;
    CIni settings{folder.path("rackdata5.ini")};
    mp3test::StubRackUnit unit;
};

TEST_F(MP3SettingsTest, PlaylistIsWrittenAtExitWithStaleEntriesDeleted)
{
    // A longer list from an earlier run.
    settings.WriteInt("MP3", "count", 5);
    for (int index = 0; index <= 5; ++index)
    {
        settings.WriteString("MP3", "name" + std::to_string(index), "old");
        settings.WriteString("MP3", "list" + std::to_string(index), "/old.mp3");
    }
    settings.WriteInt("MP3", "pos", 9);
    {
        MP3PlayerEngine engine(unit);
        engine.addFiles(numberedPaths(2));
        engine.writeSettings(settings);
    }
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 2);
    EXPECT_EQ(settings.GetInt("MP3", "lastplay", -1), 0);
    EXPECT_EQ(settings.GetString("MP3", "lastopen", ""), "/music/track2.mp3");
    EXPECT_EQ(settings.GetString("MP3", "name0", ""), "All");
    EXPECT_EQ(settings.GetString("MP3", "list0", "?"), "");
    EXPECT_EQ(settings.GetString("MP3", "name2", ""), "track2.mp3");
    EXPECT_EQ(settings.GetString("MP3", "list2", ""), "/music/track2.mp3");
    for (int index = 3; index <= 5; ++index)
    {
        EXPECT_EQ(settings.GetString("MP3", "name" + std::to_string(index), "gone"), "gone");
        EXPECT_EQ(settings.GetString("MP3", "list" + std::to_string(index), "gone"), "gone");
    }
    // The rack position shares the section and is left alone.
    EXPECT_EQ(settings.GetInt("MP3", "pos", -1), 9);
}

TEST_F(MP3SettingsTest, PlaylistIsReadAtCreation)
{
    {
        MP3PlayerEngine engine(unit);
        engine.addFiles(numberedPaths(3));
        engine.writeSettings(settings);
    }
    settings.WriteInt("MP3", "lastplay", 2);
    MP3PlayerEngine engine(unit);
    engine.readSettings(settings);
    EXPECT_EQ(engine.playlistNames(),
              (std::vector<std::string>{"All", "track1.mp3", "track2.mp3", "track3.mp3"}));
    EXPECT_EQ(engine.selectedIndex(), 2);
    EXPECT_EQ(engine.currentIndex(), 2);
    EXPECT_TRUE(engine.selectionPending());
    EXPECT_EQ(engine.lastOpenPath(), "/music/track3.mp3");
}

TEST_F(MP3SettingsTest, EmptyOrDamagedSettings)
{
    MP3PlayerEngine fresh(unit);
    fresh.readSettings(settings);
    EXPECT_EQ(fresh.playlistNames(), std::vector<std::string>{"None"});
    EXPECT_FALSE(fresh.selectionPending());
    // The default folder is the user's home.
    EXPECT_EQ(fresh.lastOpenPath().back(), '/');

    // A count beyond the list's capacity reads as a full list, and writing
    // does not walk a million stale keys.
    settings.WriteInt("MP3", "count", 1000000);
    settings.WriteInt("MP3", "lastplay", 70);
    MP3PlayerEngine damaged(unit);
    damaged.readSettings(settings);
    EXPECT_EQ(damaged.lastIndex(), 49);
    EXPECT_EQ(damaged.selectedIndex(), 49);
    damaged.writeSettings(settings);
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 49);
}

} // namespace
