// A program of its own includes the public header beside its own versions of
// the usual system names: none of them may already be taken, before or after
// the header. Compiling is most of the test.
#include <gtest/gtest.h>

#define TRUE 1
#define FAILED(result) ((result) != 0)
struct POINT {
    double x;
    double y;
};

#include "core/api.h"

#define FALSE 0
#define SUCCEEDED(result) ((result) == 0)
struct RECT {
    int x, y, width, height;
};
struct SIZE {
    double width, height;
};
using DWORD = unsigned long long;
using BOOL = bool;

namespace {

TEST(OwnNamesTest, AProgramKeepsItsOwnSystemNamesBesideThePublicHeader)
{
    const POINT centre{1.5, 2.5};
    const RECT area{0, 0, 640, 480};
    const SIZE size{0.5, 0.25};
    const DWORD big = 1ull << 40;
    const BOOL on = TRUE != FALSE;
    EXPECT_TRUE(on && !FAILED(0) && SUCCEEDED(0));
    EXPECT_EQ(centre.x + centre.y + size.width + size.height, 4.75);
    EXPECT_EQ(area.width * area.height, 307200);
    EXPECT_EQ(big >> 40, 1u);
    // The public names carry the values the entries take.
    EXPECT_EQ(PAD_1 | PAD_KEYBOARD, 0x1001);
    EXPECT_EQ(SCREEN_BACK, -2);
    const ColorValue white = 0xFFFFFFu;
    EXPECT_EQ(sizeof white, 4u);
}

} // namespace
