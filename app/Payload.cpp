#include "app/Payload.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "app/RunLog.h"
#include "platform/Durable.h"
#include "platform/FileHandle.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Protection.h"
#include "platform/Resources.h"
#include "platform/RunLock.h"
#include "platform/Text.h"
#include "ui/Exception.h"

namespace payload {

namespace {

constexpr const char* kJournalName = "~SetupIVOX.journal";
constexpr const char* kJournalHeader = "~SetupIVOX journal 2\n";
// A journal names three files: anything much longer is not one of ours.
constexpr int64_t kJournalLimit = 64 * 1024;
// A file held for a moment (a scanner, the search indexer) is tried again this often, with this
// pause between the tries: about two seconds in all.
constexpr int kBusyRetries = 10;
constexpr auto kBusyPause = std::chrono::milliseconds(200);

// The number in a temporary name: this process's id and a counter, as hexadecimal digits.
std::string NextNumber() {
    static std::atomic<unsigned> serial{0};
    char number[32];
    std::snprintf(number, sizeof number, "%lx%04x", platform::CurrentProcessId(),
                  ++serial & 0xFFFFu);
    return number;
}

// ~SetupIVOX.<name>.<number>.<kind> beside `path`.
std::string OurName(const std::string& path, const std::string& number, const char* kind) {
    return platform::PathFolder(path) + kTempMark + platform::PathFileName(path) + "." + number +
           "." + kind;
}

// In pieces, so no single call asks for more than a 32-bit count on any platform: true when all
// of it was written.
bool WriteAll(platform::FileHandle file, const void* data, size_t size) {
    constexpr size_t kPiece = size_t{1} << 20;
    const char* next = static_cast<const char*>(data);
    for (size_t left = size; left > 0;) {
        const size_t piece = std::min(left, kPiece);
        if (platform::FileWrite(file, next, piece) != static_cast<int64_t>(piece)) return false;
        next += piece;
        left -= piece;
    }
    return true;
}

// Writes `size` bytes to the open `file` at `path`, flushes them to the disk when `flush`, and
// closes it: true; false (and the file removed) when writing, flushing or closing fails.
bool WriteAndClose(platform::FileHandle file, const std::string& path, const void* data,
                   size_t size, bool flush) {
    bool ok = WriteAll(file, data, size);
    if (flush) ok = platform::FileFlush(file) && ok;
    ok = platform::FileClose(file) && ok;
    if (!ok) platform::RemoveFile(path);
    return ok;
}

// Writes `size` bytes to the file at `path`, opened with `disposition` and writes denied to
// others: 0; 1 when it cannot be opened, 2 when it cannot be written or closed whole (it is
// removed then).
int WriteFileAt(const std::string& path, const void* data, size_t size,
                platform::FileDisposition disposition) {
    const platform::FileHandle file = platform::FileOpen(
        path, platform::FileAccess::kWrite, platform::FileShare::kDenyWrite, disposition);
    if (file == platform::kInvalidFileHandle) return 1;
    return WriteAndClose(file, path, data, size, false) ? 0 : 2;
}

// Writes a new file of ours at `path`, whole and on the disk: true; false (and nothing left at
// the path) when it cannot be created, something is there already, or writing, flushing or
// closing fails.
bool WriteOurFile(const std::string& path, const void* data, size_t size) {
    const platform::FileHandle file = platform::FileCreateProtected(path);
    return file != platform::kInvalidFileHandle && WriteAndClose(file, path, data, size, true);
}

// A copy of the file at `from` as a new file of ours at `to`, on the disk: 0; 1 when `from`
// cannot be read (in use), 2 when the copy cannot be written.
int CopyToOurFile(const std::string& from, const std::string& to) {
    const platform::FileHandle in =
        platform::FileOpen(from, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                           platform::FileDisposition::kOpenExisting);
    if (in == platform::kInvalidFileHandle) return 1;
    const platform::FileHandle out = platform::FileCreateProtected(to);
    if (out == platform::kInvalidFileHandle) {
        platform::FileClose(in);
        return 2;
    }
    std::vector<char> buffer(size_t{1} << 20);
    int result = 0;
    for (;;) {
        const int64_t got = platform::FileRead(in, buffer.data(), buffer.size());
        if (got < 0) result = 1;
        if (got <= 0) break;
        if (!WriteAll(out, buffer.data(), static_cast<size_t>(got))) {
            result = 2;
            break;
        }
    }
    platform::FileClose(in);
    if (!platform::FileFlush(out)) result = 2;
    if (!platform::FileClose(out)) result = 2;
    if (result != 0) platform::RemoveFile(to);
    return result;
}

// Whether a program holds the file so that it cannot be written (Windows keeps the file of a
// running program so, and so does Linux), or so that none of its names can be removed (Windows:
// open without delete sharing, as a virus scanner may have it for a moment).
bool IsHeld(const std::string& path) {
    if (platform::IsFileHeld(platform::AnsiToUtf16(path))) return true;
    const platform::FileHandle f =
        platform::FileOpen(path, platform::FileAccess::kWrite, platform::FileShare::kDenyNone,
                           platform::FileDisposition::kOpenExisting);
    if (f == platform::kInvalidFileHandle) return true;
    platform::FileClose(f);
    return false;
}

// Renames `from` over `to` as ReplaceFileDurably does; a file that another program holds for a
// moment is tried again (each try logged) before the failure stands.
bool Replace(const std::string& from, const std::string& to) {
    for (int attempt = 1;; ++attempt) {
        if (platform::ReplaceFileDurably(from, to)) return true;
        if (attempt > kBusyRetries || !platform::LastFailureMayPass()) return false;
        runlog::Line("Tệp " + runlog::FromAnsi(to) + " đang bận, thử lại lần " +
                     std::to_string(attempt));
        std::this_thread::sleep_for(kBusyPause);
    }
}

// Makes every folder's new and renamed names durable.
void FlushFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) platform::FlushFolder(folder);
}

