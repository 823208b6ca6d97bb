#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TestMachine.h"

namespace testing_machine {

namespace {
std::string g_prefix;
}

void SetUp() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/setup-ivox-test-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    g_prefix = pattern;
    setenv("SETUP_IVOX_PREFIX", g_prefix.c_str(), 1);
}

void TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(g_prefix, ec);
}

}  // namespace testing_machine
