#include "core/version.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Version, StartsAtZeroOneZero)
{
    EXPECT_STREQ(GetLibraryVersionText(), "0.1.0");
}

TEST(Charset, JapaneseLiteralHasShiftJisBytes)
{
    // "ログ" in code page 932.
    const unsigned char expected[] = {0x83, 0x8D, 0x83, 0x4F, 0};
    EXPECT_EQ(std::memcmp("ログ", expected, sizeof expected), 0);
}