// One line of the journal per file: the target, its new file and the second name of its old
// content ("" when there was no file), tab-separated. Paths never hold tabs or line ends.
struct JournalLine {
    std::string target, fresh, old;
};

// The journal: a header, the lines, and a last line with the length of all before it and its
// CRC-32, so a journal cut short or changed is never taken for one that names less.
std::string JournalText(const std::vector<JournalLine>& lines) {
    std::string text = kJournalHeader;
    for (const JournalLine& l : lines) text += l.target + "\t" + l.fresh + "\t" + l.old + "\n";
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
                            static_cast<uInt>(text.size()));
    char end[64];
    std::snprintf(end, sizeof end, "end %zu %08lx\n", text.size(), static_cast<unsigned long>(crc));
    return text + end;
}

// The lines of a whole journal: true; false when any part is missing or changed.
bool ParseJournal(const std::string& text, std::vector<JournalLine>& lines) {
    lines.clear();
    if (text.size() < 2 || text.back() != '\n') return false;
    const size_t last = text.rfind('\n', text.size() - 2);
    if (last == std::string::npos) return false;
    const std::string body = text.substr(0, last + 1);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(body.data()),
                            static_cast<uInt>(body.size()));
    char end[64];
    std::snprintf(end, sizeof end, "end %zu %08lx\n", body.size(), static_cast<unsigned long>(crc));
    if (text.compare(last + 1, std::string::npos, end) != 0) return false;
    if (body.compare(0, std::strlen(kJournalHeader), kJournalHeader) != 0) return false;
    std::istringstream in(body.substr(std::strlen(kJournalHeader)));
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find('\t');
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos || line.find('\t', b + 1) != std::string::npos) return false;
        lines.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return !lines.empty();
}

// Whether `name` is exactly ~SetupIVOX.<file name of target>.<number>.<kind> beside `target`;
// then `ours` is that name as this program writes it.
bool IsOurNameBeside(const std::string& name, const std::string& target, const char* kind,
                     std::string& ours) {
    const std::string start = platform::PathFolder(target) + kTempMark +
                              platform::PathFileName(target) + ".";
    const std::string end = std::string(".") + kind;
    if (name.size() <= start.size() + end.size() || name.size() > start.size() + end.size() + 24 ||
        !platform::SameTextAscii(name.substr(0, start.size()), start) ||
        !platform::SameTextAscii(name.substr(name.size() - end.size()), end))
        return false;
    const std::string number = name.substr(start.size(), name.size() - start.size() - end.size());
    for (char c : number)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    ours = start + number + end;
    return true;
}

// The journal's lines as this program would have written them, each target one of `targets`
// and each name ours beside it: true; false and what is wrong when any line is not so.
bool OnlyOurs(std::vector<JournalLine>& lines, const std::vector<std::string>& targets,
              std::string& why) {
    std::vector<bool> seen(targets.size(), false);
    for (JournalLine& l : lines) {
        size_t t = 0;
        while (t < targets.size() && !platform::SameTextAscii(l.target, targets[t])) ++t;
        if (t == targets.size() || seen[t]) {
            why = "tệp không phải của sản phẩm: " + runlog::FromAnsi(l.target);
            return false;
        }
        seen[t] = true;
        JournalLine ours{targets[t], "", ""};
        if (!IsOurNameBeside(l.fresh, ours.target, "new", ours.fresh) ||
            (!l.old.empty() && !IsOurNameBeside(l.old, ours.target, "old", ours.old))) {
            why = "tên tệp tạm lạ bên " + runlog::FromAnsi(ours.target);
            return false;
        }
        l = ours;
    }
    return true;
}

