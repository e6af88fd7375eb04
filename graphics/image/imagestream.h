// How the decoders read: a STREAMREF (six stream operations and a handle)
// over a file or a memory block, and the small reading helpers every decoder
// shares (byte order, bounded reads, the stream's length).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel/types.h"

// Stream interface of the file layer; kept here until the file layer's own
// header lands, with the same operations in the same order.
#ifndef ZARVO_HAS_FILE_STREAMS
using STREAMHANDLE = std::uintptr_t;
struct STREAMFUNCS {
    int (*Tell)(STREAMHANDLE handle);
    int (*Seek)(STREAMHANDLE handle, int offset, int origin);
    std::size_t (*Read)(void* buffer, std::size_t size, std::size_t count, STREAMHANDLE handle);
    int (*Eof)(STREAMHANDLE handle);
    int (*IsIdle)(STREAMHANDLE handle);
    int (*Close)(STREAMHANDLE handle);
};
struct STREAMREF {
    STREAMFUNCS Funcs;
    STREAMHANDLE Handle;
};
#endif

inline int StreamTell(const STREAMREF* s)
{
    return s->Funcs.Tell(s->Handle);
}

inline int StreamSeek(const STREAMREF* s, long long offset, int origin)
{
    if (offset < INT32_MIN || offset > INT32_MAX) {
        return -1;
    }
    return s->Funcs.Seek(s->Handle, static_cast<int>(offset), origin);
}

// Whole elements read.
inline std::size_t StreamRead(const STREAMREF* s, void* buffer, std::size_t size, std::size_t count)
{
    return s->Funcs.Read(buffer, size, count, s->Handle);
}

// Reads exactly size bytes as one element; false on a short read.
inline bool StreamReadAll(const STREAMREF* s, void* buffer, std::size_t size)
{
    return size == 0 || StreamRead(s, buffer, size, 1) == 1;
}

// Bytes from the current position to the end, the position kept; -1 when the
// stream cannot say.
inline long long StreamBytesLeft(const STREAMREF* s)
{
    int here = StreamTell(s);
    if (here < 0 || StreamSeek(s, 0, 2) != 0) {
        return -1;
    }
    int end = StreamTell(s);
    if (StreamSeek(s, here, 0) != 0 || end < here) {
        return -1;
    }
    return static_cast<long long>(end) - here;
}

inline std::uint16_t ReadLe16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadLe32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
