// The worker's extractions: one engine command built from the worker's settings, run once,
// with every buffer the command points to owned here for the length of the call.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "archive/ScopeExit.h"
#include "archive/ZBWrkr.h"
#include "archive/Zbmsgstr.h"
#include "archive/Ziputils.h"
#include "engine/EntryNames.h"
#include "engine/ZipRecords.h"
#include "platform/Drives.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysError.h"
#include "platform/Text.h"

namespace archive {

namespace {

namespace zip = engine::zip;

// The system's number for a name that is too long.
constexpr uint32_t kErrorFilenameTooLong = 206;
// The wildcard that stands for every entry.
const char* const kAllFiles = "*.*";

bool Has(ExtrOpts options, ExtrOptsEnum o) {
    return (options & ExtrOpt(o)) != 0;
}

// What the entry can really produce, at most the size its header declares: its stored bytes
// are no more than lie between its data and the central directory (the directory's own count
// is only a claim), and a deflated entry yields at most the format's largest ratio of them.
// `limit` is where the entry's bytes must end, `shift` what moves the stated local offsets
// (bytes in front of the archive); a multi-part set, read from the joined file, gives 0 for
// `shift` and that file's size for `limit`.
uint32_t FirstBlockSize(const ZipDirEntry& e, uint64_t limit, int64_t shift) {
    const int64_t local = static_cast<int64_t>(e.LocalOffset) + shift;
    const uint64_t dataFrom = static_cast<uint64_t>(std::max<int64_t>(local, 0)) + zip::kLocalSize;
    const uint64_t available = limit > dataFrom ? limit - dataFrom : 0;
    return static_cast<uint32_t>(
        zip::ContentBound(e.Method, e.PackedSize, e.UnpackedSize, available));
}

// The size of the file joined from a set's parts, 0 when it cannot be read.
uint64_t JoinedSize(const std::string& joined) {
    const int64_t size = platform::FileSizeAt(joined);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
}

}  // namespace

int32_t TZBWorker::Extract() {
    DoExtract(ExtractToDisk, nullptr);
    return ErrCode;
}

// A call that arrives while an extraction runs (from one of its event handlers) may not touch
// ZipStream: the running engine writes into its block. It does what DoExtract does then.
bool TZBWorker::RefuseNested() {
    if (!extracting_) return false;
    ErrCode = 0;
    successCnt_ = 0;
    ErrMessage.clear();
    return true;
}

TZipStream* TZBWorker::ExtractFileToStream(const std::string& name) {
    if (RefuseNested()) return nullptr;
    successCnt_ = 0;
    if (!name.empty()) FSpecArgs.assign(1, name);
    if (FSpecArgs.empty()) {
        ShowZipMessage(kMsgNoFiles, "");
        return nullptr;
    }
    zipStream_.Clear();
    DoExtract(ExtractToMemory, nullptr);
    return successCnt_ == 1 ? &zipStream_ : nullptr;
}

TZipStream* TZBWorker::ExtractStreamToStream(TZipStream* source, uint32_t size) {
    if (RefuseNested()) return nullptr;
    successCnt_ = 0;
    if (source == &zipStream_) {
        ShowZipMessage(kMsgStreamIsOutput, "");
        return nullptr;
    }
    if (!source) return nullptr;
    zipStream_.Clear();
    try {
        zipStream_.SetSize(size);
    } catch (const std::bad_alloc&) {
        ShowZipMessage(kMsgOutOfMemory, "");
        return nullptr;
    }
    DoExtract(ExtractStreamToMemory, source);
    return successCnt_ == 1 ? &zipStream_ : nullptr;
}

void TZBWorker::FillUnzipCommand(const std::string& archive, EngineCommand& command) {
    UnzipCommand& c = command.record;
    command.archiveName = archive;
    command.password = Password.substr(0, kMaxPassword);
    c.ParentWindow = Unattended ? nullptr : WindowHandle;
    c.Caller = this;
    c.Version = MinDllVersion;
    c.Callback = &TZBWorker::EngineCallback;
    c.Trace = Trace ? 1 : 0;
    c.CodePage = CodePage;
    c.Password = command.password.c_str();
    c.TestOnly = Has(ExtrOptions, ExtrTest) ? 1 : 0;
    c.Fixed2C = 1;
    c.Verbose = Verbose || Trace ? 1 : 0;
    c.Update = Has(ExtrOptions, ExtrUpdate) ? 1 : 0;
    c.Freshen = Has(ExtrOptions, ExtrFreshen) && !Has(ExtrOptions, ExtrUpdate) ? 1 : 0;
    c.DirNames = Has(ExtrOptions, ExtrDirNames) ? 1 : 0;
    c.Overwrite = Has(ExtrOptions, ExtrOverWrite) ? 1 : 0;
    c.ArchiveName = command.archiveName.c_str();
    c.PasswordRequests = static_cast<int32_t>(PasswordReqCount);
}

void TZBWorker::DoExtract(ExtractMode mode, TZipStream* source) {
    ErrCode = 0;
    successCnt_ = 0;
    ErrMessage.clear();
    if (extracting_) return;
    extracting_ = true;
    SetCancel(false);

    std::string joined;
    std::unique_ptr<EngineCommand> command;
    bool endStepDue = false;
    // The one exit path: however the operation ends, the caller's list is used up, a joined
    // file goes and the operation is over; the end step below runs first when it is due.
    const ScopeExit release([&] {
        FSpecArgs.clear();
        if (!joined.empty()) platform::RemoveFile(joined);
        extracting_ = false;
    });
    const auto run = [&] {
        std::string base, archive;
        if (mode != ExtractStreamToMemory) {
            if (zipFileName_.empty()) throw EZipBuilder(kMsgNoZipFile, true);
            if (zipContents_.empty()) List();
            if (zipContents_.empty()) {
                if (ErrCode == 0) throw EZipBuilder(kMsgCannotOpen, true);
                return;  // the listing reported why
            }
            SetCancel(false);
            if (mode == ExtractToDisk && !ExtrBaseDir.empty() && !Has(ExtrOptions, ExtrTest)) {
                base = platform::UniversalPathName(
                    platform::FullPathName(DelimitPath(ExtrBaseDir, true)));
                if (base.empty()) throw EZipBuilder(kMsgBaseDirMissing, ExtrBaseDir);
                if (Has(ExtrOptions, ExtrForceDirs)) ForceDirectory(base);
                if (!DirExists(base)) throw EZipBuilder(kMsgBaseDirMissing, base);
                // The engine takes the folder in a buffer of fixed size: a longer one would
                // arrive cut, naming some other folder.
                if (base.size() > kMaxBaseDir)
                    throw EZipBuilder(kMsgCannotWrite, base, kErrorFilenameTooLong);
                platform::ClearSystemError();
                const std::string probe = platform::CreateTempFileName(base, "tmp");
                if (probe.empty())
                    throw EZipBuilder(kMsgCannotWrite, base, platform::LastSystemError());
                platform::RemoveFile(probe);
            }
            archive = zipFileName_;
            if (lastDiskNr_ > 0) {
                joined = JoinParts();
                if (joined.empty()) return;  // the join reported why
                archive = joined;
            }
        }

        // From here on the end step always runs.
        endStepDue = true;
        CheckDllLoaded();

        command = std::make_unique<EngineCommand>();
        UnzipCommand& c = command->record;
        FillUnzipCommand(archive, *command);
        if (!base.empty()) {
            command->baseDir.assign(kMaxBaseDir + 1, '\0');
            std::memcpy(command->baseDir.data(), base.data(), base.size());
            c.BaseDir = command->baseDir.data();
        }

        // Every text gets its element; the count tells the engine how many to use (none: every
        // entry).
        command->specTexts = FSpecArgs;
        command->patterns.assign(FSpecArgs.size(), FileSpecEntry{});
        for (size_t i = 0; i < command->specTexts.size(); ++i)
            command->patterns[i].FileSpec = command->specTexts[i].c_str();
        c.FileSpecs = command->patterns.empty() ? nullptr : command->patterns.data();
        if (!FSpecArgs.empty() && FSpecArgs.front() != kAllFiles)
            c.SpecCount = static_cast<int32_t>(FSpecArgs.size());

        if (mode == ExtractToMemory) {
            // Wildcards are not expanded here: the first text of FSpecArgs names the entry.
            for (const auto& entry : zipContents_) {
                if (FSpecArgs.empty() || !engine::SameEntryName(FSpecArgs[0], entry->FileName))
                    continue;
                // The directory's size is only a claim: the first block is no larger than what
                // the entry's stored bytes can produce, and the engine asks for more (action 13)
                // as the content really arrives.
                const uint32_t first =
                    joined.empty()
                        ? FirstBlockSize(*entry, std::min(zipSOC_, realFileSize_),
                                         int64_t{zipSOC_} - int64_t{statedCentralOffset_})
                        : FirstBlockSize(*entry, JoinedSize(joined), 0);
                zipStream_.SetSize(first);
                c.ToMemory = 1;
                c.OutputBlock = zipStream_.Memory();
                c.OutputSize = first;
                c.SpecCount = 1;
                break;
            }
        } else if (mode == ExtractStreamToMemory && source) {
            c.FromMemory = 1;
            c.InputBlock = source->Memory();
            c.InputSize = static_cast<uint32_t>(source->Size());
            c.ToMemory = 1;
            c.OutputBlock = zipStream_.Memory();
            c.OutputSize = static_cast<uint32_t>(zipStream_.Size());
        }
        c.Fixed94 = 7;

        CallbackFailure.clear();
        if (mode != ExtractStreamToMemory && Unattended && Password.empty() &&
            !Events.OnPasswordError) {
            // Nobody could answer a password request.
            c.PasswordRequests = 0;
            ReportToUser(zacMessage, 0, 0, ZipLoadStr(kMsgUnattendedExtract));
        }

        if (mode == ExtractToDisk || c.ToMemory == 1) successCnt_ = UnzExec(&c);
        // The directory named the entry; an engine that found none of it and said nothing
        // would pass for a success with nothing in ZipStream.
        if (mode == ExtractToMemory && c.ToMemory == 1 && successCnt_ == 0 && ErrCode == 0)
            throw EZipBuilder(kMsgNoFilesFound, true);
    };

    std::exception_ptr failure;
    try {
        run();
    } catch (...) {
        failure = std::current_exception();
    }
    if (endStepDue) {
        try {
            EndExtract(mode, command.get(), joined);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (!failure) return;
    // The operation is over before its failure is reported (a handler may start another).
    FSpecArgs.clear();
    extracting_ = false;
    try {
        std::rethrow_exception(failure);
    } catch (EZipBuilder& e) {
        if (!CallbackFailure.empty()) e.SetMessage(e.Message() + CallbackFailure);
        successCnt_ = 0;
        ShowExceptionError(e);
    } catch (const std::bad_alloc&) {
        // An entry too large for memory is reported like any other failure.
        successCnt_ = 0;
        ShowExceptionError(EZipBuilder(kMsgOutOfMemory, true));
    }
    // Anything else reaches the caller.
}

void TZBWorker::EndExtract(ExtractMode mode, EngineCommand* command, const std::string& joined) {
    // Everything below runs even when releasing the engine raises (a report handler may).
    struct Rest {
        TZBWorker& w;
        ExtractMode mode;
        EngineCommand* command;
        const std::string& joined;
        ~Rest() {
            w.FSpecArgs.clear();
            if (mode != ExtractToDisk && w.successCnt_ != 1) w.zipStream_.Clear();
            if (!joined.empty()) platform::RemoveFile(joined);
            // The engine may have left another folder in the buffer; that one becomes current.
            if (mode == ExtractToDisk && command && !command->baseDir.empty() &&
                command->baseDir[0] != '\0')
                platform::SetCurrentFolder(std::string(command->baseDir.data()));
            w.extracting_ = false;
        }
    } rest{*this, mode, command, joined};
    ReleaseDll(LoadForOperation);
}

std::string TZBWorker::JoinParts() {
    // Reading the parts moves the reader's view of the archive; the directory facts stay.
    const std::string comment = zipComment_;
    const uint32_t eocAt = zipEOC_, realSize = realFileSize_, size = archiveSize_;
    const bool spanned = isSpanned_;
    std::string joined;
    platform::FileHandle out = platform::kInvalidFileHandle;
    bool ok = false;
    // The one exit path: whatever ends the join (a report, an exception from an event handler,
    // a failed allocation during the disk prompt), the files are closed, the reader's view is
    // put back and a join that did not finish leaves no file behind.
    const ScopeExit release([&] {
        CloseArchive();
        CloseFileHandle(out);
        zipComment_ = comment;
        zipEOC_ = eocAt;
        realFileSize_ = realSize;
        archiveSize_ = size;
        isSpanned_ = spanned;
        if (!ok && !joined.empty()) platform::RemoveFile(joined);
    });
    try {
        ZipEndOfCentral eoc;
        if (LocateArchive(zipFileName_, eoc, false) != 0) return std::string();
        const uint32_t endInLast = zipEOC_;
        const uint16_t last = eoc.ThisDiskNo;
        lastDiskNr_ = last;
        const std::string folder =
            TempDir.empty() ? platform::TempFolder() : DelimitPath(TempDir, true);
        platform::ClearSystemError();
        joined = folder.empty() ? "" : platform::CreateTempFileName(folder, "zip");
        if (joined.empty())
            throw EZipBuilder(kMsgCannotWrite, folder, platform::LastSystemError());
        out = platform::FileOpen(joined, platform::FileAccess::kReadWrite,
                                 platform::FileShare::kDenyReadWrite,
                                 platform::FileDisposition::kCreateAlways);
        if (out == platform::kInvalidFileHandle)
            throw EZipBuilder(kMsgCannotWrite, joined, platform::LastSystemError());

        // The parts one after the other; a part's offsets then count from its start here.
        // The spanning mark in front of the first part is no part of a single archive.
        std::vector<int64_t> start(last + 1u, 0);
        std::vector<unsigned char> buffer(65536);
        int64_t written = 0;
        for (uint32_t d = 0; d <= last; ++d) {
            GetNewDisk(static_cast<int32_t>(d));
            start[d] = written;
            bool first = d == 0;
            for (;;) {
                int64_t n = platform::FileRead(fileHandle_, buffer.data(), buffer.size());
                if (n < 0) throw EZipBuilder(kMsgCentralSeek, true);
                if (n == 0) break;
                const unsigned char* from = buffer.data();
                if (first && n >= 4 && zip::Get32(from) == zip::kSpanMarkerSig) {
                    from += 4;
                    n -= 4;
                    start[d] -= 4;
                }
                first = false;
                if (platform::FileWrite(out, from, static_cast<size_t>(n)) != n)
                    throw EZipBuilder(kMsgCannotWrite, joined, platform::LastSystemError());
                written += n;
            }
        }
        CloseArchive();

        auto at = [&](int64_t pos, unsigned char* record, size_t count, bool write) {
            if (pos < 0 || platform::FileSeek(out, pos, platform::SeekOrigin::kFromStart) < 0)
                throw EZipBuilder(kMsgCentralSeek, true);
            const int64_t n = write ? platform::FileWrite(out, record, count)
                                    : platform::FileRead(out, record, count);
            if (n != static_cast<int64_t>(count)) throw EZipBuilder(kMsgBadCentralSig, true);
        };
        auto offsetIn = [&](uint32_t disk, uint32_t offset) {
            if (disk > last) throw EZipBuilder(kMsgBadCentralSig, true);
            const int64_t pos = start[disk] + offset;
            if (pos < 0 || pos >= written) throw EZipBuilder(kMsgBadCentralSig, true);
            return static_cast<uint32_t>(pos);
        };
        // Every central header's local offset now counts from the start of this file.
        const uint32_t central = offsetIn(eoc.CentralDiskNo, eoc.CentralOffset);
        int64_t pos = central;
        for (uint32_t i = 0; i < eoc.TotalEntries; ++i) {
            unsigned char header[zip::kCentralSize];
            at(pos, header, sizeof header, false);
            zip::CentralHeader h;
            if (!zip::ParseCentral(header, sizeof header, h))
                throw EZipBuilder(kMsgBadCentralSig, true);
            zip::Put32(header + zip::central::kLocalOffset, offsetIn(h.startDisk, h.localOffset));
            zip::Put16(header + zip::central::kStartDisk, 0);
            at(pos, header, sizeof header, true);
            pos += static_cast<int64_t>(h.RecordSize());
        }
        unsigned char end[zip::kEndSize];
        const int64_t endAt = start[last] + endInLast;
        at(endAt, end, sizeof end, false);
        zip::EndRecord record;
        if (!zip::ParseEnd(end, sizeof end, record)) throw EZipBuilder(kMsgBadEnd, true);
        zip::Put16(end + zip::end::kThisDisk, 0);
        zip::Put16(end + zip::end::kCentralDisk, 0);
        zip::Put16(end + zip::end::kEntriesHere, eoc.TotalEntries);
        zip::Put32(end + zip::end::kCentralOffset, central);
        at(endAt, end, sizeof end, true);
        ok = true;
    } catch (const EZipBuilder& e) {
        ShowExceptionError(e);
    }
    return ok ? joined : std::string();
}

}  // namespace archive
