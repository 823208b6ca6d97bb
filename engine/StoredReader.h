// Reading an entry's stored bytes in chunks, deciphered when the entry is encrypted.
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
// belong to the reader until it is destroyed.
std::unique_ptr<StoredReader> MakeStoredReader(Source& source, uint64_t start, uint64_t size,
                                               ZipKeys* keys);

}  // namespace engine
