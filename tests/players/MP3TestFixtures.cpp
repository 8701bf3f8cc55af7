#include "MP3TestFixtures.h"

#include <QString>
#include <lame/lame.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace mp3test
{

EncodedMp3 encodeMp3(const std::vector<float>& stereo, const EncodeOptions& options)
{
    lame_global_flags* encoder = lame_init();
    lame_set_in_samplerate(encoder, options.sampleRate);
    lame_set_out_samplerate(encoder, options.sampleRate);
    lame_set_num_channels(encoder, options.channels);
    lame_set_mode(encoder, options.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(encoder, 5);
    lame_set_write_id3tag_automatic(encoder, 0);
    lame_set_bWriteVbrTag(encoder, 1); // the Info frame that carries the gapless trim
    lame_set_VBR(encoder, options.variableBitrate ? vbr_default : vbr_off);
    if (options.variableBitrate)
        lame_set_VBR_quality(encoder, 4.0f);
    else
        lame_set_brate(encoder, options.bitrateKbps);
    const size_t frames = stereo.size() / 2;
    std::vector<float> left(frames);
    for (size_t frame = 0; frame < frames; ++frame)
        left[frame] = stereo[frame * 2];
    // LAME's worst case: 1.25 × samples + 7200 bytes.
    std::vector<unsigned char> output(frames * 5 / 4 + 7200);
    const int size = static_cast<int>(output.size());
    const int written =
        lame_init_params(encoder) < 0 ? -1
        : options.channels == 1
            ? lame_encode_buffer_ieee_float(encoder, left.data(), nullptr, static_cast<int>(frames),
                                            output.data(), size)
            : lame_encode_buffer_interleaved_ieee_float(
                  encoder, stereo.data(), static_cast<int>(frames), output.data(), size);
    const int flushed =
        written < 0 ? -1 : lame_encode_flush(encoder, output.data() + written, size - written);
    if (flushed < 0)
        throw std::runtime_error("LAME encoding failed");
    EncodedMp3 encoded{{output.begin(), output.begin() + written + flushed},
                       lame_get_frameNum(encoder)};
    // The stream starts with a placeholder of the Info frame; put the real one there.
    lame_get_lametag_frame(encoder, encoded.bytes.data(), encoded.bytes.size());
    lame_close(encoder);
    return encoded;
}

EncodedMp3 encodeTone(double seconds, double leftFrequency, double rightFrequency,
                      const EncodeOptions& options)
{
    const auto frames = static_cast<size_t>(options.sampleRate * seconds);
    auto samples = makeStereoTone(options.sampleRate, frames, leftFrequency, rightFrequency, 0.5);
    samples.insert(samples.begin(),
                   static_cast<size_t>(options.sampleRate * options.leadInSeconds) * 2, 0.0f);
    return encodeMp3(samples, options);
}

namespace
{
void putField(Bytes& tag, size_t offset, const std::string& text, size_t width)
{
    std::copy_n(text.begin(), std::min(width, text.size()),
                tag.begin() + static_cast<long>(offset));
}
} // namespace

Bytes makeId3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
                   const std::string& year, const std::string& comment, int track, int genre)
{
    Bytes tag(128, 0);
    putField(tag, 0, "TAG", 3);
    putField(tag, 3, title, 30);
    putField(tag, 33, artist, 30);
    putField(tag, 63, album, 30);
    putField(tag, 93, year, 4);
    putField(tag, 97, comment, track < 0 ? 30 : 28);
    if (track >= 0)
        tag[126] = static_cast<unsigned char>(track);
    tag[127] = static_cast<unsigned char>(genre);
    return tag;
}

namespace
{
// After every 0xFF that a false sync or a stuffed zero could follow, a zero.
Bytes unsynchronised(const Bytes& bytes)
{
    Bytes stuffed;
    for (size_t index = 0; index < bytes.size(); ++index)
    {
        stuffed.push_back(bytes[index]);
        if (bytes[index] == 0xFF &&
            (index + 1 == bytes.size() || bytes[index + 1] >= 0xE0 || bytes[index + 1] == 0x00))
            stuffed.push_back(0x00);
    }
    return stuffed;
}

void putSize(Bytes& bytes, size_t size, int count, bool syncsafe)
{
    const int bitsPerByte = syncsafe ? 7 : 8;
    for (int group = count - 1; group >= 0; --group)
        bytes.push_back(
            static_cast<unsigned char>((size >> (bitsPerByte * group)) & (syncsafe ? 0x7F : 0xFF)));
}
} // namespace

Bytes id3v2Text(int encoding, const std::string& utf8)
{
    Bytes content{static_cast<unsigned char>(encoding)};
    const QString text = QString::fromStdString(utf8);
    if (encoding == 0 || encoding == 3)
    {
        const QByteArray bytes = encoding == 0 ? text.toLatin1() : text.toUtf8();
        content.insert(content.end(), bytes.begin(), bytes.end());
        return content;
    }
    if (encoding == 1)
        content.insert(content.end(), {0xFF, 0xFE});
    // UTF-16 code units (surrogate pairs included) in the encoding's byte order.
    for (const QChar unit : text)
    {
        const auto high = static_cast<unsigned char>(unit.unicode() >> 8);
        const auto low = static_cast<unsigned char>(unit.unicode() & 0xFF);
        content.insert(content.end(), {encoding == 2 ? high : low, encoding == 2 ? low : high});
    }
    return content;
}

Bytes makeId3v2Tag(const std::vector<Id3v2Frame>& frames, const Id3v2Layout& layout)
{
    Bytes body;
    if (layout.extendedHeader && layout.version == 3)
        body.insert(body.end(), {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}); // size, flags, padding size
    else if (layout.extendedHeader && layout.version == 4)
        body.insert(body.end(), {0, 0, 0, 6, 1, 0}); // size with itself, one flag byte
    for (const Id3v2Frame& frame : frames)
    {
        const bool stuffFrame = layout.unsynchronise && layout.version == 4;
        const Bytes content = stuffFrame ? unsynchronised(frame.content) : frame.content;
        body.insert(body.end(), frame.id.begin(), frame.id.end());
        if (layout.version == 2)
        {
            putSize(body, content.size(), 3, false);
        }
        else
        {
            putSize(body, content.size(), 4, layout.version == 4);
            body.push_back(0);
            body.push_back(static_cast<unsigned char>(frame.formatFlags | (stuffFrame ? 0x02 : 0)));
        }
        body.insert(body.end(), content.begin(), content.end());
    }
    if (layout.unsynchronise && layout.version < 4)
        body = unsynchronised(body);
    body.resize(body.size() + layout.padding, 0);

    const unsigned char flags =
        static_cast<unsigned char>((layout.unsynchronise ? 0x80 : 0) |
                                   (layout.extendedHeader ? 0x40 : 0) | (layout.footer ? 0x10 : 0));
    Bytes tag{'I', 'D', '3', static_cast<unsigned char>(layout.version), 0, flags};
    putSize(tag, body.size(), 4, true);
    tag.insert(tag.end(), body.begin(), body.end());
    if (layout.footer)
    {
        tag.insert(tag.end(),
                   {'3', 'D', 'I', static_cast<unsigned char>(layout.version), 0, flags});
        putSize(tag, body.size(), 4, true);
    }
    return tag;
}

Bytes junkBytes(size_t count)
{
    Bytes junk(count);
    for (size_t index = 0; index < junk.size(); ++index)
        junk[index] = static_cast<unsigned char>(index * 7 + 1); // 0xFF only before 0x06
    return junk;
}

Bytes randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char>(random());
    return bytes;
}

} // namespace mp3test
