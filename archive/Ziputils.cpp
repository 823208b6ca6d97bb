#include "archive/Ziputils.h"

#include <vector>

#include "engine/ZipRecords.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace archive {

namespace {

// Bytes of the character that starts at `i`: 2 for a lead byte with a byte after it, else 1.
size_t CharLength(const std::string& s, size_t i) {
    return platform::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Where the last character of a non-empty text starts. Only a scan from the front can tell a
// trailing byte of a double-byte character from a character of its own.
size_t LastCharStart(const std::string& s) {
    size_t last = 0;
    for (size_t i = 0; i < s.size(); i += CharLength(s, i)) last = i;
    return last;
}

// Whether the last character of the text is the single-byte character `c`.
bool EndsWith(const std::string& s, char c) {
    if (s.empty()) return false;
    const size_t last = LastCharStart(s);
    return CharLength(s, last) == 1 && s[last] == c;
}

// The folder part of a path: everything up to and including its last "\" or ":"; "" when it
// has neither.
std::string FolderPart(const std::string& path) {
    size_t end = 0;
    for (size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (CharLength(path, i) == 1 && (path[i] == '\\' || path[i] == ':')) end = i + 1;
    return path.substr(0, end);
}

// The path without any trailing delimiter. A doubled one must go too: "C:\new\" left over from
// "C:\new\\" would look like a bare drive, which needs no creating.
std::string WithoutDelimiters(const std::string& path) {
    std::string d = DelimitPath(path, false);
    for (std::string shorter; !d.empty() && (shorter = DelimitPath(d, false)) != d;)
        d = std::move(shorter);
    return d;
}

// Windows knows no longer path; refusing longer ones keeps the walk up the folders short.
constexpr size_t kLongestPath = 32767;

namespace zip = engine::zip;

// Reads exactly `count` bytes at `offset` from the start of the file.
bool ReadAt(platform::FileHandle h, uint32_t offset, unsigned char* buffer, size_t count) {
    return platform::FileSeek(h, offset, platform::SeekOrigin::kFromStart) == offset &&
           platform::FileRead(h, buffer, count) == static_cast<int64_t>(count);
}

// For an end record whose two disk numbers agree: whether a central header lies at the
// directory offset it states, and whether that header's local-header offset holds a local
// header (asked only when the header says it starts on this disk).
int32_t CheckDirectory(platform::FileHandle h, const zip::EndRecord& end) {
    unsigned char bytes[zip::kCentralSize];
    zip::CentralHeader header;
    if (!ReadAt(h, end.centralOffset, bytes, sizeof bytes) ||
        !zip::ParseCentral(bytes, sizeof bytes, header))
        return 0;
    int32_t found = kQzCentralAtOffset;
    unsigned char signature[4];
    if (header.startDisk == end.thisDisk && ReadAt(h, header.localOffset, signature, 4) &&
        zip::Get32(signature) == zip::kLocalSig)
        found |= kQzLocalAtOffset;
    return found;
}

// The findings about an open file. A short file or a failed read ends the look with what was
// found so far.
int32_t Examine(platform::FileHandle h) {
    constexpr int32_t kStartAndComment = 0x1F;  // what a split set's end record leaves standing
    int32_t findings = 0;

    unsigned char start[4];
    if (platform::FileRead(h, start, 4) != 4) return findings;
    if (start[0] == 'M' && start[1] == 'Z')
        findings |= kQzProgram;
    else if (zip::Get32(start) == zip::kLocalSig)
        findings |= kQzLocalAtStart;
    else if (zip::Get32(start) == zip::kCentralSig)
        findings |= kQzCentralAtStart;
    else if (zip::Get32(start) == zip::kSpanMarkerSig)
        findings |= kQzSpanMarkAtStart;

    // The usual case: an end record without a comment closes the file.
    constexpr int64_t kEndSize = zip::kEndSize;
    unsigned char bytes[zip::kEndSize];
    const int64_t endAt = platform::FileSeek(h, -kEndSize, platform::SeekOrigin::kFromEnd);
    if (endAt < 0 || platform::FileRead(h, bytes, sizeof bytes) != kEndSize) return findings;
    bool endRecordAtEnd = false;
    zip::EndRecord end;
    if (zip::ParseEnd(bytes, sizeof bytes, end)) {
        endRecordAtEnd = true;
        findings |= kQzEndRecord;
        if (end.commentLength == 0) findings |= kQzCommentEndsFile;
        if (end.thisDisk == end.centralDisk) return findings | CheckDirectory(h, end);
        // Part of a multi-part set: its directory offsets point into another part.
        findings &= kStartAndComment;
    }

    // Otherwise search backwards through the last block a comment can span. The position
    // n - 22 was the record just read, so the search starts one byte before it.
    const int64_t size = endAt + kEndSize;
    const size_t n = size < static_cast<int64_t>(zip::kEndSearch) ? static_cast<size_t>(size)
                                                                   : zip::kEndSearch;
    const int64_t blockAt = size - static_cast<int64_t>(n);
    std::vector<unsigned char> block(n);
    if (platform::FileSeek(h, blockAt, platform::SeekOrigin::kFromStart) == blockAt &&
        platform::FileRead(h, block.data(), n) == static_cast<int64_t>(n)) {
        // A probe, not a reader: it notes every end signature on its way, which the reader's
        // rule (engine/ZipRecords FindEnd) would pass over when its comment does not fit.
        for (size_t p = n - zip::kEndSize; p-- > 0;) {
            zip::EndRecord record;
            if (!zip::ParseEnd(block.data() + p, n - p, record)) continue;
            findings |= kQzEndRecord;
            if (p + zip::kEndSize + record.commentLength == n) findings |= kQzCommentEndsFile;
            if (record.thisDisk == record.centralDisk) {
                findings |= CheckDirectory(h, record);
                break;
            }
            findings &= kStartAndComment;
        }
    }
    // A split set's end record at the very end is still an end record.
    if (endRecordAtEnd) findings |= kQzEndRecord;
    return findings;
}

}  // namespace

void CloseFileHandle(platform::FileHandle& handle) {
    if (handle == platform::kInvalidFileHandle) return;
    platform::FileClose(handle);
    handle = platform::kInvalidFileHandle;
}

std::string DelimitPath(const std::string& path, bool withDelimiter) {
    if (path.empty()) return withDelimiter ? "\\" : "";
    char delimiter = '\\';
    size_t last = 0;
    for (size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        if (CharLength(path, i) == 1 && (path[i] == '\\' || path[i] == '/')) delimiter = path[i];
        last = i;
    }
    const bool delimited = CharLength(path, last) == 1 && (path[last] == '\\' || path[last] == '/');
    if (delimited == withDelimiter) return path;
    return withDelimiter ? path + delimiter : path.substr(0, path.size() - 1);
}

bool DirExists(const std::string& name) {
    if (name.empty()) return true;
    platform::FileAttributes attributes;
    return platform::ReadFileAttributes(name, attributes) && attributes.directory;
}

bool ForceDirectory(const std::string& path) {
    if (path.empty()) return true;
    if (path.size() > kLongestPath) return false;
    // Walk up to the first folder that exists, noting the missing ones (each a leading part of
    // `d`) by length, then create them downwards.
    const std::string d = WithoutDelimiters(path);
    std::vector<size_t> missing;
    for (std::string current = d; !DirExists(current);) {
        const std::string parent = FolderPart(current);
        if (parent == current) break;  // a bare drive such as C:
        missing.push_back(current.size());
        current = WithoutDelimiters(parent);
    }
    for (auto length = missing.rbegin(); length != missing.rend(); ++length)
        if (!platform::MakeFolder(d.substr(0, *length))) return false;
    return true;
}

std::string PathConcat(const std::string& path, const std::string& name) {
    std::string result = path;
    if (!path.empty() && !EndsWith(path, ':') && !name.empty()) {
        const bool pathHas = EndsWith(path, '\\');
        const bool nameHas = name[0] == '\\';
        if (pathHas == nameHas) {
            if (pathHas)
                result.pop_back();
            else
                result += '\\';
        }
    }
    return result + name;
}

int32_t QueryZip(const std::string& fileName) {
    platform::FileHandle h =
        platform::FileOpen(fileName, platform::FileAccess::kRead, platform::FileShare::kDenyWrite,
                           platform::FileDisposition::kOpenExisting);
    if (h == platform::kInvalidFileHandle) return kQzCannotOpen;
    int32_t findings;
    try {
        findings = Examine(h);
    } catch (...) {  // the search block could not be had
        findings = kQzFailed;
    }
    CloseFileHandle(h);
    return findings;
}

std::string SetSlash(const std::string& path, TPathSlashDirection direction) {
    const char from = direction == psdBackslash ? '/' : '\\';
    const char to = direction == psdBackslash ? '\\' : '/';
    std::string result = path;
    for (size_t i = 0; i < result.size(); i += CharLength(result, i))
        if (CharLength(result, i) == 1 && result[i] == from) result[i] = to;
    return result;
}

}  // namespace archive
