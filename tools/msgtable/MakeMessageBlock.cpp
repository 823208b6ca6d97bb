// Builds message table blocks for the archive component from readable tables.
//
//   MakeMessageBlock [--cpp] <output> <language> <name> <table> [<language> <name> <table>...]
//
// A readable table is UTF-8 text, one row per line: the decimal message identifier, a tab, the
// text. In the text "\n" stands for a line break, "\t" for a tab and "\\" for a backslash; all
// other characters, leading and trailing spaces included, belong to the text. Empty lines and
// lines starting with '#' are ignored.
//
// Each table becomes one block: the 16-bit language identifier, the 16-bit compressed length,
// the 16-bit name length and the name, then the compressed image (32-bit unpacked size and the
// LZ77 coded bytes). The image is a Win32 .res file: the customary empty entry, then one
// string-table entry per group of 16 identifiers, each holding 16 counted UTF-16 strings. The
// blocks are written one after another, as the language resource holds them; with --cpp the
// output is a C++ source defining archive::kBuiltInMessageBlock instead.
//
// The output depends on nothing but the inputs, so every build of every target produces the
// same bytes. This is a host tool: it uses the standard library only.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// The runtime refuses images of this size or more.
constexpr size_t kImageLimit = 50000;
// The decoder's window: 4096 bytes, writing starts at 0xFF0.
constexpr unsigned kWindowSize = 4096;
constexpr unsigned kWindowStart = 0xFF0;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

void Put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Strict UTF-8 to UTF-16: a table that is not well-formed is an error, not a '?'.
std::u16string DecodeUtf8(const std::string& s, const std::string& where) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if (c >= 0xC2 && c < 0xE0) {
            cp = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            cp = c & 0x07;
            extra = 3;
        } else {
            Fail(where + ": malformed UTF-8");
        }
        if (i + extra >= s.size()) Fail(where + ": truncated UTF-8");
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) Fail(where + ": malformed UTF-8");
            cp = (cp << 6) | (t & 0x3F);
        }
        const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            Fail(where + ": malformed UTF-8");
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::string Unescape(const std::string& s, const std::string& where) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out.push_back(s[i]);
            continue;
        }
        if (++i == s.size()) Fail(where + ": backslash at the end of the text");
        switch (s[i]) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                Fail(where + ": unknown escape \\" + s[i]);
        }
    }
    return out;
}

// Identifier -> text, ordered.
std::map<uint32_t, std::u16string> ReadTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(path + ": cannot open");
    std::map<uint32_t, std::u16string> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + ":" + std::to_string(number);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) Fail(where + ": expected identifier TAB text");
        uint32_t id = 0;
        for (size_t i = 0; i < tab; ++i) {
            if (line[i] < '0' || line[i] > '9' || id > 0xFFFFF) Fail(where + ": bad identifier");
            id = id * 10 + static_cast<uint32_t>(line[i] - '0');
        }
        // The table's entry names are 16-bit ordinals: identifier / 16 + 1 must fit.
        if (id / 16 + 1 > 0xFFFF) Fail(where + ": identifier too large");
        const std::u16string text = DecodeUtf8(Unescape(line.substr(tab + 1), where), where);
        // A zero count means "no string", so an empty text could never be found.
        if (text.empty()) Fail(where + ": empty text");
        if (!rows.emplace(id, text).second) Fail(where + ": duplicate identifier");
    }
    if (rows.empty()) Fail(path + ": no rows");
    return rows;
}

// One .res entry header with an ordinal type and name, padded to a 4-byte boundary.
void PutEntryHeader(Bytes& out, uint32_t dataSize, uint16_t type, uint16_t name, uint16_t flags,
                    uint16_t language) {
    Put32(out, dataSize);
    Put32(out, 32);  // HeaderSize: the fields below take 32 bytes in all
    Put16(out, 0xFFFF);
    Put16(out, type);
    Put16(out, 0xFFFF);
    Put16(out, name);
    Put32(out, 0);  // DataVersion
    Put16(out, flags);
    Put16(out, language);
    Put32(out, 0);  // Version
    Put32(out, 0);  // Characteristics
}

Bytes BuildImage(const std::map<uint32_t, std::u16string>& rows, uint16_t language,
                 const std::string& where) {
    Bytes image;
    PutEntryHeader(image, 0, 0, 0, 0, 0);  // the empty entry that starts every .res file
    constexpr uint16_t kStringTableType = 6;
    constexpr uint16_t kStringTableFlags = 0x1030;  // moveable, pure, discardable
    for (auto it = rows.begin(); it != rows.end();) {
        const uint32_t block = it->first / 16;
        Bytes data;
        for (uint32_t slot = 0; slot < 16; ++slot) {
            std::u16string text;
            if (it != rows.end() && it->first == block * 16 + slot) text = (it++)->second;
            Put16(data, static_cast<uint32_t>(text.size()));
            for (char16_t c : text) Put16(data, c);
        }
        // The reader takes only the low 16 bits of the sizes.
        if (data.size() + 32 >= 0x10000) Fail(where + ": string group too large");
        PutEntryHeader(image, static_cast<uint32_t>(data.size()), kStringTableType,
                       static_cast<uint16_t>(block + 1), kStringTableFlags, language);
        image.insert(image.end(), data.begin(), data.end());
        while (image.size() % 4) image.push_back(0);
    }
    if (image.size() >= kImageLimit) Fail(where + ": image too large");
    return image;
}

