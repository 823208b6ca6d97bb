// The archive component's message table: every text the component shows or reports, by number.
//
// The table is built into the program in English (language 1033, named "US") as a compressed
// block. A further language can be selected from the program's optional language resource
// 11610, a concatenation of blocks of the same form; rows that the selected language lacks come
// from the built-in table.
//
// A block, little-endian and byte-packed:
//   u16 language identifier, u16 compressed length L, u16 name length N, N bytes of name,
//   then L bytes: u32 unpacked size S and L - 4 LZ77 coded bytes (see LZ77Extract).
// The unpacked image is a Win32 .res file whose string-table entries (type 6, name
// identifier / 16 + 1) hold 16 counted UTF-16 strings each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ZipFormat.h"
#include "platform/Resources.h"

namespace archive {

// Rows found by arithmetic: dialog button captions and progress stage names.
constexpr int32_t kMsgButtonBase = 10220;    // + button ordinal
constexpr int32_t kMsgProgressBase = 11400;  // + stage number, 0 to kLastProgressStage
constexpr int32_t kLastProgressStage = 99;

// Rows the component reports by number (their English texts in messages.txt).
constexpr int32_t kMsgNoZipFile = 10102;          // "Error - no zip file specified!"
constexpr int32_t kMsgPasswordMismatch = 10104;   // "Error - passwords do NOT match..."
constexpr int32_t kMsgDllAborting = 10118;        // "DLL Error - Aborting"
constexpr int32_t kMsgDllCancelled = 10120;       // "DLL Error - User Cancelled"
constexpr int32_t kMsgDllMemory = 10121;          // "DLL Error - Not enough memory"
constexpr int32_t kMsgDllStructure = 10122;       // "DLL Error - Invalid structure"
constexpr int32_t kMsgDllHandler = 10123;         // "DLL Error - Exception in handler "
constexpr int32_t kMsgDllCritical = 10124;        // "critical DLL Error %d"
constexpr int32_t kMsgNoAddPassword = 10150;      // "Error - no add password given"
constexpr int32_t kMsgNoExtractPassword = 10151;  // "Error - no extract password given"
constexpr int32_t kMsgPasswordTitle = 10154;      // "Password"
constexpr int32_t kMsgEnterPassword = 10155;      // "Enter Password "
constexpr int32_t kMsgConfirmPassword = 10156;    // "Confirm Password "
constexpr int32_t kMsgCentralSeek = 10201;        // "Seek error reading Zip archive!"
constexpr int32_t kMsgReadFailed = 10202;         // "Unknown error in List() function\n"
constexpr int32_t kMsgCentralMoved = 10203;       // "Warning - Error in zip structure!"
constexpr int32_t kMsgBytesAfterComment = 10204;  // "Warning - Garbage at the end of ..."
constexpr int32_t kMsgNoFiles = 10301;            // "Error - no files to zip!"
constexpr int32_t kMsgStreamIsOutput = 10306;     // "Input stream may not be set to the ..."
constexpr int32_t kMsgUnattendedExtract = 10502;  // "Warning - Unattended Extract: ..."
constexpr int32_t kMsgBaseDirMissing = 10504;     // "Extract directory '%s' must exist"
constexpr int32_t kMsgNoInputFile = 11001;        // "Input file does not exist"
constexpr int32_t kMsgCannotOpen = 11002;         // "Zip file could not be opened"
constexpr int32_t kMsgInvalidDrive = 11003;       // "Not a valid drive: %s"
constexpr int32_t kMsgDriveUndefined = 11004;     // "Drive %s is NOT defined"
constexpr int32_t kMsgBadEnd = 11011;             // "Error while reading the End Of Central ..."
constexpr int32_t kMsgHeaderShort = 11013;        // "Error while reading a central header"
constexpr int32_t kMsgBadCentralSig = 11015;      // "A central header signature is wrong"
constexpr int32_t kMsgBadName = 11017;            // "Error while reading a central file name"
constexpr int32_t kMsgCommentShort = 11022;       // "Error while reading a file comment"
constexpr int32_t kMsgUnattendedDisk = 11025;     // "Unattended disk spanning not implemented"
constexpr int32_t kMsgInsertLastDisk = 11033;     // "Please insert last disk"
constexpr int32_t kMsgInsertDisk = 11034;         // "Please insert disk volume %.1d of %.1d"
constexpr int32_t kMsgInDrive = 11035;            // "\nin drive: %s"
constexpr int32_t kMsgNotZip = 11036;             // "This archive is not a valid Zip archive"
constexpr int32_t kMsgCannotWrite = 11051;        // "Cannot write to %s"
constexpr int32_t kMsgLoadingDirectory = 11409;   // "*Loading Directory"
constexpr int32_t kMsgNoFilesFound = 11454;       // "no files found"
constexpr int32_t kMsgOpeningPart = 11602;        // "Trace : GetNewDisk Opening: %s"

// The built-in language, and the name the component reports while it is in use.
constexpr uint16_t kBuiltInLanguageId = 1033;
inline const char* const kBuiltInLanguageName = "US: default";

// The program's optional language resource (raw data).
inline const char* const kLanguageResourceName = "#11610";

// Unpacked images of this many bytes or more are refused.
constexpr size_t kMaxMessageImage = 50000;

// Bytes in memory read front to back. Reads are all or nothing.
class ByteSource {
public:
    ByteSource(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    explicit ByteSource(const platform::ResourceBytes& r) : ByteSource(r.data, r.size) {}

    size_t Remaining() const { return size_ - pos_; }
    // False (and nothing consumed) when fewer than `n` bytes remain.
    bool Read(void* out, size_t n);
    bool ReadByte(unsigned char& out) { return Read(&out, 1); }
    bool Read16(uint16_t& out);
    bool Read32(uint32_t& out);
    bool Skip(size_t n);
    // The next `n` bytes as a source of their own (consumed here); false when fewer remain.
    bool Take(size_t n, ByteSource& part);

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

enum class Lz77Status {
    kOk,
    kSizeMismatch,  // every coded byte used, but the output is not the declared size
    kTruncated,     // coded bytes missing or left over, or a match cut off after its first byte
    kBadReference,  // a match copies from a window position nothing was written to
};

// Decodes a compressed image from `source`, which is positioned at its 32-bit unpacked size S;
// `compressedLength` (L) counts those 4 bytes and the coded bytes, 0 meaning no limit. The coded
// bytes are groups of a flag byte and eight items, read from its least significant bit: 1 is a
// literal byte, 0 a match of two bytes a, b copying (b & 0x0F) + 3 bytes from window position
// a + (b & 0xF0) * 16 of a 4096-byte window written from position 0xFF0. Succeeds when exactly
// L - 4 coded bytes (without a limit: the rest of the source) and S output bytes result. On
// failure `out` is empty.
Lz77Status LZ77Extract(ByteSource& source, uint32_t compressedLength,
                       std::vector<unsigned char>& out);

// An unpacked image as little-endian 16-bit words followed by one 0xFFFF word; empty when there
// is no table.
using MessageTable = std::vector<uint16_t>;

// Loads the block at the source's position into `table`: its language identifier, or 0 with
// `table` empty when the block is short, malformed, does not decode or is too large. On success
// the source is positioned after the block.
uint16_t LoadMessageBlock(ByteSource& source, MessageTable& table);

// The text of message `id` in `table` in the ANSI code page; "" when the table has no such row.
// Every word the lookup reads is checked against the table's bounds.
std::string LookUpMessage(const MessageTable& table, int32_t id);

// The message state: the built-in table, unpacked on first need, and the selected language.
class MessageCatalog {
public:
    // Finds the language resource: true and its bytes, or false when there is none.
    using ResourceFinder = std::function<bool(platform::ResourceBytes&)>;

    MessageCatalog(platform::ResourceBytes builtInBlock, ResourceFinder findLanguageResource);

    // The text of `id`: the selected language's row, else the built-in row, else
    // "Resource missing for <id>". Never empty.
    std::string Load(int32_t id);

    // Selects a language by name ("VN", " de: Deutsch"), by identifier ("1066"), by primary
    // language ("42") or the user's default ("*"); "", "US" and "1033" select the built-in one.
    // Returns the stored name of the selected block, or "" when the built-in language is in use.
    std::string Select(const std::string& request);

    bool HasLanguageTable() const { return !current_.empty(); }
    uint16_t LanguageId() const { return currentId_; }
    // The current language's name, or "US: default" while the built-in one is in use.
    std::string LanguageName() const;

    // Facts about language `index`: 0 the current one, n > 0 the n-th block of the language
    // resource ("><" when there is none). `info` 0 gives the name, -1 the identifier as "0x" and
    // 4 upper-case hexadecimal digits, other values the platform's locale information of that
    // kind (identifier 0 or 1024 meaning the user's default locale).
    std::string LanguageInfo(int index, int info);

private:
    const MessageTable& BuiltIn();

    platform::ResourceBytes builtInBlock_;
    ResourceFinder findLanguageResource_;
    bool builtInTried_ = false;
    MessageTable builtIn_;
    MessageTable current_;
    uint16_t currentId_ = 0;
    std::string currentName_;
};

// The block compiled into the program from the readable table.
platform::ResourceBytes BuiltInMessageBlock();

// The process-wide message state: the built-in block and the program's resource 11610.
MessageCatalog& ZipMessages();

std::string ZipLoadStr(int32_t id);
// ZipLoadStr(id) formatted with `args` (see ZipFormat.h); EFormatError when they do not fit.
std::string ZipFmtLoadStr(int32_t id, const FormatArgs& args);
std::string ZipSelectLanguage(const std::string& request);

// The component's Language property and language facts. While the component is being designed
// or loaded the property is only stored; at run time reading gives the current language and
// writing selects one.
std::string ZipGetLanguage(bool designingOrLoading, const std::string& storedLanguage);
void ZipSetLanguage(bool designingOrLoading, std::string& storedLanguage, const std::string& value);
std::string ZipGetLanguageInfo(int index, int info);

}  // namespace archive
