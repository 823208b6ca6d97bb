// Reading an entry's stored bytes in chunks, deciphered when the entry is encrypted.
//
// Deciphering is a serial chain of steps per byte and costs more than inflating, so for a large
// encrypted entry a helper thread reads and deciphers ahead while the calling thread inflates:
// the helper fills a few chunk buffers in turn and waits whenever all are full. The helper only
// touches the source, the keys and those buffers; everything else, every engine callback
// included, stays on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/ArchiveReader.h"
#include "engine/ZipCrypto.h"

namespace engine {

class StoredReader {
public:
    virtual ~StoredReader() = default;
    // The stored bytes not yet handed out.
    virtual uint64_t Left() const = 0;
    // The next chunk: true with its bytes, valid until the next call or the reader's end;
    // false on a read error. Not called once Left() is 0.
    virtual bool Next(const uint8_t*& data, size_t& count) = 0;
};

// A reader of `size` bytes at `start`, deciphered with `keys` when they are given. The keys
// belong to the reader until it is destroyed; destroying it stops and joins any helper thread,
// whatever state the reading is in.
std::unique_ptr<StoredReader> MakeStoredReader(Source& source, uint64_t start, uint64_t size,
                                               ZipKeys* keys);

}  // namespace engine
