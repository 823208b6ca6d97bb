#include "engine/ArchiveReader.h"

#include <algorithm>
#include <cstring>

#include "platform/FileHandle.h"

namespace engine {

namespace {

class FileSource : public Source {
public:
    FileSource(platform::FileHandle handle, uint64_t size) : handle_(handle), size_(size) {}
    ~FileSource() override { platform::FileClose(handle_); }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override {
        if (offset > size_ || count > size_ - offset) return false;
        if (count == 0) return true;
        if (platform::FileSeek(handle_, static_cast<int64_t>(offset),
                               platform::SeekOrigin::kFromStart) < 0)
            return false;
        return platform::FileRead(handle_, buffer, count) == static_cast<int64_t>(count);
    }

private:
    platform::FileHandle handle_;
    uint64_t size_;
};

class BlockSource : public Source {
public:
    BlockSource(const void* data, uint64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t count) override {
        if (offset > size_ || count > size_ - offset) return false;
        if (count > 0) std::memcpy(buffer, data_ + offset, count);
        return true;
    }

private:
    const uint8_t* data_;
    uint64_t size_;
};

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;

// The values the end record (or its zip64 form) gives.
struct EndValues {
    uint64_t entries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;   // as declared
    uint64_t recordPosition = 0;  // where the directory should end: the first end record
};

// Finds the last end record whose comment fits in the file, searching the last 64 KiB and the
// record's own size.
bool FindEnd(Source& source, EndValues& end, std::string& why) {
    const uint64_t size = source.Size();
    if (size < kEndSize) {
        why = "too short for a zip archive";
        return false;
    }
    const uint64_t span = std::min<uint64_t>(size, kEndSize + 0xFFFF);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    if (!source.ReadAt(size - span, tail.data(), tail.size())) {
        why = "read error";
        return false;
    }
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        const uint8_t* p = tail.data() + i;
        if (Get32(p) != kEndSig) continue;
        // Bytes after the comment are tolerated (some tools pad), a comment past the end is not.
        if (i + kEndSize + Get16(p + 20) > tail.size()) continue;
        end.recordPosition = size - span + i;
        end.entries = Get16(p + 10);
        end.centralSize = Get32(p + 12);
        end.centralOffset = Get32(p + 16);
        const bool masked = end.entries == 0xFFFF || end.centralSize == 0xFFFFFFFF ||
                            end.centralOffset == 0xFFFFFFFF;
        if (!masked || end.recordPosition < kZip64LocatorSize) return true;
        uint8_t locator[kZip64LocatorSize];
        const uint64_t at = end.recordPosition - kZip64LocatorSize;
        if (!source.ReadAt(at, locator, sizeof locator) || Get32(locator) != kZip64LocatorSig)
            return true;  // plain values that happen to be all ones
        // The zip64 end record sits right before the locator; its declared offset is used only
        // when a stub has not shifted it.
        uint8_t record[kZip64EndSize];
        uint64_t recordAt = Get64(locator + 8);
        if (!source.ReadAt(recordAt, record, sizeof record) || Get32(record) != kZip64EndSig) {
            if (at < kZip64EndSize) break;
            recordAt = at - kZip64EndSize;
            if (!source.ReadAt(recordAt, record, sizeof record) || Get32(record) != kZip64EndSig)
                break;
        }
        end.entries = Get64(record + 32);
        end.centralSize = Get64(record + 40);
        end.centralOffset = Get64(record + 48);
        end.recordPosition = recordAt;
        return true;
    }
    why = "no end of central directory record";
    return false;
}

// Applies a zip64 extra field (id 1) to the values the header marked as too large for it.
void ApplyZip64(const uint8_t* extra, size_t length, CentralEntry& e, bool wantUsize,
                bool wantCsize, bool wantOffset) {
    size_t i = 0;
    while (i + 4 <= length) {
        const uint16_t id = Get16(extra + i);
        const uint16_t size = Get16(extra + i + 2);
        if (i + 4 + size > length) break;
        if (id == 1) {
            const uint8_t* p = extra + i + 4;
            size_t left = size;
            auto take = [&](uint64_t& value) {
                if (left < 8) return false;
                value = Get64(p);
                p += 8;
                left -= 8;
                return true;
            };
            if (wantUsize && !take(e.uncompressedSize)) return;
            if (wantCsize && !take(e.compressedSize)) return;
            if (wantOffset) take(e.localOffset);
            return;
        }
        i += 4 + size;
    }
}

// Parses `count` central records from the buffer: true; false when they do not fit.
bool ParseCentral(const std::vector<uint8_t>& buffer, uint64_t count,
                  std::vector<CentralEntry>& entries, std::string& why) {
    size_t at = 0;
    for (uint64_t n = 0; n < count; ++n) {
        if (at + kCentralSize > buffer.size() || Get32(buffer.data() + at) != kCentralSig) {
            why = "central directory damaged at record " + std::to_string(n + 1);
            return false;
        }
        const uint8_t* p = buffer.data() + at;
        const size_t nameLength = Get16(p + 28), extraLength = Get16(p + 30),
                     commentLength = Get16(p + 32);
        if (at + kCentralSize + nameLength + extraLength + commentLength > buffer.size()) {
            why = "central directory damaged at record " + std::to_string(n + 1);
            return false;
        }
        CentralEntry e;
        e.versionMadeBy = Get16(p + 4);
        e.flags = Get16(p + 8);
        e.method = Get16(p + 10);
        e.time = Get16(p + 12);
        e.date = Get16(p + 14);
        e.crc = Get32(p + 16);
        e.compressedSize = Get32(p + 20);
        e.uncompressedSize = Get32(p + 24);
        e.externalAttrs = Get32(p + 38);
        e.localOffset = Get32(p + 42);
        e.rawName.assign(reinterpret_cast<const char*>(p + kCentralSize), nameLength);
        const bool wantUsize = e.uncompressedSize == 0xFFFFFFFF;
        const bool wantCsize = e.compressedSize == 0xFFFFFFFF;
        const bool wantOffset = e.localOffset == 0xFFFFFFFF;
        // All ones without a zip64 field: the plain values stand.
        if (wantUsize || wantCsize || wantOffset)
            ApplyZip64(p + kCentralSize + nameLength, extraLength, e, wantUsize, wantCsize,
                       wantOffset);
        entries.push_back(std::move(e));
        at += kCentralSize + nameLength + extraLength + commentLength;
    }
    return true;
}

}  // namespace

