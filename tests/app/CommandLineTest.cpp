// The administrator's command line as the program reads it: which lines are refused and what the
// accepted ones ask for, and which application folders are refused before anything is touched.
#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "platform/Console.h"
#include "platform/Text.h"

namespace {

admin::Options Parsed(const std::vector<std::string>& args) {
    admin::Options o;
    std::string problem;
    EXPECT_TRUE(admin::ParseCommandLine(args, o, problem)) << problem;
    return o;
}

TEST(CommandLine, SwitchesInEitherMannerAndCaseWithQuotedValues) {
    const admin::Options o = Parsed({"-silent", "/Dir=\"C:\\Kế toán\\\"", "/uninstall", "-LOG"});
    EXPECT_TRUE(o.silent && o.uninstall && o.log && o.dirGiven);
    EXPECT_EQ(o.dir, "C:\\Kế toán\\");
    EXPECT_EQ(o.logFile, "");
    EXPECT_EQ(Parsed({"/LOG=\"C:\\a b.log\""}).logFile, "C:\\a b.log");
    EXPECT_TRUE(Parsed({"/?"}).help);
    EXPECT_TRUE(Parsed({"-Help"}).help);
    EXPECT_FALSE(Parsed({}).silent);
}

TEST(CommandLine, SwitchesOfHabitAreAcceptedAndVerySilentIsSilent) {
    EXPECT_TRUE(Parsed({"/VERYSILENT"}).silent);
    const admin::Options o =
        Parsed({"/silent", "/SUPPRESSMSGBOXES", "/NORESTART", "/SP-", "/NOCANCEL", "/?"});
    EXPECT_TRUE(o.silent && o.help);
    EXPECT_FALSE(o.uninstall || o.dirGiven || o.log);
}

// The line as a batch file or a deployment tool writes it, split as the program splits it.
TEST(CommandLine, ALineSplitsByWindowsRulesAndAClosingQuoteAfterABackslashEndsTheValue) {
    const struct {
        const char16_t* line;
        std::vector<std::u16string> args;  // after the program's name
    } cases[] = {
        {uR"(Setup_iVOX.exe /SILENT /DIR="C:\Apps\Q T\" /LOG="C:\q.log")",
         {u"/SILENT", uR"(/DIR=C:\Apps\Q T\)", uR"(/LOG=C:\q.log)"}},
        {uR"(x /DIR="C:\Apps\Q T\")", {uR"(/DIR=C:\Apps\Q T\)"}},
        {uR"(x "/DIR=C:\Q T\\" /SILENT)", {uR"(/DIR=C:\Q T\)", u"/SILENT"}},
        // Quoted the way a program passes an argument that holds quotes (Wine, .NET).
        {uR"(x "/DIR=\"C:\Apps\Q T\\\"")", {uR"(/DIR="C:\Apps\Q T\")"}},
        {uR"(x a\\b \"c\" "d ""e"" f")", {uR"(a\\b)", uR"("c")", uR"(d "e" f)"}},
        {u"\"C:\\Cài đặt\\Setup_iVOX.exe\"\t /SILENT  ", {u"/SILENT"}},
        {u"x", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> got = platform::SplitCommandLine(c.line);
        ASSERT_FALSE(got.empty());
        got.erase(got.begin());
        EXPECT_EQ(got, c.args) << platform::Utf16ToUtf8(c.line);
    }
    EXPECT_EQ(platform::SplitCommandLine(uR"("C:\Cài đặt\Setup_iVOX.exe" /SILENT)")[0],
              uR"(C:\Cài đặt\Setup_iVOX.exe)");
}

TEST(CommandLine, UnknownSwitchesMissingAndUnwantedValuesAreRefused) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"/BOGUS"},
                                               {"C:\\Solvenza"},
                                               {"/"},
                                               {"/SILENT", "/DIR"},
                                               {"/DIR="},
                                               {"/DIR=\"\""},
                                               {"/LOG="},
                                               {"/SILENT=1"},
                                               {"/NORESTART=1"},
                                               {"/SP"},
                                               {"/SILENTLY"}}) {
        admin::Options o;
        std::string problem;
        EXPECT_FALSE(admin::ParseCommandLine(args, o, problem)) << args.back();
        EXPECT_FALSE(problem.empty()) << args.back();
    }
}

TEST(CommandLine, OnlyFullFolderPathsWithAllowedNamesAreUsable) {
    for (const char16_t* good :
         {u"C:\\Solvenza", u"D:\\Kế toán\\Quillora 10", u"C:\\a.b", u"C:\\CONSOLE", u"C:\\COM10"})
        EXPECT_EQ(admin::FolderProblem(good), "");
    for (const char16_t* bad : {u"", u"Solvenza", u"\\Solvenza", u"\\\\", u"\\\\s\\", u"1:\\x",
                                u"C:Solvenza", u"C:\\a\\\\b", u"C:\\a\\..\\b", u"C:\\a.", u"C:\\a ",
                                u"C:\\a|b", u"C:\\a?", u"C:\\a/b", u"C:\\a\tb"})
        EXPECT_NE(admin::FolderProblem(bad), "");
    EXPECT_NE(admin::FolderProblem(u"C:\\" + std::u16string(200, u'x')), "");
}

}  // namespace
