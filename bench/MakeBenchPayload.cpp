// Writes payload archives of a realistic size for the install benchmark, into a folder, as
// cacfile.zip and firebird.zip (the names SETUP_PAYLOAD_DIR wants):
//
//   setup_bench_payload <folder>
//
// The product archive has the demo's 71 flat entries (the report template names come from
// resources/payload/cacfile.txt), all encrypted with the archive password: ivoxcc.exe of
// 25,466,880 bytes, fb_gds32.dll of 548,864, voxTram.exe of 1,438,208, all three deflated and
// made of program-like bytes, and the 68 templates as text of a few tens of kilobytes. The
// server archive has the demo's 44 entries under Firebird-2.1.1.1/ with program-like files of
// about the server's sizes, the demo's text files and install script, and two installer
// packages stored as they come (incompressible); the second one is sized so the archive is
// exactly 7,350,417 bytes.
//
// The bytes are the same on every run. An archive already in the folder with the same bytes is
// left alone, so a build that embeds it does not link again.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/fixtures/ZipWriter.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Bytes;

const char* const kPassword = "Qu1ll0ra#2010";
const char* const kServer = "Firebird-2.1.1.1/";
constexpr uint64_t kServerArchiveSize = 7350417;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the archive unless the file there has the same bytes already.
void Save(const fixtures::Archive& archive, const fs::path& path) {
    std::error_code ec;
    if (fs::file_size(path, ec) == archive.bytes.size() && ReadFile(path) == archive.bytes) return;
    archive.Save(path.string());
}

uint32_t SeedOf(const std::string& name) {
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h;
}

// Text that compresses like a report template: lines of field names, captions and numbers.
Bytes TextLike(size_t size, uint32_t seed) {
    static const char* const kWords[] = {
        "Band",   "Field",     "Caption", "Left",   "Top",      "Width",   "Height",  "Font",
        "Bold",   "TaiKhoan",  "SoTien",  "NgayCT", "DienGiai", "MaKhach", "TenHang", "SoLuong",
        "DonGia", "ThanhTien", "No",      "Co",     "Tong",     "Cong",    "Trang",   "Ky"};
    std::mt19937 random(seed);
    Bytes out;
    out.reserve(size + 64);
    while (out.size() < size) {
        std::string line = "  ";
        const int words = 3 + static_cast<int>(random() % 6);
        for (int i = 0; i < words; ++i) {
            line += kWords[random() % (sizeof kWords / sizeof kWords[0])];
            line += random() % 3 == 0 ? " = " + std::to_string(random() % 2000) + ";" : " ";
        }
        line += "\r\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(size);
    return out;
}

// Bytes that do not compress, as an installer package's cabinet.
Bytes Noise(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(size);
    for (uint8_t& b : out) b = static_cast<uint8_t>(random());
    return out;
}

fixtures::Entry Encrypted(const std::string& name, Bytes data, uint16_t method) {
    fixtures::Entry e;
    e.name = name;
    e.data = std::move(data);
    e.method = method;
    e.password = kPassword;
    e.header_seed = SeedOf(name);
    return e;
}

// The report template names of the demo listing, in its order.
std::vector<std::pair<std::string, size_t>> Templates(const fs::path& listing) {
    std::ifstream in(listing);
    if (!in) throw std::runtime_error("cannot read " + listing.string());
    std::vector<std::pair<std::string, size_t>> names;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string method, name, content;
        if (!(fields >> method >> name >> content) || method[0] == '#') continue;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mbc") == 0 &&
            content.rfind("text:", 0) == 0)
            names.emplace_back(name, std::stoul(content.substr(5)));
    }
    return names;
}

fixtures::Archive ProductArchive(const fs::path& listings) {
    fixtures::ZipWriter zip;
    zip.Add(Encrypted("ivoxcc.exe", bench::ExecutableLike(25466880), fixtures::kDeflated));
    zip.Add(Encrypted("fb_gds32.dll", bench::ExecutableLike(548864, 32), fixtures::kDeflated));
    zip.Add(Encrypted("voxTram.exe", bench::ExecutableLike(1438208, 7), fixtures::kDeflated));
    const auto templates = Templates(listings / "cacfile.txt");
    if (templates.size() != 68)
        throw std::runtime_error("cacfile.txt names " + std::to_string(templates.size()) +
                                 " templates, not 68");
    // Eight times the demo's sizes: 13 to 75 KB.
    for (const auto& [name, size] : templates)
        zip.Add(Encrypted(name, TextLike(size * 8, SeedOf(name)), fixtures::kDeflated));
    return zip.Build();
}

