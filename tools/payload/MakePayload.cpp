// Writes one payload archive of the setup program from its listing.
//
//   MakePayload [--password-in <source file>] <listing> <archive> <content folder>
//
// The listing (resources/payload/*.txt) names the entries in archive order, one a line:
//
//   <method> <entry name> [<content>]
//
// where the method is "deflate", "store" or "folder" (a folder entry, its name ending in "/"),
// and the content is the path of a file relative to the listing's folder, or "text:N" or
// "binary:N" for N bytes of demo content made up from the entry's name. Empty lines and lines
// starting with '#' are ignored.
//
// With --password-in every entry is encrypted with the zip standard's traditional encryption
// under the archive password, which the tool takes from the program's own source: the string
// constant kReversedArchivePassword there, reversed. So the archive and the program that opens
// it cannot disagree.
//
// Besides the archive the tool writes every file entry's bytes under the content folder (folder
// entries as folders), so tests can compare what the program installs with what went in.
//
// The archive depends on nothing but the inputs (fixed times, fixed encryption header seeds, and
// zlib's deflate, which is deterministic for a given zlib), so every build of every target on
// one build machine embeds the same bytes. This is a host tool; it writes the archive with the
// tests' zip writer (tests/fixtures/ZipWriter), which lays down every record itself, rather than
// with a second writer of its own.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fixtures/ZipWriter.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) Fail("cannot write " + path.string());
}

// The archive password: the program keeps it reversed in a string constant of its source.
std::string PasswordFromSource(const fs::path& source) {
    const Bytes bytes = ReadFile(source);
    const std::string text(bytes.begin(), bytes.end());
    const std::string marker = "kReversedArchivePassword[] = \"";
    const size_t at = text.find(marker);
    if (at == std::string::npos) Fail(source.string() + " has no kReversedArchivePassword");
    const size_t begin = at + marker.size();
    const size_t end = text.find('"', begin);
    if (end == std::string::npos || end == begin) Fail("unreadable password in " + source.string());
    const std::string reversed = text.substr(begin, end - begin);
    if (reversed.find('\\') != std::string::npos) Fail("escapes in the password are not read");
    return std::string(reversed.rbegin(), reversed.rend());
}

// A small pseudo-random generator, so demo content is the same on every machine.
class XorShift {
public:
    explicit XorShift(uint32_t seed) : x_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        x_ ^= x_ << 13;
        x_ ^= x_ >> 17;
        x_ ^= x_ << 5;
        return x_;
    }

private:
    uint32_t x_;
};

std::string BaseName(const std::string& entry) {
    const size_t slash = entry.rfind('/');
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
}

std::string Extension(const std::string& entry) {
    const std::string base = BaseName(entry);
    const size_t dot = base.rfind('.');
    return dot == std::string::npos ? "" : base.substr(dot + 1);
}

std::string Banner(const std::string& entry) {
    return "Solvenza Quillora setup payload, demo material: " + BaseName(entry) +
           ". It is a stand-in and does nothing.\r\n";
}

// Readable lines that say what they are; report templates read like a small layout.
Bytes DemoText(const std::string& entry, size_t size) {
    std::ostringstream text;
    text << Banner(entry);
    const bool report = Extension(entry) == "mbc";
    if (report) {
        const std::string base = BaseName(entry);
        text << "[Report]\r\nName=" << base.substr(0, base.size() - 4)
             << "\r\nPaper=A4\r\nOrientation=Portrait\r\n\r\n[Bands]\r\n";
    }
    for (int line = 1; static_cast<size_t>(text.tellp()) < size; ++line) {
        if (report)
            text << "Band" << line << "=Text;Left=" << (line * 37) % 180 + 10 << ";Top=" << line * 6
                 << ";Width=60;Field=F" << line % 24 << "\r\n";
        else
            text << "; line " << line << " of the demo content of " << BaseName(entry) << "\r\n";
    }
    std::string s = text.str();
    s.resize(size);
    return Bytes(s.begin(), s.end());
}

