// Threaded plain files: owns each THREADFILE and its reader thread. Calls the
// kernel file functions, the allocator and the log.
#include "core/file/threadfile.h"

#include "core/log.h"
#include "core/memory.h"
#include "platform/kernel/file.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<int> g_idleSliceMs{100};

HANDLE OpenForReading(const char* path, DWORD share)
{
    return CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ReleaseRecord(THREADFILE* file)
{
    if (file->Cache != nullptr) FreeMemory(file->Cache);
    if (file->CommandEvent != nullptr) CloseFileEvent(file->CommandEvent);
    if (file->DoneEvent != nullptr) CloseFileEvent(file->DoneEvent);
    FreeMemory(file);
}

// Waits for the previous command, then hands the next one to the thread.
// The caller has filled the command's arguments after WaitForPrevious.
void WaitForPrevious(THREADFILE* file) { WaitFileEvent(file->DoneEvent, FILE_WAIT_INFINITE); }

void SignalCommand(THREADFILE* file, int command)
{
    file->Command = command;
    ResetFileEvent(file->DoneEvent);
    SetFileEvent(file->CommandEvent);
}

void RefillCache(THREADFILE* file)
{
    if (file->CacheFill >= THREADFILE_CACHE_SIZE) return;
    std::uint64_t from = static_cast<std::uint64_t>(file->CachePosition) + file->CacheFill;
    if (from >= 0xFFFFFFFFu) return;
    if (SetFilePointer(file->WorkerFile, static_cast<LONG>(from), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return;
    DWORD got = 0;
    if (ReadFile(file->WorkerFile, file->Cache + file->CacheFill, THREADFILE_CACHE_SIZE - file->CacheFill, &got,
                 nullptr)) {
        // Stored atomically: an idle owner may poll how far the thread has read ahead.
        std::atomic_ref<std::uint32_t>(file->CacheFill).store(file->CacheFill + got, std::memory_order_release);
    }
}

void ServeRead(THREADFILE* file)
{
    std::uint32_t delivered = 0;
    auto* dst = static_cast<std::uint8_t*>(file->ReadBuffer);
    if (file->Cache != nullptr && file->ReadPosition == file->CachePosition && file->CacheFill != 0) {
        std::uint32_t n = std::min(file->ReadSize, file->CacheFill);
        std::memcpy(dst, file->Cache, n);
        dst += n;
        delivered = n;
        file->ReadPosition += n;
        file->ReadSize -= n;
        file->CachePosition += n;
        file->CacheFill -= n;
        std::memmove(file->Cache, file->Cache + n, file->CacheFill);
    }
    if (file->ReadSize != 0) {
        DWORD got = 0;
        if (SetFilePointer(file->WorkerFile, static_cast<LONG>(file->ReadPosition), nullptr, FILE_BEGIN) !=
            INVALID_SET_FILE_POINTER) {
            ReadFile(file->WorkerFile, dst, file->ReadSize, &got, nullptr);
        }
        delivered += got;
        if (file->Cache != nullptr) {
            file->CachePosition = file->ReadPosition + got;
            file->CacheFill = 0;
        }
    }
    // The caller reads back what was really delivered.
    file->ReadSize = delivered;
}

void FileAccessThreadProc(void* param)
{
    auto* file = static_cast<THREADFILE*>(param);
    for (;;) {
        if (file->Cache == nullptr) {
            WaitFileEvent(file->CommandEvent, FILE_WAIT_INFINITE);
        } else if (WaitFileEvent(file->CommandEvent, g_idleSliceMs.load()) != 0) {
            // Idle time: read ahead. Only the thread touches the cache.
            if (file->WorkerFile != nullptr) RefillCache(file);
            continue;
        }
        ResetFileEvent(file->CommandEvent);
        switch (file->Command) {
        case THREADFILE_COMMAND_OPEN:
            file->WorkerFile = OpenForReading(file->Path, 0);
            if (file->WorkerFile == INVALID_HANDLE_VALUE) {
                file->WorkerFile = nullptr;
                file->OpenFailed = 1;
                file->ThreadEnded = 1;
                SetFileEvent(file->DoneEvent);
                return;
            }
            break;
        case THREADFILE_COMMAND_CLOSE:
            if (file->WorkerFile != nullptr) CloseHandle(file->WorkerFile);
            file->WorkerFile = nullptr;
            break;
        case THREADFILE_COMMAND_READ:
            ServeRead(file);
            break;
        case THREADFILE_COMMAND_SEEK:
            SetFilePointer(file->WorkerFile, static_cast<LONG>(file->SeekTarget), nullptr, FILE_BEGIN);
            if (file->Cache != nullptr) {
                file->CachePosition = file->SeekTarget;
                file->CacheFill = 0;
            }
            break;
        case THREADFILE_COMMAND_EXIT:
            if (file->WorkerFile != nullptr) CloseHandle(file->WorkerFile);
            file->WorkerFile = nullptr;
            file->ThreadEnded = 1;
            SetFileEvent(file->DoneEvent);
            return;
        default:
            break;
        }
        SetFileEvent(file->DoneEvent);
    }
}

} // namespace

void SetFileReaderIdleSlice(int milliseconds) { g_idleSliceMs = milliseconds; }

THREADFILE* OpenThreadedFile(const char* path, int cacheFlag, int, int asyncFlag)
{
    if (path == nullptr || std::strlen(path) >= sizeof(THREADFILE::Path)) return nullptr;
    auto* file = static_cast<THREADFILE*>(AllocMemoryZeroed(sizeof(THREADFILE), __FILE__, __LINE__));
    if (file == nullptr) return nullptr;
    file->CacheFlag = cacheFlag;
    file->AsyncFlag = asyncFlag;
    file->ThreadMode = (cacheFlag != 0 || asyncFlag != 0) ? 1 : 0;

    if (file->ThreadMode == 0) {
        file->File = OpenForReading(path, FILE_SHARE_READ);
        if (file->File == INVALID_HANDLE_VALUE) {
            FreeMemory(file);
            return nullptr;
        }
        file->Size = GetFileSize(file->File, nullptr);
        return file;
    }

    HANDLE probe = OpenForReading(path, FILE_SHARE_READ);
    if (probe == INVALID_HANDLE_VALUE) {
        FreeMemory(file);
        return nullptr;
    }
    file->Size = GetFileSize(probe, nullptr);
    CloseHandle(probe);

    if (cacheFlag != 0) {
        file->Cache = static_cast<std::uint8_t*>(AllocMemory(THREADFILE_CACHE_SIZE, __FILE__, __LINE__));
        if (file->Cache == nullptr) {
            FreeMemory(file);
            WriteLog("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            return nullptr;
        }
    }
    file->CommandEvent = CreateFileEvent(0);
    file->DoneEvent = CreateFileEvent(1);
    if (file->CommandEvent != nullptr && file->DoneEvent != nullptr) {
        file->Thread = StartFileThread(FileAccessThreadProc, file);
    }
    if (file->Thread == nullptr) {
        ReleaseRecord(file);
        WriteLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return nullptr;
    }

    WaitForPrevious(file);
    std::strcpy(file->Path, path);
    SignalCommand(file, THREADFILE_COMMAND_OPEN);
    WaitFileEvent(file->DoneEvent, FILE_WAIT_INFINITE);
    if (file->OpenFailed == 1) {
        JoinFileThread(file->Thread);
        ReleaseRecord(file);
        WriteLog("ファイルのオープンに失敗しました\n");
        return nullptr;
    }
    file->Eof = 0;
    file->Position = 0;
    return file;
}

int CloseThreadedFile(THREADFILE* file)
{
    if (file == nullptr) return -1;
    if (file->ThreadMode == 0) {
        BOOL closed = CloseHandle(file->File);
        FreeMemory(file);
        return closed ? 0 : -1;
    }
    WaitForPrevious(file);
    SignalCommand(file, THREADFILE_COMMAND_EXIT);
    WaitFileEvent(file->DoneEvent, FILE_WAIT_INFINITE);
    JoinFileThread(file->Thread);
    ReleaseRecord(file);
    return -1;
}

int TellThreadedFile(THREADFILE* file)
{
    if (file == nullptr) return -1;
    return static_cast<int>(file->Position);
}

int SeekThreadedFile(THREADFILE* file, int offset, int origin)
{
    if (file == nullptr) return -1;
    std::int64_t target = offset;
    if (origin == 1) target += file->Position;
    else if (origin == 2) target += file->Size;
    // Kept inside the file, so a read after it reports what it really reads.
    target = std::clamp<std::int64_t>(target, 0, file->Size);
    if (file->ThreadMode == 0) {
        if (SetFilePointer(file->File, static_cast<LONG>(target), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
            return -1;
    } else {
        WaitForPrevious(file);
        file->SeekTarget = static_cast<std::uint32_t>(target);
        SignalCommand(file, THREADFILE_COMMAND_SEEK);
    }
    file->Position = static_cast<std::uint32_t>(target);
    file->Eof = 0;
    return 0;
}

std::uint32_t ReadThreadedFile(void* buffer, std::uint32_t size, std::uint32_t count, THREADFILE* file)
{
    if (file == nullptr || size == 0 || count == 0) return 0;
    if (file->Position >= file->Size) {
        file->Eof = 1;
        return 0;
    }
    std::uint64_t left = file->Size - file->Position;
    if (static_cast<std::uint64_t>(size) * count > left) {
        count = static_cast<std::uint32_t>(left / size);
        if (count == 0) {
            file->Eof = 1;
            return 0;
        }
    }
    std::uint32_t bytes = size * count;  // no wrap: at most the bytes left
    if (file->ThreadMode == 0) {
        DWORD got = 0;
        BOOL ok = ReadFile(file->File, buffer, bytes, &got, nullptr);
        file->Position += bytes;
        return ok ? got / size : 0;
    }
    WaitForPrevious(file);
    file->ReadBuffer = buffer;
    file->ReadPosition = file->Position;
    file->ReadSize = bytes;
    SignalCommand(file, THREADFILE_COMMAND_READ);
    if (file->AsyncFlag != 0) {
        file->Position += bytes;
        return count;
    }
    WaitFileEvent(file->DoneEvent, FILE_WAIT_INFINITE);
    // A short read (a file cut while open) answers what it delivered.
    std::uint32_t delivered = file->ReadSize;
    file->Position += delivered;
    return delivered / size;
}

int IsThreadedFileEof(THREADFILE* file)
{
    if (file == nullptr) return -1;
    return file->Eof != 0 ? -1 : 0;
}

int IsThreadedFileIdle(THREADFILE* file)
{
    if (file == nullptr) return 1;
    if (file->ThreadMode == 0) return 1;
    return WaitFileEvent(file->DoneEvent, 0) == 0 ? 1 : 0;
}
