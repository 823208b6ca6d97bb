// The component's corners where hostile input or a re-entering handler once cost too much:
// the first ZipStream block, a nested extraction, List's closing step, the numbered-part
// search, Clear and the window handle, and stage numbers out of the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "archive/ZipBuilder.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/fixtures/ZipWriter.h"
#include "tests/support/ProcessMemory.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

using testing_archives::FreshFolder;
using testing_archives::SaveArchive;

class UnsafeCornersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        folder = FreshFolder("corners");
        zip = std::make_unique<TZipBuilder>(nullptr, "ZipBuilder1");
        zip->Unattended = true;
#ifdef SETUP_ENGINE_DIR
        std::string engine = SETUP_ENGINE_DIR;
        std::replace(engine.begin(), engine.end(), '/', '\\');
        zip->DLLDirectory = "Z:" + engine;
#endif
        zip->SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            if (onMessage) onMessage();
            messages.push_back(std::to_string(code) + " " + m);
        });
    }
    void TearDown() override {
        zip.reset();
        ui::Application::Instance().Shutdown();
    }

    std::string folder;
    std::unique_ptr<TZipBuilder> zip;
    std::function<void()> onMessage;
    std::vector<std::string> messages;
};

// 6: a 4-byte entry that claims 0xFFFFFFF0 bytes costs neither 4 GiB nor an out-of-memory
// error: the first block is what its stored bytes can produce.
TEST_F(UnsafeCornersTest, AFalseSizeInTheDirectoryCostsNoMemory) {
    fixtures::ZipWriter w;
    for (uint16_t method : {fixtures::kStored, fixtures::kDeflated}) {
        fixtures::Entry e = method == fixtures::kStored ? fixtures::StoredEntry("s.txt", "tiny")
                                                        : fixtures::DeflatedEntry("d.txt", "tiny");
        e.central.uncompressed_size = 0xFFFFFFF0u;
        w.Add(e);
    }
    zip->SetFileName(SaveArchive(w.Build(), folder, "claims.zip"));
    ASSERT_EQ(zip->Count(), 2);
    const uint64_t before = testing_support::ResidentBytes();
    uint64_t peak = before;
    onMessage = [&] { peak = std::max(peak, testing_support::ResidentBytes()); };
    for (const char* name : {"s.txt", "d.txt"}) {
        messages.clear();
        EXPECT_EQ(zip->ExtractFileToStream(name), nullptr) << name;
        EXPECT_NE(zip->GetErrCode(), 10103) << name;  // out of memory
        EXPECT_FALSE(messages.empty()) << name << ": the engine says why";
    }
    EXPECT_LT(peak - before, 16u << 20) << "resident growth while the engine ran";
}

// 7: an extraction into memory started from a handler while one runs leaves ZipStream alone
// (the engine writes into its block), through the component and through the worker.
TEST_F(UnsafeCornersTest, ANestedExtractionDoesNotTouchTheRunningBlock) {
    std::string content(3 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
    fixtures::ZipWriter w;
    w.Add(fixtures::DeflatedEntry("big.txt", content));
    zip->SetFileName(SaveArchive(w.Build(), folder, "big.zip"));
    int nested = 0;
    TZipStream other;
    zip->SetOnProgress([&](ui::Component*, ProgressType, const std::string&, int64_t) {
        ++nested;
        EXPECT_EQ(zip->Worker().ExtractFileToStream("big.txt"), nullptr);
        EXPECT_EQ(zip->Worker().ExtractStreamToStream(&other, 100), nullptr);
        EXPECT_EQ(zip->ExtractFileToStream("big.txt"), nullptr);
    });
    TZipStream* out = zip->ExtractFileToStream("big.txt");
    ASSERT_NE(out, nullptr);
    EXPECT_GT(nested, 2);
    EXPECT_TRUE(std::string(out->Bytes().begin(), out->Bytes().end()) == content);
}

// 8: a handler that raises while a failed read is reported does not keep the archive open,
// half listed.
TEST_F(UnsafeCornersTest, ListClosesUpAlsoWhenTheMessageHandlerRaises) {
    fixtures::ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "one"));
    w.Add(fixtures::StoredEntry("b.txt", "two"));
    fixtures::Archive a = w.Build();
    a.Put32(a.layout.entries[1].central_position, 0x12345678);  // 11015 at the second header
    const std::string path = SaveArchive(a, folder, "damaged.zip");
    int dirUpdates = 0;
    zip->SetOnDirUpdate([&](ui::Component*) { ++dirUpdates; });
    onMessage = [] { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(zip->Worker().SetZipFileName(path), std::runtime_error);
    EXPECT_EQ(zip->Count(), 0);
    EXPECT_EQ(zip->ZipFileName(), "");
    EXPECT_EQ(zip->SFXOffset(), 0u);
    EXPECT_EQ(dirUpdates, 1);
    // Nobody holds the file any more: it can be opened for writing.
    const platform::FileHandle h = platform::FileOpen(path, platform::FileAccess::kReadWrite,
                                                      platform::FileShare::kDenyReadWrite,
                                                      platform::FileDisposition::kOpenExisting);
    EXPECT_NE(h, platform::kInvalidFileHandle);
    platform::FileClose(h);
}

