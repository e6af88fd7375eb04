#include "core/format.h"
#include "core/nodelist.h"
#include "core/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FindTextChar, SkipsTrailByteEqualToTheByteAndFindsLaterOne)
{
    // 0x83 0x5C is a two-byte character whose trail byte is '\'.
    const char text[] = "\x83\x5C" "ab\\c";
    const char* found = FindTextChar(text, '\\');
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found - text, 4);
    EXPECT_EQ(FindTextChar(text, 'z'), nullptr);
    // A lead byte right before the end ends the text.
    EXPECT_EQ(FindTextChar("a\x83", 'x'), nullptr);
}

TEST(UppercaseText, ChangesAsciiLettersOnlyAndKeepsTrailBytes)
{
    char text[] = "ab\x88\x61z\xE0\x7A!";
    UppercaseText(text);
    EXPECT_STREQ(text, "AB\x88\x61Z\xE0\x7A!");
}

TEST(ByteRoutines, MatchCountsAndOverlappingMoves)
{
    EXPECT_EQ(MatchBytes("abc", "abd", 2), 0);
    EXPECT_EQ(MatchBytes("abc", "abd", 3), 1);
    EXPECT_EQ(MatchBytes("abc", "xyz", 0), 0);
    EXPECT_EQ(MatchBytes("abc", "abc", -1), 1);
    EXPECT_EQ(CompareText("same", "same"), 0);
    EXPECT_EQ(CompareText("same", "Same"), 1);

    char up[] = "12345";
    MoveBytes(up + 1, up, 4);  // destination above the source: copied backward
    EXPECT_STREQ(up, "11234");
    char down[] = "12345";
    MoveBytes(down, down + 1, 4);
    EXPECT_STREQ(down, "23455");
}

TEST(FormatToBuffer, TruncatesAtTheBufferSize)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    FormatToBuffer(buffer, sizeof buffer, "%s", "0123456789");
    EXPECT_STREQ(buffer, "0123456");
}

TEST(NodeList, InsertPutsTheNewestFirstAndUnlinkJoinsNeighbours)
{
    LISTNODE first, last, earlier, second;
    InitNodeList(&first, &last);
    int a = 1, b = 2;
    InsertListNode(&first, &earlier, 10, &a);
    InsertListNode(&first, &second, 20, &b);
    EXPECT_EQ(first.Next, &second);
    EXPECT_EQ(second.Next, &earlier);
    EXPECT_EQ(earlier.Next, &last);
    EXPECT_EQ(last.Prev, &earlier);
    EXPECT_EQ(second.Handle, 20);
    EXPECT_EQ(second.Data, &b);

    UnlinkListNode(&second);
    EXPECT_EQ(first.Next, &earlier);
    EXPECT_EQ(earlier.Prev, &first);
    EXPECT_EQ(second.Next, &earlier);  // the node keeps its own links
}
