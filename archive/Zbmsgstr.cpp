#include "archive/Zbmsgstr.h"

#include <cstring>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace archive {

// Generated at build time from messages.txt by tools/msgtable/MakeMessageBlock.
extern const unsigned char kBuiltInMessageBlock[];
extern const size_t kBuiltInMessageBlockSize;

bool ByteSource::Read(void* out, size_t n) {
    if (n > Remaining()) return false;
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
}

bool ByteSource::Read16(uint16_t& out) {
    unsigned char b[2];
    if (!Read(b, 2)) return false;
    out = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool ByteSource::Read32(uint32_t& out) {
    unsigned char b[4];
    if (!Read(b, 4)) return false;
    out = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
          static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool ByteSource::Skip(size_t n) {
    if (n > Remaining()) return false;
    pos_ += n;
    return true;
}

bool ByteSource::Take(size_t n, ByteSource& part) {
    if (n > Remaining()) return false;
    part = ByteSource(data_ + pos_, n);
    pos_ += n;
    return true;
}

Lz77Status LZ77Extract(ByteSource& source, uint32_t compressedLength,
                       std::vector<unsigned char>& out) {
    out.clear();
    uint32_t size = 0;
    if (!source.Read32(size)) return Lz77Status::kTruncated;
    // The budget counts the coded bytes down to 4; the size field is not charged to it. Without
    // a length the coded bytes run to the end of the source.
    const bool limited = compressedLength != 0;
    int64_t budget = limited ? compressedLength : 2147483647;
    auto next = [&](unsigned char& b) {
        if (budget <= 4 || !source.ReadByte(b)) return false;
        --budget;
        return true;
    };

    constexpr unsigned kMask = 4095;
    unsigned char window[kMask + 1] = {};
    unsigned write = 0xFF0;
    size_t written = 0;  // window positions filled so far, up to the window size
    uint64_t produced = 0;
    // Output beyond the declared size is counted, not kept: it fails the size check anyway.
    auto emit = [&](unsigned char c) {
        if (produced++ < size) out.push_back(c);
        window[write] = c;
        write = (write + 1) & kMask;
        if (written <= kMask) ++written;
    };
    auto filled = [&](unsigned at) { return written > kMask || ((at - 0xFF0) & kMask) < written; };

    Lz77Status failure = Lz77Status::kOk;
    unsigned char flags;
    while (failure == Lz77Status::kOk && next(flags)) {
        for (int bit = 0; bit < 8; ++bit) {
            unsigned char a, b;
            if (flags >> bit & 1) {
                if (!next(a)) break;
                emit(a);
                continue;
            }
            if (!next(a)) break;
            if (!next(b)) {
                failure = Lz77Status::kTruncated;
                break;
            }
            unsigned from = a + (b & 0xF0u) * 16;
            for (unsigned n = (b & 0x0Fu) + 3; n > 0; --n) {
                if (!filled(from)) {
                    failure = Lz77Status::kBadReference;
                    break;
                }
                emit(window[from]);
                from = (from + 1) & kMask;
            }
            if (failure != Lz77Status::kOk) break;
        }
    }
    const bool allUsed = limited ? budget == 4 : source.Remaining() == 0;
    if (failure == Lz77Status::kOk && !allUsed) failure = Lz77Status::kTruncated;
    if (failure == Lz77Status::kOk && produced != size) failure = Lz77Status::kSizeMismatch;
    if (failure != Lz77Status::kOk) {
        out.clear();
        out.shrink_to_fit();
    }
    return failure;
}

uint16_t LoadMessageBlock(ByteSource& source, MessageTable& table) {
    table.clear();
    ByteSource at = source;
    uint16_t language = 0, length = 0, nameLength = 0;
    if (!at.Read16(language) || !at.Read16(length) || !at.Read16(nameLength)) return 0;
    ByteSource image(nullptr, 0);
    // The compressed part must at least hold its size field; decoding never reads past the
    // block's declared extent. A block must name its language: 0 would read as "not loaded".
    if (!at.Skip(nameLength) || length < 4 || !at.Take(length, image) || language == 0) return 0;
    ByteSource peek = image;
    uint32_t size = 0;
    // Refused before decoding, so a hostile size never costs memory.
    if (!peek.Read32(size) || size >= kMaxMessageImage) return 0;
    std::vector<unsigned char> bytes;
    if (LZ77Extract(image, length, bytes) != Lz77Status::kOk) return 0;
    table.resize((bytes.size() + 1) / 2 + 1);
    for (size_t i = 0; i < bytes.size(); ++i)
        table[i / 2] = static_cast<uint16_t>(table[i / 2] | bytes[i] << (i % 2 * 8));
    table.back() = 0xFFFF;
    source = at;
    return language;
}

std::string LookUpMessage(const MessageTable& table, int32_t id) {
    if (id < 0 || id / 16 + 1 > 0xFFFF) return {};
    const uint16_t block = static_cast<uint16_t>(id / 16 + 1);
    const size_t n = table.size();
    // Words before the terminator; a string must lie within them.
    const size_t end = n ? n - 1 : 0;
    for (size_t p = 0; p + 10 < n;) {
        const size_t q = (p + 1) & ~size_t{1};  // entries start on 4-byte boundaries
        if (q + 7 >= n) break;
        const size_t dataSize = table[q], headerSize = table[q + 2];
        if (dataSize + headerSize < 8) break;
        p = q + (dataSize + headerSize) / 2;
        if (table[q + 4] != 0xFFFF || table[q + 5] != 6 || table[q + 6] != 0xFFFF ||
            table[q + 7] != block)
            continue;
        size_t s = q + headerSize / 2;
        for (int k = id % 16; k > 0; --k) {
            if (s >= end) return {};
            s += table[s] + size_t{1};
        }
        if (s >= end || s + 1 + table[s] > end) return {};
        return platform::Utf16ToAnsi(
            std::u16string(table.begin() + static_cast<ptrdiff_t>(s + 1),
                           table.begin() + static_cast<ptrdiff_t>(s + 1 + table[s])));
    }
    return {};
}

namespace {

bool IsIdentifierChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The leading letters, digits and underscores of `s`, upper case; "" when a digit comes first.
std::string IdentifierPrefix(const std::string& s, size_t from) {
    if (from < s.size() && s[from] >= '0' && s[from] <= '9') return {};
    size_t to = from;
    while (to < s.size() && IsIdentifierChar(s[to])) ++to;
    return platform::UpperAscii(s.substr(from, to - from));
}

// A request read as a decimal integer: leading spaces, an optional sign, digits, nothing else.
bool ParseDecimal(const std::string& s, int64_t& value) {
    size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos) return false;
    const bool negative = s[i] == '-';
    if (s[i] == '-' || s[i] == '+') ++i;
    if (i == s.size()) return false;
    value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9' || value > 0xFFFFFFFFLL) return false;
        value = value * 10 + (s[i] - '0');
    }
    if (negative) value = -value;
    return true;
}

// One block header of the language resource.
struct BlockHeader {
    size_t offset = 0;  // of the block within the resource
    uint16_t language = 0;
    std::string name;
};

// Reads the header of the block at `pos` and moves `pos` past the block; false at the end of
// the resource or when the header does not fit in it.
bool NextBlock(const platform::ResourceBytes& resource, size_t& pos, BlockHeader& block) {
    if (pos + 8 >= resource.size) return false;
    ByteSource source(resource.data + pos, resource.size - pos);
    uint16_t length = 0, nameLength = 0;
    source.Read16(block.language);
    source.Read16(length);
    source.Read16(nameLength);
    block.name.resize(nameLength);
    if (!source.Read(block.name.data(), nameLength)) return false;
    block.offset = pos;
    pos += 6 + size_t{nameLength} + length;
    return true;
}

}  // namespace

