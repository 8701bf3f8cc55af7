#include "players/ID3v2Tag.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

// Tag header flags.
constexpr unsigned char unsynchronisedTag = 0x80;
constexpr unsigned char extendedHeaderOrCompressed = 0x40; // 2.2: compressed tag
constexpr unsigned char footerPresent = 0x10;              // 2.4 only

// Frame format flags (the second flag byte) of versions 2.3 and 2.4.
constexpr unsigned char v3Compressed = 0x80;
constexpr unsigned char v3Encrypted = 0x40;
constexpr unsigned char v3Grouped = 0x20;
constexpr unsigned char v4Grouped = 0x40;
constexpr unsigned char v4Compressed = 0x08;
constexpr unsigned char v4Encrypted = 0x04;
constexpr unsigned char v4Unsynchronised = 0x02;
constexpr unsigned char v4DataLengthGiven = 0x01;

// Text encodings of a text frame's first byte.
constexpr unsigned char latin1Text = 0;
constexpr unsigned char utf16WithByteOrderMark = 1;
constexpr unsigned char utf16BigEndian = 2;
constexpr unsigned char utf8Text = 3;

constexpr char32_t replacementCharacter = 0xFFFD;

// Four 7-bit groups, most significant first; false when a byte has its top bit.
bool syncsafe(const unsigned char* bytes, size_t& value)
{
    value = 0;
    for (int index = 0; index < 4; ++index)
    {
        if (bytes[index] & 0x80)
            return false;
        value = (value << 7) | bytes[index];
    }
    return true;
}

size_t bigEndian(const unsigned char* bytes, int count)
{
    size_t value = 0;
    for (int index = 0; index < count; ++index)
        value = (value << 8) | bytes[index];
    return value;
}

// Undoes unsynchronisation: a zero byte stuffed after every 0xFF goes.
std::vector<unsigned char> resynchronised(const unsigned char* bytes, size_t count)
{
    std::vector<unsigned char> plain;
    plain.reserve(count);
    for (size_t index = 0; index < count; ++index)
    {
        plain.push_back(bytes[index]);
        if (bytes[index] == 0xFF && index + 1 < count && bytes[index + 1] == 0x00)
            ++index;
    }
    return plain;
}

