// A FILEFUNCS table over byte blocks in memory, for tests and fuzzers that
// hand a player its file without the file layer. Only read, seek, tell and
// the end-of-file test do anything; the block must outlive its handle.
#pragma once

#include <cstdint>
#include <vector>

#include "core/file/filefuncs.h"

struct MemoryFile {
    const std::vector<std::uint8_t>* Data = nullptr;
    std::size_t Position = 0;
    int EofFlag = 0;
};

const FILEFUNCS* GetMemoryFileFunctions();
inline FILEHANDLE MemoryFileHandle(MemoryFile* file)
{
    return reinterpret_cast<FILEHANDLE>(file);
}
