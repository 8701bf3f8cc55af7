#pragma once

// Persistence of the MP3 player's playlist in its section ("MP3") of the
// settings file: the entries' names and paths, the entry played last and the
// folder the Open dialog starts in. Read when the panel is built; written as
// soon as Open or Remove changes the list (so a crash loses nothing) and at
// exit. The rack position "pos" shares the section and is left alone.
//
// Threads: GUI thread only (file I/O).

#include "utilkit/Ini.h"

#include <string>
#include <vector>

// The user's home folder with a trailing '/': where the Open dialog starts
// before any file was added.
std::string mp3HomeFolder();

struct MP3Settings
{
    // "lastopen": the file added last.
    std::string lastOpenPath = mp3HomeFolder();
    // "count": the files are entries 1 … lastIndex; 0 is an empty list.
    int lastIndex = 0;
    // "lastplay": the entry played last, selected again at start.
    int lastPlayed = 0;
    // "name%d" and "list%d": entries 0 … lastIndex (entry 0 is the "All"
    // placeholder); empty while the list is.
    std::vector<std::string> names;
    std::vector<std::string> paths;
};

// GUI thread, at start. A missing key keeps its default; a stored count
// beyond the playlist's capacity reads as a full list.
void RestoreMP3Settings(const CIni& settings, MP3Settings& state);

// GUI thread. Returns false when a write failed.
bool SaveMP3Settings(CIni& settings, const MP3Settings& state);
