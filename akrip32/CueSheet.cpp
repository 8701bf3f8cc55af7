#include "akrip32/CueSheet.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace akrip32
{

bool cueSheetIsSane(const std::string& path)
{
    constexpr size_t kLargestSheet = 256 * 1024;
    constexpr size_t kLongestLine = 1000;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::string text(kLargestSheet + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    if (text.size() > kLargestSheet)
        return false;
    int lastTrack = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() > kLongestLine ||
            std::any_of(line.begin(), line.end(),
                        [](char c)
                        { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r'; }))
            return false;
        const size_t keyword = line.find_first_not_of(" \t");
        if (keyword == std::string::npos || strncasecmp(line.c_str() + keyword, "TRACK", 5) != 0)
            continue;
        const size_t after = keyword + 5;
        if (after < line.size() && line[after] != ' ' && line[after] != '\t' && line[after] != '\r')
            continue; // another keyword that starts with "TRACK"
        const size_t number = line.find_first_not_of(" \t", after);
        if (number == std::string::npos)
            return false;
        size_t digits = number;
        while (digits < line.size() && digits - number < 3 &&
               std::isdigit(static_cast<unsigned char>(line[digits])))
            ++digits;
        const int track =
            digits > number ? std::atoi(line.substr(number, digits - number).c_str()) : 0;
        if (track <= lastTrack || track > 99 ||
            (digits < line.size() && line[digits] != ' ' && line[digits] != '\t'))
            return false;
        lastTrack = track;
    }
    return true;
}

} // namespace akrip32
