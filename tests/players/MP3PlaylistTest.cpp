// The MP3 player's playlist rules and its section "MP3" of the settings file.

#include "players/MP3Playlist.h"
#include "MP3TestFixtures.h"
#include "players/MP3PlayerEngine.h"
#include "utilkit/Ini.h"

#include <gtest/gtest.h>

namespace
{

using Names = std::vector<std::string>;

std::vector<std::string> numberedPaths(int count, const std::string& folder = "/music")
{
    std::vector<std::string> paths;
    for (int index = 1; index <= count; ++index)
        paths.push_back(folder + "/track" + std::to_string(index) + ".mp3");
    return paths;
}

TEST(MP3PlaylistTest, FullAt49FilesRemoveInAllItsCasesAndAdvanceWraps)
{
    MP3Playlist playlist;
    EXPECT_EQ(playlist.names(), Names{"None"});
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::Nothing);
    EXPECT_EQ(playlist.advanceCurrent(), 0);
    EXPECT_EQ(playlist.addFiles(numberedPaths(30)), 30);
    EXPECT_EQ(playlist.addFiles(numberedPaths(30, "/more")), 19);
    EXPECT_EQ(playlist.addFiles({"/x.mp3"}), 0);
    EXPECT_EQ(playlist.selectedIndex(), 49);
    EXPECT_EQ(playlist.lastOpenPath(), "/more/track19.mp3");
    const Names names = playlist.names();
    ASSERT_EQ(names.size(), 50u);
    EXPECT_EQ(names[0], "All");
    EXPECT_EQ(names[49], "track19.mp3");

    // Entry 0 selected: the whole list goes.
    playlist.setSelectedIndex(0);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::ClearedAll);
    EXPECT_EQ(playlist.names(), Names{"None"});

    playlist.addFiles(numberedPaths(4));
    // A middle entry: the ones after it move down, the old last is emptied.
    playlist.setSelectedIndex(2);
    EXPECT_EQ(playlist.removeSelected(), MP3Playlist::RemoveOutcome::RemovedSelected);
    EXPECT_EQ(playlist.names(), (Names{"All", "track1.mp3", "track3.mp3", "track4.mp3"}));
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

    // Play-all wraps past the last entry and selects what it plays.
    playlist.setCurrentIndex(2);
    EXPECT_EQ(playlist.advanceCurrent(), 1);
    EXPECT_EQ(playlist.selectedIndex(), 1);

    // The only entry: "None" again.
    playlist.removeSelected();
    playlist.removeSelected();
    EXPECT_EQ(playlist.names(), Names{"None"});
    EXPECT_EQ(playlist.selectedIndex(), 0);
}

TEST(MP3PlaylistTest, SettingsRoundTripDropsStaleEntriesAndSurviveDamage)
{
    mp3test::TemporaryFolder folder;
    CIni settings{folder.path("rackdata5.ini")};
    mp3test::StubRackUnit unit;
    MP3PlayerEngine fresh(unit);
    fresh.readSettings(settings);
    EXPECT_EQ(fresh.playlistNames(), Names{"None"});
    EXPECT_FALSE(fresh.selectionPending());
    EXPECT_EQ(fresh.lastOpenPath().back(), '/') << "the default folder is the user's home";

    // A longer list from an earlier run, and the rack position in the same section.
    settings.WriteInt("MP3", "count", 5);
    for (int index = 0; index <= 5; ++index)
        settings.WriteString("MP3", "list" + std::to_string(index), "/old.mp3");
    settings.WriteInt("MP3", "pos", 9);
    {
        MP3PlayerEngine engine(unit);
        engine.addFiles(numberedPaths(3));
        engine.selectEntry(7); // not in the list: ignored
        engine.selectEntry(2);
        engine.writeSettings(settings);
    }
    EXPECT_EQ(settings.GetInt("MP3", "count", -1), 3);
    EXPECT_EQ(settings.GetString("MP3", "name0", ""), "All");
    EXPECT_EQ(settings.GetString("MP3", "list0", "?"), "");
    EXPECT_EQ(settings.GetString("MP3", "list3", ""), "/music/track3.mp3");
    EXPECT_EQ(settings.GetString("MP3", "list4", "gone"), "gone");
    EXPECT_EQ(settings.GetString("MP3", "list5", "gone"), "gone");
    EXPECT_EQ(settings.GetInt("MP3", "pos", -1), 9);

    settings.WriteInt("MP3", "lastplay", 2);
    MP3PlayerEngine restored(unit);
    restored.readSettings(settings);
    EXPECT_EQ(restored.playlistNames(), (Names{"All", "track1.mp3", "track2.mp3", "track3.mp3"}));
    EXPECT_EQ(restored.selectedIndex(), 2);
    EXPECT_EQ(restored.currentIndex(), 2);
    EXPECT_TRUE(restored.selectionPending());
    EXPECT_EQ(restored.lastOpenPath(), "/music/track3.mp3");

    // A count beyond the capacity reads as a full list, and writing does
    // not walk a million stale keys.
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
