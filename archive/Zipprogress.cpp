#include "archive/Zipprogress.h"

namespace archive {

namespace {

// Sizes and counts of items travel as 64-bit numbers but are kept in 32 bits.
uint32_t Low32(int64_t v) {
    return static_cast<uint32_t>(static_cast<uint64_t>(v));
}

}  // namespace

int32_t TProgressDetails::GetItemPerCent() const {
    if (ItemSize == 0 || ItemPosition == 0) return 0;
    // Below this size the product position * 100 cannot leave 32 bits.
    if (ItemSize < 214748) return static_cast<int32_t>(ItemPosition * 100u / ItemSize);
    return static_cast<int32_t>(ItemPosition / (ItemSize / 100u));
}

int64_t TProgressDetails::GetTotalPerCent() const {
    if (TotalSize <= 0 || TotalPosition <= 0) return 0;
    // Positions beyond 2^56 would overflow the product; the batch sizes of a zip never do, but
    // a hostile count must not turn into a negative percentage.
    if (TotalPosition > INT64_MAX / 100)
        return TotalPosition / (TotalSize / 100 ? TotalSize / 100 : 1);
    return 100 * TotalPosition / TotalSize;
}

void TProgDetails::Reset() {
    Kind = ptBatchEnd;
    TotalCount = 0;
    BytesWritten = 0;
    TotalSize = 0;
    TotalPosition = 0;
    ItemSize = 0;
    ItemPosition = 0;
    ItemName.clear();
    ItemNumber = 0;
}

void TProgDetails::ItemStarted(const std::string& name, int64_t size) {
    ++ItemNumber;
    ItemName = name;
    ItemSize = Low32(size);
    ItemPosition = 0;
    Kind = ptItemStart;
}

void TProgDetails::ItemAdvanced(int64_t count) {
    const uint32_t n = Low32(count);
    TotalPosition += n;
    ItemPosition += n;
    Kind = ptItemUpdate;
}

void TProgDetails::BatchEnded() {
    ItemName.clear();
    ItemSize = 0;
    Kind = ptBatchEnd;
}

void TProgDetails::ItemsAnnounced(int64_t count) {
    Reset();
    TotalCount = Low32(count);
    ItemNumber = 0;
    Kind = ptTotalItems;
}

void TProgDetails::BytesAnnounced(int64_t size) {
    TotalSize = size;
    TotalPosition = 0;
    ItemName.clear();
    ItemSize = 0;
    ItemPosition = 0;
    BytesWritten = 0;
    Kind = ptTotalSize;
}

void TProgDetails::StageStarted(const std::string& caption, int64_t size) {
    ItemName = caption;
    ItemSize = Low32(size);
    ItemPosition = 0;
    Kind = ptStageStart;
}

void TProgDetails::StageAdvanced(int64_t count) {
    ItemPosition += Low32(count);
    Kind = ptStageUpdate;
}

}  // namespace archive
