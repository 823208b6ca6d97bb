#include "app/Payload.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>

#include "app/RunLog.h"
#include "platform/FileHandle.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "ui/Exception.h"

namespace payload {

namespace {

constexpr const char* kJournalName = "~SetupIVOX.journal";

// A name of ours beside `path` that no file has yet: ~SetupIVOX.<name>.<number>.<kind>.
std::string TempBeside(const std::string& path, const char* kind) {
    static std::atomic<unsigned> serial{0};
    for (;;) {
        char number[16];
        std::snprintf(number, sizeof number, "%04x", ++serial & 0xFFFF);
        const std::string name =
            platform::PathFolder(path) + kTempMark + platform::PathFileName(path) + "." + number +
            "." + kind;
        if (!platform::FileExists(name)) return name;
    }
}

// The whole content of a file: true; false when it cannot be read.
bool ReadWhole(const std::string& path, std::string& out) {
    const platform::FileHandle f =
        platform::FileOpen(path, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                           platform::FileDisposition::kOpenExisting);
    if (f == platform::kInvalidFileHandle) return false;
    const int64_t size = platform::FileSize(f);
    bool ok = size >= 0;
    if (ok) {
        out.assign(static_cast<size_t>(size), '\0');
        ok = size == 0 || platform::FileRead(f, out.data(), out.size()) == size;
    }
    platform::FileClose(f);
    return ok;
}

// One line of the journal per file: the target, its new file and the copy of its old content
// ("" when there was no file), tab-separated. Paths never hold tabs or line ends.
struct JournalLine {
    std::string target, fresh, old;
};

std::string JournalText(const std::vector<JournalLine>& lines) {
    std::string text;
    for (const JournalLine& l : lines) text += l.target + "\t" + l.fresh + "\t" + l.old + "\n";
    return text;
}

std::vector<JournalLine> ParseJournal(const std::string& text) {
    std::vector<JournalLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find('\t'), b = line.find('\t', a == std::string::npos ? a : a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        lines.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return lines;
}

// Puts every target of the journal back as it was before the set was replaced.
size_t PutBack(const std::vector<JournalLine>& lines) {
    size_t restored = 0;
    for (const JournalLine& l : lines) {
        if (!l.old.empty()) {
            if (platform::FileExists(l.old) && platform::ReplaceFileWith(l.old, l.target))
                ++restored;
        } else if (!platform::FileExists(l.fresh) && platform::RemoveFile(l.target)) {
            ++restored;  // the file the set brought, where there was none
        }
        platform::RemoveFile(l.fresh);
    }
    return restored;
}

// Removes our temporary files from the folder.
void RemoveOurTemps(const std::string& folder) {
    for (const std::string& name : platform::FindFiles(folder + "\\" + kTempMark + "*"))
        if (name != kJournalName) platform::RemoveFile(folder + "\\" + name);
}

}  // namespace

void WriteArchiveResource(const std::string& name, const std::string& path) {
    platform::ResourceBytes bytes;
    if (!platform::FindOwnResource(kArchiveType, name, bytes))
        throw ui::Exception("Resource " + name + " not found");
    WriteWholeFile(path, bytes.data, bytes.size);
    runlog::FileWritten(path, bytes.data, bytes.size);
    // The archive is read from its file from here on; its pages need not stay in memory.
    platform::ReleaseResourceBytes(bytes);
}

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
    const platform::FileHandle file =
        platform::FileOpen(path, platform::FileAccess::kWrite, platform::FileShare::kDenyWrite,
                           platform::FileDisposition::kCreateAlways);
    if (file == platform::kInvalidFileHandle) throw FileWriteError(true, path);

