// Module entry of the ALSA driver: one driver per PCM device of every sound
// card, then the "default" device, then the devices named in
// CORVANE_ALSA_DEVICES (comma-separated ALSA names, e.g. "null"). A machine
// without sound cards lists only the latter two.

#include "../common/ModuleEntry.h"
#include "AlsaDriver.h"

#include <alsa/asoundlib.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

struct Device
{
    std::string pcmName;
    std::string listedName;
};

// Rebuilt at every listing: cards come and go.
std::vector<Device> g_devices;

std::vector<Device> findDevices()
{
    std::vector<Device> devices;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
    {
        snd_ctl_t* control = nullptr;
        const std::string cardId = "hw:" + std::to_string(card);
        if (snd_ctl_open(&control, cardId.c_str(), 0) < 0)
            continue;
        snd_ctl_card_info_t* cardInfo = nullptr;
        snd_ctl_card_info_alloca(&cardInfo);
        const std::string cardName = snd_ctl_card_info(control, cardInfo) == 0
                                         ? snd_ctl_card_info_get_name(cardInfo)
                                         : cardId;
        int device = -1;
        while (snd_ctl_pcm_next_device(control, &device) == 0 && device >= 0)
        {
            snd_pcm_info_t* pcmInfo = nullptr;
            snd_pcm_info_alloca(&pcmInfo);
            std::string pcmName;
            for (auto stream : {SND_PCM_STREAM_PLAYBACK, SND_PCM_STREAM_CAPTURE})
            {
                snd_pcm_info_set_device(pcmInfo, unsigned(device));
                snd_pcm_info_set_subdevice(pcmInfo, 0);
                snd_pcm_info_set_stream(pcmInfo, stream);
                if (pcmName.empty() && snd_ctl_pcm_info(control, pcmInfo) == 0)
                    pcmName = snd_pcm_info_get_name(pcmInfo);
            }
            if (pcmName.empty())
                continue;
            const std::string address = std::to_string(card) + "," + std::to_string(device);
            // Card first: the start of the name is what the list shows.
            devices.push_back(
                {"hw:" + address, "ALSA " + address + ": " + cardName + " " + pcmName});
        }
        snd_ctl_close(control);
    }
    devices.push_back({"default", "ALSA default"});
    if (const char* extra = std::getenv("CORVANE_ALSA_DEVICES"))
    {
        std::string list(extra);
        size_t start = 0;
        while (start <= list.size())
        {
            const size_t end = std::min(list.find(',', start), list.size());
            if (end > start)
            {
                const std::string name = list.substr(start, end - start);
                devices.push_back({name, "ALSA " + name});
            }
            start = end + 1;
        }
    }
    return devices;
}

unsigned driverCount()
{
    g_devices = findDevices();
    return unsigned(g_devices.size());
}

bool driverName(unsigned index, char* name, size_t capacity)
{
    return index < g_devices.size() &&
           audiodev::copyListedName(g_devices[index].listedName.c_str(), name, capacity);
}

audiodev::AudioDriver* createDriver(unsigned index)
{
    if (index >= g_devices.size())
        return nullptr;
    return new audiodev::AlsaDriver(g_devices[index].pcmName, g_devices[index].listedName);
}

const audiodev::DriverModuleEntry kEntry{audiodev::kDriverInterfaceVersion, &driverCount,
                                         &driverName, &createDriver};
} // namespace

CORVANE_DRIVER_ENTRY const audiodev::DriverModuleEntry* corvaneAudioDriverEntry()
{
    return &kEntry;
}
