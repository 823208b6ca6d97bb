#include "engine/Unzip.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "engine/EntryDecoder.h"
#include "platform/Durable.h"
#include "platform/FileHandle.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/PathParts.h"
#include "platform/Text.h"

namespace engine {

namespace {

std::mutex g_runsLock;
std::vector<UnzipRun*> g_runs;
std::atomic<int32_t> g_lastAbortValue{0x5A17};

// A text the component handed over, read no further than `limit` bytes.
std::string BoundedText(const char* text, size_t limit) {
    if (!text) return {};
    size_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    return std::string(text, n);
}

bool EndsInDelimiter(const std::string& s) {
    return !s.empty() && (s.back() == '/' || s.back() == '\\');
}

std::string Hex(uint32_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) s[static_cast<size_t>(i)] = digits[value & 15];
    return s;
}

// The folders of a relative path held in a safe name, one prefix after the other ("a", "a\\b").
std::vector<std::u16string> FolderPrefixes(const std::u16string& relativeFolder) {
    std::vector<std::u16string> prefixes;
    for (size_t i = 0; i < relativeFolder.size(); ++i)
        if (relativeFolder[i] == u'\\') prefixes.push_back(relativeFolder.substr(0, i));
    if (!relativeFolder.empty()) prefixes.push_back(relativeFolder);
    return prefixes;
}

// The length of the folder part of a path, its last "\\" included (0 without one).
size_t FolderLength(const std::u16string& path) {
    const size_t at = path.rfind(u'\\');
    return at == std::u16string::npos ? 0 : at + 1;
}

// A path in the ANSI code page, for messages.
std::string Ansi(const std::u16string& path) {
    return platform::Utf16ToAnsiExact(path);
}

// A folder marked only by its attributes, as some archivers write them: no content, and the
// folder bit of Windows or of Unix permissions.
bool IsFolderEntry(const CentralEntry& e) {
    if (e.uncompressedSize != 0) return false;
    const uint8_t host = e.Host();
    if (host == 0 || host == 6 || host == 11 || host == 14) return (e.externalAttrs & 0x10) != 0;
    return host == 3 && ((e.externalAttrs >> 16) & 0170000) == 0040000;
}

// The attribute bits a finished file takes from its entry: the Windows bits when the archive
// was made on a system that has them, the read-only bit from Unix permissions.
uint32_t AttributesOf(const CentralEntry& e) {
    const uint8_t host = e.Host();
    if (host == 0 || host == 6 || host == 11 || host == 14)
        return e.externalAttrs & (platform::kAttrReadOnly | platform::kAttrHidden |
                                  platform::kAttrSystem | platform::kAttrArchive);
    const uint32_t mode = e.externalAttrs >> 16;
    if (host == 3 && mode != 0 && (mode & 0200) == 0) return platform::kAttrReadOnly;
    return 0;
}

}  // namespace

void RegisterRun(UnzipRun* run) {
    std::lock_guard<std::mutex> lock(g_runsLock);
    g_runs.push_back(run);
}

void UnregisterRun(UnzipRun* run) {
    std::lock_guard<std::mutex> lock(g_runsLock);
    g_runs.erase(std::remove(g_runs.begin(), g_runs.end(), run), g_runs.end());
}

void AbortRun(int32_t value) {
    std::lock_guard<std::mutex> lock(g_runsLock);
    for (UnzipRun* run : g_runs)
        if (run->AbortValue() == value) run->RequestAbort();
}

UnzipRun::UnzipRun(const UnzipCommand& command) : command_(command) {
    int32_t value;
    do {
        value = ++g_lastAbortValue;
    } while (value == 0);
    abortValue_ = value;
}

bool UnzipRun::Stopped() {
    if (stopCode_ == 0 && abortRequested_) stopCode_ = DZ_ERR_ABORTING;
    return stopCode_ != 0;
}

bool UnzipRun::Call(CallbackRecord& record) {
    if (Stopped()) return false;
    if (!command_.Callback) return true;
    const int32_t rc = command_.Callback(command_.Caller, &record);
    if (rc == DZ_CB_CANCEL) stopCode_ = DZ_ERR_CANCELLED;
    if (rc == DZ_CB_HANDLER_FAILED) stopCode_ = DZ_ERR_HANDLER;
    return !Stopped();
}

