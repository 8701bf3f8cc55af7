#pragma once

// RecordingFile: one MP3 recording on disk. It is created under a name made
// from the time recording started, never over an existing file, and is
// written by plain descriptor calls so that every failure (disk full, file
// too large) comes back as an error number instead of vanishing in a buffer.
//
// Threads: created on the GUI thread, then written by the recording's encoder
// worker only.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>

class RecordingFile
{
public:
    RecordingFile() = default;
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // "<folder>/YYYYMMDDhhmmss.mp3" in local time; when that name is taken
    // (two recordings in one second, an hour repeated at the end of summer
    // time) "-2", "-3", … before ".mp3". Returns the error number, 0 when
    // the file was created.
    int create(const std::filesystem::path& folder, std::time_t startTime);

    // Writes all bytes at the end: 0, or the error number (ENOSPC when the
    // disk took nothing). What was written is forced to the disk at least
    // once a second, so a power cut loses at most about the last second.
    int append(const unsigned char* bytes, size_t count);
    // Overwrites the first bytes of the file (the reserved tag frame).
    int writeAtStart(const unsigned char* bytes, size_t count);
    // Flushes to the disk and closes: 0, or the first error number.
    int finish();

    bool isOpen() const { return m_nDescriptor >= 0; }
    // The path of the file created last (or tried last, after a failure).
    const std::string& path() const { return m_strPath; }
    // Its name without the folder.
    std::string name() const;

private:
    int m_nDescriptor = -1;
    std::string m_strPath;
    std::chrono::steady_clock::time_point m_lastSync;
};
