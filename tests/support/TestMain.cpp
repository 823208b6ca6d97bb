#include <gtest/gtest.h>

#include "tests/support/TestMachine.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    testing_machine::SetUp();
    const int rc = RUN_ALL_TESTS();
    testing_machine::TearDown();
    return rc;
}