bool UnzipRun::Report(int32_t action, int32_t number, const std::string& name, int64_t size) {
    CallbackRecord record = {};
    record.ActionReply = action;
    record.Number = number;
    record.Name = name.c_str();
    record.Data.In.Size = size;
    return Call(record);
}

void UnzipRun::Message(int32_t error, const std::string& text) {
    Report(DZ_ACT_MESSAGE, error, text, 0);
}

void UnzipRun::Skip(const Item& item, int32_t error, SkipReason reason, const std::string& text) {
    if (error != kErrNone || (command_.Verbose && !text.empty())) Message(error, text);
    CallbackRecord record = {};
    record.ActionReply = DZ_ACT_SKIPPED;
    record.Number = error;
    record.Name = item.name.c_str();
    record.Data.In.Number2 = reason + 1;
    Call(record);
}

int32_t UnzipRun::Execute() {
    const UnzipCommand& c = command_;
    if (c.Version < DZ_MIN_VERSION || c.Version > DZ_MAX_VERSION) return DZ_ERR_STRUCTURE;
    if (!c.FromMemory && (!c.ArchiveName || !*c.ArchiveName)) return DZ_ERR_STRUCTURE;
    if (c.FromMemory && !c.InputBlock && c.InputSize > 0) return DZ_ERR_STRUCTURE;
    if (c.ToMemory && !c.OutputBlock && c.OutputSize > 0) return DZ_ERR_STRUCTURE;
    if (c.SpecCount < 0 || (c.SpecCount > 0 && !c.FileSpecs)) return DZ_ERR_STRUCTURE;

    struct Registration {
        explicit Registration(UnzipRun* r) : run(r) { RegisterRun(run); }
        ~Registration() { UnregisterRun(run); }
        UnzipRun* run;
    } registration(this);

    int32_t result = 0;
    try {
        if (!Report(DZ_ACT_ABORT_VALUE, abortValue_, "", 0)) return stopCode_;
        const std::string archive =
            c.FromMemory ? std::string("(memory)") : BoundedText(c.ArchiveName, 4096);
        std::unique_ptr<Source> source =
            c.FromMemory ? MemorySource(c.InputBlock, c.InputSize) : OpenFileSource(archive);
        if (!source) {
            Message(kErrOpenArchive, "Cannot open the archive " + archive);
            return Stopped() ? stopCode_ : 0;
        }
        std::vector<Item> items;
        if (!Prepare(*source, items)) return Stopped() ? stopCode_ : 0;

        std::vector<std::string> patterns;
        for (int32_t i = 0; i < c.SpecCount; ++i)
            if (c.FileSpecs[i].FileSpec)
                patterns.push_back(BoundedText(c.FileSpecs[i].FileSpec, 4096));
        std::vector<size_t> selected;
        // Memory takes the one entry the request names, as the component found it in its
        // directory; a pattern only when no name is the request itself.
        if (c.ToMemory && !patterns.empty())
            for (size_t i = 0; i < items.size() && selected.empty(); ++i)
                if (!items[i].folder && SameEntryName(patterns.front(), items[i].name))
                    selected.push_back(i);
        for (size_t i = 0; i < items.size() && !(c.ToMemory && !selected.empty()); ++i) {
            const bool wanted = c.SpecCount == 0 ||
                                std::any_of(patterns.begin(), patterns.end(), [&](const auto& s) {
                                    return MatchesSpec(s, items[i].name);
                                });
            if (!wanted) continue;
            // Memory takes one entry, and a folder has no content to give.
            if (c.ToMemory && items[i].folder) continue;
            selected.push_back(i);
            if (c.ToMemory) break;
        }

        if (!c.ToMemory && !c.TestOnly && c.BaseDir) {
            base_ = BoundedText(c.BaseDir, 260);
            if (!base_.empty()) {
                platform::FileAttributes attributes;
                if (!platform::ReadFileAttributes(base_, attributes) || !attributes.directory) {
                    Message(kErrBaseDir, "The folder " + base_ + " does not exist");
                    return Stopped() ? stopCode_ : 0;
                }
                if (!EndsInDelimiter(base_)) base_ += '\\';
                wideBase_ = platform::AnsiToUtf16(base_);
            }
        }

        uint64_t total = 0;  // what the archive declares, held below the 64-bit field's limit
        for (size_t i : selected)
            total += std::min<uint64_t>(items[i].entry.uncompressedSize, INT64_MAX - total);
        if (!Report(DZ_ACT_COUNT, static_cast<int32_t>(selected.size()), "",
                    static_cast<int64_t>(selected.size())) ||
            !Report(DZ_ACT_SIZE, 0, "", static_cast<int64_t>(total)))
            return stopCode_;
        for (size_t i : selected) {
            if (Stopped() || crcStopAll_) break;
            if (ProcessItem(*source, items[i], i)) ++result;
        }
        if (!Stopped()) Report(DZ_ACT_END_OF_BATCH, 0, "", result);
    } catch (const std::bad_alloc&) {
        return DZ_ERR_MEMORY;
    }
    if (stopCode_ == DZ_ERR_HANDLER && c.Callback) {
        // The component turns error 9 into its report of the failed handler.
        CallbackRecord record = {};
        record.ActionReply = DZ_ACT_MESSAGE;
        record.Number = kErrHandler;
        record.Name = "Extraction stopped: an event handler failed";
        c.Callback(c.Caller, &record);
    }
    return stopCode_ != 0 ? stopCode_ : result;
}