// LZ77 coding: a flag byte, then eight items whose kinds it gives from its least significant bit
// up (1 = a literal byte, 0 = a match of two bytes a, b: window offset a + (b & 0xF0) * 16,
// length (b & 0x0F) + 3). Offsets are positions in the decoder's 4096-byte window, which
// receives output byte i at (0xFF0 + i) mod 4096. A match may overlap its own output.
Bytes Compress(const Bytes& in) {
    Bytes out;
    size_t flagAt = 0;
    int bit = 8;
    for (size_t i = 0; i < in.size();) {
        if (bit == 8) {
            flagAt = out.size();
            out.push_back(0);
            bit = 0;
        }
        // The longest match, the nearest one on a tie. A source byte older than 4095 bytes has
        // been overwritten in the window by the time the copy reaches it.
        size_t bestLength = 0, bestFrom = 0;
        const size_t oldest = i >= kWindowSize - 1 ? i - (kWindowSize - 1) : 0;
        for (size_t from = i; from-- > oldest;) {
            size_t length = 0;
            while (length < kMaxMatch && i + length < in.size() &&
                   in[from + length] == in[i + length])
                ++length;
            if (length > bestLength) {
                bestLength = length;
                bestFrom = from;
                if (length == kMaxMatch) break;
            }
        }
        if (bestLength >= kMinMatch) {
            const unsigned offset = (kWindowStart + bestFrom) % kWindowSize;
            out.push_back(static_cast<unsigned char>(offset & 0xFF));
            out.push_back(static_cast<unsigned char>(((offset >> 4) & 0xF0) | (bestLength - 3)));
            i += bestLength;
        } else {
            out[flagAt] |= static_cast<unsigned char>(1u << bit);
            out.push_back(in[i++]);
        }
        ++bit;
    }
    return out;
}

Bytes BuildBlock(const std::string& languageText, const std::string& name,
                 const std::string& tablePath) {
    char* end = nullptr;
    const unsigned long language = std::strtoul(languageText.c_str(), &end, 10);
    if (languageText.empty() || *end || language < 1 || language > 0xFFFF)
        Fail("bad language identifier '" + languageText + "'");
    if (name.empty() || name.size() > 0xFFFF) Fail("bad language name '" + name + "'");
    const Bytes image =
        BuildImage(ReadTable(tablePath), static_cast<uint16_t>(language), tablePath);
    const Bytes coded = Compress(image);
    if (coded.size() + 4 > 0xFFFF) Fail(tablePath + ": compressed image too large");
    Bytes block;
    Put16(block, static_cast<uint32_t>(language));
    Put16(block, static_cast<uint32_t>(coded.size() + 4));
    Put16(block, static_cast<uint32_t>(name.size()));
    block.insert(block.end(), name.begin(), name.end());
    Put32(block, static_cast<uint32_t>(image.size()));
    block.insert(block.end(), coded.begin(), coded.end());
    return block;
}

std::string CppSource(const Bytes& block, const std::string& tablePath) {
    const std::string table = tablePath.substr(tablePath.find_last_of("/\\") + 1);
    std::ostringstream s;
    s << "// Generated by MakeMessageBlock from " << table << ". Do not edit.\n"
      << "#include <cstddef>\n\n"
      << "namespace archive {\n\n"
      << "extern const unsigned char kBuiltInMessageBlock[];\n"
      << "extern const size_t kBuiltInMessageBlockSize;\n\n"
      << "const unsigned char kBuiltInMessageBlock[] = {";
    for (size_t i = 0; i < block.size(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X,", block[i]);
        s << (i % 16 == 0 ? "\n    " : " ") << hex;
    }
    s << "\n};\n"
      << "const size_t kBuiltInMessageBlockSize = sizeof kBuiltInMessageBlock;\n\n"
      << "}  // namespace archive\n";
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--lz77") {
        // A file coded as the component's resources carry a compressed image: its size as a
        // 32-bit word, then the coded bytes.
        if (args.size() != 3) {
            std::cerr << "usage: MakeMessageBlock --lz77 <output> <input>\n";
            return 2;
        }
        std::ifstream in(args[2], std::ios::binary);
        const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::cerr << "MakeMessageBlock: " << args[2] << ": cannot read\n";
            return 1;
        }
        Bytes coded;
        Put32(coded, static_cast<uint32_t>(image.size()));
        const Bytes body = Compress(image);
        coded.insert(coded.end(), body.begin(), body.end());
        std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(coded.data()),
                  static_cast<std::streamsize>(coded.size()));
        out.close();
        if (!out) {
            std::remove(args[1].c_str());
            std::cerr << "MakeMessageBlock: " << args[1] << ": cannot write\n";
            return 1;
        }
        return 0;
    }
    const bool cpp = !args.empty() && args[0] == "--cpp";
    if (cpp) args.erase(args.begin());
    if (args.size() < 4 || (args.size() - 1) % 3 != 0 || (cpp && args.size() != 4)) {
        std::cerr << "usage: MakeMessageBlock [--cpp] <output> <language> <name> <table> "
                     "[<language> <name> <table>...]\n";
        return 2;
    }
    const std::string output = args[0];
    try {
        Bytes blocks;
        for (size_t i = 1; i < args.size(); i += 3) {
            const Bytes block = BuildBlock(args[i], args[i + 1], args[i + 2]);
            blocks.insert(blocks.end(), block.begin(), block.end());
        }
        const std::string content =
            cpp ? CppSource(blocks, args[3]) : std::string(blocks.begin(), blocks.end());
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::remove(output.c_str());
            Fail(output + ": cannot write");
        }
    } catch (const std::exception& e) {
        std::cerr << "MakeMessageBlock: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
