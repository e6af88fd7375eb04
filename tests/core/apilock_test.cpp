#include "core/api.h"
#include "core/apilock.h"
#include "core/sysstate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Waits (a few ms at a time) until `n` threads are queued on the lock.
void WaitForWaiters(int n)
{
    for (int i = 0; i < 5000; ++i) {
        EnterCriticalSection(&ApiLock.Section);
        int waiting = ApiLock.WaiterCount;
        LeaveCriticalSection(&ApiLock.Section);
        if (waiting >= n) return;
        usleep(1000);
    }
    FAIL() << "waiters never queued";
}

} // namespace

TEST(ApiLock, HolderReentersAndReleasesAfterAsManyLeaves)
{
    EnterApiLock();
    EnterApiLock();
    EXPECT_EQ(ApiLock.RecursionCount, 2);
    std::atomic<bool> got{false};
    std::thread other([&] {
        EnterApiLock();
        got = true;
        LeaveApiLock();
    });
    LeaveApiLock();
    WaitForWaiters(1);
    EXPECT_FALSE(got.load());
    EXPECT_EQ(ApiLock.LockedFlag, 1);
    LeaveApiLock();
    other.join();
    EXPECT_TRUE(got.load());
    EXPECT_EQ(ApiLock.LockedFlag, 0);
    EXPECT_EQ(ApiLock.OwnerThreadId, 0xFFFFFFFFu);
    DestroyApiLock();
}

TEST(ApiLock, WaitersAreServedInArrivalOrderAndTheReleaserQueuesBehind)
{
    EnterApiLock();
    std::mutex orderMutex;
    std::vector<int> order;
    auto record = [&](int who) {
        std::lock_guard<std::mutex> lock(orderMutex);
        order.push_back(who);
    };
    std::thread second([&] {
        EnterApiLock();
        record(2);
        LeaveApiLock();
    });
    WaitForWaiters(1);
    std::thread third([&] {
        EnterApiLock();
        record(3);
        LeaveApiLock();
    });
    WaitForWaiters(2);
    HANDLE secondEvent = ApiLock.Queue[0].Event;
    HANDLE thirdEvent = ApiLock.Queue[1].Event;

    LeaveApiLock();
    // Asking again at once: the first thread now queues behind the third.
    EnterApiLock();
    record(1);
    LeaveApiLock();
    second.join();
    third.join();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[1], 3);
    EXPECT_EQ(order[2], 1);
    // Events stay with their entries' waiters: both handles are still in the queue.
    bool seenSecond = false;
    bool seenThird = false;
    for (int i = 0; i < 3; ++i) {
        seenSecond |= ApiLock.Queue[i].Event == secondEvent;
        seenThird |= ApiLock.Queue[i].Event == thirdEvent;
    }
    EXPECT_TRUE(seenSecond);
    EXPECT_TRUE(seenThird);
    DestroyApiLock();
}

TEST(ApiLock, DestroyClosesEverythingAndTheNextEnterCreatesItAgain)
{
    EnterApiLock();
    LeaveApiLock();
    HANDLE event = ApiLock.Queue[17].Event;
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DestroyApiLock();
    EXPECT_EQ(ApiLock.CreatedFlag, 0);
    EXPECT_EQ(ApiLock.Queue[17].Event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);  // closed
    EnterApiLock();
    EXPECT_EQ(ApiLock.CreatedFlag, 1);
    EXPECT_NE(ApiLock.Queue[17].Event, nullptr);
    LeaveApiLock();
    DestroyApiLock();
}

TEST(ApiLock, EntriesOutsideAStartedLibraryNeverCreateTheLock)
{
    // What an earlier test left started, or a failed start left made, is ended first.
    EndLibrary();
    DestroyApiLock();
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(ApiLock.CreatedFlag, 0);
    SysState.InitializeFlag = 1;
    EXPECT_EQ(StartLibrary(), 0);  // already started: answered without the lock
    EXPECT_EQ(ApiLock.CreatedFlag, 0);
    SysState.InitializeFlag = 0;
}

TEST(ApiLock, NewcomerFindingTheQueueFullPollsWithoutTakingAPlace)
{
    EnterApiLock();
    // 4096 waiters stand in the queue (their threads need not exist for this).
    EnterCriticalSection(&ApiLock.Section);
    for (int i = 0; i < APILOCK_QUEUE_SIZE; ++i) ApiLock.Queue[i].ThreadId = 0x70000000u + i;
    ApiLock.WaiterCount = APILOCK_QUEUE_SIZE;
    LeaveCriticalSection(&ApiLock.Section);

    std::atomic<bool> got{false};
    std::atomic<DWORD> id{0};
    std::thread newcomer([&] {
        id = GetCurrentThreadId();
        EnterApiLock();
        got = true;
        LeaveApiLock();
    });
    while (id.load() == 0) usleep(100);
    usleep(5000);
    EnterCriticalSection(&ApiLock.Section);
    EXPECT_EQ(ApiLock.WaiterCount, APILOCK_QUEUE_SIZE);
    bool queued = false;
    for (const auto& entry : ApiLock.Queue) queued |= entry.ThreadId == id.load();
    EXPECT_FALSE(queued);
    // The queue empties: the polling newcomer is served.
    ApiLock.WaiterCount = 0;
    LeaveCriticalSection(&ApiLock.Section);
    EXPECT_FALSE(got.load());
    LeaveApiLock();
    newcomer.join();
    EXPECT_TRUE(got.load());
    DestroyApiLock();
}
