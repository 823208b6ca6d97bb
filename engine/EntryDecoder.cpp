#include "engine/EntryDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace engine {

namespace {

constexpr size_t kChunk = 64 * 1024;

// Reads the stored bytes chunk by chunk, deciphering them when the entry is encrypted.
class StoredReader {
public:
    StoredReader(Source& source, uint64_t start, uint64_t size, ZipKeys* keys)
        : source_(source), position_(start), left_(size), keys_(keys), buffer_(kChunk) {}
    uint64_t Left() const { return left_; }
    // The next chunk: true with its bytes; false on a read error.
    bool Next(const uint8_t*& data, size_t& count) {
        count = static_cast<size_t>(std::min<uint64_t>(left_, buffer_.size()));
        if (!source_.ReadAt(position_, buffer_.data(), count)) return false;
        if (keys_) keys_->Decrypt(buffer_.data(), count);
        position_ += count;
        left_ -= count;
        data = buffer_.data();
        return true;
    }

private:
    Source& source_;
    uint64_t position_;
    uint64_t left_;
    ZipKeys* keys_;
    std::vector<uint8_t> buffer_;
};

// Hands content to the sink while keeping count, CRC and the declared bound.
class Output {
public:
    Output(uint64_t declared, const ContentSink& sink, const ProgressFn& progress)
        : declared_(declared), sink_(sink), progress_(progress) {}
    DecodeResult Put(const uint8_t* data, size_t count) {
        if (count == 0) return DecodeResult::kOk;
        if (count > declared_ - produced_) return DecodeResult::kTooLong;
        crc_ = static_cast<uint32_t>(crc32(crc_, data, static_cast<uInt>(count)));
        produced_ += count;
        if (!sink_(data, count)) return DecodeResult::kSinkFailed;
        if (progress_ && !progress_(count)) return DecodeResult::kStopped;
        return DecodeResult::kOk;
    }
    uint64_t Produced() const { return produced_; }
    uint32_t Crc() const { return crc_; }

private:
    uint64_t declared_;
    uint64_t produced_ = 0;
    uint32_t crc_ = 0;
    const ContentSink& sink_;
    const ProgressFn& progress_;
};

DecodeResult CopyStored(StoredReader& in, Output& out) {
    while (in.Left() > 0) {
        const uint8_t* data;
        size_t count;
        if (!in.Next(data, count)) return DecodeResult::kReadError;
        const DecodeResult r = out.Put(data, count);
        if (r != DecodeResult::kOk) return r;
    }
    return DecodeResult::kOk;
}

DecodeResult Inflate(StoredReader& in, Output& out) {
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return DecodeResult::kSinkFailed;
    std::vector<uint8_t> buffer(kChunk);
    DecodeResult result = DecodeResult::kOk;
    bool ended = false;
    while (!ended && result == DecodeResult::kOk) {
        if (z.avail_in == 0) {
            if (in.Left() == 0) {
                result = DecodeResult::kDamaged;  // the stream needs more than is stored
                break;
            }
            const uint8_t* data;
            size_t count;
            if (!in.Next(data, count)) {
                result = DecodeResult::kReadError;
                break;
            }
            z.next_in = const_cast<Bytef*>(data);
            z.avail_in = static_cast<uInt>(count);
        }
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            ended = true;
        } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
            result = DecodeResult::kDamaged;
            break;
        }
        result = out.Put(buffer.data(), buffer.size() - z.avail_out);
    }
    inflateEnd(&z);
    return result;
}

}  // namespace

DecodeResult DecodeEntry(Source& source, const CentralEntry& entry, uint64_t dataStart,
                         uint64_t storedSize, ZipKeys* keys, const ContentSink& sink,
                         const ProgressFn& progress, uint32_t& crc) {
    StoredReader in(source, dataStart, storedSize, keys);
    Output out(entry.uncompressedSize, sink, progress);
    DecodeResult result;
    if (entry.method == kMethodStored) {
        // Stored data is the content itself: a size that disagrees is known before writing.
        if (storedSize != entry.uncompressedSize)
            return storedSize > entry.uncompressedSize ? DecodeResult::kTooLong
                                                       : DecodeResult::kTooShort;
        result = CopyStored(in, out);
    } else if (entry.method == kMethodDeflated) {
        result = Inflate(in, out);
    } else {
        return DecodeResult::kUnsupported;
    }
    crc = out.Crc();
    if (result != DecodeResult::kOk) return result;
    if (out.Produced() != entry.uncompressedSize) return DecodeResult::kTooShort;
    if (crc != entry.crc) return DecodeResult::kCrcMismatch;
    return DecodeResult::kOk;
}

}  // namespace engine
