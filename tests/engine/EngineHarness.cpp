#include "tests/engine/EngineHarness.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"

namespace engine_test {

int32_t DZ_CALL Recorder::Callback(void* caller, CallbackRecord* record) {
    Recorder& self = *static_cast<Recorder*>(caller);
    Event e;
    e.action = record->ActionReply & DZ_ACT_MASK;
    e.number = record->Number;
    if (record->Name) e.name = record->Name;
    e.size = record->Data.In.Size;
    e.number2 = record->Data.In.Number2;
    e.age = record->Data.In.Age;
    self.events.push_back(e);
    if (self.hook)
        if (const std::optional<int32_t> rc = self.hook(*record)) return *rc;
    switch (e.action) {
        case DZ_ACT_PASSWORD:
            if (self.passwords.empty()) {
                record->ActionReply = self.noPasswordReply;
            } else {
                const std::string answer = self.passwords.front();
                self.passwords.pop_front();
                std::memset(record->Data.Reply, 0, sizeof record->Data.Reply);
                std::memcpy(record->Data.Reply, answer.data(),
                            std::min<size_t>(answer.size(), sizeof record->Data.Reply - 1));
                record->ActionReply = DZ_REPLY_YES;
            }
            break;
        case DZ_ACT_OVERWRITE:
            if (self.overwriteReply) record->ActionReply = *self.overwriteReply;
            break;
        case DZ_ACT_CRC_ERROR:
            if (self.crcReply) record->ActionReply = *self.crcReply;
            break;
        case DZ_ACT_STREAM_SIZE:
            if (self.refuseResize) {
                record->ActionReply = DZ_REPLY_NO;
                record->Data.In.Size = 0;
            } else {
                // As a memory stream does: what the block holds stays.
                self.block.resize(static_cast<size_t>(record->Data.In.Size), 0);
                record->Data.In.Second = self.block.data();
                record->ActionReply = DZ_REPLY_YES;
            }
            break;
        default:
            break;
    }
    return DZ_CB_CONTINUE;
}

int Recorder::Count(int32_t action) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const Event& e) { return e.action == action; }));
}

std::vector<Event> Recorder::Of(int32_t action) const {
    std::vector<Event> out;
    for (const Event& e : events)
        if (e.action == action) out.push_back(e);
    return out;
}

std::string Recorder::Errors() const {
    std::string out;
    for (const Event& e : Of(DZ_ACT_MESSAGE))
        if (e.number != 0) out += std::to_string(e.number) + ": " + e.name + "\n";
    return out;
}

bool Recorder::HasError(int32_t number) const {
    for (const Event& e : Of(DZ_ACT_MESSAGE))
        if (e.number == number) return true;
    return false;
}

Job::Job(Recorder& r, const std::string& archivePath) : archive(archivePath), recorder(r) {}

int32_t Job::Run() {
    // Filled as the component fills it: zero first, then the fields it sets.
    command = {};
    command.Caller = &recorder;
    command.Version = DZ_MIN_VERSION;
    command.Callback = &Recorder::Callback;
    command.Password = password.c_str();
    command.Fixed2C = 1;
    command.ArchiveName = archive.c_str();
    command.PasswordRequests = passwordRequests;
    command.DirNames = dirNames;
    command.Overwrite = overwrite;
    command.Freshen = freshen;
    command.Update = update;
    command.TestOnly = testOnly;
    command.Fixed94 = 7;
    specEntries_.assign(patterns.size(), FileSpecEntry{});
    for (size_t i = 0; i < patterns.size(); ++i) specEntries_[i].FileSpec = patterns[i].c_str();
    command.FileSpecs = specEntries_.data();
    command.SpecCount = static_cast<int32_t>(patterns.size());
    if (!base.empty()) {
        std::memset(baseBuffer_, 0, sizeof baseBuffer_);
        std::memcpy(baseBuffer_, base.data(), std::min<size_t>(base.size(), 260));
        command.BaseDir = baseBuffer_;
    }
    if (!input.empty()) {
        command.FromMemory = 1;
        command.InputBlock = input.data();
        command.InputSize = static_cast<uint32_t>(input.size());
    }
    if (toMemory) {
        recorder.block.assign(outputSize + slack, 0xAA);
        command.ToMemory = 1;
        command.OutputBlock = recorder.block.data();
        command.OutputSize = outputSize;
    }
    return Engine().unzExec(&command);
}

std::string MakeTestFolder(const std::string& name) {
    const std::string path = "C:\\engine-test\\" + name;
    RemoveTree(path);
    std::filesystem::create_directories(platform::HostPath(path));
    return path;
}

void RemoveTree(const std::string& windowsPath) {
    std::error_code ec;
    // Read-only files left by a test must not keep the tree.
    const std::filesystem::path root = platform::HostPath(windowsPath);
    if (std::filesystem::exists(root, ec))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root, ec);
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(platform::HostPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    std::ifstream in(platform::HostPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ListTree(const std::string& windowsPath) {
    std::vector<std::string> out;
    std::error_code ec;
    const std::filesystem::path root = platform::HostPath(windowsPath);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec))
        out.push_back(std::filesystem::relative(entry.path(), root, ec).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace engine_test