// Puts every target of the journal back as it was before the set was replaced: true when all
// are back. A target that cannot be put back (a program runs from it) keeps its copy.
bool PutBack(const std::vector<JournalLine>& lines) {
    bool all = true;
    for (const JournalLine& l : lines) {
        bool back = true;
        if (!l.old.empty()) {
            // No copy left means an earlier recovery put this one back already.
            if (platform::FileExists(l.old)) {
                back = Replace(l.old, l.target);
                // Both names of one file (the target was never replaced): the rename leaves both.
                if (back) platform::RemoveFile(l.old);
            }
        } else if (!platform::FileExists(l.fresh) && platform::FileExists(l.target)) {
            back = platform::RemoveFile(l.target);  // the file the set brought, where there was none
        }
        if (back) {
            platform::RemoveFile(l.fresh);
            runlog::Line("Khôi phục tệp " + runlog::FromAnsi(l.target));
        } else {
            runlog::Line("Không khôi phục được tệp đang dùng " + runlog::FromAnsi(l.target));
        }
        all = all && back;
    }
    return all;
}

// Removes our temporary files from the folder.
void RemoveOurTemps(const std::string& folder) {
    for (const std::string& name : platform::FindFiles(folder + "\\" + kTempMark + "*"))
        if (name != kJournalName) platform::RemoveFile(folder + "\\" + name);
}

// The folders of the files, and `also`, each once.
std::vector<std::string> FoldersOf(const std::vector<std::string>& paths, const std::string& also) {
    std::vector<std::string> folders = {also};
    for (const std::string& p : paths) {
        std::string folder = platform::PathFolder(p);
        if (!folder.empty() && folder.back() == '\\') folder.pop_back();
        bool known = false;
        for (const std::string& f : folders) known = known || platform::SameTextAscii(f, folder);
        if (!known) folders.push_back(folder);
    }
    return folders;
}

}  // namespace

void WriteArchiveResource(const std::string& name, const std::string& path) {
    platform::ResourceBytes bytes;
    if (!platform::FindOwnResource(kArchiveType, name, bytes))
        throw ui::Exception("Resource " + name + " not found");
    // New, never opened over a file already there: what stands at the path is not ours.
    if (WriteFileAt(path, bytes.data, bytes.size, platform::FileDisposition::kCreateNew) != 0)
        throw FileWriteError(false, path);
    runlog::FileWritten(path, bytes.data, bytes.size);
    // The archive is read from its file from here on; its pages need not stay in memory.
    platform::ReleaseResourceBytes(bytes);
}

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
    if (const int failed = WriteFileAt(path, data, size, platform::FileDisposition::kCreateAlways))
        throw FileWriteError(failed == 1, path);
}

void ReplaceWholeFile(const std::string& path, const void* data, size_t size) {
    const std::string folder = platform::PathFolder(path);
    if (!platform::FileExists(folder)) throw FileWriteError(true, path);
    platform::FileAttributes existing;
    if (platform::ReadFileAttributes(path, existing) && existing.readOnly && !existing.directory)
        throw FileWriteError(false, path);
    // A fresh name in the destination's own folder, so the final rename never crosses volumes.
    const std::string fresh = OurName(path, NextNumber(), "new");
    if (!WriteOurFile(fresh, data, size)) throw FileWriteError(false, path);
    if (!Replace(fresh, path)) {
        platform::RemoveFile(fresh);
        throw FileWriteError(true, path);
    }
    platform::FlushFolder(folder);
    runlog::FileWritten(path, data, size);
}

