// The zip record unit on arbitrary bytes: the end-record search, every parser and the zip64
// extra field must stay within the bytes given, whatever they hold.
#include <cstddef>
#include <cstdint>

#include "engine/ZipRecords.h"

namespace zip = engine::zip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint64_t seen = 0;
    const size_t at = zip::FindEnd(data, size);
    zip::EndRecord end;
    if (at != zip::kNoEnd && zip::ParseEnd(data + at, size - at, end)) {
        seen += end.totalEntries + end.commentLength;
        // The rule keeps the comment inside the bytes given.
        if (end.commentLength > size - at - zip::kEndSize) __builtin_trap();
        zip::Zip64Locator locator;
        if (at >= zip::kZip64LocatorSize &&
            zip::ParseZip64Locator(data + at - zip::kZip64LocatorSize, zip::kZip64LocatorSize,
                                   locator))
            seen += locator.endOffset;
    }
    // Central headers one after the other from the start, as a directory is read.
    for (size_t pos = 0; pos < size;) {
        zip::CentralHeader h;
        if (!zip::ParseCentral(data + pos, size - pos, h) || h.RecordSize() > size - pos) break;
        uint64_t u = h.uncompressedSize, c = h.compressedSize, o = h.localOffset;
        zip::ApplyZip64Extra(data + pos + zip::kCentralSize + h.nameLength, h.extraLength, true,
                             true, true, u, c, o);
        seen += zip::ContentBound(h.method, c, u, size);
        pos += h.RecordSize();
    }
    zip::LocalHeader local;
    if (zip::ParseLocal(data, size, local)) seen += local.RecordSize();
    zip::Zip64End end64;
    if (zip::ParseZip64End(data, size, end64)) seen += end64.totalEntries;
    return seen == UINT64_MAX ? 1 : 0;
}
