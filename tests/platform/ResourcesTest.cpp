#include <gtest/gtest.h>

#include <string>

#include "platform/Resources.h"

using namespace platform;

TEST(Resources, FoundByTypeAndNameWithoutRegardToCase) {
    ResourceBytes r;
    ASSERT_TRUE(FindOwnResource("ZIP", "SAMPLE", r));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data), r.size), "sample resource bytes\n");
    ResourceBytes again;
    ASSERT_TRUE(FindOwnResource("zip", "sample", again));
    EXPECT_EQ(again.data, r.data);
    EXPECT_TRUE(FindOwnResource(kResourceRcData, "tuupd", again));
}

TEST(Resources, AbsentResourcesAreNotFound) {
    ResourceBytes r;
    EXPECT_FALSE(FindOwnResource("ZIP", "SAMPLES", r));
    EXPECT_FALSE(FindOwnResource("RAW", "SAMPLE", r));  // right name, wrong type
    EXPECT_FALSE(FindOwnResource(kResourceRcData, "SAMPLE", r));
}