MessageCatalog::MessageCatalog(platform::ResourceBytes builtInBlock,
                               ResourceFinder findLanguageResource)
    : builtInBlock_(builtInBlock), findLanguageResource_(std::move(findLanguageResource)) {}

const MessageTable& MessageCatalog::BuiltIn() {
    if (!builtInTried_) {
        builtInTried_ = true;
        ByteSource source(builtInBlock_);
        uint16_t language = 0;
        ByteSource peek = source;
        if (peek.Read16(language) && language == kBuiltInLanguageId)
            LoadMessageBlock(source, builtIn_);
    }
    return builtIn_;
}

std::string MessageCatalog::Load(int32_t id) {
    std::string text;
    if (!current_.empty()) text = LookUpMessage(current_, id);
    if (text.empty()) text = LookUpMessage(BuiltIn(), id);
    if (text.empty()) text = "Resource missing for " + std::to_string(id);
    return text;
}

std::string MessageCatalog::Select(const std::string& request) {
    current_.clear();
    current_.shrink_to_fit();
    currentId_ = 0;
    currentName_.clear();

    const size_t start = request.find_first_not_of(' ');
    const std::string name = start == std::string::npos ? "" : IdentifierPrefix(request, start);
    int64_t language = 0;
    if (name.size() < 2) {
        if (request == "*") {
            language = platform::UserDefaultLocale() & 0xFFFF;
        } else if (!ParseDecimal(request, language)) {
            return {};
        }
        if (language < 1 || language > 0xFFFF) return {};
    }
    if (name == "US" || language == kBuiltInLanguageId) return {};

    platform::ResourceBytes resource;
    if (!findLanguageResource_ || !findLanguageResource_(resource) || !resource.data) return {};
    BlockHeader block;
    for (size_t pos = 0; NextBlock(resource, pos, block);) {
        const bool match = language ? block.language == language ||
                                          (language < 1024 && (block.language & 0x3FF) == language)
                                    : IdentifierPrefix(block.name, 0) == name;
        if (!match) continue;
        ByteSource source(resource.data + block.offset, resource.size - block.offset);
        const uint16_t loaded = LoadMessageBlock(source, current_);
        if (!loaded) return {};
        currentId_ = loaded;
        currentName_ = block.name;
        return currentName_;
    }
    return {};
}

