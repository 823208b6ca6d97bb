#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "archive/ZipFormat.h"

using namespace archive;

TEST(ZipFormat, SpecifiersOfTheMessageTexts) {
    EXPECT_EQ(ZipFormat("Busy + %s", {"x"}), "Busy + x");
    EXPECT_EQ(ZipFormat("Index (%d) outside range 1..%d", {-4, 12}),
              "Index (-4) outside range 1..12");
    EXPECT_EQ(ZipFormat("volume %.1d of %.1d", {0, 5}), "volume 0 of 5");
    EXPECT_EQ(ZipFormat(" %d.%2.2d.%2.2d.%2.2d ", {1, 7, 9, 10}), " 1.07.09.10 ");
    EXPECT_EQ(ZipFormat("  <%X : %s>", {0x1F, "denied"}), "  <1F : denied>");
    EXPECT_EQ(ZipFormat("hres=%lx %lu. psl=%lx.", {0x80004005u, 0x80004005u, 0}),
              "hres=80004005 2147500037. psl=0.");
    EXPECT_EQ(ZipFormat("0x%08lx", {0x1234}), "0x00001234");
    EXPECT_EQ(ZipFormat("100%% of %s", {"it"}), "100% of it");
    EXPECT_EQ(ZipFormat("no specifiers", {}), "no specifiers");
    EXPECT_EQ(ZipFormat("%S and %D", {"upper", 3}), "upper and 3");
}

TEST(ZipFormat, WidthPrecisionIndexAndStarFields) {
    EXPECT_EQ(ZipFormat("[%5s|%-5s|%.2s]", {"ab", "cd", "efgh"}), "[   ab|cd   |ef]");
    EXPECT_EQ(ZipFormat("[%4d|%-4d|%04d|%+d]", {7, 7, 7, 7}), "[   7|7   |0007|+7]");
    EXPECT_EQ(ZipFormat("[%*d|%-*d|%.*d]", {3, 1, 3, 2, 3, 4}), "[  1|2  |004]");
    EXPECT_EQ(ZipFormat("[%*s]", {-3, "a"}), "[a  ]");  // a negative width left-justifies
    EXPECT_EQ(ZipFormat("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(ZipFormat("%s", {std::string("with\nbreak")}), "with\nbreak");
    EXPECT_EQ(ZipFormat("%s", {'c'}), "c");
}

TEST(ZipFormat, IntegersKeepTheirOwnWidth) {
    EXPECT_EQ(ZipFormat("%X %u", {-1, -1}), "FFFFFFFF 4294967295");
    EXPECT_EQ(ZipFormat("%X", {int64_t{-1}}), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(ZipFormat("%d", {uint64_t{18446744073709551615u}}), "18446744073709551615");
    EXPECT_EQ(ZipFormat("%d %x", {int64_t{-5000000000}, uint16_t{0xBEEF}}), "-5000000000 beef");
    EXPECT_EQ(ZipFormat("%#x", {255}), "0xff");
}

TEST(ZipFormat, ArgumentsThatDoNotFitRaiseAndSurplusOnesAreIgnored) {
    EXPECT_EQ(ZipFormat("%d", {1, "surplus", 3}), "1");
    for (const auto& [format, args] : std::initializer_list<std::pair<const char*, FormatArgs>>{
             {"%d", {"text"}},     // text for an integer
             {"%s", {5}},          // integer for a text
             {"%d %d", {1}},       // missing argument
             {"%f", {1}},          // no such conversion for these arguments
             {"trailing %", {1}},  // specifier cut off
             {"%5", {1}},          // no conversion character
             {"%ls", {"wide"}},    // texts are 8-bit
             {"%05s", {"zero"}},   // numeric flag on a text
             {"%+u", {1}},         // a sign on an unsigned number
             {"%*d", {"w", 1}},    // a star field takes an integer
             {"%99999d", {1}},     // a field beyond any sensible width
             {"%3:d", {1}},        // an index past the arguments
         }) {
        EXPECT_THROW(ZipFormat(format, args), EFormatError) << format;
    }
    try {
        ZipFormat("Busy + %d", {"x"});
        FAIL();
    } catch (const ui::Exception& e) {
        EXPECT_EQ(e.Message(), "Format 'Busy + %d' invalid or incompatible with argument");
    }
    try {
        ZipFormat("%s and %s", {"one"});
        FAIL();
    } catch (const EFormatError& e) {
        EXPECT_EQ(e.Message(), "No argument for format '%s and %s'");
    }
}
