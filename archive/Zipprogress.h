// Progress of an operation as the program sees it: the details object handed to
// OnProgressDetails, and the percentages derived from it.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

// What the last progress update was (the ProgrType parameter of OnProgress).
enum ProgressType : int32_t {
    ptItemStart = 0,
    ptItemUpdate = 1,
    ptBatchEnd = 2,
    ptTotalItems = 3,
    ptTotalSize = 4,
    ptStageStart = 5,
    ptStageUpdate = 6,
};

class TProgressDetails {
public:
    virtual ~TProgressDetails() = default;

    uint32_t TotalCount = 0;    // items announced for the batch
    std::string ItemName;       // the current item or stage
    uint32_t ItemNumber = 0;    // items started since the batch was announced
    uint32_t ItemPosition = 0;  // bytes done of the current item or stage
    uint32_t ItemSize = 0;      // size of the current item or stage
    int64_t TotalPosition = 0;  // bytes done of the batch
    int64_t TotalSize = 0;      // bytes announced for the batch
    int64_t BytesWritten = 0;   // bytes the engine has written (adding)
    ProgressType Kind = ptBatchEnd;

    // Percent of the current item; 0 while its size or position is 0. The arithmetic stays
    // within 32 bits: large items divide the size by 100 first.
    int32_t GetItemPerCent() const;
    // Percent of the batch in 64-bit arithmetic; 0 unless size and position are above 0.
    int64_t GetTotalPerCent() const;
};

// The core's details object, with the updates each report makes.
class TProgDetails : public TProgressDetails {
public:
    // Back to an empty batch.
    virtual void Reset();

    void ItemStarted(const std::string& name, int64_t size);  // start of an item
    void ItemAdvanced(int64_t count);                         // bytes done for the item
    void BatchEnded();
    void ItemsAnnounced(int64_t count);  // number of items of the batch
    void BytesAnnounced(int64_t size);   // number of bytes of the batch
    void StageStarted(const std::string& caption, int64_t size);
    void StageAdvanced(int64_t count);
};

}  // namespace archive
