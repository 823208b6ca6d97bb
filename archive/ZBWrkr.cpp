#include "archive/ZBWrkr.h"

#include <cctype>
#include <cstdlib>
#include <exception>
#include <new>

#include "archive/Zbmsgstr.h"
#include "archive/Ziputils.h"
#include "engine/EntryNames.h"
#include "platform/Drives.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/PathParts.h"
#include "platform/Text.h"

namespace archive {

TZBWorker::TZBWorker(ui::Component* owner) : owner_(owner) {
    Sender = owner;
}

TZBWorker::~TZBWorker() {
    ReportsSuppressed = true;
    SetCancel(true);
    if (IsLoaded()) AbortEngine();
    FreeDirectory();
}

void TZBWorker::SetCancel(bool value) {
    if (value != cancel_) TZBCore::SetCancel(value);
}

void TZBWorker::FinishOperation() {
    TZBCore::FinishOperation();
}

void TZBWorker::StartOperation() {
    TZBCore::StartOperation();
}

void TZBWorker::SetActive(bool value) {
    if (value == active_) return;
    active_ = value;
    if (value) {
        if (pendingOps_ & ListPending) List();
        // The comment writer belongs to the writing operations, which this component leaves
        // out; a pending comment change has nothing to run.
    }
    pendingOps_ = 0;
}

void TZBWorker::SetZipFileName(const std::string& name) {
    zipFileName_ = name;
    List();
}

void TZBWorker::FreeDirectory() {
    zipContents_.clear();
    listedAs_.clear();
}

int32_t TZBWorker::ContentsIndex(int32_t centralIndex) const {
    if (centralIndex < 0 || static_cast<size_t>(centralIndex) >= listedAs_.size()) return -1;
    return listedAs_[static_cast<size_t>(centralIndex)];
}

int32_t TZBWorker::Count() const {
    return zipFileName_.empty() ? 0 : static_cast<int32_t>(zipContents_.size());
}

const ZipDirEntry& TZBWorker::Entry(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(zipContents_.size()))
        throw ui::Exception("List index out of bounds (" + std::to_string(index) + ")");
    return *zipContents_[static_cast<size_t>(index)];
}

void TZBWorker::Clear() {
    ReportsSuppressed = true;
    SetCancel(true);
    if (IsLoaded()) AbortEngine();
    FreeDirectory();
    pendingOps_ = 0;
    realFileSize_ = zipSOC_ = sfxOffset_ = statedCentralOffset_ = 0;
    dirOnlyCount_ = successCnt_ = 0;
    zipComment_.clear();
    zipFileName_.clear();
    isSpanned_ = false;
    driveFixed_ = false;
    extracting_ = false;

    FSpecArgs.clear();
    FSpecArgsExcl.clear();
    Password.clear();
    PasswordReqCount = 1;
    AddCompLevel = 9;
    Unattended = false;
    KeepFreeOnDisk1 = KeepFreeOnAllDisks = 0;
    MaxVolumeSize = 0;
    MinFreeVolumeSize = 65536;
    CodePage = cpAuto;
    HowToDelete = htdAllowUndo;
    AddStoreSuffixes = kDefaultStoreSuffixes;
    UseDirOnlyEntries = false;
    SpanOptions = 0;
    ConfirmErase = true;

    ResetCore();
}

}  // namespace archive

// ---------------------------------------------------------------------------------------------
// Reading the directory
// ---------------------------------------------------------------------------------------------

