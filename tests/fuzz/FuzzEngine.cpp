// Runs the extraction engine on arbitrary archive bytes held in memory: every input must end in
// a result and the engine's messages, never a crash, a leak, undefined behaviour or a write
// past the block it was given. Each input is tested whole, then its first entry is extracted
// to memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/DelZip179.h"

extern "C" int32_t DZ_CALL DZ_UnzExec(UnzipCommand* command);

namespace {

// The largest block the fuzzer's callback hands out for an entry.
constexpr int64_t kMaxBlock = 1 << 24;

struct Run {
    std::vector<uint8_t> block;
};

int32_t DZ_CALL Callback(void* caller, CallbackRecord* record) {
    Run& run = *static_cast<Run*>(caller);
    switch (record->ActionReply & DZ_ACT_MASK) {
        case DZ_ACT_PASSWORD:
            std::strcpy(record->Data.Reply, "pw");
            record->ActionReply = DZ_REPLY_YES;
            break;
        case DZ_ACT_STREAM_SIZE: {
            const int64_t size = record->Data.In.Size;
            if (size >= 0 && size <= kMaxBlock) {
                run.block.assign(static_cast<size_t>(size), 0);
                record->Data.In.Second = run.block.data();
                record->ActionReply = DZ_REPLY_YES;
            } else {
                record->Data.In.Size = 0;
                record->ActionReply = DZ_REPLY_NO;
            }
            break;
        }
        default:
            break;
    }
    return DZ_CB_CONTINUE;
}

void Execute(const uint8_t* data, size_t size, bool toMemory) {
    Run run;
    run.block.resize(64);
    UnzipCommand c{};
    c.Caller = &run;
    c.Version = DZ_MIN_VERSION;
    c.Callback = &Callback;
    c.Fixed2C = 1;
    c.Fixed94 = 7;
    c.FromMemory = 1;
    c.InputBlock = data;
    c.InputSize = static_cast<uint32_t>(size);
    c.PasswordRequests = 2;
    if (toMemory) {
        c.ToMemory = 1;
        c.OutputBlock = run.block.data();
        c.OutputSize = static_cast<uint32_t>(run.block.size());
    } else {
        c.TestOnly = 1;
    }
    DZ_UnzExec(&c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Execute(data, size, false);
    Execute(data, size, true);
    return 0;
}
