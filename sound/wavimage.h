// The two RIFF/WAVE writers: a WAV file image in memory around a format
// block and data, and the header that finishes the WAV output file.
#pragma once

#include "platform/kernel/types.h"

#include <cstdint>

// The WAV output file: open flag, frames written and its file handle.
struct WAVOUTSTATE {
    int OpenFlag;
    std::uint32_t Frames;
    HANDLE File;
};
extern WAVOUTSTATE WavOutState;

// 0, or -1 when the memory cannot be had (the outputs are then untouched).
int BuildWaveImage(void** image, int* imageSize, const void* format, int formatSize, const void* data,
                   int dataSize);
// Writes the 46-byte header at the start and closes; -1 when not open.
int CloseWaveOutputFile();
