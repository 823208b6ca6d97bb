// The machine the tests run on: on POSIX hosts a throwaway prefix made for this run and removed
// afterwards; on Windows (under Wine) the fresh prefix the test command made.
#pragma once

namespace testing_machine {

void SetUp();
void TearDown();

}  // namespace testing_machine
