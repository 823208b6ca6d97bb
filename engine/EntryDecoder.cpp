#include "engine/EntryDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "engine/StoredReader.h"

namespace engine {

namespace {

// The most inflate writes in one call, so each piece's CRC runs while its bytes are still in
// the cache, and the output buffer's size when there is no block.
constexpr size_t kPiece = 256 * 1024;
// Progress goes out in steps of at least this many bytes.
constexpr uint64_t kProgressStep = 1024 * 1024;

// Takes the content while keeping count, CRC, progress and the declared bound. Inflate writes
// where Room() says: into the block right after what is there, or into a buffer whose bytes
// then go to the sink. A block that is full while the stream goes on gets a spare buffer, so
// one byte too many shows as such and nothing is written past the block.
class Output {
public:
    Output(uint64_t declared, const ContentOutput& target, const ProgressFn& progress)
        : declared_(declared), target_(target), progress_(progress) {
        if (target_.block || target_.grow) {
            blockMode_ = true;
            block_ = target_.block;
            limit_ = block_ ? std::min(declared_, target_.capacity) : 0;
        } else {
            bufferSize_ = static_cast<size_t>(std::clamp<uint64_t>(declared_, 4096, kPiece));
            buffer_.reset(new uint8_t[bufferSize_]);
        }
    }

    // Where inflate may write next, and how much.
    uint8_t* Room(size_t& room) {
        if (blockMode_ && produced_ >= limit_ && produced_ < declared_) Grow(produced_ + 1);
        if (blockMode_ && produced_ < limit_) {
            room = static_cast<size_t>(std::min<uint64_t>(limit_ - produced_, kPiece));
            return block_ + produced_;
        }
        if (blockMode_) {
            room = sizeof spare_;
            return spare_;
        }
        room = bufferSize_;
        return buffer_.get();
    }

    // Takes the `count` bytes inflate wrote at `at`, a pointer Room() gave.
    DecodeResult Took(const uint8_t* at, size_t count) {
        if (count == 0) return DecodeResult::kOk;
        if (count > declared_ - produced_) return DecodeResult::kTooLong;
        if (at == spare_) return DecodeResult::kSinkFailed;  // within the size, past the block
        if (!blockMode_ && target_.sink && !target_.sink(at, count))
            return DecodeResult::kSinkFailed;
        return Count(at, count);
    }

    // Content that is already somewhere else (a stored entry's chunk).
    DecodeResult Put(const uint8_t* data, size_t count) {
        if (count == 0) return DecodeResult::kOk;
        if (count > declared_ - produced_) return DecodeResult::kTooLong;
        if (blockMode_) {
            if (count > limit_ - produced_ && !Grow(produced_ + count))
                return DecodeResult::kSinkFailed;
            std::copy(data, data + count, block_ + produced_);
        } else if (target_.sink && !target_.sink(data, count)) {
            return DecodeResult::kSinkFailed;
        }
        return Count(data, count);
    }

    // Reports the progress not yet reported.
    bool FlushProgress() {
        const uint64_t pending = pending_;
        pending_ = 0;
        return pending == 0 || !progress_ || progress_(pending);
    }

    uint64_t Produced() const { return produced_; }
    uint32_t Crc() const { return crc_; }

private:
    // A larger block for content that has arrived: at least `needed` bytes, doubling so that
    // a long entry costs few requests, never past the declared size.
    bool Grow(uint64_t needed) {
        if (!target_.grow) return false;
        const uint64_t wanted =
            std::min(declared_, std::max({needed, limit_ * 2, uint64_t(kPiece)}));
        uint8_t* block = nullptr;
        uint64_t capacity = 0;
        if (!target_.grow(wanted, block, capacity) || !block || capacity < needed) return false;
        block_ = block;
        limit_ = std::min(declared_, capacity);
        return true;
    }

    DecodeResult Count(const uint8_t* data, size_t count) {
        crc_ = static_cast<uint32_t>(crc32_z(crc_, data, count));
        produced_ += count;
        pending_ += count;
        if (pending_ >= kProgressStep && !FlushProgress()) return DecodeResult::kStopped;
        return DecodeResult::kOk;
    }

    uint64_t declared_;
    const ContentOutput& target_;
    const ProgressFn& progress_;
    bool blockMode_ = false;
    uint8_t* block_ = nullptr;
    uint64_t limit_ = 0;  // how far into the block inflate may write
    uint64_t produced_ = 0;
    uint64_t pending_ = 0;  // produced but not yet reported
    uint32_t crc_ = 0;
    size_t bufferSize_ = 0;
    std::unique_ptr<uint8_t[]> buffer_;
    uint8_t spare_[64];
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
    DecodeResult result = DecodeResult::kOk;
    for (;;) {
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
        size_t room;
        uint8_t* at = out.Room(room);
        z.next_out = at;
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
            result = DecodeResult::kDamaged;
            break;
        }
        result = out.Took(at, room - z.avail_out);
        if (result != DecodeResult::kOk || rc == Z_STREAM_END) break;
    }
    inflateEnd(&z);
    return result;
}

}  // namespace

DecodeResult DecodeEntry(Source& source, const CentralEntry& entry, uint64_t dataStart,
                         uint64_t storedSize, ZipKeys* keys, const ContentOutput& output,
                         const ProgressFn& progress, uint32_t& crc) {
    crc = 0;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        return DecodeResult::kUnsupported;
    // Stored data is the content itself: a size that disagrees is known before writing.
    if (entry.method == kMethodStored && storedSize != entry.uncompressedSize)
        return storedSize > entry.uncompressedSize ? DecodeResult::kTooLong
                                                   : DecodeResult::kTooShort;
    Output out(entry.uncompressedSize, output, progress);
    DecodeResult result;
    {
        // The reader, and any helper thread it runs, ends here on every path.
        const std::unique_ptr<StoredReader> in =
            MakeStoredReader(source, dataStart, storedSize, keys);
        result = entry.method == kMethodStored ? CopyStored(*in, out) : Inflate(*in, out);
    }
    crc = out.Crc();
    if (result == DecodeResult::kStopped) return result;
    if (!out.FlushProgress()) return DecodeResult::kStopped;
    if (result != DecodeResult::kOk) return result;
    if (out.Produced() != entry.uncompressedSize) return DecodeResult::kTooShort;
    if (crc != entry.crc) return DecodeResult::kCrcMismatch;
    return DecodeResult::kOk;
}

}  // namespace engine
