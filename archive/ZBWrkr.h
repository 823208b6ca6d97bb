// The archive component's worker: the directory of the archive the component points at, the
// worker's copies of the component's settings, and the operations behind the component.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZBDBind.h"

namespace archive {

// Name conversion of entry names and comments.
enum CPOpts : int32_t { cpAuto = 0, cpNone = 1, cpOEM = 2 };

// Extraction options (a set of these ordinals).
enum ExtrOptsEnum : int32_t {
    ExtrDirNames = 0,
    ExtrOverWrite = 1,
    ExtrFreshen = 2,
    ExtrUpdate = 3,
    ExtrForceDirs = 4,
    ExtrTest = 5,
};
using ExtrOpts = uint8_t;
constexpr ExtrOpts ExtrOpt(ExtrOptsEnum o) {
    return static_cast<ExtrOpts>(1u << o);
}

// How the writers delete files they replace.
enum DeleteOpts : int32_t { htdFinal = 0, htdAllowUndo = 1 };

// Suffixes of files the writers store without compressing them (a set of these ordinals).
enum AddStoreExts : int32_t {
    assGIF,
    assPNG,
    assJPG,
    assJPEG,
    assZ,
    assZIP,
    assZOO,
    assARC,
    assLZH,
    assARJ,
    assTAZ,
    assTGZ,
    assLHA,
    assRAR,
    assACE,
    assCAB,
    assGZ,
    assGZIP,
    assJAR,
    assEXE,
    assEXT,
    ass7Z,
    assMP3,
    assCount
};
using AddStoreSuffixSet = uint32_t;
// Every suffix except assEXT (which stands for the user's own list).
constexpr AddStoreSuffixSet kDefaultStoreSuffixes = ((1u << assCount) - 1) & ~(1u << assEXT);

// Sets of options of the writers, kept as bits.
using AddOpts = uint32_t;
using SpanOpts = uint32_t;
constexpr SpanOpts spCompatName = 1u << 3;
// The writers' option that lets a disk with a general failure be erased for a new part.
constexpr AddOpts AddDiskSpanErase = 1u << 10;

// The end-of-central-directory record as stored (22 bytes, little-endian).
struct ZipEndOfCentral {
    uint32_t HeaderSig = 0;
    uint16_t ThisDiskNo = 0;
    uint16_t CentralDiskNo = 0;
    uint16_t CentralEntries = 0;
    uint16_t TotalEntries = 0;
    uint32_t CentralSize = 0;
    uint32_t CentralOffset = 0;
    uint16_t ZipCommentLen = 0;
};

// One entry of the central directory: the header's fields as stored, then what the reader adds.
struct ZipDirEntry {
    uint8_t SpecVersion = 0;
    uint8_t HostSystem = 0;
    uint16_t VersionNeeded = 0;
    uint16_t GeneralFlags = 0;
    uint16_t Method = 0;
    uint16_t DosTime = 0;
    uint16_t DosDate = 0;
    uint32_t Crc = 0;
    uint32_t PackedSize = 0;
    uint32_t UnpackedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t StartDisk = 0;
    uint16_t InternalAttrs = 0;
    uint32_t ExternalAttrs = 0;
    uint32_t LocalOffset = 0;
    std::string FileName;      // converted, with "\" as the folder delimiter
    std::string EntryComment;  // bytes as stored
    bool IsEncrypted = false;
    std::string ExtraField;  // bytes as stored
};

// A memory stream that receives an entry extracted to memory. Its bytes may be handed on
// whole (TakeBytes), so a caller that keeps an entry needs no copy of it.
class TZipStream {
public:
    int64_t Size() const { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) {
        data_.resize(static_cast<size_t>(size));
        position_ = std::min(position_, size);
    }
    int64_t Position() const { return position_; }
    void SetPosition(int64_t p) { position_ = p < 0 ? 0 : p; }
    // Empties the stream and gives its memory back.
    void Clear() {
        std::string().swap(data_);
        position_ = 0;
    }
    uint8_t* Memory() { return reinterpret_cast<uint8_t*>(data_.data()); }
    const uint8_t* Memory() const { return reinterpret_cast<const uint8_t*>(data_.data()); }
    const std::string& Bytes() const { return data_; }
    // The bytes, moved out; the stream is empty afterwards.
    std::string TakeBytes() {
        std::string bytes = std::move(data_);
        Clear();
        return bytes;
    }

private:
    std::string data_;
    int64_t position_ = 0;
};

// Where an extraction writes and what it reads.
enum ExtractMode : int32_t {
    ExtractToDisk = 0,          // entries of the archive file into files under ExtrBaseDir
    ExtractToMemory = 1,        // one entry of the archive file into ZipStream
    ExtractStreamToMemory = 2,  // archive data held in memory into ZipStream
};

// The longest base folder the engine command carries, and its buffer with the terminator.
constexpr size_t kMaxBaseDir = 260;
// The longest password the engine command carries.
constexpr size_t kMaxPassword = 81;

// One engine command with every buffer it points to. The worker owns it for the length of one
// engine call; the buffers go with it.
struct EngineCommand {
    UnzipCommand record{};
    std::string archiveName;
    std::string password;
    std::vector<char> baseDir;  // kMaxBaseDir + 1 bytes when there is a base folder
    std::vector<std::string> specTexts;
    std::vector<FileSpecEntry> patterns;
};

// Operations asked for while the worker was not active, run when it becomes active.
enum : uint8_t { ListPending = 1, CommentPending = 2 };

class TZBWorker : public TZBDynamicBind {
public:
    explicit TZBWorker(ui::Component* owner);
    ~TZBWorker() override;

