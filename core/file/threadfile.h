// Threaded plain files: a plain file read directly, or through a reader
// thread of its own with an optional 128 KB read-ahead cache and
// asynchronous reads. The plain FILEFUNCS set's slots 0 to 6.
#pragma once

#include "core/file/file_sync.h"
#include "platform/kernel/types.h"

#include <cstdint>

constexpr std::uint32_t THREADFILE_CACHE_SIZE = 0x20000;

enum : int {
    THREADFILE_COMMAND_OPEN = 0,
    THREADFILE_COMMAND_CLOSE = 1,
    THREADFILE_COMMAND_READ = 2,
    THREADFILE_COMMAND_SEEK = 3,
    THREADFILE_COMMAND_EXIT = 4,
};

struct THREADFILE {
    HANDLE File;           // direct mode only
    int ThreadMode;
    int CacheFlag;
    int AsyncFlag;
    int Eof;
    std::uint32_t Position;
    std::uint32_t Size;

    // Shared with the reader thread, ordered by the two events.
    FILETHREAD* Thread;
    HANDLE WorkerFile;
    FILEEVENT* CommandEvent;
    FILEEVENT* DoneEvent;
    int Command;
    int ThreadEnded;
    int OpenFailed;
    char Path[260];
    void* ReadBuffer;
    std::uint32_t ReadPosition;
    std::uint32_t ReadSize;  // bytes asked; the thread stores the bytes read here
    std::uint32_t SeekTarget;
    std::uint8_t* Cache;
    std::uint32_t CachePosition;
    std::uint32_t CacheFill;  // written by the thread; read it with an atomic load while it runs
};

THREADFILE* OpenThreadedFile(const char* path, int cacheFlag, int reserved, int asyncFlag);
int CloseThreadedFile(THREADFILE* file);
int TellThreadedFile(THREADFILE* file);
int SeekThreadedFile(THREADFILE* file, int offset, int origin);
std::uint32_t ReadThreadedFile(void* buffer, std::uint32_t size, std::uint32_t count, THREADFILE* file);
int IsThreadedFileEof(THREADFILE* file);
int IsThreadedFileIdle(THREADFILE* file);

// Test hook: the idle slice after which a reader thread reads ahead (100 ms).
void SetFileReaderIdleSlice(int milliseconds);
