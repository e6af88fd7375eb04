#include "core/log.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class LogTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        UseManualClock(1000, 0);  // a still clock: stamps are known
        CreateLogFile();
    }
};

} // namespace

TEST_F(LogTest, LinesCarryStampAndIndentationAndEndInCrLf)
{
    AdvanceManualClock(42000);
    IncreaseLogIndent();
    IncreaseLogIndent();
    EXPECT_EQ(WriteLog("a\nb\n"), -1);
    EXPECT_EQ(ReadLogFile(), "42:\t\ta\r\nb\r\n");
    EXPECT_EQ(SysState.LogMidLine, 0);
    EXPECT_EQ(CapturedDebugOutput(), "\t\ta\r\nb\r\n");  // no stamp in the debugger output
}

TEST_F(LogTest, TextWithoutLineFeedLeavesTheLineOpen)
{
    WriteLog("first ");
    EXPECT_EQ(SysState.LogMidLine, 1);
    AdvanceManualClock(5000);
    WriteLog("second\n");
    WriteLog("");  // an empty text leaves the line state as it is
    EXPECT_EQ(SysState.LogMidLine, 0);
    EXPECT_EQ(ReadLogFile(), "0:first second\r\n");
}

TEST_F(LogTest, ExistingCrLfStopsTheConversionAndTrailBytesStayUntouched)
{
    WriteLog("x\r\ny\nz\n");
    // 0x83 0x0A is not a two-byte character: 0x0A is not a valid trail
    // byte, but the lead byte takes it along all the same.
    WriteLog("\x83\x0A" "end\n");
    EXPECT_EQ(ReadLogFile(), "0:x\r\ny\nz\n0:\x83\x0A" "end\r\n");
}

TEST_F(LogTest, IndentationNeverGoesBelowZero)
{
    DecreaseLogIndent();
    EXPECT_EQ(SysState.LogIndent, 0);
    IncreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();
    EXPECT_EQ(SysState.LogIndent, 0);
}

TEST_F(LogTest, FormattedLineIsBoundedAndEndsInLineFeed)
{
    EXPECT_EQ(WriteLogFormat("%d-%s", 7, "x"), -1);
    std::string longText(3000, 'q');
    WriteLogFormat("%s", longText.c_str());
    const std::string log = ReadLogFile();
    EXPECT_EQ(log.substr(0, 7), "0:7-x\r\n");
    // 1,022 characters and the line feed fit in the 1,024-byte buffer.
    EXPECT_EQ(log.substr(7), "0:" + std::string(1022, 'q') + "\r\n");
}

TEST_F(LogTest, LongTextUsesABlockThatIsFreedBeforeReturning)
{
    const int blocks = AllocState.BlockCount;
    std::string text(300, 'w');
    text += "\n";
    WriteLog(text.c_str());
    EXPECT_EQ(AllocState.BlockCount, blocks);
    EXPECT_EQ(ReadLogFile(), "0:" + std::string(300, 'w') + "\r\n");
}

TEST_F(LogTest, LogOffWritesNothingAndUserWindowOnlyToTheDebugger)
{
    SysState.LogOff = 1;
    WriteLog("hidden\n");
    EXPECT_EQ(ReadLogFile(), "");
    EXPECT_EQ(CapturedDebugOutput(), "");
    SysState.LogOff = 0;
    SysState.UserWindowFlag = 1;
    WriteLog("debugger only\n");
    EXPECT_EQ(ReadLogFile(), "");
    EXPECT_EQ(CapturedDebugOutput(), "debugger only\r\n");
    SysState.UserWindowFlag = 0;
}

TEST_F(LogTest, CreatingTheLogStartsAnEmptyFileAndANewClock)
{
    WriteLog("old\n");
    AdvanceManualClock(9000);
    CreateLogFile();
    WriteLog("new\n");
    EXPECT_EQ(ReadLogFile(), "0:new\r\n");
}
