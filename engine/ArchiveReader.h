// Reading a zip archive's structure: the end record, the central directory and the local
// headers, from a file or from a block of memory. Every offset and length the archive declares
// is checked against the archive's real size before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ZipRecords.h"

namespace engine {

// Where the archive's bytes come from.
class Source {
public:
    virtual ~Source() = default;
    // The archive's size in bytes.
    virtual uint64_t Size() const = 0;
    // Reads exactly `count` bytes at `offset`: true; false past the end or on a read error.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

// The archive file at a Windows path, opened for reading (others may read it meanwhile); null
// when it cannot be opened.
std::unique_ptr<Source> OpenFileSource(const std::string& path);

// A block of memory the caller keeps alive.
std::unique_ptr<Source> MemorySource(const void* data, uint64_t size);

// General purpose flag bits.
enum : uint16_t {
    kFlagEncrypted = 0x0001,
    kFlagDescriptor = 0x0008,
    kFlagStrongEncryption = 0x0040,
    kFlagUtf8 = 0x0800,
};

using zip::kMethodDeflated;
using zip::kMethodStored;

// One central-directory record, with zip64 values already applied and the local offset moved
// by any bytes in front of the archive (a program stub).
struct CentralEntry {
    std::string rawName;  // the stored bytes
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint32_t externalAttrs = 0;
    uint64_t localOffset = 0;  // from the start of the source

    bool Encrypted() const { return (flags & kFlagEncrypted) != 0; }
    uint32_t DosDateTime() const { return (static_cast<uint32_t>(date) << 16) | time; }
    uint8_t Host() const { return static_cast<uint8_t>(versionMadeBy >> 8); }
};

struct Directory {
    std::vector<CentralEntry> entries;
    uint64_t centralStart = 0;  // where the central directory really starts
};

// Finds the end record and reads the central directory: true; false with a reason in `why`
// when the source is no zip archive or its directory is damaged.
bool ReadDirectory(Source& source, Directory& out, std::string& why);

// Reads the local header of an entry: true and where its data starts; false with a reason when
// there is no valid local header at the entry's offset.
bool ReadLocalHeader(Source& source, const CentralEntry& entry, uint64_t& dataStart,
                     std::string& why);

}  // namespace engine
