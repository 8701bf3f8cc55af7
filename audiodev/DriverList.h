#pragma once

// The drivers Corvane can use: every driver offered by the modules in the
// driver folder beside libaudiodev.so (<libdir>/corvane/drivers, both in the
// build tree and installed) and in the folder named by CORVANE_DRIVER_PATH.
// A module that cannot be loaded, lacks the entry point or was built for
// another interface version is skipped; the drivers that remain are numbered
// 0, 1, 2 ... without gaps, modules in file-name order.
//
// Threads: control (GUI) thread only. Never used on the audio thread.

#include "audiodev/AudioDriver.h"

#include <string>
#include <vector>

namespace audiodev
{

class __attribute__((visibility("default"))) DriverList
{
public:
    // Results of the list operations besides DriverOk.
    enum ListError : long
    {
        NullArgument = -5001,
        EntryAlreadyOpen = -5002,
        NoSuchEntry = -5003,
    };

    // Scans the default folders.
    DriverList();
    // Scans exactly these folders, in order.
    explicit DriverList(const std::vector<std::string>& folders);
    ~DriverList();
    DriverList(const DriverList&) = delete;
    DriverList& operator=(const DriverList&) = delete;

    // The folders scanned by default: the one beside libaudiodev.so, then
    // the entries of CORVANE_DRIVER_PATH (separated by ':').
    static std::vector<std::string> defaultFolders();

    unsigned count() const { return static_cast<unsigned>(m_entries.size()); }
    // Full name of entry `index`; empty past the end.
    std::string name(unsigned index) const;

    // Creates the driver object of entry `index`.
    long openDriver(unsigned index, AudioDriver** driver);
    // Destroys the object of entry `index` (no object: DriverOk).
    long closeDriver(unsigned index);
    void closeAllDrivers();

    // The entry whose object is the current driver (-1 = none) and its object.
    int currentIndex() const { return m_currentIndex; }
    AudioDriver* currentDriver() const;

    // Makes entry `index` the current driver: releases the current one and
    // creates the new object. On failure the previously current driver (if
    // another) is created again and false is returned.
    bool loadDriver(unsigned index);
    // Releases the current driver object.
    void releaseCurrentDriver();

private:
    struct Entry
    {
        std::string name;
        std::string modulePath;
        const DriverModuleEntry* module = nullptr;
        unsigned indexInModule = 0;
        AudioDriver* driver = nullptr;
    };

    void scanFolder(const std::string& folder);

    std::vector<Entry> m_entries;
    std::vector<void*> m_moduleHandles;
    std::vector<std::string> m_scannedFolders;
    int m_currentIndex = -1;
};

} // namespace audiodev
