#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "platform/Locale.h"
#include "platform/Resources.h"
#include "platform/Text.h"

using namespace archive;

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// The unpacked size, then every byte as a literal under flag bytes 0xFF.
Bytes LiteralStream(const Bytes& image) {
    Bytes out;
    Put32(out, static_cast<uint32_t>(image.size()));
    for (size_t i = 0; i < image.size(); ++i) {
        if (i % 8 == 0) out.push_back(0xFF);
        out.push_back(image[i]);
    }
    return out;
}

// A block holding `stream` (size field and coded bytes) with its length field off by `delta`.
Bytes Block(uint16_t language, const std::string& name, const Bytes& stream, int delta = 0) {
    Bytes b;
    Put16(b, language);
    Put16(b, static_cast<uint32_t>(static_cast<int>(stream.size()) + delta));
    Put16(b, static_cast<uint32_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

Lz77Status Extract(const Bytes& stream, uint32_t length, Bytes& out) {
    ByteSource source(stream.data(), stream.size());
    return LZ77Extract(source, length, out);
}

// The unpacked image of the built-in block.
Bytes BuiltInImage() {
    const platform::ResourceBytes block = BuiltInMessageBlock();
    ByteSource source(block);
    uint16_t language, length, nameLength;
    source.Read16(language);
    source.Read16(length);
    source.Read16(nameLength);
    source.Skip(nameLength);
    Bytes image;
    EXPECT_EQ(LZ77Extract(source, length, image), Lz77Status::kOk);
    return image;
}

std::string Ansi(const std::string& utf8) {
    return platform::Utf16ToAnsi(platform::Utf8ToUtf16(utf8));
}

// The readable table as the tests embed it: identifier TAB text, "\n" for a line break.
std::map<int32_t, std::string> ReadableRows() {
    platform::ResourceBytes r;
    EXPECT_TRUE(platform::FindOwnResource(platform::kResourceRcData, "MESSAGEROWS", r));
    const std::string text(reinterpret_cast<const char*>(r.data), r.size);
    std::map<int32_t, std::string> rows;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t tab = line.find('\t');
        std::string value;
        for (size_t i = tab + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                value += c == 'n' ? '\n' : c == 't' ? '\t' : c;
            } else {
                value += line[i];
            }
        }
        rows[std::stoi(line.substr(0, tab))] = value;
    }
    return rows;
}

// Selections of the process-wide state are undone after each test.
class Languages : public ::testing::Test {
protected:
    void TearDown() override { ZipSelectLanguage(""); }
};

}  // namespace

TEST(Lz77, LiteralOnlyStreamDecodesToItselfWithItsExactLengthOnly) {
    Bytes image;
    for (int i = 0; i < 21; ++i) image.push_back(static_cast<unsigned char>('a' + i));
    const Bytes stream = LiteralStream(image);
    const uint32_t length = static_cast<uint32_t>(stream.size());
    Bytes out;
    ASSERT_EQ(Extract(stream, length, out), Lz77Status::kOk);
    EXPECT_EQ(out, image);
    // One byte short: the last literal is never read.
    EXPECT_EQ(Extract(stream, length - 1, out), Lz77Status::kSizeMismatch);
    EXPECT_TRUE(out.empty());
    // One byte too many: the stream ends before the budget does.
    EXPECT_EQ(Extract(stream, length + 1, out), Lz77Status::kTruncated);
    EXPECT_TRUE(out.empty());
    // Without a length the source's end is the stream's end.
    EXPECT_EQ(Extract(stream, 0, out), Lz77Status::kOk);
    EXPECT_EQ(out, image);
    // A source shorter than the size field.
    EXPECT_EQ(Extract(Bytes{1, 0}, 0, out), Lz77Status::kTruncated);
}

