#pragma once

// MP3Playlist: the MP3 player's playlist: 50 entries of name and path, entry 0
// a placeholder ("None" while empty, "All" once files were added), files in
// entries 1 to the last index; the selected entry (the selector's choice), the
// current entry (the one being or last loaded) and the folder of the last
// added file.
//
// Threads: edited on the GUI thread, read and advanced by the player's load
// thread and refill worker; a mutex guards every access. Never used on the
// audio thread.

#include <mutex>
#include <string>
#include <vector>

class MP3Playlist
{
public:
    // Entry 0 and 49 files.
    static constexpr int capacity = 50;

    MP3Playlist();

    // GUI thread. Appends files in order until the list is full; each added
    // file becomes the selected entry. Returns how many were added.
    int addFiles(const std::vector<std::string>& paths);

    enum class RemoveOutcome
    {
        Nothing,
        ClearedAll,
        RemovedSelected,
    };
    // GUI thread. Entry 0 selected clears the whole list; otherwise the
    // selected entry goes and the ones after it move down.
    RemoveOutcome removeSelected();

    // Any thread but audio.
    int lastIndex() const;
    int selectedIndex() const;
    int currentIndex() const;
    void setSelectedIndex(int index);
    void setCurrentIndex(int index);
    // The entry after the current one, wrapping past the last back to 1; it
    // becomes current and selected. Returns it (0 when the list is empty).
    int advanceCurrent();
    // False when index is not a file entry.
    bool entry(int index, std::string& name, std::string& path) const;
    // Names 0 to the last index: the selector's items.
    std::vector<std::string> names() const;
    std::vector<std::string> paths() const;
    std::string lastOpenPath() const;
    void setLastOpenPath(const std::string& path);

    // Replaces the whole list (settings at start-up). Tables shorter than
    // lastIndex + 1 are padded with empty entries.
    void restore(int lastIndex, int selectedIndex, std::vector<std::string> names,
                 std::vector<std::string> paths);

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_names;
    std::vector<std::string> m_paths;
    int m_nLastIndex = 0;
    int m_nSelectedIndex = 0;
    int m_nCurrentIndex = 0;
    std::string m_strLastOpen;
};
