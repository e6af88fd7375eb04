#include "core/log.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "platform/kernel/file.h"
#include "platform/kernel/heap.h"
#include "support/library_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// The log's start directory is the test's folder, so reports land in Log.txt.
class AllocatorTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        // A fresh log, so the reports read back are this test's own.
        CreateLogFile();
    }
};

std::string BlockLine(const std::string& log, const char* file)
{
    std::size_t at = log.find(std::string("file:") + file);
    if (at == std::string::npos) return "";
    std::size_t start = log.rfind("\tsize:", at);
    return log.substr(start, log.find("\r\n", at) - start);
}

} // namespace

TEST_F(AllocatorTest, LeakReportListsLiveBlocksNewestFirstWithTheirBytes)
{
    auto* older = static_cast<unsigned char*>(AllocMemory(4, "abcdefghijklmnopqrst", 77));
    const unsigned char bytes[] = {0x41, 0x42, 0x01, 0xE0};
    std::memcpy(older, bytes, 4);
    auto* newer = static_cast<char*>(AllocMemory(20, "0123456789", -1));
    std::memcpy(newer, "0123456789ABCDEFGHIJ", 20);
    DumpMemoryBlocks();

    const std::string log = ReadLogFile();
    // The file keeps its last 15 characters; -1 is stored as 65535.
    const std::string first = BlockLine(log, "fghijklmnopqrst");
    EXPECT_TRUE(Contains(first, "\tsize:4(0.004kb)  file:fghijklmnopqrst  line:77  ID:")) << first;
    EXPECT_TRUE(Contains(first, "data:<AB..> [41 42 01 e0]")) << first;
    const std::string second = BlockLine(log, "0123456789");
    EXPECT_TRUE(Contains(second, "line:65535")) << second;
    EXPECT_TRUE(Contains(second, "data:<0123456789ABCDEF> [30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46]"))
        << second;
    EXPECT_LT(log.find("file:0123456789"), log.find("fghijklmnopqrst"));
    EXPECT_FALSE(Contains(log, "abcde"));
    EXPECT_TRUE(Contains(log, "Alloc memory dump\r\n"));
    EXPECT_TRUE(Contains(log, "\tTotal size:24(0.023kb)  Alloc num:2\r\n"));

    FreeMemory(older);
    FreeMemory(newer);
}

TEST_F(AllocatorTest, FreeingTheOnlyBlockLeavesTheSentinelNewestAndAnEmptyReport)
{
    void* block = AllocMemory(8, "", 0);
    EXPECT_EQ(reinterpret_cast<ALLOCHEAD*>(static_cast<char*>(block) - sizeof(ALLOCHEAD))->Older,
              &AllocState.Sentinel);
    FreeMemory(block);
    EXPECT_EQ(AllocState.Newest, &AllocState.Sentinel);
    EXPECT_EQ(AllocState.BlockCount, 0);
    DumpMemoryBlocks();
    const std::string log = ReadLogFile();
    EXPECT_FALSE(Contains(log, "\tsize:"));
    EXPECT_TRUE(Contains(log, "Alloc num:0"));
}

TEST_F(AllocatorTest, ZeroByteBlockIsTracedByDefault)
{
    void* block = AllocMemory(0, "zero.cpp", 1);
    FreeMemory(block);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "mem alloc  \tsize:0(0.000kb)  file:zero.cpp  line:1"));
    EXPECT_TRUE(Contains(log, "data:<> []\r\n"));
    EXPECT_TRUE(Contains(log, "mem free  \tsize:0"));
}