TEST(Lz77, MatchesCopyFromTheWindowAndMayOverlapTheirOwnOutput) {
    // 'x' lands at window position 0xFF0; a match from there of length 18 repeats it.
    Bytes stream;
    Put32(stream, 19);
    stream.insert(stream.end(), {0x01, 'x', 0xF0, 0xFF});
    Bytes out;
    ASSERT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out), Lz77Status::kOk);
    EXPECT_EQ(out, Bytes(19, 'x'));

    // "abc", a match of 18 from 0xFF0 that takes the write position past the window's end,
    // then a match of 4 from window position 0x000, which holds output byte 16.
    stream.clear();
    Put32(stream, 25);
    stream.insert(stream.end(), {0x07, 'a', 'b', 'c', 0xF0, 0xFF, 0x00, 0x01});
    ASSERT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out), Lz77Status::kOk);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcabcabcabcabcabcabcbcab");
}

TEST(Lz77, MalformedMatchesFail) {
    Bytes out;
    // A copy from a window position nothing was written to.
    Bytes stream;
    Put32(stream, 3);
    stream.insert(stream.end(), {0x00, 0x00, 0x00});
    EXPECT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out),
              Lz77Status::kBadReference);
    // A copy that reaches the position being written (offset = write position 0xFF1).
    stream.clear();
    Put32(stream, 4);
    stream.insert(stream.end(), {0x01, 'x', 0xF1, 0xF0});
    EXPECT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out),
              Lz77Status::kBadReference);
    // The stream ends after the first byte of a match.
    stream.clear();
    Put32(stream, 1);
    stream.insert(stream.end(), {0x01, 'x', 0xF0});
    EXPECT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out), Lz77Status::kTruncated);
    // More output than the declared size.
    stream.clear();
    Put32(stream, 2);
    stream.insert(stream.end(), {0x01, 'x', 0xF0, 0xFF});
    EXPECT_EQ(Extract(stream, static_cast<uint32_t>(stream.size()), out),
              Lz77Status::kSizeMismatch);
    EXPECT_TRUE(out.empty());
}

TEST(MessageBlock, LoadsAndRefusesByTheDeclaredExtentAndImageSize) {
    const Bytes image = {0x01, 0x02, 0x03};
    const Bytes block = Block(1066, "VN", LiteralStream(image));
    Bytes twoBlocks = block;
    twoBlocks.insert(twoBlocks.end(), {0xAA, 0xBB});
    MessageTable table;
    ByteSource source(twoBlocks.data(), twoBlocks.size());
    ASSERT_EQ(LoadMessageBlock(source, table), 1066);
    EXPECT_EQ(table, (MessageTable{0x0201, 0x0003, 0xFFFF}));  // odd byte count rounded up
    EXPECT_EQ(source.Remaining(), 2u);                         // positioned after the block

    auto load = [&table](const Bytes& b) {
        ByteSource s(b.data(), b.size());
        table = {1, 2, 3};
        const uint16_t language = LoadMessageBlock(s, table);
        EXPECT_EQ(language == 0, table.empty());
        return language;
    };
    EXPECT_EQ(load(Bytes(block.begin(), block.end() - 1)), 0);    // shorter than declared
    EXPECT_EQ(load(Bytes(block.begin(), block.begin() + 5)), 0);  // no complete header
    EXPECT_EQ(load(Block(1066, "VN", LiteralStream(image), -1)), 0);
    EXPECT_EQ(load(Block(0, "XX", LiteralStream(image))), 0);  // no language
    Bytes sizeOnly;
    Put32(sizeOnly, 0);
    EXPECT_EQ(load(Block(1066, "VN", Bytes(sizeOnly.begin(), sizeOnly.begin() + 3))), 0);
    EXPECT_EQ(load(Block(1066, "VN", sizeOnly)), 1066);  // an empty image is a table
    EXPECT_EQ(table, MessageTable{0xFFFF});

    EXPECT_EQ(load(Block(1066, "VN", LiteralStream(Bytes(kMaxMessageImage - 1, 'a')))), 1066);
    EXPECT_EQ(table.size(), kMaxMessageImage / 2 + 1);
    EXPECT_EQ(load(Block(1066, "VN", LiteralStream(Bytes(kMaxMessageImage, 'a')))), 0);
}

