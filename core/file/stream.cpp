// The two STREAMFUNCS tables and the memory streams. The file set calls the
// FILEFUNCS dispatchers; memory streams come from the library's allocator.
#include "core/file/stream.h"

#include "core/memory.h"

#include <algorithm>
#include <cstring>

namespace {

int TellFileStream(STREAMHANDLE h) { return TellLibraryFile(h); }
int SeekFileStream(STREAMHANDLE h, int offset, int origin) { return SeekLibraryFile(h, offset, origin); }
std::uint32_t ReadFileStream(void* buffer, std::uint32_t size, std::uint32_t count, STREAMHANDLE h)
{
    return ReadLibraryFile(buffer, size, count, h);
}
int IsFileStreamEof(STREAMHANDLE h) { return IsLibraryFileEof(h); }
int IsFileStreamIdle(STREAMHANDLE h) { return IsLibraryFileIdle(h); }
int CloseFileStream(STREAMHANDLE h) { return CloseLibraryFile(h); }

// Filled before start-up as well, so a decoder can be used on its own.
STREAMFUNCS g_fileStreamFuncs = {TellFileStream, SeekFileStream, ReadFileStream,
                                 IsFileStreamEof, IsFileStreamIdle, CloseFileStream};
STREAMFUNCS g_memoryStreamFuncs = {TellMemoryStream, SeekMemoryStream, ReadMemoryStream,
                                   IsMemoryStreamEof, IsMemoryStreamIdle, CloseMemoryStream};

MEMSTREAM* AsMemoryStream(STREAMHANDLE h) { return reinterpret_cast<MEMSTREAM*>(h); }

} // namespace

void FillStreamFunctionTables()
{
    g_fileStreamFuncs = {TellFileStream, SeekFileStream, ReadFileStream,
                         IsFileStreamEof, IsFileStreamIdle, CloseFileStream};
    g_memoryStreamFuncs = {TellMemoryStream, SeekMemoryStream, ReadMemoryStream,
                           IsMemoryStreamEof, IsMemoryStreamIdle, CloseMemoryStream};
}

const STREAMFUNCS* GetFileStreamFunctions() { return &g_fileStreamFuncs; }
const STREAMFUNCS* GetMemoryStreamFunctions() { return &g_memoryStreamFuncs; }

MEMSTREAM* OpenMemoryStream(const void* data, std::uint32_t size)
{
    auto* stream = static_cast<MEMSTREAM*>(AllocMemoryZeroed(sizeof(MEMSTREAM), __FILE__, __LINE__));
    if (stream == nullptr) return nullptr;
    stream->Data = static_cast<const std::uint8_t*>(data);
    stream->Size = size;
    return stream;
}

int CloseMemoryStream(STREAMHANDLE h)
{
    if (h != 0) FreeMemory(AsMemoryStream(h));
    return 0;
}

int TellMemoryStream(STREAMHANDLE h) { return static_cast<int>(AsMemoryStream(h)->Position); }

int SeekMemoryStream(STREAMHANDLE h, int offset, int origin)
{
    MEMSTREAM* s = AsMemoryStream(h);
    std::int64_t target = offset;
    if (origin == 1) target += s->Position;
    else if (origin == 2) target += s->Size;
    s->Position = static_cast<std::uint32_t>(std::clamp<std::int64_t>(target, 0, s->Size));
    s->Eof = 0;
    return 0;
}

std::uint32_t ReadMemoryStream(void* buffer, std::uint32_t size, std::uint32_t count, STREAMHANDLE h)
{
    MEMSTREAM* s = AsMemoryStream(h);
    if (s->Position >= s->Size) {
        s->Eof = 1;
        return 0;
    }
    if (size == 0 || count == 0) return 0;
    std::uint64_t left = s->Size - s->Position;
    if (static_cast<std::uint64_t>(size) * count > left) count = static_cast<std::uint32_t>(left / size);
    if (count != 0) {
        std::uint32_t bytes = size * count;
        std::memcpy(buffer, s->Data + s->Position, bytes);
        s->Position += bytes;
        s->Eof = 0;
        return count;
    }
    // Less than one element left: it is delivered as one.
    std::memcpy(buffer, s->Data + s->Position, static_cast<std::size_t>(left));
    s->Position = s->Size;
    s->Eof = 0;
    return 1;
}

int IsMemoryStreamEof(STREAMHANDLE h) { return AsMemoryStream(h)->Eof; }

int IsMemoryStreamIdle(STREAMHANDLE) { return 1; }