TEST_F(AllocatorTest, IdsWrapAndReallocKeepsPlaceWithNewIdAndZeroedGrowth)
{
    AllocState.NextID = 65535;
    auto* a = static_cast<unsigned char*>(AllocMemory(4, "", 0));
    void* b = AllocMemory(4, "", 0);
    ALLOCHEAD* ha = reinterpret_cast<ALLOCHEAD*>(a - sizeof(ALLOCHEAD));
    EXPECT_EQ(ha->ID, 65535);
    EXPECT_EQ(reinterpret_cast<ALLOCHEAD*>(static_cast<char*>(b) - sizeof(ALLOCHEAD))->ID, 0);

    std::memset(a, 0xAB, 4);
    const long long total = AllocState.TotalBytes;
    auto* grown = static_cast<unsigned char*>(ReallocMemory(a, 4096, "re.cpp", 5));
    ALLOCHEAD* hg = reinterpret_cast<ALLOCHEAD*>(grown - sizeof(ALLOCHEAD));
    EXPECT_EQ(hg->ID, 1);
    EXPECT_EQ(AllocState.TotalBytes, total + 4092);
    EXPECT_EQ(AllocState.BlockCount, 2);
    EXPECT_EQ(grown[3], 0xAB);
    EXPECT_EQ(grown[4], 0);
    EXPECT_EQ(grown[4095], 0);
    // Still the older of the two.
    EXPECT_EQ(reinterpret_cast<ALLOCHEAD*>(static_cast<char*>(b) - sizeof(ALLOCHEAD))->Older, hg);
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    FreeMemory(grown);
    FreeMemory(b);
}

TEST_F(AllocatorTest, DamagedHeaderIsReportedIncludingItsLinks)
{
    void* a = AllocMemory(16, "victim.cpp", 3);
    void* b = AllocMemory(16, "", 0);
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    ALLOCHEAD* h = reinterpret_cast<ALLOCHEAD*>(static_cast<char*>(a) - sizeof(ALLOCHEAD));
    h->Size = 999;
    EXPECT_EQ(CheckMemoryBlocks(), -1);
    h->Size = 16;
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    // On 64-bit the guard also covers the newer link.
    ALLOCHEAD* saved = h->Newer;
    h->Newer = nullptr;
    EXPECT_EQ(CheckMemoryBlocks(), -1);
    h->Newer = saved;
    EXPECT_TRUE(Contains(ReadLogFile(), "以下のメモリ確保情報が破損しました\tsize:999"));
    FreeMemory(b);
    FreeMemory(a);
}

TEST_F(AllocatorTest, RefusedBlockAnswersNullAndWritesTheReport)
{
    void* live = AllocMemory(4, "live.cpp", 1);
    FailNextHeapAllocations(1);
    EXPECT_EQ(AllocMemory(64, "", 0), nullptr);
    FailNextHeapAllocations(1);
    EXPECT_EQ(ReallocMemory(live, 64, "", 0), nullptr);
    EXPECT_EQ(AllocState.BlockCount, 1);
    // A size the header cannot hold is refused without touching the heap.
    EXPECT_EQ(AllocMemory(static_cast<std::size_t>(1) << 33, "", 0), nullptr);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "Alloc memory dump"));
    EXPECT_TRUE(Contains(log, "file:live.cpp"));
    FreeMemory(live);
}

TEST_F(AllocatorTest, TotalsCountBlocksPastTwoGigabytes)
{
    // Untouched blocks: the pages are never filled, only the header is written.
    const long long start = AllocState.TotalBytes;
    const std::size_t eighth = std::size_t{9} << 27; // 1.125 GB
    void* a = AllocMemory(eighth, "a", 1);
    void* b = AllocMemory(eighth, "b", 2);
    if (a == nullptr || b == nullptr) {
        FreeMemory(a);
        FreeMemory(b);
        GTEST_SKIP() << "no room for 2.25 GB of address space";
    }
    EXPECT_EQ(AllocState.TotalBytes, start + 2 * static_cast<long long>(eighth));
    FreeMemory(a);
    FreeMemory(b);
    void* two = AllocMemory(std::size_t{1} << 31, "two", 3);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(AllocState.TotalBytes, start + (1LL << 31));
    LogMemoryTotals();
    EXPECT_TRUE(Contains(ReadLogFile(), "\tTotal size:" + std::to_string(start + (1LL << 31)) + "("));
    FreeMemory(two);
    EXPECT_EQ(AllocState.TotalBytes, start);
}

TEST_F(AllocatorTest, ThreadsAllocatingTogetherKeepTheListWhole)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                void* p = AllocMemory(static_cast<std::size_t>(i % 64 + 1), "thread", i);
                FreeMemory(p);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(AllocState.BlockCount, 0);
    EXPECT_EQ(AllocState.TotalBytes, 0);
    EXPECT_EQ(CheckMemoryBlocks(), 0);
}
