// Firewall authorization: the diagnostic lines and the changes made, through a fake firewall
// for the states a machine will not produce, and through the machine's own firewall.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
// COM builds on windows.h.
#include <objbase.h>
#endif

#include <map>
#include <utility>
#include <vector>

#include "app/Firewall.h"

namespace {

const std::u16string kFolder = u"C:\\Solvenza";
const std::string kProduct = "C:\\Solvenza\\ivoxcc.exe";
const std::string kClient = "C:\\Solvenza\\voxTram.exe";
constexpr FwResult kFail = static_cast<FwResult>(0x80004005u);  // E_FAIL
constexpr FwResult kNotFound =
    static_cast<FwResult>(0x80070002u);  // what Item gives an unlisted program

std::string Enabled(const std::string& p) {
    return "Authorized application " + p + " is enabled in the firewall.\n";
}
std::string Disabled(const std::string& p) {
    return "Authorized application " + p + " is disabled in the firewall.\n";
}
std::string NowEnabled(const std::string& p) {
    return "Authorized application " + p + " is now enabled in the firewall.\n";
}

// A firewall held in memory. It counts the objects it has handed out that are still alive, and
// remembers how many were alive when COM was uninitialised.
class FakeFirewall : public FirewallHost {
public:
    FwResult initResult = kFwOk;
    bool hasManager = true;
    std::map<std::u16string, bool> listed;  // program file -> enabled
    std::u16string failAddFor;
    std::vector<std::pair<std::u16string, std::u16string>> added;  // program file, name
    int initCalls = 0, uninitCalls = 0, managersMade = 0, alive = 0, aliveAtUninit = -1;

    struct Object {
        explicit Object(FakeFirewall& f) : fw(f) { ++fw.alive; }
        virtual ~Object() { --fw.alive; }
        FakeFirewall& fw;
    };
    struct Entry : FirewallEntry, Object {
        Entry(FakeFirewall& f, bool on) : Object(f), enabled(on) {}
        FwResult GetEnabled(bool& e) override { return e = enabled, kFwOk; }
        FwResult PutProcessImageFileName(const ComString& p) override {
            return path = p.Text(), kFwOk;
        }
        FwResult PutName(const ComString& n) override { return name = n.Text(), kFwOk; }
        bool enabled;
        std::u16string path, name;
    };
    struct Apps : FirewallApplications, Object {
        using Object::Object;
        FwResult Item(const ComString& p, std::unique_ptr<FirewallEntry>& e) override {
            auto it = fw.listed.find(p.Text());
            if (it == fw.listed.end()) return kNotFound;
            e = std::make_unique<Entry>(fw, it->second);
            return kFwOk;
        }
        FwResult Add(FirewallEntry& e) override {
            auto& entry = dynamic_cast<Entry&>(e);
            if (entry.path == fw.failAddFor) return kFail;
            fw.added.emplace_back(entry.path, entry.name);
            fw.listed[entry.path] = true;
            return kFwOk;
        }
    };
    struct Profile : FirewallProfile, Object {
        using Object::Object;
        FwResult GetAuthorizedApplications(std::unique_ptr<FirewallApplications>& a) override {
            a = std::make_unique<Apps>(fw);
            return kFwOk;
        }
    };
    struct Policy : FirewallPolicy, Object {
        using Object::Object;
        FwResult GetCurrentProfile(std::unique_ptr<FirewallProfile>& p) override {
            p = std::make_unique<Profile>(fw);
            return kFwOk;
        }
    };
    struct Manager : FirewallManager, Object {
        using Object::Object;
        FwResult GetLocalPolicy(std::unique_ptr<FirewallPolicy>& p) override {
            p = std::make_unique<Policy>(fw);
            return kFwOk;
        }
    };

