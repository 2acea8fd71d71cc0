#include "HalvorinKeshControl.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(VersionConstants, HoldTheProgramLineAndNumber) {
    EXPECT_STREQ(reinterpret_cast<const char*>(HalvorinKeshControlVersionString),
                 "@(#)PROGRAM:HalvorinKeshControl  PROJECT:HalvorinKeshControl-1\n");
    EXPECT_EQ(HalvorinKeshControlVersionNumber, 1.0);
}
