// Test-side access to the extraction engine: the module loaded by name at run time from the
// test program's folder (as the program loads it), a callback that records every action and
// answers as the test says, and a command filled the way the component fills it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/DelZip179.h"

namespace engine_test {

struct EngineExports {
    DZ_VersionFn version = nullptr;
    DZ_PrivVersionFn privVersion = nullptr;
    DZ_PathFn path = nullptr;
    DZ_UnzExecFn unzExec = nullptr;
    DZ_ZipExecFn zipExec = nullptr;
    DZ_AbortFn abort = nullptr;
    std::string error;  // why loading failed; "" when all six are bound
};

// Loads the module once; the exports stay bound for the test program's life.
const EngineExports& Engine();

// One callback as the engine made it.
struct Event {
    int32_t action = 0;
    int32_t number = 0;
    std::string name;
    int64_t size = 0;
    int32_t number2 = 0;
    int32_t age = 0;
};

class Recorder {
public:
    static int32_t DZ_CALL Callback(void* caller, CallbackRecord* record);

    std::vector<Event> events;
    // Answers to password requests in turn; none left: reply `noPasswordReply`.
    std::deque<std::string> passwords;
    int32_t noPasswordReply = DZ_REPLY_NO;
    std::optional<int32_t> overwriteReply;  // unset: no reply written, as without a handler
    std::optional<int32_t> crcReply;
    bool refuseResize = false;
    std::vector<uint8_t> block;  // the memory the engine writes to; resized by action 13
    // Called first for every action; a value it gives is the callback's result, and the
    // answers above are then left out.
    std::function<std::optional<int32_t>(CallbackRecord&)> hook;

    int Count(int32_t action) const;
    std::vector<Event> Of(int32_t action) const;
    // Messages with a non-zero error number, as "number: text" lines.
    std::string Errors() const;
    bool HasError(int32_t number) const;
};

// A command as the component fills it, with the buffers it points to.
struct Job {
    explicit Job(Recorder& recorder, const std::string& archive = "");
    UnzipCommand command = {};
    std::string archive;
    std::string password;
    std::string base;  // "" sends no base folder
    std::vector<std::string> patterns;
    std::vector<uint8_t> input;  // from memory when not empty
    bool toMemory = false;
    uint32_t outputSize = 0;
    size_t slack = 0;  // guard bytes (0xAA) after the output block
    int32_t dirNames = 0, overwrite = 0, freshen = 0, update = 0, testOnly = 0;
    int32_t passwordRequests = 1;
    Recorder& recorder;

    int32_t Run();

private:
    std::vector<FileSpecEntry> specEntries_;
    char baseBuffer_[261] = {};
};

// A fresh folder for a test (a Windows path); removed by RemoveTree.
std::string MakeTestFolder(const std::string& name);
void RemoveTree(const std::string& windowsPath);
// Whole files by Windows path.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path);
// Every file and folder below a folder, as relative paths with "/" (sorted).
std::vector<std::string> ListTree(const std::string& windowsPath);

}  // namespace engine_test