TEST(MessageLookup, EveryWordReadIsWithinTheTable) {
    // One string-table entry for block 1 (identifiers 0..15): header of 32 bytes, strings
    // "", "Hi", then the rest of the table.
    const MessageTable good = {12, 0, 32, 0, 0xFFFF, 6, 0xFFFF, 1,   0, 0, 0,     0,
                               0,  0, 0,  0, 0,      2, 'H',    'i', 0, 0, 0xFFFF};
    EXPECT_EQ(LookUpMessage(good, 1), "Hi");
    EXPECT_EQ(LookUpMessage(good, 0), "");
    EXPECT_EQ(LookUpMessage(good, 16), "");  // block 2 is not there
    EXPECT_EQ(LookUpMessage(good, -15), "");
    EXPECT_EQ(LookUpMessage(good, 0x7FFFFFFF), "");
    EXPECT_EQ(LookUpMessage(MessageTable{}, 1), "");

    MessageTable t = good;
    t[17] = 6;  // the count runs over the terminator
    EXPECT_EQ(LookUpMessage(t, 1), "");
    t = good;
    t[16] = 0xFFF0;  // skipping string 0 leaves the table
    EXPECT_EQ(LookUpMessage(t, 1), "");
    t = good;
    t[2] = 0xFFF0;  // string data would start past the end
    EXPECT_EQ(LookUpMessage(t, 1), "");
    t = good;
    t[0] = 0;
    t[2] = 6;  // an entry smaller than 8 bytes ends the walk
    EXPECT_EQ(LookUpMessage(t, 1), "");
}

TEST(MessageLookup, BuiltInRowsAndMissingRows) {
    EXPECT_EQ(ZipLoadStr(10109), "not Active");
    EXPECT_EQ(ZipLoadStr(10000), "Resource missing for 10000");
    EXPECT_EQ(ZipLoadStr(-3), "Resource missing for -3");
    // Spaces at either end belong to the text.
    EXPECT_EQ(ZipLoadStr(10105), "Copying: ");
    EXPECT_EQ(ZipLoadStr(10108), " Busy, Please wait");
    EXPECT_EQ(ZipLoadStr(10125), " Unknown error %d");
    EXPECT_EQ(ZipLoadStr(11037),
              "This is the first disk in a backup set,\nplease insert the last "
              "disk of this set");
    EXPECT_EQ(ZipLoadStr(kMsgButtonBase + 3), "&Cancel");
    EXPECT_EQ(ZipLoadStr(kMsgProgressBase + 11), "*Splitting zip file");
}

TEST(MessageLookup, EveryRowOfTheReadableTableComesBackFromTheBuiltInBlock) {
    const auto rows = ReadableRows();
    EXPECT_EQ(rows.size(), 189u);
    EXPECT_EQ(rows.begin()->first, 10096);
    EXPECT_EQ(rows.rbegin()->first, 11603);
    for (const auto& [id, text] : rows) EXPECT_EQ(ZipLoadStr(id), text) << id;
    EXPECT_FALSE(rows.at(10097).empty());

    // The block: language 1033 named "US", coded with real matches.
    const platform::ResourceBytes block = BuiltInMessageBlock();
    ASSERT_GT(block.size, 8u);
    EXPECT_EQ(block.data[0] | block.data[1] << 8, 1033);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data) + 6, 2), "US");
    EXPECT_EQ(block.size, 8u + (block.data[2] | block.data[3] << 8));
    EXPECT_LT(block.size * 2, BuiltInImage().size());
}

TEST(MessageLookup, BrokenBuiltInBlockGivesTheMissingTextForEveryRow) {
    Bytes block(BuiltInMessageBlock().data,
                BuiltInMessageBlock().data + BuiltInMessageBlock().size);
    Bytes german = block;
    german[0] = 0x07;  // 1031: only a block of language 1033 is unpacked
    MessageCatalog wrongLanguage({german.data(), german.size()}, nullptr);
    EXPECT_EQ(wrongLanguage.Load(10109), "Resource missing for 10109");

    const Bytes truncated(block.begin(), block.end() - 1);
    MessageCatalog cut({truncated.data(), truncated.size()}, nullptr);
    EXPECT_EQ(cut.Load(10109), "Resource missing for 10109");

    MessageCatalog whole({block.data(), block.size()}, nullptr);
    EXPECT_EQ(whole.Load(10109), "not Active");
}

