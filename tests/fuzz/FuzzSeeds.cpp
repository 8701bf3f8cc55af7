// Writes the fuzzers' seed corpora into <folder>/<target>/ with the tests'
// own fixture makers: a settings file as the program writes it, tagged and
// untagged MP3s, WAVs in several sample formats, and controller streams.

#include "MP3TestFixtures.h"
#include "skinkit/WaveScopeCache.h"
#include "support/CDImages.h"
#include "support/Tones.h"
#include "utilkit/Ini.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    for (const char* target :
         {"fuzz_settings_file", "fuzz_mp3_tags", "fuzz_virtual_wav", "fuzz_midi_remote",
          "fuzz_wave_cache", "fuzz_cue_image", "fuzz_instrument_presets"})
        std::filesystem::create_directories(root / target);

    CIni settings((root / "fuzz_settings_file" / "rackdata5.ini").string());
    settings.WriteInt("amp", "pos", 0);
    settings.WriteInt("Mixer", "source3", 1);
    settings.WriteString("MP3", "list1", "/music/a.mp3");
    settings.WriteString("soundfx", "path0", "/fx/horn.wav");
    settings.WriteInt("MIDIC", "0", 7);
    settings.WriteInt("MIDIC", "port", 2);

    const testkit::Bytes audio = mp3test::encodeTone(0.2, 440, 880).bytes;
    writeBytes(root / "fuzz_mp3_tags" / "plain.mp3", audio);
    for (int version : {2, 3, 4})
    {
        mp3test::Id3v2Layout layout;
        layout.version = version;
        layout.unsynchronise = version == 4;
        layout.extendedHeader = version == 3;
        const std::string title = version == 2 ? "TT2" : "TIT2";
        const std::string artist = version == 2 ? "TP1" : "TPE1";
        testkit::Bytes tagged =
            mp3test::makeId3v2Tag({{title, mp3test::id3v2Text(version == 4 ? 3 : 1, "Title é")},
                                   {artist, mp3test::id3v2Text(0, "Artist")}},
                                  layout);
        tagged.insert(tagged.end(), audio.begin(), audio.end());
        const testkit::Bytes trailer =
            mp3test::makeId3v1Tag("Title", "Artist", "Album", "1999", "Comment", 3, 12);
        tagged.insert(tagged.end(), trailer.begin(), trailer.end());
        writeBytes(root / "fuzz_mp3_tags" / ("tagged-2." + std::to_string(version) + ".mp3"),
                   tagged);
    }

    const std::vector<float> tone = testkit::makeStereoTone(44100, 512, 440, 880, 0.5);
    testkit::Recording stereo{44100, {std::vector<float>(512), std::vector<float>(512)}};
    for (size_t n = 0; n < 512; ++n)
    {
        stereo.channels[0][n] = tone[2 * n];
        stereo.channels[1][n] = tone[2 * n + 1];
    }
    testkit::writeWav((root / "fuzz_virtual_wav" / "stereo.wav").string(), stereo);
    testkit::writeWav((root / "fuzz_virtual_wav" / "mono.wav").string(),
                      {48000, {stereo.channels[0]}});

    std::vector<unsigned char> stream(2 * 53, 0xFF); // all unbound
    stream[0] = 7;
    stream[1] = 0; // function 0 on CC 7
    for (unsigned char message : {0xB0, 0x07, 0x7F, 0xC5, 0x05, 0x00, 0x90, 0x3C, 0x64})
        stream.push_back(message);
    writeBytes(root / "fuzz_midi_remote" / "stream", stream);

    CIni presets((root / "fuzz_instrument_presets" / "synth.so.ini").string());
    presets.WriteInt("info", "last", 3);
    presets.WriteInt("p3", "MSB", 1);
    presets.WriteInt("p3", "LSB", 2);
    presets.WriteInt("p3", "patch", 5);
    presets.WriteInt("p3", "ch", 10);
    presets.WriteString("p3", "name", "Strings");

    // A cache as the scope writes it for the fuzzer's 4410-frame stereo sound at 40 pixels.
    const wavescope::Geometry geometry = wavescope::geometryFor(4410, 2, 40);
    const auto header = wavescope::header(geometry, true);
    std::vector<unsigned char> cache(header.begin(), header.end());
    cache.resize(cache.size() + geometry.dataSize, 0x40);
    writeBytes(root / "fuzz_wave_cache" / "sound.wav.tuv", cache);

    // Cue sheet, a zero byte, the BIN: a short audio disc and a mixed-mode one.
    const testkit::TemporaryFolder images;
    for (bool mixed : {false, true})
    {
        std::vector<testkit::CdTrack> tracks = {{3, 1000, 500}, {2, 440, 440}};
        if (mixed)
            tracks.insert(tracks.begin(), testkit::CdTrack{2, 0, 0, true});
        const testkit::CdImage image = testkit::writeCdImage(images, "disc", tracks, 1);
        std::ifstream cue(image.cuePath, std::ios::binary), bin(image.binPath, std::ios::binary);
        std::vector<unsigned char> seed((std::istreambuf_iterator<char>(cue)), {});
        seed.push_back(0);
        seed.insert(seed.end(), std::istreambuf_iterator<char>(bin), {});
        writeBytes(root / "fuzz_cue_image" / (mixed ? "mixed" : "audio"), seed);
    }
    // What the fuzzer found once: TRACK 01 over and over, more than a disc holds.
    std::string repeated = "FILE \"disc.bin\" BINARY\n";
    for (int track = 0; track < 120; ++track)
        repeated += "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    std::vector<unsigned char> seed(repeated.begin(), repeated.end());
    seed.push_back(0);
    seed.resize(seed.size() + 4 * 2352, 0);
    writeBytes(root / "fuzz_cue_image" / "repeated-tracks", seed);
    return 0;
}
