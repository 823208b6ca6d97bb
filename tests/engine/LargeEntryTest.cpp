// Encrypted entries large enough that the engine deciphers them on a second thread while it
// inflates: the content must come out whole into memory and files, every callback must come on
// the thread that called the engine, and every way an entry can fail or a run can stop must end
// the entry cleanly, with no file left and nothing written past the memory block.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "tests/engine/EngineFolderTest.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

using namespace engine_test;
using fixtures::Bytes;

namespace {

constexpr const char* kPassword = "Qu1ll0ra#2010";

// About 4 MB that deflates to about 40%: runs of noise, padding and repeated code bytes. Each
// stored chunk then inflates to more than the engine's pieces of output, so a piece can end,
// and a callback run, with a chunk only partly inflated.
const Bytes& Content() {
    static const Bytes content = [] {
        std::mt19937 random(2010);
        Bytes out;
        while (out.size() < 4000000) {
            const uint32_t kind = random() % 3;
            const size_t run = 64 + random() % 960;
            for (size_t i = 0; i < run; ++i)
                out.push_back(kind == 0   ? static_cast<uint8_t>(random())
                              : kind == 1 ? static_cast<uint8_t>(i % 7 == 0 ? random() % 16 : 0x90)
                                          : static_cast<uint8_t>("\x55\x8B\xEC\x83"[i % 4]));
        }
        return out;
    }();
    return content;
}

fixtures::Entry Encrypted(const std::string& name, uint16_t method) {
    fixtures::Entry e;
    e.name = name;
    e.data = Content();
    e.method = method;
    e.password = kPassword;
    return e;
}

class LargeEntryTest : public EngineFolderTest {
protected:
    std::string Save(const fixtures::Archive& archive) {
        return EngineFolderTest::Save(archive, "large.zip");
    }
    // One entry to the destination folder with the password.
    Job ToFolder(Recorder& recorder, const std::string& archive) {
        Job job(recorder, archive);
        job.base = out_;
        job.password = kPassword;
        job.overwrite = 1;
        return job;
    }
    // One entry into a block of `size` bytes followed by guard bytes.
    Job ToMemory(Recorder& recorder, const std::string& archive, const std::string& name,
                 uint32_t size) {
        Job job(recorder, archive);
        job.toMemory = true;
        job.patterns = {name};
        job.outputSize = size;
        job.slack = 64;
        job.password = kPassword;
        return job;
    }
    static bool GuardIntact(const Recorder& recorder, size_t size) {
        return recorder.block.size() == size + 64 &&
               Bytes(recorder.block.begin() + static_cast<long>(size), recorder.block.end()) ==
                   Bytes(64, 0xAA);
    }
};

}  // namespace

