// Handle values and table bookkeeping, on a small table and on the
// graph-image table.
#include <gtest/gtest.h>

#include <memory>

#include "core/handle.h"
#include "graphics/image/graphimage.h"

namespace {

struct TestRec {
    HANDLEHEAD Head;
    int Payload;
};
using SmallTable = HANDLETABLE<TestRec, 4, HANDLETAG_GRAPH>;

HANDLEVALUE Add(SmallTable& t)
{
    int slot = FindFreeHandleSlot(t);
    if (slot < 0) {
        return -1;
    }
    EXPECT_NE(AllocHandleRecord(t, slot, __FILE__, __LINE__), nullptr);
    return CommitHandleRecord(t, slot);
}

struct SmallTableTest : testing::Test {
    std::unique_ptr<SmallTable> table = std::make_unique<SmallTable>();
    void SetUp() override { ResetHandleTable(*table); }
    void TearDown() override
    {
        DeleteAllHandleRecords(*table, [this](HANDLEVALUE h) { ReleaseHandleRecord(*table, h); });
    }
};

} // namespace

TEST_F(SmallTableTest, FirstRecordTakesSlotZeroWithCheckZero)
{
    EXPECT_EQ(Add(*table), 0x08000000);
    EXPECT_EQ(Add(*table), 0x08010001);
    EXPECT_EQ(table->Count, 2u);
    EXPECT_EQ(table->HighWater, 2u);
}

TEST_F(SmallTableTest, FullTableRefusesThenReusesFirstFreeSlotAfterHighWaterReachedCapacity)
{
    HANDLEVALUE h[4];
    for (auto& v : h) {
        v = Add(*table);
    }
    EXPECT_EQ(FindFreeHandleSlot(*table), -1);
    ASSERT_EQ(ReleaseHandleRecord(*table, h[1]), 0);
    ASSERT_EQ(ReleaseHandleRecord(*table, h[2]), 0);
    EXPECT_EQ(table->HighWater, 4u);
    HANDLEVALUE again = Add(*table);
    EXPECT_EQ(again & HANDLE_SLOT_MASK, 1);
    EXPECT_EQ(GetHandleRecord(*table, h[1]), nullptr) << "stale handle of the reused slot";
    // Deleting the top slot lowers the high-water index over the empty slot 2.
    ASSERT_EQ(ReleaseHandleRecord(*table, h[3]), 0);
    EXPECT_EQ(table->HighWater, 2u);
    EXPECT_EQ(Add(*table) & HANDLE_SLOT_MASK, 2);
}

TEST_F(SmallTableTest, DeletingTheOnlyRecordResetsHighWater)
{
    Add(*table);
    HANDLEVALUE h = Add(*table);
    ReleaseHandleRecord(*table, h);
    ReleaseHandleRecord(*table, MakeHandleValue(0, HANDLETAG_GRAPH, 0));
    EXPECT_EQ(table->Count, 0u);
    EXPECT_EQ(table->HighWater, 0u);
}

TEST_F(SmallTableTest, CheckCounterWrapsFrom2047ToZero)
{
    for (int i = 0; i < 2048; ++i) {
        HANDLEVALUE h = Add(*table);
        ASSERT_EQ((h & HANDLE_CHECK_MASK) >> 16, i);
        ReleaseHandleRecord(*table, h);
    }
    HANDLEVALUE h = Add(*table);
    EXPECT_EQ(h, 0x08000000);
}

TEST_F(SmallTableTest, EveryAccessorRefusesBadHandlesAndTouchesNothing)
{
    HANDLEVALUE live = Add(*table);
    HANDLEVALUE gone = Add(*table);
    ReleaseHandleRecord(*table, gone);
    HANDLEVALUE stale = live + 0x00010000; // right slot, wrong check
    const HANDLEVALUE bad[] = {
        -1,
        static_cast<HANDLEVALUE>(0x80000000u | static_cast<unsigned>(live)),
        (live & ~HANDLE_TAG_MASK) | HANDLETAG_SOUND,
        MakeHandleValue(0, HANDLETAG_GRAPH, 4),
        MakeHandleValue(0, HANDLETAG_GRAPH, 0xFFFF),
        gone,
        stale,
        0,
    };
    int flag = 5;
    for (HANDLEVALUE h : bad) {
        SCOPED_TRACE(h);
        EXPECT_EQ(GetHandleRecord(*table, h), nullptr);
        EXPECT_EQ(ReleaseHandleRecord(*table, h), -1);
        EXPECT_EQ(BindHandleDeletedFlag(*table, h, &flag), -1);
    }
    EXPECT_EQ(flag, 5);
    EXPECT_EQ(table->Count, 1u);
    EXPECT_NE(GetHandleRecord(*table, live), nullptr);
}

TEST_F(SmallTableTest, DeletedFlagIsZeroWhenBoundAndOneAfterDelete)
{
    HANDLEVALUE h = Add(*table);
    int flag = 7;
    ASSERT_EQ(BindHandleDeletedFlag(*table, h, &flag), 0);
    EXPECT_EQ(flag, 0);
    ReleaseHandleRecord(*table, h);
    EXPECT_EQ(flag, 1);

    h = Add(*table);
    flag = 7;
    BindHandleDeletedFlag(*table, h, &flag);
    BindHandleDeletedFlag(*table, h, nullptr);
    ReleaseHandleRecord(*table, h);
    EXPECT_EQ(flag, 0) << "binding null disables the flag";
}

TEST(GraphImageHandles, DropRefusesForeignOutOfRangeAndStaleHandles)
{
    ResetHandleTable(GraphImageTable);
    int slot = FindFreeHandleSlot(GraphImageTable);
    GRAPHIMAGEREC* rec = AllocHandleRecord(GraphImageTable, slot, __FILE__, __LINE__);
    ASSERT_EQ(SetupGraphImageARGB32(2, 2, &rec->Image), 0);
    HANDLEVALUE h = CommitHandleRecord(GraphImageTable, slot);
    EXPECT_EQ(h, 0x70000000);
    EXPECT_EQ(DropGraphImageHandle(HANDLETAG_GRAPH), -1);
    EXPECT_EQ(DropGraphImageHandle(MakeHandleValue(0, HANDLETAG_GRAPHIMAGE, 8192)), -1);
    EXPECT_EQ(DropGraphImageHandle(h + 0x00010000), -1);
    EXPECT_EQ(DropGraphImageHandle(h), 0);
    EXPECT_EQ(DropGraphImageHandle(h), -1);
    EXPECT_EQ(GraphImageTable.Count, 0u);
}

TEST(GraphImageHandles, DropTableFreesEveryRecord)
{
    ResetHandleTable(GraphImageTable);
    for (int i = 0; i < 3; ++i) {
        int slot = FindFreeHandleSlot(GraphImageTable);
        GRAPHIMAGEREC* rec = AllocHandleRecord(GraphImageTable, slot, __FILE__, __LINE__);
        SetupGraphImageRGB24(3, 1, &rec->Image);
        CommitHandleRecord(GraphImageTable, slot);
    }
    EXPECT_EQ(DropGraphImageHandleTable(), 0);
    EXPECT_EQ(GraphImageTable.Count, 0u);
    EXPECT_EQ(GraphImageTable.HighWater, 0u);
}