// Bytes that look a little like a program file: a header, then blocks of noise padded with
// zeros, so deflating them saves something but not everything.
Bytes DemoBinary(const std::string& entry, size_t size) {
    Bytes out;
    const std::string ext = Extension(entry);
    if (ext == "exe" || ext == "dll") out = {'M', 'Z'};
    const std::string banner = Banner(entry);
    out.insert(out.end(), banner.begin(), banner.end());
    XorShift random(fixtures::Crc32(fixtures::ToBytes(entry)));
    while (out.size() < size) {
        const uint32_t noise = 64 + random.Next() % 384;
        for (uint32_t i = 0; i < noise; ++i)
            out.push_back(static_cast<uint8_t>(random.Next() >> 24));
        out.resize(out.size() + (512 - noise), 0);
    }
    out.resize(size);
    return out;
}

size_t DemoSize(const std::string& pattern, const std::string& where) {
    const std::string digits = pattern.substr(pattern.find(':') + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        Fail(where + ": bad size in " + pattern);
    return static_cast<size_t>(std::stoul(digits));
}

struct Line {
    std::string method;
    std::string name;
    std::string content;
};

std::vector<Line> ReadListing(const fs::path& listing) {
    std::ifstream in(listing);
    if (!in) Fail("cannot read " + listing.string());
    std::vector<Line> lines;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#') continue;
        std::istringstream fields(text);
        Line line;
        std::string extra;
        fields >> line.method >> line.name >> line.content >> extra;
        const std::string where = listing.string() + ":" + std::to_string(number);
        if (!extra.empty()) Fail(where + ": too many fields");
        const bool folder = line.method == "folder";
        if (!folder && line.method != "deflate" && line.method != "store")
            Fail(where + ": unknown method " + line.method);
        if (folder != (!line.name.empty() && line.name.back() == '/'))
            Fail(where + ": folder entries, and only they, end in /");
        if (folder != line.content.empty()) Fail(where + ": content wanted for files only");
        lines.push_back(line);
    }
    return lines;
}

void Run(const fs::path& listing, const fs::path& archive, const fs::path& contentFolder,
         const std::string& password) {
    // A fixed moment for every entry: 18 August 2010, 10:11:12.
    const uint16_t time = fixtures::DosTime(10, 11, 12);
    const uint16_t date = fixtures::DosDate(2010, 8, 18);

    fs::remove_all(contentFolder);
    fs::create_directories(contentFolder);
    if (archive.has_parent_path()) fs::create_directories(archive.parent_path());
    fixtures::ZipWriter writer;
    for (const Line& line : ReadListing(listing)) {
        fixtures::Entry entry;
        if (line.method == "folder") {
            entry = fixtures::FolderEntry(line.name);
            fs::create_directories(contentFolder / line.name);
        } else {
            entry.name = line.name;
            entry.method = line.method == "store" ? fixtures::kStored : fixtures::kDeflated;
            entry.level = 9;
            const std::string where = listing.string() + ": " + line.name;
            if (line.content.rfind("text:", 0) == 0)
                entry.data = DemoText(line.name, DemoSize(line.content, where));
            else if (line.content.rfind("binary:", 0) == 0)
                entry.data = DemoBinary(line.name, DemoSize(line.content, where));
            else
                entry.data = ReadFile(listing.parent_path() / line.content);
            const fs::path file = contentFolder / line.name;
            fs::create_directories(file.parent_path());
            WriteFile(file, entry.data);
            if (!password.empty()) {
                entry.password = password;
                // The 11 random bytes of each encryption header, fixed per entry name.
                entry.header_seed = fixtures::Crc32(fixtures::ToBytes(line.name));
            }
        }
        entry.time = time;
        entry.date = date;
        writer.Add(std::move(entry));
    }
    writer.Build().Save(archive.string());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        std::string password;
        if (args.size() >= 2 && args[0] == "--password-in") {
            password = PasswordFromSource(args[1]);
            args.erase(args.begin(), args.begin() + 2);
        }
        if (args.size() != 3) {
            std::cerr << "usage: MakePayload [--password-in <source>] <listing> <archive> "
                         "<content folder>\n";
            return 2;
        }
        Run(args[0], args[1], args[2], password);
    } catch (const std::exception& e) {
        std::cerr << "MakePayload: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
