#include "akrip32/akrip32.h"

#include "akrip32/CueSheet.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

namespace
{

struct Drive
{
    CdIo_t* cdio = nullptr;
    bool msfAddresses = false;
    int firstTrack = 0;
    int lastTrack = 0;
    // Start block of every track, then the lead-out's.
    std::vector<lsn_t> starts;
    std::vector<bool> dataTrack;
};

struct Listed
{
    std::string path;
    bool image = false;
};

// The open drives by handle. One lock for all: reads are serialised per
// unit anyway, and a close never races a read of the same handle.
std::mutex g_drivesMutex;
std::map<HCDROM, Drive> g_drives;
HCDROM g_nextHandle = 1;

// libcdio reports every probe and every damaged image on stderr; Corvane
// shows failures by what it does, and keeps the console quiet.
void quietLog(cdio_log_level_t, const char*) {}

void installQuietLog()
{
    static std::once_flag installed;
    std::call_once(installed, [] { cdio_log_set_handler(&quietLog); });
}

bool isCueSheet(const std::string& path)
{
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".cue") == 0;
}

std::string resolved(const char* path)
{
    char buffer[PATH_MAX];
    return realpath(path, buffer) != nullptr ? std::string(buffer) : std::string();
}

std::vector<Listed> listDrives()
{
    installQuietLog();
    std::vector<Listed> listed;
    auto add = [&listed](const std::string& path, bool image)
    {
        if (path.empty() || path.size() >= CD_DRIVE_NAME_BYTES ||
            std::any_of(listed.begin(), listed.end(),
                        [&path](const Listed& known) { return known.path == path; }))
            return;
        listed.push_back({path, image});
    };
    if (const char* named = std::getenv(CD_DEVICE_VARIABLE); named != nullptr && *named != '\0')
    {
        struct stat info
        {
        };
        const std::string path = resolved(named);
        // A regular file is a disc image only as a CUE sheet.
        if (!path.empty() && stat(path.c_str(), &info) == 0 &&
            (!S_ISREG(info.st_mode) || isCueSheet(path)))
            add(path, S_ISREG(info.st_mode));
    }
    if (char** devices = cdio_get_devices(DRIVER_DEVICE); devices != nullptr)
    {
        for (char** device = devices; *device != nullptr; ++device)
            add(resolved(*device), false);
        cdio_free_device_list(devices);
    }
    return listed;
}

// The caller holds g_drivesMutex.
Drive* findDrive(HCDROM handle)
{
    const auto found = g_drives.find(handle);
    return found == g_drives.end() ? nullptr : &found->second;
}

void putBigEndian(uint8_t* bytes, uint32_t value)
{
    for (int index = 0; index < 4; ++index)
        bytes[index] = static_cast<uint8_t>(value >> (8 * (3 - index)));
}

// The disc's layout as libcdio reports it; false for no disc or no tracks.
bool readLayout(Drive& drive)
{
    const track_t first = cdio_get_first_track_num(drive.cdio);
    const track_t last = cdio_get_last_track_num(drive.cdio);
    if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || first < 1 || last < first ||
        last - first + 1 >= TOC_MAX_ENTRIES)
        return false;
    drive.firstTrack = first;
    drive.lastTrack = last;
    drive.starts.clear();
    drive.dataTrack.clear();
    for (int track = first; track <= last; ++track)
    {
        const lsn_t start = cdio_get_track_lsn(drive.cdio, static_cast<track_t>(track));
        if (start == CDIO_INVALID_LSN)
            return false;
        drive.starts.push_back(start);
        drive.dataTrack.push_back(cdio_get_track_format(drive.cdio, static_cast<track_t>(track)) !=
                                  TRACK_FORMAT_AUDIO);
    }
    const lsn_t leadOut = cdio_get_track_lsn(drive.cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN || leadOut < drive.starts.back())
        return false;
    drive.starts.push_back(leadOut);
    return true;
}

} // namespace

int GetCDList(CDLIST* list)
{
    if (list == nullptr)
        return 0;
    const std::vector<Listed> drives = listDrives();
    list->count = 0;
    for (const Listed& listed : drives)
    {
        if (list->count >= CD_MAX_DRIVES)
            break;
        CDDRIVE& entry = list->drives[list->count];
        std::memset(&entry, 0, sizeof(entry));
        // The list's position is the drive's address: one host adapter per drive.
        entry.hostAdapter = list->count;
        entry.isImage = listed.image ? 1 : 0;
        std::memcpy(entry.name, listed.path.c_str(), listed.path.size());
        ++list->count;
    }
    return 1;
}