    // The cancel flag acts only when it changes.
    void SetCancel(bool value) override;
    void FinishOperation() override;
    void StartOperation() override;

    bool Active() const { return active_; }
    // Sets the active flag; becoming active runs the operations that waited for it.
    void SetActive(bool value);

    const std::string& ZipFileName() const { return zipFileName_; }
    // Stores the name and reads that archive's directory (also when the name is unchanged).
    void SetZipFileName(const std::string& name);
    // Rebuilds the directory from the file ZipFileName names; returns ErrCode.
    int32_t List();
    // Empties the directory and returns the worker to its initial settings.
    void Clear();
    void FreeDirectory();

    // Finds the end record of the archive `name` (or of the multi-part set it names) and leaves
    // the file open: 0 found, 1 nothing there (only when quiet), -1 failed (reported unless
    // quiet).
    int32_t LocateArchive(const std::string& name, ZipEndOfCentral& eoc, bool quiet);
    // Finds the end record in OpenedFileName (lenient: a damaged search is no record). True with
    // the file open, false with it closed.
    bool ReadEndOfCentral(ZipEndOfCentral& eoc, bool strict = false);
    // Reads exactly `count` bytes of the open archive; EZipBuilder `messageId` when fewer come.
    void ReadExact(void* buffer, size_t count, int32_t messageId);
    // The name or comment text in the ANSI code page: converted from OEM (or to it, for the
    // writers) when CodePage and the version-made-by bytes say the archive was made that way.
    std::string ConvertName(const std::string& text, bool toOem) const;
    // Whether the drive of the archive is usable; reads its volume label and size.
    bool CheckDrive();
    static bool IsFixedDrive(const std::string& root);
    void ReadDiskSpace();

    // Multi-part sets.
    // The first file matching base + "???.zip" (or base + ".z??*" when `compat`) that carries
    // a part number; "" when none does. The result has no folder.
    std::string FindPartFile(const std::string& base, bool compat) const;
    // Rewrites `name` for the part DiskNr: numbered extensions (.z01 ... .zip) or numbered names.
    void MakePartName(std::string& name, bool strip, bool numberedExtension) const;
    // Whether the file of part DiskNr is there; settles the naming scheme on first success.
    bool CheckPartPresent();
    // Returns when the wanted disk is ready; asks for it on a removable drive; EZipAbort when
    // the user cancels.
    void PromptForDisk(bool writing);
    // Closes the open part and opens part `n`.
    void GetNewDisk(int32_t n);

    // Extraction (ZBWrkrExtract.cpp).
    // Extracts the entries FSpecArgs names (all when it is empty) under ExtrBaseDir: ErrCode.
    int32_t Extract();
    // Extracts the entry `name` (or, for "", the first of FSpecArgs) into ZipStream: ZipStream
    // when exactly one entry was extracted, otherwise nullptr.
    TZipStream* ExtractFileToStream(const std::string& name);
    // Extracts the archive data held in `source` into ZipStream, sized `size` to start with:
    // ZipStream when exactly one entry was extracted, otherwise nullptr.
    TZipStream* ExtractStreamToStream(TZipStream* source, uint32_t size);
    // One extraction: the checks, the command, the engine run and the end step. EZipBuilder
    // failures are reported here; other exceptions reach the caller after the end step.
    void DoExtract(ExtractMode mode, TZipStream* source);
    bool RefuseNested();
    // The place in ZipContents of the entry the engine numbers `centralIndex` (its place among
    // all central records), -1 when it is not listed.
    int32_t ContentsIndex(int32_t centralIndex) const;
    // Sets the command's fixed part from the worker's settings, with copies of the archive name
    // and the password (cut to 81 characters).
    void FillUnzipCommand(const std::string& archive, EngineCommand& command);
    bool InProgress() const { return extracting_; }

    // Engine callbacks (ZBCallback.cpp).
    // The callback every command names: answers one record; 10106 when an event handler
    // failed during the run, 1 when the operation is cancelled, else 0. Never raises.
    static int32_t DZ_CALL EngineCallback(void* caller, CallbackRecord* record);
    // Handles one callback record: reports, events and the replies written into the record.
    // An exception of an event handler is caught and recorded in CallbackFailure.
    void HandleEngineCallback(CallbackRecord* record);

    // Entries listed, 0 while no archive is named.
    int32_t Count() const;
    // The entry at `index`; the list's index error (a ui::Exception) when there is none.
    const ZipDirEntry& Entry(int32_t index) const;

