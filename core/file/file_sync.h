// Events and threads as the file layer uses them: manual-reset events, a
// reader thread that is started and joined, and the yield of a polling loop.
#pragma once

struct FILEEVENT;
struct FILETHREAD;

constexpr int FILE_WAIT_INFINITE = -1;

FILEEVENT* CreateFileEvent(int signalled);
void CloseFileEvent(FILEEVENT* event);
void SetFileEvent(FILEEVENT* event);
void ResetFileEvent(FILEEVENT* event);
// 0 when signalled, 1 when the time ran out (0 ms only tests).
int WaitFileEvent(FILEEVENT* event, int milliseconds);

// Null when the thread cannot be started.
FILETHREAD* StartFileThread(void (*proc)(void* param), void* param);
// Waits until the thread has ended and releases it.
void JoinFileThread(FILETHREAD* thread);

// Lets other threads run (a zero-length sleep).
void YieldFileThread();
void SleepFileThread(int milliseconds);

// A recursive lock that needs no set-up: each layer that threads share holds
// one across every operation.
struct FILELOCK;
FILELOCK* CreateFileLock();
void EnterFileLock(FILELOCK* lock);
void LeaveFileLock(FILELOCK* lock);