    FwResult InitializeCom() override { return ++initCalls, initResult; }
    void UninitializeCom() override { ++uninitCalls, aliveAtUninit = alive; }
    FwResult CreateManager(std::unique_ptr<FirewallManager>& m) override {
        ++managersMade;
        if (!hasManager) return kFwClassNotRegistered;
        m = std::make_unique<Manager>(*this);
        return kFwOk;
    }
    FwResult CreateEntry(std::unique_ptr<FirewallEntry>& e) override {
        e = std::make_unique<Entry>(*this, false);
        return kFwOk;
    }
};

std::string Authorize(FirewallHost& host) {
    testing::internal::CaptureStdout();
    AuthorizeFirewall(kFolder, host);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(Firewall, EnabledProgramsAreLeftAsTheyAre) {
    FakeFirewall fw;
    fw.listed = {{u"C:\\Solvenza\\ivoxcc.exe", true}, {u"C:\\Solvenza\\voxTram.exe", true}};
    EXPECT_EQ(Authorize(fw), Enabled(kProduct) + Enabled(kClient));
    EXPECT_TRUE(fw.added.empty());
    EXPECT_EQ(fw.uninitCalls, 1);
    EXPECT_EQ(fw.aliveAtUninit, 0) << "firewall objects still held when COM went away";
}

TEST(Firewall, DisabledOrUnlistedProgramsAreAddedUnderTheirNames) {
    FakeFirewall fw;
    fw.listed = {{u"C:\\Solvenza\\ivoxcc.exe", false}};
    EXPECT_EQ(Authorize(fw),
              Disabled(kProduct) + NowEnabled(kProduct) + Disabled(kClient) + NowEnabled(kClient));
    using Added = std::vector<std::pair<std::u16string, std::u16string>>;
    EXPECT_EQ(fw.added, (Added{{u"C:\\Solvenza\\ivoxcc.exe", u"Quillora Solvenza Accounting"},
                               {u"C:\\Solvenza\\voxTram.exe", u"Solvenza Client"}}));
    EXPECT_EQ(fw.aliveAtUninit, 0);
    EXPECT_EQ(fw.alive, 0);
}

TEST(Firewall, AFailureWithTheFirstProgramStillAuthorizesTheSecond) {
    FakeFirewall fw;
    fw.failAddFor = u"C:\\Solvenza\\ivoxcc.exe";
    EXPECT_EQ(Authorize(fw), Disabled(kProduct) + "Add failed: 0x80004005\n" + Disabled(kClient) +
                                 NowEnabled(kClient));
    EXPECT_EQ(fw.added.size(), 1u);
    EXPECT_EQ(fw.alive, 0);
}

TEST(Firewall, NoFirewallManagerGivesTwoLinesAndBalancesCom) {
    FakeFirewall fw;
    fw.hasManager = false;
    EXPECT_EQ(
        Authorize(fw),
        "CoCreateInstance failed: 0x80040154\nWindowsFirewallInitialize failed: 0x80040154\n");
    EXPECT_EQ(fw.initCalls, 1);
    EXPECT_EQ(fw.uninitCalls, 1);
}

TEST(Firewall, ComInAnotherModelIsUsedButNotUninitialised) {
    FakeFirewall fw;
    fw.initResult = kFwChangedMode;
    EXPECT_EQ(Authorize(fw),
              Disabled(kProduct) + NowEnabled(kProduct) + Disabled(kClient) + NowEnabled(kClient));
    EXPECT_EQ(fw.uninitCalls, 0);
    EXPECT_EQ(fw.alive, 0);
}

TEST(Firewall, ComThatDoesNotInitialiseStopsEverything) {
    FakeFirewall fw;
    fw.initResult = kFwOutOfMemory;
    EXPECT_EQ(Authorize(fw), "CoInitializeEx failed: 0x8007000e\n");
    EXPECT_EQ(fw.managersMade, 0);
    EXPECT_EQ(fw.uninitCalls, 0);
}

TEST(Firewall, AnEmptyNameIsNotAdded) {
    FakeFirewall fw;
    std::unique_ptr<FirewallProfile> profile;
    testing::internal::CaptureStdout();
    ASSERT_EQ(WindowsFirewallInitialize(fw, profile), kFwOk);
    EXPECT_EQ(WindowsFirewallAddApp(fw, *profile, u"C:\\x.exe", u""), kFwOutOfMemory);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              Disabled("C:\\x.exe") + "SysAllocString failed: 0x8007000e\n");
    EXPECT_TRUE(fw.added.empty());
}

// The machine's own firewall. Linux has none: the manager is missing. Wine's firewall keeps no
// list: every program reads as listed but disabled, and an added one is not remembered.
TEST(Firewall, MachineFirewall) {
    const std::string wine =
        Disabled(kProduct) + NowEnabled(kProduct) + Disabled(kClient) + NowEnabled(kClient);
#if defined(_WIN32)
    EXPECT_EQ(Authorize(SystemFirewall()), wine);

    // The thread's COM set up multithreaded: the work uses it and leaves it set up.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(Authorize(SystemFirewall()), wine);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "COM was uninitialised";
    CoUninitialize();
    CoUninitialize();
#else
    (void)wine;
    EXPECT_EQ(
        Authorize(SystemFirewall()),
        "CoCreateInstance failed: 0x80040154\nWindowsFirewallInitialize failed: 0x80040154\n");
#endif
}
