// One extraction command: selects the entries, asks the component for passwords, sizes and
// overwrite decisions through its callback, and writes each entry to a file, into the caller's
// memory block, or nowhere (test only).
//
// Error numbers the engine reports (callback action 4 with the text, action 11 with the skip):
//    1 archive cannot be opened            12 CRC error
//    2 no zip archive / damaged directory  13 unsafe name (would leave the base folder)
//    3 local header missing or damaged     14 folder cannot be created
//    4 data outside the archive            15 file cannot be created
//    5 overlapping entries (zip bomb)      16 write error (disk full)
//    6 unsupported compression method      17 the finished file cannot be put in place
//    7 unsupported encryption              18 not enough memory for the entry
//    8 no or wrong password                19 the base folder does not exist
//    9 an event handler failed             20 read error in the archive
//   10 compressed data damaged             21 content longer or shorter than declared
//   11 (not used)                          22 a name no Windows file system takes (a device
//                                             name, or a character such as : ? * < > |)
// Error 0 is a note. Skip reasons (action 11 carries the reason plus 1):
//    0 the file exists and was kept         5 unsupported method or encryption
//    1 freshen: no file to replace          6 damaged entry (headers, data, size or CRC)
//    2 the existing file is not older       7 unsafe name
//    3 no password given                    8 the file could not be written
//    4 wrong password                       9 not enough memory
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ArchiveReader.h"
#include "engine/DelZip179.h"
#include "engine/EntryNames.h"
#include "engine/ZipCrypto.h"

namespace engine {

// The contract's error and skip codes by the engine's own names.
enum EngineError : int32_t {
    kErrNone = DZ_ERROR_NONE,
    kErrOpenArchive = DZ_ERROR_OPEN_ARCHIVE,
    kErrNoArchive = DZ_ERROR_NO_ARCHIVE,
    kErrLocalHeader = DZ_ERROR_LOCAL_HEADER,
    kErrOutside = DZ_ERROR_OUTSIDE,
    kErrOverlap = DZ_ERROR_OVERLAP,
    kErrMethod = DZ_ERROR_METHOD,
    kErrEncryption = DZ_ERROR_ENCRYPTION,
    kErrPassword = DZ_ERROR_PASSWORD,
    kErrHandler = DZ_ERROR_HANDLER,
    kErrData = DZ_ERROR_DATA,
    kErrCrc = DZ_ERROR_CRC,
    kErrUnsafeName = DZ_ERROR_UNSAFE_NAME,
    kErrCreateFolder = DZ_ERROR_CREATE_FOLDER,
    kErrCreateFile = DZ_ERROR_CREATE_FILE,
    kErrWrite = DZ_ERROR_WRITE,
    kErrReplace = DZ_ERROR_REPLACE,
    kErrMemory = DZ_ERROR_MEMORY,
    kErrBaseDir = DZ_ERROR_BASE_DIR,
    kErrRead = DZ_ERROR_READ,
    kErrSize = DZ_ERROR_SIZE,
    kErrInvalidName = DZ_ERROR_INVALID_NAME,
    kErrReplaceRefused = DZ_ERROR_REPLACE_REFUSED,
};

enum SkipReason : int32_t {
    kSkipExists = DZ_SKIP_EXISTS,
    kSkipNoFile = DZ_SKIP_NO_FILE,
    kSkipNotNewer = DZ_SKIP_NOT_NEWER,
    kSkipNoPassword = DZ_SKIP_NO_PASSWORD,
    kSkipBadPassword = DZ_SKIP_BAD_PASSWORD,
    kSkipUnsupported = DZ_SKIP_UNSUPPORTED,
    kSkipDamaged = DZ_SKIP_DAMAGED,
    kSkipUnsafeName = DZ_SKIP_UNSAFE_NAME,
    kSkipWriteFailed = DZ_SKIP_WRITE_FAILED,
    kSkipNoMemory = DZ_SKIP_NO_MEMORY,
};

class UnzipRun {
public:
    explicit UnzipRun(const UnzipCommand& command);
    UnzipRun(const UnzipRun&) = delete;
    UnzipRun& operator=(const UnzipRun&) = delete;

    // Runs the command: the number of entries extracted or tested, or a negative DZ_ERR_ code.
    int32_t Execute();

    // The value DZ_Abort names this run by, announced with action 18.
    int32_t AbortValue() const { return abortValue_; }
    // Makes the run stop at its next chance; safe from any thread.
    void RequestAbort() { abortRequested_ = true; }

private:
    struct Item {
        CentralEntry entry;
        std::string name;     // ANSI, "/" and "\" as stored
        std::u16string wide;  // the full name, for the file system
        bool folder = false;
        uint64_t dataStart = 0;
        int32_t fault = kErrNone;  // found before extraction: header, offset, overlap
        std::string faultText;
    };

    // The callback; false when the run must stop (cancel, handler failure, abort).
    bool Call(CallbackRecord& record);
    bool Report(int32_t action, int32_t number, const std::string& name, int64_t size);
    void Message(int32_t error, const std::string& text);
    void Skip(const Item& item, int32_t error, SkipReason reason, const std::string& text);
    bool Stopped();

    bool Prepare(Source& source, std::vector<Item>& items);
    bool ProcessItem(Source& source, const Item& item, size_t index);
    bool ObtainKeys(Source& source, const Item& item, ZipKeys& keys, uint64_t& dataStart,
                    uint64_t& storedSize);
    bool DecideOverwrite(const Item& item, size_t index, const std::u16string& target,
                         bool& replace);
    bool ExtractToFile(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                       uint64_t storedSize, const std::u16string& target, bool replace);
    bool ExtractToMemory(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                         uint64_t storedSize);
    bool TestItem(Source& source, const Item& item, ZipKeys* keys, uint64_t dataStart,
                  uint64_t storedSize);
    bool FinishDecode(const Item& item, int result, uint32_t foundCrc);
    bool MakeFolders(const std::u16string& relativeFolder, std::vector<std::u16string>& created);

    const UnzipCommand& command_;
    int32_t abortValue_;
    std::atomic<bool> abortRequested_{false};
    int32_t stopCode_ = 0;     // DZ_ERR_ code once the run must stop
    std::string base_;         // the base folder with a trailing delimiter, or ""
    std::u16string wideBase_;  // the same in UTF-16
    std::string runPassword_;
    bool noMorePasswords_ = false;
    bool crcStopAll_ = false;
};

// The runs in progress, for DZ_Abort.
void RegisterRun(UnzipRun* run);
void UnregisterRun(UnzipRun* run);
void AbortRun(int32_t value);

}  // namespace engine
