#pragma once

// Fixtures for the MP3 tests: tones encoded with LAME, ID3 tags written byte
// by byte, temporary files, and the tone measurement the tests assert on.

#include "support/Tones.h"

#include <string>
#include <vector>

namespace mp3test
{

using testkit::Bytes;
using testkit::makeStereoTone;
using testkit::StubRackUnit;
using testkit::TemporaryFolder;
using testkit::toneFaults;
using testkit::writeFile;

// LAME encodes a steady tone at 0.95 of its level at a constant bitrate
// (measured): the 0.5 the tests encode decodes as 0.475. VBR keeps the level.
constexpr double decodedLevel = 0.5 * 0.95;

struct EncodeOptions
{
    int sampleRate = 44100;
    int channels = 2; // 1: the left side, mono
    int bitrateKbps = 128;
    bool variableBitrate = false;
    double leadInSeconds = 0.0; // silence before the tone (encodeTone)
};

struct EncodedMp3
{
    Bytes bytes;
    int audioFrames = 0; // the leading Info frame (gapless trim) not included
};

EncodedMp3 encodeMp3(const std::vector<float>& stereo, const EncodeOptions& options);
// `seconds` of a 0.5 tone on each side at the options' rate, after the
// options' lead-in of silence.
EncodedMp3 encodeTone(double seconds, double leftFrequency, double rightFrequency,
                      const EncodeOptions& options = {});

// A 128-byte ID3v1 trailer: track < 0 writes ID3v1.0 (30-byte comment), else
// ID3v1.1 with the track in byte 126. Longer text is cut, shorter zero-padded.
Bytes makeId3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
                   const std::string& year, const std::string& comment, int track, int genre);
// A text frame's content: the encoding byte, then UTF-8 text re-encoded as it
// says: 0 Latin-1, 1 UTF-16 little-endian after its byte-order mark, 2
// UTF-16 big-endian, 3 UTF-8. No terminator.
Bytes id3v2Text(int encoding, const std::string& utf8);

struct Id3v2Frame
{
    std::string id; // 3 characters for version 2.2, else 4
    Bytes content;
    unsigned char formatFlags = 0; // the second flag byte (2.3, 2.4)
};

struct Id3v2Layout
{
    int version = 3; // 2, 3 or 4
    // Version 2.4 unsynchronises each frame (and flags it), older ones the
    // whole body; the tag header's flag is set either way.
    bool unsynchronise = false;
    bool extendedHeader = false; // 2.3 and 2.4
    bool footer = false;         // 2.4
    size_t padding = 0;
};

// An ID3v2 tag holding the frames in order, sizes as the version stores them.
Bytes makeId3v2Tag(const std::vector<Id3v2Frame>& frames, const Id3v2Layout& layout = {});
// Bytes in which no frame header can start (no 0xFF before 0xE0 or more).
Bytes junkBytes(size_t count = 200);
Bytes randomBytes(size_t count, unsigned seed);

} // namespace mp3test