bool UnzipRun::Prepare(Source& source, std::vector<Item>& items) {
    Directory directory;
    std::string why;
    const std::string archive = command_.FromMemory ? std::string("The memory block")
                                                    : BoundedText(command_.ArchiveName, 4096);
    if (!ReadDirectory(source, directory, why)) {
        Message(kErrNoArchive, archive + " is no zip archive or its directory is damaged: " + why);
        return false;
    }
    const NameCodePage codePage = command_.CodePage == 1   ? NameCodePage::kNone
                                  : command_.CodePage == 2 ? NameCodePage::kOem
                                                           : NameCodePage::kAuto;
    items.resize(directory.entries.size());
    for (size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        item.entry = std::move(directory.entries[i]);
        EntryName name = ReadEntryName(item.entry, codePage);
        item.name = std::move(name.ansi);
        item.wide = std::move(name.wide);
        // The full name, not the ANSI one: in a double-byte code page a last byte of 0x5C may
        // be the second half of a character.
        item.folder =
            (!item.wide.empty() && (item.wide.back() == u'/' || item.wide.back() == u'\\')) ||
            IsFolderEntry(item.entry);
        std::string reason;
        if (!ReadLocalHeader(source, item.entry, item.dataStart, reason)) {
            item.fault = kErrLocalHeader;
            item.faultText = reason;
        } else if (item.dataStart > directory.centralStart ||
                   item.entry.compressedSize > directory.centralStart - item.dataStart) {
            item.fault = kErrOutside;
            item.faultText = "its data runs past the end of the archive's data";
        }
    }
    // Two entries whose data overlap are the making of a zip bomb (one small piece of data
    // counted many times); neither is extracted.
    std::vector<size_t> order;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].fault == kErrNone) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return items[a].entry.localOffset < items[b].entry.localOffset;
    });
    uint64_t reach = 0;
    size_t reacher = 0;
    bool any = false;
    for (size_t i : order) {
        Item& item = items[i];
        const uint64_t end = item.dataStart + item.entry.compressedSize;
        if (any && item.entry.localOffset < reach) {
            for (Item* hit : {&item, &items[reacher]}) {
                hit->fault = kErrOverlap;
                hit->faultText = "its data overlaps another entry's (a possible zip bomb)";
            }
        }
        if (!any || end > reach) {
            reach = end;
            reacher = i;
        }
        any = true;
    }
    return true;
}

