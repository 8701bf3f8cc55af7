// MP3 files as found on a DJ's disk: the ID3v2 tag on its own, and the whole
// file through the tag and header reader the playlist uses.

#include "FuzzInput.h"
#include "players/ID3v2Tag.h"
#include "players/MP3Info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)ID3v2Tag::totalSize(data, size);
    ID3v2Tag tag;
    (void)tag.parse(data, size);

    const fuzz::InputFile file(data, size);
    CMP3Info info;
    (void)info.Read(file.path());
    return 0;
}
