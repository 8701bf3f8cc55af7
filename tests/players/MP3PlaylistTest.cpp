// The MP3 player's playlist rules.

#include "players/MP3Playlist.h"

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
    ASSERT_EQ(playlist.names().size(), 50u);
    EXPECT_EQ(playlist.names()[49], "track19.mp3");
    // Entry 0 ("All") selected: the whole list goes.
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

} // namespace
