#include "app/Payload.h"

#include <algorithm>

#include "app/RunLog.h"
#include "platform/FileHandle.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "ui/Exception.h"

namespace payload {

void WriteArchiveResource(const std::string& name, const std::string& path) {
    platform::ResourceBytes bytes;
    if (!platform::FindOwnResource(kArchiveType, name, bytes))
        throw ui::Exception("Resource " + name + " not found");
    WriteWholeFile(path, bytes.data, bytes.size);
    runlog::FileWritten(path, bytes.data, bytes.size);
}

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
    const platform::FileHandle file =
        platform::FileOpen(path, platform::FileAccess::kWrite, platform::FileShare::kDenyWrite,
                           platform::FileDisposition::kCreateAlways);
    if (file == platform::kInvalidFileHandle) throw FileWriteError(true, path);

    // In pieces, so no single call asks for more than a 32-bit count on any platform.
    constexpr size_t kPiece = size_t{1} << 20;
    const char* next = static_cast<const char*>(data);
    size_t left = size;
    bool whole = true;
    while (left > 0 && whole) {
        const size_t piece = std::min(left, kPiece);
        whole = platform::FileWrite(file, next, piece) == static_cast<int64_t>(piece);
        next += piece;
        left -= piece;
    }
    platform::FileClose(file);
    if (!whole) {
        platform::RemoveFile(path);
        throw FileWriteError(false, path);
    }
}

void ReplaceWholeFile(const std::string& path, const void* data, size_t size) {
    const size_t slash = path.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (!platform::FileExists(folder)) throw FileWriteError(true, path);
    platform::FileAttributes existing;
    if (platform::ReadFileAttributes(path, existing) && existing.readOnly && !existing.directory)
        throw FileWriteError(false, path);
    // A fresh name in the destination's own folder, so the final rename never crosses volumes.
    const std::string fresh = platform::CreateTempFileName(folder, "new");
    if (fresh.empty()) throw FileWriteError(false, path);
    try {
        WriteWholeFile(fresh, data, size);
    } catch (const ui::Exception&) {
        platform::RemoveFile(fresh);
        throw FileWriteError(false, path);
    }
    if (!platform::ReplaceFileWith(fresh, path)) {
        platform::RemoveFile(fresh);
        throw FileWriteError(true, path);
    }
    runlog::FileWritten(path, data, size);
}

}  // namespace payload
