// The test engine (see FakeEngine.h). Built once per flavour with FAKE_VERSION, FAKE_BUILD,
// FAKE_WITHOUT_PATH (no DZ_Path export), FAKE_PADDING (a block of random bytes, so the image
// is as large as a real engine's) and FAKE_PLANTED (a module planted beside a program: loaded, it
// leaves the file "<its own file>.loaded", and it claims every command extracted one entry).
#include "tests/archive/engine/FakeEngine.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#ifndef FAKE_VERSION
#define FAKE_VERSION 179
#endif
#ifndef FAKE_BUILD
#define FAKE_BUILD 1790801
#endif

namespace {

#ifdef FAKE_PLANTED
constexpr int32_t kInitialResult = 1;
#else
constexpr int32_t kInitialResult = 0;
#endif

FakeStep g_steps[kFakeSteps];
int32_t g_stepCount = 0;
int32_t g_result = kInitialResult;
int32_t g_end = kFakeReturn;
int32_t g_calls = 0;
int32_t g_abortCalls = 0;
int32_t g_abortValue = 0;
FakeCommand g_command;
FakeOutcome g_outcomes[kFakeSteps];

void CopyText(char* to, const char* from) {
    if (!from) {
        to[0] = '\0';
        return;
    }
    std::strncpy(to, from, kFakeText - 1);
    to[kFakeText - 1] = '\0';
}

#ifdef FAKE_PADDING
struct Padding {
    unsigned char bytes[70000];
};
constexpr Padding MakePadding() {
    Padding p{};
    uint32_t x = 0x2545F491u;
    for (unsigned i = 0; i < sizeof p.bytes; ++i) {
        x = x * 1103515245u + 12345u;
        p.bytes[i] = static_cast<unsigned char>(x >> 16);
    }
    return p;
}
constexpr Padding kPadding = MakePadding();
#endif

#ifdef FAKE_PLANTED
void LeaveMarker(const char* modulePath) {
    if (!modulePath || !*modulePath) return;
    const std::string marker = std::string(modulePath) + ".loaded";
    if (FILE* f = std::fopen(marker.c_str(), "wb")) std::fclose(f);
}
#endif

}  // namespace

#ifdef FAKE_PLANTED
#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    char path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && n > 0 && n < MAX_PATH) LeaveMarker(path);
    return TRUE;
}
#else
__attribute__((constructor)) static void Planted() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&LeaveMarker), &info)) LeaveMarker(info.dli_fname);
}
#endif
#endif

extern "C" {

FAKE_EXPORT int32_t DZ_CALL DZ_Version(void) {
    return FAKE_VERSION;
}

FAKE_EXPORT int32_t DZ_CALL DZ_PrivVersion(void) {
#ifdef FAKE_PADDING
    // The padding stays in the image because something reads it.
    return FAKE_BUILD + (kPadding.bytes[g_calls % sizeof kPadding.bytes] & 0);
#else
    return FAKE_BUILD;
#endif
}

#ifndef FAKE_WITHOUT_PATH
char g_path[1024];

FAKE_EXPORT const char* DZ_CALL DZ_Path(void) {
#if defined(_WIN32)
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&DZ_Path), &self);
    GetModuleFileNameA(self, g_path, sizeof g_path);
#else
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&DZ_Path), &info) && info.dli_fname)
        CopyText(g_path, info.dli_fname);
#endif
    return g_path;
}
#endif

FAKE_EXPORT void DZ_CALL DZ_Abort(int32_t value) {
    ++g_abortCalls;
    g_abortValue = value;
}

FAKE_EXPORT int32_t DZ_CALL DZ_ZipExec(void*) {
    return 0;
}

FAKE_EXPORT int32_t DZ_CALL DZ_UnzExec(UnzipCommand* c) {
    ++g_calls;
    std::memset(&g_command, 0, sizeof g_command);
    g_command.record = *c;
    CopyText(g_command.archive, c->ArchiveName);
    g_command.passwordSet = c->Password != nullptr;
    CopyText(g_command.password, c->Password);
    CopyText(g_command.baseDir, c->BaseDir);
    for (int32_t i = 0; i < c->SpecCount && i < kFakeSpecs; ++i)
        CopyText(g_command.patterns[i], c->FileSpecs[i].FileSpec);

    void* block = c->OutputBlock;
    uint32_t blockSize = c->OutputSize;
    for (int32_t i = 0; i < g_stepCount; ++i) {
        const FakeStep& s = g_steps[i];
        FakeOutcome& o = g_outcomes[i];
        if (s.action == kFakeWriteOutput) {
            const uint32_t n = s.dataSize < blockSize ? s.dataSize : blockSize;
            if (n) std::memcpy(block, s.data, n);
            continue;
        }
        // A record as long as the engine makes them, with noise where the component must not
        // look.
        union {
            CallbackRecord record;
            unsigned char bytes[1024];
        } r;
        std::memset(r.bytes, 0xA5, sizeof r.bytes);
        CallbackRecord& rec = r.record;
        rec.AddFlag = s.addFlag;
        rec.ActionReply = s.action;
        rec.Number = s.number;
        rec.Name = s.name;
        rec.Data.In.Size = s.size;
        rec.Data.In.Written = s.written;
        rec.Data.In.Second = const_cast<void*>(s.second);
        rec.Data.In.Number2 = s.number2;
        rec.Data.In.Age = s.age;
        o.result = c->Callback(c->Caller, &rec);
        o.actionReply = rec.ActionReply;
        o.number = rec.Number;
        o.size = rec.Data.In.Size;
        o.second = rec.Data.In.Second;
        std::memcpy(o.reply, rec.Data.Reply, sizeof o.reply);
        if ((s.action & DZ_ACT_MASK) == DZ_ACT_STREAM_SIZE && rec.ActionReply == DZ_REPLY_YES) {
            block = rec.Data.In.Second;
            blockSize = static_cast<uint32_t>(s.size);
            if (s.dataSize && s.dataSize <= blockSize) std::memcpy(block, s.data, s.dataSize);
        }
        if (o.result != DZ_CB_CONTINUE) break;
    }
    if (g_end == kFakeRaise) throw std::runtime_error("fault inside the engine");
    return g_result;
}

FAKE_EXPORT void DZ_CALL Fake_Reset(void) {
    g_stepCount = 0;
    g_result = 0;
    g_end = kFakeReturn;
    g_calls = 0;
    g_abortCalls = 0;
    g_abortValue = 0;
    std::memset(&g_command, 0, sizeof g_command);
    std::memset(g_outcomes, 0, sizeof g_outcomes);
}

FAKE_EXPORT void DZ_CALL Fake_Script(const FakeStep* steps, int32_t count, int32_t result,
                                     int32_t end) {
    g_stepCount = count < kFakeSteps ? count : kFakeSteps;
    for (int32_t i = 0; i < g_stepCount; ++i) g_steps[i] = steps[i];
    g_result = result;
    g_end = end;
}

FAKE_EXPORT int32_t DZ_CALL Fake_Calls(void) {
    return g_calls;
}

FAKE_EXPORT int32_t DZ_CALL Fake_AbortCalls(void) {
    return g_abortCalls;
}

FAKE_EXPORT int32_t DZ_CALL Fake_AbortValue(void) {
    return g_abortValue;
}

FAKE_EXPORT const FakeCommand* DZ_CALL Fake_LastCommand(void) {
    return &g_command;
}

FAKE_EXPORT const FakeOutcome* DZ_CALL Fake_Outcome(int32_t step) {
    return step >= 0 && step < kFakeSteps ? &g_outcomes[step] : nullptr;
}

}  // extern "C"
