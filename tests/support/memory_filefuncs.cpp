// The memory FILEFUNCS table: whole elements are read, a read that meets the
// end sets the end-of-file state, and every seek clears it.
#include "support/memory_filefuncs.h"

#include <algorithm>
#include <cstring>

namespace {

MemoryFile* Of(FILEHANDLE handle)
{
    return reinterpret_cast<MemoryFile*>(handle);
}

FILEHANDLE Open(const char*, int, int, int)
{
    return 0;
}

int Close(FILEHANDLE)
{
    return 0;
}

int Tell(FILEHANDLE handle)
{
    return static_cast<int>(Of(handle)->Position);
}

int Seek(FILEHANDLE handle, int offset, int origin)
{
    MemoryFile* f = Of(handle);
    long long base = origin == 0 ? 0 : (origin == 1 ? static_cast<long long>(f->Position)
                                                    : static_cast<long long>(f->Data->size()));
    long long to = std::clamp<long long>(base + offset, 0, static_cast<long long>(f->Data->size()));
    f->Position = static_cast<std::size_t>(to);
    f->EofFlag = 0;
    return 0;
}

std::uint32_t Read(void* buffer, std::uint32_t size, std::uint32_t count, FILEHANDLE handle)
{
    MemoryFile* f = Of(handle);
    if (size == 0) return 0;
    std::size_t left = f->Data->size() - f->Position;
    std::size_t whole = std::min<std::size_t>(count, left / size);
    if (whole > 0) std::memcpy(buffer, f->Data->data() + f->Position, whole * size);
    f->Position += whole * size;
    if (whole < count) f->EofFlag = 1;
    return static_cast<std::uint32_t>(whole);
}

int Eof(FILEHANDLE handle)
{
    return Of(handle)->EofFlag;
}

int Idle(FILEHANDLE)
{
    return 1;
}

int NoDir(const char*)
{
    return -1;
}

int NoGetDir(char*)
{
    return -1;
}

FINDHANDLE NoFind(const char*, FINDREC*)
{
    return NO_FIND_HANDLE;
}

int NoFindNext(FINDHANDLE, FINDREC*)
{
    return -1;
}

int NoFindClose(FINDHANDLE)
{
    return -1;
}

const FILEFUNCS g_memoryFunctions = {Open, Close, Tell, Seek, Read, Eof, Idle, NoDir, NoGetDir, NoFind, NoFindNext, NoFindClose};

} // namespace

const FILEFUNCS* GetMemoryFileFunctions()
{
    return &g_memoryFunctions;
}
