#pragma once

// ID3v2Tag: the size of an ID3v2 tag at the start of an MP3 file, and the
// artist and title text frames inside it (TPE1/TIT2 in versions 2.3 and 2.4,
// TP1/TT2 in 2.2), decoded to UTF-8. Most encoders write only this tag, and
// one holding cover art pushes the first audio frame far from the file's start.
//
// The reader works on bytes the caller has read: it never looks past the
// count it is given, whatever sizes the tag declares, so a damaged or hostile
// tag yields empty text, never a read out of bounds. Compressed and encrypted
// frames are skipped; unsynchronisation is undone where the tag flags it.
//
// Threads: none of its own; plain values, used by the tag reader on the
// player's load thread.

#include <cstddef>
#include <string>

class ID3v2Tag
{
public:
    // The tag header, and the footer version 2.4 may add, are 10 bytes each.
    static constexpr size_t headerBytes = 10;

    // From the first bytes of a file (at least headerBytes of them): the bytes
    // the whole tag takes, header, body and footer; 0 when they are not the
    // header of an ID3v2 tag.
    static size_t totalSize(const unsigned char* bytes, size_t count);

    // Reads the text frames of the tag that starts at `tag`; count is what
    // the caller has of it (the whole tag, or less where the file ends first).
    // Returns false when the bytes hold no tag it can read; the text of frames
    // it cannot read stays empty.
    bool parse(const unsigned char* tag, size_t count);

    int majorVersion() const { return m_nMajorVersion; }
    const std::string& artist() const { return m_strArtist; }
    const std::string& title() const { return m_strTitle; }

    // One text frame's content as stored (encoding byte first) to UTF-8: the
    // first of its values, cut at its terminator.
    static std::string decodeText(const unsigned char* content, size_t count);

private:
    void readFrames(const unsigned char* body, size_t count, bool allUnsynchronised);
    void takeFrame(const char* id, const unsigned char* content, size_t count);

    int m_nMajorVersion = 0;
    std::string m_strArtist;
    std::string m_strTitle;
};