TEST_F(LargeEntryTest, DeflatedAndStoredComeOutWholeWithEveryCallbackOnTheCallingThread) {
    fixtures::ZipWriter w;
    w.Add(Encrypted("deflated.exe", fixtures::kDeflated));
    w.Add(Encrypted("stored.exe", fixtures::kStored));
    const fixtures::Archive archive = w.Build();
    // Well above the half megabyte from which the engine deciphers on a second thread.
    ASSERT_GT(archive.layout.entries[0].compressed_size, 1500000u);
    const std::string path = Save(archive);
    const size_t size = Content().size();

    const std::thread::id caller = std::this_thread::get_id();
    int otherThreads = 0;
    const auto sameThread = [&](CallbackRecord&) -> std::optional<int32_t> {
        if (std::this_thread::get_id() != caller) ++otherThreads;
        return std::nullopt;
    };
    for (const char* name : {"deflated.exe", "stored.exe"}) {
        Recorder memory;
        memory.hook = sameThread;
        Job job = ToMemory(memory, path, name, static_cast<uint32_t>(size));
        EXPECT_EQ(job.Run(), 1) << memory.Errors();
        EXPECT_TRUE(Bytes(memory.block.begin(), memory.block.begin() + static_cast<long>(size)) ==
                    Content())
            << name;
        EXPECT_TRUE(GuardIntact(memory, size)) << name;
        // Progress adds up to the content, in a few steps rather than hundreds.
        int64_t reported = 0;
        for (const Event& e : memory.Of(DZ_ACT_PROGRESS)) reported += e.size;
        EXPECT_EQ(reported, static_cast<int64_t>(size)) << name;
        EXPECT_LE(memory.Count(DZ_ACT_PROGRESS), 8) << name;
    }

    // Also when the calling thread is slow (a handler that takes its time), so the deciphering
    // runs ahead as far as it may and waits for chunks to be given back.
    for (const bool slow : {false, true}) {
        Recorder files;
        files.hook = [&](CallbackRecord& r) {
            if (slow && (r.ActionReply & DZ_ACT_MASK) == DZ_ACT_PROGRESS)
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return sameThread(r);
        };
        Job job = ToFolder(files, path);
        EXPECT_EQ(job.Run(), 2) << files.Errors();
        for (const char* name : {"deflated.exe", "stored.exe"}) {
            const auto written = ReadFileBytes(out_ + "\\" + name);
            EXPECT_TRUE(written && *written == Content()) << name << (slow ? " slow" : "");
        }
    }

    Recorder tested;
    tested.hook = sameThread;
    Job test(tested, path);
    test.testOnly = 1;
    test.password = kPassword;
    EXPECT_EQ(test.Run(), 2) << tested.Errors();
    EXPECT_EQ(otherThreads, 0);
}

TEST_F(LargeEntryTest, WrongPasswordsAreAskedAgainAndTheRightOneExtracts) {
    fixtures::ZipWriter w;
    w.Add(Encrypted("big.exe", fixtures::kDeflated));
    const std::string path = Save(w.Build());

    Recorder asked;
    asked.passwords = {"Qu1ll0ra#2011", kPassword};
    Job job = ToFolder(asked, path);
    job.password = "qu1ll0ra#2010";
    job.passwordRequests = 3;
    EXPECT_EQ(job.Run(), 1) << asked.Errors();
    EXPECT_EQ(asked.Count(DZ_ACT_PASSWORD), 2);
    const auto written = ReadFileBytes(out_ + "\\big.exe");
    EXPECT_TRUE(written && *written == Content());

    Recorder refused;
    refused.passwords = {"nope"};
    Job wrong = ToMemory(refused, path, "big.exe", static_cast<uint32_t>(Content().size()));
    wrong.password = "Qu1ll0ra";
    EXPECT_EQ(wrong.Run(), 0);
    EXPECT_TRUE(refused.HasError(DZ_ERROR_PASSWORD)) << refused.Errors();
    ASSERT_EQ(refused.Count(DZ_ACT_SKIPPED), 1);
    EXPECT_EQ(refused.Of(DZ_ACT_SKIPPED)[0].number2, DZ_SKIP_BAD_PASSWORD + 1);
}

