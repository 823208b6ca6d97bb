#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/FileStamps.h"
#include "platform/Paths.h"
#include "platform/ProcessTable_posix.h"
#include "platform/Text.h"

namespace platform {

bool GetFileDosTime(const std::string& path, uint32_t& dosDateTime) {
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    struct tm local;
    const time_t when = st.st_mtime;
    if (!localtime_r(&when, &local) || local.tm_year < 80 || local.tm_year > 207) return false;
    const uint32_t date = static_cast<uint32_t>(((local.tm_year - 80) << 9) |
                                                ((local.tm_mon + 1) << 5) | local.tm_mday);
    const uint32_t time =
        static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    dosDateTime = (date << 16) | time;
    return true;
}

namespace {

// The time of an MS-DOS date (high word) and time (low word) in local time; false when it is
// no valid date.
bool DosTimeToTimespec(uint32_t dosDateTime, struct timespec& out) {
    const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    struct tm local = {};
    local.tm_year = static_cast<int>((date >> 9) + 80);
    local.tm_mon = static_cast<int>(((date >> 5) & 15)) - 1;
    local.tm_mday = static_cast<int>(date & 31);
    local.tm_hour = static_cast<int>(time >> 11);
    local.tm_min = static_cast<int>((time >> 5) & 63);
    local.tm_sec = static_cast<int>((time & 31) * 2);
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59) {
        errno = EINVAL;
        return false;
    }
    const time_t when = mktime(&local);
    if (when == static_cast<time_t>(-1)) return false;
    out.tv_sec = when;
    out.tv_nsec = 0;
    return true;
}

}  // namespace

bool SetFileDosTime(const std::string& path, uint32_t dosDateTime) {
    const std::string host = HostPath(path);
    struct timespec times[2];
    if (host.empty() || !DosTimeToTimespec(dosDateTime, times[0])) return false;
    times[1] = times[0];
    return utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
}

bool SetFileDosTime(FileHandle file, uint32_t dosDateTime) {
    struct timespec times[2];
    if (!DosTimeToTimespec(dosDateTime, times[0])) return false;
    times[1] = times[0];
    return futimens(static_cast<int>(file), times) == 0;
}

bool SetFileAttributeBits(const std::string& path, uint32_t attributes) {
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return mode == (st.st_mode & 07777) || chmod(host.c_str(), mode) == 0;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    const std::string hostFrom = HostPath(from), hostTo = HostPath(to);
    if (hostFrom.empty() || hostTo.empty()) return false;
    // rename() would replace an empty folder on some hosts; Windows never does.
    // A target that does not exist yet has no mode to look at.
    struct stat st;
    const bool exists = stat(hostTo.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (exists && S_ISREG(st.st_mode) && IsRunningProgram(st)) {
        errno = ETXTBSY;
        return false;
    }
    return std::rename(hostFrom.c_str(), hostTo.c_str()) == 0;
}

bool IsFileHeld(const std::u16string& path) {
    // The host lets anyone rename over a file in use; the only holder the stand-in knows is a
    // program that runs from the file, as ReplaceFileWith refuses it.
    const std::string host = HostPath(Utf16ToUtf8(path));
    struct stat st;
    return !host.empty() && lstat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           IsRunningProgram(st);
}

// UTF-16 paths: ANSI is UTF-8 here, so every name converts exactly.
bool GetFileDosTime(const std::u16string& path, uint32_t& dosDateTime) {
    return GetFileDosTime(Utf16ToUtf8(path), dosDateTime);
}
bool SetFileDosTime(const std::u16string& path, uint32_t dosDateTime) {
    return SetFileDosTime(Utf16ToUtf8(path), dosDateTime);
}
bool SetFileAttributeBits(const std::u16string& path, uint32_t attributes) {
    return SetFileAttributeBits(Utf16ToUtf8(path), attributes);
}
bool ReplaceFileWith(const std::u16string& from, const std::u16string& to) {
    return ReplaceFileWith(Utf16ToUtf8(from), Utf16ToUtf8(to));
}

}  // namespace platform
