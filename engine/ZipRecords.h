// The records of a zip archive in the PKWARE layout: their signatures, sizes and field offsets,
// named once, and parsed into structs with their bounds checked. Compiled into the archive
// component and into the engine, so the directory listing, the part joining, the quick probe
// and the engine read the records, and find the end record, by one rule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::zip {

// Little-endian fields.
inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Signatures.
constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
// In front of the first part of a split set ("PK" 7 8, the data descriptor's signature).
constexpr uint32_t kSpanMarkerSig = 0x08074B50;

// Sizes of the fixed parts of the records.
constexpr size_t kLocalSize = 30;
constexpr size_t kCentralSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
// The longest comment, and so the farthest from the end of the file an end record can start.
constexpr size_t kLongestComment = 0xFFFF;
constexpr size_t kEndSearch = kEndSize + kLongestComment;

// Field offsets from the start of each record (its signature).
namespace local {
constexpr size_t kVersionNeeded = 4, kFlags = 6, kMethod = 8, kTime = 10, kDate = 12, kCrc = 14,
                 kCompressedSize = 18, kUncompressedSize = 22, kNameLength = 26,
                 kExtraLength = 28;
}
namespace central {
// Version made by: the format version in its low byte (offset 4), the host in its high (5).
constexpr size_t kVersionMadeBy = 4, kVersionNeeded = 6, kFlags = 8, kMethod = 10, kTime = 12,
                 kDate = 14, kCrc = 16, kCompressedSize = 20, kUncompressedSize = 24,
                 kNameLength = 28, kExtraLength = 30, kCommentLength = 32, kStartDisk = 34,
                 kInternalAttrs = 36, kExternalAttrs = 38, kLocalOffset = 42;
}
namespace end {
constexpr size_t kThisDisk = 4, kCentralDisk = 6, kEntriesHere = 8, kTotalEntries = 10,
                 kCentralSize = 12, kCentralOffset = 16, kCommentLength = 20;
}
namespace zip64end {
constexpr size_t kTotalEntries = 32, kCentralSize = 40, kCentralOffset = 48;
}
namespace zip64locator {
constexpr size_t kEndDisk = 4, kEndOffset = 8, kDisks = 16;
}

// The extra field that holds a header's 64-bit sizes and offset.
constexpr uint16_t kZip64ExtraId = 1;

// Compression methods.
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

// Deflate's largest expansion: a 258-byte match from about two bits of stored data.
constexpr uint64_t kDeflateMaxRatio = 1032;

struct EndRecord {
    uint16_t thisDisk = 0;
    uint16_t centralDisk = 0;
    uint16_t entriesHere = 0;
    uint16_t totalEntries = 0;
    uint32_t centralSize = 0;
    uint32_t centralOffset = 0;
    uint16_t commentLength = 0;

    // Some value is all ones: the real ones may be in the zip64 end record.
    bool Masked() const {
        return totalEntries == 0xFFFF || centralSize == 0xFFFFFFFF || centralOffset == 0xFFFFFFFF;
    }
};

struct CentralHeader {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t startDisk = 0;
    uint16_t internalAttrs = 0;
    uint32_t externalAttrs = 0;
    uint32_t localOffset = 0;

    uint8_t SpecVersion() const { return static_cast<uint8_t>(versionMadeBy); }
    uint8_t Host() const { return static_cast<uint8_t>(versionMadeBy >> 8); }
    // The whole record: fixed part, name, extra field and comment.
    size_t RecordSize() const {
        return kCentralSize + size_t{nameLength} + extraLength + commentLength;
    }
};

struct LocalHeader {
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;

    // From the header's start to its entry's data.
    size_t RecordSize() const { return kLocalSize + size_t{nameLength} + extraLength; }
};

struct Zip64Locator {
    uint32_t endDisk = 0;
    uint64_t endOffset = 0;
    uint32_t disks = 0;
};

struct Zip64End {
    uint64_t totalEntries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;
};

// Each parser: true with the fields when the `size` bytes at `p` hold the record's fixed part
// and begin with its signature; false otherwise. None reads past `size`.
bool ParseEnd(const uint8_t* p, size_t size, EndRecord& out);
bool ParseCentral(const uint8_t* p, size_t size, CentralHeader& out);
bool ParseLocal(const uint8_t* p, size_t size, LocalHeader& out);
bool ParseZip64Locator(const uint8_t* p, size_t size, Zip64Locator& out);
bool ParseZip64End(const uint8_t* p, size_t size, Zip64End& out);

// The end record rule. In `tail`, the last `size` bytes of an archive, the end record is the
// one nearest the end whose comment fits in the bytes that follow it: bytes after the comment
// are allowed (some writers pad), but a record whose comment would run past the end of the file
// is none (it is a signature inside the comment of the real one, or the file is cut short).
// Returns its position in `tail`, or kNoEnd.
constexpr size_t kNoEnd = SIZE_MAX;
size_t FindEnd(const uint8_t* tail, size_t size);

// The 64-bit values of a central header's zip64 extra field (id 1), present in this order for
// the header fields that are all ones: uncompressed size, compressed size, local offset. Each
// wanted value found replaces the one given; a field too short, or none, leaves the rest.
void ApplyZip64Extra(const uint8_t* extra, size_t length, bool wantUncompressed,
                     bool wantCompressed, bool wantOffset, uint64_t& uncompressed,
                     uint64_t& compressed, uint64_t& offset);

// The most content an entry can really produce: its stored bytes are at most `available` (what
// lies between its data and the central directory or the end of the file) and at most what
// the directory declares; a stored entry yields them, a deflated one at most kDeflateMaxRatio
// times them; and never more than the declared content size.
uint64_t ContentBound(uint16_t method, uint64_t declaredPacked, uint64_t declaredUnpacked,
                      uint64_t available);

}  // namespace engine::zip