std::string MessageCatalog::LanguageName() const {
    return HasLanguageTable() ? currentName_ : kBuiltInLanguageName;
}

std::string MessageCatalog::LanguageInfo(int index, int info) {
    uint16_t language = kBuiltInLanguageId;
    std::string name = kBuiltInLanguageName;
    if (index == 0) {
        if (HasLanguageTable()) {
            language = currentId_;
            name = currentName_;
        }
    } else {
        platform::ResourceBytes resource;
        if (index < 0 || !findLanguageResource_ || !findLanguageResource_(resource) ||
            !resource.data)
            return "><";
        BlockHeader block;
        size_t pos = 0;
        for (int i = 0; i < index; ++i)
            if (!NextBlock(resource, pos, block)) return "><";
        language = block.language;
        name = block.name;
    }
    if (info == 0) return name;
    if (info == -1) return ZipFormat("0x%.4X", {language});
    const uint32_t locale = language == 0 || language == platform::kLocaleUserDefault
                                ? platform::kLocaleUserDefault
                                : language;
    return platform::LocaleText(locale, info);
}

platform::ResourceBytes BuiltInMessageBlock() {
    return {kBuiltInMessageBlock, kBuiltInMessageBlockSize};
}

MessageCatalog& ZipMessages() {
    static MessageCatalog catalog(BuiltInMessageBlock(), [](platform::ResourceBytes& out) {
        return platform::FindOwnResource(platform::kResourceRcData, kLanguageResourceName, out);
    });
    return catalog;
}

std::string ZipLoadStr(int32_t id) {
    return ZipMessages().Load(id);
}

std::string ZipFmtLoadStr(int32_t id, const FormatArgs& args) {
    return ZipFormat(ZipLoadStr(id), args);
}

std::string ZipSelectLanguage(const std::string& request) {
    return ZipMessages().Select(request);
}

std::string ZipGetLanguage(bool designingOrLoading, const std::string& storedLanguage) {
    return designingOrLoading ? storedLanguage : ZipMessages().LanguageName();
}

void ZipSetLanguage(bool designingOrLoading, std::string& storedLanguage,
                    const std::string& value) {
    if (designingOrLoading)
        storedLanguage = value;
    else
        ZipSelectLanguage(value);
}

std::string ZipGetLanguageInfo(int index, int info) {
    return ZipMessages().LanguageInfo(index, info);
}

}  // namespace archive
