// The administrator's command line as the program reads it: which lines are refused and what the
// accepted ones ask for, and which application folders are refused before anything is touched.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

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
