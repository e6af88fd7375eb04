#include "core/log.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "network/byte_ring.h"
#include "platform/kernel/heap.h"
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ByteRingTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        CreateLogFile();
    }
    void TearDown() override
    {
        ReleaseRingBuffer(&ring);
        FailNextHeapAllocations(0);
        LibraryTest::TearDown();
    }
    std::vector<unsigned char> Bytes(int n, int from = 0)
    {
        std::vector<unsigned char> v(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<unsigned char>(from + i);
        return v;
    }
    void ExpectFields(int read, int write, int held, int capacity)
    {
        EXPECT_EQ(ring.ReadOffset, read);
        EXPECT_EQ(ring.WriteOffset, write);
        EXPECT_EQ(ring.Held, held);
        EXPECT_EQ(ring.Capacity, capacity);
    }
    BYTERING ring{};
};

TEST_F(ByteRingTest, FirstAppendAllocatesCountPlusSlackAndZeroReserveAllocatesNothing)
{
    EXPECT_EQ(ReserveRingBuffer(&ring, 0), 0);
    EXPECT_EQ(ring.Data, nullptr);
    auto in = Bytes(10);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 10), 0);
    ExpectFields(0, 10, 10, 1010);
}

TEST_F(ByteRingTest, GrowthKeepsHeldBytesInOrderAcrossTheWrap)
{
    auto first = Bytes(1000);
    ASSERT_EQ(AppendRingBuffer(&ring, first.data(), 10), 0);
    ASSERT_EQ(AppendRingBuffer(&ring, first.data() + 10, 990), 0);
    std::vector<unsigned char> sink(1000);
    ASSERT_EQ(ReadRingBuffer(&ring, sink.data(), 600, 0), 0);
    // 600 held bytes run from offset 600 past the end to offset 590.
    auto second = Bytes(590, 1000);
    ASSERT_EQ(AppendRingBuffer(&ring, second.data(), 590), 0);
    ExpectFields(600, 580, 990, 1010);
    // A reserve that fits exactly moves nothing.
    ASSERT_EQ(ReserveRingBuffer(&ring, 20), 0);
    ExpectFields(600, 580, 990, 1010);
    // Growth at least doubles the capacity.
    ASSERT_EQ(ReserveRingBuffer(&ring, 21), 0);
    ExpectFields(0, 990, 990, 2020);
    std::vector<unsigned char> out(990);
    ASSERT_EQ(ReadRingBuffer(&ring, out.data(), 990, 0), 0);
    for (int i = 0; i < 990; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], static_cast<unsigned char>(600 + i)) << i;
    EXPECT_EQ(ring.Held, 0);
    EXPECT_EQ(ring.ReadOffset, ring.WriteOffset);
}

TEST_F(ByteRingTest, ManySmallAppendsGrowTheRingOnlyAFewTimes)
{
    auto piece = Bytes(64);
    int growths = 0;
    for (int i = 0; i < 16384; ++i) {
        const int before = ring.Capacity;
        ASSERT_EQ(AppendRingBuffer(&ring, piece.data(), 64), 0);
        if (ring.Capacity != before) ++growths;
    }
    EXPECT_EQ(ring.Held, 1 << 20);
    EXPECT_LE(growths, 16);
    // A large reserve still gets what it asks for and its slack.
    ASSERT_EQ(ReserveRingBuffer(&ring, 4 << 20), 0);
    EXPECT_EQ(ring.Capacity, (1 << 20) + (4 << 20) + 1000);
}

TEST_F(ByteRingTest, ReadToTheEndLeavesTheOffsetAtCapacityUntilTheNextOperation)
{
    auto in = Bytes(1010);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 10), 0);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data() + 10, 1000), 0);
    ExpectFields(0, 1010, 1010, 1010);
    std::vector<unsigned char> out(1010);
    ASSERT_EQ(ReadRingBuffer(&ring, out.data(), 1010, 0), 0);
    ExpectFields(1010, 0, 0, 1010);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 5), 0);
    ExpectFields(0, 5, 5, 1010);
}

TEST_F(ByteRingTest, PeekShowsWhatTheReadTakesAndShortReadsChangeNothing)
{
    auto in = Bytes(30);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 30), 0);
    std::vector<unsigned char> a(30), b(30);
    EXPECT_EQ(ReadRingBuffer(&ring, a.data(), 0, 0), 0);
    EXPECT_EQ(ReadRingBuffer(&ring, a.data(), 31, 0), -1);
    EXPECT_EQ(ReadRingBuffer(&ring, a.data(), 31, 1), -1);
    ExpectFields(0, 30, 30, 1030);
    ASSERT_EQ(ReadRingBuffer(&ring, a.data(), 12, 1), 0);
    ExpectFields(0, 30, 30, 1030);
    ASSERT_EQ(ReadRingBuffer(&ring, b.data(), 12, 0), 0);
    EXPECT_EQ(a, b);
    ExpectFields(12, 30, 18, 1030);
}

TEST_F(ByteRingTest, FailedGrowthKeepsTheQueuedBytesAndLogsBothLines)
{
    auto in = Bytes(1000);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 10), 0);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data() + 10, 990), 0);
    FailNextHeapAllocations(1);
    EXPECT_EQ(AppendRingBuffer(&ring, in.data(), 20), -1);
    ExpectFields(0, 1000, 1000, 1010);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "リングバッファの再確保に失敗しました(確保しようとしたサイズ 2020 byte)"));
    EXPECT_TRUE(Contains(log, "リングバッファへのデータの追加に失敗しました(追加する長さ 20 byte)"));
    std::vector<unsigned char> out(1000);
    ASSERT_EQ(ReadRingBuffer(&ring, out.data(), 1000, 0), 0);
    EXPECT_EQ(out, in);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 4), 0);
}

TEST_F(ByteRingTest, CountsNearTheIntegerLimitAreRefusedWithoutWrapping)
{
    auto in = Bytes(100);
    ASSERT_EQ(AppendRingBuffer(&ring, in.data(), 100), 0);
    for (int count : {0x7FFFFFFF, 0x7FFFFFFF - 100, 0x7FFFFC00, BYTERING_CAPACITY_LIMIT, -1}) {
        EXPECT_EQ(ReserveRingBuffer(&ring, count), -1) << count;
        ExpectFields(0, 100, 100, 1100);
    }
}

} // namespace
