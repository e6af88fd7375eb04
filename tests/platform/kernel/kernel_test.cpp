#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/heap.h"
#include "platform/kernel/sync.h"
#include "platform/winmm/timer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(KernelEvents, ManualResetStaysSetAutoResetReleasesOneWait)
{
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(automatic));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
}

namespace {
DWORD ThreadBody(void* parameter)
{
    *static_cast<DWORD*>(parameter) = GetCurrentThreadId();
    return 42;
}
} // namespace

TEST(KernelThreads, RunWithTheirOwnIdAndReportTheirExitCode)
{
    DWORD seen = 0;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadBody, &seen, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(seen, id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_NE(GetCurrentThreadId(), 0u);
    CloseHandle(thread);

    // A start the system refuses answers null, without throwing, and the next start works.
    FailNextThreadStarts(1);
    seen = 0;
    EXPECT_EQ(CreateThread(nullptr, 0, ThreadBody, &seen, 0, &id), nullptr);
    EXPECT_EQ(id, 0u);
    thread = CreateThread(nullptr, 0, ThreadBody, &seen, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen, id);
    CloseHandle(thread);
}

TEST(KernelClock, ManualClockDrivesEveryReaderAndSleep)
{
    UseManualClock(0xFFFFFFF0u, 0);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    Sleep(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);  // the millisecond clock wraps in 32 bits
    LARGE_INTEGER count, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    EXPECT_EQ(count.QuadPart / (frequency.QuadPart / 1000), 0x100000010LL);
    UseManualClock(0, 500);
    EXPECT_EQ(ReadClockMicroseconds(), 0u);
    EXPECT_EQ(ReadClockMicroseconds(), 500u);  // each read moves it on
    UseRealClock();
}

TEST(KernelHeap, ReallocationZeroesTheGrowthAndFailuresKeepTheBlock)
{
    HANDLE heap = GetProcessHeap();
    auto* p = static_cast<unsigned char*>(HeapAlloc(heap, 0, 8));
    std::memset(p, 0xEE, 8);
    p = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 64));
    EXPECT_EQ(p[7], 0xEE);
    EXPECT_EQ(p[8], 0);
    EXPECT_EQ(p[63], 0);
    FailNextHeapAllocations(1);
    EXPECT_EQ(HeapReAlloc(heap, 0, p, 128), nullptr);
    EXPECT_EQ(HeapSize(heap, 0, p), 64u);
    HeapFree(heap, 0, p);
}

TEST(KernelCodePage, ShiftJisAndUtf8RoundTrip)
{
    const char sjis[] = "\x83\x8D\x83\x4F" "A";  // "ログA"
    const std::string utf8 = ConvertCp932ToUtf8(sjis, std::strlen(sjis));
    EXPECT_EQ(utf8, "\xE3\x83\xAD\xE3\x82\xB0" "A");
    EXPECT_EQ(ConvertUtf8ToCp932(utf8.data(), utf8.size()), sjis);
    // A lone lead byte is shown as '?' rather than dropped silently.
    EXPECT_EQ(ConvertCp932ToUtf8("a\x83", 2), "a?");
}