bool UnzipRun::ProcessItem(Source& source, const Item& item, size_t index) {
    const CentralEntry& e = item.entry;
    const bool toDisk = !command_.ToMemory && !command_.TestOnly;
    if (item.fault != kErrNone) {
        Skip(item, item.fault, kSkipDamaged, item.name + " skipped: " + item.faultText);
        return false;
    }
    // Files and folders take the entry's full name, whatever the ANSI code page can hold.
    std::u16string relative;
    const bool folder = item.folder;
    bool trailingDelimiter = false;
    const PathVerdict verdict =
        toDisk ? SafeRelativePath(item.wide, relative, trailingDelimiter) : PathVerdict::kSafe;
    if (verdict == PathVerdict::kOutside) {
        Skip(item, kErrUnsafeName, kSkipUnsafeName,
             item.name + " skipped: its name would place it outside the destination folder");
        return false;
    }
    if (verdict == PathVerdict::kInvalidName) {
        Skip(item, kErrInvalidName, kSkipUnsafeName,
             item.name + " skipped: Windows takes no file of this name (a device name, or a" +
                 " character such as : ? * < > | \" that names cannot hold)");
        return false;
    }
    if (folder) {
        if (!toDisk) return command_.TestOnly != 0;  // a folder has nothing to test
        if (!command_.DirNames) return false;        // flat extraction makes no folders
        std::vector<std::u16string> created;
        if (!MakeFolders(relative, created)) {
            Skip(item, kErrCreateFolder, kSkipWriteFailed,
                 "Cannot create the folder " + Ansi(wideBase_ + relative));
            return false;
        }
        return true;
    }
    if (e.method != kMethodStored && e.method != kMethodDeflated) {
        Skip(item, kErrMethod, kSkipUnsupported,
             item.name + " skipped: compression method " + std::to_string(e.method) +
                 " is not supported");
        return false;
    }
    if (e.Encrypted() && (e.flags & kFlagStrongEncryption)) {
        Skip(item, kErrEncryption, kSkipUnsupported,
             item.name + " skipped: its kind of encryption is not supported");
        return false;
    }
    std::u16string target;
    bool replace = false;
    if (toDisk) {
        target =
            wideBase_ + (command_.DirNames ? relative : relative.substr(FolderLength(relative)));
        if (!DecideOverwrite(item, index, target, replace)) return false;
    }
    if (!Report(DZ_ACT_ITEM, 0, item.name,
                static_cast<int64_t>(std::min<uint64_t>(e.uncompressedSize, INT64_MAX))))
        return false;
    uint64_t dataStart = item.dataStart;
    uint64_t storedSize = e.compressedSize;
    ZipKeys keys("");
    ZipKeys* useKeys = nullptr;
    if (e.Encrypted()) {
        if (!ObtainKeys(source, item, keys, dataStart, storedSize)) return false;
        useKeys = &keys;
    }
    if (command_.TestOnly) return TestItem(source, item, useKeys, dataStart, storedSize);
    if (command_.ToMemory) return ExtractToMemory(source, item, useKeys, dataStart, storedSize);
    std::vector<std::u16string> created;
    const std::u16string relativeFolder =
        command_.DirNames ? relative.substr(0, FolderLength(relative)) : std::u16string();
    if (!MakeFolders(relativeFolder.empty() ? relativeFolder
                                            : relativeFolder.substr(0, relativeFolder.size() - 1),
                     created)) {
        Skip(item, kErrCreateFolder, kSkipWriteFailed,
             "Cannot create the folder for " + Ansi(target));
        return false;
    }
    const bool done = ExtractToFile(source, item, useKeys, dataStart, storedSize, target, replace);
    if (!done)
        for (auto it = created.rbegin(); it != created.rend(); ++it) platform::RemoveFolder(*it);
    return done;
}