TEST(MessageLookup, FormattedRows) {
    EXPECT_EQ(ZipFmtLoadStr(10112, {"x"}), "Busy + x");
    EXPECT_EQ(ZipFmtLoadStr(11034, {2, 5}), "Please insert disk volume 2 of 5");
    EXPECT_EQ(ZipFmtLoadStr(10110, {7, 3, "surplus"}), "Index (7) outside range 1..3");
    EXPECT_EQ(ZipFmtLoadStr(10000, {1}), "Resource missing for 10000");
    EXPECT_THROW(ZipFmtLoadStr(10112, {5}), EFormatError);
    EXPECT_THROW(ZipFmtLoadStr(11034, {2}), EFormatError);
}

TEST_F(Languages, RequestsForTheBuiltInLanguageOrNothingKeepEnglish) {
    for (const char* request : {"", "US", "us: default", "1033", " 1033", "0", "65536", "-7",
                                "99999999999", "abc", "x", "1066x"}) {
        EXPECT_EQ(ZipSelectLanguage(request), "") << request;
        EXPECT_FALSE(ZipMessages().HasLanguageTable()) << request;
        EXPECT_EQ(ZipLoadStr(10109), "not Active") << request;
    }
    // "*" is the user's default language: English here unless the machine says otherwise.
    const std::string byDefault = ZipSelectLanguage("*");
    EXPECT_EQ(byDefault, ZipSelectLanguage(std::to_string(platform::UserDefaultLocale() & 0xFFFF)));
}

TEST_F(Languages, VietnameseBlockByNameIdentifierAndPrimaryLanguageWithEnglishFallback) {
    for (const char* request : {"VN", "vn", " Vn: any description", "1066", "42"}) {
        ZipSelectLanguage("");
        EXPECT_EQ(ZipSelectLanguage(request), "VN: Tieng Viet") << request;
        EXPECT_EQ(ZipMessages().LanguageId(), 1066);
        EXPECT_EQ(ZipLoadStr(10109), Ansi("không hoạt động")) << request;
    }
    EXPECT_EQ(ZipFmtLoadStr(11034, {2, 5}), Ansi("Vui lòng đưa đĩa số 2 trong 5 vào"));
    EXPECT_EQ(ZipFmtLoadStr(11035, {"A:"}), Ansi("\ntrong ổ đĩa: A:"));
    // Rows the block lacks come from the built-in table.
    EXPECT_EQ(ZipLoadStr(10110), "Index (%d) outside range 1..%d");
    EXPECT_EQ(ZipLoadStr(10000), "Resource missing for 10000");
    // A name must match the stored name's whole identifier prefix.
    EXPECT_EQ(ZipSelectLanguage("VNX"), "");
    EXPECT_EQ(ZipLoadStr(10109), "not Active");
}

TEST_F(Languages, GermanBlockIsFoundByItsLeadingLettersInAnyCase) {
    EXPECT_EQ(ZipSelectLanguage(" de: Deutsch (Deutschland)"), "de: Deutsch");
    EXPECT_EQ(ZipLoadStr(10223), "&Abbrechen");
    EXPECT_EQ(ZipLoadStr(10222), "&OK");
    EXPECT_EQ(ZipSelectLanguage("7"), "de: Deutsch");  // primary language of 1031
    EXPECT_EQ(ZipSelectLanguage("2055"), "");          // Swiss German: the identifier must be exact
    EXPECT_EQ(ZipSelectLanguage("DEU"), "");
}

