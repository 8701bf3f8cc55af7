#pragma once

// CMP3Info: what the MP3 player needs to know about a file before playing it:
// the ID3v1 tag at the end (title, artist, album, year, comment, track, genre),
// artist and title from an ID3v2 tag at the start and, from a walk over the
// MPEG audio frame headers behind that tag, the stream's version, layer,
// sample rate, channel mode, average bitrate, frame count and duration.
//
// It opens the file itself, reads it through one large buffer (the walk looks
// at the 4 header bytes of each visited frame) and closes it again; it never
// decodes audio. The ID3v1 fields hold the tag's bytes as they stand (Latin-1);
// the ID3v2 artist and title are UTF-8.
//
// Threads: one thread at a time per object (the player's load thread). Never
// used on the audio thread: it does file I/O.

#include <cstdint>
#include <string>

class MP3FileWindow;

class CMP3Info
{
public:
    enum Flags : unsigned
    {
        HasId3v1Tag = 1,
        HasFrameHeader = 2,
    };

    CMP3Info() { Reset(); }
    explicit CMP3Info(const std::string& path);
    virtual ~CMP3Info() = default;

    CMP3Info(const CMP3Info&) = default;
    CMP3Info& operator=(const CMP3Info&) = default;

    void Reset();
    // False only when the file cannot be opened (every field then keeps its
    // reset value); true whether or not a tag or a frame was found.
    bool Read(const std::string& path);

    const std::string& GetPath() const { return m_strPath; }
    unsigned GetFlags() const { return m_nFlags; }
    const std::string& GetArtist() const { return m_strArtist; }
    const std::string& GetTitle() const { return m_strTitle; }
    // TPE1 and TIT2 (TP1 and TT2 in version 2.2) of the first ID3v2 tag, UTF-8;
    // empty when the file has no such tag or frame.
    const std::string& GetId3v2Artist() const { return m_strId3v2Artist; }
    const std::string& GetId3v2Title() const { return m_strId3v2Title; }
    const std::string& GetAlbum() const { return m_strAlbum; }
    const std::string& GetComment() const { return m_strComment; }
    const std::string& GetYear() const { return m_strYear; }
    int GetTrack() const { return m_nTrack; }
    int GetGenre() const { return m_nGenre; }
    int GetFrames() const { return m_nFrames; }
    int GetDuration() const { return m_nDuration; }
    int GetVersion() const { return m_nVersion; }
    int GetLayer() const { return m_nLayer; }
    int GetProtection() const { return m_nProtection; }
    int GetBitrate() const { return m_nBitrate; }
    int GetSampleRate() const { return m_nSampleRate; }
    int GetChannelMode() const { return m_nChannelMode; }
    int GetEmphasis() const { return m_nEmphasis; }
    int GetCopyright() const { return m_nCopyright; }
    int GetOriginal() const { return m_nOriginal; }

    // The ID3v1 genre names 0 to 147; an empty text for any other number.
    static const char* GenreName(int genre);

    // The header search gives up after this many one-byte slides.
    static constexpr int maximumHeaderSearchTries = 10000;

private:
    // Reads the text of the first ID3v2 tag; returns where the audio starts,
    // behind every tag that fits in the file.
    uint64_t SkipId3v2Tags(MP3FileWindow& file);
    void WalkFrames(MP3FileWindow& file, uint64_t audioStart);
    void ReadId3v1(MP3FileWindow& file);

    std::string m_strPath;
    unsigned m_nFlags;
    std::string m_strArtist;
    std::string m_strTitle;
    std::string m_strId3v2Artist;
    std::string m_strId3v2Title;
    std::string m_strAlbum;
    std::string m_strComment;
    std::string m_strYear;
    int m_nTrack;
    int m_nGenre;
    int m_nFrames;
    int m_nDuration;
    int m_nVersion;
    int m_nLayer;
    int m_nProtection;
    int m_nBitrate;
    int m_nSampleRate;
    int m_nChannelMode;
    int m_nEmphasis;
    int m_nCopyright;
    int m_nOriginal;
};
