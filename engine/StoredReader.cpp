#include "engine/StoredReader.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace engine {

namespace {

// Chunks read on the calling thread: large enough that reads and calls are few.
constexpr size_t kChunk = 256 * 1024;

// Chunks the helper thread deciphers ahead: small enough that inflating starts soon and the
// last chunk, inflated after deciphering ends, is short work; eight of them (1 MB) keep the
// helper busy through the inflater's slower stretches.
constexpr size_t kAheadChunk = 128 * 1024;
constexpr size_t kAheadChunks = 8;
// Below this, starting a thread costs more than the overlap gains.
constexpr uint64_t kAheadThreshold = 4 * kAheadChunk;

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

// The helper thread fills the chunks in turn (chunk n goes into slot n % kAheadChunks) and may
// run up to kAheadChunks ahead of the chunks the calling thread has given back. A chunk handed
// out by Next() is given back by the following Next(), so its bytes stay put while inflate
// reads them. The counters and the stop flag are guarded by the lock; a slot's bytes belong
// to the helper until the counter says it is filled, then to the calling thread until given
// back.
class AheadReader : public StoredReader {
public:
    AheadReader(Source& source, uint64_t start, uint64_t size, ZipKeys* keys)
        : source_(source), position_(start), toRead_(size), keys_(keys), left_(size) {
        for (Slot& slot : slots_) slot.bytes.reset(new uint8_t[kAheadChunk]);
        // Last: once the thread runs, every member it uses is in place.
        helper_ = std::thread(&AheadReader::Run, this);
    }
    ~AheadReader() override {
        {
            std::lock_guard<std::mutex> lock(lock_);
            stop_ = true;
        }
        freed_.notify_one();
        helper_.join();
    }
    uint64_t Left() const override { return left_; }
    bool Next(const uint8_t*& data, size_t& count) override {
        {
            std::unique_lock<std::mutex> lock(lock_);
            if (given_ != taken_) {
                given_ = taken_;
                freed_.notify_one();
            }
            filled_.wait(lock, [this] { return filledCount_ > taken_ || broken_; });
            if (filledCount_ <= taken_) return false;
        }
        const Slot& slot = slots_[taken_ % kAheadChunks];
        ++taken_;
        if (slot.failed) return false;
        data = slot.bytes.get();
        count = slot.count;
        left_ -= count;
        return true;
    }

private:
    struct Slot {
        std::unique_ptr<uint8_t[]> bytes;
        size_t count = 0;
        bool failed = false;
    };

    void Run() {
        try {
            for (size_t n = 0; toRead_ > 0; ++n) {
                {
                    std::unique_lock<std::mutex> lock(lock_);
                    freed_.wait(lock, [&] { return stop_ || n - given_ < kAheadChunks; });
                    if (stop_) return;
                }
                Slot& slot = slots_[n % kAheadChunks];
                slot.count = static_cast<size_t>(std::min<uint64_t>(toRead_, kAheadChunk));
                slot.failed = !source_.ReadAt(position_, slot.bytes.get(), slot.count);
                if (!slot.failed && keys_) keys_->Decrypt(slot.bytes.get(), slot.count);
                position_ += slot.count;
                toRead_ -= slot.count;
                {
                    std::lock_guard<std::mutex> lock(lock_);
                    filledCount_ = n + 1;
                }
                filled_.notify_one();
                if (slot.failed) return;
            }
        } catch (...) {
            // Nothing may leave the thread; the calling thread sees a read error.
            {
                std::lock_guard<std::mutex> lock(lock_);
                broken_ = true;
            }
            filled_.notify_one();
        }
    }

    // The helper's alone while it runs.
    Source& source_;
    uint64_t position_;
    uint64_t toRead_;
    ZipKeys* keys_;
    // The calling thread's alone.
    uint64_t left_;
    size_t taken_ = 0;  // chunks handed out by Next()

    Slot slots_[kAheadChunks];
    std::mutex lock_;
    std::condition_variable filled_;  // the helper filled a chunk or gave up
    std::condition_variable freed_;   // the calling thread gave a chunk back or stopped
    size_t filledCount_ = 0;          // chunks the helper filled
    size_t given_ = 0;                // chunks the calling thread gave back
    bool broken_ = false;
    bool stop_ = false;
    std::thread helper_;
};

}  // namespace

std::unique_ptr<StoredReader> MakeStoredReader(Source& source, uint64_t start, uint64_t size,
                                               ZipKeys* keys) {
    if (keys && size >= kAheadThreshold) {
        try {
            return std::make_unique<AheadReader>(source, start, size, keys);
        } catch (const std::system_error&) {
            // No thread to be had: read on this one.
        }
    }
    return std::make_unique<InlineReader>(source, start, size, keys);
}

}  // namespace engine
