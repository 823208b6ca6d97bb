#include "tests/support/TestMachine.h"

namespace testing_machine {

// The test command runs every Windows test program in a Wine prefix made fresh for that run.
void SetUp() {}
void TearDown() {}

}  // namespace testing_machine