// 9: when every numbered name exists and none holds an end record, the search ends after the
// last number the scheme writes (the test runner's time limit catches a search that does not).
TEST_F(UnsafeCornersTest, ThePartSearchStopsAfterTheLastNumber) {
    for (int n = 0; n <= 999; ++n) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03d", n);
        std::ofstream(platform::HostPath(folder + "\\set" + digits + ".zip")) << "no archive";
    }
    zip->SetFileName(folder + "\\set.zip");
    EXPECT_EQ(zip->Count(), 0);
}

// 10: Clear forgets the drive kind; the window handle is the main window's from the start.
TEST_F(UnsafeCornersTest, ClearForgetsTheDriveAndTheHandleIsTheMainWindows) {
    zip->SetFileName(testing_archives::SmallArchive(folder));
    ASSERT_TRUE(zip->Worker().DriveFixed());
    zip->Clear();
    EXPECT_FALSE(zip->Worker().DriveFixed());

    struct HandlePeer : ui::Peer {
        void Changed(ui::Prop) override {}
        void* NativeHandle() const override { return const_cast<HandlePeer*>(this); }
    };
    struct HandleBackend : ui::HeadlessBackend {
        std::unique_ptr<ui::Peer> CreatePeer(ui::Control&) override {
            return std::make_unique<HandlePeer>();
        }
    };
    ui::Application::Instance().Shutdown();
    ui::Application::Instance().Initialize(std::make_unique<HandleBackend>());
    // The tests' own form description, with its handlers doing nothing.
    struct Main : ui::Form {
        Main() : ui::Form("TTestForm") {}
        void RegisterHandlers(ui::HandlerTable& t) override {
            t.Add<ui::CloseEvent>("FormClose", [](ui::Component&, ui::CloseAction&) {});
            t.Add<ui::NotifyEvent>("FormDestroy", [](ui::Component&) {});
            t.Add<ui::NotifyEvent>("Boom", [](ui::Component&) {});
        }
    };
    ui::Form* main = ui::Application::Instance().CreateForm<Main>();
    ASSERT_NE(main->Handle(), nullptr);
    TZipBuilder withWindow(nullptr, "z");
    EXPECT_EQ(withWindow.WindowHandle, main->Handle());
}

// 12: a stage number from the engine far outside the table names no stage and overflows
// nothing (the sanitizer build stops at a signed overflow).
TEST_F(UnsafeCornersTest, AHugeStageNumberHasNoName) {
    std::vector<std::string> stages;
    zip->Worker().Events.OnProgressDetails = [&](ui::Component*, TProgressDetails& d) {
        stages.push_back(d.ItemName);
    };
    zip->Worker().ReportToUser(zacXItem, INT32_MAX, 10, "");
    zip->Worker().ReportToUser(zacXItem, INT32_MIN, 10, "");
    zip->Worker().ReportToUser(zacXItem, 9, 10, "");
    EXPECT_EQ(stages, (std::vector<std::string>{"", "", ZipLoadStr(kMsgLoadingDirectory)}));
}

}  // namespace
}  // namespace archive
