#include "engine/StoredReader.h"

#include <algorithm>

namespace engine {

namespace {

// Large enough that reads and calls are few.
constexpr size_t kChunk = 256 * 1024;

class InlineReader : public StoredReader {
public:
    InlineReader(Source& source, uint64_t start, uint64_t size, ZipKeys* keys)
        : source_(source),
          position_(start),
          left_(size),
          keys_(keys),
          capacity_(static_cast<size_t>(std::clamp<uint64_t>(size, 1, kChunk))),
          buffer_(new uint8_t[capacity_]) {}
    uint64_t Left() const override { return left_; }
    bool Next(const uint8_t*& data, size_t& count) override {
        count = static_cast<size_t>(std::min<uint64_t>(left_, capacity_));
        if (!source_.ReadAt(position_, buffer_.get(), count)) return false;
        if (keys_) keys_->Decrypt(buffer_.get(), count);
        position_ += count;
        left_ -= count;
        data = buffer_.get();
        return true;
    }

private:
    Source& source_;
    uint64_t position_;
    uint64_t left_;
    ZipKeys* keys_;
    size_t capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace

std::unique_ptr<StoredReader> MakeStoredReader(Source& source, uint64_t start, uint64_t size,
                                               ZipKeys* keys) {
    return std::make_unique<InlineReader>(source, start, size, keys);
}

}  // namespace engine
