// Turning one entry's stored bytes into its content: decrypting, inflating or copying, with
// the output bounded by the size the directory declares and its CRC computed on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/ArchiveReader.h"
#include "engine/ZipCrypto.h"

namespace engine {

// Receives the content piece by piece: false stops the decoding (a write error).
using ContentSink = std::function<bool(const uint8_t* data, size_t count)>;

// Told the bytes produced since its last call: false stops the decoding (cancelled). Called
// every megabyte or so and once at the end, always on the decoding thread.
using ProgressFn = std::function<bool(uint64_t bytes)>;

// Asked for a block of at least `wanted` bytes that starts with the content so far: true with
// the new block and its capacity; false when there is none (the decoding fails as kSinkFailed).
using BlockGrower = std::function<bool(uint64_t wanted, uint8_t*& block, uint64_t& capacity)>;

// Where the content goes. With a block (or a grower) the content is inflated straight into it,
// from its start, and never past `capacity` bytes: content that needs more asks the grower,
// only once it has arrived, and fails as kSinkFailed without one; without a block every piece
// goes to the sink, and without a sink either it is only counted.
struct ContentOutput {
    uint8_t* block = nullptr;
    uint64_t capacity = 0;
    BlockGrower grow;
    ContentSink sink;
};

enum class DecodeResult {
    kOk,
    kReadError,    // the stored data cannot be read
    kDamaged,      // the compressed data is invalid or ends early
    kTooLong,      // the content exceeds the declared size
    kTooShort,     // the content is shorter than declared
    kCrcMismatch,  // the content is complete but its CRC differs (found in `crc`)
    kSinkFailed,   // the sink refused a piece, or the block is too small
    kStopped,      // progress asked to stop
    kUnsupported,  // a method other than stored or deflated
};

// Decodes the entry whose data (after any encryption header) starts at `dataStart` and is
// `storedSize` bytes long. `keys` is null for an entry that is not encrypted. The output never
// receives more than the entry's declared uncompressed size.
DecodeResult DecodeEntry(Source& source, const CentralEntry& entry, uint64_t dataStart,
                         uint64_t storedSize, ZipKeys* keys, const ContentOutput& output,
                         const ProgressFn& progress, uint32_t& crc);

}  // namespace engine
