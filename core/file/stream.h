// The reading interface of the decoders: STREAMFUNCS tables, STREAMREF, and
// the memory stream MEMSTREAM. The file set reads through the FILEFUNCS
// dispatchers, so it follows whichever file-function table is installed.
#pragma once

#include "core/file/filefuncs.h"

#include <cstdint>

// A file handle from OpenLibraryFile, or a MEMSTREAM pointer.
using STREAMHANDLE = std::uintptr_t;

struct STREAMFUNCS {
    int (*Tell)(STREAMHANDLE stream);
    // origin 0 start, 1 current, 2 end; 0, or -1 on failure.
    int (*Seek)(STREAMHANDLE stream, int offset, int origin);
    // Answers the whole elements read (a memory stream counts a last partial one).
    std::uint32_t (*Read)(void* buffer, std::uint32_t size, std::uint32_t count, STREAMHANDLE stream);
    // Non-zero at the end: 1 for memory streams, -1 for file streams.
    int (*Eof)(STREAMHANDLE stream);
    // 1 when no request is pending.
    int (*Idle)(STREAMHANDLE stream);
    int (*Close)(STREAMHANDLE stream);
};

// A copy of one table's operations and the stream handle to call them with.
struct STREAMREF {
    STREAMFUNCS Funcs;
    STREAMHANDLE Handle;
};

// A stream over a caller's memory block; the block is referenced, never copied.
struct MEMSTREAM {
    const std::uint8_t* Data;
    std::uint32_t Size;
    std::uint32_t Position;
    int Eof;
};

// Fills both tables; start-up calls it.
void FillStreamFunctionTables();
const STREAMFUNCS* GetFileStreamFunctions();
const STREAMFUNCS* GetMemoryStreamFunctions();

// Null when the record cannot be allocated.
MEMSTREAM* OpenMemoryStream(const void* data, std::uint32_t size);
int CloseMemoryStream(STREAMHANDLE stream);
int TellMemoryStream(STREAMHANDLE stream);
int SeekMemoryStream(STREAMHANDLE stream, int offset, int origin);
std::uint32_t ReadMemoryStream(void* buffer, std::uint32_t size, std::uint32_t count, STREAMHANDLE stream);
int IsMemoryStreamEof(STREAMHANDLE stream);
int IsMemoryStreamIdle(STREAMHANDLE stream);