    const std::vector<std::unique_ptr<ZipDirEntry>>& ZipContents() const { return zipContents_; }
    const std::string& ZipComment() const { return zipComment_; }
    uint32_t ZipEOC() const { return zipEOC_; }
    uint32_t ZipSOC() const { return zipSOC_; }
    uint32_t SFXOffset() const { return sfxOffset_; }
    uint32_t RealFileSize() const { return realFileSize_; }
    bool IsSpanned() const { return isSpanned_; }
    int32_t DirOnlyCount() const { return dirOnlyCount_; }
    int32_t SuccessCnt() const { return successCnt_; }
    TZipStream& ZipStream() { return zipStream_; }
    const std::string& OpenedFileName() const { return openedFileName_; }
    uint32_t ArchiveSize() const { return archiveSize_; }
    uint16_t LastDiskNr() const { return lastDiskNr_; }
    int32_t DiskNr() const { return diskNr_; }
    const std::string& DriveRoot() const { return driveRoot_; }
    bool DriveFixed() const { return driveFixed_; }
    const std::string& VolumeLabel() const { return volumeLabel_; }
    int64_t DiskSize() const { return diskSize_; }
    int32_t PartNaming() const { return partNaming_; }
    // The version-made-by bytes ConvertName consults: per entry while reading, then the
    // archive's.
    uint8_t HostSystem = 0;
    uint8_t SpecVersion = 20;

    // The worker's copies of the component's settings (the component's start check fills them).
    CPOpts CodePage = cpAuto;
    std::string ExtrBaseDir;
    ExtrOpts ExtrOptions = 0;
    std::vector<std::string> FSpecArgs;
    std::vector<std::string> FSpecArgsExcl;
    std::string Password;
    uint32_t PasswordReqCount = 1;
    std::string RootDir;
    bool UseDirOnlyEntries = false;
    void* WindowHandle = nullptr;
    int32_t AddCompLevel = 9;
    int32_t AddFrom = 0;
    AddOpts AddOptions = 0;
    AddStoreSuffixSet AddStoreSuffixes = kDefaultStoreSuffixes;
    std::string ExtAddStoreSuffixes;
    int32_t CopyBufferSize = 65536;
    bool ConfirmErase = true;
    int32_t KeepFreeOnAllDisks = 0;
    int32_t KeepFreeOnDisk1 = 0;
    int32_t MaxVolumeSize = 0;
    int32_t MinFreeVolumeSize = 65536;
    SpanOpts SpanOptions = 0;
    DeleteOpts HowToDelete = htdAllowUndo;

protected:
    ui::Component* owner_;
    bool active_ = false;
    uint8_t pendingOps_ = 0;

    std::string zipFileName_;
    std::vector<std::unique_ptr<ZipDirEntry>> zipContents_;
    int32_t dirOnlyCount_ = 0;
    std::string zipComment_;
    uint32_t zipEOC_ = 0;
    uint32_t zipSOC_ = 0;
    // The central directory's offset as its end record states it; ZipSOC less this is what
    // bytes in front of the archive move every stated offset by.
    uint32_t statedCentralOffset_ = 0;
    uint32_t sfxOffset_ = 0;
    uint32_t realFileSize_ = 0;
    bool isSpanned_ = false;
    int32_t successCnt_ = 0;
    bool extracting_ = false;
    // For each central record in order, its place in ZipContents, -1 when it is left out.
    std::vector<int32_t> listedAs_;
    TZipStream zipStream_;

    std::string openedFileName_;
    std::string rawZipComment_;
    uint32_t archiveSize_ = 0;
    uint16_t lastDiskNr_ = 0;
    int32_t diskNr_ = 0;
    intptr_t fileHandle_ = -1;
    std::string driveRoot_;
    bool driveFixed_ = false;
    std::string volumeLabel_;
    int64_t diskSize_ = 0;
    bool newDiskNeeded_ = false;
    int32_t partNaming_ = 0;

private:
    // Joins the parts of the open multi-part set into one archive file in the temporary
    // folder: its name, or "" after reporting the failure.
    std::string JoinParts();
    // The end step of DoExtract.
    void EndExtract(ExtractMode mode, EngineCommand* command, const std::string& joined);
    // Callback actions with answers.
    void CallbackPassword(CallbackRecord* record, bool add, const std::string& fileName);
    void CallbackNames(CallbackRecord* record, int32_t action, const std::string& fileName);
    void CallbackAnswer(CallbackRecord* record, int32_t action, bool add,
                        const std::string& fileName);

    // Extra field data handed to the engine by callback action 14, kept until the next one.
    std::string extraData_;

    // Reads a central header of 46 bytes or the closing end record of 22, moving on to the
    // next part when the current one ends before the last part.
    void ReadRecordAcrossParts(unsigned char* buffer, size_t count, int32_t messageId,
                               const ZipEndOfCentral& eoc);
    void CloseArchive();
    void FireDirUpdate();
};

}  // namespace archive