bool UnzipRun::ObtainKeys(Source& source, const Item& item, ZipKeys& keys, uint64_t& dataStart,
                          uint64_t& storedSize) {
    const CentralEntry& e = item.entry;
    uint8_t header[12];
    if (storedSize < sizeof header || !source.ReadAt(dataStart, header, sizeof header)) {
        Skip(item, kErrData, kSkipDamaged,
             item.name + " skipped: its encryption header is missing");
        return false;
    }
    // With a data descriptor the CRC was not known when the header was made, so the check byte
    // is the high byte of the time instead.
    const uint8_t check = (e.flags & kFlagDescriptor) ? static_cast<uint8_t>(e.time >> 8)
                                                      : static_cast<uint8_t>(e.crc >> 24);
    const auto accept = [&](const std::string& password) {
        if (password.empty() || !CheckPassword(password, header, check, keys)) return false;
        dataStart += sizeof header;
        storedSize -= sizeof header;
        return true;
    };
    const std::string given = BoundedText(command_.Password, 512);
    if (accept(given)) return true;
    if (runPassword_ != given && accept(runPassword_)) return true;
    if (noMorePasswords_) {
        Skip(item, kErrPassword, kSkipNoPassword,
             item.name + " skipped: no password for encrypted entries");
        return false;
    }
    bool tried = !given.empty() || !runPassword_.empty();
    int32_t left = std::clamp(command_.PasswordRequests, 0, 15);
    while (left > 0) {
        CallbackRecord record = {};
        record.ActionReply = DZ_ACT_PASSWORD;
        record.Number = left;
        record.Name = item.name.c_str();
        if (!Call(record)) return false;
        const int32_t reply = record.ActionReply;
        if (reply == DZ_REPLY_NO_TO_ALL) {
            noMorePasswords_ = true;
            break;
        }
        if (reply != DZ_REPLY_YES) break;
        const std::string answer = BoundedText(record.Data.Reply, DZ_REPLY_AREA);
        if (answer.empty()) break;
        if (accept(answer)) {
            runPassword_ = answer;
            return true;
        }
        tried = true;
        // The component may lower the number of requests left, never raise it.
        left = std::min(left - 1, std::max(record.Number, 0));
    }
    if (tried)
        Skip(item, kErrPassword, kSkipBadPassword, item.name + " skipped: wrong password");
    else
        Skip(item, kErrPassword, kSkipNoPassword, item.name + " skipped: no password given");
    return false;
}

bool UnzipRun::DecideOverwrite(const Item& item, size_t index, const std::u16string& target,
                               bool& replace) {
    replace = false;
    platform::FileAttributes attributes;
    if (!platform::ReadFileAttributes(target, attributes)) {
        if (command_.Freshen && !command_.Update) {
            Skip(item, kErrNone, kSkipNoFile, item.name + " skipped: no file to freshen");
            return false;
        }
        return true;
    }
    if (attributes.directory) {
        Skip(item, kErrCreateFile, kSkipWriteFailed,
             "Cannot create " + Ansi(target) + ": a folder has that name");
        return false;
    }
    // A link where the file goes is never replaced or written through.
    if (attributes.link) {
        Skip(item, kErrCreateFile, kSkipWriteFailed,
             "Cannot create " + Ansi(target) + ": a link stands there");
        return false;
    }
    uint32_t existing = 0;
    const bool older =
        !platform::GetFileDosTime(target, existing) || existing < item.entry.DosDateTime();
    if (command_.Freshen || command_.Update) {
        if (!older) {
            Skip(item, kErrNone, kSkipNotNewer, item.name + " skipped: the file is not older");
            return false;
        }
        replace = true;
        return true;
    }
    CallbackRecord record = {};
    record.ActionReply = DZ_ACT_OVERWRITE;
    record.Number = command_.Overwrite ? 1 : 0;
    record.Name = item.name.c_str();
    record.Data.In.Number2 = static_cast<int32_t>(index);
    record.Data.In.Age = older ? 1 : 2;
    if (!Call(record)) return false;
    const bool yes = record.ActionReply == DZ_REPLY_YES  ? true
                     : record.ActionReply == DZ_REPLY_NO ? false
                                                         : command_.Overwrite != 0;
    if (!yes) {
        Skip(item, kErrNone, kSkipExists, item.name + " skipped: the file exists");
        return false;
    }
    replace = true;
    return true;
}

bool UnzipRun::MakeFolders(const std::u16string& relativeFolder,
                           std::vector<std::u16string>& created) {
    for (const std::u16string& prefix : FolderPrefixes(relativeFolder)) {
        const std::u16string path = wideBase_ + prefix;
        platform::FileAttributes attributes;
        if (platform::ReadFileAttributes(path, attributes)) {
            // A link (symbolic link, junction, mount point) in place of a folder could lead
            // anywhere: nothing is made or written through it.
            if (!attributes.directory || attributes.link) return false;
            continue;
        }
        if (!platform::MakeFolder(path)) return false;
        created.push_back(path);
    }
    return true;
}

