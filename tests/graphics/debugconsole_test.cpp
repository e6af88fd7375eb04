#include "core/api.h"
#include "graphics/debugconsole.h"
#include "graphics/screen.h"
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using DebugConsoleTest = StartedLibraryTest<320, 240>;

} // namespace

TEST_F(DebugConsoleTest, DrawsItsLinesInWhiteWithTheirOwnFont)
{
    ASSERT_EQ(SetupDebugConsole(), 0);
    std::strcpy(ConsoleState.Lines[1], "CONSOLE");
    EraseScreen();
    DrawDebugConsole();
    const MEMIMG& image = ScreenState.BackImage;
    ASSERT_EQ(IsMemImgAlive(&image), 1);
    int white = 0;
    int outside = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 200; ++x) {
            const DWORD p = *reinterpret_cast<const DWORD*>(image.Pixels + y * image.Body->Pitch + x * 4) & 0xFFFFFF;
            if (p == 0xFFFFFF) (y >= 16 && y < 32 ? white : outside) += 1;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_EQ(outside, 0);
}
