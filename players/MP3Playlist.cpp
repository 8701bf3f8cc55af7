#include "players/MP3Playlist.h"

#include <algorithm>

namespace
{
const char* const emptyPlaceholder = "None";
const char* const allPlaceholder = "All";

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

MP3Playlist::MP3Playlist() : m_names(capacity), m_paths(capacity)
{
    m_names[0] = emptyPlaceholder;
}

int MP3Playlist::addFiles(const std::vector<std::string>& paths)
{
    std::lock_guard lock(m_mutex);
    if (paths.empty())
        return 0;
    m_names[0] = allPlaceholder;
    int added = 0;
    for (const std::string& path : paths)
    {
        if (m_nLastIndex + 1 >= capacity)
            break;
        ++m_nLastIndex;
        m_nSelectedIndex = m_nLastIndex;
        m_names[m_nLastIndex] = fileNameOf(path);
        m_paths[m_nLastIndex] = path;
        m_strLastOpen = path;
        ++added;
    }
    return added;
}

MP3Playlist::RemoveOutcome MP3Playlist::removeSelected()
{
    std::lock_guard lock(m_mutex);
    if (m_nLastIndex == 0)
        return RemoveOutcome::Nothing;
    if (m_nSelectedIndex == 0)
    {
        m_nLastIndex = 0;
        m_names[0] = emptyPlaceholder;
        return RemoveOutcome::ClearedAll;
    }
    for (int index = m_nSelectedIndex; index < m_nLastIndex; ++index)
    {
        m_names[index] = m_names[index + 1];
        m_paths[index] = m_paths[index + 1];
    }
    m_names[m_nLastIndex].clear();
    m_paths[m_nLastIndex].clear();
    --m_nLastIndex;
    m_nSelectedIndex = std::min(m_nSelectedIndex, m_nLastIndex);
    if (m_nLastIndex == 0)
        m_names[0] = emptyPlaceholder;
    return RemoveOutcome::RemovedSelected;
}

int MP3Playlist::lastIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_nLastIndex;
}

int MP3Playlist::selectedIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_nSelectedIndex;
}

int MP3Playlist::currentIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_nCurrentIndex;
}

void MP3Playlist::setSelectedIndex(int index)
{
    std::lock_guard lock(m_mutex);
    m_nSelectedIndex = std::clamp(index, 0, m_nLastIndex);
}

void MP3Playlist::setCurrentIndex(int index)
{
    std::lock_guard lock(m_mutex);
    m_nCurrentIndex = std::clamp(index, 0, capacity - 1);
}

int MP3Playlist::advanceCurrent()
{
    std::lock_guard lock(m_mutex);
    if (m_nLastIndex == 0)
        return 0;
    ++m_nCurrentIndex;
    if (m_nCurrentIndex > m_nLastIndex || m_nCurrentIndex < 1)
        m_nCurrentIndex = 1;
    m_nSelectedIndex = m_nCurrentIndex;
    return m_nCurrentIndex;
}

bool MP3Playlist::entry(int index, std::string& name, std::string& path) const
{
    std::lock_guard lock(m_mutex);
    if (index < 1 || index > m_nLastIndex)
        return false;
    name = m_names[index];
    path = m_paths[index];
    return true;
}

std::vector<std::string> MP3Playlist::names() const
{
    std::lock_guard lock(m_mutex);
    return {m_names.begin(), m_names.begin() + m_nLastIndex + 1};
}

std::vector<std::string> MP3Playlist::paths() const
{
    std::lock_guard lock(m_mutex);
    return {m_paths.begin(), m_paths.begin() + m_nLastIndex + 1};
}

std::string MP3Playlist::lastOpenPath() const
{
    std::lock_guard lock(m_mutex);
    return m_strLastOpen;
}

void MP3Playlist::setLastOpenPath(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_strLastOpen = path;
}

void MP3Playlist::restore(int lastIndex, int selectedIndex, std::vector<std::string> names,
                          std::vector<std::string> paths)
{
    std::lock_guard lock(m_mutex);
    m_nLastIndex = std::clamp(lastIndex, 0, capacity - 1);
    names.resize(capacity);
    paths.resize(capacity);
    m_names = std::move(names);
    m_paths = std::move(paths);
    for (int index = m_nLastIndex + 1; index < capacity; ++index)
    {
        m_names[index].clear();
        m_paths[index].clear();
    }
    if (m_nLastIndex == 0)
        m_names[0] = emptyPlaceholder;
    m_nSelectedIndex = std::clamp(selectedIndex, 0, m_nLastIndex);
    m_nCurrentIndex = m_nSelectedIndex;
}