TEST_F(LargeEntryTest, WrongCrcDamagedDataAndWrongSizesLeaveNoFileAndKeepToTheBlock) {
    const size_t size = Content().size();
    struct Case {
        const char* what;
        int32_t error;  // the message the entry must end with (10 or 12 both mean damage)
        std::function<void(fixtures::Entry&)> entry;
        std::function<void(fixtures::Archive&)> archive;
        size_t block;  // the memory block's size
    };
    const std::vector<Case> cases = {
        {"wrong CRC", DZ_ERROR_CRC,
         [](fixtures::Entry& e) {
             // The high byte stays: it is the password's check byte.
             const uint32_t crc = fixtures::Crc32(Content()) ^ 0x00FFFFFFu;
             e.local.crc = crc;
             e.central.crc = crc;
         },
         nullptr, size},
        {"a byte changed halfway through the stored data", DZ_ERROR_DATA, nullptr,
         [](fixtures::Archive& a) {
             const auto& e = a.layout.entries[0];
             a.bytes[static_cast<size_t>(e.data_position + e.compressed_size / 2)] ^= 0x41;
         },
         size},
        {"content longer than declared", DZ_ERROR_SIZE,
         [&](fixtures::Entry& e) {
             e.local.uncompressed_size = static_cast<uint32_t>(size / 2);
             e.central.uncompressed_size = static_cast<uint32_t>(size / 2);
         },
         nullptr, size / 2},
        {"content shorter than declared", 21,
         [&](fixtures::Entry& e) {
             e.local.uncompressed_size = static_cast<uint32_t>(size + 1000);
             e.central.uncompressed_size = static_cast<uint32_t>(size + 1000);
         },
         nullptr, size + 1000},
    };
    for (const Case& c : cases) {
        fixtures::Entry entry = Encrypted("big.exe", fixtures::kDeflated);
        if (c.entry) c.entry(entry);
        fixtures::ZipWriter w;
        w.Add(entry);
        fixtures::Archive archive = w.Build();
        if (c.archive) c.archive(archive);
        const std::string path = Save(archive);

        Recorder toFile;
        Job job = ToFolder(toFile, path);
        EXPECT_EQ(job.Run(), 0) << c.what;
        const bool damaged = toFile.HasError(DZ_ERROR_DATA) || toFile.HasError(DZ_ERROR_CRC);
        EXPECT_TRUE(c.error == DZ_ERROR_DATA ? damaged : toFile.HasError(c.error)) << c.what << "\n"
                                                                        << toFile.Errors();
        EXPECT_EQ(ListTree(out_), std::vector<std::string>{}) << c.what;

        Recorder memory;
        Job inMemory = ToMemory(memory, path, "big.exe", static_cast<uint32_t>(c.block));
        EXPECT_EQ(inMemory.Run(), 0) << c.what;
        EXPECT_EQ(memory.Count(DZ_ACT_SKIPPED), 1) << c.what;
        EXPECT_TRUE(GuardIntact(memory, c.block)) << c.what;
    }
}

TEST_F(LargeEntryTest, CancelHandlerFailureAndAbortHalfwayStopTheRunAndLeaveNoFile) {
    fixtures::ZipWriter w;
    w.Add(Encrypted("big.exe", fixtures::kDeflated));
    w.Add(fixtures::StoredEntry("after.txt", "after"));
    const std::string path = Save(w.Build());
    struct Case {
        int32_t result;  // the callback's answer to the first progress; -100: DZ_Abort
        int32_t expected;
    };
    for (const bool toMemory : {false, true}) {
        for (const Case c :
             {Case{DZ_CB_CANCEL, DZ_ERR_CANCELLED}, Case{DZ_CB_HANDLER_FAILED, DZ_ERR_HANDLER},
              Case{-100, DZ_ERR_ABORTING}}) {
            Recorder recorder;
            int32_t abortValue = 0;
            recorder.hook = [&](CallbackRecord& r) -> std::optional<int32_t> {
                const int32_t action = r.ActionReply & DZ_ACT_MASK;
                if (action == DZ_ACT_ABORT_VALUE) abortValue = r.Number;
                if (action != DZ_ACT_PROGRESS) return std::nullopt;
                if (c.result != -100) return c.result;
                Engine().abort(abortValue);
                return std::nullopt;
            };
            Job job = toMemory ? ToMemory(recorder, path, "big.exe",
                                          static_cast<uint32_t>(Content().size()))
                               : ToFolder(recorder, path);
            EXPECT_EQ(job.Run(), c.expected);
            // Stopped at the first progress, a megabyte or so into the entry.
            EXPECT_EQ(recorder.Count(DZ_ACT_PROGRESS), 1);
            EXPECT_EQ(recorder.Count(DZ_ACT_ITEM), 1);
            EXPECT_EQ(recorder.Count(DZ_ACT_END_OF_BATCH), 0);
            EXPECT_EQ(ListTree(out_), std::vector<std::string>{});
        }
    }
    // The module is ready for the next run.
    Recorder again;
    Job job = ToFolder(again, path);
    EXPECT_EQ(job.Run(), 2) << again.Errors();
}
