#include "utilkit/Ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace
{

// A settings file larger than this is not a settings file Corvane wrote;
// reading it whole would only waste memory, so it reads as empty.
constexpr std::uintmax_t kLargestReadableFile = 16u * 1024u * 1024u;

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool equalsIgnoringCase(const std::string& left, const std::string& right)
{
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b)
                      {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// The file as lines, without line ends and without a leading byte-order mark.
std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kLargestReadableFile)
        return lines;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return lines;
    std::string line;
    while (std::getline(file, line))
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    static const std::string byteOrderMark = "\xEF\xBB\xBF";
    if (!lines.empty() && lines.front().compare(0, byteOrderMark.size(), byteOrderMark) == 0)
        lines.front().erase(0, byteOrderMark.size());
    return lines;
}

// "[name]" gives name; anything else is not a section header.
bool parseSectionHeader(const std::string& line, std::string& name)
{
    const std::string trimmed = trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return false;
    const auto close = trimmed.find(']');
    if (close == std::string::npos)
        return false;
    name = trim(trimmed.substr(1, close - 1));
    return true;
}

// "key=value" gives both, trimmed; comments and lines without '=' do not.
bool parseKeyLine(const std::string& line, std::string& key, std::string& value)
{
    const std::string trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return false;
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    key = trim(trimmed.substr(0, equals));
    value = trim(trimmed.substr(equals + 1));
    // Values written by hand may be quoted.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return true;
}

// Where a key stands in the file: the line of the key (npos when absent) and
// the line after which a new key of that section would go (npos when the
// section itself is absent).
struct KeyPosition
{
    size_t keyLine = std::string::npos;
    size_t insertAfter = std::string::npos;
};

KeyPosition findKey(const std::vector<std::string>& lines, const std::string& section,
                    const std::string& key)
{
    KeyPosition position;
    bool inSection = false;
    for (size_t index = 0; index < lines.size(); ++index)
    {
        std::string name;
        if (parseSectionHeader(lines[index], name))
        {
            inSection = equalsIgnoringCase(name, section);
            if (inSection && position.insertAfter == std::string::npos)
                position.insertAfter = index;
            continue;
        }
        if (!inSection)
            continue;
        std::string lineKey, value;
        if (parseKeyLine(lines[index], lineKey, value))
        {
            if (equalsIgnoringCase(lineKey, key))
            {
                position.keyLine = index;
                return position;
            }
        }
        // New keys go after the last non-blank line of the first matching section.
        if (!trim(lines[index]).empty() && position.insertAfter != std::string::npos &&
            position.insertAfter + 1 == index)
            position.insertAfter = index;
    }
    return position;
}

bool readValue(const std::string& path, const std::string& section, const std::string& key,
               std::string& value)
{
    const auto lines = readLines(path);
    const auto position = findKey(lines, section, key);
    if (position.keyLine == std::string::npos)
        return false;
    std::string lineKey;
    return parseKeyLine(lines[position.keyLine], lineKey, value);
}

// Replaces the file in one step: a temporary file in the same folder, synced,
// then renamed over the target.
bool replaceFile(const std::string& path, const std::vector<std::string>& lines)
{
    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);

    std::string contents;
    for (const auto& line : lines)
        contents += line + '\n';

    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    bool written = true;
    size_t offset = 0;
    while (written && offset < contents.size())
    {
        const ssize_t count =
            ::write(descriptor, contents.data() + offset, contents.size() - offset);
        if (count < 0 && errno == EINTR)
            continue;
        written = count > 0;
        if (written)
            offset += static_cast<size_t>(count);
    }
    written = written && fchmod(descriptor, 0644) == 0 && fdatasync(descriptor) == 0;
    written = (::close(descriptor) == 0) && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// A value must stay on its own line, or it would inject keys into the file.
std::string singleLine(const std::string& value)
{
    std::string result = value;
    std::replace(result.begin(), result.end(), '\r', ' ');
    std::replace(result.begin(), result.end(), '\n', ' ');
    return result;
}

std::string formatInteger(long long value, int base)
{
    if (base < 2 || base > 36)
        base = 10;
    char buffer[72];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, base);
    return std::string(buffer, result.ptr);
}

bool parseInteger(const std::string& text, int base, long long& value)
{
    if (base < 2 || base > 36)
        base = 10;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, base);
    if (end == text.c_str())
        return false;
    value = errno == ERANGE ? (parsed < 0 ? LLONG_MIN : LLONG_MAX) : parsed;
    return true;
}

} // namespace

std::string CIni::ConfigFolder()
{
    if (const char* configHome = std::getenv("XDG_CONFIG_HOME"); configHome && *configHome)
        return std::string(configHome) + "/corvane";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/corvane";
}

void CIni::SetPathName(const std::string& fileName)
{
    if (fileName.find('/') == std::string::npos)
        m_strPath = ConfigFolder() + "/" + fileName;
    else
        m_strPath = fileName;
}

int CIni::GetInt(const std::string& section, const std::string& key, int defaultValue,
                 int base) const
{
    std::string text;
    long long value = 0;
    if (!readValue(m_strPath, section, key, text) || !parseInteger(text, base, value))
        return defaultValue;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

unsigned CIni::GetUInt(const std::string& section, const std::string& key, unsigned defaultValue,
                       int base) const
{
    std::string text;
    long long value = 0;
    if (!readValue(m_strPath, section, key, text) || !parseInteger(text, base, value) || value < 0)
        return defaultValue;
    return static_cast<unsigned>(std::min<long long>(value, UINT_MAX));
}

bool CIni::GetBool(const std::string& section, const std::string& key, bool defaultValue) const
{
    std::string text;
    if (!readValue(m_strPath, section, key, text))
        return defaultValue;
    for (const char* word : {"1", "true", "yes", "on"})
        if (equalsIgnoringCase(text, word))
            return true;
    for (const char* word : {"0", "false", "no", "off"})
        if (equalsIgnoringCase(text, word))
            return false;
    return defaultValue;
}

std::string CIni::GetString(const std::string& section, const std::string& key,
                            const std::string& defaultValue) const
{
    std::string text;
    return readValue(m_strPath, section, key, text) ? text : defaultValue;
}

bool CIni::WriteInt(const std::string& section, const std::string& key, int value, int base)
{
    return WriteString(section, key, formatInteger(value, base));
}

bool CIni::WriteBool(const std::string& section, const std::string& key, bool value)
{
    return WriteString(section, key, value ? "1" : "0");
}

bool CIni::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (m_strPath.empty() || trim(section).empty() || trim(key).empty())
        return false;
    auto lines = readLines(m_strPath);
    const auto position = findKey(lines, section, key);
    const std::string line = trim(key) + "=" + singleLine(value);
    if (position.keyLine != std::string::npos)
    {
        lines[position.keyLine] = line;
    }
    else if (position.insertAfter != std::string::npos)
    {
        lines.insert(lines.begin() + static_cast<long>(position.insertAfter) + 1, line);
    }
    else
    {
        if (!lines.empty() && !trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + trim(section) + "]");
        lines.push_back(line);
    }
    return replaceFile(m_strPath, lines);
}

bool CIni::DeleteKey(const std::string& section, const std::string& key)
{
    if (m_strPath.empty())
        return false;
    auto lines = readLines(m_strPath);
    bool removed = false;
    for (;;)
    {
        const auto position = findKey(lines, section, key);
        if (position.keyLine == std::string::npos)
            break;
        lines.erase(lines.begin() + static_cast<long>(position.keyLine));
        removed = true;
    }
    return removed ? replaceFile(m_strPath, lines) : true;
}
