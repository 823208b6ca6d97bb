#include <gtest/gtest.h>

#include "platform/Text.h"

using namespace platform;

TEST(Text, Utf8AndUtf16RoundTripVietnameseAndAstralCharacters) {
    const std::string s = "Thư mục ứng dụng: Đóng \xF0\x9F\x98\x80";
    const std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w.substr(0, 3), u"Th\u01B0");
    EXPECT_EQ(w.size(), 25u);  // the emoji takes a surrogate pair
    EXPECT_EQ(Utf16ToUtf8(w), s);
}

TEST(Text, StrictDecodingRejectsMalformedUtf8) {
    std::u16string out = u"x";
    EXPECT_FALSE(TryUtf8ToUtf16("abc\xC3", out));          // truncated sequence
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(TryUtf8ToUtf16("\xC0\xAF", out));         // overlong slash
    EXPECT_FALSE(TryUtf8ToUtf16("\xED\xA0\x80", out));     // encoded surrogate
    EXPECT_FALSE(TryUtf8ToUtf16("\xF4\x90\x80\x80", out)); // past U+10FFFF
    EXPECT_TRUE(TryUtf8ToUtf16("C\xC3\xB4ng", out));
    EXPECT_EQ(out, u"C\u00F4ng");
    // The lenient form keeps going with a replacement character.
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFD" u"b");
}

TEST(Text, UnpairedSurrogateBecomesReplacementCharacter) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, AnsiRoundTripsPlainPaths) {
    const std::string path = "C:\\Solvenza\\ivoxcc.exe";
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(path)), path);
    EXPECT_EQ(AnsiToUtf16(path), u"C:\\Solvenza\\ivoxcc.exe");
}

TEST(Text, OemBytesMapThroughTheOemCodePage) {
    // 0x82 is e-acute and 0x81 u-diaeresis in code page 437 (and 850, the other usual OEM page).
    EXPECT_EQ(AnsiToUtf16(ConvertOemToAnsi("caf\x82")), u"caf\u00E9");
    EXPECT_EQ(ConvertAnsiToOem(ConvertOemToAnsi("\x81" "ber")), "\x81" "ber");
}

TEST(Text, CaseInsensitiveComparisonOfAsciiNames) {
    EXPECT_TRUE(SameTextAscii("zip", "ZIP"));
    EXPECT_TRUE(SameTextAscii("CacFile", "cacfile"));
    EXPECT_FALSE(SameTextAscii("zip", "zap"));
    EXPECT_FALSE(SameTextAscii("zip", "zip "));
    EXPECT_EQ(UpperAscii("TuUpd"), "TUUPD");
}

TEST(Text, LocaleComparisonFoldsLettersBeyondAscii) {
    // Entry names are looked up this way: accented letters fold too, slashes stay apart.
    EXPECT_TRUE(SameTextLocale(Utf16ToAnsi(u"\u00C4rger\\F\u00FCr.txt"),
                               Utf16ToAnsi(u"\u00E4RGER\\f\u00DCR.TXT")));
    EXPECT_FALSE(SameTextLocale("docs\\guide.txt", "docs/guide.txt"));
    EXPECT_FALSE(SameTextLocale("guide.txt", "guide.txt "));
}
