// The Windows calls the process finder makes, replaceable so tests can walk the 9x path and
// the binding failures that a real machine will not produce.
#pragma once

#include <windows.h>

struct ProcessSystem {
    BOOL(WINAPI* getVersion)(OSVERSIONINFOA*);
    HMODULE(WINAPI* loadLibrary)(const char*);
    FARPROC(WINAPI* getProcAddress)(HMODULE, const char*);
    BOOL(WINAPI* freeLibrary)(HMODULE);
    HANDLE(WINAPI* openProcess)(DWORD access, BOOL inherit, DWORD id);
    BOOL(WINAPI* terminateProcess)(HANDLE, UINT exitCode);
    BOOL(WINAPI* closeHandle)(HANDLE);
};

// The real system's calls.
const ProcessSystem& RealProcessSystem();
// Replaces the calls (null restores the real ones); for tests.
void UseProcessSystem(const ProcessSystem* system);