std::unique_ptr<Source> OpenFileSource(const std::string& path) {
    const platform::FileHandle handle =
        platform::FileOpen(path, platform::FileAccess::kRead, platform::FileShare::kDenyWrite,
                           platform::FileDisposition::kOpenExisting);
    if (handle == platform::kInvalidFileHandle) return nullptr;
    const int64_t size = platform::FileSize(handle);
    if (size < 0) {
        platform::FileClose(handle);
        return nullptr;
    }
    return std::make_unique<FileSource>(handle, static_cast<uint64_t>(size));
}

std::unique_ptr<Source> MemorySource(const void* data, uint64_t size) {
    return std::make_unique<BlockSource>(data, size);
}

bool ReadDirectory(Source& source, Directory& out, std::string& why) {
    EndValues end;
    if (!FindEnd(source, end, why)) return false;
    out.entries.clear();
    if (end.centralSize > end.recordPosition) {
        why = "central directory size exceeds the archive";
        return false;
    }
    // Each record takes at least 46 bytes, so the count cannot exceed what the size holds; a
    // bigger count would only make us allocate for records that are not there.
    if (end.entries > end.centralSize / kCentralSize) {
        why = "entry count exceeds the central directory";
        return false;
    }
    // Where the directory really is: right before the end record, unless bytes sit between
    // them. The difference to the declared offset is a stub in front of the archive whose
    // offsets were not adjusted; it moves every local offset too.
    const uint64_t real = end.recordPosition - end.centralSize;
    const uint64_t declared = end.centralOffset;
    auto directoryAt = [&](uint64_t at) {
        uint8_t sig[4];
        return end.entries == 0 || (source.ReadAt(at, sig, 4) && Get32(sig) == kCentralSig);
    };
    uint64_t start;
    if (real >= declared && directoryAt(real)) {
        start = real;
    } else if (declared <= real && directoryAt(declared)) {
        start = declared;  // something sits between the directory and the end record
    } else {
        why = "central directory not found";
        return false;
    }
    const uint64_t shift = start - end.centralOffset;
    std::vector<uint8_t> buffer(static_cast<size_t>(end.centralSize));
    if (!source.ReadAt(start, buffer.data(), buffer.size())) {
        why = "read error in the central directory";
        return false;
    }
    if (!ParseCentral(buffer, end.entries, out.entries, why)) return false;
    for (CentralEntry& e : out.entries) e.localOffset += shift;
    out.centralStart = start;
    return true;
}

bool ReadLocalHeader(Source& source, const CentralEntry& entry, uint64_t& dataStart,
                     std::string& why) {
    uint8_t header[kLocalSize];
    if (!source.ReadAt(entry.localOffset, header, sizeof header)) {
        why = "local header lies outside the archive";
        return false;
    }
    if (Get32(header) != kLocalSig) {
        why = "no local header at the entry's offset";
        return false;
    }
    dataStart = entry.localOffset + kLocalSize + Get16(header + 26) + Get16(header + 28);
    if (dataStart > source.Size()) {
        why = "local header runs past the end of the archive";
        return false;
    }
    return true;
}

}  // namespace engine