bool UnzipRun::FinishDecode(const Item& item, int result, uint32_t foundCrc) {
    const std::string& name = item.name;
    switch (static_cast<DecodeResult>(result)) {
        case DecodeResult::kOk:
            return true;
        case DecodeResult::kStopped:
            return false;
        case DecodeResult::kCrcMismatch: {
            CallbackRecord record = {};
            record.ActionReply = DZ_ACT_CRC_ERROR;
            record.Number = static_cast<int32_t>(foundCrc);
            record.Name = name.c_str();
            record.Data.In.Number2 = static_cast<int32_t>(item.entry.crc);
            if (!Call(record)) return false;
            if (record.ActionReply == DZ_REPLY_NO_TO_ALL) crcStopAll_ = true;
            Skip(item, kErrCrc, kSkipDamaged,
                 name + " skipped: CRC error (found " + Hex(foundCrc) + ", expected " +
                     Hex(item.entry.crc) + ")");
            return false;
        }
        case DecodeResult::kTooLong:
            Skip(item, kErrSize, kSkipDamaged,
                 name + " skipped: its content is longer than the declared " +
                     std::to_string(item.entry.uncompressedSize) + " bytes");
            return false;
        case DecodeResult::kTooShort:
            Skip(item, kErrSize, kSkipDamaged,
                 name + " skipped: its content is shorter than the declared " +
                     std::to_string(item.entry.uncompressedSize) + " bytes");
            return false;
        case DecodeResult::kReadError:
            Skip(item, kErrRead, kSkipDamaged, name + " skipped: read error in the archive");
            return false;
        case DecodeResult::kDamaged:
            Skip(item, kErrData, kSkipDamaged,
                 name + " skipped: its compressed data is damaged or incomplete");
            return false;
        case DecodeResult::kUnsupported:
            Skip(item, kErrMethod, kSkipUnsupported,
                 name + " skipped: its compression method is not supported");
            return false;
        case DecodeResult::kSinkFailed:
            break;
    }
    return false;  // the caller reports a sink failure in its own terms
}

bool UnzipRun::TestItem(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                        uint64_t storedSize) {
    uint32_t crc = 0;
    const ContentOutput nowhere;
    const ProgressFn progress = [this](uint64_t n) {
        return Report(DZ_ACT_PROGRESS, 0, "", static_cast<int64_t>(n));
    };
    const DecodeResult r =
        DecodeEntry(source, item.entry, dataStart, storedSize, keys, nowhere, progress, crc);
    return FinishDecode(item, static_cast<int>(r), crc);
}

bool UnzipRun::ExtractToMemory(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                               uint64_t storedSize) {
    const uint64_t size = item.entry.uncompressedSize;
    if (size > UINT32_MAX) {
        Skip(item, kErrMemory, kSkipNoMemory, item.name + " is too large to extract to memory");
        return false;
    }
    // The caller's block, and a larger one through action 13 only as the content arrives: a
    // declared size is a claim, and a block the size of a false claim would cost its memory.
    uint64_t capacity = command_.OutputBlock ? command_.OutputSize : 0;
    const auto resize = [&](uint64_t wanted, uint8_t*& block, uint64_t& granted) {
        CallbackRecord record = {};
        record.ActionReply = DZ_ACT_STREAM_SIZE;
        record.Name = item.name.c_str();
        record.Data.In.Size = static_cast<int64_t>(wanted);
        if (!Call(record) || record.ActionReply != DZ_REPLY_YES || !record.Data.In.Second)
            return false;
        block = static_cast<uint8_t*>(record.Data.In.Second);
        granted = std::min<uint64_t>(
            wanted, static_cast<uint64_t>(std::max<int64_t>(record.Data.In.Size, 0)));
        capacity = granted;
        return true;
    };
    // The content is inflated in place: the block is never written past its capacity.
    ContentOutput output;
    output.block = static_cast<uint8_t*>(command_.OutputBlock);
    output.capacity = capacity;
    output.grow = resize;
    const ProgressFn progress = [this](uint64_t n) {
        return Report(DZ_ACT_PROGRESS, 0, "", static_cast<int64_t>(n));
    };
    uint32_t crc = 0;
    const DecodeResult r =
        DecodeEntry(source, item.entry, dataStart, storedSize, keys, output, progress, crc);
    if (r == DecodeResult::kSinkFailed) {
        if (!Stopped()) Skip(item, kErrMemory, kSkipNoMemory, "Not enough memory for " + item.name);
        return false;
    }
    if (!FinishDecode(item, static_cast<int>(r), crc)) return false;
    // The block ends where the content does.
    if (capacity != size) {
        uint8_t* block = nullptr;
        uint64_t granted = 0;
        if (!resize(size, block, granted) && Stopped()) return false;
    }
    return true;
}

