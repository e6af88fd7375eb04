// Owns the WAV output file's state and the two writers; every number is
// written byte by byte, little-endian. Calls the allocator and kernel files.
#include "sound/wavimage.h"

#include "core/memory.h"
#include "platform/kernel/file.h"

#include <cstring>

WAVOUTSTATE WavOutState{};

namespace {

std::uint8_t* Put(std::uint8_t* p, const char* tag)
{
    std::memcpy(p, tag, 4);
    return p + 4;
}

std::uint8_t* Put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return p + 4;
}

std::uint8_t* Put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    return p + 2;
}

} // namespace

int BuildWaveImage(void** image, int* imageSize, const void* format, int formatSize, const void* data,
                   int dataSize)
{
    const std::size_t total = static_cast<std::size_t>(formatSize) + static_cast<std::size_t>(dataSize) + 28;
    auto* block = static_cast<std::uint8_t*>(AllocMemory(total, "", 0));
    if (block == nullptr) return -1;
    std::uint8_t* p = Put(block, "RIFF");
    p = Put32(p, static_cast<std::uint32_t>(formatSize + dataSize + 20));
    p = Put(p, "WAVE");
    p = Put(p, "fmt ");
    p = Put32(p, static_cast<std::uint32_t>(formatSize));
    std::memcpy(p, format, static_cast<std::size_t>(formatSize));
    p += formatSize;
    p = Put(p, "data");
    p = Put32(p, static_cast<std::uint32_t>(dataSize));
    if (dataSize > 0) std::memcpy(p, data, static_cast<std::size_t>(dataSize));
    *image = block;
    *imageSize = static_cast<int>(total);
    return 0;
}

int CloseWaveOutputFile()
{
    WAVOUTSTATE& s = WavOutState;
    if (s.OpenFlag == 0) return -1;
    const std::uint32_t bytes = 4 * s.Frames;
    std::uint8_t header[46];
    std::uint8_t* p = Put(header, "RIFF");
    p = Put32(p, bytes + 38);
    p = Put(p, "WAVE");
    p = Put(p, "fmt ");
    p = Put32(p, 18);
    p = Put16(p, 1);
    p = Put16(p, 2);
    p = Put32(p, 44100);
    p = Put32(p, 176400);
    p = Put16(p, 4);
    p = Put16(p, 16);
    p = Put16(p, 0);
    p = Put(p, "data");
    Put32(p, bytes);
    DWORD written = 0;
    SetFilePointer(s.File, 0, nullptr, FILE_BEGIN);
    WriteFile(s.File, header, sizeof header, &written, nullptr);
    CloseHandle(s.File);
    s.File = nullptr;
    s.OpenFlag = 0;
    return 0;
}