namespace archive {

namespace {

namespace zip = engine::zip;

constexpr int32_t kStageLoadingDirectory = 9;  // its caption is message 11409

ZipEndOfCentral ToEndOfCentral(const zip::EndRecord& r) {
    ZipEndOfCentral e;
    e.HeaderSig = zip::kEndSig;
    e.ThisDiskNo = r.thisDisk;
    e.CentralDiskNo = r.centralDisk;
    e.CentralEntries = r.entriesHere;
    e.TotalEntries = r.totalEntries;
    e.CentralSize = r.centralSize;
    e.CentralOffset = r.centralOffset;
    e.ZipCommentLen = r.commentLength;
    return e;
}

// The part number N as written in names and labels: "001" for part 0, "999" for the last part
// the scheme can name.
constexpr int32_t kPartNumbers = 999;
std::string PartDigits(int32_t n) {
    const std::string s = std::to_string(1001 + n);
    return s.substr(s.size() - 3);
}

}  // namespace

void TZBWorker::CloseArchive() {
    if (fileHandle_ != platform::kInvalidFileHandle) platform::FileClose(fileHandle_);
    fileHandle_ = platform::kInvalidFileHandle;
}

void TZBWorker::FireDirUpdate() {
    if (Events.OnDirUpdate) Events.OnDirUpdate(Sender);
}

void TZBWorker::ReadExact(void* buffer, size_t count, int32_t messageId) {
    if (count == 0) return;
    if (platform::FileRead(fileHandle_, buffer, count) != static_cast<int64_t>(count))
        throw EZipBuilder(messageId, true);
}

void TZBWorker::ReadRecordAcrossParts(unsigned char* buffer, size_t count, int32_t messageId,
                                      const ZipEndOfCentral& eoc) {
    while (platform::FileRead(fileHandle_, buffer, count) != static_cast<int64_t>(count)) {
        if (diskNr_ >= eoc.ThisDiskNo) throw EZipBuilder(messageId, true);
        // The record lies at the start of the next part.
        GetNewDisk(diskNr_ + 1);
    }
}

std::string TZBWorker::ConvertName(const std::string& text, bool toOem) const {
    bool convert = false;
    switch (CodePage) {
        case cpOEM:
            convert = true;
            break;
        case cpNone:
            convert = false;
            break;
        case cpAuto:
            convert = HostSystem == 0 || HostSystem == 6 || (HostSystem == 11 && SpecVersion == 50);
            break;
    }
    if (!convert) return text;
    std::string out = toOem ? platform::ConvertAnsiToOem(text) : platform::ConvertOemToAnsi(text);
    const size_t zero = out.find('\0');
    if (zero != std::string::npos) out.resize(zero);
    return out;
}

int32_t TZBWorker::List() {
    FreeDirectory();
    realFileSize_ = zipSOC_ = sfxOffset_ = statedCentralOffset_ = 0;
    zipComment_.clear();
    isSpanned_ = false;
    dirOnlyCount_ = 0;
    ErrCode = 0;
    fileHandle_ = platform::kInvalidFileHandle;
    uint8_t archiveHost = 0;
    uint8_t archiveSpec = 20;

    if (!active_) {
        pendingOps_ |= ListPending;
        return ErrCode;
    }

    ZipEndOfCentral eoc;
    {
        platform::CriticalErrorsFail quiet;
        // A program file whose entries' offsets do not match is taken from the archive that
        // was made beside it under the same name.
        openedFileName_ = QueryZip(zipFileName_) == 0xD1
                              ? platform::ChangePathExtension(zipFileName_, ".zip")
                              : zipFileName_;
        try {
            LocateArchive(openedFileName_, eoc, true);
        } catch (const EZipBuilder& e) {
            CloseArchive();
            ShowExceptionError(e);
        }
    }
    if (fileHandle_ == platform::kInvalidFileHandle) {
        FireDirUpdate();
        return ErrCode;
    }

    StartWaitCursor();
    bool ok = false;
    uint32_t centralStart = 0;
    // An event handler may raise while a failure is reported (OnMessage) or the batch ends:
    // the closing step below runs all the same, and the first such exception leaves after it.
    std::exception_ptr escaped;
    const auto keep = [&escaped] {
        if (!escaped) escaped = std::current_exception();
    };
    try {
        try {
            lastDiskNr_ = eoc.ThisDiskNo;
            if (eoc.ThisDiskNo > 0) isSpanned_ = true;
            if (eoc.CentralDiskNo == eoc.ThisDiskNo) {
                centralStart = archiveSize_ - eoc.CentralSize -
                               static_cast<uint32_t>(zip::kEndSize) - eoc.ZipCommentLen;
            } else {
                GetNewDisk(eoc.CentralDiskNo);
                archiveSize_ = static_cast<uint32_t>(platform::FileSize(fileHandle_));
                centralStart = eoc.CentralOffset;
            }
            zipSOC_ = centralStart;
            sfxOffset_ = archiveSize_ == zip::kEndSize ? 0 : archiveSize_;
            if (centralStart != eoc.CentralOffset) ShowZipMessage(kMsgCentralMoved, "");
            if (platform::FileSeek(fileHandle_, centralStart, platform::SeekOrigin::kFromStart) < 0)
                throw EZipBuilder(kMsgCentralSeek, true);

            const std::string stage = ZipLoadStr(kMsgLoadingDirectory);
            ReportToUser(zacXItem, kStageLoadingDirectory, eoc.TotalEntries, stage);
            // Each header takes 46 bytes of the file: a count beyond that is only a claim.
            zipContents_.reserve(
                std::min<size_t>(eoc.TotalEntries, realFileSize_ / zip::kCentralSize));
            unsigned char header[zip::kCentralSize];
            char name[260];
            for (uint32_t i = 0; i < eoc.TotalEntries; ++i) {
                ReadRecordAcrossParts(header, sizeof header, kMsgHeaderShort, eoc);
                zip::CentralHeader h;
                if (!zip::ParseCentral(header, sizeof header, h))
                    throw EZipBuilder(kMsgBadCentralSig, true);
                if (h.nameLength >= 260) throw EZipBuilder(kMsgBadName, true);
                ReadExact(name, h.nameLength, kMsgBadName);

                SpecVersion = h.SpecVersion();
                HostSystem = h.Host();
                if (HostSystem != 0) {
                    archiveHost = HostSystem;
                    archiveSpec = SpecVersion;
                }

                auto entry = std::make_unique<ZipDirEntry>();
                ZipDirEntry& e = *entry;
                e.SpecVersion = h.SpecVersion();
                e.HostSystem = h.Host();
                e.VersionNeeded = h.versionNeeded;
                e.GeneralFlags = h.flags;
                e.Method = h.method;
                e.DosTime = h.time;
                e.DosDate = h.date;
                e.Crc = h.crc;
                e.PackedSize = h.compressedSize;
                e.UnpackedSize = h.uncompressedSize;
                e.NameLength = h.nameLength;
                e.ExtraLength = h.extraLength;
                e.CommentLength = h.commentLength;
                e.StartDisk = h.startDisk;
                e.InternalAttrs = h.internalAttrs;
                e.ExternalAttrs = h.externalAttrs;
                e.LocalOffset = h.localOffset;
                // The engine reads the name by the same rule, so it finds the entry by this name.
                const engine::EntryName entryName = engine::ReadEntryName(
                    std::string(name, h.nameLength), e.GeneralFlags, h.versionMadeBy,
                    static_cast<engine::NameCodePage>(CodePage));
                e.FileName = SetSlash(entryName.ansi, psdBackslash);
                e.IsEncrypted = (e.GeneralFlags & 1) != 0;
                e.ExtraField.resize(e.ExtraLength);
                ReadExact(e.ExtraField.data(), e.ExtraLength, kMsgCentralSeek);
                e.EntryComment.resize(e.CommentLength);
                ReadExact(e.EntryComment.data(), e.CommentLength, kMsgCommentShort);

                const uint32_t localOffset = e.LocalOffset;
                if (!UseDirOnlyEntries && platform::PathFileName(e.FileName).empty()) {
                    ++dirOnlyCount_;
                    entry.reset();
                    listedAs_.push_back(-1);
                } else {
                    listedAs_.push_back(static_cast<int32_t>(zipContents_.size()));
                    zipContents_.push_back(std::move(entry));
                    if (Events.OnNewName)
                        Events.OnNewName(Sender, static_cast<int32_t>(i + 1), *zipContents_.back());
                }
                if (localOffset < sfxOffset_) sfxOffset_ = localOffset;
                ReportToUser(zacXProgress, kStageLoadingDirectory, 1, stage);
                if (Cancel()) throw EZipAbort();
            }
            unsigned char tail[zip::kEndSize];
            ReadRecordAcrossParts(tail, sizeof tail, kMsgHeaderShort, eoc);
            zip::EndRecord closing;
            if (!zip::ParseEnd(tail, sizeof tail, closing)) throw EZipBuilder(kMsgBadEnd, true);
            lastDiskNr_ = eoc.ThisDiskNo;
            ok = true;
        } catch (const EZipBuilder& e) {
            ShowExceptionError(e);
        } catch (const std::bad_alloc&) {
            ShowZipMessage(kMsgOutOfMemory, "");
        } catch (const ui::Exception& e) {
            ShowZipMessage(kMsgReadFailed, e.Message());
        } catch (const std::exception& e) {
            ShowZipMessage(kMsgReadFailed, e.what());
        } catch (...) {
            ShowZipMessage(kMsgReadFailed, "");
        }
    } catch (...) {
        keep();
    }

    try {
        ReportToUser(zacEndOfBatch, 0, 0, "");
    } catch (...) {
        keep();
    }
    EndWaitCursor();
    CloseArchive();
    if (!ok) {
        zipFileName_.clear();
        sfxOffset_ = 0;
    } else {
        sfxOffset_ += centralStart - eoc.CentralOffset;
        statedCentralOffset_ = eoc.CentralOffset;
        HostSystem = archiveHost;
        SpecVersion = archiveSpec;
        zipComment_ = ConvertName(rawZipComment_, false);
    }
    if (escaped) {
        try {
            FireDirUpdate();
        } catch (...) {
        }
        std::rethrow_exception(escaped);
    }
    FireDirUpdate();
    return ErrCode;
}

bool TZBWorker::ReadEndOfCentral(ZipEndOfCentral& eoc, bool strict) {
    (void)strict;  // the strict mode belongs to the writers
    zipComment_.clear();
    zipEOC_ = 0;
    rawZipComment_.clear();

    fileHandle_ = platform::FileOpen(openedFileName_, platform::FileAccess::kRead,
                                     platform::FileShare::kDenyWrite,
                                     platform::FileDisposition::kOpenExisting);
    if (fileHandle_ == platform::kInvalidFileHandle) {
        ShowZipMessage(kMsgCannotOpen, "");
        return false;
    }

    unsigned char start[8];
    if (platform::FileRead(fileHandle_, start, sizeof start) == sizeof start &&
        zip::Get32(start) == zip::kSpanMarkerSig && zip::Get32(start + 4) == zip::kLocalSig)
        isSpanned_ = true;

    const int64_t pos = platform::FileSeek(fileHandle_, -static_cast<int64_t>(zip::kEndSize),
                                           platform::SeekOrigin::kFromEnd);
    const int64_t size = pos < 0 ? platform::FileSize(fileHandle_) : pos + zip::kEndSize;
    if (pos < 0 || size >= (int64_t(1) << 32)) {
        CloseArchive();
        if (Verbose)
            ReportToUser(zacMessage, 0, 0,
                         "Opening EOC seek error" + std::to_string(size / 1048576) + "Mb");
        return false;
    }

    archiveSize_ = static_cast<uint32_t>(size);
    realFileSize_ = static_cast<uint32_t>(size);
    // The usual case: a record without a comment ends the file. The record is chosen by the
    // rule the engine applies (engine/ZipRecords), so both read the same directory.
    unsigned char record[zip::kEndSize];
    zip::EndRecord found;
    if (platform::FileRead(fileHandle_, record, sizeof record) == sizeof record &&
        zip::FindEnd(record, sizeof record) == 0 && zip::ParseEnd(record, sizeof record, found)) {
        zipEOC_ = static_cast<uint32_t>(size - zip::kEndSize);
        eoc = ToEndOfCentral(found);
        return true;
    }

    // Search backwards through the largest block an end record with its comment can take.
    const int64_t n = std::min<int64_t>(size, static_cast<int64_t>(zip::kEndSearch));
    std::vector<unsigned char> block(static_cast<size_t>(n));
    if (platform::FileSeek(fileHandle_, size - n, platform::SeekOrigin::kFromStart) >= 0 &&
        platform::FileRead(fileHandle_, block.data(), block.size()) == n) {
        const size_t p = zip::FindEnd(block.data(), block.size());
        if (p != zip::kNoEnd && zip::ParseEnd(block.data() + p, block.size() - p, found)) {
            zipEOC_ = static_cast<uint32_t>(size - n + static_cast<int64_t>(p));
            eoc = ToEndOfCentral(found);
            // The rule keeps the comment inside the block.
            const size_t commentStart = p + zip::kEndSize;
            rawZipComment_.assign(reinterpret_cast<const char*>(block.data() + commentStart),
                                  found.commentLength);
            const int64_t e = static_cast<int64_t>(commentStart + found.commentLength);
            if (e != n) {
                archiveSize_ = static_cast<uint32_t>(size - n + e);
                bool warn = true;
                // Up to 511 bytes of filler after the comment are what some writers pad with.
                if (realFileSize_ - archiveSize_ < 512u) {
                    warn = false;
                    for (int64_t q = e; q < n; ++q)
                        if (static_cast<int8_t>(block[static_cast<size_t>(q)]) >= 47) warn = true;
                }
                if (warn) ShowZipMessage(kMsgBytesAfterComment, "");
            }
            return true;
        }
    }
    CloseArchive();
    return false;
}

int32_t TZBWorker::LocateArchive(const std::string& name, ZipEndOfCentral& eoc, bool quiet) {
    fileHandle_ = platform::kInvalidFileHandle;
    try {
        const std::string full = platform::FullPathName(name);
        driveRoot_ = platform::PathDriveRoot(full);
        const std::string ext = platform::UpperAscii(platform::PathExtension(name));
        const std::string folder = platform::PathFolder(name);
        const std::string base = name.substr(0, name.size() - platform::PathExtension(name).size());
        partNaming_ = 0;

        driveFixed_ = IsFixedDrive(driveRoot_);
        if (!CheckDrive()) return -1;

        std::string current = name;
        bool searched = false;
        if (!platform::FileExists(name)) {
            // The part search: the last part of a set stored under this name.
            std::string found;
            if (driveFixed_) {
                if (ext == ".ZIP") {
                    for (int32_t k = 0; k < kPartNumbers; ++k) {
                        const std::string candidate = base + PartDigits(k) + ".zip";
                        if (!platform::FileExists(candidate)) break;
                        openedFileName_ = candidate;
                        const bool hasRecord = ReadEndOfCentral(eoc);
                        CloseArchive();
                        if (!hasRecord) continue;
                        if (eoc.ThisDiskNo == k) {
                            found = candidate;
                            if (platform::FileExists(
                                    platform::ChangePathExtension(candidate, ".z01")))
                                throw EZipBuilder(kMsgCannotOpen, true);
                        }
                        break;
                    }
                }
            } else {
                std::string part = FindPartFile(base, false);
                if (part.empty()) part = FindPartFile(base, true);
                if (!part.empty()) found = folder + part;
            }
            if (found.empty()) {
                if (quiet) return 1;
                throw EZipBuilder(kMsgCannotOpen, true);
            }
            current = found;
            searched = true;
        }

        for (;;) {
            openedFileName_ = current;
            if (ReadEndOfCentral(eoc)) {
                // A numbered file that is a plain archive is no set.
                if (searched && driveFixed_ && !isSpanned_ && eoc.ThisDiskNo == 0)
                    throw EZipBuilder(kMsgCannotOpen, true);
                return 0;
            }
            CloseArchive();
            newDiskNeeded_ = true;
            diskNr_ = -1;
            PromptForDisk(false);
            if (driveFixed_) {
                if (searched) {
                    if (quiet) return -1;
                    throw EZipBuilder(kMsgCannotOpen, true);
                }
                quiet = false;
                throw EZipBuilder(kMsgNotZip, true);
            }
            if (searched) {
                const std::string part = FindPartFile(base, (SpanOptions & spCompatName) != 0);
                if (part.empty()) {
                    ShowZipMessage(kMsgCannotOpen, "");
                    return -1;
                }
                current = folder + part;
            }
        }
    } catch (const EZipBuilder& e) {
        openedFileName_.clear();
        CloseArchive();
        if (!quiet) ShowExceptionError(e);
        return -1;
    }
}

bool TZBWorker::CheckDrive() {
    const char c = driveRoot_.empty()
                       ? '\0'
                       : static_cast<char>(std::toupper(static_cast<unsigned char>(driveRoot_[0])));
    if (c != '\\') {
        if (c < 'A' || c > 'Z') throw EZipBuilder(kMsgInvalidDrive, driveRoot_);
        if ((platform::LogicalDrives() & (1u << (c - 'A'))) == 0)
            throw EZipBuilder(kMsgDriveUndefined, driveRoot_);
    }
    platform::CriticalErrorsFail quiet;
    std::string label;
    uint32_t error = 0;
    if (platform::VolumeInformation(driveRoot_, label, &error)) {
        volumeLabel_ = label;
        ReadDiskSpace();
        return c == '\\' || diskSize_ != -1;
    }
    // A disk with a general failure may still be erased for a new part by the writers.
    return error == platform::kErrorGenFailure && (AddOptions & AddDiskSpanErase) != 0;
}

bool TZBWorker::IsFixedDrive(const std::string& root) {
    const uint32_t type = platform::DriveType(root);
    return type != platform::kDriveRemovable && type != platform::kDriveCdrom;
}

void TZBWorker::ReadDiskSpace() {
    diskSize_ = platform::DiskSpace(driveRoot_);
}

// ---------------------------------------------------------------------------------------------
// Multi-part sets
// ---------------------------------------------------------------------------------------------

std::string TZBWorker::FindPartFile(const std::string& base, bool compat) const {
    const std::string pattern = base + (compat ? ".z??*" : "???.zip");
    for (const std::string& match : platform::FindFiles(pattern)) {
        long number = 0;
        if (compat) {
            const std::string ext = platform::PathExtension(match);
            std::string digits = platform::UpperAscii(ext.size() > 2 ? ext.substr(2, 20) : "");
            if (digits == "IP")
                number = 99999;
            else
                number = std::strtol(digits.c_str(), nullptr, 10);
            if (digits.find_first_not_of("0123456789") != std::string::npos && digits != "IP")
                number = 0;
        } else if (match.size() >= 7) {
            const std::string digits = match.substr(match.size() - 7, 3);
            if (digits.find_first_not_of("0123456789") == std::string::npos)
                number = std::strtol(digits.c_str(), nullptr, 10);
        }
        if (number > 0) return match;
    }
    return "";
}

void TZBWorker::MakePartName(std::string& name, bool strip, bool numberedExtension) const {
    const std::string ext = platform::PathExtension(name);
    if (numberedExtension) {
        std::string newExt;
        if (diskNr_ == lastDiskNr_)
            newExt = ".zip";
        else
            newExt = (diskNr_ < 9 ? ".z0" : ".z") + std::to_string(diskNr_ + 1);
        name = platform::ChangePathExtension(name, newExt);
        return;
    }
    std::string stem = name.substr(0, name.size() - ext.size());
    if (strip) stem = stem.substr(0, stem.size() >= 3 ? stem.size() - 3 : 0);
    name = stem + PartDigits(diskNr_) + ext;
}

bool TZBWorker::CheckPartPresent() {
    if (partNaming_ < 2 && !driveFixed_) {
        if (volumeLabel_ == "PKBACK# " + PartDigits(diskNr_) &&
            platform::FileExists(openedFileName_)) {
            partNaming_ = 1;
            return true;
        }
    }
    const std::string kept = openedFileName_;
    switch (partNaming_) {
        case 0: {
            std::string candidate = kept;
            MakePartName(candidate, true, true);
            if (platform::FileExists(candidate)) {
                openedFileName_ = candidate;
                partNaming_ = 3;
                return true;
            }
            candidate = kept;
            MakePartName(candidate, true, false);
            if (platform::FileExists(candidate)) {
                openedFileName_ = candidate;
                partNaming_ = 2;
                return true;
            }
            if (driveFixed_) {
                // The open that follows fails and says that the part is missing.
                openedFileName_ = candidate;
                return true;
            }
            openedFileName_ = kept;
            return false;
        }
        case 1:
            return false;
        default: {
            std::string candidate = kept;
            MakePartName(candidate, true, partNaming_ == 3);
            if (!driveFixed_ && !platform::FileExists(candidate)) {
                openedFileName_ = kept;
                return false;
            }
            openedFileName_ = candidate;
            return true;
        }
    }
}

void TZBWorker::PromptForDisk(bool writing) {
    (void)writing;  // writing parts belongs to the writers
    driveFixed_ = IsFixedDrive(driveRoot_);
    if (driveFixed_) {
        newDiskNeeded_ = false;
        if (Cancel()) throw EZipAbort();
        return;
    }
    ReportToUser(zacTick, 0, 0, "");
    int answer = mrOk;
    int32_t context = 0x102719;
    while (newDiskNeeded_ || (answer == mrOk && !CheckDrive())) {
        if (Unattended) throw EZipBuilder(kMsgUnattendedDisk, true);
        std::string text;
        const std::string drive = driveRoot_.substr(0, 1);
        if (diskNr_ < 0) {
            text = ZipLoadStr(kMsgInsertLastDisk);
            context = 0x11271A;
        } else {
            text = ZipFmtLoadStr(kMsgInsertDisk, {diskNr_ + 1, lastDiskNr_ + 1}) +
                   ZipFmtLoadStr(kMsgInDrive, {drive});
        }
        if (Events.OnGetNextDisk) {
            bool cancel = false;
            Events.OnGetNextDisk(Sender, diskNr_ + 1, lastDiskNr_ + 1, drive, cancel);
            answer = cancel ? mrAbort : mrOk;
        } else {
            answer = ZipMessageDialog("", text, DlgButton(mbOK) | DlgButton(mbCancel), context);
        }
        newDiskNeeded_ = false;
    }
    if (answer != mrOk) throw EZipAbort();
}

void TZBWorker::GetNewDisk(int32_t n) {
    CloseArchive();
    diskNr_ = n;
    for (;;) {
        newDiskNeeded_ = true;
        fileHandle_ = platform::kInvalidFileHandle;
        PromptForDisk(false);
        if (!CheckPartPresent()) continue;
        if (Verbose) ReportToUser(zacMessage, 0, 0, ZipFmtLoadStr(kMsgOpeningPart, {openedFileName_}));
        fileHandle_ = platform::FileOpen(openedFileName_, platform::FileAccess::kRead,
                                         platform::FileShare::kDenyWrite,
                                         platform::FileDisposition::kOpenExisting);
        if (fileHandle_ != platform::kInvalidFileHandle) return;
        if (driveFixed_) throw EZipBuilder(kMsgNoInputFile, true);
        ShowZipMessage(kMsgNoInputFile, "");
    }
}

}  // namespace archive
