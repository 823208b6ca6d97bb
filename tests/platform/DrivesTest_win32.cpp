#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Drives.h"

using namespace platform;

TEST(DrivesWin32, CriticalErrorModeHoldsForTheScopeAndTheOldModeReturns) {
    const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    {
        CriticalErrorsFail quiet;
        EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS));
    }
    EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
    SetErrorMode(before);
}
