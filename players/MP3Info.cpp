#include "players/MP3Info.h"

#include "players/ID3v2Tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

// Reads a file through one large buffer. The frame walk looks at 4 bytes of
// every frame and the header search slides one byte at a time; as separate
// reads each would be a system call, which on a busy machine stretched the
// time from Play to sound to seconds.
class MP3FileWindow
{
public:
    MP3FileWindow(int descriptor, uint64_t fileSize)
        : m_descriptor(descriptor), m_fileSize(fileSize), m_buffer(windowBytes)
    {
    }

    uint64_t size() const { return m_fileSize; }

    // The count bytes at offset (count at most one window), or nullptr where
    // they pass the end of the file or cannot be read.
    const unsigned char* at(uint64_t offset, size_t count)
    {
        if (count > windowBytes || offset > m_fileSize || count > m_fileSize - offset)
            return nullptr;
        if (offset < m_start || offset - m_start + count > m_length)
        {
            m_start = offset;
            m_length = copy(offset, m_buffer.data(), windowBytes);
            if (count > m_length)
                return nullptr;
        }
        return m_buffer.data() + (offset - m_start);
    }

    // Reads up to count bytes at offset into destination; returns how many
    // arrived (fewer at the end of the file or on a read error).
    size_t copy(uint64_t offset, unsigned char* destination, size_t count) const
    {
        size_t done = 0;
        while (done < count)
        {
            const ssize_t got = ::pread(m_descriptor, destination + done, count - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        return done;
    }

private:
    // Large enough that a 10-minute file at 320 kbit/s takes about a hundred reads.
    static constexpr size_t windowBytes = 256 * 1024;

    int m_descriptor;
    uint64_t m_fileSize;
    std::vector<unsigned char> m_buffer;
    uint64_t m_start = 0;
    size_t m_length = 0;
};

namespace
{

// Bitrates in kbit/s by the header's 4-bit index; 0 is free format, -1 forbidden.
constexpr int mpeg1Bitrates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
};
constexpr int mpeg2Bitrates[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
};

// Sample rates by version (1 MPEG 2.5, 2 MPEG 2, 3 MPEG 1) and the 2-bit index.
constexpr int sampleRates[4][3] = {
    {0, 0, 0},
    {11025, 12000, 8000},
    {22050, 24000, 16000},
    {44100, 48000, 32000},
};

// Version and layer numbers by their 2-bit header fields.
constexpr int versionByBits[4] = {1, 0, 2, 3};
constexpr int layerByBits[4] = {0, 3, 2, 1};

// The 11 frame-sync bits at the top of a header word.
constexpr uint32_t frameSyncMask = 0xFFE00000;

constexpr uint64_t id3v1TagBytes = 128;

// An ID3v2 tag is read into memory for its text frames up to this size; what
// lies beyond it in a larger tag is pictures, not the title.
constexpr size_t largestId3v2TagRead = 16 * 1024 * 1024;

// The 80 genres of ID3v1 followed by the 68 of its common extension.
constexpr const char* genreNames[] = {"Blues",
                                      "Classic Rock",
                                      "Country",
                                      "Dance",
                                      "Disco",
                                      "Funk",
                                      "Grunge",
                                      "Hip-Hop",
                                      "Jazz",
                                      "Metal",
                                      "New Age",
                                      "Oldies",
                                      "Other",
                                      "Pop",
                                      "R&B",
                                      "Rap",
                                      "Reggae",
                                      "Rock",
                                      "Techno",
                                      "Industrial",
                                      "Alternative",
                                      "Ska",
                                      "Death Metal",
                                      "Pranks",
                                      "Soundtrack",
                                      "Euro-Techno",
                                      "Ambient",
                                      "Trip-Hop",
                                      "Vocal",
                                      "Jazz+Funk",
                                      "Fusion",
                                      "Trance",
                                      "Classical",
                                      "Instrumental",
                                      "Acid",
                                      "House",
                                      "Game",
                                      "Sound Clip",
                                      "Gospel",
                                      "Noise",
                                      "AlternRock",
                                      "Bass",
                                      "Soul",
                                      "Punk",
                                      "Space",
                                      "Meditative",
                                      "Instrumental Pop",
                                      "Instrumental Rock",
                                      "Ethnic",
                                      "Gothic",
                                      "Darkwave",
                                      "Techno-Industrial",
                                      "Electronic",
                                      "Pop-Folk",
                                      "Eurodance",
                                      "Dream",
                                      "Southern Rock",
                                      "Comedy",
                                      "Cult",
                                      "Gangsta",
                                      "Top 40",
                                      "Christian Rap",
                                      "Pop/Funk",
                                      "Jungle",
                                      "Native American",
                                      "Cabaret",
                                      "New Wave",
                                      "Psychadelic",
                                      "Rave",
                                      "Showtunes",
                                      "Trailer",
                                      "Lo-Fi",
                                      "Tribal",
                                      "Acid Punk",
                                      "Acid Jazz",
                                      "Polka",
                                      "Retro",
                                      "Musical",
                                      "Rock & Roll",
                                      "Hard Rock",
                                      "Folk",
                                      "Folk-Rock",
                                      "National Folk",
                                      "Swing",
                                      "Fast Fusion",
                                      "Bebob",
                                      "Latin",
                                      "Revival",
                                      "Celtic",
                                      "Bluegrass",
                                      "Avantgarde",
                                      "Gothic Rock",
                                      "Progressive Rock",
                                      "Psychedelic Rock",
                                      "Symphonic Rock",
                                      "Slow Rock",
                                      "Big Band",
                                      "Chorus",
                                      "Easy Listening",
                                      "Acoustic",
                                      "Humour",
                                      "Speech",
                                      "Chanson",
                                      "Opera",
                                      "Chamber Music",
                                      "Sonata",
                                      "Symphony",
                                      "Booty Bass",
                                      "Primus",
                                      "Porn Groove",
                                      "Satire",
                                      "Slow Jam",
                                      "Club",
                                      "Tango",
                                      "Samba",
                                      "Folklore",
                                      "Ballad",
                                      "Power Ballad",
                                      "Rhythmic Soul",
                                      "Freestyle",
                                      "Duet",
                                      "Punk Rock",
                                      "Drum Solo",
                                      "A capella",
                                      "Euro-House",
                                      "Dance Hall",
                                      "Goa",
                                      "Drum & Bass",
                                      "Club-House",
                                      "Hardcore",
                                      "Terror",
                                      "Indie",
                                      "BritPop",
                                      "Afro-Punk",
                                      "Polsk Punk",
                                      "Beat",
                                      "Christian Gangsta Rap",
                                      "Heavy Metal",
                                      "Black Metal",
                                      "Crossover",
                                      "Contemporary Christian",
                                      "Christian Rock",
                                      "Merengue",
                                      "Salsa",
                                      "Thrash Metal",
                                      "Anime",
                                      "JPop",
                                      "SynthPop"};
static_assert(std::size(genreNames) == 148);

// From `position` plus `skip`, slides a 4-byte window one byte at a time until
// the frame sync shows, the file ends or the tries run out. On success the
// word holds the header and position points just past it.
bool findFrameHeader(MP3FileWindow& file, uint64_t& position, uint64_t skip, uint32_t& word)
{
    position += skip;
    for (int tries = 0;; ++tries, ++position)
    {
        const unsigned char* bytes = file.at(position, 4);
        if (bytes == nullptr)
            return false;
        word = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
               uint32_t{bytes[3]};
        if ((word & frameSyncMask) == frameSyncMask)
        {
            position += 4;
            return true;
        }
        if (tries + 1 >= CMP3Info::maximumHeaderSearchTries)
            return false;
    }
}

std::string textField(const unsigned char* bytes, size_t width)
{
    const char* text = reinterpret_cast<const char*>(bytes);
    return std::string(text, strnlen(text, width));
}

} // namespace

const char* CMP3Info::GenreName(int genre)
{
    if (genre < 0 || genre >= static_cast<int>(std::size(genreNames)))
        return "";
    return genreNames[genre];
}

CMP3Info::CMP3Info(const std::string& path)
{
    Reset();
    if (!path.empty())
        Read(path);
}

void CMP3Info::Reset()
{
    m_strPath.clear();
    m_nFlags = 0;
    m_strArtist.clear();
    m_strTitle.clear();
    m_strId3v2Artist.clear();
    m_strId3v2Title.clear();
    m_strAlbum.clear();
    m_strComment.clear();
    m_strYear.clear();
    m_nTrack = 0;
    m_nGenre = 255;
    m_nFrames = 0;
    m_nDuration = 0;
    m_nVersion = 0;
    m_nLayer = 0;
    m_nProtection = 0;
    m_nBitrate = 0;
    m_nSampleRate = 0;
    m_nChannelMode = 0;
    m_nEmphasis = 0;
    m_nCopyright = 0;
    m_nOriginal = 0;
}

bool CMP3Info::Read(const std::string& path)
{
    Reset();
    // Non-blocking, so a named pipe given as a file cannot hang the open;
    // only regular files are read.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
    {
        ::close(descriptor);
        return false;
    }
    MP3FileWindow file(descriptor, static_cast<uint64_t>(status.st_size));
    WalkFrames(file, SkipId3v2Tags(file));
    ReadId3v1(file);
    m_strPath = path;
    ::close(descriptor);
    return true;
}

uint64_t CMP3Info::SkipId3v2Tags(MP3FileWindow& file)
{
    uint64_t audioStart = 0;
    bool first = true;
    // Some files carry more than one tag in a row; each is at least a header
    // long, so this ends.
    while (const unsigned char* header = file.at(audioStart, ID3v2Tag::headerBytes))
    {
        const size_t tagBytes = ID3v2Tag::totalSize(header, ID3v2Tag::headerBytes);
        // A tag that claims more than the file holds is not trusted to say
        // where the audio starts: the header search looks from here.
        if (tagBytes == 0 || tagBytes > file.size() - audioStart)
            break;
        if (first)
        {
            std::vector<unsigned char> tagData(std::min(tagBytes, largestId3v2TagRead));
            tagData.resize(file.copy(audioStart, tagData.data(), tagData.size()));
            ID3v2Tag tag;
            if (tag.parse(tagData.data(), tagData.size()))
            {
                m_strId3v2Artist = tag.artist();
                m_strId3v2Title = tag.title();
            }
            first = false;
        }
        audioStart += tagBytes;
    }
    return audioStart;
}

void CMP3Info::WalkFrames(MP3FileWindow& file, uint64_t audioStart)
{
    long bitrateSum = 0;
    double durationSeconds = 0.0;
    bool firstHeader = true;
    uint64_t position = audioStart;
    uint64_t skip = 0;
    uint32_t word = 0;
    while (findFrameHeader(file, position, skip, word))
    {
        if (firstHeader)
        {
            m_nVersion = versionByBits[(word >> 19) & 3];
            m_nLayer = layerByBits[(word >> 17) & 3];
            m_nProtection = static_cast<int>((word >> 16) & 1);
            firstHeader = false;
        }

        int bitrate = 0;
        if (m_nLayer >= 1 && m_nLayer <= 3)
        {
            const auto& table = m_nVersion == 3 ? mpeg1Bitrates : mpeg2Bitrates;
            bitrate = table[m_nLayer - 1][(word >> 12) & 0xF];
            if (bitrate > 0)
                bitrateSum += bitrate;
        }

        const unsigned sampleRateIndex = (word >> 10) & 3;
        if (m_nVersion != 0 && sampleRateIndex != 3)
            m_nSampleRate = sampleRates[m_nVersion][sampleRateIndex];
        if (m_nSampleRate == 0)
            break;

        m_nChannelMode = static_cast<int>((word >> 6) & 3);
        m_nCopyright = static_cast<int>((word >> 3) & 1);
        m_nOriginal = static_cast<int>((word >> 2) & 1);
        m_nEmphasis = static_cast<int>(word & 3);

        // Frame length in bytes: Layer I counts 4-byte slots of 384 samples,
        // the others bytes of 1152 samples.
        const int padding = static_cast<int>((word >> 9) & 1);
        const long frameLength = m_nLayer == 1 ? (bitrate * 12000L / m_nSampleRate + padding) * 4
                                               : bitrate * 144000L / m_nSampleRate + padding;

        ++m_nFrames;
        // A forbidden (negative) or free-format bitrate says nothing about time.
        if (bitrate > 0)
            durationSeconds += frameLength * 8.0 / (bitrate * 1000.0);

        // The 4 header bytes are already read. A length that would not move
        // forward (free format, forbidden bitrate, reserved layer) goes on
        // searching right after this header, so the walk always ends.
        skip = frameLength >= 4 ? static_cast<uint64_t>(frameLength - 4) : 0;
    }

    if (m_nFrames > 0)
    {
        m_nFlags |= HasFrameHeader;
        m_nBitrate = static_cast<int>(bitrateSum / m_nFrames);
        m_nDuration = static_cast<int>(durationSeconds);
    }
}

void CMP3Info::ReadId3v1(MP3FileWindow& file)
{
    if (file.size() < id3v1TagBytes)
        return;
    const unsigned char* tag = file.at(file.size() - id3v1TagBytes, id3v1TagBytes);
    if (tag == nullptr || std::memcmp(tag, "TAG", 3) != 0)
        return;
    m_strTitle = textField(tag + 3, 30);
    m_strArtist = textField(tag + 33, 30);
    m_strAlbum = textField(tag + 63, 30);
    m_strYear = textField(tag + 93, 4);
    if (tag[125] != 0)
    {
        // ID3v1.0: the comment runs to the genre byte.
        m_strComment = textField(tag + 97, 30);
    }
    else
    {
        // ID3v1.1: a zero byte, then the track number.
        m_strComment = textField(tag + 97, 28);
        m_nTrack = tag[126];
        m_nGenre = tag[127];
    }
    m_nFlags |= HasId3v1Tag;
}
