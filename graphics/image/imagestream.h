// How the decoders read: a STREAMREF (six stream operations and a handle)
// over a file or a memory block, and the small reading helpers every decoder
// shares (byte order, bounded reads, the stream's length).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/file/stream.h"
#include "platform/kernel/types.h"


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

// Whole elements read (a memory stream counts a last partial one).
inline std::size_t StreamRead(const STREAMREF* s, void* buffer, std::size_t size, std::size_t count)
{
    if (size > UINT32_MAX || count > UINT32_MAX) {
        return 0;
    }
    return s->Funcs.Read(buffer, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(count), s->Handle);
}

// Reads exactly size bytes; false on a short read. The position decides, not
// the element count: a memory stream delivers a last partial element as one.
inline bool StreamReadAll(const STREAMREF* s, void* buffer, std::size_t size)
{
    if (size == 0) {
        return true;
    }
    int before = StreamTell(s);
    if (before < 0 || StreamRead(s, buffer, size, 1) != 1) {
        return false;
    }
    return static_cast<long long>(StreamTell(s)) - before == static_cast<long long>(size);
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

// True when the stream's next bytes are `signature`; the position is kept.
inline bool StreamStartsWith(const STREAMREF* s, const BYTE* signature, std::size_t size)
{
    BYTE head[16];
    const int here = StreamTell(s);
    if (here < 0 || size > sizeof head) {
        return false;
    }
    const bool read = StreamReadAll(s, head, size);
    if (StreamSeek(s, here, 0) != 0 || !read) {
        return false;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (head[i] != signature[i]) {
            return false;
        }
    }
    return true;
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