bool UnzipRun::ExtractToFile(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                             uint64_t storedSize, const std::u16string& target, bool replace) {
    // The content goes into a new file beside the target and takes the target's place only
    // once it is complete and its CRC is right.
    static std::atomic<uint32_t> serial{0};
    const std::u16string folder = target.substr(0, FolderLength(target));
    std::u16string temp;
    platform::FileHandle handle = platform::kInvalidFileHandle;
    for (int attempt = 0; attempt < 64 && handle == platform::kInvalidFileHandle; ++attempt) {
        temp =
            folder +
            platform::AnsiToUtf16(
                "~dz" + Hex(static_cast<uint32_t>(abortValue_) * 2654435761u + ++serial) + ".tmp");
        handle = platform::FileOpen(temp, platform::FileAccess::kWrite,
                                    platform::FileShare::kDenyReadWrite,
                                    platform::FileDisposition::kCreateNew);
        if (handle == platform::kInvalidFileHandle && !platform::FileExists(temp)) break;
    }
    if (handle == platform::kInvalidFileHandle) {
        Skip(item, kErrCreateFile, kSkipWriteFailed,
             "Cannot create a file in the folder of " + Ansi(target));
        return false;
    }
    ContentOutput output;
    output.sink = [&](const uint8_t* data, size_t count) {
        return platform::FileWrite(handle, data, count) == static_cast<int64_t>(count);
    };
    const ProgressFn progress = [this](uint64_t n) {
        return Report(DZ_ACT_PROGRESS, 0, "", static_cast<int64_t>(n));
    };
    uint32_t crc = 0;
    const DecodeResult r =
        DecodeEntry(source, item.entry, dataStart, storedSize, keys, output, progress, crc);
    // The entry's time is set while the file is still open: a second open by name costs more
    // than the write of a small file.
    if (r == DecodeResult::kOk) platform::SetFileDosTime(handle, item.entry.DosDateTime());
    // A file that replaces one already there is on the disk before its rename, so a power cut
    // leaves the old file or the new one, never a renamed file whose data was lost. A new file
    // is not flushed: nothing old can be lost there, and a first install's speed matters.
    const bool flushed = r != DecodeResult::kOk || !replace || platform::FileFlush(handle);
    const bool closed = platform::FileClose(handle) && flushed;
    if (r != DecodeResult::kOk || !closed) {
        platform::RemoveFile(temp);
        if (r == DecodeResult::kSinkFailed || (r == DecodeResult::kOk && !closed)) {
            Skip(item, kErrWrite, kSkipWriteFailed,
                 "Cannot write " + Ansi(target) + ": the disk may be full");
            return false;
        }
        return FinishDecode(item, static_cast<int>(r), crc);
    }
    platform::FileAttributes existing;
    const bool wasReadOnly =
        replace && platform::ReadFileAttributes(target, existing) && existing.readOnly;
    if (wasReadOnly) platform::SetFileAttributeBits(target, 0);
    // Over an old file the rename is on the disk when it returns (write-through on Windows).
    if (!(replace ? platform::ReplaceFileDurably(temp, target)
                  : platform::ReplaceFileWith(temp, target))) {
        if (wasReadOnly) platform::SetFileAttributeBits(target, platform::kAttrReadOnly);
        platform::RemoveFile(temp);
        // Only a file that a running program holds is "in use"; any other refusal (an access
        // list, a folder in its place) is a write that failed.
        if (platform::IsFileHeld(target))
            Skip(item, kErrReplace, kSkipWriteFailed,
                 "Cannot put " + Ansi(target) + " in place: the file is in use");
        else
            Skip(item, kErrReplaceRefused, kSkipWriteFailed,
                 "Cannot put " + Ansi(target) + " in place: the file cannot be replaced");
        return false;
    }
    const uint32_t attributes = AttributesOf(item.entry);
    if (attributes & (platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem))
        platform::SetFileAttributeBits(target, attributes);
    return true;
}

}  // namespace engine
