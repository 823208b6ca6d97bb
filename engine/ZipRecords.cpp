#include "engine/ZipRecords.h"

#include <algorithm>

namespace engine::zip {

bool ParseEnd(const uint8_t* p, size_t size, EndRecord& out) {
    if (!p || size < kEndSize || Get32(p) != kEndSig) return false;
    out.thisDisk = Get16(p + end::kThisDisk);
    out.centralDisk = Get16(p + end::kCentralDisk);
    out.entriesHere = Get16(p + end::kEntriesHere);
    out.totalEntries = Get16(p + end::kTotalEntries);
    out.centralSize = Get32(p + end::kCentralSize);
    out.centralOffset = Get32(p + end::kCentralOffset);
    out.commentLength = Get16(p + end::kCommentLength);
    return true;
}

bool ParseCentral(const uint8_t* p, size_t size, CentralHeader& out) {
    if (!p || size < kCentralSize || Get32(p) != kCentralSig) return false;
    out.versionMadeBy = Get16(p + central::kVersionMadeBy);
    out.versionNeeded = Get16(p + central::kVersionNeeded);
    out.flags = Get16(p + central::kFlags);
    out.method = Get16(p + central::kMethod);
    out.time = Get16(p + central::kTime);
    out.date = Get16(p + central::kDate);
    out.crc = Get32(p + central::kCrc);
    out.compressedSize = Get32(p + central::kCompressedSize);
    out.uncompressedSize = Get32(p + central::kUncompressedSize);
    out.nameLength = Get16(p + central::kNameLength);
    out.extraLength = Get16(p + central::kExtraLength);
    out.commentLength = Get16(p + central::kCommentLength);
    out.startDisk = Get16(p + central::kStartDisk);
    out.internalAttrs = Get16(p + central::kInternalAttrs);
    out.externalAttrs = Get32(p + central::kExternalAttrs);
    out.localOffset = Get32(p + central::kLocalOffset);
    return true;
}

bool ParseLocal(const uint8_t* p, size_t size, LocalHeader& out) {
    if (!p || size < kLocalSize || Get32(p) != kLocalSig) return false;
    out.versionNeeded = Get16(p + local::kVersionNeeded);
    out.flags = Get16(p + local::kFlags);
    out.method = Get16(p + local::kMethod);
    out.time = Get16(p + local::kTime);
    out.date = Get16(p + local::kDate);
    out.crc = Get32(p + local::kCrc);
    out.compressedSize = Get32(p + local::kCompressedSize);
    out.uncompressedSize = Get32(p + local::kUncompressedSize);
    out.nameLength = Get16(p + local::kNameLength);
    out.extraLength = Get16(p + local::kExtraLength);
    return true;
}

bool ParseZip64Locator(const uint8_t* p, size_t size, Zip64Locator& out) {
    if (!p || size < kZip64LocatorSize || Get32(p) != kZip64LocatorSig) return false;
    out.endDisk = Get32(p + zip64locator::kEndDisk);
    out.endOffset = Get64(p + zip64locator::kEndOffset);
    out.disks = Get32(p + zip64locator::kDisks);
    return true;
}

bool ParseZip64End(const uint8_t* p, size_t size, Zip64End& out) {
    if (!p || size < kZip64EndSize || Get32(p) != kZip64EndSig) return false;
    out.totalEntries = Get64(p + zip64end::kTotalEntries);
    out.centralSize = Get64(p + zip64end::kCentralSize);
    out.centralOffset = Get64(p + zip64end::kCentralOffset);
    return true;
}

size_t FindEnd(const uint8_t* tail, size_t size) {
    if (!tail || size < kEndSize) return kNoEnd;
    for (size_t at = size - kEndSize + 1; at-- > 0;) {
        const uint8_t* p = tail + at;
        if (Get32(p) != kEndSig) continue;
        if (Get16(p + end::kCommentLength) <= size - at - kEndSize) return at;
    }
    return kNoEnd;
}

void ApplyZip64Extra(const uint8_t* extra, size_t length, bool wantUncompressed,
                     bool wantCompressed, bool wantOffset, uint64_t& uncompressed,
                     uint64_t& compressed, uint64_t& offset) {
    if (!extra) return;
    size_t i = 0;
    while (length >= 4 && i <= length - 4) {
        const uint16_t id = Get16(extra + i);
        const size_t fieldSize = Get16(extra + i + 2);
        if (fieldSize > length - i - 4) return;
        if (id == kZip64ExtraId) {
            const uint8_t* p = extra + i + 4;
            size_t left = fieldSize;
            const auto take = [&](uint64_t& value) {
                if (left < 8) return false;
                value = Get64(p);
                p += 8;
                left -= 8;
                return true;
            };
            if (wantUncompressed && !take(uncompressed)) return;
            if (wantCompressed && !take(compressed)) return;
            if (wantOffset) take(offset);
            return;
        }
        i += 4 + fieldSize;
    }
}

uint64_t ContentBound(uint16_t method, uint64_t declaredPacked, uint64_t declaredUnpacked,
                      uint64_t available) {
    const uint64_t stored = std::min(declaredPacked, available);
    if (method == kMethodStored) return std::min(declaredUnpacked, stored);
    // The product stays far below 2^64: a stored size within any file times 1032.
    const uint64_t most =
        stored > UINT64_MAX / kDeflateMaxRatio ? UINT64_MAX : stored * kDeflateMaxRatio;
    return std::min(declaredUnpacked, most);
}

}  // namespace engine::zip