HCDROM GetCDHandle(const GETCDHAND* request)
{
    if (request == nullptr || request->size != sizeof(GETCDHAND) || request->version != 1 ||
        request->target != 0 || request->lun != 0)
        return 0;
    const std::vector<Listed> drives = listDrives();
    if (request->hostAdapter >= drives.size())
        return 0;
    const Listed& listed = drives[request->hostAdapter];
    // An image is read only as BIN/CUE: letting libcdio guess the format
    // hands a damaged image of another kind to a parser that aborts the
    // whole process.
    if (listed.image && !akrip32::cueSheetIsSane(listed.path))
        return 0;
    CdIo_t* cdio = cdio_open(listed.path.c_str(), listed.image ? DRIVER_BINCUE : DRIVER_DEVICE);
    if (cdio == nullptr)
        return 0;
    std::lock_guard lock(g_drivesMutex);
    const HCDROM handle = g_nextHandle++;
    g_drives[handle].cdio = cdio;
    return handle;
}

int ModifyCDParms(HCDROM handle, int parameter, int value)
{
    std::lock_guard lock(g_drivesMutex);
    Drive* drive = findDrive(handle);
    if (drive == nullptr || parameter != CDP_MSF)
        return 0;
    drive->msfAddresses = value != 0;
    return 1;
}

int ReadTOC(HCDROM handle, TOC* toc)
{
    std::lock_guard lock(g_drivesMutex);
    Drive* drive = findDrive(handle);
    if (drive == nullptr || toc == nullptr || !readLayout(*drive))
        return 0;
    std::memset(toc, 0, sizeof(TOC));
    toc->firstTrack = static_cast<uint8_t>(drive->firstTrack);
    toc->lastTrack = static_cast<uint8_t>(drive->lastTrack);
    const size_t entries = drive->starts.size();
    for (size_t index = 0; index < entries; ++index)
    {
        TOCTRACK& entry = toc->tracks[index];
        const bool leadOut = index + 1 == entries;
        entry.adrControl = 0x10 | (!leadOut && drive->dataTrack[index] ? TOC_DATA_TRACK : 0);
        entry.trackNumber = leadOut
                                ? TOC_LEADOUT_TRACK
                                : static_cast<uint8_t>(drive->firstTrack + static_cast<int>(index));
        const lsn_t block = drive->starts[index];
        if (drive->msfAddresses)
        {
            const lsn_t counted = block + CD_PREGAP_BLOCKS;
            entry.address[1] = static_cast<uint8_t>(counted / (60 * CD_BLOCKS_PER_SECOND));
            entry.address[2] = static_cast<uint8_t>(counted / CD_BLOCKS_PER_SECOND % 60);
            entry.address[3] = static_cast<uint8_t>(counted % CD_BLOCKS_PER_SECOND);
        }
        else
        {
            putBigEndian(entry.address, static_cast<uint32_t>(block));
        }
    }
    const size_t length = 2 + entries * sizeof(TOCTRACK);
    toc->length[0] = static_cast<uint8_t>(length >> 8);
    toc->length[1] = static_cast<uint8_t>(length & 0xFF);
    return 1;
}

int ReadCDAudioLBA(HCDROM handle, TRACKBUF* buffer)
{
    if (buffer == nullptr)
        return 0;
    buffer->status = 0;
    buffer->lengthBytes = 0;
    std::lock_guard lock(g_drivesMutex);
    Drive* drive = findDrive(handle);
    if (drive == nullptr || (drive->starts.empty() && !readLayout(*drive)))
        return 0;
    const long first = buffer->startBlock;
    const long count = buffer->blockCount;
    const long capacity = std::min<long>(buffer->capacityBytes, CD_CHUNK_BYTES);
    // libcdio calls a read of no block a success, and a read that runs past
    // the lead-out too while it writes fewer blocks: refuse both here.
    if (first < 0 || count < 1 || count * CD_BLOCK_BYTES > capacity ||
        first + count > drive->starts.back())
        return 0;
    // A data track's sectors played as audio are loud noise.
    for (size_t track = 0; track + 1 < drive->starts.size(); ++track)
        if (drive->dataTrack[track] && first < drive->starts[track + 1] &&
            first + count > drive->starts[track])
            return 0;
    if (cdio_read_audio_sectors(drive->cdio, buffer->audio, static_cast<lsn_t>(first),
                                static_cast<uint32_t>(count)) != DRIVER_OP_SUCCESS)
        return 0;
    buffer->lengthBytes = static_cast<int32_t>(count * CD_BLOCK_BYTES);
    buffer->status = 1;
    return 1;
}

int CloseCDHandle(HCDROM handle)
{
    std::lock_guard lock(g_drivesMutex);
    const auto found = g_drives.find(handle);
    if (found == g_drives.end())
        return 0;
    cdio_destroy(found->second.cdio);
    g_drives.erase(found);
    return 1;
}
