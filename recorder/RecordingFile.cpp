#include "recorder/RecordingFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// Suffixes tried after the plain name before giving up.
constexpr int kLastSuffix = 999;

std::string timeStamp(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

int writeWhole(int descriptor, const unsigned char* bytes, size_t count, off_t offset, bool atEnd)
{
    while (count > 0)
    {
        const ssize_t written =
            atEnd ? ::write(descriptor, bytes, count) : ::pwrite(descriptor, bytes, count, offset);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return errno;
        }
        // A write that takes nothing and reports no error: the disk is full.
        if (written == 0)
            return ENOSPC;
        bytes += written;
        count -= static_cast<size_t>(written);
        offset += written;
    }
    return 0;
}
} // namespace

RecordingFile::~RecordingFile()
{
    if (m_nDescriptor >= 0)
        ::close(m_nDescriptor);
}

int RecordingFile::create(const std::filesystem::path& folder, std::time_t startTime)
{
    const std::string stamp = timeStamp(startTime);
    for (int suffix = 1; suffix <= kLastSuffix; ++suffix)
    {
        const std::string name =
            stamp + (suffix == 1 ? std::string() : "-" + std::to_string(suffix)) + ".mp3";
        m_strPath = (folder / name).string();
        // O_EXCL: an earlier recording is never replaced. No O_APPEND, so the
        // tag frame can be written back over the start.
        m_nDescriptor = ::open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_nDescriptor >= 0)
        {
            // The new name itself must outlive a power cut, not only the data.
            const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (directory >= 0)
            {
                ::fsync(directory);
                ::close(directory);
            }
            m_lastSync = std::chrono::steady_clock::now();
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int RecordingFile::append(const unsigned char* bytes, size_t count)
{
    if (const int error = writeWhole(m_nDescriptor, bytes, count, 0, true))
        return error;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastSync < std::chrono::seconds(1))
        return 0;
    m_lastSync = now;
    return ::fdatasync(m_nDescriptor) == 0 ? 0 : errno;
}

int RecordingFile::writeAtStart(const unsigned char* bytes, size_t count)
{
    return writeWhole(m_nDescriptor, bytes, count, 0, false);
}

int RecordingFile::finish()
{
    if (m_nDescriptor < 0)
        return 0;
    int error = ::fsync(m_nDescriptor) == 0 ? 0 : errno;
    if (::close(m_nDescriptor) != 0 && error == 0)
        error = errno;
    m_nDescriptor = -1;
    return error;
}

std::string RecordingFile::name() const
{
    return std::filesystem::path(m_strPath).filename().string();
}