void appendUtf8(std::string& text, char32_t code)
{
    if (code < 0x80)
    {
        text.push_back(static_cast<char>(code));
    }
    else if (code < 0x800)
    {
        text.push_back(static_cast<char>(0xC0 | (code >> 6)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    else if (code < 0x10000)
    {
        text.push_back(static_cast<char>(0xE0 | (code >> 12)));
        text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    else
    {
        text.push_back(static_cast<char>(0xF0 | (code >> 18)));
        text.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string latin1ToUtf8(const unsigned char* bytes, size_t count)
{
    std::string text;
    for (size_t index = 0; index < count && bytes[index] != 0; ++index)
        appendUtf8(text, bytes[index]);
    return text;
}

// Keeps well-formed sequences and puts U+FFFD for every byte that starts none,
// so the title display never receives broken UTF-8.
std::string cleanUtf8(const unsigned char* bytes, size_t count)
{
    std::string text;
    size_t index = 0;
    while (index < count && bytes[index] != 0)
    {
        const unsigned char lead = bytes[index];
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool valid = length > 0 && index + static_cast<size_t>(length) <= count;
        for (int follow = 1; valid && follow < length; ++follow)
        {
            const unsigned char next = bytes[index + static_cast<size_t>(follow)];
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // No overlong forms, surrogates or codes past U+10FFFF.
        static constexpr char32_t smallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallestOfLength[length] && code <= 0x10FFFF &&
                (code < 0xD800 || code > 0xDFFF);
        if (valid)
        {
            text.append(reinterpret_cast<const char*>(bytes + index), static_cast<size_t>(length));
            index += static_cast<size_t>(length);
        }
        else
        {
            appendUtf8(text, replacementCharacter);
            ++index;
        }
    }
    return text;
}

// UTF-16 in the given byte order; a trailing odd byte is ignored, a lone
// surrogate becomes U+FFFD.
std::string utf16ToUtf8(const unsigned char* bytes, size_t count, bool bigEndianOrder)
{
    const auto unitAt = [&](size_t unit)
    {
        const unsigned char first = bytes[unit * 2];
        const unsigned char second = bytes[unit * 2 + 1];
        return static_cast<char32_t>(bigEndianOrder ? (first << 8) | second
                                                    : (second << 8) | first);
    };
    std::string text;
    const size_t units = count / 2;
    for (size_t unit = 0; unit < units; ++unit)
    {
        const char32_t code = unitAt(unit);
        if (code == 0)
            break;
        if (code >= 0xD800 && code <= 0xDBFF && unit + 1 < units)
        {
            const char32_t low = unitAt(unit + 1);
            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                appendUtf8(text, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                ++unit;
                continue;
            }
        }
        appendUtf8(text, code >= 0xD800 && code <= 0xDFFF ? replacementCharacter : code);
    }
    return text;
}

bool isFrameIdCharacter(unsigned char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9');
}

} // namespace

size_t ID3v2Tag::totalSize(const unsigned char* bytes, size_t count)
{
    size_t bodyBytes = 0;
    if (count < headerBytes || std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] < 2 || bytes[3] > 4 ||
        bytes[4] == 0xFF || !syncsafe(bytes + 6, bodyBytes))
        return 0;
    const bool footer = bytes[3] == 4 && (bytes[5] & footerPresent) != 0;
    return headerBytes + bodyBytes + (footer ? headerBytes : 0);
}

bool ID3v2Tag::parse(const unsigned char* tag, size_t count)
{
    m_nMajorVersion = 0;
    m_strArtist.clear();
    m_strTitle.clear();
    const size_t total = totalSize(tag, count);
    if (total == 0)
        return false;
    m_nMajorVersion = tag[3];
    const unsigned char flags = tag[5];
    // A compressed 2.2 tag has no defined compression: nothing to read.
    if (m_nMajorVersion == 2 && (flags & extendedHeaderOrCompressed))
        return true;

    size_t bodyBytes = 0;
    syncsafe(tag + 6, bodyBytes);
    const size_t available = std::min(bodyBytes, count - headerBytes);
    const unsigned char* body = tag + headerBytes;
    // Before 2.4, unsynchronisation covers the whole body, extended header included.
    std::vector<unsigned char> plain;
    size_t bodyCount = available;
    if (m_nMajorVersion < 4 && (flags & unsynchronisedTag))
    {
        plain = resynchronised(body, available);
        body = plain.data();
        bodyCount = plain.size();
    }

    size_t framesStart = 0;
    if (m_nMajorVersion >= 3 && (flags & extendedHeaderOrCompressed))
    {
        if (bodyCount < 4)
            return true;
        // 2.3 counts the size field out of the extended header's size, 2.4 in.
        size_t extendedBytes = 0;
        if (m_nMajorVersion == 3)
            extendedBytes = bigEndian(body, 4) + 4;
        else if (!syncsafe(body, extendedBytes))
            return true;
        if (extendedBytes > bodyCount)
            return true;
        framesStart = extendedBytes;
    }
    readFrames(body + framesStart, bodyCount - framesStart,
               m_nMajorVersion == 4 && (flags & unsynchronisedTag));
    return true;
}

void ID3v2Tag::readFrames(const unsigned char* body, size_t count, bool allUnsynchronised)
{
    const bool version2 = m_nMajorVersion == 2;
    const size_t idBytes = version2 ? 3 : 4;
    const size_t frameHeaderBytes = version2 ? 6 : 10;
    size_t position = 0;
    while (count - position >= frameHeaderBytes)
    {
        const unsigned char* header = body + position;
        // Padding, or bytes that are no frame: the frames have ended.
        bool validId = true;
        for (size_t index = 0; index < idBytes; ++index)
            validId = validId && isFrameIdCharacter(header[index]);
        if (!validId)
            return;

        size_t size = 0;
        if (version2)
            size = bigEndian(header + 3, 3);
        else if (m_nMajorVersion == 3 || !syncsafe(header + 4, size))
            size = bigEndian(header + 4, 4); // 2.4 sizes some writers store plain
        position += frameHeaderBytes;
        // A frame that claims more than is left ends the walk: what follows
        // cannot be found.
        if (size > count - position)
            return;
        const unsigned char* content = body + position;
        position += size;

        char id[5] = {};
        std::memcpy(id, header, idBytes);
        const unsigned char format = version2 ? 0 : header[9];
        bool readable = true;
        size_t skipped = 0; // bytes before the text: group id, data length
        std::vector<unsigned char> plain;
        if (m_nMajorVersion == 3)
        {
            readable = (format & (v3Compressed | v3Encrypted)) == 0;
            skipped = (format & v3Grouped) ? 1 : 0;
        }
        else if (m_nMajorVersion == 4)
        {
            readable = (format & (v4Compressed | v4Encrypted)) == 0;
            skipped = ((format & v4Grouped) ? 1 : 0) + ((format & v4DataLengthGiven) ? 4 : 0);
        }
        if (!readable || skipped > size)
            continue;
        content += skipped;
        size_t contentBytes = size - skipped;
        // 2.4 flags each unsynchronised frame; some writers flag only the tag.
        if (m_nMajorVersion == 4 && ((format & v4Unsynchronised) || allUnsynchronised))
        {
            plain = resynchronised(content, contentBytes);
            content = plain.data();
            contentBytes = plain.size();
        }
        takeFrame(id, content, contentBytes);
    }
}

void ID3v2Tag::takeFrame(const char* id, const unsigned char* content, size_t count)
{
    const bool version2 = m_nMajorVersion == 2;
    if (m_strTitle.empty() && std::strcmp(id, version2 ? "TT2" : "TIT2") == 0)
        m_strTitle = decodeText(content, count);
    else if (m_strArtist.empty() && std::strcmp(id, version2 ? "TP1" : "TPE1") == 0)
        m_strArtist = decodeText(content, count);
}

std::string ID3v2Tag::decodeText(const unsigned char* content, size_t count)
{
    if (count == 0)
        return {};
    const unsigned char encoding = content[0];
    const unsigned char* text = content + 1;
    size_t textBytes = count - 1;
    switch (encoding)
    {
    case latin1Text:
        return latin1ToUtf8(text, textBytes);
    case utf8Text:
        return cleanUtf8(text, textBytes);
    case utf16WithByteOrderMark:
    case utf16BigEndian:
    {
        // A byte-order mark decides where there is one (some writers put it
        // before big-endian text too); encoding 1 without one is taken as
        // little-endian, as the writers that leave it out store it.
        bool bigEndianOrder = encoding == utf16BigEndian;
        if (textBytes >= 2 &&
            ((text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF)))
        {
            bigEndianOrder = text[0] == 0xFE;
            text += 2;
            textBytes -= 2;
        }
        return utf16ToUtf8(text, textBytes, bigEndianOrder);
    }
    default:
        return {};
    }
}
