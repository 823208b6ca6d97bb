#include "engine/ArchiveReader.h"

#include <algorithm>
#include <cstring>

#include "engine/ZipRecords.h"
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

using namespace zip;

// The values the end record (or its zip64 form) gives.
struct EndValues {
    uint64_t entries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;   // as declared
    uint64_t recordPosition = 0;  // where the directory should end: the first end record
};

// Finds the end record by the archive's one rule in the last 64 KiB, and its zip64 form when
// the record points to one.
bool FindEnd(Source& source, EndValues& out, std::string& why) {
    const uint64_t size = source.Size();
    if (size < kEndSize) {
        why = "too short for a zip archive";
        return false;
    }
    const uint64_t span = std::min<uint64_t>(size, kEndSearch);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    if (!source.ReadAt(size - span, tail.data(), tail.size())) {
        why = "read error";
        return false;
    }
    const size_t i = zip::FindEnd(tail.data(), tail.size());
    EndRecord end;
    if (i == kNoEnd || !ParseEnd(tail.data() + i, tail.size() - i, end)) {
        why = "no end of central directory record";
        return false;
    }
    out.recordPosition = size - span + i;
    out.entries = end.totalEntries;
    out.centralSize = end.centralSize;
    out.centralOffset = end.centralOffset;
    if (!end.Masked() || out.recordPosition < kZip64LocatorSize) return true;
    uint8_t locatorBytes[kZip64LocatorSize];
    Zip64Locator locator;
    const uint64_t at = out.recordPosition - kZip64LocatorSize;
    if (!source.ReadAt(at, locatorBytes, sizeof locatorBytes) ||
        !ParseZip64Locator(locatorBytes, sizeof locatorBytes, locator))
        return true;  // plain values that happen to be all ones
    // The zip64 end record sits right before the locator; its declared offset is used only
    // when a stub has not shifted it.
    uint8_t record[kZip64EndSize];
    Zip64End end64;
    uint64_t recordAt = locator.endOffset;
    if (!source.ReadAt(recordAt, record, sizeof record) ||
        !ParseZip64End(record, sizeof record, end64)) {
        recordAt = at - kZip64EndSize;
        if (at < kZip64EndSize || !source.ReadAt(recordAt, record, sizeof record) ||
            !ParseZip64End(record, sizeof record, end64)) {
            why = "no end of central directory record";
            return false;
        }
    }
    out.entries = end64.totalEntries;
    out.centralSize = end64.centralSize;
    out.centralOffset = end64.centralOffset;
    out.recordPosition = recordAt;
    return true;
}

// Parses `count` central records from the buffer: true; false when they do not fit.
bool ParseCentralRecords(const std::vector<uint8_t>& buffer, uint64_t count,
                         std::vector<CentralEntry>& entries, std::string& why) {
    size_t at = 0;
    for (uint64_t n = 0; n < count; ++n) {
        CentralHeader h;
        if (!ParseCentral(buffer.data() + at, buffer.size() - at, h) ||
            h.RecordSize() > buffer.size() - at) {
            why = "central directory damaged at record " + std::to_string(n + 1);
            return false;
        }
        const uint8_t* p = buffer.data() + at;
        CentralEntry e;
        e.versionMadeBy = h.versionMadeBy;
        e.flags = h.flags;
        e.method = h.method;
        e.time = h.time;
        e.date = h.date;
        e.crc = h.crc;
        e.compressedSize = h.compressedSize;
        e.uncompressedSize = h.uncompressedSize;
        e.externalAttrs = h.externalAttrs;
        e.localOffset = h.localOffset;
        e.rawName.assign(reinterpret_cast<const char*>(p + kCentralSize), h.nameLength);
        const bool wantUsize = e.uncompressedSize == 0xFFFFFFFF;
        const bool wantCsize = e.compressedSize == 0xFFFFFFFF;
        const bool wantOffset = e.localOffset == 0xFFFFFFFF;
        // All ones without a zip64 field: the plain values stand.
        if (wantUsize || wantCsize || wantOffset)
            ApplyZip64Extra(p + kCentralSize + h.nameLength, h.extraLength, wantUsize, wantCsize,
                            wantOffset, e.uncompressedSize, e.compressedSize, e.localOffset);
        entries.push_back(std::move(e));
        at += h.RecordSize();
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
    // The directory ends where the end record (or its zip64 form) begins, as the component's
    // listing reads it: a directory declared elsewhere with other bytes in between is not
    // taken, so the engine never extracts entries the listing could not show. A difference to
    // the declared offset is a stub in front of the archive whose offsets were not adjusted;
    // it moves every local offset too (modulo 2^64: an offset moved below the start fails its
    // read).
    const uint64_t start = end.recordPosition - end.centralSize;
    uint8_t sig[4];
    if (end.entries > 0 && !(source.ReadAt(start, sig, 4) && zip::Get32(sig) == kCentralSig)) {
        why = "central directory not found";
        return false;
    }
    const uint64_t shift = start - end.centralOffset;
    std::vector<uint8_t> buffer(static_cast<size_t>(end.centralSize));
    if (!source.ReadAt(start, buffer.data(), buffer.size())) {
        why = "read error in the central directory";
        return false;
    }
    if (!ParseCentralRecords(buffer, end.entries, out.entries, why)) return false;
    for (CentralEntry& e : out.entries) e.localOffset += shift;
    out.centralStart = start;
    return true;
}

bool ReadLocalHeader(Source& source, const CentralEntry& entry, uint64_t& dataStart,
                     std::string& why) {
    uint8_t bytes[zip::kLocalSize];
    if (!source.ReadAt(entry.localOffset, bytes, sizeof bytes)) {
        why = "local header lies outside the archive";
        return false;
    }
    zip::LocalHeader header;
    if (!zip::ParseLocal(bytes, sizeof bytes, header)) {
        why = "no local header at the entry's offset";
        return false;
    }
    dataStart = entry.localOffset + header.RecordSize();
    if (dataStart > source.Size()) {
        why = "local header runs past the end of the archive";
        return false;
    }
    return true;
}

}  // namespace engine
