#pragma once

// CIni: access to one sectioned key=value settings file ("rackdata5.ini").
//
// Every holder owns its own CIni and points it at the same file; there is no
// shared in-memory copy, so each read goes to the file and each write replaces
// the file at once: a write by one holder is visible to the next read by any
// other. Section and key names match without regard to case; integers are
// written in the base given (always 10 in Corvane).
//
// A write goes to a temporary file beside the target that is then renamed
// over it, so a crash or power cut never leaves a truncated settings file.
// Reads tolerate a byte-order mark, CRLF line ends, malformed and very long
// lines. A missing or unreadable file yields the defaults; a failed write
// returns false and changes nothing.
//
// Threads: GUI thread only (never the audio thread: it does file I/O).

#include <string>

class CIni
{
public:
    CIni() = default;
    explicit CIni(const std::string& fileName) { SetPathName(fileName); }

    // A bare name (no '/') resolves to $XDG_CONFIG_HOME/corvane/ (default
    // ~/.config/corvane/); a name with a '/' is used as it stands.
    void SetPathName(const std::string& fileName);
    const std::string& GetPathName() const { return m_strPath; }

    int GetInt(const std::string& section, const std::string& key, int defaultValue,
               int base = 10) const;
    unsigned GetUInt(const std::string& section, const std::string& key, unsigned defaultValue,
                     int base = 10) const;
    bool GetBool(const std::string& section, const std::string& key, bool defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;

    bool WriteInt(const std::string& section, const std::string& key, int value, int base = 10);
    bool WriteBool(const std::string& section, const std::string& key, bool value);
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);

    // The folder a bare settings file name resolves to.
    static std::string ConfigFolder();

private:
    std::string m_strPath;
};
