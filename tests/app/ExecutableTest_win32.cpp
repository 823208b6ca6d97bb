// The shipped executable, read as Windows reads it: a GUI program for this machine type whose
// manifest asks for administrator rights and version 6 of the common controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The program is built beside the tests: <build>\app\Setup_iVOX.exe.
std::wstring ProgramPath() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    path.resize(path.find_last_of(L"\\/"));
    path.resize(path.find_last_of(L"\\/"));
    return path + L"\\app\\Setup_iVOX.exe";
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::vector<unsigned char> data(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    data.resize(got);
    return data;
}

uint32_t U32(const std::vector<unsigned char>& d, size_t at) {
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
}
uint16_t U16(const std::vector<unsigned char>& d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }

TEST(Executable, IsAGuiPortableExecutableForThisMachine) {
    const std::vector<unsigned char> d = ReadAll(ProgramPath());
    ASSERT_GT(d.size(), 0x200u);
    ASSERT_EQ(d[0], 'M');
    ASSERT_EQ(d[1], 'Z');
    const size_t pe = U32(d, 0x3C);
    ASSERT_EQ(U32(d, pe), 0x00004550u);  // "PE\0\0"
#ifdef _WIN64
    EXPECT_EQ(U16(d, pe + 4), 0x8664);
#else
    EXPECT_EQ(U16(d, pe + 4), 0x014C);
#endif
    const size_t optional = pe + 24;
    EXPECT_EQ(U16(d, optional + 68), IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(Executable, ManifestRequiresAdministratorAndCommonControls6) {
    HMODULE m = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m, nullptr);
    HRSRC info = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(info, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(m, info)));
    const std::string manifest(bytes, SizeofResource(m, info));
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // The window description travels in the same executable.
    EXPECT_NE(FindResourceW(m, L"TUUPD", MAKEINTRESOURCEW(10)), nullptr);
    FreeLibrary(m);
}

// The program carries the payload archives the tests check, byte for byte.
TEST(Executable, CarriesTheSamePayloadArchivesAsTheTests) {
    HMODULE m = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m, nullptr);
    for (const wchar_t* name : {L"cacfile", L"firebird"}) {
        HRSRC shipped = FindResourceW(m, name, L"zip");
        HRSRC tested = FindResourceW(nullptr, name, L"zip");
        ASSERT_NE(shipped, nullptr);
        ASSERT_NE(tested, nullptr);
        const DWORD size = SizeofResource(m, shipped);
        ASSERT_EQ(size, SizeofResource(nullptr, tested));
        EXPECT_EQ(memcmp(LockResource(LoadResource(m, shipped)),
                         LockResource(LoadResource(nullptr, tested)), size),
                  0);
    }
    FreeLibrary(m);
}

}  // namespace