    // In pieces, so no single call asks for more than a 32-bit count on any platform.
    constexpr size_t kPiece = size_t{1} << 20;
    const char* next = static_cast<const char*>(data);
    size_t left = size;
    bool whole = true;
    while (left > 0 && whole) {
        const size_t piece = std::min(left, kPiece);
        whole = platform::FileWrite(file, next, piece) == static_cast<int64_t>(piece);
        next += piece;
        left -= piece;
    }
    platform::FileClose(file);
    if (!whole) {
        platform::RemoveFile(path);
        throw FileWriteError(false, path);
    }
}

void ReplaceWholeFile(const std::string& path, const void* data, size_t size) {
    if (!platform::FileExists(platform::PathFolder(path))) throw FileWriteError(true, path);
    platform::FileAttributes existing;
    if (platform::ReadFileAttributes(path, existing) && existing.readOnly && !existing.directory)
        throw FileWriteError(false, path);
    // A fresh name in the destination's own folder, so the final rename never crosses volumes.
    const std::string fresh = TempBeside(path, "new");
    try {
        WriteWholeFile(fresh, data, size);
    } catch (const ui::Exception&) {
        platform::RemoveFile(fresh);
        throw FileWriteError(false, path);
    }
    if (!platform::ReplaceFileWith(fresh, path)) {
        platform::RemoveFile(fresh);
        throw FileWriteError(true, path);
    }
    runlog::FileWritten(path, data, size);
}

void ReplaceFileSet(const std::vector<FileToPlace>& files, const std::string& journalFolder,
                    const std::function<void(size_t)>& beforeReplacing) {
    std::vector<JournalLine> lines;
    const auto discard = [&lines] {
        for (const JournalLine& l : lines) {
            platform::RemoveFile(l.fresh);
            if (!l.old.empty()) platform::RemoveFile(l.old);
        }
    };
    // Every new file and every copy of an old one, before anything is replaced.
    for (const FileToPlace& f : files) {
        if (!platform::FileExists(platform::PathFolder(f.path))) {
            discard();
            throw FileWriteError(true, f.path);
        }
        platform::FileAttributes existing;
        const bool exists = platform::ReadFileAttributes(f.path, existing);
        if (exists && existing.readOnly && !existing.directory) {
            discard();
            throw FileWriteError(false, f.path);
        }
        JournalLine line{f.path, TempBeside(f.path, "new"), ""};
        const auto fail = [&](bool inUse) {
            platform::RemoveFile(line.fresh);
            if (!line.old.empty()) platform::RemoveFile(line.old);
            discard();
            return FileWriteError(inUse, f.path);
        };
        try {
            WriteWholeFile(line.fresh, f.bytes.data(), f.bytes.size());
        } catch (const FileWriteError&) {
            throw fail(false);
        }
        if (exists && !existing.directory) {
            std::string old;
            if (!ReadWhole(f.path, old)) throw fail(true);
            line.old = TempBeside(f.path, "old");
            try {
                WriteWholeFile(line.old, old.data(), old.size());
            } catch (const FileWriteError&) {
                throw fail(false);
            }
        }
        lines.push_back(line);
    }
    // The journal goes in whole or not at all; from here on a killed run is put back.
    const std::string journal = journalFolder + "\\" + kJournalName;
    const std::string text = JournalText(lines), fresh = TempBeside(journal, "new");
    try {
        WriteWholeFile(fresh, text.data(), text.size());
        if (!platform::ReplaceFileWith(fresh, journal)) throw FileWriteError(false, journal);
    } catch (const FileWriteError&) {
        platform::RemoveFile(fresh);
        discard();
        throw FileWriteError(false, files.empty() ? journal : files.front().path);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (beforeReplacing) beforeReplacing(i);
        if (!platform::ReplaceFileWith(lines[i].fresh, lines[i].target)) {
            const std::vector<JournalLine> replaced(lines.begin(), lines.begin() + i);
            // A file that cannot get its old content back keeps its copy and the journal, so
            // the next run tries again: an old file is never lost.
            if (PutBack(replaced) == replaced.size()) {
                discard();
                platform::RemoveFile(journal);
            }
            throw FileWriteError(true, lines[i].target);
        }
        runlog::FileWritten(files[i].path, files[i].bytes.data(), files[i].bytes.size());
    }
    // Done: without the journal the set stands; the old copies are no longer needed.
    platform::RemoveFile(journal);
    discard();
}

size_t RecoverInterruptedReplace(const std::string& journalFolder,
                                 const std::vector<std::string>& folders) {
    size_t restored = 0;
    const std::string journal = journalFolder + "\\" + kJournalName;
    std::string text;
    if (ReadWhole(journal, text)) {
        restored = PutBack(ParseJournal(text));
        platform::RemoveFile(journal);
    }
    for (const std::string& folder : folders) RemoveOurTemps(folder);
    RemoveOurTemps(journalFolder);
    return restored;
}

}  // namespace payload
