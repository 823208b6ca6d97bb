// Shortcuts in the machine's shell folders: on Windows (under Wine) the real shell and shell
// links, elsewhere launcher files in the test's prefix.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
// The shell headers build on windows.h.
#include <shobjidl.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/Shortcuts.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "ui/Exception.h"

using platform::kCsidlDesktop;
using platform::kCsidlPrograms;

namespace {

const std::string kName = "Solvenza Quillora";
const std::string kTarget = "C:\\Solvenza\\ivoxcc.exe";

std::string Folder(int csidl) {
    std::string path;
    EXPECT_TRUE(platform::GetSpecialFolderPath(csidl, path));
    return path;
}

std::string Ext() {
    return platform::ShortcutExtension();
}

bool IsEmptyFolder(const std::string& windowsPath) {
    return std::filesystem::is_empty(platform::HostPath(windowsPath));
}

std::string Contents(const std::string& windowsPath) {
    std::ifstream in(platform::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a shortcut file holds, read back through the link object a lookup hands out.
struct Values {
    std::string path, arguments, folder, icon;
    int iconIndex = -1;
};

Values Read(ShortcutLink* link) {
    Values v;
    char buf[260];
    if (link->GetPath(buf, sizeof buf, nullptr, 0) == 0) v.path = buf;
    if (link->GetArguments(buf, sizeof buf) == 0) v.arguments = buf;
    if (link->GetWorkingDirectory(buf, sizeof buf) == 0) v.folder = buf;
    if (link->GetIconLocation(buf, sizeof buf, &v.iconIndex) == 0) v.icon = buf;
    link->Release();
    return v;
}

class Shortcuts : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& f : files_) platform::RemoveFile(f);
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) platform::RemoveFolder(*it);
    }

    // Every path a test may have written, removed afterwards.
    std::string Made(const std::string& path) { return files_.push_back(path), path; }
    // A folder of this test's own: under Wine the shell may still hold a link of an earlier test
    // open for a moment, so that test's folder can outlive its tear-down.
    static std::string OwnFolder() {
        return Folder(kCsidlPrograms) + "\\ShortcutsTest-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    std::string MadeFolder(const std::string& path) {
        EXPECT_TRUE(platform::MakeFolder(path)) << path;
        return folders_.push_back(path), path;
    }

    // The values of the shortcut `name` in `folder` as found by a lookup that creates nothing.
    static Values Lookup(const std::string& folder, const std::string& name) {
        ShortcutLink* link = nullptr;
        const std::string path =
            CreateShortcutInFolder(nullptr, "", "", "", 0, name, folder, false, &link);
        EXPECT_NE(path, "") << name;
        EXPECT_NE(link, nullptr);
        return link ? Read(link) : Values{};
    }

    std::vector<std::string> files_, folders_;
};

}  // namespace

TEST_F(Shortcuts, ExistingShortcutPointingElsewhereIsReturnedUnchanged) {
    const std::string link = Made(Folder(kCsidlDesktop) + "\\" + kName + Ext());
    ASSERT_EQ(CreateShortcutInSpecialFolder(nullptr, "C:\\Other\\other.exe", "", "", 0, kName,
                                            kCsidlDesktop, true, nullptr),
              link);
    const std::string before = Contents(link);
    ASSERT_NE(before, "");

    ShortcutLink* object = nullptr;
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, kTarget, "/x", kTarget, 0, kName,
                                            kCsidlDesktop, true, &object),
              link);
    EXPECT_EQ(Contents(link), before);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Read(object).path, platform::HostPath("C:\\Other\\other.exe"));
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, kTarget, "", "", 0, kName, kCsidlDesktop,
                                            false, nullptr),
              link);
    EXPECT_EQ(Contents(link), before);
}

TEST_F(Shortcuts, NewShortcutGetsTargetArgumentsIconAndTheTargetsFolder) {
    const std::string folder = MadeFolder(OwnFolder());
    const std::string link = Made(folder + "\\" + kName + Ext());
    EXPECT_EQ(CreateShortcutInFolder(nullptr, kTarget, "-run now", kTarget, 2, kName, folder, true,
                                     nullptr),
              link);
    Values v = Lookup(folder, kName);
    EXPECT_EQ(v.path, platform::HostPath(kTarget));
    EXPECT_EQ(v.arguments, "-run now");
    EXPECT_EQ(v.folder, platform::HostPath("C:\\Solvenza"));
    EXPECT_EQ(v.icon, platform::HostPath(kTarget));
    EXPECT_EQ(v.iconIndex, 2);

    // A target without a backslash has no folder to start in.
    const std::string bare = Made(folder + "\\Bare" + Ext());
    EXPECT_EQ(
        CreateShortcutInFolder(nullptr, "ivoxcc.exe", "", "", 0, "Bare", folder, true, nullptr),
        bare);
    v = Lookup(folder, "Bare");
    EXPECT_EQ(v.folder, "");
    EXPECT_EQ(v.arguments, "");
}

