// A stand-in for the extraction engine, built by the tests as "DelZip179.dll" in several
// flavours (interface version, build, a missing export). It records the command DZ_UnzExec
// receives and replays a script of callbacks, recording what the component answered; the
// tests steer it through the Fake_* exports below.
#pragma once

#include <stdint.h>

#include "engine/DelZip179.h"

#if defined(_WIN32)
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

enum { kFakeText = 300, kFakeSpecs = 8, kFakeSteps = 32 };

// A step with this action writes `data` into the output block (as far as the block goes).
enum { kFakeWriteOutput = -1 };

// One callback the engine makes, with the record's fields as the engine fills them.
struct FakeStep {
    int32_t action;  // the word at 0x0C, higher bits included
    int32_t addFlag;
    int32_t number;
    const char* name;
    int64_t size;
    int64_t written;
    const void* second;
    int32_t number2;
    int32_t age;
    // After an action 13 reply (or for kFakeWriteOutput): bytes to write into the block.
    const char* data;
    uint32_t dataSize;
};

// What came back from one callback.
struct FakeOutcome {
    int32_t result;  // the callback's return value
    int32_t actionReply;
    int32_t number;
    int64_t size;
    void* second;
    char reply[DZ_REPLY_AREA];
};

// The command as received, with copies of the texts it pointed to.
struct FakeCommand {
    UnzipCommand record;
    char archive[kFakeText];
    char password[kFakeText];
    int32_t passwordSet;
    char baseDir[kFakeText];
    char patterns[kFakeSpecs][kFakeText];
};

// How DZ_UnzExec ends after its steps: return `result`, or raise.
enum FakeEnd { kFakeReturn = 0, kFakeRaise = 1 };

typedef void(DZ_CALL* Fake_ResetFn)(void);
typedef void(DZ_CALL* Fake_ScriptFn)(const struct FakeStep* steps, int32_t count, int32_t result,
                                     int32_t end);
typedef int32_t(DZ_CALL* Fake_CallsFn)(void);
typedef const struct FakeCommand*(DZ_CALL* Fake_LastCommandFn)(void);
typedef const struct FakeOutcome*(DZ_CALL* Fake_OutcomeFn)(int32_t step);
typedef int32_t(DZ_CALL* Fake_AbortValueFn)(void);