// The server tree: folders, files of the server's sizes, and `padding` bytes in the last
// installer package.
fixtures::Archive ServerArchive(const fs::path& listings, size_t padding) {
    struct File {
        const char* name;
        size_t size;  // 0: the demo's own file beside the listing
        char kind;    // 'x' program-like, 't' text-like (also the database), 's' stored noise
    };
    static const File kFiles[] = {
        {"aliases.conf", 0, 't'},
        {"firebird.conf", 0, 't'},
        {"firebird.msg", 90112, 'x'},
        {"security2.fdb", 720896, 't'},
        {"readme.txt", 0, 't'},
        {"WhatsNew.txt", 98304, 't'},
        {"bin/install_super.bat", 0, 't'},
        {"bin/fbserver.exe", 2318336, 'x'},
        {"bin/fbguard.exe", 65536, 'x'},
        {"bin/fbclient.dll", 438272, 'x'},
        {"bin/fbembed.dll", 2342912, 'x'},
        {"bin/ib_util.dll", 36864, 'x'},
        {"bin/gbak.exe", 192512, 'x'},
        {"bin/gfix.exe", 81920, 'x'},
        {"bin/gsec.exe", 81920, 'x'},
        {"bin/gstat.exe", 86016, 'x'},
        {"bin/gpre.exe", 368640, 'x'},
        {"bin/gsplit.exe", 16384, 'x'},
        {"bin/isql.exe", 208896, 'x'},
        {"bin/nbackup.exe", 90112, 'x'},
        {"bin/qli.exe", 278528, 'x'},
        {"bin/fbsvcmgr.exe", 69632, 'x'},
        {"bin/fb_lock_print.exe", 65536, 'x'},
        {"bin/instsvc.exe", 65536, 'x'},
        {"bin/instreg.exe", 40960, 'x'},
        {"bin/instclient.exe", 57344, 'x'},
        {"bin/icudt30.dll", 974848, 'x'},
        {"bin/icuin30.dll", 282624, 'x'},
        {"bin/icuuc30.dll", 352256, 'x'},
        {"bin/msvcp80.dll", 409600, 'x'},
        {"bin/msvcr80.dll", 471040, 'x'},
        {"bin/Microsoft.VC80.CRT.manifest", 0, 't'},
        {"intl/fbintl.dll", 368640, 'x'},
        {"intl/fbintl.conf", 0, 't'},
        {"udf/ib_udf.dll", 32768, 'x'},
        {"udf/fbudf.dll", 40960, 'x'},
        {"udf/ib_udf.sql", 0, 't'},
        {"udf/fbudf.sql", 0, 't'},
        {"system32/vccrt8_Win32.msi", 626688, 's'},
        {"system32/vccrt8_x64.msi", 0, 's'},
    };
    fixtures::ZipWriter zip;
    for (const char* folder : {"bin/", "intl/", "system32/", "udf/"})
        zip.Add(fixtures::FolderEntry(std::string(kServer) + folder));
    for (const File& f : kFiles) {
        const std::string name = std::string(kServer) + f.name;
        fixtures::Entry e;
        e.name = name;
        e.method = f.kind == 's' ? fixtures::kStored : fixtures::kDeflated;
        const fs::path own = listings / name;
        if (f.kind == 's')
            e.data = Noise(f.size ? f.size : padding, SeedOf(name));
        else if (f.size == 0 && fs::exists(own))
            e.data = ReadFile(own);
        else if (f.kind == 't')
            e.data = TextLike(f.size ? f.size : 2048, SeedOf(name));
        else
            e.data = bench::ExecutableLike(f.size, SeedOf(name));
        zip.Add(std::move(e));
    }
    return zip.Build();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <folder>\n";
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        const fs::path listings = SETUP_PAYLOAD_LISTINGS;
        fs::create_directories(folder);

        const fixtures::Archive product = ProductArchive(listings);
        Save(product, folder / "cacfile.zip");

        // A stored entry grows the archive byte for byte, so one build without the padding
        // tells how much the last package takes.
        const uint64_t bare = ServerArchive(listings, 0).bytes.size();
        if (bare > kServerArchiveSize)
            throw std::runtime_error("the server files alone take " + std::to_string(bare) +
                                     " bytes");
        const fixtures::Archive server =
            ServerArchive(listings, static_cast<size_t>(kServerArchiveSize - bare));
        if (server.bytes.size() != kServerArchiveSize || server.layout.entries.size() != 44)
            throw std::runtime_error("the server archive came out at " +
                                     std::to_string(server.bytes.size()) + " bytes");
        Save(server, folder / "firebird.zip");

        std::cout << "cacfile.zip: " << product.layout.entries.size() << " entries, "
                  << product.bytes.size()
                  << " bytes; firebird.zip: " << server.layout.entries.size() << " entries, "
                  << server.bytes.size() << " bytes\n";
    } catch (const std::exception& e) {
        std::cerr << argv[0] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