TEST_F(Shortcuts, WithoutCreateAMissingShortcutGivesNothingAndWritesNothing) {
    const std::string folder = MadeFolder(OwnFolder());
    ShortcutLink* object = reinterpret_cast<ShortcutLink*>(&object);  // stale: must be cleared
    EXPECT_EQ(
        CreateShortcutInFolder(nullptr, kTarget, "", kTarget, 0, kName, folder, false, &object),
        "");
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, kTarget, "", kTarget, 0, kName, kCsidlPrograms,
                                            false, nullptr),
              "");
    EXPECT_TRUE(IsEmptyFolder(folder));
    EXPECT_FALSE(platform::FileExists(Made(Folder(kCsidlPrograms) + "\\" + kName + Ext())));
}

TEST_F(Shortcuts, NameWithASubFolderIsCreatedThereOnlyWhenItExists) {
    const std::string sub = Folder(kCsidlPrograms) + "\\Solvenza";
    platform::RemoveFolder(sub);  // an empty one other tests of this run may have left
    ASSERT_FALSE(platform::FileExists(sub));
    const std::string link = Made(sub + "\\" + kName + Ext());
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, kTarget, "", kTarget, 0, "Solvenza\\" + kName,
                                            kCsidlPrograms, true, nullptr),
              link);
    EXPECT_FALSE(platform::FileExists(sub));
    EXPECT_FALSE(platform::FileExists(link));

    MadeFolder(sub);
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, kTarget, "", kTarget, 0, "Solvenza\\" + kName,
                                            kCsidlPrograms, true, nullptr),
              link);
    EXPECT_TRUE(platform::FileExists(link));
    EXPECT_EQ(Lookup(sub, kName).path, platform::HostPath(kTarget));
}

TEST_F(Shortcuts, DisplayNameMustMatchInLetterCase) {
    const std::string folder = MadeFolder(OwnFolder());
    Made(folder + "\\solvenza quillora" + Ext());
    ASSERT_NE(CreateShortcutInFolder(nullptr, "C:\\Other\\other.exe", "", "", 0,
                                     "solvenza quillora", folder, true, nullptr),
              "");
    EXPECT_EQ(CreateShortcutInFolder(nullptr, kTarget, "", "", 0, kName, folder, false, nullptr),
              "");
}

TEST_F(Shortcuts, AFileOfThatNameThatIsNoShortcutIsAnError) {
    const std::string folder = MadeFolder(OwnFolder());
    std::ofstream(platform::HostPath(Made(folder + "\\" + kName))) << "not a shortcut";
    try {
        CreateShortcutInFolder(nullptr, kTarget, "", "", 0, kName, folder, true, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const ui::Exception& e) {
        EXPECT_EQ(e.Message(), "Error loading the existing IShellLink");
    }
#if defined(_WIN32)
    // COM was uninitialised on the way out: the thread can take another model.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) CoUninitialize();
#endif
}

TEST_F(Shortcuts, NothingIsWrittenOutsideAFolderThatHasAPath) {
    const std::string root = Made("C:\\" + kName + Ext());
    // The control panel has no file-system path; an empty folder path names no folder.
    EXPECT_EQ(
        CreateShortcutInSpecialFolder(nullptr, kTarget, "", "", 0, kName, 0x0003, true, nullptr),
        "");
    EXPECT_EQ(CreateShortcutInFolder(nullptr, kTarget, "", "", 0, kName, "", true, nullptr), "");
    EXPECT_FALSE(platform::FileExists(root));
    // A link path longer than the shell takes is not cut short somewhere else.
    const std::string folder = MadeFolder(OwnFolder());
    const std::string longName(250, 'n');
    EXPECT_EQ(CreateShortcutInFolder(nullptr, kTarget, "", "", 0, longName, folder, true, nullptr),
              "");
    EXPECT_TRUE(IsEmptyFolder(folder));
}

TEST(ShortcutMessages, NoLinkObjectShowsTheCodeAsThirtyTwoBits) {
    EXPECT_EQ(shortcuts_internal::NoLinkObjectMessage(
                  static_cast<long>(static_cast<std::int32_t>(0x80040154u)), nullptr,
                  "Class not registered.\r\n"),
              "Couldn't get IShellLink to existing file. hres=80040154 2147746132. psl=0. : "
              "Class not registered.\r\n");
}