TEST(LanguageResource, HostileResourcesLeaveTheBuiltInLanguage) {
    const Bytes english(BuiltInMessageBlock().data,
                        BuiltInMessageBlock().data + BuiltInMessageBlock().size);
    const Bytes image = BuiltInImage();
    auto catalogOf = [&english](const Bytes& resource) {
        return MessageCatalog({english.data(), english.size()},
                              [&resource](platform::ResourceBytes& out) {
                                  out = {resource.data(), resource.size()};
                                  return true;
                              });
    };

    // A literal copy of the English image under another name, after a block that is skipped.
    Bytes resource = Block(1036, "FR", LiteralStream({1, 2, 3, 4}));
    const Bytes copy = Block(2057, "GB_English", LiteralStream(image));
    resource.insert(resource.end(), copy.begin(), copy.end());
    MessageCatalog good = catalogOf(resource);
    EXPECT_EQ(good.Select("gb_english"), "GB_English");
    EXPECT_EQ(good.Load(10109), "not Active");
    EXPECT_EQ(good.LanguageInfo(2, -1), "0x0809");
    EXPECT_EQ(good.LanguageInfo(3, 0), "><");

    // The matching block is cut short: nothing is selected.
    resource.pop_back();
    MessageCatalog cut = catalogOf(resource);
    EXPECT_EQ(cut.Select("GB_English"), "");
    EXPECT_FALSE(cut.HasLanguageTable());
    EXPECT_EQ(cut.Load(10109), "not Active");

    // No room for a header; a name, then a compressed length, running past the end.
    for (const Bytes& r : {Bytes{0x0C, 0x04, 4, 0, 2, 0, 'F', 'R'},
                           Bytes{0x0C, 0x04, 4, 0, 200, 0, 'F', 'R', 0, 0, 0, 0},
                           Bytes{0x0C, 0x04, 0xFF, 0x7F, 2, 0, 'F', 'R', 0, 0, 0, 0}}) {
        MessageCatalog bad = catalogOf(r);
        EXPECT_EQ(bad.Select("FR"), "");
        EXPECT_EQ(bad.Select("1036"), "");
        EXPECT_EQ(bad.Load(10109), "not Active");
    }
}

TEST_F(Languages, LanguagePropertyIsStoredWhileLoadingAndSelectsAtRunTime) {
    std::string stored;
    ZipSetLanguage(true, stored, "VN");
    EXPECT_EQ(stored, "VN");
    EXPECT_FALSE(ZipMessages().HasLanguageTable());
    EXPECT_EQ(ZipGetLanguage(true, stored), "VN");
    EXPECT_EQ(ZipGetLanguage(false, stored), "US: default");

    ZipSetLanguage(false, stored, "1066");
    EXPECT_EQ(stored, "VN");  // nothing kept
    EXPECT_EQ(ZipGetLanguage(false, stored), "VN: Tieng Viet");
    ZipSetLanguage(false, stored, "US");
    EXPECT_EQ(ZipGetLanguage(false, stored), "US: default");
}

TEST_F(Languages, LanguageInfoOfTheCurrentLanguageAndOfTheResourceBlocks) {
    EXPECT_EQ(ZipGetLanguageInfo(0, 0), "US: default");
    EXPECT_EQ(ZipGetLanguageInfo(0, -1), "0x0409");
    EXPECT_EQ(ZipGetLanguageInfo(0, platform::kLocaleEnglishLanguageName), "English");
    EXPECT_EQ(ZipGetLanguageInfo(1, 0), "de: Deutsch");
    EXPECT_EQ(ZipGetLanguageInfo(1, platform::kLocaleIso639Name), "de");
    EXPECT_EQ(ZipGetLanguageInfo(2, -1), "0x042A");
    EXPECT_EQ(ZipGetLanguageInfo(2, platform::kLocaleEnglishLanguageName), "Vietnamese");
    EXPECT_EQ(ZipGetLanguageInfo(3, 0), "><");
    EXPECT_EQ(ZipGetLanguageInfo(-1, 0), "><");

    ZipSelectLanguage("vn");
    EXPECT_EQ(ZipGetLanguageInfo(0, 0), "VN: Tieng Viet");
    EXPECT_EQ(ZipGetLanguageInfo(0, -1), "0x042A");
    EXPECT_EQ(ZipGetLanguageInfo(0, platform::kLocaleIso3166Name), "VN");
}