void ReplaceFileSet(const std::vector<FileToPlace>& files, const std::string& journalFolder,
                    const std::function<void(size_t)>& beforeReplacing) {
    std::vector<JournalLine> lines;
    const auto discard = [&lines] {
        for (const JournalLine& l : lines) {
            if (!l.fresh.empty()) platform::RemoveFile(l.fresh);
            if (!l.old.empty()) platform::RemoveFile(l.old);
        }
    };
    const auto fail = [&](bool inUse, const std::string& path) {
        discard();
        return FileWriteError(inUse, path);
    };
    // Every new file and every second name of an old one, on the disk before anything is
    // replaced. Each name is taken new: something already there (a link too) is refused.
    for (const FileToPlace& f : files) {
        if (!platform::FileExists(platform::PathFolder(f.path))) throw fail(true, f.path);
        platform::FileAttributes existing;
        const bool exists = platform::ReadFileAttributes(f.path, existing);
        if (exists && existing.readOnly && !existing.directory) throw fail(false, f.path);
        const std::string number = NextNumber();
        lines.push_back({f.path, "", ""});
        JournalLine& line = lines.back();
        const std::string fresh = OurName(f.path, number, "new");
        if (!WriteOurFile(fresh, f.bytes.data(), f.bytes.size())) throw fail(false, f.path);
        line.fresh = fresh;
        if (exists && !existing.directory) {
            // The old file keeps a second name beside it; a copy where the volume has no links,
            // and for a file a program holds (the program may still be running when the set
            // is given up, and a name of its file could not go then). A name already taken
            // there is not ours: refused, never written through.
            const std::string old = OurName(f.path, number, "old");
            if (IsHeld(f.path) || !platform::LinkFile(f.path, old)) {
                if (platform::FileExists(old)) throw fail(false, f.path);
                const int copied = CopyToOurFile(f.path, old);
                if (copied != 0) throw fail(copied == 1, f.path);
            }
            line.old = old;
        }
    }
    std::vector<std::string> targets;
    for (const FileToPlace& f : files) targets.push_back(f.path);
    const std::vector<std::string> folders = FoldersOf(targets, journalFolder);
    FlushFolders(folders);
    // The journal goes in whole, on the disk, or not at all; from here on a cut run is put back.
    const std::string journal = journalFolder + "\\" + kJournalName;
    const std::string text = JournalText(lines);
    const std::string fresh = OurName(journal, NextNumber(), "new");
    if (!WriteOurFile(fresh, text.data(), text.size()) || !Replace(fresh, journal)) {
        platform::RemoveFile(fresh);
        throw fail(false, files.empty() ? journal : files.front().path);
    }
    platform::FlushFolder(journalFolder);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (beforeReplacing) beforeReplacing(i);
        if (!Replace(lines[i].fresh, lines[i].target)) {
            const std::vector<JournalLine> replaced(lines.begin(), lines.begin() + i);
            // A file that cannot get its old content back keeps its copy and the journal, so
            // the next run tries again: an old file is never lost.
            if (PutBack(replaced)) {
                FlushFolders(folders);
                platform::RemoveFile(journal);
                discard();
            }
            throw FileWriteError(true, lines[i].target);
        }
        runlog::FileWritten(files[i].path, files[i].bytes.data(), files[i].bytes.size());
    }
    // Done: the replacements on the disk, then without the journal the set stands; the old
    // files' second names are no longer needed.
    FlushFolders(folders);
    platform::RemoveFile(journal);
    platform::FlushFolder(journalFolder);
    discard();
}

Recovery RecoverInterruptedReplace(const std::string& journalFolder,
                                   const std::vector<std::string>& targets) {
    const std::vector<std::string> folders = FoldersOf(targets, journalFolder);
    const std::string journal = journalFolder + "\\" + kJournalName;
    if (!platform::FileExists(journal)) {
        for (const std::string& folder : folders) RemoveOurTemps(folder);
        return Recovery::kNothingToDo;
    }
    // Ordinary users may write into the folder: a journal is acted on only when it is whole,
    // written by an owner they cannot be, and names only our files.
    const auto refuse = [&journal](const std::string& why) {
        runlog::Line("Bỏ qua nhật ký nâng cấp " + runlog::FromAnsi(journal) + ": " + why);
        return Recovery::kJournalRefused;
    };
    bool trusted = false;
    const platform::FileHandle file = platform::FileOpenOwnedBy(journal, trusted);
    if (file == platform::kInvalidFileHandle) return refuse("không mở được như một tệp thường");
    const int64_t size = platform::FileSize(file);
    std::string text;
    bool read = size >= 0 && size <= kJournalLimit;
    if (read) {
        text.assign(static_cast<size_t>(size), '\0');
        read = size == 0 || platform::FileRead(file, text.data(), text.size()) == size;
    }
    platform::FileClose(file);
    if (!trusted) return refuse("không do quản trị viên tạo");
    std::vector<JournalLine> lines;
    // A journal that is not whole is what a cut run left, or someone else's: every copy stays,
    // nothing is moved on its word.
    if (!read || !ParseJournal(text, lines)) return refuse("không nguyên vẹn");
    std::string why;
    if (!OnlyOurs(lines, targets, why)) return refuse(why);
    if (!PutBack(lines)) return Recovery::kTargetHeld;
    FlushFolders(folders);
    platform::RemoveFile(journal);
    platform::FlushFolder(journalFolder);
    for (const std::string& folder : folders) RemoveOurTemps(folder);
    return Recovery::kPutBack;
}

}  // namespace payload
