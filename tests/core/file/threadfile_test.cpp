// Threaded plain files: direct and thread mode read the same bytes, with and
// without the read-ahead cache; reads cut at the end; the reader thread ends
// with its file.
#include "core/file/threadfile.h"
#include "support/thread_count.h"

#include "core/memory.h"
#include "platform/kernel/sync.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::uint8_t> WritePattern(const char* name, std::size_t size)
{
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    return data;
}

// Waits (yielding, bounded) until the reader thread has read ahead.
void WaitForReadAhead(THREADFILE* f)
{
    // A pending command may still reset the cache: wait for it first.
    while (!IsThreadedFileIdle(f)) std::this_thread::yield();
    std::atomic_ref<std::uint32_t> fill(f->CacheFill);
    for (long spins = 0; fill.load(std::memory_order_acquire) == 0 && spins < 50000000L; ++spins)
        std::this_thread::yield();
}

} // namespace

TEST(ThreadedFile, EveryModeReadsTheBytesOfADirectRead)
{
    SetFileReaderIdleSlice(1);
    const std::size_t size = 3 * THREADFILE_CACHE_SIZE + 1234;
    const auto data = WritePattern("big.bin", size);
    struct Mode {
        int cache, async;
    };
    for (const Mode mode : {Mode{0, 0}, Mode{1, 0}, Mode{0, 1}, Mode{1, 1}}) {
        SCOPED_TRACE(testing::Message() << "cache " << mode.cache << " async " << mode.async);
        THREADFILE* f = OpenThreadedFile("big.bin", mode.cache, 1, mode.async);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ThreadMode, mode.cache | mode.async);
        EXPECT_EQ(f->Size, size);
        std::mt19937 rng(7);
        std::uint32_t pos = 0;
        for (int step = 0; step < 60; ++step) {
            if (mode.cache && step % 5 == 0) WaitForReadAhead(f);  // the next read starts in the cache
            if (step % 7 == 6) {
                // Seeks land while the thread reads ahead, inside and outside the cached span.
                pos = static_cast<std::uint32_t>(rng() % size);
                ASSERT_EQ(SeekThreadedFile(f, static_cast<int>(pos), 0), 0);
            }
            // Sizes up to twice the cache, so reads straddle the cached span.
            std::uint32_t want = 1 + rng() % (2 * THREADFILE_CACHE_SIZE);
            std::vector<std::uint8_t> out(want);
            std::uint32_t got = ReadThreadedFile(out.data(), 1, want, f);
            while (!IsThreadedFileIdle(f)) std::this_thread::yield();
            std::uint32_t expect = static_cast<std::uint32_t>(std::min<std::size_t>(want, size - pos));
            ASSERT_EQ(got, expect);
            ASSERT_TRUE(std::equal(out.begin(), out.begin() + got, data.begin() + pos)) << "at " << pos;
            pos += got;
            ASSERT_EQ(static_cast<std::uint32_t>(TellThreadedFile(f)), pos);
            if (pos == size) {
                pos = 0;
                SeekThreadedFile(f, 0, 0);
            }
        }
        CloseThreadedFile(f);
    }
    SetFileReaderIdleSlice(100);
}

TEST(ThreadedFile, ReadsAreCutToWholeElementsAtTheEnd)
{
    WritePattern("ten.bin", 10);
    for (int cache : {0, 1}) {
        THREADFILE* f = OpenThreadedFile("ten.bin", cache, 1, 0);
        ASSERT_NE(f, nullptr);
        std::uint8_t out[16];
        EXPECT_EQ(ReadThreadedFile(out, 4, 3, f), 2u);
        EXPECT_EQ(IsThreadedFileEof(f), 0);
        EXPECT_EQ(ReadThreadedFile(out, 4, 3, f), 0u);
        EXPECT_EQ(IsThreadedFileEof(f), -1);
        EXPECT_EQ(SeekThreadedFile(f, 0, 0), 0);
        EXPECT_EQ(IsThreadedFileEof(f), 0);
        EXPECT_EQ(ReadThreadedFile(out, 0, 3, f), 0u);  // element size 0 reads nothing
        // A byte total that wraps 32 bits is cut, not wrapped.
        EXPECT_EQ(ReadThreadedFile(out, 0x10000, 0x10001, f), 0u);
        // Seeks stay inside the file, so a read after one past the end reports nothing read.
        EXPECT_EQ(SeekThreadedFile(f, 5, 2), 0);
        EXPECT_EQ(TellThreadedFile(f), 10);
        EXPECT_EQ(ReadThreadedFile(out, 1, 1, f), 0u);
        EXPECT_EQ(SeekThreadedFile(f, -50, 1), 0);
        EXPECT_EQ(TellThreadedFile(f), 0);
        EXPECT_EQ(ReadThreadedFile(out, 1, 16, f), 10u);
        CloseThreadedFile(f);
    }
}

TEST(ThreadedFile, AThreadLivesExactlyAsLongAsItsFile)
{
    WritePattern("t.bin", 100);
    const std::size_t before = ThreadCountAtRest();
    THREADFILE* direct = OpenThreadedFile("t.bin", 0, 1, 0);
    EXPECT_EQ(ThreadCountSettled(before), before);
    EXPECT_EQ(CloseThreadedFile(direct), 0);
    THREADFILE* threaded = OpenThreadedFile("big-missing.bin", 0, 1, 1);
    EXPECT_EQ(threaded, nullptr);
    EXPECT_EQ(ThreadCountSettled(before), before);
    threaded = OpenThreadedFile("t.bin", 1, 1, 1);
    ASSERT_NE(threaded, nullptr);
    EXPECT_EQ(ThreadCountSettled(before + 1), before + 1);
    // The reader holds the file unshared: a second open of any kind fails,
    // and the failed worker open ends its own thread.
    EXPECT_EQ(OpenThreadedFile("t.bin", 0, 1, 0), nullptr);
    EXPECT_EQ(ThreadCountSettled(before + 1), before + 1);
    CloseThreadedFile(threaded);
    EXPECT_EQ(ThreadCountSettled(before), before);

    // Direct opens share the file with other readers.
    THREADFILE* a = OpenThreadedFile("t.bin", 0, 1, 0);
    THREADFILE* b = OpenThreadedFile("t.bin", 0, 1, 0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    CloseThreadedFile(a);
    CloseThreadedFile(b);
    EXPECT_EQ(OpenThreadedFile(std::string(300, 'x').c_str(), 0, 1, 0), nullptr);
}

TEST(ThreadedFile, AReaderThreadThatCannotStartLeavesNothingBehind)
{
    WritePattern("t.bin", 100);
    const int blocks = AllocState.BlockCount;
    const std::size_t threads = ThreadCountAtRest();
    FailNextThreadStarts(1);
    EXPECT_EQ(OpenThreadedFile("t.bin", 1, 1, 1), nullptr);
    EXPECT_EQ(AllocState.BlockCount, blocks);
    EXPECT_EQ(ThreadCountSettled(threads), threads);
    // Nothing of the failed open holds the file or the hook.
    THREADFILE* f = OpenThreadedFile("t.bin", 0, 1, 1);
    ASSERT_NE(f, nullptr);
    CloseThreadedFile(f);
    EXPECT_EQ(AllocState.BlockCount, blocks);
}
