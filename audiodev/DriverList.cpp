#include "audiodev/DriverList.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace audiodev
{

namespace
{

// Longest listed name a module may report; the host cuts it further for
// display.
constexpr size_t kListedNameCapacity = 255;

void folderMarker() {}

} // namespace

DriverList::DriverList() : DriverList(defaultFolders()) {}

DriverList::DriverList(const std::vector<std::string>& folders)
{
    for (const auto& folder : folders)
        scanFolder(folder);
}

DriverList::~DriverList()
{
    closeAllDrivers();
    for (void* handle : m_moduleHandles)
        dlclose(handle);
}

std::vector<std::string> DriverList::defaultFolders()
{
    std::vector<std::string> folders;
    // The drivers live in corvane/drivers beside this library, wherever it
    // was loaded from: build/lib in the build tree, <libdir> when installed.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&folderMarker), &info) != 0 && info.dli_fname != nullptr)
    {
        const std::filesystem::path library(info.dli_fname);
        folders.push_back((library.parent_path() / "corvane" / "drivers").string());
    }
    if (const char* extra = std::getenv("CORVANE_DRIVER_PATH"))
    {
        std::string list(extra);
        size_t start = 0;
        while (start <= list.size())
        {
            const size_t end = std::min(list.find(':', start), list.size());
            if (end > start)
                folders.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    return folders;
}

void DriverList::scanFolder(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error)
        return;
    // The same folder named twice lists its drivers once.
    if (std::find(m_scannedFolders.begin(), m_scannedFolders.end(), canonical.string()) !=
        m_scannedFolders.end())
        return;
    m_scannedFolders.push_back(canonical.string());

    std::vector<fs::path> modules;
    for (fs::directory_iterator it(canonical, error), end; !error && it != end; it.increment(error))
    {
        if (it->path().extension() == ".so" && it->is_regular_file(error))
            modules.push_back(it->path());
    }
    std::sort(modules.begin(), modules.end());

    for (const auto& path : modules)
    {
        // Modules stay mapped once loaded: the sound libraries they pull in
        // (libjack, libasound) keep process-wide state and are not made to
        // be unloaded and loaded again each time the list is built.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle == nullptr)
            continue;
        auto entryFunction = reinterpret_cast<DriverEntryFunction>(dlsym(handle, kDriverEntryName));
        const DriverModuleEntry* module = entryFunction != nullptr ? entryFunction() : nullptr;
        if (module == nullptr || module->interfaceVersion != kDriverInterfaceVersion ||
            module->driverCount == nullptr || module->driverName == nullptr ||
            module->createDriver == nullptr)
        {
            dlclose(handle);
            continue;
        }
        m_moduleHandles.push_back(handle);
        const unsigned drivers = module->driverCount();
        for (unsigned index = 0; index < drivers; ++index)
        {
            char name[kListedNameCapacity + 1] = {};
            if (!module->driverName(index, name, sizeof(name)))
                continue;
            name[kListedNameCapacity] = '\0';
            m_entries.push_back(Entry{name, path.string(), module, index, nullptr});
        }
    }
}

std::string DriverList::name(unsigned index) const
{
    return index < m_entries.size() ? m_entries[index].name : std::string();
}

long DriverList::openDriver(unsigned index, AudioDriver** driver)
{
    if (driver == nullptr)
        return NullArgument;
    *driver = nullptr;
    if (index >= m_entries.size())
        return NoSuchEntry;
    Entry& entry = m_entries[index];
    if (entry.driver != nullptr)
        return EntryAlreadyOpen;
    entry.driver = entry.module->createDriver(entry.indexInModule);
    if (entry.driver == nullptr)
        return DriverNotPresent;
    *driver = entry.driver;
    return DriverOk;
}

long DriverList::closeDriver(unsigned index)
{
    if (index >= m_entries.size())
        return NoSuchEntry;
    Entry& entry = m_entries[index];
    delete entry.driver;
    entry.driver = nullptr;
    if (m_currentIndex == static_cast<int>(index))
        m_currentIndex = -1;
    return DriverOk;
}

void DriverList::closeAllDrivers()
{
    for (unsigned index = 0; index < m_entries.size(); ++index)
        closeDriver(index);
}

AudioDriver* DriverList::currentDriver() const
{
    return m_currentIndex >= 0 ? m_entries[static_cast<size_t>(m_currentIndex)].driver : nullptr;
}

bool DriverList::loadDriver(unsigned index)
{
    if (index >= m_entries.size())
        return false;
    const int previous = m_currentIndex;
    releaseCurrentDriver();
    AudioDriver* driver = nullptr;
    if (openDriver(index, &driver) == DriverOk)
    {
        m_currentIndex = static_cast<int>(index);
        return true;
    }
    if (previous >= 0 && previous != static_cast<int>(index) &&
        openDriver(static_cast<unsigned>(previous), &driver) == DriverOk)
        m_currentIndex = previous;
    return false;
}

void DriverList::releaseCurrentDriver()
{
    if (m_currentIndex >= 0)
        closeDriver(static_cast<unsigned>(m_currentIndex));
}

} // namespace audiodev
